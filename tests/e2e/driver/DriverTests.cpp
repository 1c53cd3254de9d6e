// The driver proven against the stand-in program: every action must arrive in
// the other process as the program would see it from a user.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "Driver.h"

using namespace e2e;

namespace {

constexpr DWORD kWait = 15000;

LaunchOptions StandinOptions() {
    LaunchOptions options;
    options.exeName = "LumagridStandin.exe";
    options.library = Library::Replacement;
    options.libraryFile = OwnExeFolder() + "LumagridStandinLib.dll";
    return options;
}

// Numbers after `prefix` in the first trace line that contains it.
std::vector<long> TracedNumbers(Session& s, const std::string& prefix) {
    int at = s.waitTrace(prefix, kWait);
    std::vector<long> out;
    if (at < 0) return out;
    std::istringstream in(s.traceLines()[static_cast<size_t>(at)].substr(prefix.size()));
    for (long v; in >> v;) out.push_back(v);
    return out;
}

bool FolderExists(const std::string& path) {
    DWORD attr = GetFileAttributesW(Widen(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

std::uint32_t Be32(const std::vector<std::uint8_t>& b, size_t at) {
    return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) | (std::uint32_t(b[at + 2]) << 8) |
           b[at + 3];
}

// An independent reader for what the writer produces: checks signature, chunk
// CRCs, stored-block lengths and the Adler-32, and undoes the row filters.
bool DecodeStoredPng(const std::vector<std::uint8_t>& png, Image& out, std::string& why) {
    static const std::uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || !std::equal(sig, sig + 8, png.begin())) return why = "signature", false;
    std::vector<std::uint8_t> z;
    bool ended = false;
    for (size_t at = 8; at + 12 <= png.size() && !ended;) {
        std::uint32_t len = Be32(png, at);
        if (at + 12 + len > png.size()) return why = "chunk overruns file", false;
        std::string type(png.begin() + at + 4, png.begin() + at + 8);
        if (Crc32(&png[at + 4], len + 4) != Be32(png, at + 8 + len)) return why = "CRC of " + type, false;
        const std::uint8_t* body = &png[at + 8];
        if (type == "IHDR") {
            out.width = static_cast<int>(Be32(png, at + 8));
            out.height = static_cast<int>(Be32(png, at + 12));
            if (body[8] != 8 || body[9] != 2) return why = "not 8-bit RGB", false;
        } else if (type == "IDAT") {
            z.insert(z.end(), body, body + len);
        } else if (type == "IEND") {
            ended = true;
        }
        at += 12 + len;
    }
    if (!ended || z.size() < 6 || ((z[0] << 8) | z[1]) % 31 != 0) return why = "zlib header or IEND", false;
    std::vector<std::uint8_t> raw;
    size_t at = 2;
    for (bool last = false; !last;) {
        if (at + 5 > z.size() || (z[at] & 6) != 0) return why = "not a stored block", false;
        last = z[at] & 1;
        unsigned len = z[at + 1] | (z[at + 2] << 8), nlen = z[at + 3] | (z[at + 4] << 8);
        if ((len ^ 0xFFFF) != nlen || at + 5 + len > z.size()) return why = "stored length", false;
        raw.insert(raw.end(), z.begin() + at + 5, z.begin() + at + 5 + len);
        at += 5 + len;
    }
    if (at + 4 != z.size() || Adler32(raw.data(), raw.size()) != Be32(z, at)) return why = "Adler-32", false;
    size_t stride = static_cast<size_t>(out.width) * 3;
    if (raw.size() != (stride + 1) * out.height) return why = "data size", false;
    out.rgb.clear();
    for (int y = 0; y < out.height; ++y) {
        if (raw[y * (stride + 1)] != 0) return why = "row filter", false;
        out.rgb.insert(out.rgb.end(), raw.begin() + y * (stride + 1) + 1, raw.begin() + (y + 1) * (stride + 1));
    }
    return true;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(Widen(path).c_str(), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

}  // namespace

TEST(Png, WriterOutputDecodesToTheSamePixelsAcrossSeveralStoredBlocks) {
    EXPECT_EQ(Crc32(reinterpret_cast<const std::uint8_t*>("123456789"), 9), 0xCBF43926u);
    EXPECT_EQ(Adler32(reinterpret_cast<const std::uint8_t*>("Wikipedia"), 9), 0x11E60398u);

    Image image;
    image.width = 200;  // 601 bytes a row, 150 rows: two stored blocks
    image.height = 150;
    for (int i = 0; i < image.width * image.height * 3; ++i)
        image.rgb.push_back(static_cast<std::uint8_t>(i * 7 + i / 601));
    Image decoded;
    std::string why;
    ASSERT_TRUE(DecodeStoredPng(EncodePng(image), decoded, why)) << why;
    EXPECT_EQ(decoded.width, 200);
    EXPECT_EQ(decoded.height, 150);
    EXPECT_EQ(decoded.rgb, image.rgb);

    image.rgb.pop_back();
    EXPECT_TRUE(EncodePng(image).empty()) << "a short pixel buffer must not be written";
    EXPECT_TRUE(EncodePng(Image{}).empty());
}

TEST(Session, StartsInAFolderOfItsOwnWithScenarioLogAndSettings) {
    Session s;
    LaunchOptions options = StandinOptions();
    options.scenarioText = "frames 2\nrate 50\n";
    ASSERT_TRUE(s.launch(options)) << s.lastError();
    EXPECT_GE(s.waitTrace("standin start LumagridStandin.exe", kWait), 0) << s.lastError();
    EXPECT_GE(s.waitTrace("scenario: frames 2", kWait), 0) << s.lastError();
    EXPECT_GE(s.waitTrace("library answer 42", kWait), 0) << "the replacement library was not the one loaded";
    ASSERT_NE(s.waitMainWindow(kWait), nullptr) << s.lastError();
    EXPECT_NE(s.iniText().find("Started=1"), std::string::npos) << "settings file beside the program copy";
    EXPECT_TRUE(s.requestLog().empty());
    ASSERT_TRUE(s.click(1015)) << s.lastError();
    EXPECT_EQ(s.requestLog(), std::vector<std::string>{"setDump 0 0x00"});

    Session other;
    ASSERT_TRUE(other.launch(StandinOptions())) << other.lastError();
    EXPECT_GE(other.waitTrace("scenario: none", kWait), 0) << "QUORVANE_SIM must not leak into a session without one";
    ASSERT_NE(other.waitMainWindow(kWait), nullptr) << other.lastError();
    EXPECT_NE(other.folder(), s.folder());
    EXPECT_NE(other.mainWindow(), s.mainWindow()) << "windows are told apart by process";
}

TEST(Session, ReadsTextsStatesRectanglesListAndTrackBar) {
    Session s;
    ASSERT_TRUE(s.launch(StandinOptions())) << s.lastError();
    ASSERT_NE(s.waitMainWindow(kWait), nullptr) << s.lastError();

    EXPECT_EQ(s.text(1015), "Stop! \nIRScope");
    EXPECT_EQ(s.text(1045), "12.5");
    EXPECT_EQ(s.text(1044), "Range 0 - 100");
    EXPECT_TRUE(s.visible(1015));
    EXPECT_FALSE(s.visible(1050));
    EXPECT_FALSE(s.enabled(1019));
    EXPECT_EQ(s.checked(1055), BST_UNCHECKED);
    EXPECT_EQ(s.trackbarPos(1010), 100);

    std::vector<long> traced = TracedNumbers(s, "stop button at ");
    RECT r{};
    ASSERT_TRUE(s.controlRect(1015, r)) << s.lastError();
    EXPECT_EQ((std::vector<long>{r.left, r.top, r.right, r.bottom}), traced)
        << "rectangle in the dialog's client coordinates";

    EXPECT_EQ(s.listCount(1037), 2);
    EXPECT_EQ(s.listText(1037, 0), "FrameA");
    EXPECT_EQ(s.listText(1037, 1), u8"Frame\u00e9B");
    EXPECT_EQ(s.listText(1037, 1, 1), "64");
    EXPECT_EQ(s.listText(1037, 1, 2), "48");
    RECT row0{}, row1{};
    ASSERT_TRUE(s.listItemRect(1037, 0, row0)) << s.lastError();
    ASSERT_TRUE(s.listItemRect(1037, 1, row1)) << s.lastError();
    EXPECT_GT(row0.right, row0.left);
    EXPECT_GE(row1.left, row0.right) << "icon view lays rows side by side";
    EXPECT_FALSE(s.listItemRect(1037, 5, row0));

    EXPECT_EQ(s.control(4242), nullptr);
    EXPECT_EQ(s.text(4242), "");
    EXPECT_NE(s.lastError().find("4242"), std::string::npos);
}

TEST(Session, ClicksButtonsRowsAndTheTrackBarAsTheProgramSeesThem) {
    Session s;
    ASSERT_TRUE(s.launch(StandinOptions())) << s.lastError();
    ASSERT_NE(s.waitMainWindow(kWait), nullptr) << s.lastError();

    size_t mark = s.traceCount();
    ASSERT_TRUE(s.click(1047)) << s.lastError();
    EXPECT_GE(s.waitTrace("clicked 1047 check 1", kWait, mark), 0) << s.lastError();
    EXPECT_EQ(s.checked(1047), BST_CHECKED);

    // A handler that blocks the program's thread for a second.
    ASSERT_TRUE(s.click(1018)) << s.lastError();
    EXPECT_GE(s.waitTrace("led check done", kWait, mark), 0) << s.lastError();

    EXPECT_FALSE(s.click(1019)) << "a disabled button cannot be clicked";
    EXPECT_NE(s.lastError().find("disabled"), std::string::npos);

    mark = s.traceCount();
    ASSERT_TRUE(s.clickRow(1037, 1)) << s.lastError();
    EXPECT_GE(s.waitTrace("clicked row 1 mark 1", kWait, mark), 0) << s.lastError();
    EXPECT_TRUE(s.listSelected(1037, 1));
    ASSERT_TRUE(s.clickRow(1037, 0)) << s.lastError();
    EXPECT_GE(s.waitTrace("clicked row 0 mark 0", kWait, mark), 0) << s.lastError();
    EXPECT_EQ(s.listSelectionMark(1037), 0);
    EXPECT_FALSE(s.clickRow(1037, 7));

    mark = s.traceCount();
    ASSERT_TRUE(s.setTrackbar(1010, 40)) << s.lastError();
    EXPECT_GE(s.waitTrace("trackbar code 4 pos 40", kWait, mark), 0) << s.lastError();
    EXPECT_GE(s.waitTrace("trackbar code 8 pos 40", kWait, mark), 0) << s.lastError();
    EXPECT_EQ(s.trackbarPos(1010), 40);
    ASSERT_TRUE(s.setTrackbar(1010, 250)) << s.lastError();
    EXPECT_GE(s.waitTrace("trackbar code 4 pos 100", kWait, mark), 0) << "the range clamps the position";
}

TEST(Session, EscClosesTheAboutBoxAndThenTheProgram) {
    Session s;
    ASSERT_TRUE(s.launch(StandinOptions())) << s.lastError();
    ASSERT_NE(s.waitMainWindow(kWait), nullptr) << s.lastError();

    ASSERT_TRUE(s.sysCommand(0x0010)) << s.lastError();
    DialogInfo about;
    ASSERT_TRUE(s.waitDialog(about, kWait)) << s.lastError();
    EXPECT_EQ(about.caption, "About Standin");
    EXPECT_EQ(about.text, "Stand-in, version 1");
    ASSERT_TRUE(s.escape()) << s.lastError();
    EXPECT_GE(s.waitTrace("about closed 2", kWait), 0) << s.lastError();
    EXPECT_TRUE(s.waitWindowGone(about.hwnd, kWait)) << s.lastError();
    EXPECT_TRUE(s.running()) << "Esc must end only the About box";

    // Esc right after a box closes must reach the main window, not the
    // closing box that the program still has as its active window.
    ASSERT_TRUE(s.sysCommand(0x0010)) << s.lastError();
    ASSERT_TRUE(s.waitDialog(about, kWait)) << s.lastError();
    ASSERT_TRUE(s.pressButton(about.hwnd)) << s.lastError();
    ASSERT_TRUE(s.waitWindowGone(about.hwnd, kWait)) << s.lastError();
    ASSERT_TRUE(s.escape()) << s.lastError();
    DWORD code = 99;
    ASSERT_TRUE(s.waitExit(kWait, &code)) << s.lastError();
    EXPECT_EQ(code, 0u);
    EXPECT_GE(s.waitTrace("about closed 1", 0), 0);
    EXPECT_GE(s.waitTrace("cancel", 0), 0);
}

// In a window of this process: Wine reads no other process's menu.
WPARAM g_sysCommand = 0;
LRESULT CALLBACK SysCommandProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) >= 0x0010 && (wp & 0xFFF0) < 0xF000) {
        g_sysCommand = wp;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

TEST(SysMenu, ChoosesTheItemOfTheCaptionButNoDisabledOrMissingOne) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &SysCommandProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DriverSysMenuTest";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"menu", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_NE(menu, nullptr);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | MF_GRAYED, 0x0020, L"&Grayed Item");
    AppendMenuW(menu, MF_STRING, 0x0030, L"Sweep &Test...\tCtrl+T");
    AppendMenuW(menu, MF_STRING, 0x0040, L"Save && Quit");

    struct Case {
        const char* caption;
        WPARAM command;     // 0: the step fails
        const char* error;  // with this reason
    };
    const Case cases[] = {
        {"Sweep Test...", 0x0030, ""},
        {"Save & Quit", 0x0040, ""},
        {"Grayed Item", 0, "system-menu item \"Grayed Item\" is disabled"},
        {"Sweep Test", 0, "no system-menu item \"Sweep Test\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        g_sysCommand = 0;
        std::string error;
        EXPECT_EQ(ChooseSystemMenuItem(window, c.caption, error), c.command != 0) << error;
        EXPECT_EQ(error, c.error);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        EXPECT_EQ(g_sysCommand, c.command);
    }
    DestroyWindow(window);
}

TEST(Session, ReportsTheExitCodeAndCollectsTheLastTraces) {
    Session s;
    ASSERT_TRUE(s.launch(StandinOptions())) << s.lastError();
    ASSERT_NE(s.waitMainWindow(kWait), nullptr) << s.lastError();
    ASSERT_TRUE(s.click(1043)) << s.lastError();
    DWORD code = 99;
    ASSERT_TRUE(s.waitExit(kWait, &code)) << s.lastError();
    EXPECT_EQ(code, 3u);
    EXPECT_GE(s.waitTrace("standin end 3", 0), 0) << "trace lines written just before exit are collected";
    EXPECT_FALSE(s.running());
}

TEST(Session, MissingLibraryShowsBothBoxesInOrderThenEnds) {
    Session s;
    LaunchOptions options = StandinOptions();
    options.library = Library::None;
    ASSERT_TRUE(s.launch(options)) << s.lastError();

    DialogInfo box;
    ASSERT_TRUE(s.waitDialog(box, kWait)) << s.lastError();
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text, "Failed to load Quorvane USB DLL");
    ASSERT_TRUE(s.pressButton(box.hwnd)) << s.lastError();
    ASSERT_TRUE(s.waitWindowGone(box.hwnd, kWait)) << s.lastError();

    DialogInfo second;
    ASSERT_TRUE(s.waitDialog(second, kWait)) << s.lastError();
    EXPECT_EQ(second.caption, "LumagridStandin");
    EXPECT_EQ(second.text, "Load Dll fail");
    ASSERT_TRUE(s.pressButton(second.hwnd)) << s.lastError();

    DWORD code = 99;
    ASSERT_TRUE(s.waitExit(kWait, &code)) << s.lastError();
    EXPECT_EQ(code, 0u);
    EXPECT_GE(s.waitTrace("exiting without library", 0), 0);
    EXPECT_EQ(s.waitMainWindow(100), nullptr) << "the main window is never shown";
}

TEST(Session, ResizesTheClientAreaAndCapturesPaintedPixels) {
    Session s;
    ASSERT_TRUE(s.launch(StandinOptions())) << s.lastError();
    ASSERT_NE(s.waitMainWindow(kWait), nullptr) << s.lastError();

    size_t mark = s.traceCount();
    ASSERT_TRUE(s.resizeClient(900, 620)) << s.lastError();
    RECT client{};
    ASSERT_TRUE(s.clientRect(client));
    EXPECT_EQ(client.right, 900);
    EXPECT_EQ(client.bottom, 620);
    EXPECT_GE(s.waitTrace("size 900 620", kWait, mark), 0) << s.lastError();

    std::vector<long> area = TracedNumbers(s, "paint area ");
    ASSERT_EQ(area.size(), 4u);
    RECT list{};
    ASSERT_TRUE(s.controlRect(1037, list));
    std::string path = s.folder() + "\\shot.png";
    Image image;
    ASSERT_TRUE(s.screenshot(path, &image)) << s.lastError();
    EXPECT_EQ(image.width, 900);
    EXPECT_EQ(image.height, 620);
    EXPECT_EQ(image.pixel((area[0] + area[2]) / 2, (area[1] + area[3]) / 2), 0xFF0000u)
        << "painted area, captured by " << s.lastCaptureMethod();
    EXPECT_EQ(image.pixel(area[0] + 1, area[1] + 1), 0xFF0000u);
    EXPECT_NE(image.pixel(area[0] - 3, area[1] - 3), 0xFF0000u) << "outside the painted area";
    EXPECT_EQ(image.pixel(list.left + 4, list.bottom - 4), 0x000000u) << "the list view's black background";

    Image decoded;
    std::string why;
    ASSERT_TRUE(DecodeStoredPng(ReadBytes(path), decoded, why)) << why;
    EXPECT_EQ(decoded.width, image.width);
    EXPECT_EQ(decoded.height, image.height);
    EXPECT_TRUE(decoded.rgb == image.rgb) << "the file holds the captured pixels";
}

TEST(Session, EndingTheSessionStopsTheProgramAndRemovesOrKeepsTheFolder) {
    std::string folder;
    HANDLE process = nullptr;
    {
        Session s;
        ASSERT_TRUE(s.launch(StandinOptions())) << s.lastError();
        ASSERT_NE(s.waitMainWindow(kWait), nullptr) << s.lastError();
        folder = s.folder();
        process = OpenProcess(SYNCHRONIZE, FALSE, s.processId());
        ASSERT_NE(process, nullptr);
    }
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0) << "program left running";
    CloseHandle(process);
    EXPECT_FALSE(FolderExists(folder));

