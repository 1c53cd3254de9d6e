#include "ProgramFixture.h"

namespace lumagrid_e2e {

// The build tree's folder, or, for test programs copied to another machine,
// a folder of that name beside the program.
std::string OutputFolder(const char* pszBuildDir, const char* pszName) {
    std::string dir = e2e::WindowsPath(pszBuildDir);
    ::CreateDirectoryW(e2e::Widen(dir).c_str(), nullptr);
    if (::GetFileAttributesW(e2e::Widen(dir).c_str()) == INVALID_FILE_ATTRIBUTES) {
        dir = e2e::OwnExeFolder() + pszName;
        ::CreateDirectoryW(e2e::Widen(dir).c_str(), nullptr);
    }
    return dir;
}

std::string ScreenshotPath(const std::string& name) {
    return OutputFolder(LUMAGRID_SCREENSHOT_DIR, "screenshots") + "\\" + name + ".png";
}

void ProgramTest::Start(const std::string& exeName, const std::string& scenarioText) {
    e2e::LaunchOptions options;
    options.exeName = exeName;
    options.scenarioText = scenarioText;
    // A packet read with another frame's counts ends the program at once.
    options.env.emplace_back("QUORVANE_SIM_STRICT_PACKETS", "yes");
    ASSERT_TRUE(session.launch(options)) << session.lastError();
    ASSERT_NE(session.waitMainWindow(kStartWait), nullptr) << session.lastError();
    ASSERT_GE(session.waitTrace(">>>>>Load Dll success", kWait), 0);
    ASSERT_GE(session.waitTrace(">>>>>>>> connect =", kWait), 0);
}

void ProgramTest::SelectRow(int row) {
    const size_t requestsBefore = SetDumps().size();
    ASSERT_TRUE(session.clickRow(kDeviceList, row)) << session.lastError();
    // A click sends two requests: the stop, then Ambient+IR a second later.
    const ULONGLONG end = ::GetTickCount64() + kWait;
    while (SetDumps().size() < requestsBefore + 2) {
        ASSERT_LT(::GetTickCount64(), end) << "the click did not start the frame";
        ::Sleep(50);
    }
    WaitForTheHandlerToEnd(session);
}

// The click's handler goes on after its Ambient+IR request is logged: it
// drops the packets already sent by peeking for sent messages, and a
// message the driver sends (a button click) would run right there, inside
// the handler, before it selects OT — which a user's click, posted, never
// does. A text written into the X average box is overwritten by the next
// 100-ms timer tick, and timer ticks come only from the window's own message
// loop, after the handler has returned.
void WaitForTheHandlerToEnd(e2e::Session& session) {
    HWND edit = session.control(kXAverage);
    ASSERT_NE(edit, nullptr) << session.lastError();
    const wchar_t kMark[] = L"(click being handled)";
    ASSERT_TRUE(
        ::SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kMark), SMTO_NORMAL, kWait, nullptr));
    const ULONGLONG end = ::GetTickCount64() + kWait;
    while (session.text(kXAverage) == "(click being handled)") {
        ASSERT_LT(::GetTickCount64(), end) << "the click's handler did not end";
        ::Sleep(20);
    }
}

void ProgramTest::Quit() {
    ASSERT_TRUE(session.escape()) << session.lastError();
    DWORD code = 1;
    ASSERT_TRUE(session.waitExit(kWait, &code)) << "the program did not end";
    EXPECT_EQ(code, 0u);
}

std::string ProgramTest::WaitForText(int id, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        std::string text = session.text(id);
        if (!text.empty() || ::GetTickCount64() >= end) return text;
        ::Sleep(50);
    }
}

std::vector<std::string> ProgramTest::SetDumps() {
    std::vector<std::string> out;
    for (const std::string& line : session.requestLog())
        if (line.rfind("setDump", 0) == 0) out.push_back(line);
    return out;
}

bool ProgramTest::Capture(e2e::Image& image) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (session.capture(image)) return true;
        std::printf("capture attempt %d: %s\n", attempt + 1, session.lastError().c_str());
        ::Sleep(300);
    }
    return false;
}

void ProgramTest::Shot(const std::string& name, HWND hwnd) {
    std::string path = ScreenshotPath(name);
    e2e::Image image;
    if (hwnd == nullptr) {
        ASSERT_TRUE(Capture(image)) << session.lastError();
    } else {
        ASSERT_TRUE(session.capture(image, hwnd)) << session.lastError();
    }
    ASSERT_TRUE(e2e::WritePng(path, image)) << path;
    std::printf("screenshot: %s\n", path.c_str());
}

}  // namespace lumagrid_e2e
