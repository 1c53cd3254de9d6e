// Start-up and shut-down of the real program.
#include "ProgramFixture.h"

using namespace lumagrid_e2e;

namespace {
const int kAdvancedControls[] = {kAutoFileSave, kDumpAxisLabel, 1058, 1059, 1060, 1061, 1062};
const int kTiltButtons[] = {kLeftTiltPercent, kLeftTiltMaximal, kRightTiltPercent, kRightTiltMaximal};
}  // namespace

TEST_F(ProgramTest, NormalNameHidesTheAdvancedControls) {
    Start("Lumagrid.exe");
    EXPECT_EQ(session.windowText(session.mainWindow()), "Quorvane Lumagrid");
    for (int id : kAdvancedControls) EXPECT_FALSE(session.visible(id)) << id;
    for (int id : kTiltButtons) EXPECT_FALSE(session.visible(id)) << id;
    EXPECT_TRUE(session.visible(kMaximalIr));
    EXPECT_EQ(session.text(kRangeLabel), "x  0  (0 - 4095)");
    EXPECT_EQ(session.trackbarPos(kRange), 100);
    Quit();
}

TEST_F(ProgramTest, AdvancedNameShowsThemButNotTheTiltButtons) {
    Start("LumagridX.exe");
    for (int id : kAdvancedControls) EXPECT_TRUE(session.visible(id)) << id;
    for (int id : kTiltButtons) EXPECT_FALSE(session.visible(id)) << id;
    Quit();
}

TEST_F(ProgramTest, LowerCaseLetterDoesNotCount) {
    e2e::LaunchOptions options;
    options.exeName = "LumagridX.exe";
    options.copyAs = "Lumagridx.exe";
    ASSERT_TRUE(session.launch(options)) << session.lastError();
    ASSERT_NE(session.waitMainWindow(kStartWait), nullptr);
    ASSERT_GE(session.waitTrace(">>>>>Load Dll success", kWait), 0);
    EXPECT_FALSE(session.visible(kAutoFileSave));
    EXPECT_FALSE(session.visible(kDumpAxisLabel));
    Quit();
}

TEST_F(ProgramTest, EscEndsTheProgramWithTheStopRequestLast) {
    Start();
    Quit();
    std::vector<std::string> log = session.requestLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "registerQuorvaneUSBEvent -> 1");
    EXPECT_EQ(log.back(), "setDump 0 0x00");
    // The GDI count at exit is for the soak run only.
    for (const std::string& line : session.traceLines()) EXPECT_EQ(line.find("at exit"), std::string::npos) << line;
}

TEST_F(ProgramTest, AboutItemOfTheSystemMenuOpensTheAboutBox) {
    Start();
    ASSERT_TRUE(session.sysCommand(0x0010));
    e2e::DialogInfo about;
    ASSERT_TRUE(session.waitDialog(about, kWait)) << session.lastError();
    EXPECT_EQ(about.caption, "Lumagrid 정보");
    EXPECT_NE(about.text.find("Lumagrid"), std::string::npos) << about.text;
    // Modal to the main window: owned by it, which takes no clicks meanwhile.
    EXPECT_EQ(GetWindow(about.hwnd, GW_OWNER), session.mainWindow());
    EXPECT_FALSE(IsWindowEnabled(session.mainWindow()));
    ASSERT_TRUE(session.pressButton(about.hwnd, IDOK));
    ASSERT_TRUE(session.waitWindowGone(about.hwnd, kWait));
    EXPECT_TRUE(IsWindowEnabled(session.mainWindow()));
    Quit();
}

