// The real LumagridCheck.exe on simulated frames: what a test station reads
// back (exit code, report, JSON) for a sound frame, a sweep test, a frame with a dead LED
// and a dead receiver, no frame, a frame that leaves, a bad command line, a
// library whose unload hangs; the trend's wildcards as cmd.exe passes them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Driver.h"

namespace {

struct CheckRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;  // stdout and stderr lines, each ended by "\n"
    std::string json;
    std::string junit;
    std::string log;  // station.csv, for runs given --log station.csv
};

// Frames stream fast here so that a check of five sets takes well under a second.
CheckRun RunCheck(const std::string& scenario, std::vector<std::string> args, bool bFiles = false,
                  const std::string& folder = "") {
    e2e::Session session;
    e2e::LaunchOptions options;
    options.exeName = "LumagridCheck.exe";
    options.scenarioText = scenario;
    options.folder = folder;
    if (bFiles) {
        args.push_back("--json=check.json");
        args.push_back("--junit=check.xml");
    }
    options.args = args;
    CheckRun run;
    EXPECT_TRUE(session.launch(options)) << session.lastError();
    EXPECT_TRUE(session.waitExit(60000, &run.exitCode)) << "LumagridCheck.exe did not end";
    for (const std::string& line : session.traceLines()) run.output += line + "\n";
    if (bFiles) {
        run.json = session.readFile("check.json");
        run.junit = session.readFile("check.xml");
    }
    run.log = session.readFile("station.csv");
    return run;
}

const char kFrameHeader[] = "rate = 200\nstrict_packets = yes\n";

// A folder of the test's own, for files that several runs share.
std::string MakeFolder(const char* pszName) {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + pszName + "-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// The "faulty parts:" block of a check's report.
std::string FaultyParts(const std::string& output) {
    const size_t from = output.find("faulty parts:");
    return from == std::string::npos ? std::string() : output.substr(from, output.find("  FAIL", from) - from);
}

}  // namespace

TEST(CheckTool, SoundFramePassesAndDeadPartsAreNamedAsLedOrReceiver) {
    const std::string sound = std::string(kFrameHeader) +
                              "[frame]\nname = Bench OK\nusbindex = 4\nx_cells = 48\ny_cells = 32\n"
                              "x_module_cells = 16\nx_tilts = 3 5\ny_tilts = 2\nnoise = 2\n";
    CheckRun ok = RunCheck(sound, {}, true);
    EXPECT_EQ(ok.exitCode, 0u) << ok.output;
    EXPECT_NE(ok.output.find("  PASS\n"), std::string::npos) << ok.output;
    EXPECT_NE(ok.json.find("\"verdict\": \"pass\""), std::string::npos) << ok.json;

    // LED 20 and receiver 31 (index 30) of X are dead; Y has only OT and TL1/TR1.
    const std::string faulty = std::string(kFrameHeader) +
                               "[frame]\nname = Bench Faulty\nusbindex = 7\nx_cells = 48\ny_cells = 32\n"
                               "x_module_cells = 16\nx_tilts = 3 5\ny_tilts = 2\nnoise = 2\n"
                               "dead_led_x = 20\ndead_x = 30\n";
    CheckRun bad = RunCheck(faulty, {"--frame", "7"}, true);
    EXPECT_EQ(bad.exitCode, 1u) << bad.output;
    EXPECT_NE(bad.output.find("X led S:20"), std::string::npos) << bad.output;
    EXPECT_NE(bad.output.find("X receiver R:31"), std::string::npos) << bad.output;
    EXPECT_NE(bad.output.find("  FAIL\n"), std::string::npos) << bad.output;
    EXPECT_NE(bad.json.find("\"part\": \"led\""), std::string::npos) << bad.json;
    EXPECT_NE(bad.junit.find("<failure"), std::string::npos) << bad.junit;
}

