// The shared log and console writes of the console tool, where Windows and
// Wine differ: what Windows demands is pinned here, what Wine shows is run.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "console/ConsoleIo.h"

namespace {

// A path of the test's own in the temp folder, ASCII, no file there yet.
std::string TempFile(const char* pszName) {
    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string path = std::string(szTemp) + pszName + std::to_string(::GetCurrentProcessId());
    ::DeleteFileA(path.c_str());
    return path;
}

std::string ReadBytes(const std::string& path) {
    std::string bytes, error;
    console::ReadFileUtf8Path(path, bytes, error);
    return bytes;
}

// Windows refuses LockFileEx on a handle without read or write data access
// (Wine checks none, so every station's "--log" failed only on Windows); and
// only without FILE_WRITE_DATA does every write land at the end of the file.
TEST(ConsoleLog, OpenedWithADataRightAndForAppendingOnly) {
    const std::string path = TempFile("lumagrid-log-access-");
    HANDLE h = console::OpenLogFile(std::wstring(path.begin(), path.end()));
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << ::GetLastError();
    PUBLIC_OBJECT_BASIC_INFORMATION info{};
    ASSERT_EQ(::NtQueryObject(h, ObjectBasicInformation, &info, sizeof info, nullptr), 0);
    EXPECT_NE(info.GrantedAccess & FILE_READ_DATA, 0u) << std::hex << info.GrantedAccess;
    EXPECT_NE(info.GrantedAccess & FILE_APPEND_DATA, 0u) << std::hex << info.GrantedAccess;
    EXPECT_EQ(info.GrantedAccess & FILE_WRITE_DATA, 0u) << std::hex << info.GrantedAccess;
    // The same seen from outside: a read on the handle is allowed.
    char byte = 0;
    DWORD nRead = 0;
    EXPECT_TRUE(::ReadFile(h, &byte, 1, &nRead, nullptr)) << ::GetLastError();
    ::CloseHandle(h);
    ::DeleteFileA(path.c_str());
}

TEST(ConsoleLog, ARecordStartsOnALineOfItsOwn) {
    const std::string path = TempFile("lumagrid-log-end-");
    const std::string record = "2026-12-10T07:00:00+00:00,Frame,1,pass,,\r\n";
    const struct {
        const char* before;  // nullptr: no file yet
        std::string after;
    } cases[] = {
        {nullptr, record},
        {"", record},
        {"a,b\r\n", "a,b\r\n" + record},
        {"a,b", "a,b\r\n" + record},    // a station cut off before its line end
        {"a,b\r", "a,b\r\n" + record},  // ... between CR and LF
        {"a,b\n", "a,b\n" + record},    // a line end is a line end
    };
    for (const auto& c : cases) {
        ::DeleteFileA(path.c_str());
        std::string error;
        if (c.before != nullptr) {
            ASSERT_TRUE(console::WriteFileUtf8Path(path, c.before, error)) << error;
        }
        EXPECT_TRUE(console::AppendLine(path, record, error)) << error;
        EXPECT_EQ(ReadBytes(path), c.after) << (c.before ? c.before : "(none)");
    }
    // A second station's record follows the first.
    std::string error;
    ASSERT_TRUE(console::AppendLine(path, "second\r\n", error)) << error;
    EXPECT_EQ(ReadBytes(path), "a,b\n" + record + "second\r\n");
    ::DeleteFileA(path.c_str());
}

struct Piece {
    std::size_t nOffset;
    DWORD nUnits;
};

// Windows 7 refuses a console write above its 64 KB buffer and prints nothing.
TEST(ConsoleOutput, LongTextGoesInPiecesThatKeepSurrogatePairsWhole) {
    EXPECT_LE(console::kConsolePieceUnits * sizeof(wchar_t), 32u * 1024u);
    const std::size_t n = console::kConsolePieceUnits;
    // U+1F600 straddles the first cut.
    const std::wstring text = std::wstring(n - 1, L'a') + L"\xD83D\xDE00" + std::wstring(2 * n, L'b');
    for (const DWORD nTaken : {DWORD(0xFFFFFFFF), DWORD(1000)}) {  // the console takes all, or part of each piece
        std::wstring shown;
        std::vector<Piece> pieces;
        const bool bOk = console::WriteConsolePieces(text, [&](const wchar_t* p, DWORD nUnits, DWORD& nWritten) {
            pieces.push_back({static_cast<std::size_t>(p - text.data()), nUnits});
            nWritten = std::min(nUnits, nTaken);
            shown.append(p, nWritten);
            return true;
        });
        EXPECT_TRUE(bOk);
        EXPECT_TRUE(shown == text) << "units shown: " << shown.size() << " of " << text.size();
        ASSERT_GE(pieces.size(), 3u);
        for (const Piece& piece : pieces) {
            EXPECT_LE(piece.nUnits, n);
            EXPECT_FALSE(IS_HIGH_SURROGATE(text[piece.nOffset + piece.nUnits - 1]) &&
                         piece.nOffset + piece.nUnits < text.size())
                << "a piece ends inside a surrogate pair at " << piece.nOffset + piece.nUnits;
        }
        if (nTaken != 1000) {
            EXPECT_EQ(pieces[0].nUnits, n - 1);  // the pair goes whole into the second piece
            EXPECT_EQ(pieces[1].nUnits, n);
        }
    }
    // A console that refuses, or takes nothing, ends the text: no endless loop.
    for (const bool bRefuse : {true, false}) {
        int nCalls = 0;
        EXPECT_FALSE(console::WriteConsolePieces(text, [&](const wchar_t*, DWORD, DWORD& nWritten) {
            ++nCalls;
            nWritten = 0;
            return !bRefuse;
        }));
        EXPECT_EQ(nCalls, 1);
    }
}

}  // namespace