namespace {
// Runs a program whose library cannot be used and checks the two boxes and the end.
void ExpectFailedLoad(e2e::Session& session, const e2e::LaunchOptions& options) {
    ASSERT_TRUE(session.launch(options)) << session.lastError();
    e2e::DialogInfo first;
    ASSERT_TRUE(session.waitDialog(first, kStartWait)) << session.lastError();
    EXPECT_EQ(first.caption, "Error");
    EXPECT_EQ(first.text, "Failed to load Quorvane USB DLL");
    ASSERT_TRUE(session.pressButton(first.hwnd, IDOK));
    ASSERT_TRUE(session.waitWindowGone(first.hwnd, kWait));
    e2e::DialogInfo second;
    ASSERT_TRUE(session.waitDialog(second, kWait)) << session.lastError();
    EXPECT_EQ(second.caption, "Lumagrid");
    EXPECT_EQ(second.text, "Load Dll fail");
    ASSERT_TRUE(session.pressButton(second.hwnd, IDOK));
    DWORD code = 1;
    ASSERT_TRUE(session.waitExit(kWait, &code));
    EXPECT_EQ(code, 0u);
    for (const std::string& line : session.traceLines())
        EXPECT_EQ(line.find(">>>>>Load Dll success"), std::string::npos);
}
}  // namespace

TEST_F(ProgramTest, WithoutTheLibraryTwoBoxesThenExitCodeZero) {
    e2e::LaunchOptions options;
    options.library = e2e::Library::None;
    ExpectFailedLoad(session, options);
    EXPECT_GE(session.waitTrace("LoadLibrary QuorvaneLib.dll failed: error 126 (", 100), 0);
}

// The boxes cannot tell a library of the other bitness from a missing one;
// the trace line can.
TEST_F(ProgramTest, LibraryOfTheOtherBitnessIsRefusedLikeAMissingOneAndTheTraceSaysWhy) {
#ifndef LUMAGRID_OTHER_BITNESS_LIBRARY
    GTEST_SKIP() << "built without a library of the other bitness";
#else
    e2e::LaunchOptions options;
    options.library = e2e::Library::Replacement;
    options.libraryFile = LUMAGRID_OTHER_BITNESS_LIBRARY;
    ExpectFailedLoad(session, options);
    const int line = session.waitTrace("LoadLibrary QuorvaneLib.dll failed: error 193 (", 100);
    ASSERT_GE(line, 0);
    const std::string trace = session.traceLines()[line];
    // The system's own words for the error, and which program it was.
    const std::string bits = "); this program is " + std::to_string(sizeof(void*) * 8) + "-bit";
    const size_t reason = trace.find("error 193 (") + 11;
    const size_t end = trace.find(bits);
    ASSERT_NE(end, std::string::npos) << trace;
    EXPECT_GT(end, reason) << "no text for the error: " << trace;
#endif
}

TEST_F(ProgramTest, LibraryLackingACalledEntryPointIsRefusedLikeAMissingOne) {
    e2e::LaunchOptions options;
    options.library = e2e::Library::Replacement;
    options.libraryFile = e2e::OwnExeFolder() + "QuorvaneLibPartial.dll";
    ExpectFailedLoad(session, options);
    EXPECT_GE(session.waitTrace("lacks the entry point", 100), 0);
}

// Windows answers 126 for a missing library and for one whose runtime is
// missing; the trace names which.
TEST_F(ProgramTest, LibraryWhoseDependencyIsMissingIsToldApartFromAMissingOne) {
    e2e::LaunchOptions options;
    options.library = e2e::Library::Replacement;
    options.libraryFile = e2e::OwnExeFolder() + "QuorvaneLibNeedsAbsentDll.dll";
    ExpectFailedLoad(session, options);
    EXPECT_GE(session.waitTrace("QuorvaneLib.dll is present but a DLL it needs is missing: error 126 (", 100), 0);
    for (const std::string& line : session.traceLines())
        EXPECT_EQ(line.find("LoadLibrary QuorvaneLib.dll failed"), std::string::npos) << line;
}

