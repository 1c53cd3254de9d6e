// Copying the library's fixed-size device texts without trusting their terminator.
#pragma once

#include <cstddef>
#include <string>

namespace quorvane {

// The text in a buffer of `size` bytes that the library may have filled to the
// last byte: it ends at the first NUL or, lacking one, after size - 1 bytes.
std::string TerminatedText(const char* buffer, std::size_t size);

}  // namespace quorvane
