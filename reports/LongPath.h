// The extended-length form of a Windows path ("\\?\C:\..."), which the file
// functions accept beyond MAX_PATH characters. Portable: only the spelling.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace reports {

// Characters a plain path may have (MAX_PATH less its terminating NUL).
constexpr std::size_t kMaxPlainPathLength = 259;

// `fullPath` (absolute, backslashes, no "." or ".." parts, as GetFullPathNameW
// gives it) in the extended-length form: "C:\a" -> "\\?\C:\a",
// "\\server\share\a" -> "\\?\UNC\server\share\a". A path already in that
// form, a device path ("\\.\...") and anything not absolute stay as they are.
std::wstring ExtendedLengthPath(std::wstring_view fullPath);

}  // namespace reports