    {
        Session s;
        LaunchOptions options = StandinOptions();
        options.keepFolder = true;
        ASSERT_TRUE(s.launch(options)) << s.lastError();
        ASSERT_NE(s.waitMainWindow(kWait), nullptr) << s.lastError();
        ASSERT_TRUE(s.click(1015)) << s.lastError();
        folder = s.folder();
    }
    EXPECT_TRUE(FolderExists(folder));
    {
        Session again;  // a kept folder can be reused: the settings stay, the request log starts anew
        LaunchOptions reuse = StandinOptions();
        reuse.folder = folder;
        ASSERT_TRUE(again.launch(reuse)) << again.lastError();
        EXPECT_EQ(again.folder(), folder);
        EXPECT_NE(again.iniText().find("Started=1"), std::string::npos) << "before the program writes it again";
        ASSERT_NE(again.waitMainWindow(kWait), nullptr) << again.lastError();
        ASSERT_TRUE(again.click(1015)) << again.lastError();
        EXPECT_EQ(again.requestLog().size(), 1u);
    }
    EXPECT_TRUE(FolderExists(folder)) << "a folder that existed before the session is never removed";
    EXPECT_TRUE(RemoveFolder(folder));
}

// The stand-in's button 1200 opens the Save As dialog as the program's
// "File Report" does and traces the path it got; the file then holds
// "standin report".
TEST(Session, SaveAsTakesABareNameOrAFullPathAndReportsWhatTheDialogRefuses) {
    Session s;
    ASSERT_TRUE(s.launch(StandinOptions())) << s.lastError();
    ASSERT_NE(s.waitMainWindow(kWait), nullptr) << s.lastError();
    DialogInfo dialog;
    auto open = [&] {
        DWORD start = GetTickCount();
        ASSERT_TRUE(s.click(1200, kWait)) << s.lastError();
        EXPECT_LT(GetTickCount() - start, 5000u) << "the click returns once the modal dialog is up";
        ASSERT_TRUE(s.waitFileDialog(dialog, kWait, "Export Report File As")) << s.lastError();
    };

    ASSERT_NO_FATAL_FAILURE(open());
    DialogInfo other;
    EXPECT_FALSE(s.waitFileDialog(other, 100, "Open"));
    EXPECT_NE(s.lastError().find("Export Report File As"), std::string::npos) << s.lastError();
    EXPECT_EQ(s.fileDialogName(dialog.hwnd), "(2026-12-09-14-30)");
    std::string start = s.fileDialogFolder(dialog.hwnd);
    EXPECT_EQ(start, s.folder()) << "a dialog starts in the program's current folder (unless the prefix "
                                    "remembers a later folder of this program that still exists)";
    ASSERT_TRUE(s.fileDialogSave(dialog.hwnd, "bare-report")) << s.lastError();
    EXPECT_GE(s.waitTrace("saved as " + start + "\\bare-report", kWait), 0) << s.lastError();
    ASSERT_TRUE(s.waitFile("bare-report", kWait)) << s.lastError();
    EXPECT_EQ(s.readFile("bare-report"), "standin report\r\n") << "waitFile returns once the writer is done";

    // A folder name moves the dialog there; a full path is saved as given.
    ASSERT_TRUE(CreateDirectoryW(Widen(s.filePath("sub")).c_str(), nullptr));
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_FALSE(s.fileDialogSave(dialog.hwnd, s.filePath("sub"), 1000));
    EXPECT_NE(s.lastError().find("still open"), std::string::npos) << s.lastError();
    EXPECT_EQ(s.fileDialogFolder(dialog.hwnd), s.filePath("sub"));
    ASSERT_TRUE(s.fileDialogSave(dialog.hwnd, s.filePath("sub\\full.xls"))) << s.lastError();
    EXPECT_GE(s.waitTrace("saved as " + s.filePath("sub\\full.xls"), kWait), 0) << s.lastError();
    EXPECT_TRUE(s.waitFile("sub\\full.xls", kWait)) << s.lastError();

    // A name the dialog refuses: its box is left open and handed out.
    ASSERT_NO_FATAL_FAILURE(open());
    DialogInfo prompt;
    EXPECT_FALSE(s.fileDialogSave(dialog.hwnd, "bad<name>.xls", kWait, &prompt));
    EXPECT_NE(s.lastError().find("bad<name>.xls"), std::string::npos) << s.lastError();
    ASSERT_NE(prompt.hwnd, nullptr);
    EXPECT_EQ(GetWindow(prompt.hwnd, GW_OWNER), dialog.hwnd);
    ASSERT_TRUE(s.pressButton(prompt.hwnd)) << s.lastError();
    ASSERT_TRUE(s.waitWindowGone(prompt.hwnd, kWait)) << s.lastError();
    size_t mark = s.traceCount();
    ASSERT_TRUE(s.fileDialogCancel(dialog.hwnd)) << s.lastError();
    EXPECT_GE(s.waitTrace("cancelled", kWait, mark), 0) << s.lastError();
    EXPECT_EQ(s.fileDialogName(dialog.hwnd), "");
    EXPECT_EQ(s.lastError(), "not a file dialog");
}