// A library in the folder the program is started from is never loaded: only
// the program's own folder and the system's count.
TEST_F(ProgramTest, LibraryInTheCurrentFolderIsNotLoaded) {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string work = std::string(temp) + "lumagrid-cwd-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(work.c_str(), nullptr);
    const std::string planted = work + "\\QuorvaneLib.dll";
    ASSERT_TRUE(::CopyFileA((e2e::OwnExeFolder() + "QuorvaneLib.dll").c_str(), planted.c_str(), FALSE));
    e2e::LaunchOptions options;
    options.library = e2e::Library::None;
    options.workDir = work;
    ExpectFailedLoad(session, options);
    EXPECT_GE(session.waitTrace("LoadLibrary QuorvaneLib.dll failed: error 126 (", 100), 0);
    ::DeleteFileA(planted.c_str());
    ::RemoveDirectoryA(work.c_str());
}

// The console tool says the same on stderr and ends with exit code 2.
TEST(LibraryLoad, ConsoleToolToldApartAMissingDependencyToo) {
    e2e::Session session;
    e2e::LaunchOptions options;
    options.exeName = "LumagridCheck.exe";
    options.library = e2e::Library::Replacement;
    options.libraryFile = e2e::OwnExeFolder() + "QuorvaneLibNeedsAbsentDll.dll";
    ASSERT_TRUE(session.launch(options)) << session.lastError();
    DWORD code = 0;
    ASSERT_TRUE(session.waitExit(kWait, &code));
    EXPECT_EQ(code, 2u);
    EXPECT_GE(session.waitTrace("QuorvaneLib.dll is present but a DLL it needs is missing: error 126 (", 100), 0);
}

// Windows' own DLLs that the programs load on demand (the status box's
// riched32.dll, the console tool's winmm.dll) come from the system folder,
// never from a copy planted beside the program.
TEST_F(ProgramTest, WindowsDllsPlantedBesideTheProgramsAreNeverLoaded) {
    NativeDllsFirstUnderWine nativeFirst({"LumagridPlanted.exe", "LumagridCheckPlanted.exe"});
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    // A folder per program, each with the one DLL that program loads itself.
    auto plant = [&](const char* pszName) {
        const std::string folder =
            std::string(temp) + "lumagrid-planted-" + pszName + "-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(folder.c_str(), nullptr);
        const std::string planted = e2e::WindowsPath(std::string(LUMAGRID_PLANTED_DIR) + "/" + pszName);
        EXPECT_TRUE(::CopyFileA(planted.c_str(), (folder + "\\" + pszName).c_str(), FALSE)) << planted;
        return folder;
    };
    auto loaded = [](const std::string& folder) {
        return ::GetFileAttributesA((folder + "\\planted-dll-was-loaded.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
    };

    e2e::LaunchOptions options;
    options.folder = plant("riched32.dll");
    options.copyAs = "LumagridPlanted.exe";
    ASSERT_TRUE(session.launch(options)) << session.lastError();
    ASSERT_NE(session.waitMainWindow(kStartWait), nullptr);
    ASSERT_GE(session.waitTrace(">>>>>Load Dll success", kWait), 0);
    Quit();
    EXPECT_FALSE(loaded(options.folder)) << "Lumagrid.exe loaded a planted riched32.dll";

    e2e::Session console;
    e2e::LaunchOptions check;
    check.exeName = "LumagridCheck.exe";
    check.copyAs = "LumagridCheckPlanted.exe";
    check.folder = plant("winmm.dll");
    check.args = {"--packets", "2"};
    ASSERT_TRUE(console.launch(check)) << console.lastError();
    DWORD code = 0;
    ASSERT_TRUE(console.waitExit(60000, &code));
    EXPECT_EQ(code, 1u) << "the built-in frames have faulty parts";
    EXPECT_FALSE(loaded(check.folder)) << "LumagridCheck.exe loaded a planted winmm.dll";
}

TEST_F(ProgramTest, MainWindowScreenshot) {
    Start();
    ASSERT_TRUE(session.resizeClient(900, 600));
    ::Sleep(500);
    Shot("main-window");
    Quit();
}
