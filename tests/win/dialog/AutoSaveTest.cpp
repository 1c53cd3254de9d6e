// The daily automatic save on the real dialog with a stepped clock: the pass
// over the rows, its triggers, the frames' own geometry and the tables.
#include "DialogFixture.h"

#include <fstream>
#include <thread>
#include <sstream>

#include "reports/FileErrors.h"

namespace {
SYSTEMTIME g_now;
void WINAPI SteppedClock(SYSTEMTIME* t) { *t = g_now; }
void SetClock(WORD h, WORD m, WORD s, WORD ms) { g_now = SYSTEMTIME{2013, 5, 2, 7, h, m, s, ms}; }

// A packet of the given size with every receiver at byte b.
std::vector<std::uint8_t> Flat(int nX, int nY, std::uint8_t b) {
    std::vector<std::uint8_t> p(7 + nX + nY, b);
    return p;
}

// A packet that ends where readable memory ends: a read past its end faults
// instead of finding heap bytes.
class GuardedPacket {
public:
    explicit GuardedPacket(const std::vector<std::uint8_t>& bytes) {
        SYSTEM_INFO info;
        ::GetSystemInfo(&info);
        m_nPage = info.dwPageSize;
        m_pBase =
            static_cast<std::uint8_t*>(::VirtualAlloc(nullptr, 2 * m_nPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        ::VirtualProtect(m_pBase + m_nPage, m_nPage, PAGE_NOACCESS, &old);
        m_pAt = m_pBase + m_nPage - bytes.size();
        std::copy(bytes.begin(), bytes.end(), m_pAt);
    }
    ~GuardedPacket() { ::VirtualFree(m_pBase, 0, MEM_RELEASE); }
    GuardedPacket(const GuardedPacket&) = delete;
    GuardedPacket& operator=(const GuardedPacket&) = delete;
    WPARAM wParam() const { return reinterpret_cast<WPARAM>(m_pAt); }

private:
    std::size_t m_nPage = 0;
    std::uint8_t* m_pBase = nullptr;
    std::uint8_t* m_pAt = nullptr;
};

// A Save As dialog that makes the chosen file's folder current, as Windows
// does without OFN_NOCHANGEDIR (and as a shell extension may do even with it).
std::string g_saveFolder;
BOOL WINAPI SaveIntoOtherFolder(OPENFILENAMEW* ofn) {
    ::SetCurrentDirectoryA(g_saveFolder.c_str());
    wcscpy(ofn->lpstrFile, Widen((g_saveFolder + "report").c_str()).c_str());
    return TRUE;
}

class AutoSaveTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        ::GetCurrentDirectoryA(MAX_PATH, m_oldDir);
        ::SetCurrentDirectoryA(folder.c_str());  // the dialog takes it as the tables' start folder
        fake::Boxes().clear();
        SetClock(14, 0, 0, 0);
    }
    void TearDown() override {
        for (const char* f : {"A_3.txt", "B_2.txt", "C_1.txt", "B_1.txt", "C_2.txt", "_3.txt"})
            ::DeleteFileA((folder + f).c_str());
        ::SetCurrentDirectoryA(m_oldDir);
        DialogTest::TearDown();
    }
    // Rows 0, 1, 2: C (4 x 2), B (6 x 3), A (2 x 2), in the advanced window.
    void OpenThree() {
        fake::Current().devices = {fake::Frame("C", 30, 4, 2, 0, 0), fake::Frame("B", 20, 6, 3, 3, 3),
                                   fake::Frame("A", 10, 2, 2, 0, 0)};
        Open("LumagridX");
        dlg->m_pfnLocalTime = &SteppedClock;
        dlg->m_pfnMessageBox = &fake::RecordBox;
        Connect(3);
    }
    void Tick(UINT_PTR id) { ::SendMessageW(dlg->m_hWnd, WM_TIMER, id, 0); }
    void Tick() { Tick(CLumagridDlg::kTimerAutoSave); }
    void TickBox() {
        ::CheckDlgButton(dlg->m_hWnd, IDC_AUTO_FILE_SAVE, IsChecked(IDC_AUTO_FILE_SAVE) ? BST_UNCHECKED : BST_CHECKED);
        ::SendMessageW(dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_AUTO_FILE_SAVE, BN_CLICKED), 0);
    }
    char m_oldDir[MAX_PATH] = {0};
};
}  // namespace

