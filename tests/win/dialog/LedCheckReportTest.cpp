// "LED Check" and "File Report" on the real dialog: arming by mode, the
// verdict in the status box with its colours, and the report file written
// whole or not at all.
#include "DialogFixture.h"

#include <fstream>
#include <functional>
#include <sstream>

#include "reports/FileErrors.h"
#include "reports/XlsReport.h"

namespace {
// What the Save As dialog saw and answers; the packets it lets in while open.
struct SaveDialog {
    std::wstring answer;  // empty: Cancel
    std::wstring title, filter, initialName;
    const wchar_t* defExt = L"unset";
    DWORD flags = 0;
    int calls = 0;
    std::vector<std::vector<std::uint8_t>> packetsWhileOpen;
    std::function<void()> whileOpen;  // after the packets
    HWND window = nullptr;
} g_save;

BOOL WINAPI FakeSaveDialog(OPENFILENAMEW* ofn) {
    ++g_save.calls;
    g_save.title = ofn->lpstrTitle ? ofn->lpstrTitle : L"";
    const wchar_t* f = ofn->lpstrFilter;
    while (f && *f) {  // pairs separated by NULs, ended by two
        g_save.filter += std::wstring(f) + L"|";
        f += wcslen(f) + 1;
    }
    g_save.initialName = ofn->lpstrFile;
    g_save.defExt = ofn->lpstrDefExt;
    g_save.flags = ofn->Flags;
    for (const auto& packet : g_save.packetsWhileOpen)
        ::SendMessageW(g_save.window, quorvane::WM_READ_DUMP, reinterpret_cast<WPARAM>(packet.data()), 0);
    if (g_save.whileOpen) g_save.whileOpen();
    if (g_save.answer.empty()) return FALSE;
    wcscpy(ofn->lpstrFile, g_save.answer.c_str());
    return TRUE;
}

void WINAPI May7th2013(SYSTEMTIME* t) { *t = SYSTEMTIME{2013, 5, 2, 7, 14, 30, 59, 0}; }

class LedReportTest : public DialogTest {
protected:
    // 6 X and 4 Y receivers in modules of 3 and 2; dumping Maximal IR.
    void SelectMaximal() {
        SelectOnly(fake::Frame("FRAME-A", 4, 6, 4, 3, 2));
        dlg->m_pfnGetSaveFileName = &FakeSaveDialog;
        dlg->m_pfnMessageBox = &fake::RecordBox;
        dlg->m_pfnLocalTime = &May7th2013;
        g_save = SaveDialog{};
        g_save.window = dlg->m_hWnd;
        fake::Boxes().clear();
        Click(IDC_SCOPE_MAXIMAL_IR);
    }
    static std::vector<std::uint8_t> Packet() {  // X: 25, 1 weak, 0 dead ...; Y: one weak
        return {0, 0, 0, 0, 0, 0, 0, 25, 1, 0, 25, 25, 25, 20, 20, 3, 20};
    }
    std::vector<std::string> StatusLines() const {
        std::vector<std::string> lines;
        std::stringstream text(Text(IDC_STATUS));
        for (std::string line; std::getline(text, line, '\r');) {
            if (!line.empty() && line[0] == '\n') line.erase(0, 1);
            lines.push_back(line);
        }
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
        return lines;
    }
    // Colour of the first character of status line `n`, read back from the control.
    COLORREF LineColour(int n) {
        HWND box = ::GetDlgItem(dlg->m_hWnd, IDC_STATUS);
        LRESULT start = ::SendMessageW(box, EM_LINEINDEX, n, 0);
        ::SendMessageW(box, EM_SETSEL, start, start + 1);
        CHARFORMATW cf{};
        cf.cbSize = sizeof cf;
        ::SendMessageW(box, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        return cf.crTextColor;
    }
    std::vector<std::string> Sleeps() const {
        std::vector<std::string> s;
        for (const auto& c : fake::Current().calls)
            if (c.rfind("sleep", 0) == 0) s.push_back(c);
        return s;
    }
};
}  // namespace

TEST_F(LedReportTest, ArmsInTheMaximalModesOnlyAndEmptiesTheBuffersInEvery) {
    SelectMaximal();
    for (int mode = 0; mode <= 9; ++mode) {
        dlg->m_nScopeMode = mode;
        dlg->m_arrXSamples = {1, 2};
        dlg->m_arrYSamples = {3};
        dlg->m_nLedCheckPending = 1;
        Click(IDC_LED_CHECK);
        EXPECT_EQ(dlg->m_nLedCheckPending, (mode == 5 || mode == 7 || mode == 9) ? 1 : 0) << mode;
        EXPECT_TRUE(dlg->m_arrXSamples.empty() && dlg->m_arrYSamples.empty()) << mode;
    }
    // Without a marked row the button does nothing.
    ::SendMessageW(::GetDlgItem(dlg->m_hWnd, IDC_DEVICE_LIST), LVM_SETSELECTIONMARK, 0, -1);
    dlg->m_nScopeMode = 5;
    dlg->m_nLedCheckPending = 0;
    dlg->m_arrXSamples = {1};
    Click(IDC_LED_CHECK);
    EXPECT_EQ(dlg->m_nLedCheckPending, 0);
    EXPECT_EQ(dlg->m_arrXSamples.size(), 1u);
}

TEST_F(LedReportTest, NextFullSampleWritesTheVerdictOnceInItsColours) {
    SelectMaximal();
    Click(IDC_LED_CHECK);
    EXPECT_TRUE(StatusLines().empty());
    SendDump(Packet());
    EXPECT_EQ(dlg->m_nLedCheckPending, 0);
    const std::vector<std::string> expected = {
        "----------- LED Check ------------",
        // X: 1000, 40, 0, 1000, 1000, 1000: average 4040 / 5 = 808, cutline 266.
        "(cutline:266) aver:808 => X index(S:2 R:2)  S(1)(2) / R(1)(2) -> 40",
        "(cutline:266) aver:808 => X index(S:3 R:3)  S(1)(0) / R(1)(0) -> 0",
        // Y: 800, 800, 120, 800: average 630, cutline 207.
        "(cutline:207) aver:630 => Y index(S:3 R:3)  S(2)(1) / R(2)(1) -> 120",
    };
    EXPECT_EQ(StatusLines(), expected);
    EXPECT_EQ(LineColour(0), RGB(255, 0, 0));
    EXPECT_EQ(LineColour(1), RGB(255, 0, 0));
    EXPECT_EQ(LineColour(3), RGB(0, 0, 255));
    SendDump(Packet());
    EXPECT_EQ(StatusLines().size(), expected.size());  // checked once
}

TEST_F(LedReportTest, ReportOffersTheStampedNameAndSavesTheSampleSeenWhenTheDialogCloses) {
    SelectMaximal();
    g_save.answer = Widen((folder + "bench-3").c_str());
    g_save.packetsWhileOpen = {Packet()};
    fake::Current().calls.clear();
    Click(IDC_FILE_REPORT);

    EXPECT_EQ(Sleeps(), (std::vector<std::string>{"sleep 200", "sleep 200"}));
    EXPECT_EQ(g_save.title, L"Export Report File As");
    EXPECT_EQ(g_save.filter, L"Microsoft Excel 통합 문서(.xls) |*.xls|All Files (*.*)|*.*|");
    EXPECT_EQ(g_save.initialName, L"(2013-05-07-14-30)");
    EXPECT_EQ(g_save.defExt, nullptr);
    // The daily tables stay in the start folder whatever folder the user picks.
    EXPECT_EQ(g_save.flags, static_cast<DWORD>(OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR));

    const std::string bytes = fake::ReadAll(folder + "bench-3.xls");
    reports::MemorySink expected;
    reports::WriteReport(expected, CXlsWriter{}, {1000, 40, 0, 1000, 1000, 1000}, {800, 800, 120, 800});
    EXPECT_EQ(bytes, std::string(expected.bytes.begin(), expected.bytes.end()));
    // The LED check ran while the dialog was open; then one empty line per data row.
    std::vector<std::string> lines = StatusLines();
    ASSERT_EQ(lines.size(), 4u + 10u);
    for (size_t i = 4; i < lines.size(); ++i) EXPECT_EQ(lines[i], "") << i;
    EXPECT_EQ(LineColour(13), RGB(255, 0, 0));
    ::DeleteFileA((folder + "bench-3.xls").c_str());
}

namespace {
SYSTEMTIME g_clock;
void WINAPI SteppedClock(SYSTEMTIME* t) { *t = g_clock; }
}  // namespace

// The 23:00:00 pass comes while the dialog is open: it would ask the frames
// and refill the buffers the report reads when the dialog closes. It starts
// once the report is saved, and the report holds the marked frame's sample.
TEST_F(LedReportTest, DailyPassWhileTheReportDialogIsOpenWaitsUntilTheReportIsSaved) {
    SelectMaximal();
    dlg->m_pfnLocalTime = &SteppedClock;
    g_clock = SYSTEMTIME{2013, 5, 2, 7, 22, 59, 59, 900};
    ::CheckDlgButton(dlg->m_hWnd, IDC_AUTO_FILE_SAVE, BST_CHECKED);
    g_save.answer = Widen((folder + "bench-4").c_str());
    g_save.packetsWhileOpen = {Packet()};
    g_save.whileOpen = [&] {
        g_clock.wHour = 23, g_clock.wMinute = 0, g_clock.wSecond = 0;
        ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerDaily, 0);
        for (int i = 0; i < 2; ++i) ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerAutoSave, 0);
        const std::vector<std::uint8_t> bright(7 + 6 + 4, 50);  // what a prepared pass would collect
        ::SendMessageW(dlg->m_hWnd, quorvane::WM_READ_DUMP, reinterpret_cast<WPARAM>(bright.data()), 0);
    };
    fake::Current().calls.clear();
    Click(IDC_FILE_REPORT);
    EXPECT_TRUE(fake::Current().SetDumps().empty());

    reports::MemorySink expected;
    reports::WriteReport(expected, CXlsWriter{}, {1000, 40, 0, 1000, 1000, 1000}, {800, 800, 120, 800});
    EXPECT_EQ(fake::ReadAll(folder + "bench-4.xls"), std::string(expected.bytes.begin(), expected.bytes.end()));
    ::DeleteFileA((folder + "bench-4.xls").c_str());
    // Deferred, not skipped.
    EXPECT_EQ(dlg->m_nAutoSaveRemain, 1);
    ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerAutoSave, 0);
    EXPECT_EQ(fake::Current().SetDumps(), (std::vector<std::string>{"setDump 4 0x05"}));
}

