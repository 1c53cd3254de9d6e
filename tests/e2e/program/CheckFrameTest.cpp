// "Check Frame..." end to end on the built-in scenario: the second frame's
// dead LED and the first frame's dead receiver named in the status box in
// the words LumagridCheck.exe prints for the same frames, each beam set
// asked in turn, the mode before asked again, and a screenshot of the box.
#include "ProgramFixture.h"

#include <algorithm>
#include <cstdio>

using namespace lumagrid_e2e;

namespace {
constexpr WPARAM kCheckCommand = 0x0040;

// The faulty parts LumagridCheck.exe prints for a frame, without their indent.
std::vector<std::string> ConsoleFaults(const std::string& output, const std::string& frame) {
    std::vector<std::string> faults;
    std::size_t at = output.find("Frame \"" + frame + "\"");
    if (at == std::string::npos) return faults;
    at = output.find("  faulty parts:\n", at);
    const std::size_t end = output.find("\n  FAIL\n", at);
    if (at == std::string::npos || end == std::string::npos) return faults;
    std::size_t from = output.find('\n', at) + 1;
    while (from < end + 1) {
        const std::size_t eol = output.find('\n', from);
        faults.push_back(output.substr(from + 4, eol - from - 4));
        from = eol + 1;
    }
    return faults;
}

// A part's words without its level: the level of a weak part is a median of
// noisy packets, which two runs take at different packet numbers.
std::vector<std::string> WithoutLevels(std::vector<std::string> lines) {
    for (std::string& line : lines) line = line.substr(0, line.find("  level "));
    return lines;
}

bool IsSetLine(const std::string& line) {
    return line.find("  average ") != std::string::npos || line.find("  dark: ") != std::string::npos;
}
}  // namespace

TEST_F(ProgramTest, CheckFrameNamesADeadLedAndADeadReceiverAsTheConsoleDoes) {
    std::string console;
    {
        e2e::Session tool;
        e2e::LaunchOptions options;
        options.exeName = "LumagridCheck.exe";
        ASSERT_TRUE(tool.launch(options)) << tool.lastError();
        DWORD code = 0;
        ASSERT_TRUE(tool.waitExit(60000, &code));
        EXPECT_EQ(code, 1u);
        for (const std::string& line : tool.traceLines()) console += line + "\n";
        for (const std::string& line : tool.traceLines())
            if (line.find("checked in") != std::string::npos) std::printf("LumagridCheck.exe: %s\n", line.c_str());
    }

    Start();
    struct Frame {
        int row;
        const char* name;
        int usbindexNo;
        const char* fault;  // one of the lines the check must show
    };
    const Frame frames[] = {
        {1, "Quorvane IR160/SN-2002", 1, "X led S:75  S module 5 position 11  level 0"},
        {0, "Quorvane IR96/SN-1001", 0, "X receiver R:42  R module 3 position 10  level 0"},
    };
    for (const Frame& frame : frames) {
        SCOPED_TRACE(frame.name);
        SelectRow(frame.row);
        const std::vector<std::string> before = SetDumps();
        ASSERT_FALSE(before.empty());
        const std::vector<std::string> linesBefore = session.statusLines();

        // The item by its id: Wine reads no other process's menu.
        ASSERT_TRUE(session.sysCommand(kCheckCommand)) << session.lastError();
        ASSERT_GE(session.waitStatusLine(std::string("Check Frame started: ") + frame.name, kWait), 0);
        const ULONGLONG started = ::GetTickCount64();
        const ULONGLONG end = started + 20000;
        std::vector<std::string> lines;
        for (;;) {
            lines = session.statusLines();
            lines.erase(lines.begin(),
                        lines.begin() + static_cast<std::ptrdiff_t>(std::min(linesBefore.size(), lines.size())));
            if (!lines.empty() &&
                (lines.back() == "FAIL" || lines.back() == "PASS" || lines.back().rfind("ERROR", 0) == 0))
                break;
            ASSERT_LT(::GetTickCount64(), end) << "no verdict";
            ::Sleep(100);
        }
        // For the record beside the console's "checked in" line; never asserted.
        std::printf("Check Frame of %s: verdict within %llu ms\n", frame.name, ::GetTickCount64() - started);
        EXPECT_EQ(lines.back(), "FAIL");
        std::vector<std::string> faults;
        std::size_t nSetLines = 0;
        for (const std::string& line : lines) {
            if (line.rfind("X ", 0) != 0 && line.rfind("Y ", 0) != 0) continue;
            if (IsSetLine(line)) ++nSetLines;
            else faults.push_back(line);
        }
        EXPECT_EQ(nSetLines, 10u);  // five sets on each axis
        const std::vector<std::string> consoleFaults = ConsoleFaults(console, frame.name);
        EXPECT_NE(std::find(faults.begin(), faults.end(), frame.fault), faults.end());
        EXPECT_NE(std::find(consoleFaults.begin(), consoleFaults.end(), frame.fault), consoleFaults.end()) << console;
        EXPECT_EQ(WithoutLevels(faults), WithoutLevels(consoleFaults)) << console;
        for (const char* set : {"OT (1 of 5)", "TL1 (2 of 5)", "TR1 (3 of 5)", "TL2 (4 of 5)", "TR2 (5 of 5)"})
            EXPECT_NE(std::find(lines.begin(), lines.end(), std::string("Check Frame: measuring ") + set), lines.end());

        // Each set in Maximal IR in turn, then the click's Ambient+IR again.
        const std::vector<std::string> after = SetDumps();
        const std::string prefix = "setDump " + std::to_string(frame.usbindexNo) + " ";
        ASSERT_EQ(after.size(), before.size() + 6);
        EXPECT_EQ(std::vector<std::string>(after.begin() + static_cast<std::ptrdiff_t>(before.size()), after.end() - 1),
                  (std::vector<std::string>{prefix + "0x05", prefix + "0x15", prefix + "0x25", prefix + "0x35",
                                            prefix + "0x45"}));
        EXPECT_EQ(after.back(), before.back());
        if (frame.row == 1) {
            ::Sleep(300);  // the verdict painted
            Shot("check-frame");
        }
    }
    EXPECT_TRUE(session.running());
    Quit();
}