TEST_F(AutoSaveTest, PassWalksTheRowsUpwardsAndEachFrameGetsItsOwnTable) {
    OpenThree();
    TickBox();
    const int sizes[3][2] = {{4, 2}, {6, 3}, {2, 2}};
    for (int row = 2; row >= 0; --row) {
        Tick();  // request
        EXPECT_EQ(dlg->m_byDumpRequest, 0x05);
        Tick();  // prepare
        EXPECT_EQ(dlg->m_FileSaveIndex, row + 1);
        // The frame's packets are read with its own counts.
        EXPECT_EQ(dlg->m_xWindow.nCount, sizes[row][0]);
        EXPECT_EQ(dlg->m_yWindow.nCount, sizes[row][1]);
        SendDump(Flat(sizes[row][0], sizes[row][1], static_cast<std::uint8_t>(10 + row)));
        EXPECT_EQ(dlg->m_FileSaveIndex, 0);
    }
    Tick();  // the seventh tick ends the pass
    EXPECT_EQ(fake::Current().SetDumps(),
              (std::vector<std::string>{"setDump 10 0x05", "setDump 20 0x05", "setDump 30 0x05"}));
    EXPECT_EQ(fake::ReadAll(folder + "A_3.txt"),
              "Date\t2013:05:07\r\nX0\t480\r\nX1\t480\r\nXAvr\t480\r\n"
              "Y0\t480\r\nY1\t480\r\nYAvr\t480\r\n");
    EXPECT_EQ(fake::ReadAll(folder + "B_2.txt").substr(0, 30), "Date\t2013:05:07\r\nX0\t440\r\nX1\t44");
    EXPECT_NE(fake::ReadAll(folder + "C_1.txt").find("YAvr\t400\r\n"), std::string::npos);
    EXPECT_EQ(dlg->m_nScopeMode, 0);  // the user's mode is left alone

    // Ticking again restarts from the last row; untick mid-pass lets it finish.
    TickBox();  // unticked: nothing starts
    TickBox();
    Tick();
    Tick();
    TickBox();  // unticked mid-pass
    SendDump(Flat(2, 2, 12));
    for (int i = 0; i < 7; ++i) Tick();  // B asked and prepared, its sample awaited 5 s, C asked
    EXPECT_EQ(fake::Current().SetDumps().size(), 6u);
    EXPECT_NE(fake::ReadAll(folder + "A_3.txt").find("Date\t2013:05:07\t2013:05:07\r\n"), std::string::npos);
}

