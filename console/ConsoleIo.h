// The console tool's contact with Windows outside the library: its command
// line as UTF-8, text to a console or a pipe, files by wide-character paths,
// the shared log, the local time.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "console/OutputFiles.h"

namespace console {

// The arguments after the program name, UTF-8.
std::vector<std::string> Arguments();

// UTF-8 text to stdout or stderr: a console gets it as characters whatever
// its code page, a pipe or a file the bytes.
void WriteOut(const std::string& text);
void WriteErr(const std::string& text);

// The program's name, as its progress and error lines begin.
constexpr char kProgram[] = "LumagridCheck";
// Whether stderr is a console (a line can be rewritten in place with CR)
// rather than a pipe or a file.
bool StderrIsConsole();

// "LumagridCheck: text" and a line end on stderr.
void Progress(const std::string& text);

// A command line refused: "LumagridCheck: reason", a blank line and the
// usage on stderr. Returns the usage exit code.
int RefuseCommandLine(const std::string& reason, const std::string& usage);

// One call of WriteConsoleW: false when it fails; nWritten the units it took.
using ConsoleWriter = std::function<bool(const wchar_t* pText, DWORD nUnits, DWORD& nWritten)>;
// Windows 7 refuses a console write larger than its 64 KB shared buffer (and
// prints nothing); a piece of this many UTF-16 units stays far below it.
constexpr std::size_t kConsolePieceUnits = 8192;
// The text in pieces of at most kConsolePieceUnits, never splitting a
// surrogate pair, each repeated from where the console stopped; false when a
// write fails or takes nothing.
bool WriteConsolePieces(const std::wstring& text, const ConsoleWriter& write);

// A text of the library (the system code page) in UTF-8; bytes that do not
// convert become U+FFFD.
std::string FromCodePage(const std::string& text);

// The whole file, or false with the platform's reason.
bool ReadFileUtf8Path(const std::string& path, std::string& bytes, std::string& error);
// Written whole or not at all (the old file stays); false with the reason.
bool WriteFileUtf8Path(const std::string& path, const std::string& bytes, std::string& error);
// Appends one line as one write while holding a lock on the file, so that
// stations sharing a log never interleave or lose lines. A last line left
// without its line end (a station cut off mid-write) gets one first.
bool AppendLine(const std::string& path, const std::string& line, std::string& error);

// The rights the log is opened with. LockFileEx on Windows wants read or write
// data access (Wine checks none), and FILE_APPEND_DATA without FILE_WRITE_DATA
// makes every write land at the end of the file, wherever the file pointer is.
constexpr DWORD kLogFileAccess = GENERIC_READ | FILE_APPEND_DATA;
// The log opened (created when missing) as AppendLine opens it; INVALID_HANDLE_VALUE
// with GetLastError() on failure.
HANDLE OpenLogFile(const std::wstring& path);

// A run's results: each file of `files` (path, bytes) with a path written
// whole, then the lines appended to the log when logPath is given; each
// failure named on stderr. False when any of them failed.
bool WriteResults(const std::vector<std::pair<std::string, std::string>>& files, const std::string& logPath,
                  const std::vector<std::string>& logLines);

// The file names (not folders) in a folder ("" the current one), UTF-8; false
// with the reason.
bool ListFolder(const std::string& folder, std::vector<std::string>& names, std::string& error);

// What Windows knows of a name: an existing file's volume serial number and
// file index (opened with no access rights, so a file held by another program
// still answers), and always the full path with its existing folders in
// their long form (8.3 names expanded), upper case as the file system
// compares names.
check::FileIdentity IdentityOf(const std::string& path);
// Whether two names name one file (check::SameFileIdentity of both).
bool SameFile(const std::string& a, const std::string& b);
// The recording a run plays and the files it writes must be different files:
// the first two that are one ("--replay and --json name the same file ..."),
// or empty.
std::string SharedRunFileError(const std::string& replayPath, const std::string& jsonPath, const std::string& junitPath,
                               const std::string& logPath);

// "2026-12-09T23:51:40+09:00", the local time with its offset from UTC.
std::string LocalTimeText();

// The text of a Windows error code, without its line end.
std::string ErrorText(DWORD nError);

}  // namespace console
