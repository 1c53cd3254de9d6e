#include "recording/Coding.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace recording::coding {

void PutText(std::vector<std::uint8_t>& out, const std::string& text) {
    const std::size_t n = std::min(text.size(), kMaxTextBytes);
    out.push_back(static_cast<std::uint8_t>(n));
    PutBytes(out, reinterpret_cast<const std::uint8_t*>(text.data()), n);
}

std::string Format(const char* format, ...) {
    char text[400];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

}  // namespace recording::coding
