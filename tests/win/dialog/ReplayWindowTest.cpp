// A recording in a window of its own: the command line that asks for it, the
// check of the file before any library loads, the substitute loaded from
// simulator\, a replay window that writes nothing on its own, and "Open
// Recording..." starting a second process of the program.
#include "DialogFixture.h"

#include <shellapi.h>

#include <fstream>

#include "framework/DllSearch.h"
#include "link/QuorvaneLoader.h"
#include "recording/Recording.h"
#include "reports/SettingsFile.h"
#include "text/Escape.h"

namespace {

constexpr wchar_t kReplayFile[] = L"C:\\Hall 3\\site.lgrec";

std::wstring Variable(const wchar_t* pszName) {
    wchar_t value[1024] = L"";
    const DWORD n = ::GetEnvironmentVariableW(pszName, value, 1024);
    return n == 0 || n >= 1024 ? std::wstring() : std::wstring(value);
}

// One frame of 4 x 3 receivers, one Maximal IR packet: the least a replay plays.
std::vector<std::uint8_t> SmallRecording() {
    recording::Header h;
    h.programVersion = "1.0.0";
    h.frameName = "Site frame";
    h.usbIndexNo = 3;
    h.xCount = 4;
    h.yCount = 3;
    recording::Encoder encoder(h);
    encoder.AddRequest(0, 0x05);
    const std::vector<std::uint8_t> packet(14, 90);
    encoder.AddPacket(1000, 0x05, packet.data(), packet.size());
    encoder.Finish();
    std::vector<std::uint8_t> bytes;
    encoder.TakeOutput(bytes);
    return bytes;
}

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class ReplayWindowTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        ::GetCurrentDirectoryA(MAX_PATH, m_oldDir);
        ::SetCurrentDirectoryA(folder.c_str());  // the daily tables' folder
        m_oldSim = Variable(L"QUORVANE_SIM");
    }
    void TearDown() override {
        ::SetEnvironmentVariableW(L"QUORVANE_SIM", m_oldSim.empty() ? nullptr : m_oldSim.c_str());
        for (const char* f : {"A_1.txt", "site 1.lgrec", "garbage.lgrec"}) ::DeleteFileA((folder + f).c_str());
        ::RemoveDirectoryA((folder + "sub.lgrec").c_str());
        ::SetCurrentDirectoryA(m_oldDir);
        DialogTest::TearDown();
    }
    char m_oldDir[MAX_PATH] = {0};
    std::wstring m_oldSim;
};

SYSTEMTIME g_now;
void WINAPI SteppedClock(SYSTEMTIME* t) { *t = g_now; }

// The fakes of "Open Recording...": what the dialog was asked and given.
struct OpenRecordingCalls {
    DWORD dwFlags = 0;
    bool bAnswer = true;
    std::wstring answer = L"C:\\Hall 3\\site 1.lgrec";
    int nStarts = 0;
    std::wstring application;
    std::wstring commandLine;
    BOOL bInherit = TRUE;
    DWORD dwStartError = 0;  // nonzero: the start fails with it
    HANDLE hProcess = nullptr;
    HANDLE hThread = nullptr;
} g_calls;

BOOL WINAPI AnswerOpen(OPENFILENAMEW* pOfn) {
    g_calls.dwFlags = pOfn->Flags;
    if (!g_calls.bAnswer) return FALSE;
    wcsncpy(pOfn->lpstrFile, g_calls.answer.c_str(), pOfn->nMaxFile);
    return TRUE;
}

BOOL WINAPI RecordStart(LPCWSTR pszApplication, LPWSTR pszCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                        BOOL bInherit, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION pInfo) {
    ++g_calls.nStarts;
    g_calls.application = pszApplication ? pszApplication : L"";
    g_calls.commandLine = pszCommandLine ? pszCommandLine : L"";
    g_calls.bInherit = bInherit;
    if (g_calls.dwStartError != 0) {
        ::SetLastError(g_calls.dwStartError);
        return FALSE;
    }
    // Handles that can be seen closed afterwards.
    pInfo->hProcess = g_calls.hProcess = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    pInfo->hThread = g_calls.hThread = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    pInfo->dwProcessId = 4242;
    return TRUE;
}

