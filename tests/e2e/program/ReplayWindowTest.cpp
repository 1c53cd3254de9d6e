// A recording in a window of its own, as Explorer starts one (the path on the
// command line, quoted, blanks inside): the substitute from simulator\ plays
// it while the library beside the program is one that lists no frame; the
// replay writes nothing on its own; a file that is no recording gets a box
// and exit code 2; LumagridCheck.exe --replay does the same for the console.
#include <fstream>

#include "ProgramFixture.h"

using namespace lumagrid_e2e;

namespace {

constexpr char kSite[] = R"(rate = 50
[frame]
name = Site frame/SN-77
usbindex = 3
x_cells = 64
y_cells = 32
x_module_cells = 16
y_module_cells = 16
level_maximal = 90
weak_x = 10:0.2
dead_y = 5
)";

// A folder named as users name theirs, blank included; gone at the end.
class Folder {
public:
    explicit Folder(const char* pszName) {
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        path = std::string(temp) + pszName + " " + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(path.c_str(), nullptr);
    }
    ~Folder() { e2e::RemoveFolder(path); }
    std::string path;
};

// The site frame recorded by the console tool, Ambient+IR and Maximal IR on OT.
std::string RecordSite(const std::string& folder) {
    const std::string file = folder + "\\site 0612.lgrec";
    e2e::Session record;
    e2e::LaunchOptions options;
    options.exeName = "LumagridCheck.exe";
    options.scenarioText = kSite;
    options.args = {"record", "--frame", "3", "--seconds", "2", "--modes", "ambient-ir,maximal", "--axes", "OT", file};
    EXPECT_TRUE(record.launch(options)) << record.lastError();
    DWORD code = 1;
    EXPECT_TRUE(record.waitExit(60000, &code));
    EXPECT_EQ(code, 0u);
    return file;
}

e2e::LaunchOptions ReplayOptions(const std::string& file) {
    e2e::LaunchOptions options;
    options.library = e2e::Library::Replacement;
    options.libraryFile = e2e::OwnExeFolder() + "LumagridStandinLib.dll";
    options.simulatorFolder = true;
    options.args = {file};
    options.env.emplace_back("QUORVANE_SIM_STRICT_PACKETS", "yes");
    return options;
}

std::string Caption(const std::string& file) { return "Replay: " + file + " - Quorvane Lumagrid"; }

