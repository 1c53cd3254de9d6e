// The platform's file-error texts: a cause, found from the Windows error code
// of a failed file operation, and the Korean text that names the file.
// Shared by the report export and the daily save.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace reports {

enum class FileErrorCause {
    None,
    Generic,
    FileNotFound,
    BadPath,
    TooManyOpenFiles,
    AccessDenied,
    InvalidFile,
    RemoveCurrentDir,
    DirectoryFull,
    BadSeek,
    HardIO,
    SharingViolation,
    LockViolation,
    DiskFull,
    EndOfFile,
};

// The cause of a Windows error code (GetLastError); codes not known here are Generic.
FileErrorCause FileErrorCauseOf(std::uint32_t nWin32Error);

// The text of a cause in UTF-8, "%1" standing for the file name.
const char* FileErrorTemplate(FileErrorCause cause);

// The text with every "%1" replaced by the file name (UTF-8), or by
// "이름 없는 파일" when the name is empty.
std::string FileErrorText(FileErrorCause cause, std::string_view fileName);

}  // namespace reports