bool HandleOpen(HANDLE h) {
    DWORD flags = 0;
    return ::GetHandleInformation(h, &flags) != FALSE;
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& line) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(line.c_str(), &argc);
    std::vector<std::wstring> args(argv, argv + argc);
    ::LocalFree(argv);
    return args;
}

}  // namespace

// What Explorer gives on a drop or through a file association (the path
// quoted, blanks inside), and what a second process of the program gets from
// CommandLineArgument, split by the real CommandLineToArgvW.
TEST(ProgramArguments, OneRecordingOrTheLiveScope) {
    const std::wstring program = L"\"C:\\Program Files\\Lumagrid\\Lumagrid.exe\"";
    struct Case {
        const char* what;
        std::wstring line;
        std::wstring replay;
        bool bRefused;
    };
    const Case cases[] = {
        {"no argument", program, L"", false},
        {"bare program name", L"Lumagrid.exe", L"", false},
        {"trailing blanks", program + L"   ", L"", false},
        {"a drop", program + L" \"C:\\Hall 3\\site 1.lgrec\"", L"C:\\Hall 3\\site 1.lgrec", false},
        {"unquoted", program + L" C:\\Sites\\site.lgrec", L"C:\\Sites\\site.lgrec", false},
        {"relative", program + L" site.lgrec", L"site.lgrec", false},
        {"UNC", program + L" \"\\\\server\\share x\\r.lgrec\"", L"\\\\server\\share x\\r.lgrec", false},
        {"two files dropped", program + L" a.lgrec b.lgrec", L"", true},
        {"an option", program + L" --help", L"", true},
        {"empty name", program + L" \"\"", L"", true},
    };
    for (const Case& c : cases) {
        const ProgramArguments parsed = ParseProgramArguments(c.line.c_str());
        EXPECT_EQ(parsed.replayFile, c.replay) << c.what;
        EXPECT_EQ(!parsed.error.empty(), c.bRefused) << c.what;
        if (c.bRefused) {
            EXPECT_NE(parsed.error.find(L"usage: Lumagrid.exe [RECORDING.lgrec]"), std::wstring::npos);
        }
    }
    for (const std::wstring name : {L"C:\\Hall 3\\", L"a\"b c", L"C:\\x\\\\\"y", L"\\\\s\\a b\\\uC2DC.lgrec", L"\t"}) {
        const ProgramArguments parsed =
            ParseProgramArguments((program + L" " + text::CommandLineArgument(name)).c_str());
        EXPECT_EQ(parsed.replayFile, name);
    }
}

// The file is read by the program's reader before any library loads; only
// a playable one is named in QUORVANE_SIM, absolute, whatever it said before.
TEST_F(ReplayWindowTest, ReplayIsPreparedOnlyForAPlayableRecording) {
    Write(folder + "site 1.lgrec", SmallRecording());
    Write(folder + "garbage.lgrec", {'n', 'o', 't', ' ', 'a', ' ', 'r', 'e', 'c'});
    ::CreateDirectoryA((folder + "sub.lgrec").c_str(), nullptr);
    ::SetEnvironmentVariableW(L"QUORVANE_SIM", L"bench.scn");

    std::wstring absolute;
    EXPECT_EQ(quorvane::PrepareReplay(L"garbage.lgrec", absolute),
              L"not a Lumagrid recording: the file does not start with the .lgrec magic");
    EXPECT_EQ(quorvane::PrepareReplay(L"gone.lgrec", absolute).rfind(L"cannot open the file: error 2 (", 0), 0u);
    EXPECT_EQ(quorvane::PrepareReplay(L"sub.lgrec", absolute), L"a folder, not a recording");
    EXPECT_EQ(Variable(L"QUORVANE_SIM"), L"bench.scn") << "a refused file left the scenario alone";

    EXPECT_EQ(quorvane::PrepareReplay(L"site 1.lgrec", absolute), L"");
    EXPECT_EQ(absolute, Widen((folder + "site 1.lgrec").c_str()));
    EXPECT_EQ(Variable(L"QUORVANE_SIM"), absolute);
}