bool AnyFile(const std::string& folder, const char* pszPattern) {
    WIN32_FIND_DATAA found;
    HANDLE h = ::FindFirstFileA((folder + "\\" + pszPattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::FindClose(h);
    return true;
}

}  // namespace

TEST_F(ProgramTest, RecordingOnTheCommandLineReplaysBesideALibraryThatListsNoFrame) {
    Folder folder("lumagrid replay");
    const std::string file = RecordSite(folder.path);
    e2e::LaunchOptions options = ReplayOptions(file);
    options.copyAs = "LumagridX.exe";                    // the advanced program, whose box could start a daily save
    options.scenarioFile = folder.path + "\\bench.scn";  // QUORVANE_SIM says otherwise: no matter
    ASSERT_TRUE(session.launch(options)) << session.lastError();
    ASSERT_NE(session.waitMainWindow(kStartWait, Caption(file)), nullptr) << session.lastError();
    ASSERT_GE(session.waitTrace(">>>>>Load Dll success", kWait), 0);
    ASSERT_GE(session.waitTrace(">>>>>>>> connect =", kWait), 0);
    EXPECT_GE(session.waitTrace("Name=Site frame/SN-77", kWait), 0);
    const ULONGLONG end = ::GetTickCount64() + kWait;
    while (session.listCount(kDeviceList) < 1 && ::GetTickCount64() < end) ::Sleep(50);
    EXPECT_EQ(session.listCount(kDeviceList), 1) << "the recorded frame alone";
    EXPECT_TRUE(session.visible(kAutoFileSave));
    EXPECT_FALSE(session.enabled(kAutoFileSave));

    SelectRow(0);
    EXPECT_EQ(SetDumps().back(), "setDump 3 0x01");
    EXPECT_FALSE(WaitForText(kXAverage, kWait).empty()) << "the recorded packets are read";
    for (const std::string& line : session.requestLog()) EXPECT_EQ(line.find("not recorded"), std::string::npos);
    Shot("replay-window");
    Quit();
    EXPECT_EQ(session.iniText(), "") << "a replay writes no section";
    EXPECT_FALSE(AnyFile(session.folder(), "*.txt")) << "a replay writes no daily table";
}

// The substitute's own DLLs come from its folder or the system folder, never
// from beside the program, where the maker's library keeps its own.
TEST_F(ProgramTest, ReplayLoadsNoDllBesideTheProgramForTheSubstitute) {
    Folder recordings("lumagrid replay planted");
    const std::string file = RecordSite(recordings.path);
    NativeDllsFirstUnderWine nativeFirst({"LumagridReplayPlanted.exe"});
    Folder folder("lumagrid-replay-planted-program");
    const std::string planted = e2e::WindowsPath(std::string(LUMAGRID_PLANTED_DIR) + "/winmm.dll");
    ASSERT_TRUE(::CopyFileA(planted.c_str(), (folder.path + "\\winmm.dll").c_str(), FALSE)) << planted;
    e2e::LaunchOptions options = ReplayOptions(file);
    options.folder = folder.path;
    options.copyAs = "LumagridReplayPlanted.exe";
    ASSERT_TRUE(session.launch(options)) << session.lastError();
    ASSERT_NE(session.waitMainWindow(kStartWait, Caption(file)), nullptr) << session.lastError();
    ASSERT_GE(session.waitTrace(">>>>>Load Dll success", kWait), 0);
    Quit();
    EXPECT_FALSE(AnyFile(folder.path, "planted-dll-was-loaded.txt")) << "the substitute took winmm.dll from beside";
}

TEST_F(ProgramTest, FileThatIsNoRecordingGetsABoxNamingItAndExitCode2) {
    Folder folder("lumagrid replay garbage");
    const std::string file = folder.path + "\\notes 1.lgrec";
    std::ofstream(file, std::ios::binary) << "site notes, not a recording\r\n";
    e2e::LaunchOptions options = ReplayOptions(file);
    options.library = e2e::Library::Default;  // a live library beside: never loaded either
    ASSERT_TRUE(session.launch(options)) << session.lastError();
    e2e::DialogInfo box;
    ASSERT_TRUE(session.waitDialog(box, kStartWait)) << session.lastError();
    EXPECT_EQ(box.text,
              "Cannot replay " + file + ":\nnot a Lumagrid recording: the file does not start with the .lgrec magic");
    Shot("replay-refused", box.hwnd);
    ASSERT_TRUE(session.pressButton(box.hwnd));
    DWORD code = 0;
    ASSERT_TRUE(session.waitExit(kWait, &code));
    EXPECT_EQ(code, 2u);
    EXPECT_TRUE(session.requestLog().empty()) << "no library was loaded";
}

// Without simulator\ the replay ends, naming what is missing: the maker's
// library beside the program (here the live substitute) is not taken instead.
TEST_F(ProgramTest, ReplayWithoutTheSimulatorFolderEndsWithABoxAndExitCode2) {
    Folder folder("lumagrid replay no simulator");
    const std::string file = RecordSite(folder.path);
    e2e::LaunchOptions options = ReplayOptions(file);
    options.library = e2e::Library::Default;
    options.simulatorFolder = false;
    ASSERT_TRUE(session.launch(options)) << session.lastError();
    e2e::DialogInfo box;
    ASSERT_TRUE(session.waitDialog(box, kStartWait)) << session.lastError();
    EXPECT_EQ(
        box.text.rfind("Cannot replay " + file + ":\nLoadLibrary simulator\\QuorvaneLib.dll failed: error 126 (", 0),
        0u)
        << box.text;
    ASSERT_TRUE(session.pressButton(box.hwnd));
    DWORD code = 0;
    ASSERT_TRUE(session.waitExit(kWait, &code));
    EXPECT_EQ(code, 2u);
    EXPECT_TRUE(session.requestLog().empty()) << "the library beside the program was loaded";
}

// The console tool's --replay: the check, its refusal of a bad file, and the
// grammar's rule for a repeated option.
TEST(CheckToolReplay, ChecksTheRecordedFrameBesideALibraryThatListsNoFrame) {
    Folder folder("lumagrid check replay");
    const std::string file = RecordSite(folder.path);
    const std::string garbage = folder.path + "\\notes.lgrec";
    std::ofstream(garbage, std::ios::binary) << "not a recording";
    const auto run = [&](std::vector<std::string> args, std::string& output) {
        e2e::Session check;
        e2e::LaunchOptions options = ReplayOptions(file);
        options.exeName = "LumagridCheck.exe";
        options.args = std::move(args);
        EXPECT_TRUE(check.launch(options)) << check.lastError();
        DWORD code = 0xFFFF;
        EXPECT_TRUE(check.waitExit(60000, &code));
        for (const std::string& line : check.traceLines()) output += line + "\n";
        return code;
    };
    std::string output;
    EXPECT_EQ(run({"--replay", file, "--axes", "OT", "--packets", "2"}, output), 1u) << output;
    EXPECT_NE(output.find("Site frame/SN-77"), std::string::npos) << output;
    EXPECT_NE(output.find("FAIL"), std::string::npos) << output;

    output.clear();
    EXPECT_EQ(run({"--replay=" + garbage}, output), 2u);
    EXPECT_NE(output.find("LumagridCheck: cannot replay " + garbage +
                          ": not a Lumagrid recording: the file does not start with the .lgrec magic"),
              std::string::npos)
        << output;

    output.clear();
    EXPECT_EQ(run({"sweep", "--replay", file, "--replay", file}, output), 64u);
    EXPECT_NE(output.find("--replay is given twice"), std::string::npos) << output;
}
