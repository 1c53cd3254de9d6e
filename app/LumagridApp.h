#pragma once

#include "framework/Afx.h"

#include <string>

// What the program's command line asks for. Without an argument the live
// scope starts; one argument is a recording to replay in a window of its own
// (a file association or a drop onto the program gives its path, quoted when
// it holds blanks). Anything else is refused with a box and exit code 64.
struct ProgramArguments {
    std::wstring replayFile;  // as given; empty: the live scope
    std::wstring error;       // the refusal, usage included; empty when taken
};
ProgramArguments ParseProgramArguments(const wchar_t* pszCommandLine);

// Exit codes of the window program besides 0.
constexpr int kExitReplayRefused = 2;  // a recording that cannot be played, or no substitute library
constexpr int kExitUsage = 64;         // a command line it does not take

class CLumagridApp : public CWinApp {
public:
    CLumagridApp();
    BOOL InitInstance() override;
    int ExitInstance() override { return m_nExitCode; }

    // The executable's folder with a trailing separator; the settings file
    // lives there. Wide: a folder named outside the system code page has no
    // narrow name that Windows would find.
    std::wstring m_strExeDir;
    // The folder that was current when the program started, absolute, with a
    // trailing separator; the daily tables live there. A Save As dialog may
    // make another folder current later.
    std::wstring m_strStartDir;
    // The recording this process replays, absolute; empty: the live scope.
    std::wstring m_strReplayFile;
    int m_nExitCode = 0;

    static void GetExeDir(std::wstring& strExeDir);
    static std::wstring GetCurrentDir();
};
