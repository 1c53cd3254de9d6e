// From the connected simulated frames to the first dump request of a clicked frame.
#include "ProgramFixture.h"

#include <fstream>

using namespace lumagrid_e2e;

namespace {
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
        at = end + 1;
    }
    return out;
}
}  // namespace

TEST_F(ProgramTest, ListShowsTheListedFramesOfTheBuiltInScenario) {
    Start();
    ASSERT_EQ(session.listCount(kDeviceList), 2);
    EXPECT_EQ(session.listText(kDeviceList, 0, 0), "Quorvane IR96/SN-1001");
    EXPECT_EQ(session.listText(kDeviceList, 0, 1), "96");
    EXPECT_EQ(session.listText(kDeviceList, 0, 2), "64");
    EXPECT_EQ(session.listText(kDeviceList, 1, 0), "Quorvane IR160/SN-2002");
    EXPECT_EQ(session.listText(kDeviceList, 1, 1), "160");
    EXPECT_EQ(session.listText(kDeviceList, 1, 2), "90");
    Quit();
}

TEST_F(ProgramTest, ClickMirrorsTheFrameIntoTheSettingsFileAndStartsAmbientIr) {
    Start();
    SelectRow(1);
    std::vector<std::string> expected = {"[Quorvane IR160",  "X_CELL_SIZE=160", "Y_CELL_SIZE=90", "X_MODULE_CELL=16",
                                         "Y_MODULE_CELL=16", "X_TILT1=4",       "Y_TILT1=3",      "X_TILT2=7",
                                         "Y_TILT2=5",        "X_TILT3=0",       "Y_TILT3=0",      "X_TILT4=0",
                                         "Y_TILT4=0"};
    std::vector<std::string> ini = Lines(session.iniText());
    ASSERT_EQ(ini.size() >= expected.size(), true) << session.iniText();
    EXPECT_EQ(ini[0], "[Quorvane IR160]");
    for (size_t i = 1; i < expected.size(); ++i) EXPECT_EQ(ini[i], expected[i]);

    // Ten modules of 16 on X, five of 16 and one of 10 on Y.
    for (int id : {1019, 1020, 1027, 1038, 1039}) EXPECT_TRUE(session.visible(id)) << id;
    for (int id : {1028, 1029, 1034}) EXPECT_TRUE(session.visible(id)) << id;
    for (int id : {1035, 1036, 1041, 1042}) EXPECT_FALSE(session.visible(id)) << id;
    EXPECT_EQ(session.checked(kAmbientIr), BST_CHECKED);

    std::vector<std::string> dumps = SetDumps();
    ASSERT_EQ(dumps.size(), 2u);
    EXPECT_EQ(dumps[0], "setDump 1 0x00");
    EXPECT_EQ(dumps[1], "setDump 1 0x01");
    Shot("device-selected");
    Quit();
}

TEST_F(ProgramTest, AdvancedAxisChangeResendsTheModeToTheClickedFrameOnly) {
    Start("LumagridX.exe");
    SelectRow(0);
    ASSERT_TRUE(session.click(kAxisTr2));
    ASSERT_TRUE(session.click(kPercent));
    Quit();
    std::vector<std::string> dumps = SetDumps();
    std::vector<std::string> expected = {"setDump 0 0x00", "setDump 0 0x01", "setDump 0 0x41", "setDump 0 0x44",
                                         "setDump 0 0x00"};
    EXPECT_EQ(dumps, expected);
}

TEST_F(ProgramTest, FramesComingAndGoingEverySecondDoNotHurtTheProgram) {
    const std::string scenario =
        "rate = 50\n"
        "cycle_ms = 2000\n"
        "at = 1000 disconnect 2\n"
        "at = 1000 connect 3\n"
        "[frame]\nname = Left bench\nusbindex = 1\nx_cells = 96\ny_cells = 64\nx_module_cells = 16\n"
        "y_module_cells = 16\n"
        "[frame]\nname = Right bench\nusbindex = 2\nx_cells = 160\ny_cells = 90\n"
        "[frame]\nname = Spare bench\nusbindex = 3\nx_cells = 48\ny_cells = 32\nconnected = no\n";
    Start("Lumagrid.exe", scenario);
    SelectRow(0);  // the first frame stays connected and streams throughout
    ::Sleep(10000);
    int connects = 0;
    for (const std::string& line : session.traceLines()) connects += line.rfind(">>>>>>>> connect =", 0) == 0 ? 1 : 0;
    EXPECT_GE(connects, 9);
    EXPECT_NE(session.text(kXAverage), "");
    Quit();
    std::vector<std::string> log = session.requestLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "setDump 0 0x00");
}

// In a folder named in Hangul (outside a Western Windows' code page) the
// program still finds Lumagrid.ini beside it, keeps its [SETTING] lines and
// adds the clicked frame's section there.
TEST_F(ProgramTest, FolderNamedInHangulKeepsItsSettingsFile) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"\uB8E8\uB9C8\uADF8\uB9AC\uB4DC-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string setting = "[SETTING]\r\nMIN_ADC_O_PER=40\r\n";
    {
        std::ofstream ini((folder + L"\\Lumagrid.ini").c_str(), std::ios::binary);
        ini << setting;
    }
    e2e::LaunchOptions options;
    options.folder = e2e::Narrow(folder);
    ASSERT_TRUE(session.launch(options)) << session.lastError();
    ASSERT_NE(session.waitMainWindow(kStartWait), nullptr) << session.lastError();
    ASSERT_GE(session.waitTrace(">>>>>>>> connect =", kWait), 0);
    SelectRow(1);
    const std::string ini = session.iniText();
    EXPECT_EQ(ini.substr(0, setting.size()), setting) << ini;
    EXPECT_NE(ini.find("[Quorvane IR160]\r\nX_CELL_SIZE=160\r\n"), std::string::npos) << ini;
    Quit();
    ::DeleteFileW((folder + L"\\Lumagrid.ini").c_str());
    ::DeleteFileW((folder + L"\\requests.log").c_str());
    ::DeleteFileW((folder + L"\\Lumagrid.exe").c_str());
    ::DeleteFileW((folder + L"\\QuorvaneLib.dll").c_str());
    ::RemoveDirectoryW(folder.c_str());
}
