// The tool's outputs on the simulated frames: the LED check's verdict in the
// status box, the report worksheet through the Save As dialog, and the daily
// tables of the automatic save. The files go to the e2e output folder too,
// where the real-reader test reads them.
#include "ProgramFixture.h"

#include <cstdio>
#include <cstdlib>
#include <regex>

using namespace lumagrid_e2e;

namespace {
constexpr int kLedCheck = 1018, kFileReport = 1043, kAxisTl1 = 1059;
constexpr char kLedHeader[] = "----------- LED Check ------------";

struct LedLine {
    int cutline, aver;
    char axis;
    int s, r, sModule, sPosition, rModule, rPosition, value;
};

std::vector<LedLine> ParseLedLines(const std::vector<std::string>& lines, std::vector<std::string>* unparsed) {
    static const std::regex form(
        R"(\(cutline:(\d+)\) aver:(\d+) => ([XY]) index\(S:(-?\d+) R:(\d+)\)  S\((-?\d+)\)\((-?\d+)\) / )"
        R"(R\((\d+)\)\((\d+)\) -> (\d+))");
    std::vector<LedLine> out;
    for (const std::string& line : lines) {
        std::smatch m;
        if (!std::regex_match(line, m, form)) {
            unparsed->push_back(line);
            continue;
        }
        auto n = [&](int i) { return std::atoi(m[i].str().c_str()); };
        out.push_back({n(1), n(2), m[3].str()[0], n(4), n(5), n(6), n(7), n(8), n(9), n(10)});
    }
    return out;
}

std::string OutputPath(const std::string& name) {
    return OutputFolder(LUMAGRID_E2E_OUTPUT_DIR, "e2e-output") + "\\" + name;
}

void KeepForReaders(e2e::Session& session, const std::string& name) {
    ASSERT_TRUE(::CopyFileW(e2e::Widen(session.filePath(name)).c_str(), e2e::Widen(OutputPath(name)).c_str(), FALSE))
        << name;
}

int LineCount(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n' ? 1 : 0;
    return n;
}
}  // namespace

class LedCheckTest : public ProgramTest {
protected:
    // Runs one LED check in Maximal IR and returns its lines after the header.
    std::vector<LedLine> RunLedCheck() {
        EXPECT_TRUE(session.click(kMaximalIr));
        ::Sleep(500);
        const size_t before = session.statusLines().size();
        EXPECT_TRUE(session.click(kLedCheck));
        EXPECT_GE(session.waitStatusLine(kLedHeader, kWait), static_cast<int>(before)) << session.lastError();
        std::vector<std::string> lines = session.statusLines();
        lines.erase(lines.begin(), lines.begin() + static_cast<long>(before) + 1);
        std::vector<std::string> unparsed;
        std::vector<LedLine> led = ParseLedLines(lines, &unparsed);
        EXPECT_TRUE(unparsed.empty()) << unparsed.front();
        for (const LedLine& l : led) EXPECT_EQ(l.cutline, 33 * l.aver / 100);  // the threshold of 33 %
        return led;
    }
};

TEST_F(LedCheckTest, MaximalIrListsTheWeakAndDeadReceiversOfTheFrameAndNoOther) {
    Start();
    SelectRow(0);  // 96 x 64 in modules of 16: weak X 17, dead X 41, weak Y 50 (0-based)
    std::vector<LedLine> led = RunLedCheck();
    ASSERT_EQ(led.size(), 3u);
    EXPECT_EQ((std::vector<int>{led[0].s, led[0].r, led[0].sModule, led[0].sPosition}),
              (std::vector<int>{18, 18, 2, 2}));
    EXPECT_NEAR(led[0].value, 96 * 0.20 * 40, 3 * 40);
    EXPECT_EQ((std::vector<int>{led[1].s, led[1].r, led[1].rModule, led[1].rPosition, led[1].value}),
              (std::vector<int>{42, 42, 3, 10, 0}));
    EXPECT_EQ(led[2].axis, 'Y');
    EXPECT_EQ((std::vector<int>{led[2].s, led[2].r, led[2].sModule, led[2].sPosition}),
              (std::vector<int>{51, 51, 4, 3}));
    EXPECT_NEAR(led[2].aver, 96 * 40, 3 * 40);
    Shot("led-check");
    Quit();
}

