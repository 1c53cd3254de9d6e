#include "reports/FileErrors.h"

#include <cstddef>
#include <iterator>

namespace reports {

namespace {

// Windows error codes (winerror.h), by value: this file does not see <windows.h>.
constexpr std::uint32_t kErrorSuccess = 0;                 // ERROR_SUCCESS
constexpr std::uint32_t kErrorFileNotFound = 2;            // ERROR_FILE_NOT_FOUND
constexpr std::uint32_t kErrorPathNotFound = 3;            // ERROR_PATH_NOT_FOUND
constexpr std::uint32_t kErrorTooManyOpenFiles = 4;        // ERROR_TOO_MANY_OPEN_FILES
constexpr std::uint32_t kErrorAccessDenied = 5;            // ERROR_ACCESS_DENIED
constexpr std::uint32_t kErrorInvalidHandle = 6;           // ERROR_INVALID_HANDLE
constexpr std::uint32_t kErrorBadFormat = 11;              // ERROR_BAD_FORMAT
constexpr std::uint32_t kErrorInvalidAccess = 12;          // ERROR_INVALID_ACCESS
constexpr std::uint32_t kErrorInvalidDrive = 15;           // ERROR_INVALID_DRIVE
constexpr std::uint32_t kErrorCurrentDirectory = 16;       // ERROR_CURRENT_DIRECTORY
constexpr std::uint32_t kErrorNotSameDevice = 17;          // ERROR_NOT_SAME_DEVICE
constexpr std::uint32_t kErrorNoMoreFiles = 18;            // ERROR_NO_MORE_FILES
constexpr std::uint32_t kErrorWriteProtect = 19;           // ERROR_WRITE_PROTECT
constexpr std::uint32_t kErrorBadUnit = 20;                // ERROR_BAD_UNIT
constexpr std::uint32_t kErrorNotReady = 21;               // ERROR_NOT_READY
constexpr std::uint32_t kErrorBadCommand = 22;             // ERROR_BAD_COMMAND
constexpr std::uint32_t kErrorCrc = 23;                    // ERROR_CRC
constexpr std::uint32_t kErrorBadLength = 24;              // ERROR_BAD_LENGTH
constexpr std::uint32_t kErrorSeek = 25;                   // ERROR_SEEK
constexpr std::uint32_t kErrorNotDosDisk = 26;             // ERROR_NOT_DOS_DISK
constexpr std::uint32_t kErrorSectorNotFound = 27;         // ERROR_SECTOR_NOT_FOUND
constexpr std::uint32_t kErrorWriteFault = 29;             // ERROR_WRITE_FAULT
constexpr std::uint32_t kErrorReadFault = 30;              // ERROR_READ_FAULT
constexpr std::uint32_t kErrorSharingViolation = 32;       // ERROR_SHARING_VIOLATION
constexpr std::uint32_t kErrorLockViolation = 33;          // ERROR_LOCK_VIOLATION
constexpr std::uint32_t kErrorWrongDisk = 34;              // ERROR_WRONG_DISK
constexpr std::uint32_t kErrorSharingBufferExceeded = 36;  // ERROR_SHARING_BUFFER_EXCEEDED
constexpr std::uint32_t kErrorHandleEof = 38;              // ERROR_HANDLE_EOF
constexpr std::uint32_t kErrorHandleDiskFull = 39;         // ERROR_HANDLE_DISK_FULL
// A lost or refused network path: the daily tables lie in the current folder,
// which is often a share.
constexpr std::uint32_t kErrorRemNotList = 51;                   // ERROR_REM_NOT_LIST
constexpr std::uint32_t kErrorBadNetpath = 53;                   // ERROR_BAD_NETPATH
constexpr std::uint32_t kErrorDevNotExist = 55;                  // ERROR_DEV_NOT_EXIST
constexpr std::uint32_t kErrorNetnameDeleted = 64;               // ERROR_NETNAME_DELETED
constexpr std::uint32_t kErrorNetworkAccessDenied = 65;          // ERROR_NETWORK_ACCESS_DENIED
constexpr std::uint32_t kErrorBadDevType = 66;                   // ERROR_BAD_DEV_TYPE
constexpr std::uint32_t kErrorBadNetName = 67;                   // ERROR_BAD_NET_NAME
constexpr std::uint32_t kErrorNoNetOrBadPath = 1203;             // ERROR_NO_NET_OR_BAD_PATH
constexpr std::uint32_t kErrorSessionCredentialConflict = 1219;  // ERROR_SESSION_CREDENTIAL_CONFLICT
constexpr std::uint32_t kErrorNoNetwork = 1222;                  // ERROR_NO_NETWORK
constexpr std::uint32_t kErrorNetworkUnreachable = 1231;         // ERROR_NETWORK_UNREACHABLE
constexpr std::uint32_t kErrorHostUnreachable = 1232;            // ERROR_HOST_UNREACHABLE
constexpr std::uint32_t kErrorNotAuthenticated = 1244;           // ERROR_NOT_AUTHENTICATED
constexpr std::uint32_t kErrorLogonFailure = 1326;               // ERROR_LOGON_FAILURE
constexpr std::uint32_t kErrorNotConnected = 2250;               // ERROR_NOT_CONNECTED
constexpr std::uint32_t kErrorFileExists = 80;                   // ERROR_FILE_EXISTS
constexpr std::uint32_t kErrorCannotMake = 82;                   // ERROR_CANNOT_MAKE
constexpr std::uint32_t kErrorOpenFailed = 110;                  // ERROR_OPEN_FAILED
constexpr std::uint32_t kErrorDiskFull = 112;                    // ERROR_DISK_FULL
constexpr std::uint32_t kErrorInvalidName = 123;                 // ERROR_INVALID_NAME
constexpr std::uint32_t kErrorNegativeSeek = 131;                // ERROR_NEGATIVE_SEEK
constexpr std::uint32_t kErrorDirNotEmpty = 145;                 // ERROR_DIR_NOT_EMPTY
constexpr std::uint32_t kErrorBadPathname = 161;                 // ERROR_BAD_PATHNAME
constexpr std::uint32_t kErrorLockFailed = 167;                  // ERROR_LOCK_FAILED
constexpr std::uint32_t kErrorBusy = 170;                        // ERROR_BUSY
constexpr std::uint32_t kErrorAlreadyExists = 183;               // ERROR_ALREADY_EXISTS
constexpr std::uint32_t kErrorFilenameExcedRange = 206;          // ERROR_FILENAME_EXCED_RANGE
constexpr std::uint32_t kErrorDirectory = 267;                   // ERROR_DIRECTORY
constexpr std::uint32_t kErrorOperationAborted = 995;            // ERROR_OPERATION_ABORTED

struct CodeCause {
    std::uint32_t nCode;
    FileErrorCause cause;
};

// The platform's file-exception mapping of error codes, as the message box
// of a failed open has always shown it.
constexpr CodeCause kCodeCauses[] = {
    {kErrorSuccess, FileErrorCause::None},
    {kErrorFileNotFound, FileErrorCause::FileNotFound},
    {kErrorPathNotFound, FileErrorCause::BadPath},
    {kErrorTooManyOpenFiles, FileErrorCause::TooManyOpenFiles},
    {kErrorAccessDenied, FileErrorCause::AccessDenied},
    {kErrorInvalidHandle, FileErrorCause::FileNotFound},
    {kErrorBadFormat, FileErrorCause::InvalidFile},
    {kErrorInvalidAccess, FileErrorCause::AccessDenied},
    {kErrorInvalidDrive, FileErrorCause::BadPath},
    {kErrorCurrentDirectory, FileErrorCause::RemoveCurrentDir},
    {kErrorNotSameDevice, FileErrorCause::BadPath},
    {kErrorNoMoreFiles, FileErrorCause::FileNotFound},
    {kErrorWriteProtect, FileErrorCause::AccessDenied},
    {kErrorBadUnit, FileErrorCause::HardIO},
    {kErrorNotReady, FileErrorCause::HardIO},
    {kErrorBadCommand, FileErrorCause::HardIO},
    {kErrorCrc, FileErrorCause::HardIO},
    {kErrorBadLength, FileErrorCause::BadSeek},
    {kErrorSeek, FileErrorCause::BadSeek},
    {kErrorNotDosDisk, FileErrorCause::InvalidFile},
    {kErrorSectorNotFound, FileErrorCause::BadSeek},
    {kErrorWriteFault, FileErrorCause::AccessDenied},
    {kErrorReadFault, FileErrorCause::BadSeek},
    {kErrorSharingViolation, FileErrorCause::SharingViolation},
    {kErrorLockViolation, FileErrorCause::LockViolation},
    {kErrorWrongDisk, FileErrorCause::BadPath},
    {kErrorSharingBufferExceeded, FileErrorCause::TooManyOpenFiles},
    {kErrorHandleEof, FileErrorCause::EndOfFile},
    {kErrorHandleDiskFull, FileErrorCause::DiskFull},
    {kErrorRemNotList, FileErrorCause::BadPath},
    {kErrorBadNetpath, FileErrorCause::BadPath},
    {kErrorDevNotExist, FileErrorCause::BadPath},
    {kErrorNetnameDeleted, FileErrorCause::BadPath},
    {kErrorNetworkAccessDenied, FileErrorCause::AccessDenied},
    {kErrorBadDevType, FileErrorCause::BadPath},
    {kErrorBadNetName, FileErrorCause::BadPath},
    {kErrorNoNetOrBadPath, FileErrorCause::BadPath},
    {kErrorSessionCredentialConflict, FileErrorCause::AccessDenied},
    {kErrorNoNetwork, FileErrorCause::BadPath},
    {kErrorNetworkUnreachable, FileErrorCause::BadPath},
    {kErrorHostUnreachable, FileErrorCause::BadPath},
    {kErrorNotAuthenticated, FileErrorCause::AccessDenied},
    {kErrorLogonFailure, FileErrorCause::AccessDenied},
    {kErrorNotConnected, FileErrorCause::BadPath},
    {kErrorFileExists, FileErrorCause::AccessDenied},
    {kErrorCannotMake, FileErrorCause::DirectoryFull},  // e.g. a full FAT root folder
    {kErrorOpenFailed, FileErrorCause::AccessDenied},
    {kErrorDiskFull, FileErrorCause::DiskFull},
    {kErrorInvalidName, FileErrorCause::BadPath},
    {kErrorNegativeSeek, FileErrorCause::BadSeek},
    {kErrorDirNotEmpty, FileErrorCause::RemoveCurrentDir},
    {kErrorBadPathname, FileErrorCause::BadPath},
    {kErrorLockFailed, FileErrorCause::LockViolation},
    {kErrorBusy, FileErrorCause::AccessDenied},
    {kErrorAlreadyExists, FileErrorCause::AccessDenied},
    {kErrorFilenameExcedRange, FileErrorCause::BadPath},
    {kErrorDirectory, FileErrorCause::BadPath},
    {kErrorOperationAborted, FileErrorCause::HardIO},
};

// Indexed by FileErrorCause; the texts of the program's (Korean) resources.
constexpr const char* kTemplates[] = {
    /* None */ "오류가 발생하지 않았습니다.",
    /* Generic */ "%1에 액세스하는 동안 알 수 없는 오류가 발생했습니다.",
    /* FileNotFound */ "%1을(를) 찾을 수 없습니다.",
    /* BadPath */ "%1에 잘못된 경로가 있습니다.",
    /* TooManyOpenFiles */ "열려 있는 파일이 너무 많아서 %1을(를) 열 수 없습니다.",
    /* AccessDenied */ "%1 액세스가 거부되었습니다.",
    /* InvalidFile */ "잘못된 파일 핸들이 %1과(와) 연결되어 있습니다.",
    /* RemoveCurrentDir */ "%1은(는) 현재 디렉터리이므로 제거할 수 없습니다.",
    /* DirectoryFull */ "디렉터리가 꽉 차서 %1을(를) 만들 수 없습니다.",
    /* BadSeek */ "%1에서 찾지 못했습니다.",
    /* HardIO */ "%1에 액세스하는 동안 하드웨어 입/출력(I/O) 오류가 발생했습니다.",
    /* SharingViolation */ "%1에 액세스하는 동안 공유 위반이 발생했습니다.",
    /* LockViolation */ "%1에 액세스하는 동안 잠금 위반이 발생했습니다.",
    /* DiskFull */ "%1에 액세스하는 동안 디스크가 꽉 찼습니다.",
    /* EndOfFile */ "%1의 끝을 지나서 액세스하려고 했습니다.",
};
static_assert(std::size(kTemplates) == static_cast<std::size_t>(FileErrorCause::EndOfFile) + 1,
              "one text per cause, in the order of FileErrorCause");

constexpr std::string_view kUnnamedFile = "이름 없는 파일";

}  // namespace

FileErrorCause FileErrorCauseOf(std::uint32_t nWin32Error) {
    for (const CodeCause& entry : kCodeCauses) {
        if (entry.nCode == nWin32Error) return entry.cause;
    }
    return FileErrorCause::Generic;
}

const char* FileErrorTemplate(FileErrorCause cause) {
    const auto index = static_cast<std::size_t>(cause);
    // A value cast from outside the enum still gets a text to show.
    if (index >= std::size(kTemplates)) return kTemplates[static_cast<std::size_t>(FileErrorCause::Generic)];
    return kTemplates[index];
}

std::string FileErrorText(FileErrorCause cause, std::string_view fileName) {
    const std::string_view text = FileErrorTemplate(cause);
    const std::string_view name = fileName.empty() ? kUnnamedFile : fileName;
    std::string result;
    result.reserve(text.size() + name.size());
    // Only the template is searched, so a "%1" inside the name stays as it is.
    std::size_t from = 0;
    for (std::size_t at = text.find("%1"); at != std::string_view::npos; at = text.find("%1", from)) {
        result.append(text, from, at - from);
        result.append(name);
        from = at + 2;
    }
    result.append(text, from, std::string_view::npos);
    return result;
}

}  // namespace reports
