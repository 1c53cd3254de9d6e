// A short session of the program from the unpacked win64 zip, with the
// simulated library copied beside it as the zip's README tells a technician.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Driver.h"

namespace {

constexpr DWORD kStartWait = 20000;
constexpr DWORD kWait = 10000;
constexpr int kDeviceList = 1037;
constexpr int kFooter = 1017;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool WaitForRequest(e2e::Session& session, const std::string& start, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        for (const std::string& line : session.requestLog())
            if (line.rfind(start, 0) == 0) return true;
        if (::GetTickCount64() >= end) return false;
        ::Sleep(50);
    }
}

}  // namespace

TEST(PackagedProgram, StartsListsTheFramesAndEndsWithTheStopRequest) {
    const std::string unpacked = e2e::WindowsPath(LUMAGRID_UNPACKED_DIR);
    // The session folder gets the zip's Lumagrid.ini, so that the program
    // meets the settings file as shipped and adds its frame section to it.
    const std::string folder = unpacked + "-session";
    e2e::RemoveFolder(folder);
    ASSERT_TRUE(::CreateDirectoryW(e2e::Widen(folder).c_str(), nullptr)) << folder;
    ASSERT_TRUE(::CopyFileW(e2e::Widen(unpacked + "\\Lumagrid.ini").c_str(),
                            e2e::Widen(folder + "\\Lumagrid.ini").c_str(), TRUE));
    {
        e2e::Session session;
        e2e::LaunchOptions options;
        options.binDir = unpacked;  // Lumagrid.exe, and the simulator's QuorvaneLib.dll beside it
        options.folder = folder;
        ASSERT_TRUE(session.launch(options)) << session.lastError();
        ASSERT_NE(session.waitMainWindow(kStartWait), nullptr) << session.lastError();
        ASSERT_GE(session.waitTrace(">>>>>Load Dll success", kWait), 0);
        ASSERT_GE(session.waitTrace(">>>>>>>> connect =", kWait), 0);
        EXPECT_EQ(session.text(kFooter), "Lumagrid " LUMAGRID_PROJECT_VERSION " - IR touch-frame scope");

        ASSERT_EQ(session.listCount(kDeviceList), 2);
        EXPECT_EQ(session.listText(kDeviceList, 0), "Quorvane IR96/SN-1001");
        EXPECT_EQ(session.listText(kDeviceList, 1), "Quorvane IR160/SN-2002");
        ASSERT_TRUE(session.clickRow(kDeviceList, 0)) << session.lastError();
        ASSERT_TRUE(WaitForRequest(session, "getSysInfo ", kWait)) << "the click did not select the frame";

        ASSERT_TRUE(session.sysCommand(0x0010));  // the About item
        e2e::DialogInfo about;
        ASSERT_TRUE(session.waitDialog(about, kWait)) << session.lastError();
        EXPECT_TRUE(Contains(about.text, "Version " LUMAGRID_PROJECT_VERSION)) << about.text;
        ASSERT_TRUE(session.pressButton(about.hwnd, IDOK));
        ASSERT_TRUE(session.waitWindowGone(about.hwnd, kWait));

        ASSERT_TRUE(session.escape()) << session.lastError();
        DWORD code = 1;
        ASSERT_TRUE(session.waitExit(kWait, &code)) << "the program did not end";
        EXPECT_EQ(code, 0u);
        const std::vector<std::string> log = session.requestLog();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), "setDump 0 0x00");

        // The shipped settings survive the program's own write beside them.
        const std::string ini = session.iniText();
        EXPECT_TRUE(Contains(ini, "[Quorvane IR96]")) << ini;
        EXPECT_TRUE(Contains(ini, "[SETTING]")) << ini;
        EXPECT_TRUE(Contains(ini, "MIN_ADC_O_PER=33")) << ini;
        EXPECT_TRUE(Contains(ini, "MIN_ADC_T_PER=20")) << ini;
        EXPECT_TRUE(Contains(ini, "; The same for the tilt modes")) << ini;
    }
    EXPECT_TRUE(e2e::RemoveFolder(folder));
}

// A replay from the zip as shipped: no library beside the program, the
// substitute where the zip puts it (simulator\), the recording on the command
// line as a drop gives it; the console tool likewise.
TEST(PackagedProgram, ReplaysARecordingWithTheZipsSimulator) {
    const std::string unpacked = e2e::WindowsPath(LUMAGRID_UNPACKED_DIR);
    const std::string recording = e2e::WindowsPath(LUMAGRID_SAMPLE_RECORDING);
    e2e::LaunchOptions options;
    options.binDir = unpacked;
    options.library = e2e::Library::None;
    options.simulatorFolder = true;
    options.args = {recording};
    {
        e2e::Session session;
        ASSERT_TRUE(session.launch(options)) << session.lastError();
        ASSERT_NE(session.waitMainWindow(kStartWait, "Replay: " + recording + " - Quorvane Lumagrid"), nullptr)
            << session.lastError();
        ASSERT_GE(session.waitTrace(">>>>>>>> connect =", kWait), 0);
        const ULONGLONG end = ::GetTickCount64() + kWait;
        while (session.listCount(kDeviceList) < 1 && ::GetTickCount64() < end) ::Sleep(50);
        EXPECT_EQ(session.listText(kDeviceList, 0), "Quorvane IR96/SN-1001");
        ASSERT_TRUE(session.escape()) << session.lastError();
        DWORD code = 1;
        ASSERT_TRUE(session.waitExit(kWait, &code));
        EXPECT_EQ(code, 0u);
    }
    e2e::Session check;
    options.exeName = "LumagridCheck.exe";
    options.args = {"--replay", recording, "--axes", "OT", "--packets", "2"};
    ASSERT_TRUE(check.launch(options)) << check.lastError();
    DWORD code = 0;
    ASSERT_TRUE(check.waitExit(60000, &code));
    std::string output;
    for (const std::string& line : check.traceLines()) output += line + "\n";
    EXPECT_TRUE(Contains(output, "Frame \"Quorvane IR96/SN-1001\"")) << output;
    EXPECT_NE(code, 2u) << output;
}
