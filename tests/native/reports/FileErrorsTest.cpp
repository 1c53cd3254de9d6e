#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "reports/FileErrors.h"
#include "reports/LongPath.h"

namespace {

using namespace reports;
using Cause = FileErrorCause;

TEST(FileErrors, CauseOfWindowsErrorCodes) {
    struct Case {
        std::uint32_t nCode;
        Cause cause;
    };
    for (const Case& c : {
             Case{0, Cause::None},                // ERROR_SUCCESS
             Case{2, Cause::FileNotFound},        // ERROR_FILE_NOT_FOUND
             Case{3, Cause::BadPath},             // ERROR_PATH_NOT_FOUND
             Case{4, Cause::TooManyOpenFiles},    // ERROR_TOO_MANY_OPEN_FILES
             Case{5, Cause::AccessDenied},        // ERROR_ACCESS_DENIED
             Case{6, Cause::FileNotFound},        // ERROR_INVALID_HANDLE
             Case{11, Cause::InvalidFile},        // ERROR_BAD_FORMAT
             Case{16, Cause::RemoveCurrentDir},   // ERROR_CURRENT_DIRECTORY
             Case{21, Cause::HardIO},             // ERROR_NOT_READY
             Case{25, Cause::BadSeek},            // ERROR_SEEK
             Case{32, Cause::SharingViolation},   // ERROR_SHARING_VIOLATION
             Case{33, Cause::LockViolation},      // ERROR_LOCK_VIOLATION
             Case{36, Cause::TooManyOpenFiles},   // ERROR_SHARING_BUFFER_EXCEEDED
             Case{38, Cause::EndOfFile},          // ERROR_HANDLE_EOF
             Case{39, Cause::DiskFull},           // ERROR_HANDLE_DISK_FULL
             Case{53, Cause::BadPath},            // ERROR_BAD_NETPATH
             Case{55, Cause::BadPath},            // ERROR_DEV_NOT_EXIST
             Case{64, Cause::BadPath},            // ERROR_NETNAME_DELETED
             Case{65, Cause::AccessDenied},       // ERROR_NETWORK_ACCESS_DENIED
             Case{67, Cause::BadPath},            // ERROR_BAD_NET_NAME
             Case{1231, Cause::BadPath},          // ERROR_NETWORK_UNREACHABLE
             Case{1326, Cause::AccessDenied},     // ERROR_LOGON_FAILURE
             Case{82, Cause::DirectoryFull},      // ERROR_CANNOT_MAKE
             Case{112, Cause::DiskFull},          // ERROR_DISK_FULL
             Case{123, Cause::BadPath},           // ERROR_INVALID_NAME
             Case{145, Cause::RemoveCurrentDir},  // ERROR_DIR_NOT_EMPTY
             Case{183, Cause::AccessDenied},      // ERROR_ALREADY_EXISTS
             Case{267, Cause::BadPath},           // ERROR_DIRECTORY
             Case{995, Cause::HardIO},            // ERROR_OPERATION_ABORTED
             Case{1, Cause::Generic},             // ERROR_INVALID_FUNCTION: not a file error
             Case{87, Cause::Generic},            // ERROR_INVALID_PARAMETER
             Case{0xFFFFFFFF, Cause::Generic},
         }) {
        EXPECT_EQ(FileErrorCauseOf(c.nCode), c.cause) << "code " << c.nCode;
    }
}

TEST(FileErrors, EveryCauseHasATextNamingTheFile) {
    EXPECT_STREQ(FileErrorTemplate(Cause::None), "오류가 발생하지 않았습니다.");
    for (int i = static_cast<int>(Cause::Generic); i <= static_cast<int>(Cause::EndOfFile); ++i) {
        const std::string text = FileErrorTemplate(static_cast<Cause>(i));
        EXPECT_NE(text.find("%1"), std::string::npos) << "cause " << i << ": " << text;
    }
    // A value from outside the enum still gets a text.
    EXPECT_STREQ(FileErrorTemplate(static_cast<Cause>(99)), FileErrorTemplate(Cause::Generic));
}

TEST(FileErrors, TextNamesTheFileOrAnUnnamedOne) {
    EXPECT_EQ(FileErrorText(Cause::AccessDenied, "C:\\Lumagrid\\FRAME-A_1.txt"),
              "C:\\Lumagrid\\FRAME-A_1.txt 액세스가 거부되었습니다.");
    EXPECT_EQ(FileErrorText(Cause::FileNotFound, ""), "이름 없는 파일을(를) 찾을 수 없습니다.");
    EXPECT_EQ(FileErrorText(Cause::None, "FRAME-A_1.txt"), FileErrorTemplate(Cause::None));
    // The name is inserted once, never searched again for "%1".
    EXPECT_EQ(FileErrorText(Cause::Generic, "%1%1.txt"), "%1%1.txt에 액세스하는 동안 알 수 없는 오류가 발생했습니다.");
}

}  // namespace

// The spelling that lets a temporary file beside a long target be written.
TEST(LongPath, ExtendedLengthFormOfEachKindOfPath) {
    struct Case {
        const wchar_t* pszIn;
        const wchar_t* pszOut;
    };
    const Case cases[] = {
        {L"C:\\Tables\\Frame_1.txt", L"\\\\?\\C:\\Tables\\Frame_1.txt"},
        {L"z:\\a", L"\\\\?\\z:\\a"},
        {L"\\\\server\\share\\Frame_1.txt", L"\\\\?\\UNC\\server\\share\\Frame_1.txt"},
        {L"\\\\?\\C:\\already", L"\\\\?\\C:\\already"},
        {L"\\\\?\\UNC\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x"},
        {L"\\\\.\\COM1", L"\\\\.\\COM1"},
        // Not absolute: left for Windows to refuse or resolve, never made up.
        {L"Frame_1.txt", L"Frame_1.txt"},
        {L"C:Frame_1.txt", L"C:Frame_1.txt"},
        {L"\\Tables\\Frame_1.txt", L"\\Tables\\Frame_1.txt"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(reports::ExtendedLengthPath(c.pszIn), c.pszOut);
}