TEST_F(LedCheckTest, TiltedBeamsNameTheLedTheTiltAway) {
    Start("LumagridX.exe");
    SelectRow(0);  // tilt set 1: X 3, Y 2
    ASSERT_TRUE(session.click(kAxisTl1));
    std::vector<LedLine> led = RunLedCheck();
    // The fading receivers at the far end see LEDs beyond the axis: not listed.
    ASSERT_EQ(led.size(), 3u);
    EXPECT_EQ((std::vector<int>{led[0].s, led[0].r, led[0].sModule, led[0].sPosition}),
              (std::vector<int>{21, 18, 2, 5}));
    EXPECT_EQ((std::vector<int>{led[1].s, led[1].r, led[1].value}), (std::vector<int>{45, 42, 0}));
    EXPECT_EQ((std::vector<int>{led[2].s, led[2].r}), (std::vector<int>{53, 51}));
    EXPECT_EQ(led[2].axis, 'Y');
    Quit();
}

TEST_F(ProgramTest, FileReportSavesTheSampleAsAWorksheetAndCancelSavesNothing) {
    Start();
    SelectRow(0);
    ASSERT_TRUE(session.click(kMaximalIr));
    ::Sleep(500);
    const size_t before = session.statusLines().size();
    const size_t traceFrom = session.traceCount();
    ASSERT_TRUE(session.click(kFileReport));
    e2e::DialogInfo dialog;
    ASSERT_TRUE(session.waitFileDialog(dialog, kWait, "Export Report File As")) << session.lastError();
    EXPECT_TRUE(std::regex_match(session.fileDialogName(dialog.hwnd), std::regex(R"(\(\d{4}-\d\d-\d\d-\d\d-\d\d\))")))
        << session.fileDialogName(dialog.hwnd);
    // The packets flow meanwhile: the LED check armed by the report writes its lines.
    EXPECT_GE(session.waitStatusLine(kLedHeader, kWait), static_cast<int>(before));
    ASSERT_TRUE(session.fileDialogSave(dialog.hwnd, session.filePath("first-frame"))) << session.lastError();
    ASSERT_TRUE(session.waitFile("first-frame.xls", kWait));
    // One empty line per data row: 96 X and 64 Y.
    const ULONGLONG end = ::GetTickCount64() + kWait;
    std::vector<std::string> lines;
    do {
        lines = session.statusLines();
    } while (lines.size() < before + 4 + 160 && ::GetTickCount64() < end && (::Sleep(50), true));
    ASSERT_EQ(lines.size(), before + 4 + 160);
    EXPECT_EQ(lines.back(), "");
    KeepForReaders(session, "first-frame.xls");
    // The X sample as the program traced it, for the readers to compare with
    // (a trace without line end may stand before a value).
    std::string samples;
    const std::vector<std::string> trace = session.traceLines();
    static const std::regex xValue(R"(X(\d+):(\d+)\.\d+$)");
    for (size_t i = traceFrom, n = 0; i < trace.size() && n < 96; ++i) {
        std::smatch m;
        if (std::regex_search(trace[i], m, xValue)) samples += m[2].str() + (++n % 16 ? " " : "\n");
    }
    FILE* f = _wfopen(e2e::Widen(OutputPath("first-frame.samples")).c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::fputs(samples.c_str(), f);
    std::fclose(f);

    // Cancel: no file. Outside the Maximal modes: no dialog at all.
    ASSERT_TRUE(session.click(kFileReport));
    ASSERT_TRUE(session.waitFileDialog(dialog, kWait, "Export Report File As"));
    ASSERT_TRUE(session.fileDialogCancel(dialog.hwnd));
    ASSERT_TRUE(session.click(kIr));
    ASSERT_TRUE(session.click(kFileReport));
    EXPECT_FALSE(session.waitFileDialog(dialog, 1500, "Export Report File As"));
    WIN32_FIND_DATAW found;
    int reports = 0;
    HANDLE h = ::FindFirstFileW(e2e::Widen(session.filePath("*.xls")).c_str(), &found);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(h, &found)) ++reports;
    if (h != INVALID_HANDLE_VALUE) ::FindClose(h);
    EXPECT_EQ(reports, 1);
    Quit();
}

// Every packet ends right before an inaccessible page: a frame read with
// another frame's receiver counts would crash the program.
static const char kStrictFrames[] = R"(rate = 20
seed = 7
strict_packets = yes

[frame]
name = Quorvane IR96/SN-1001
usbindex = 0
x_cells = 96
y_cells = 64
x_module_cells = 16
y_module_cells = 16
noise = 3
dead_x = 41
weak_x = 17:0.20
weak_y = 50:0.25

