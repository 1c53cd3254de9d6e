// End-to-end tests of the real Lumagrid.exe against the substitute library,
// each in a folder of its own (so each has its own Lumagrid.ini and request log).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "Driver.h"

namespace lumagrid_e2e {

constexpr DWORD kStartWait = 20000;
constexpr DWORD kWait = 10000;

// Control ids of the main window.
enum : int {
    kStop = 1015,
    kAmbientIr = 1011,
    kAmbient = 1012,
    kIr = 1016,
    kPercent = 1013,
    kMaximalIr = 1014,
    kLeftTiltPercent = 1050,
    kLeftTiltMaximal = 1052,
    kRightTiltPercent = 1053,
    kRightTiltMaximal = 1054,
    kDeviceList = 1037,
    kRange = 1010,
    kRangeLabel = 1044,
    kXAverage = 1045,
    kYAverage = 1046,
    kBar = 1047,
    kCapture1 = 1048,
    kFilter = 1049,
    kCapture2 = 1051,
    kAutoFileSave = 1055,
    kDumpAxisLabel = 1057,
    kAxisOt = 1058,
    kAxisTr2 = 1062,
    kXChart = 1001,
    kYChart = 1000,
    kXTotal = 1019,
    kYTotal = 1028,
};

// A folder for the files the tests leave: in the build tree, or named so
// beside the test program when it runs elsewhere.
std::string OutputFolder(const char* pszBuildDir, const char* pszName);
// Where screenshots go: build/<tree>/screenshots.
std::string ScreenshotPath(const std::string& name);

// Returns once the handler of the window's last click has returned: a click
// the driver sends next then runs after it, as a user's click would.
void WaitForTheHandlerToEnd(e2e::Session& session);

// Under Wine, per-program DLL overrides (HKCU\\Software\\Wine\\AppDefaults)
// that make these programs load riched32.dll and winmm.dll as Windows would:
// from the program's folder first. Nothing is written on Windows.
class NativeDllsFirstUnderWine {
public:
    explicit NativeDllsFirstUnderWine(std::vector<std::string> programs) : m_programs(std::move(programs)) {
        if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr) m_programs.clear();
        for (const std::string& program : m_programs) {
            const std::string key = "Software\\Wine\\AppDefaults\\" + program + "\\DllOverrides";
            for (const char* pszDll : {"riched32", "winmm"})
                ::RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), pszDll, REG_SZ, "native,builtin", 15);
        }
    }
    ~NativeDllsFirstUnderWine() {
        for (const std::string& program : m_programs)
            ::RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Wine\\AppDefaults\\" + program).c_str());
    }

private:
    std::vector<std::string> m_programs;
};

class ProgramTest : public ::testing::Test {
protected:
    // Starts the program and waits for its window and its device list.
    void Start(const std::string& exeName = "Lumagrid.exe", const std::string& scenarioText = "");
    // Clicks a row and waits until the frame dumps (its Ambient+IR request)
    // and the click's handler has returned.
    void SelectRow(int row);
    // Ends the program with Esc; checks it reached its end.
    void Quit();
    // The control's text once it is not empty, or "" after the time.
    std::string WaitForText(int id, DWORD timeoutMs);
    // The request log lines starting with "setDump".
    std::vector<std::string> SetDumps();
    void Shot(const std::string& name, HWND hwnd = nullptr);
    // A capture of the main window's client area; retried, as a capture from
    // the screen can fail while Wine is busy with the window.
    bool Capture(e2e::Image& image);

    e2e::Session session;
};

}  // namespace lumagrid_e2e