namespace {

// The spellings a user gives one file: case, ".\", a detour through "..",
// forward slashes, the full path, a file held open by another program; and
// for a file not there yet the same, compared by where it would be.
TEST(ConsoleSameFile, SpellingsOfOneFileAreOneFileAndNeighboursAreNot) {
    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string folder = std::string(szTemp) + "lumagrid-same-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);
    ::CreateDirectoryA((folder + "\\Sub").c_str(), nullptr);
    const std::string table = folder + "\\Sub\\t_1.txt";
    std::string error;
    ASSERT_TRUE(console::WriteFileUtf8Path(table, "Date\t2026:12:01\r\n", error)) << error;
    ASSERT_TRUE(console::WriteFileUtf8Path(folder + "\\Sub\\t_2.txt", "x", error)) << error;
    char szCurrent[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, szCurrent);
    ASSERT_TRUE(::SetCurrentDirectoryA((folder + "\\Sub").c_str()));
    // Held without sharing reads: the identity is still there to compare.
    HANDLE hHeld = ::CreateFileA(table.c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    struct Case {
        std::string a, b;
        bool bSame;
    } cases[] = {
        {"t_1.txt", "t_1.txt", true},
        {"t_1.txt", ".\\t_1.txt", true},
        {"t_1.txt", "T_1.TXT", true},
        {"t_1.txt", "../sub/./T_1.txt", true},
        {"t_1.txt", table, true},
        {"t_1.txt", folder + "/SUB/t_1.txt", true},
        {"t_1.txt", "t_2.txt", false},
        {"t_1.txt", "t_1.txt.csv", false},
        {"new.csv", "NEW.CSV", true},  // neither there yet
        {"new.csv", folder + "\\sub\\..\\SUB\\New.csv", true},
        {"new.csv", "new.svg", false},
        {"no-such\\new.csv", "No-Such\\NEW.csv", true},
        {"no-such\\new.csv", "new.csv", false},
        {"t_1.txt", "t_1.txt\\new.csv", false},
    };
    for (const Case& c : cases) EXPECT_EQ(console::SameFile(c.a, c.b), c.bSame) << c.a << " | " << c.b;
    ::CloseHandle(hHeld);
    ::SetCurrentDirectoryA(szCurrent);
    ::DeleteFileA(table.c_str());
    ::DeleteFileA((folder + "\\Sub\\t_2.txt").c_str());
    ::RemoveDirectoryA((folder + "\\Sub").c_str());
    ::RemoveDirectoryA(folder.c_str());
}

}  // namespace