TEST(CheckTool, IncompleteChecksAndBadCommandLinesAreNeverAPass) {
    // Only a service device: nothing the device list would show.
    CheckRun none = RunCheck(
        std::string(kFrameHeader) + "[frame]\nname = Service\ntype = 2\nusbindex = 1\nx_cells = 8\ny_cells = 8\n", {},
        true);
    EXPECT_EQ(none.exitCode, 2u) << none.output;
    EXPECT_NE(none.output.find("no frame connected"), std::string::npos) << none.output;
    EXPECT_NE(none.json.find("\"frames\": []"), std::string::npos) << none.json;

    // The first frame leaves during its check; the second is still checked.
    CheckRun left =
        RunCheck(std::string(kFrameHeader) +
                     "at = 400 disconnect 1\n"
                     "[frame]\nname = Leaving\nusbindex = 1\nx_cells = 16\ny_cells = 8\nx_tilts = 2\nrate = 20\n"
                     "[frame]\nname = Staying\nusbindex = 2\nx_cells = 16\ny_cells = 8\n",
                 {});
    EXPECT_EQ(left.exitCode, 2u) << left.output;
    EXPECT_NE(left.output.find("the frame left during its check"), std::string::npos) << left.output;
    EXPECT_NE(left.output.find("Frame \"Staying\"  usbindexNo 2"), std::string::npos) << left.output;

    // A frame whose records both fail, as they would fail a click in the scope.
    CheckRun records = RunCheck(std::string(kFrameHeader) +
                                    "[frame]\nname = Mute records\nusbindex = 5\nx_cells = 8\ny_cells = 8\n"
                                    "info_st = fail\nsysinfo = fail\n",
                                {});
    EXPECT_EQ(records.exitCode, 2u) << records.output;
    EXPECT_NE(records.output.find("neither getDeviceInfoST nor getSysInfo"), std::string::npos) << records.output;

    // A frame that never sends: an error after the time limit, not a pass.
    CheckRun silent = RunCheck("rate = 0.1\n[frame]\nname = Mute\nusbindex = 3\nx_cells = 8\ny_cells = 8\n",
                               {"--timeout", "1", "--settle=0", "--packets", "2"});
    EXPECT_EQ(silent.exitCode, 2u) << silent.output;
    EXPECT_NE(silent.output.find("ERROR"), std::string::npos) << silent.output;

    // A result that cannot be written: named with the cause, and never exit code 0.
    CheckRun unwritten =
        RunCheck(std::string(kFrameHeader) + "[frame]\nname = Fine\nusbindex = 2\nx_cells = 8\ny_cells = 8\n",
                 {"--json", "no-such-folder\\check.json"});
    EXPECT_EQ(unwritten.exitCode, 2u) << unwritten.output;
    EXPECT_NE(unwritten.output.find("cannot write no-such-folder\\check.json"), std::string::npos) << unwritten.output;

    CheckRun usage = RunCheck("", {"--packets", "0"});
    EXPECT_EQ(usage.exitCode, 64u) << usage.output;
    EXPECT_NE(usage.output.find("--packets"), std::string::npos) << usage.output;
    EXPECT_NE(usage.output.find("usage: LumagridCheck.exe"), std::string::npos) << usage.output;
}

