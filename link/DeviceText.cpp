#include "link/DeviceText.h"

#include <cstring>

namespace quorvane {

std::string TerminatedText(const char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return std::string();
    const void* nul = std::memchr(buffer, '\0', size - 1);
    std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : size - 1;
    return std::string(buffer, length);
}

}  // namespace quorvane