TEST(Session, ReadsStatusLinesAndKoreanBoxTexts) {
    Session s;
    ASSERT_TRUE(s.launch(StandinOptions())) << s.lastError();
    ASSERT_NE(s.waitMainWindow(kWait), nullptr) << s.lastError();

    ASSERT_TRUE(s.click(1201)) << s.lastError();
    const std::vector<std::string> lines = {"X-Axis: 3 weak LEDs", u8"Y-Axis 정상", u8"파일 저장: 보고서.xls"};
    EXPECT_EQ(s.statusLines(), lines);
    EXPECT_EQ(s.statusText(), lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\r\n");
    ASSERT_TRUE(s.click(1201)) << s.lastError();
    EXPECT_EQ(s.statusLines().size(), 6u);
    EXPECT_EQ(s.waitStatusLine(u8"보고서", kWait), 2) << s.lastError();
    EXPECT_EQ(s.waitStatusLine("never shown", 100), -1);
    EXPECT_NE(s.lastError().find(u8"6 lines, the last \"파일 저장"), std::string::npos) << s.lastError();
    EXPECT_EQ(s.statusText(1045), "12.5") << "a plain edit";
    // A box that does not answer is not an empty one.
    s.setMessageTimeout(200);
    PostMessageW(s.control(1018), BM_CLICK, 0, 0);  // blocks the window's thread for a second
    Sleep(300);                                     // ... once it has taken the click
    std::vector<std::string> read = lines;
    EXPECT_FALSE(s.readStatusLines(read));
    EXPECT_TRUE(read.empty());
    EXPECT_NE(s.lastError().find("timed out"), std::string::npos) << s.lastError();
    s.setMessageTimeout(5000);
    EXPECT_TRUE(s.readStatusLines(read)) << s.lastError();
    EXPECT_EQ(read.size(), 6u);

    // The program's file-error box: a Korean text naming the file. The dialog
    // takes a path in a missing folder; the write then fails.
    std::string missing = s.filePath("missing\\report.xls");
    ASSERT_TRUE(s.click(1200)) << s.lastError();
    DialogInfo dialog;
    ASSERT_TRUE(s.waitFileDialog(dialog, kWait)) << s.lastError();
    ASSERT_TRUE(s.fileDialogSave(dialog.hwnd, missing)) << s.lastError();
    DialogInfo box;
    ASSERT_TRUE(s.waitDialog(box, kWait)) << s.lastError();
    EXPECT_EQ(box.caption, "LumagridStandin");
    EXPECT_EQ(box.text, u8"파일을 쓸 수 없습니다: " + missing);
    ASSERT_TRUE(s.pressButton(box.hwnd)) << s.lastError();
    EXPECT_GE(s.waitTrace("file error box closed", kWait), 0) << s.lastError();
}

TEST(Session, ReportsWhatItCannotStart) {
    Session s;
    LaunchOptions options = StandinOptions();
    options.exeName = "NoSuchProgram.exe";
    EXPECT_FALSE(s.launch(options));
    EXPECT_NE(s.lastError().find("NoSuchProgram.exe"), std::string::npos);

    Session t;
    options = StandinOptions();
    options.libraryFile = OwnExeFolder() + "missing.dll";
    EXPECT_FALSE(t.launch(options));
    EXPECT_NE(t.lastError().find("missing.dll"), std::string::npos);
}

// The command-line front end, itself run as a session: its stdout is the trace.
TEST(DriveCli, RunsAScriptAndFailsOnAFailedStep) {
    std::string standinLib = OwnExeFolder() + "LumagridStandinLib.dll";
    LaunchOptions options;
    options.exeName = "lumagrid_drive.exe";
    options.library = Library::None;
    options.args = {"--bin",
                    OwnExeFolder(),
                    "--exe",
                    "LumagridStandin.exe",
                    "--library",
                    standinLib,
                    "wait-window",
                    "click",
                    "1047",
                    "expect-trace",
                    "clicked 1047 check 1",
                    "click-row",
                    "1",
                    "expect-trace",
                    "clicked row 1",
                    "expect-text",
                    "1045",
                    "12.5",
                    "rows",
                    "shot",
                    "cli.png",
                    "click",
                    "1201",
                    "expect-status",
                    u8"정상",
                    "status",
                    "click",
                    "1200",
                    "wait-file-dialog",
                    "Export Report File As",
                    "file-name",
                    "save-as",
                    "cli.xls",
                    "expect-file",
                    "cli.xls",
                    "print-file",
                    "cli.xls",
                    "click",
                    "1200",
                    "cancel-file-dialog",
                    "expect-trace",
                    "cancelled",
                    "esc",
                    "expect-exit",
                    "0"};
    Session s;
    ASSERT_TRUE(s.launch(options)) << s.lastError();
    DWORD code = 99;
    ASSERT_TRUE(s.waitExit(60000, &code)) << s.lastError();
    std::string out;
    for (auto& line : s.traceLines()) out += line + "\n";
    EXPECT_EQ(code, 0u) << out;
    EXPECT_NE(out.find("row 1: \"Frame\xc3\xa9"
                       "B\" X 64 Y 48"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("screenshot cli.png ("), std::string::npos) << out;
    EXPECT_FALSE(s.readFile("cli.png").empty()) << "relative paths are relative to the caller's folder";
    EXPECT_NE(out.find(u8"status: Y-Axis 정상\n"), std::string::npos) << out;
    EXPECT_NE(out.find("file name: \"(2026-12-09-14-30)\" in "), std::string::npos) << out;
    EXPECT_NE(out.find("bytes):\nstandin report\n"), std::string::npos) << out;

    Session failing;
    options.args = {"--bin",        OwnExeFolder(), "--exe", "LumagridStandin.exe", "--library",
                    standinLib,     "--timeout",    "3000",  "wait-window",         "expect-trace",
                    "never traced", "click",        "1047"};
    ASSERT_TRUE(failing.launch(options)) << failing.lastError();
    ASSERT_TRUE(failing.waitExit(60000, &code)) << failing.lastError();
    EXPECT_EQ(code, 1u);
    EXPECT_GE(failing.waitTrace("FAILED: expect-trace \"never traced\"", 0), 0);
    EXPECT_LT(failing.waitTrace("ok: click 1047", 0), 0) << "steps after a failure must not run";
}