namespace {
WNDPROC g_pfnStatusProc = nullptr;
int g_nStatusPaints = 0;
int g_nStatusInserts = 0;

LRESULT CALLBACK CountingStatusProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) ++g_nStatusPaints;
    if (message == EM_REPLACESEL) ++g_nStatusInserts;
    return ::CallWindowProcW(g_pfnStatusProc, hWnd, message, wParam, lParam);
}
}  // namespace

// A box that repainted, or took an insertion, per row kept the window from
// answering for seconds (about 20 ms a repaint and 0.3 ms an insertion a line
// under Wine).
TEST_F(LedReportTest, ReportRowsRepaintTheStatusBoxOnceAndEndInView) {
    SelectMaximal();
    g_save.answer = Widen((folder + "rows").c_str());
    g_save.packetsWhileOpen = {Packet()};
    HWND box = ::GetDlgItem(dlg->m_hWnd, IDC_STATUS);
    g_nStatusPaints = 0;
    g_nStatusInserts = 0;
    g_pfnStatusProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingStatusProc)));
    Click(IDC_FILE_REPORT);
    PumpMessages();
    ::SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_pfnStatusProc));

    EXPECT_EQ(StatusLines().size(), 4u + 10u);
    EXPECT_LE(g_nStatusPaints, 4 + 2);   // one per LED check line, one for all ten rows
    EXPECT_EQ(g_nStatusInserts, 2 + 1);  // the verdict's red and blue runs, then all rows
    // The start of the last line lies inside the box.
    const LRESULT last = ::SendMessageW(box, EM_LINEINDEX, ::SendMessageW(box, EM_GETLINECOUNT, 0, 0) - 1, 0);
    POINTL at{-1, -1};
    ::SendMessageW(box, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), last);
    RECT client{};
    ::GetClientRect(box, &client);
    EXPECT_GT(::SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    EXPECT_TRUE(at.y >= 0 && at.y < client.bottom) << at.y << " in " << client.bottom;
    ::DeleteFileA((folder + "rows.xls").c_str());
}

