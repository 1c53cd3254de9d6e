// The console tool's contact with Windows outside the library: its command
// line as UTF-8, text to a console or a pipe, files by wide-character paths,
// the shared log, the local time.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace console {

// The arguments after the program name, UTF-8.
std::vector<std::string> Arguments();

// UTF-8 text to stdout or stderr: a console gets it as characters whatever
// its code page, a pipe or a file the bytes.
void WriteOut(const std::string& text);
void WriteErr(const std::string& text);

// A text of the library (the system code page) in UTF-8; bytes that do not
// convert become U+FFFD.
std::string FromCodePage(const std::string& text);

// The whole file, or false with the platform's reason.
bool ReadFileUtf8Path(const std::string& path, std::string& bytes, std::string& error);
// Written whole or not at all (the old file stays); false with the reason.
bool WriteFileUtf8Path(const std::string& path, const std::string& bytes, std::string& error);
// Appends one line as one write while holding a lock on the file, so that
// stations sharing a log never interleave or lose lines.
bool AppendLine(const std::string& path, const std::string& line, std::string& error);

// The executable's folder with a trailing separator (the settings file lies there).
std::string ExeFolder();

// "2026-12-09T23:51:40+09:00", the local time with its offset from UTC.
std::string LocalTimeText();

// The text of a Windows error code, without its line end.
std::string ErrorText(DWORD nError);

}  // namespace console