// The trend of a daily table as the program writes them: X1 fades by 300 a
// day against three steady receivers; a table that is not there is named.
TEST(CheckTool, TrendFlagsTheFadingReceiverAndNamesATableItCannotRead) {
    std::string dates = "Date", x[4] = {"X0", "X1", "X2", "X3"}, avr = "XAvr";
    for (int day = 0; day < 10; ++day) {
        char date[16];
        std::snprintf(date, sizeof date, "\t2026:11:%02d", day + 1);
        dates += date;
        const int fading = 4000 - 300 * day;
        for (int r = 0; r < 4; ++r) x[r] += "\t" + std::to_string(r == 1 ? fading : 4000);
        avr += "\t" + std::to_string((12000 + fading) / 4);
    }
    const std::string table =
        dates + "\r\n" + x[0] + "\r\n" + x[1] + "\r\n" + x[2] + "\r\n" + x[3] + "\r\n" + avr + "\r\n";

    const std::string folder = MakeFolder("lumagrid-trend");
    HANDLE h =
        ::CreateFileA((folder + "\\Bench A_1.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(h, table.data(), static_cast<DWORD>(table.size()), &written, nullptr);
    ::CloseHandle(h);

    e2e::Session session;
    e2e::LaunchOptions options;
    options.exeName = "LumagridCheck.exe";
    options.folder = folder;
    options.args = {"trend", "Bench A_1.txt", "--csv", "trend.csv"};
    ASSERT_TRUE(session.launch(options)) << session.lastError();
    DWORD exitCode = 0;
    ASSERT_TRUE(session.waitExit(30000, &exitCode));
    std::string output;
    for (const std::string& line : session.traceLines()) output += line + "\n";
    EXPECT_EQ(exitCode, 1u) << output;
    const size_t at = output.find("X1 ");
    ASSERT_NE(at, std::string::npos) << output;
    const std::string row = output.substr(at, output.find('\n', at) - at);
    EXPECT_NE(row.find("R2"), std::string::npos) << row;
    EXPECT_NE(row.find("crossing"), std::string::npos) << row;
    EXPECT_EQ(output.find("X0 "), std::string::npos) << "a steady receiver flagged: " << output;
    EXPECT_NE(session.readFile("trend.csv").find(",X1,2,"), std::string::npos) << session.readFile("trend.csv");

    // Neither cmd.exe nor PowerShell expands a pattern, and CreateProcess
    // passes it as written: the program matches it, in name order.
    h = ::CreateFileA((folder + "\\bench 0_3.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ::WriteFile(h, table.data(), static_cast<DWORD>(table.size()), &written, nullptr);
    ::CloseHandle(h);
    e2e::Session pattern;
    options.args = {"trend", "Bench*_?.txt", "*.none", "--csv", "trend.csv"};
    ASSERT_TRUE(pattern.launch(options)) << pattern.lastError();
    ASSERT_TRUE(pattern.waitExit(30000, &exitCode));
    output.clear();
    for (const std::string& line : pattern.traceLines()) output += line + "\n";
    EXPECT_EQ(exitCode, 2u) << output;  // the pattern that matched nothing
    EXPECT_NE(output.find("no table matches *.none"), std::string::npos) << output;
    const size_t first = output.find("bench 0_3.txt: frame");
    const size_t second = output.find("Bench A_1.txt: frame");
    EXPECT_NE(first, std::string::npos) << output;
    EXPECT_NE(second, std::string::npos) << output;
    EXPECT_LT(first, second) << output;

    e2e::Session missing;
    options.args = {"trend", "Bench A_1.txt", "Nowhere_2.txt"};
    ASSERT_TRUE(missing.launch(options)) << missing.lastError();
    ASSERT_TRUE(missing.waitExit(30000, &exitCode));
    output.clear();
    for (const std::string& line : missing.traceLines()) output += line + "\n";
    EXPECT_EQ(exitCode, 2u) << output;
    EXPECT_NE(output.find("Nowhere_2.txt"), std::string::npos) << output;
    e2e::RemoveFolder(folder);
}

// A maker's library whose unload hangs (its DllMain waits for a reader thread
// of its own): the results are written first, and the library is never
// unloaded, so the run still ends with its exit code.
TEST(CheckTool, ResultsDoNotWaitForTheLibraryToUnload) {
    e2e::Session session;
    e2e::LaunchOptions options;
    options.exeName = "LumagridCheck.exe";
    options.scenarioText = std::string(kFrameHeader) + "[frame]\nname = Fine\nusbindex = 2\nx_cells = 8\ny_cells = 8\n";
    options.env = {{"QUORVANE_SIM_UNLOAD", "hang"}};
    options.args = {"--json", "check.json", "--junit", "check.xml", "--log", "checks.csv"};
    ASSERT_TRUE(session.launch(options)) << session.lastError();
    DWORD exitCode = 0;
    const bool bEnded = session.waitExit(20000, &exitCode);
    std::string output;
    for (const std::string& line : session.traceLines()) output += line + "\n";
    EXPECT_TRUE(bEnded) << "LumagridCheck.exe hung\n" << output;
    EXPECT_EQ(exitCode, 0u) << output;
    EXPECT_NE(session.readFile("check.json").find("\"verdict\": \"pass\""), std::string::npos) << output;
    EXPECT_NE(session.readFile("check.xml").find("<testsuite"), std::string::npos) << output;
    EXPECT_NE(session.readFile("checks.csv").find(",Fine,2,pass,"), std::string::npos) << output;
}

// Recorded with "record" on every beam set, a frame with a dead LED and a dead
// receiver replays with the diagnosis it had live.
TEST(CheckTool, RecordingOfAFaultyFrameReplaysToTheSameDiagnosis) {
    const std::string live = std::string(kFrameHeader) +
                             "[frame]\nname = Site 12\nusbindex = 7\nx_cells = 48\ny_cells = 32\n"
                             "x_module_cells = 16\nx_tilts = 3 5\ny_tilts = 2\nnoise = 2\n"
                             "dead_led_x = 20\ndead_x = 30\n";
    const std::string folder = MakeFolder("lumagrid-replay");
    CheckRun recorded = RunCheck(
        live, {"record", "--frame", "Site 12", "--seconds", "3", "--modes", "maximal", "site.lgrec"}, false, folder);
    EXPECT_EQ(recorded.exitCode, 0u) << recorded.output;
    EXPECT_NE(recorded.output.find("recorded "), std::string::npos) << recorded.output;

    CheckRun checkedLive = RunCheck(live, {}, false, folder);
    CheckRun replayed = RunCheck("[frame]\nrecording = site.lgrec\n", {}, false, folder);
    EXPECT_EQ(checkedLive.exitCode, 1u) << checkedLive.output;
    EXPECT_EQ(replayed.exitCode, 1u) << replayed.output;
    ASSERT_NE(FaultyParts(checkedLive.output), "") << checkedLive.output;
    EXPECT_EQ(FaultyParts(replayed.output), FaultyParts(checkedLive.output)) << replayed.output;
    e2e::RemoveFolder(folder);
}

// What a station's command line and settings make of a run: a --frame that
// matches nothing, a threshold the check cannot run on, a check reduced to OT
// with and without --strict, a frame that leaves while another is checked, a
// run that checked nothing in the log.
TEST(CheckTool, CommandLinesAndSettingsAStationMayGet) {
    const std::string three =
        std::string(kFrameHeader) + "[frame]\nname = Three\nusbindex = 3\nx_cells = 16\ny_cells = 8\n";
    const std::string mute = std::string(kFrameHeader) +
                             "[frame]\nname = No geometry\nusbindex = 4\nx_cells = 16\ny_cells = 8\nsysinfo = fail\n";
    struct Case {
        const char* what;
        std::string scenario;
        std::vector<std::string> args;
        const char* ini;  // MIN_ADC_O_PER, nullptr: no Lumagrid.ini
        DWORD exitCode;
        std::vector<std::string> output;  // each must appear in stdout/stderr
        std::vector<std::string> json;    // each must appear in the JSON
    };
    const Case cases[] = {
        {"unplugged second frame",
         three,
         {"--frame", "3", "--frame", "7"},
         nullptr,
         2,
         {"Frame \"7\"  not listed", "error: no listed frame matches --frame 7", "Frame \"Three\"  usbindexNo 3"},
         {"\"name\": \"7\",\n      \"usbindexNo\": null,\n      \"verdict\": \"error\",\n"
          "      \"error\": \"no listed frame matches --frame 7\""}},
        {"threshold abc", three, {}, "abc", 64, {"[SETTING] MIN_ADC_O_PER=abc is not a whole number from 1 to 99"}, {}},
        {"threshold 0", three, {}, "0", 64, {"Lumagrid.ini: [SETTING] MIN_ADC_O_PER=0 is not"}, {}},
        {"threshold 300", three, {}, "300", 64, {"MIN_ADC_O_PER=300 is not"}, {}},
        {"threshold -5 for the trend's default",
         three,
         {"trend", "none.txt"},
         "-5",
         64,
         {"MIN_ADC_O_PER=-5 is not"},
         {}},
        {"trend with --threshold", three, {"trend", "none.txt", "--threshold", "40"}, "abc", 2, {"none.txt"}, {}},
        {"threshold 40", three, {}, "40", 0, {"  PASS"}, {"\"threshold\": 40"}},
        {"reduced",
         mute,
         {},
         nullptr,
         0,
         {"  reduced: getSysInfo failed; no modules and tilts known, OT only", "  PASS"},
         {"\"reduced\": \"getSysInfo failed; no modules and tilts known, OT only\""}},
        {"reduced with --strict", mute, {"--strict"}, nullptr, 2, {"a reduced check with --strict", "  ERROR"}, {}},
        // One grammar for the three commands: -h, a repeated option, "--".
        {"check -h", three, {"-h", "--packets", "0"}, nullptr, 0, {"usage: LumagridCheck.exe [options]"}, {}},
        {"record -h", three, {"record", "-h"}, nullptr, 0, {"usage: LumagridCheck.exe record --frame F"}, {}},
        {"trend -h with a bad setting", three, {"trend", "-h"}, "abc", 0, {"usage: LumagridCheck trend"}, {}},
        {"check option twice",
         three,
         {"--wait", "3", "--wait=3"},
         nullptr,
         64,
         {"LumagridCheck: --wait is given twice", "usage: LumagridCheck.exe [options]"},
         {}},
        {"record option twice",
         three,
         {"record", "--frame", "3", "--seconds", "1", "--frame", "3", "x.lgrec"},
         nullptr,
         64,
         {"LumagridCheck record: --frame is given twice", "usage: LumagridCheck.exe record"},
         {}},
        {"trend option twice",
         three,
         {"trend", "none.txt", "--days", "3", "--days", "4"},
         nullptr,
         64,
         {"trend: --days is given twice", "usage: LumagridCheck trend"},
         {}},
        {"trend table after --",
         three,
         {"trend", "--threshold", "40", "--", "--days"},
         nullptr,
         2,
         {"trend: cannot read --days"},
         {}},
        // The second frame leaves while the first is checked: no 5-s wait for it.
        {"left while another is checked",
         std::string(kFrameHeader) +
             "at = 300 disconnect 2\n"
             "[frame]\nname = Checked\nusbindex = 1\nx_cells = 16\ny_cells = 8\nx_tilts = 2\nrate = 20\n"
             "[frame]\nname = Leaving\nusbindex = 2\nx_cells = 16\ny_cells = 8\n",
         {},
         nullptr,
         2,
         {"Frame \"Leaving\"  usbindexNo 2", "error: the frame left before its check"},
         {"\"error\": \"the frame left before its check\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = MakeFolder("lumagrid-station");
        if (c.ini) {
            const std::string ini = std::string("[SETTING]\r\nMIN_ADC_O_PER=") + c.ini + "\r\n";
            HANDLE h = ::CreateFileA((folder + "\\Lumagrid.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                     nullptr);
            DWORD written = 0;
            ::WriteFile(h, ini.data(), static_cast<DWORD>(ini.size()), &written, nullptr);
            ::CloseHandle(h);
        }
        const bool bFiles = c.args.empty() || (c.args[0] != "trend" && c.args[0] != "record");
        CheckRun run = RunCheck(c.scenario, c.args, bFiles, folder);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        for (const std::string& text : c.output)
            EXPECT_NE(run.output.find(text), std::string::npos) << text << "\n" << run.output;
        for (const std::string& text : c.json)
            EXPECT_NE(run.json.find(text), std::string::npos) << text << "\n" << run.json;
        EXPECT_EQ(run.output.find("no packet within"), std::string::npos) << run.output;
        e2e::RemoveFolder(folder);
    }

    // A run that checked nothing still leaves its line in the station's log.
    const std::string folder = MakeFolder("lumagrid-runlog");
    CheckRun none = RunCheck(
        std::string(kFrameHeader) + "[frame]\nname = Service\ntype = 2\nusbindex = 1\nx_cells = 8\ny_cells = 8\n",
        {"--log", "checks.csv"}, false, folder);
    EXPECT_EQ(none.exitCode, 2u) << none.output;
    std::string log;
    HANDLE h = ::CreateFileA((folder + "\\checks.csv").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             0, nullptr);
    char buffer[512];
    DWORD read = 0;
    if (h != INVALID_HANDLE_VALUE && ::ReadFile(h, buffer, sizeof buffer, &read, nullptr)) log.assign(buffer, read);
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    EXPECT_NE(log.find(",,,error,,no frame connected,check\r\n"), std::string::npos) << log;
    e2e::RemoveFolder(folder);
}

// The sweep test on frames whose stylus passes 1.5 s after the baseline's
// request, 2 s along X and 2 s along Y (40 packets a second over 2 cells
// need 0.6 s for 48 cells): a sound frame passes as soon as every receiver
// dropped; a stuck receiver on each axis fails at the time limit, named in
// the report, the JSON and the log; a recording of the sweep replays to the
// same verdict.
TEST(CheckTool, SweepNamesStuckReceiversAndPassesASoundFrame) {
    const std::string frame =
        "rate = 40\n[frame]\nname = Sweep bench\nusbindex = 3\nx_cells = 48\ny_cells = 32\n"
        "x_module_cells = 16\ny_module_cells = 16\nnoise = 2\nsweep = 1.5 4\n";
    const std::vector<std::string> args = {"sweep", "--time-limit", "8", "--log", "station.csv"};
    CheckRun sound = RunCheck(frame, args, true);
    EXPECT_EQ(sound.exitCode, 0u) << sound.output;
    EXPECT_NE(sound.output.find("Sweep a stylus along one X edge and one Y edge of Sweep bench\n"), std::string::npos)
        << sound.output;
    EXPECT_NE(sound.output.find("LumagridCheck: X 48/48  Y 32/32"), std::string::npos) << sound.output;
    EXPECT_NE(sound.output.find("  sweep OT: X 48/48 seen  Y 32/32 seen  PASS\n  PASS\n"), std::string::npos)
        << sound.output;
    EXPECT_NE(sound.json.find("\"test\": \"sweep\""), std::string::npos) << sound.json;
    EXPECT_NE(sound.log.find(",Sweep bench,3,pass,,,sweep\r\n"), std::string::npos) << sound.log;

    const std::string folder = MakeFolder("lumagrid-sweep");
    const std::string stuck = frame + "stuck_x = 20\nstuck_y = 10\n";
    CheckRun bad = RunCheck(stuck, args, true, folder);
    EXPECT_EQ(bad.exitCode, 1u) << bad.output;
    EXPECT_NE(bad.output.find("    X stuck R:21  R module 2 position 5\n    Y stuck R:11  R module 1 position 11\n"
                              "  FAIL\n"),
              std::string::npos)
        << bad.output;
    EXPECT_NE(bad.json.find("\"part\": \"stuck\",\n          \"set\": \"OT\",\n          \"receiver\": 21"),
              std::string::npos)
        << bad.json;
    EXPECT_NE(bad.junit.find("<failure message=\"X stuck R:21; Y stuck R:11\""), std::string::npos) << bad.junit;
    EXPECT_NE(bad.log.find(",Sweep bench,3,fail,X stuck R:21; Y stuck R:11,,sweep\r\n"), std::string::npos) << bad.log;

    CheckRun recorded =
        RunCheck(stuck, {"record", "--frame", "3", "--seconds", "7", "--modes", "ir", "--axes", "OT", "sweep.lgrec"},
                 false, folder);
    EXPECT_EQ(recorded.exitCode, 0u) << recorded.output;
    CheckRun replayed = RunCheck("[frame]\nrecording = sweep.lgrec\n", args, false, folder);
    EXPECT_EQ(replayed.exitCode, 1u) << replayed.output;
    EXPECT_NE(replayed.output.find("    X stuck R:21  R module 2 position 5\n    Y stuck R:11  R module 1 position 11\n"
                                   "  FAIL\n"),
              std::string::npos)
        << replayed.output;
    e2e::RemoveFolder(folder);
}

// Recorded from a source that streams only OT (a recording of OT replayed):
// the tilted requests got no packet in their share, far shorter than
// --timeout. Each is named, the exit code says so, and the file still plays.
TEST(CheckTool, RecordNamesEveryRequestThatGotNoPacket) {
    const std::string live =
        std::string(kFrameHeader) + "[frame]\nname = Site 3\nusbindex = 3\nx_cells = 16\ny_cells = 8\nx_tilts = 2\n";
    const std::string folder = MakeFolder("lumagrid-record");
    CheckRun ot =
        RunCheck(live, {"record", "--frame", "3", "--seconds", "1", "--axes", "OT", "--modes", "maximal", "ot.lgrec"},
                 false, folder);
    EXPECT_EQ(ot.exitCode, 0u) << ot.output;

    CheckRun partial =
        RunCheck("[frame]\nrecording = ot.lgrec\n",
                 {"record", "--frame", "3", "--seconds", "2", "--modes", "maximal", "all.lgrec"}, false, folder);
    EXPECT_EQ(partial.exitCode, 2u) << partial.output;
    EXPECT_EQ(partial.output.find("request 0x05: no packet"), std::string::npos) << partial.output;
    EXPECT_NE(partial.output.find("request 0x15: no packet in its"), std::string::npos) << partial.output;
    EXPECT_NE(partial.output.find("request 0x25: no packet in its"), std::string::npos) << partial.output;
    EXPECT_NE(partial.output.find("2 of 3 requests got no packet"), std::string::npos) << partial.output;

    CheckRun replayed = RunCheck("[frame]\nrecording = all.lgrec\n", {"--axes", "OT"}, false, folder);
    EXPECT_EQ(replayed.exitCode, 0u) << replayed.output;
    e2e::RemoveFolder(folder);
}

// Outputs that name one file, by any spelling: refused as a bad command line
// before anything is written, and the file that was there keeps its bytes
// (a table holds months of history; a recording may be the only copy).
TEST(CheckTool, OutputsThatNameOneFileAreRefusedAndTheFileKept) {
    const std::string folder = MakeFolder("lumagrid-outputs");
    const std::string kTable = "Date\t2026:12:01\r\nX0\t1000\r\nX1\t1000\r\nXAvr\t1000\r\n";
    const std::string kRecording = "\x89LGREC\r\n not played: refused before the library loads";
    const auto put = [&](const std::string& name, const std::string& bytes) {
        HANDLE h = ::CreateFileA((folder + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(h);
    };
    std::string forward = folder;
    for (char& c : forward) c = c == '\\' ? '/' : c;
    // Under Wine, drive Z: is the Unix root: a second route to the same file.
    std::string unixSpelling;
    using UnixName = char*(CDECL*)(LPCWSTR);
    if (auto unixName = reinterpret_cast<UnixName>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")))) {
        const std::wstring wide(folder.begin(), folder.end());
        if (char* p = unixName((wide + L"\\t_1.txt").c_str())) {
            unixSpelling = std::string("Z:") + p;
            ::HeapFree(::GetProcessHeap(), 0, p);
        }
    }
    struct Case {
        std::vector<std::string> args;
        std::string sim;   // QUORVANE_SIM, in the folder; empty: none
        std::string kept;  // the file that must keep its bytes
        const char* inErr;
    } cases[] = {
        {{"--json", "r.out", "--junit", "r.out"}, "", "", "--json and --junit name the same file (r.out)"},
        {{"--json", "r.json", "--log", ".\\R.JSON"}, "", "", "--json and --log name the same file"},
        {{"--junit", "r.xml", "--log", forward + "/r.xml"}, "", "", "--junit and --log name the same file"},
        {{"trend", "t_1.txt", "--csv", ".\\t_1.txt"}, "", "t_1.txt", "--csv .\\t_1.txt is also a table (t_1.txt)"},
        {{"trend", "t_1.txt", "--svg", "T_1.TXT"}, "", "t_1.txt", "--svg T_1.TXT is also a table"},
        {{"trend", "t_1.txt", "--csv", forward + "/t_1.txt"}, "", "t_1.txt", "is also a table"},
        {{"trend", "t_1.txt", "--csv", "r.csv", "--svg", "R.CSV"}, "", "", "--csv and --svg name the same file"},
        {{"record", "--frame", "1", "--seconds", "1", ".\\SITE.LGREC"},
         "site.lgrec",
         "site.lgrec",
         "is the recording the library plays"},
        {{"record", "--frame", "1", "--seconds", "1", "site.lgrec"},
         "bench.scn",
         "site.lgrec",
         "is the recording the library plays"},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    if (!unixSpelling.empty())
        all.push_back({{"trend", "t_1.txt", "--csv", unixSpelling}, "", "t_1.txt", "is also a table"});
    for (const Case& c : all) {
        put("t_1.txt", kTable);
        put("site.lgrec", kRecording);
        put("bench.scn", "[frame]\r\nrecording = site.lgrec\r\n");
        e2e::Session session;
        e2e::LaunchOptions options;
        options.exeName = "LumagridCheck.exe";
        options.folder = folder;
        options.keepFolder = true;
        if (!c.sim.empty()) options.scenarioFile = folder + "\\" + c.sim;
        options.args = c.args;
        ASSERT_TRUE(session.launch(options)) << session.lastError();
        DWORD exitCode = 0;
        ASSERT_TRUE(session.waitExit(30000, &exitCode));
        std::string output;
        for (const std::string& line : session.traceLines()) output += line + "\n";
        const std::string what = c.args.back();
        EXPECT_EQ(exitCode, 64u) << what << "\n" << output;
        EXPECT_NE(output.find(c.inErr), std::string::npos) << what << "\n" << output;
        EXPECT_NE(output.find("usage: LumagridCheck"), std::string::npos) << what << "\n" << output;
        if (!c.kept.empty()) {
            EXPECT_EQ(session.readFile(c.kept), c.kept == "t_1.txt" ? kTable : kRecording) << what;
        }
        for (const char* output : {"r.out", "r.json", "r.xml", "r.csv"})
            EXPECT_EQ(::GetFileAttributesA((folder + "\\" + output).c_str()), INVALID_FILE_ATTRIBUTES) << what;
    }
    e2e::RemoveFolder(folder);
}