// Wine's box ignores its text limit: unbounded, a bench day of reports grew
// the program by some 2.4 KB a line. The newest verdict stays whole though a
// big frame's report rows follow it.
TEST_F(LedReportTest, StatusBoxKeepsItsNewestLinesAndTheNewestVerdictWhole) {
    SelectMaximal();
    HWND box = ::GetDlgItem(dlg->m_hWnd, IDC_STATUS);
    // Read while the box is empty: Wine raises the limit itself once text passes it.
    ASSERT_EQ(::GetWindowTextLengthW(box), 0);
    EXPECT_EQ(::SendMessageW(box, EM_GETLIMITTEXT, 0, 0), CStatusBox::kTextLimit);
    ::SendMessageW(box, WM_SETREDRAW, FALSE, 0);  // quicker; the bound is the point here
    int nAppended = 0;
    auto append = [&](int n, bool bNumbered) {
        for (int i = 0; i < n; ++i, ++nAppended)
            dlg->AppendStatusLine(bNumbered ? ("line " + std::to_string(nAppended)).c_str() : "", RGB(0, 0, 255));
    };
    auto boxLines = [&] {
        std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(::GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
        std::vector<std::string> lines;
        std::stringstream in(Narrow(text.c_str()));
        for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
        return lines;
    };
    auto verdict = [&] {
        dlg->m_arrXSamples = {25, 1, 0, 25, 25, 25};
        dlg->m_arrYSamples = {20, 20, 3, 20};
        dlg->m_nLedCheckPending = 1;
        dlg->DoLedCheck();
    };

    append(CStatusBox::kMaxLines, true);
    std::vector<std::string> lines = boxLines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(CStatusBox::kMaxLines));  // full, nothing dropped yet
    EXPECT_EQ(lines.front(), "line 0");
    append(300, true);
    lines = boxLines();
    ASSERT_LE(lines.size(), static_cast<std::size_t>(CStatusBox::kMaxLines));
    ASSERT_GT(lines.size(), static_cast<std::size_t>(CStatusBox::kMaxLines - CStatusBox::kDropLines));
    std::vector<std::string> newest;
    for (int i = nAppended - static_cast<int>(lines.size()); i < nAppended; ++i)
        newest.push_back("line " + std::to_string(i));
    EXPECT_EQ(lines, newest);

    verdict();
    append(3 * CStatusBox::kMaxLines, false);  // a big frame's report rows
    lines = boxLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "----------- LED Check ------------");
    // The next verdict brings the box back within its bound.
    verdict();
    lines = boxLines();
    EXPECT_LE(lines.size(), static_cast<std::size_t>(CStatusBox::kMaxLines));
    EXPECT_EQ(lines[lines.size() - 4], "----------- LED Check ------------");
    // A report's rows in one block: the box shows the verdict and the last
    // block's worth of them.
    dlg->AppendStatusLines("", RGB(255, 0, 0), 3 * CStatusBox::kMaxLines);
    lines = boxLines();
    ASSERT_EQ(lines.size(), 4u + CStatusBox::kMaxBlockLines);
    EXPECT_EQ(lines.front(), "----------- LED Check ------------");
    EXPECT_EQ(lines.back(), "");
}