// The substitute from simulator\ by its full path; a missing one is named as
// such, never replaced by a QuorvaneLib.dll a search would find.
TEST(ReplayLibrary, SubstituteComesFromTheSimulatorFolderOnly) {
    QuorvaneBinding binding;
    const std::wstring path = quorvane::SimulatorLibraryPath();
    EXPECT_EQ(path, dllsearch::ExecutableFolder() + L"simulator\\QuorvaneLib.dll");
    quorvane::LoadedLibrary loaded = quorvane::LoadQuorvaneLibrary(binding, path);
    ASSERT_NE(loaded.hLib, nullptr) << Narrow(quorvane::RefusalTextWide(loaded).c_str());
    wchar_t szLoaded[MAX_PATH] = L"";
    ::GetModuleFileNameW(loaded.hLib, szLoaded, MAX_PATH);
    EXPECT_EQ(std::wstring(szLoaded), path);
    quorvane::FreeQuorvaneLibrary(loaded.hLib, binding);

    loaded = quorvane::LoadQuorvaneLibrary(binding, dllsearch::ExecutableFolder() + L"absent\\QuorvaneLib.dll");
    EXPECT_EQ(loaded.hLib, nullptr);
    EXPECT_EQ(quorvane::RefusalText(loaded).rfind("LoadLibrary simulator\\QuorvaneLib.dll failed: error 126 (", 0), 0u)
        << quorvane::RefusalText(loaded);
}

// No section in Lumagrid.ini, none read: a section of the live frame of the
// same name keeps its bytes and does not replace the recorded geometry.
TEST_F(ReplayWindowTest, ReplayNeitherWritesNorReadsTheFramesSection) {
    fake::Current().devices = {fake::Frame("A", 10, 4, 3, 2, 0)};
    Open("Lumagrid", kReplayFile);
    Connect(1);
    ClickRow(0);
    EXPECT_EQ(::GetFileAttributesA((folder + "Lumagrid.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    dlg->DestroyWindow();

    const std::wstring ini = Widen((folder + "Lumagrid.ini").c_str());
    settings::WriteFrameSection(ini, "A", fake::Geometry(4, 3, 1, 1));
    const std::string before = IniText();
    Open("Lumagrid", kReplayFile);
    Connect(1);
    ClickRow(0);
    EXPECT_EQ(dlg->m_FrameSettings.X_MODULE_CELL, 2) << "the recorded geometry";
    EXPECT_EQ(IniText(), before);
}

// Neither the box (shown in LumagridX, but disabled) nor 23:00 starts a pass.
TEST_F(ReplayWindowTest, ReplayStartsNoAutomaticSave) {
    fake::Current().devices = {fake::Frame("A", 10, 2, 2, 0, 0)};
    Open("LumagridX", kReplayFile);
    dlg->m_pfnLocalTime = &SteppedClock;
    Connect(1);
    EXPECT_TRUE(IsVisible(IDC_AUTO_FILE_SAVE));
    EXPECT_FALSE(IsEnabled(IDC_AUTO_FILE_SAVE));
    ::CheckDlgButton(dlg->m_hWnd, IDC_AUTO_FILE_SAVE, BST_CHECKED);  // as a message from outside could
    ::SendMessageW(dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_AUTO_FILE_SAVE, BN_CLICKED), 0);
    for (WORD s : {58, 59}) {
        g_now = SYSTEMTIME{2013, 5, 2, 7, 22, 59, s, 0};
        ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerDaily, 0);
    }
    g_now = SYSTEMTIME{2013, 5, 2, 7, 23, 0, 0, 0};
    ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerDaily, 0);
    for (int i = 0; i < 4; ++i) ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerAutoSave, 0);
    EXPECT_EQ(dlg->m_nAutoSaveRemain, 0);
    EXPECT_TRUE(fake::Current().SetDumps().empty());
    EXPECT_EQ(::GetFileAttributesA((folder + "A_1.txt").c_str()), INVALID_FILE_ATTRIBUTES);

    wchar_t szTitle[256] = L"";
    ::GetWindowTextW(dlg->m_hWnd, szTitle, 256);
    EXPECT_EQ(std::wstring(szTitle), L"Replay: C:\\Hall 3\\site.lgrec - Quorvane Lumagrid");
}