[frame]
name = Quorvane IR160/SN-2002
usbindex = 1
x_cells = 160
y_cells = 90
x_module_cells = 16
y_module_cells = 16
level_maximal = 95
noise = 4

[frame]
name = Bench:3\desk
usbindex = 5
x_cells = 24
y_cells = 16
)";

TEST_F(ProgramTest, AutoFileSaveGivesEveryFrameItsOwnTableAndASecondPassAColumn) {
    Start("LumagridX.exe", kStrictFrames);
    SelectRow(1);  // the biggest frame is marked; the others are smaller
    ASSERT_TRUE(session.click(kAutoFileSave));
    const struct {
        const char* file;
        int lines;
        int xAverage;
    } tables[] = {{"Bench_3_desk_3.txt", 1 + 25 + 17, 96 * 40},
                  {"Quorvane IR160_2.txt", 1 + 161 + 91, 95 * 40},
                  {"Quorvane IR96_1.txt", 1 + 97 + 65, (94 * 96 + 19) * 40 / 96}};
    for (const auto& t : tables) {
        ASSERT_TRUE(session.waitFile(t.file, 15000)) << t.file;
        std::string text;
        for (int i = 0; i < 50 && LineCount(text) < t.lines; ++i, ::Sleep(100)) text = session.readFile(t.file);
        EXPECT_EQ(LineCount(text), t.lines) << t.file;
        size_t at = text.find("XAvr\t");
        ASSERT_NE(at, std::string::npos) << t.file;
        EXPECT_NEAR(std::atoi(text.c_str() + at + 5), t.xAverage, 4 * 40) << t.file;
    }
    ASSERT_GE(session.waitTrace("m_FileSaveIndex => 1", kWait), 0);
    ::Sleep(2500);  // the pass ends and the marked frame gets its geometry back

    // Ticked again (after unticking): a second pass, a second column.
    ASSERT_TRUE(session.click(kAutoFileSave));
    ASSERT_TRUE(session.click(kAutoFileSave));
    const size_t from = session.traceCount();
    ASSERT_GE(session.waitTrace("=>Quorvane IR96_1.txt", 15000, from), 0);
    ::Sleep(500);
    for (const auto& t : tables) {
        std::string text = session.readFile(t.file);
        EXPECT_EQ(text.substr(0, text.find('\r')).size(), std::string("Date\t2026:01:01\t2026:01:01").size()) << t.file;
        KeepForReaders(session, t.file);
    }
    EXPECT_TRUE(session.running()) << "a packet was read past its end";
    Quit();
}

// The pass waits for a frame that is slow to send (one packet every 2.5 s,
// the first before its prepare step) and gives it its column; a frame silent
// for 5 s gets none and a trace line, and the frame after it still gets its own.
TEST_F(ProgramTest, SlowFrameStillGetsItsDailyColumn) {
    static const char kSlowFrames[] = R"(rate = 20
strict_packets = yes

[frame]
name = Bench A
usbindex = 1
x_cells = 8
y_cells = 4
level_maximal = 90

[frame]
name = Bench Silent
usbindex = 2
x_cells = 6
y_cells = 4
level_maximal = 70
rate = 0.1

[frame]
name = Bench Slow
usbindex = 3
x_cells = 10
y_cells = 4
level_maximal = 50
rate = 0.4

[frame]
name = Bench B
usbindex = 4
x_cells = 12
y_cells = 4
level_maximal = 30
)";
    Start("LumagridX.exe", kSlowFrames);
    SelectRow(0);
    ASSERT_TRUE(session.click(kAutoFileSave));
    const struct {
        const char* file;
        int xAverage;
    } tables[] = {{"Bench B_4.txt", 30 * 40}, {"Bench Slow_3.txt", 50 * 40}, {"Bench A_1.txt", 90 * 40}};
    for (const auto& t : tables) {
        ASSERT_TRUE(session.waitFile(t.file, 20000)) << t.file;
        std::string text;
        for (int i = 0; i < 50 && text.find("YAvr") == std::string::npos; ++i, ::Sleep(100))
            text = session.readFile(t.file);
        const size_t at = text.find("XAvr\t");
        ASSERT_NE(at, std::string::npos) << t.file;
        EXPECT_EQ(std::atoi(text.c_str() + at + 5), t.xAverage) << t.file;
    }
    EXPECT_GE(session.waitTrace("=>Bench Silent_2.txt   no sample within 5 s", kWait), 0);
    EXPECT_FALSE(session.waitFile("Bench Silent_2.txt", 100));
    EXPECT_TRUE(session.running()) << "a packet was read past its end";
    Quit();
}