TEST_F(LedReportTest, CancelWritesNothingAndOtherModesOpenNoDialog) {
    SelectMaximal();
    Click(IDC_FILE_REPORT);  // cancelled
    EXPECT_EQ(g_save.calls, 1);
    EXPECT_EQ(dlg->m_nLedCheckPending, 1);  // the check stays armed
    Click(IDC_SCOPE_IR);
    dlg->m_arrXSamples = {1};
    Click(IDC_FILE_REPORT);
    EXPECT_EQ(g_save.calls, 1);
    EXPECT_EQ(dlg->m_nLedCheckPending, 0);
    EXPECT_TRUE(dlg->m_arrXSamples.empty());
    WIN32_FIND_DATAA found;
    HANDLE h = ::FindFirstFileA((folder + "*.xls").c_str(), &found);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) ::FindClose(h);
}

TEST_F(LedReportTest, FileThatCannotBeWrittenShowsWhyAndLeavesTheOldOneAsItWas) {
    SelectMaximal();
    SendDump(Packet());
    // A folder of the chosen name: the report cannot take its place.
    const std::string dir = folder + "taken.xls";
    ::CreateDirectoryA(dir.c_str(), nullptr);
    g_save.answer = Widen(dir.c_str());
    Click(IDC_FILE_REPORT);
    ASSERT_EQ(fake::Boxes().size(), 1u);
    EXPECT_EQ(fake::Boxes()[0].first,
              Widen(reports::FileErrorText(reports::FileErrorCause::AccessDenied, dir).c_str(), CP_UTF8));
    EXPECT_EQ(fake::Boxes()[0].second, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    ::RemoveDirectoryA(dir.c_str());

    // A full disk: the existing report stays whole, no temporary file is left.
    const std::string path = folder + "old.xls";
    std::ofstream(path, std::ios::binary) << "yesterday's report";
    dlg->m_pfnWriteFile = &fake::DiskFullWrite;
    g_save.answer = Widen(path.c_str());
    Click(IDC_FILE_REPORT);
    ASSERT_EQ(fake::Boxes().size(), 2u);
    EXPECT_EQ(fake::Boxes()[1].first,
              Widen(reports::FileErrorText(reports::FileErrorCause::DiskFull, path).c_str(), CP_UTF8));
    EXPECT_EQ(fake::ReadAll(path), "yesterday's report");
    int files = 0;
    WIN32_FIND_DATAA found;
    HANDLE h = ::FindFirstFileA((folder + "*").c_str(), &found);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(h, &found))
        files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    if (h != INVALID_HANDLE_VALUE) ::FindClose(h);
    EXPECT_EQ(files, 2);  // Lumagrid.ini and old.xls
    ::DeleteFileA(path.c_str());
}