// The item after the others; the dialog that never changes the current
// folder; the program's own file started on the chosen one, its handles closed.
TEST_F(ReplayWindowTest, OpenRecordingStartsTheProgramOnTheChosenFile) {
    Open();
    dlg->m_pfnGetOpenFileName = &AnswerOpen;
    dlg->m_pfnCreateProcess = &RecordStart;
    dlg->m_pfnMessageBox = &fake::RecordBox;
    fake::Boxes().clear();
    g_calls = OpenRecordingCalls{};

    HMENU hMenu = ::GetSystemMenu(dlg->m_hWnd, FALSE);
    const int nItems = ::GetMenuItemCount(hMenu);
    ASSERT_GT(nItems, 1);
    EXPECT_EQ(::GetMenuItemID(hMenu, nItems - 1), static_cast<UINT>(IDM_OPEN_RECORDING));
    int nSweepAt = -1;
    for (int i = 0; i < nItems; ++i)
        if (::GetMenuItemID(hMenu, i) == static_cast<UINT>(IDM_SWEEP_TEST)) nSweepAt = i;
    EXPECT_GE(nSweepAt, 0) << "appended after the existing items";
    wchar_t szItem[64] = L"";
    ::GetMenuStringW(hMenu, IDM_OPEN_RECORDING, szItem, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(szItem), L"Open Recording...");
    EXPECT_EQ(::GetMenuState(hMenu, IDM_OPEN_RECORDING, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED), 0u);

    ::SendMessageW(dlg->m_hWnd, WM_SYSCOMMAND, IDM_OPEN_RECORDING, 0);
    EXPECT_NE(g_calls.dwFlags & OFN_NOCHANGEDIR, 0u);
    EXPECT_NE(g_calls.dwFlags & OFN_FILEMUSTEXIST, 0u);
    ASSERT_EQ(g_calls.nStarts, 1);
    EXPECT_EQ(g_calls.application, dllsearch::ExecutablePath());
    EXPECT_EQ(SplitCommandLine(g_calls.commandLine),
              (std::vector<std::wstring>{dllsearch::ExecutablePath(), L"C:\\Hall 3\\site 1.lgrec"}));
    EXPECT_FALSE(g_calls.bInherit) << "the replay holds none of the scope's files";
    EXPECT_FALSE(HandleOpen(g_calls.hProcess));
    EXPECT_FALSE(HandleOpen(g_calls.hThread));

    g_calls.bAnswer = false;  // Cancel
    ::SendMessageW(dlg->m_hWnd, WM_SYSCOMMAND, IDM_OPEN_RECORDING, 0);
    EXPECT_EQ(g_calls.nStarts, 1);
    EXPECT_TRUE(fake::Boxes().empty());

    g_calls.bAnswer = true;
    g_calls.dwStartError = ERROR_ACCESS_DENIED;
    ::SendMessageW(dlg->m_hWnd, WM_SYSCOMMAND, IDM_OPEN_RECORDING, 0);
    ASSERT_EQ(fake::Boxes().size(), 1u);
    EXPECT_EQ(fake::Boxes()[0].first.rfind(L"Cannot start the replay of C:\\Hall 3\\site 1.lgrec: error 5 (", 0), 0u)
        << Narrow(fake::Boxes()[0].first.c_str());
}
