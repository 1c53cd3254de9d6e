// Record on site, replay at the bench: the window program records a frame in
// Maximal IR through its system menu, and the substitute library replays the
// file as a frame that gives the same LED check and the same report.
#include "ProgramFixture.h"

using namespace lumagrid_e2e;

namespace {
constexpr int kLedCheck = 1018, kFileReport = 1043;
constexpr WPARAM kRecordCommand = 0x0020;
constexpr char kLedHeader[] = "----------- LED Check ------------";

// Without noise every packet of a request is the same, so the check and the
// report do not depend on which of the recorded packets they sample.
constexpr char kSite[] = R"(rate = 20
[frame]
name = Site frame/SN-77
usbindex = 3
x_cells = 64
y_cells = 32
x_module_cells = 16
y_module_cells = 16
x_tilts = 2 4
level_maximal = 90
weak_x = 10:0.2
dead_y = 5
)";

// Clicks the first row and waits for the click's second request (Ambient+IR)
// and the end of its handler.
void SelectFirstRow(e2e::Session& session) {
    ASSERT_TRUE(session.clickRow(kDeviceList, 0)) << session.lastError();
    const ULONGLONG end = ::GetTickCount64() + kWait;
    for (;;) {
        int n = 0;
        for (const std::string& line : session.requestLog()) n += line.rfind("setDump", 0) == 0 ? 1 : 0;
        if (n >= 2) break;
        ASSERT_LT(::GetTickCount64(), end) << "the click did not start the frame";
        ::Sleep(50);
    }
    WaitForTheHandlerToEnd(session);
}

// An LED check in Maximal IR: the lines after the header.
std::vector<std::string> LedCheckLines(e2e::Session& session) {
    EXPECT_TRUE(session.click(kMaximalIr));
    ::Sleep(800);
    const size_t before = session.statusLines().size();
    EXPECT_TRUE(session.click(kLedCheck));
    const ULONGLONG end = ::GetTickCount64() + kWait;
    while (session.statusLines().size() <= before && ::GetTickCount64() < end) ::Sleep(50);
    ::Sleep(300);  // the verdict's lines of both axes
    std::vector<std::string> lines = session.statusLines();
    EXPECT_GT(lines.size(), before);
    if (lines.size() <= before) return {};
    EXPECT_EQ(lines[before], kLedHeader);
    return std::vector<std::string>(lines.begin() + static_cast<long>(before) + 1, lines.end());
}

// A report through the Save As dialog; the file's bytes.
std::string SaveReport(e2e::Session& session, const std::string& name) {
    EXPECT_TRUE(session.click(kFileReport));
    e2e::DialogInfo dialog;
    EXPECT_TRUE(session.waitFileDialog(dialog, kWait, "Export Report File As")) << session.lastError();
    EXPECT_TRUE(session.fileDialogSave(dialog.hwnd, session.filePath(name))) << session.lastError();
    EXPECT_TRUE(session.waitFile(name + ".xls", kWait));
    return session.readFile(name + ".xls");
}
}  // namespace

TEST_F(ProgramTest, RecordedFrameReplaysToTheSameLedCheckAndReport) {
    Start("Lumagrid.exe", kSite);
    SelectFirstRow(session);
    ASSERT_TRUE(session.sysCommand(kRecordCommand));
    e2e::DialogInfo dialog;
    ASSERT_TRUE(session.waitFileDialog(dialog, kWait, "Record Dump Stream As")) << session.lastError();
    EXPECT_EQ(session.fileDialogName(dialog.hwnd).rfind("Site frame_SN-77_", 0), 0u)
        << session.fileDialogName(dialog.hwnd);
    ASSERT_TRUE(session.fileDialogSave(dialog.hwnd, session.filePath("site"))) << session.lastError();
    ASSERT_GE(session.waitStatusLine("Recording dump stream to", kWait), 0);
    const std::vector<std::string> liveLines = LedCheckLines(session);
    const std::string liveReport = SaveReport(session, "live");
    ASSERT_TRUE(session.sysCommand(kRecordCommand));  // chosen again: the recording ends
    ASSERT_GE(session.waitStatusLine("Recording ended:", kWait), 0);
    const std::string recording = session.filePath("site.lgrec");
    session.keepFolder(true);
    Quit();
    ASSERT_EQ(liveLines.size(), 2u) << "the weak X receiver and the dead Y one";

    e2e::Session replay;
    e2e::LaunchOptions options;
    options.scenarioText = "[frame]\nrecording = " + recording + "\n";
    options.env.emplace_back("QUORVANE_SIM_STRICT_PACKETS", "yes");
    ASSERT_TRUE(replay.launch(options)) << replay.lastError();
    ASSERT_NE(replay.waitMainWindow(kStartWait), nullptr) << replay.lastError();
    ASSERT_GE(replay.waitTrace(">>>>>>>> connect =", kWait), 0);
    EXPECT_GE(replay.waitTrace("Name=Site frame/SN-77", kWait), 0) << "the recorded frame is listed by its name";
    SelectFirstRow(replay);
    EXPECT_EQ(LedCheckLines(replay), liveLines);
    EXPECT_EQ(SaveReport(replay, "replayed"), liveReport);
    EXPECT_TRUE(replay.running()) << "a packet was read past its end";
    ASSERT_TRUE(replay.escape());
    replay.waitExit(kWait);
    e2e::RemoveFolder(session.folder());
}