// The pass waits for a prepared frame's sample: A, slow, still gets its
// column; B, silent, holds the pass 5 s, gets none and a trace line, and C,
// asked after it, gets its own, never B's.
TEST_F(AutoSaveTest, SlowFrameGetsItsColumnASilentOneNoneAfterFiveSeconds) {
    OpenThree();
    TickBox();
    Tick();
    Tick();  // prepares A
    for (int i = 0; i < 4; ++i) Tick();
    EXPECT_EQ(fake::Current().SetDumps().size(), 1u) << "B asked before A's sample came";
    SendDump(Flat(2, 2, 12));
    EXPECT_EQ(fake::ReadAll(folder + "A_3.txt").substr(0, 25), "Date\t2013:05:07\r\nX0\t480\r\n");
    Tick();  // the first tick after the sample asks B
    EXPECT_EQ(fake::Current().SetDumps().back(), "setDump 20 0x05");

    Tick();  // prepares B, which sends nothing
    ::testing::internal::CaptureStdout();
    for (int i = 0; i < 4; ++i) Tick();
    EXPECT_EQ(fake::Current().SetDumps().size(), 2u);
    Tick();  // 5 s: C is asked
    const std::string trace = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(trace.find("=>B_2.txt   no sample within 5 s\n"), std::string::npos) << trace;
    EXPECT_EQ(fake::Current().SetDumps().back(), "setDump 30 0x05");
    SendDump(Flat(4, 2, 20));  // C's packet before its prepare step is no one's
    Tick();                    // prepares C
    SendDump(Flat(4, 2, 20));
    EXPECT_EQ(::GetFileAttributesA((folder + "B_2.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(fake::ReadAll(folder + "C_1.txt").substr(0, 25), "Date\t2013:05:07\r\nX0\t800\r\n");
    Tick();
    EXPECT_EQ(dlg->m_nAutoSaveRemain, 0);
}

// As a click would: the library's settings answer replaces the listed counts,
// which are 0 and 0 for a frame whose device record failed.
TEST_F(AutoSaveTest, FrameIsReadWithTheCountsItsClickWouldGive) {
    fake::Device a = fake::Frame("A", 10, 2, 2, 0, 0);
    a.infoSTOk = false;
    fake::Device c = fake::Frame("C", 30, 4, 2, 0, 0);
    c.sysInfoOk = false;
    fake::Current().devices = {c, fake::Frame("B", 20, 6, 3, 3, 3), a};
    Open("LumagridX");
    dlg->m_pfnLocalTime = &SteppedClock;
    Connect(3);
    ASSERT_EQ(std::string(dlg->DeviceList.GetItemText(2, 1).str()), "0");
    TickBox();
    const int sizes[3][2] = {{4, 2}, {6, 3}, {2, 2}};
    for (int row = 2; row >= 0; --row) {
        Tick();
        Tick();
        EXPECT_EQ(dlg->m_xWindow.nCount, sizes[row][0]) << row;
        EXPECT_EQ(dlg->m_yWindow.nCount, sizes[row][1]) << row;
        SendDump(Flat(sizes[row][0], sizes[row][1], 10));
    }
}

// A frame that came back while its sample was on the way has another row
// now; the sample still goes to the table of the frame that sent it.
TEST_F(AutoSaveTest, ReconnectBeforeTheSampleIsCompleteKeepsItInItsFramesTable) {
    OpenThree();
    TickBox();
    Tick();
    Tick();                                                          // prepares A, row 2
    fake::Current().devices.erase(fake::Current().devices.begin());  // C went away
    Connect(2);
    SendDump(Flat(2, 2, 12));
    EXPECT_EQ(fake::ReadAll(folder + "A_3.txt").substr(0, 25), "Date\t2013:05:07\r\nX0\t480\r\n");
    EXPECT_EQ(::GetFileAttributesA((folder + "_3.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Saving a report elsewhere leaves the tables in the folder the program
// started in: no split history, no error box once a USB stick is pulled.
TEST_F(AutoSaveTest, SaveAsIntoAnotherFolderLeavesTheTablesInTheStartFolder) {
    OpenThree();
    g_saveFolder = folder + "stick\\";
    ::CreateDirectoryA(g_saveFolder.c_str(), nullptr);
    dlg->m_pfnGetSaveFileName = &SaveIntoOtherFolder;
    ClickRow(2);
    Click(IDC_SCOPE_MAXIMAL_IR);
    Click(IDC_FILE_REPORT);
    char current[MAX_PATH] = {0};
    ::GetCurrentDirectoryA(MAX_PATH, current);
    ASSERT_EQ(std::string(current) + "\\", g_saveFolder);
    TickBox();
    Tick();
    Tick();
    SendDump(Flat(2, 2, 10));
    ::SetCurrentDirectoryA(folder.c_str());
    EXPECT_EQ(fake::ReadAll(folder + "A_3.txt").substr(0, 25), "Date\t2013:05:07\r\nX0\t400\r\n");
    EXPECT_EQ(::GetFileAttributesA((g_saveFolder + "A_3.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    ::DeleteFileA((g_saveFolder + "report.xls").c_str());
    ::DeleteFileA((g_saveFolder + "A_3.txt").c_str());
    ::RemoveDirectoryA(g_saveFolder.c_str());
}

TEST_F(AutoSaveTest, TickingDuringAPassStartsItOverFromTheLastRow) {
    OpenThree();
    TickBox();
    Tick();
    Tick();
    SendDump(Flat(2, 2, 10));
    Tick();  // request for row 1
    EXPECT_EQ(fake::Current().SetDumps().back(), "setDump 20 0x05");
    EXPECT_EQ(dlg->m_nAutoSaveRemain, 2);
    TickBox();
    TickBox();
    EXPECT_EQ(dlg->m_nAutoSaveRemain, 3);
    EXPECT_EQ(dlg->m_bAutoSaveDumpSent, 0);
    Tick();
    EXPECT_EQ(fake::Current().SetDumps().back(), "setDump 10 0x05");
}

// The pass starts on a tick inside 23:00:00, or on the first tick after it
// when the one before came earlier that day: a 1-s timer skips a second now
// and then. The list may fill and the box be ticked between the ticks.
TEST_F(AutoSaveTest, ATickWithin23000OrTheFirstAfterASkippedOneStartsThePass) {
    struct Tick4 {
        WORD h, m, s, ms;
    };
    struct Case {
        const char* name;
        bool ticked;
        int rowsAtFirst;  // then 3 from the second tick on
        std::vector<Tick4> ticks;
        std::vector<int> starts;  // which ticks start a pass
    } cases[] = {
        {"late tick lands in the second", true, 3, {{22, 59, 59, 950}, {23, 0, 0, 960}}, {1}},
        {"second skipped", true, 3, {{22, 59, 59, 990}, {23, 0, 1, 10}, {23, 0, 2, 10}}, {1}},
        {"one inside, none after it", true, 3, {{22, 59, 59, 500}, {23, 0, 0, 400}, {23, 0, 1, 400}}, {1}},
        {"first tick at 23:30", true, 3, {{23, 30, 0, 0}, {23, 30, 1, 0}}, {}},
        {"no frame before the skipped second", true, 0, {{22, 59, 59, 990}, {23, 0, 1, 10}}, {1}},
        {"box not ticked", false, 3, {{22, 59, 59, 950}, {23, 0, 0, 0}, {23, 0, 1, 0}}, {}},
    };
    for (const Case& c : cases) {
        OpenThree();
        Connect(c.rowsAtFirst);
        if (c.ticked) ::CheckDlgButton(dlg->m_hWnd, IDC_AUTO_FILE_SAVE, BST_CHECKED);
        std::vector<int> starts;
        for (std::size_t i = 0; i < c.ticks.size(); ++i) {
            if (i == 1) Connect(3);
            dlg->m_nAutoSaveRemain = -1;
            SetClock(c.ticks[i].h, c.ticks[i].m, c.ticks[i].s, c.ticks[i].ms);
            Tick(CLumagridDlg::kTimerDaily);
            if (dlg->m_nAutoSaveRemain == 3) starts.push_back(static_cast<int>(i));
        }
        EXPECT_EQ(starts, c.starts) << c.name;
        dlg->DestroyWindow();
    }
}

TEST_F(AutoSaveTest, EndOfPassGivesTheMarkedFrameItsGeometryAndModeBack) {
    OpenThree();
    ClickRow(1);  // B: 6 x 3 in modules of 3
    Click(IDC_SCOPE_IR);
    TickBox();
    const int sizes[3][2] = {{4, 2}, {6, 3}, {2, 2}};
    for (int row = 2; row >= 0; --row) {
        Tick();
        Tick();
        if (row > 0) SendDump(Flat(sizes[row][0], sizes[row][1], 10));
    }
    EXPECT_EQ(dlg->m_FrameSettings.m_nXTCount, 4);  // row 0 was measured last
    for (int i = 0; i < 4; ++i) Tick();             // and its sample is awaited
    EXPECT_EQ(dlg->m_FrameSettings.m_nXTCount, 4);
    Tick();
    EXPECT_EQ(dlg->m_FrameSettings.m_nXTCount, 6);
    EXPECT_EQ(dlg->m_arrXModuleSize, (std::vector<unsigned>{3, 3}));
    EXPECT_EQ(dlg->m_arrYModuleSize, (std::vector<unsigned>{3}));
    EXPECT_EQ(fake::Current().SetDumps().back(), "setDump 20 0x03");
    EXPECT_EQ(dlg->m_nScopeMode, 3);
    // A frame whose sample never completed got no table.
    EXPECT_EQ(::GetFileAttributesA((folder + "C_1.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(AutoSaveTest, TableThatCannotBeWrittenShowsWhyAndStaysAsItWas) {
    OpenThree();
    ::CreateDirectoryA((folder + "A_3.txt").c_str(), nullptr);  // a folder takes the table's name
    TickBox();
    Tick();
    Tick();
    SendDump(Flat(2, 2, 10));
    // Not inside the packet handler: the library's thread would wait with the
    // rest of the pass for the box.
    EXPECT_TRUE(fake::Boxes().empty());
    PumpMessages();
    ASSERT_EQ(fake::Boxes().size(), 1u);
    EXPECT_EQ(fake::Boxes()[0].first,
              Widen(reports::FileErrorText(reports::FileErrorCause::AccessDenied, "A_3.txt").c_str(), CP_UTF8));
    EXPECT_EQ(fake::Boxes()[0].second, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(dlg->m_FileSaveIndex, 0);
    ::RemoveDirectoryA((folder + "A_3.txt").c_str());

    // A full disk: the table keeps every earlier day, no temporary file is left.
    const std::string old = "Date\t2013:05:06\r\nX0\t400\r\nX1\t440\r\nXAvr\t420\r\n";
    std::ofstream(folder + "B_2.txt", std::ios::binary) << old;
    dlg->m_pfnWriteFile = &fake::DiskFullWrite;
    Tick();
    Tick();
    SendDump(Flat(6, 3, 10));
    PumpMessages();
    ASSERT_EQ(fake::Boxes().size(), 2u);
    EXPECT_EQ(fake::Boxes()[1].first,
              Widen(reports::FileErrorText(reports::FileErrorCause::DiskFull, "B_2.txt").c_str(), CP_UTF8));
    EXPECT_EQ(fake::ReadAll(folder + "B_2.txt"), old);
    WIN32_FIND_DATAA found;
    HANDLE h = ::FindFirstFileA((folder + "*.tmp").c_str(), &found);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) ::FindClose(h);
}

// The pass asked B (6 x 3) for its dump, then the user clicked A (2 x 2):
// A's Ambient+IR packets come now. They are neither read with B's counts (the
// soak's overread under strict packets) nor saved as B's Maximal IR column.
TEST_F(AutoSaveTest, AUserRequestDuringAPassGivesNoColumnAndNoReadWithAnotherFramesCounts) {
    OpenThree();
    TickBox();
    Tick();
    Tick();
    SendDump(Flat(2, 2, 10));  // A's table
    Tick();                    // asks B
    ClickRow(2);               // the user takes A
    Tick();                    // B is not prepared
    EXPECT_EQ(dlg->m_FileSaveIndex, 0);
    GuardedPacket fromA(Flat(2, 2, 20));
    ::SendMessageW(dlg->m_hWnd, quorvane::WM_READ_DUMP, fromA.wParam(), 0);
    EXPECT_EQ(::GetFileAttributesA((folder + "B_2.txt").c_str()), INVALID_FILE_ATTRIBUTES);

    // A mode request of the user after the prepare step ends the wait too.
    Tick();  // asks C
    Tick();  // prepares C
    EXPECT_EQ(dlg->m_FileSaveIndex, 1);
    Click(IDC_SCOPE_IR);
    EXPECT_EQ(dlg->m_FileSaveIndex, 0);
    SendDump(Flat(2, 2, 30));
    EXPECT_EQ(::GetFileAttributesA((folder + "C_1.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// B leaves after A was measured: A moves to row 1, which the pass reaches
// next. A is not measured again (into a second table); C is.
TEST_F(AutoSaveTest, ReconnectDuringAPassMeasuresNoFrameTwice) {
    OpenThree();
    TickBox();
    Tick();
    Tick();
    SendDump(Flat(2, 2, 10));  // A's table
    fake::Current().devices.erase(fake::Current().devices.begin() + 1);
    Connect(2);  // rows C, A
    Tick();
    EXPECT_EQ(fake::Current().SetDumps().back(), "setDump 30 0x05");
    Tick();
    EXPECT_EQ(dlg->m_FileSaveIndex, 1);
}

// Both others leave after A was measured: A is on the top row now, the last
// one the pass reaches, and is not measured there again.
TEST_F(AutoSaveTest, FrameMovedOntoTheTopRowIsNotMeasuredAgain) {
    OpenThree();
    TickBox();
    Tick();
    Tick();
    SendDump(Flat(2, 2, 10));
    fake::Current().devices = {fake::Frame("A", 10, 2, 2, 0, 0)};
    Connect(1);
    Tick();
    EXPECT_EQ(fake::Current().SetDumps(), (std::vector<std::string>{"setDump 10 0x05"}));
    EXPECT_EQ(dlg->m_nAutoSaveRemain, 0);
}

// A viewer keeps yesterday's table open for writing: the day's save still
// reads it. Whether the replace may follow depends on the platform (Wine
// refuses to replace an open file); if not, the box says so, never that the
// table could not be read.
// A scanner or a sync client holds the freshly written table for a moment
// (without delete sharing): the day's column still lands, without a box.
TEST_F(AutoSaveTest, TableHeldForAMomentByAnotherProgramGetsTheDaysColumnOnceReleased) {
    OpenThree();
    std::ofstream(folder + "A_3.txt", std::ios::binary) << "Date\t2013:05:06\r\nX0\t400\r\n";
    HANDLE scanner = ::CreateFileA((folder + "A_3.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
    std::thread release([scanner] {
        ::Sleep(400);
        ::CloseHandle(scanner);
    });
    TickBox();
    Tick();
    Tick();
    SendDump(Flat(2, 2, 10));
    PumpMessages();
    release.join();
    EXPECT_TRUE(fake::Boxes().empty());
    const std::string withTheDay = "Date\t2013:05:06\t2013:05:07\r\nX0\t400\t";
    EXPECT_EQ(fake::ReadAll(folder + "A_3.txt").substr(0, withTheDay.size()), withTheDay);
}

TEST_F(AutoSaveTest, TableHeldOpenByAViewerStillGetsTheDaysColumn) {
    OpenThree();
    std::ofstream(folder + "A_3.txt", std::ios::binary) << "Date\t2013:05:06\r\nX0\t400\r\n";
    HANDLE viewer = ::CreateFileA((folder + "A_3.txt").c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    TickBox();
    Tick();
    Tick();
    SendDump(Flat(2, 2, 10));
    PumpMessages();
    ::CloseHandle(viewer);
    const std::string table = fake::ReadAll(folder + "A_3.txt");
    if (fake::Boxes().empty()) {
        const std::string withTheDay = "Date\t2013:05:06\t2013:05:07\r\nX0\t400\t";
        EXPECT_EQ(table.substr(0, withTheDay.size()), withTheDay);
    } else {
        EXPECT_NE(fake::Boxes()[0].first,
                  Widen(reports::FileErrorText(reports::FileErrorCause::SharingViolation, "A_3.txt").c_str(), CP_UTF8));
        EXPECT_EQ(table, "Date\t2013:05:06\r\nX0\t400\r\n");
    }
}
