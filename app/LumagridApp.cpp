#include "app/LumagridApp.h"

#include <shellapi.h>

#include <vector>

#include "app/LumagridDlg.h"
#include "framework/DllSearch.h"
#include "link/QuorvaneLoader.h"

namespace {
constexpr wchar_t kUsage[] =
    L"usage: Lumagrid.exe [RECORDING.lgrec]\n\n"
    L"Without an argument the scope shows the frames the library lists. With a recording it replays that "
    L"one frame in a window of its own, from simulator\\QuorvaneLib.dll.";
}  // namespace

ProgramArguments ParseProgramArguments(const wchar_t* pszCommandLine) {
    ProgramArguments parsed;
    // The program's own name comes first, however it was started; an empty
    // line would make CommandLineToArgvW answer with the program's path.
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(pszCommandLine, &argc);
    if (argv == nullptr) return parsed;
    std::vector<std::wstring> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    ::LocalFree(argv);
    if (args.empty()) return parsed;
    if (args.size() > 1) {
        parsed.error =
            L"One recording at a time: " + std::to_wstring(args.size()) + L" arguments were given.\n\n" + kUsage;
    } else if (args[0].empty()) {
        parsed.error = std::wstring(L"The recording's name is empty.\n\n") + kUsage;
    } else if (args[0][0] == L'-') {
        parsed.error = L"Lumagrid.exe takes no options: \"" + args[0] + L"\".\n\n" + kUsage;
    } else {
        parsed.replayFile = args[0];
    }
    return parsed;
}

CLumagridApp::CLumagridApp() : CWinApp(nullptr) {}

void CLumagridApp::GetExeDir(std::wstring& strExeDir) { strExeDir = dllsearch::ExecutableFolder(); }

std::wstring CLumagridApp::GetCurrentDir() {
    // Asked for its length first: a current folder may be longer than MAX_PATH.
    DWORD nLength = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(nLength, L'\0');
    const DWORD nCopied = nLength == 0 ? 0 : ::GetCurrentDirectoryW(nLength, &dir[0]);
    if (nCopied == 0 || nCopied >= nLength) return std::wstring();
    dir.resize(nCopied);
    if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
    return dir;
}

BOOL CLumagridApp::InitInstance() {
    GetExeDir(m_strExeDir);
    m_strStartDir = GetCurrentDir();

    const ProgramArguments args = ParseProgramArguments(::GetCommandLineW());
    if (!args.error.empty()) {
        AfxMessageBoxW(args.error.c_str(), MB_OK | MB_ICONERROR);
        m_nExitCode = kExitUsage;
        return FALSE;
    }
    if (!args.replayFile.empty()) {
        // Before any library is loaded: a file the substitute could not play
        // would make it serve its built-in frames under the recording's name.
        const std::wstring refusal = quorvane::PrepareReplay(args.replayFile, m_strReplayFile);
        if (!refusal.empty()) {
            const std::wstring named = m_strReplayFile.empty() ? args.replayFile : m_strReplayFile;
            Trace("cannot replay %s: %s\n", Narrow(named.c_str()).c_str(), Narrow(refusal.c_str()).c_str());
            AfxMessageBoxW((L"Cannot replay " + named + L":\n" + refusal).c_str(), MB_OK | MB_ICONERROR);
            m_strReplayFile.clear();
            m_nExitCode = kExitReplayRefused;
            return FALSE;
        }
    }
    AfxInitRichEdit();

    CLumagridDlg* pDlg = new CLumagridDlg(nullptr);
    pDlg->m_strReplayFile = m_strReplayFile;
    m_pMainWnd = pDlg;
    pDlg->DoModal();
    m_pMainWnd = nullptr;
    delete pDlg;
    return FALSE;
}
