// The substitute library loaded as the program loads it, talking to a hidden
// window of the test process.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "link/QuorvaneApi.h"
#include "recording/Recording.h"

using namespace quorvane;

namespace {

// What the hidden window received.
struct Received {
    std::vector<WPARAM> connects;
    int parameters = 0;
    int deviceInfos = 0;
    std::vector<std::vector<std::uint8_t>> packets;
    std::map<int, std::size_t> packetSize;  // by usbindexNo (header byte 2)
    std::vector<bool> endsAtNoAccess;       // per packet: its last byte readable, the next not
    std::vector<DWORD> packetTicks;         // when each packet came
    std::size_t overreadAt = 0;             // >0: the handler also reads this byte, as a faulty program would
};
Received g_received;

bool Readable(const void* at) {
    MEMORY_BASIC_INFORMATION mbi{};
    return VirtualQuery(at, &mbi, sizeof mbi) == sizeof mbi && mbi.State == MEM_COMMIT &&
           !(mbi.Protect & (PAGE_NOACCESS | PAGE_GUARD));
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_USB_CONNECT: g_received.connects.push_back(wParam); return 0;
        case WM_SYSTEM_PARAMETER: ++g_received.parameters; return 0;
        case WM_READ_DEVICE_INFO: ++g_received.deviceInfos; return 0;
        case WM_READ_DUMP: {
            const auto* p = reinterpret_cast<const std::uint8_t*>(wParam);
            std::size_t size = g_received.packetSize.count(p[2]) ? g_received.packetSize[p[2]] : kDumpHeaderBytes;
            if (g_received.overreadAt)
                static_cast<void>(*static_cast<const volatile std::uint8_t*>(p + g_received.overreadAt));
            g_received.endsAtNoAccess.push_back(Readable(p + size - 1) && !Readable(p + size));
            g_received.packets.emplace_back(p, p + size);
            g_received.packetTicks.push_back(GetTickCount());
            return 0;
        }
        default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// Through void(*)(): GetProcAddress's type says nothing about the signature.
template <typename Fn>
Fn Resolve(HMODULE lib, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(lib, name)));
}

std::wstring TempPath(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + L"lumagrid-sim-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
}

void WriteText(const std::wstring& path, const std::string& text) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_TRUE(f);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

std::vector<std::string> ReadLines(const std::wstring& path) {
    std::string text;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
        std::fclose(f);
    }
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

const char* kScenario =
    "rate = 100\nseed = 42\nsetdump_result = 5\n"
    "[frame]\nname = Alpha IR/SN 7\nversion = 3.1.4\ntype = 1\nusbindex = 11\n"
    "x_cells = 96\ny_cells = 64\nx_module_cells = 16\ny_module_cells = 12\n"
    "x_tilts = 3 5 7 9\ny_tilts = 2 4 6 8\nnoise = 3\nweak_x = 10:0.5\ndead_y = 3\n"
    "[frame]\nname = Beta\nversion = 0.9\ntype = 2\nusbindex = 12\nx_cells = 300\ny_cells = 200\n"
    "info_st = fail\nsysinfo = fail\n";

class QuorvaneLibTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_received = Received{};
        scenarioPath_ = TempPath(L"scenario.txt");
        logPath_ = TempPath(L"requests.log");
        DeleteFileW(logPath_.c_str());
        SetEnvironmentVariableW(L"QUORVANE_SIM_LOG", logPath_.c_str());
        WNDCLASSW wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuorvaneLibTestWindow";
        RegisterClassW(&wc);
        window_ = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(window_);
    }

    void TearDown() override {
        if (window_) DestroyWindow(window_);
        Unload();
        // With the window gone the worker leaves and the library unloads.
        EXPECT_TRUE(WaitUntilUnloaded(2000));
        SetEnvironmentVariableW(L"QUORVANE_SIM", nullptr);
        SetEnvironmentVariableW(L"QUORVANE_SIM_LOG", nullptr);
        DeleteFileW(scenarioPath_.c_str());
        DeleteFileW(logPath_.c_str());
    }

    // Loads the library with `scenario` (nullptr: the built-in one).
    void Load(const char* scenario, const wchar_t* dll = L"QuorvaneLib.dll") {
        if (scenario) {
            WriteText(scenarioPath_, scenario);
            SetEnvironmentVariableW(L"QUORVANE_SIM", scenarioPath_.c_str());
        } else {
            SetEnvironmentVariableW(L"QUORVANE_SIM", nullptr);
        }
        lib_ = LoadLibraryW(dll);
        ASSERT_TRUE(lib_);
        reg_ = Resolve<PFN_registerQuorvaneUSBEvent>(lib_, "registerQuorvaneUSBEvent");
        info_ = Resolve<PFN_getDeviceinfo>(lib_, "getDeviceinfo");
        infoSt_ = Resolve<PFN_getDeviceInfoST>(lib_, "getDeviceInfoST");
        sysInfo_ = Resolve<PFN_getSysInfo>(lib_, "getSysInfo");
        dump_ = Resolve<PFN_setDump>(lib_, "setDump");
        ASSERT_TRUE(reg_ && info_ && infoSt_ && sysInfo_ && dump_);
    }

    void Unload() {
        if (lib_) FreeLibrary(lib_);
        lib_ = nullptr;
    }

    static bool WaitUntilUnloaded(DWORD ms) {
        for (DWORD waited = 0; waited < ms; waited += 10) {
            if (!GetModuleHandleW(L"QuorvaneLib.dll") && !GetModuleHandleW(L"QuorvaneLibPartial.dll")) return true;
            Sleep(10);
        }
        return false;
    }

    // Handles the library's messages for `ms` milliseconds or until `done`.
    static void Pump(DWORD ms, const std::function<bool()>& done = nullptr) {
        const DWORD end = GetTickCount() + ms;
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            if (done && done()) return;
            const LONG left = static_cast<LONG>(end - GetTickCount());
            if (left <= 0) return;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        }
    }

    // Ends the session so the next Load starts afresh: the worker keeps the
    // library until its window goes.
    void Restart() {
        Unload();
        DestroyWindow(window_);
        ASSERT_TRUE(WaitUntilUnloaded(2000));
        window_ = CreateWindowW(L"QuorvaneLibTestWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(window_);
    }

    std::vector<std::vector<std::uint8_t>> PacketsAfter(std::size_t from) {
        return {g_received.packets.begin() + static_cast<std::ptrdiff_t>(from), g_received.packets.end()};
    }

    std::wstring scenarioPath_, logPath_;
    HWND window_ = nullptr;
    HMODULE lib_ = nullptr;
    PFN_registerQuorvaneUSBEvent reg_ = nullptr;
    PFN_getDeviceinfo info_ = nullptr;
    PFN_getDeviceInfoST infoSt_ = nullptr;
    PFN_getSysInfo sysInfo_ = nullptr;
    PFN_setDump dump_ = nullptr;
};

}  // namespace

TEST_F(QuorvaneLibTest, RecordsFollowTheScenario) {
    Load(kScenario);
    ASSERT_EQ(reg_(window_), 1);
    Pump(2000, [] { return !g_received.connects.empty(); });
    ASSERT_EQ(g_received.connects, std::vector<WPARAM>{2});

    char name[128], version[128];
    int type = -1, usb = -1;
    EXPECT_EQ(info_(0, name, version, &type, &usb), 1);
    EXPECT_STREQ(name, "Alpha IR/SN 7");
    EXPECT_STREQ(version, "3.1.4");
    EXPECT_EQ(type, 1);
    EXPECT_EQ(usb, 11);
    EXPECT_EQ(info_(1, name, version, &type, &usb), 1);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(usb, 12);

    std::uint8_t st[40];
    std::memset(st, 0xEE, sizeof st);
    ASSERT_EQ(infoSt_(0, reinterpret_cast<DeviceInfoST*>(st)), 1);
    EXPECT_EQ(st[2] | st[3] << 8, 96);
    EXPECT_EQ(st[4] | st[5] << 8, 64);
    std::memset(st, 0xEE, sizeof st);
    EXPECT_EQ(infoSt_(1, reinterpret_cast<DeviceInfoST*>(st)), 0);  // told to fail
    EXPECT_EQ(st[2], 0xEE);

    std::uint8_t fs[50] = {};
    ASSERT_EQ(sysInfo_(11, reinterpret_cast<FrameSettings*>(fs)), 1);
    EXPECT_EQ(fs[4] | fs[5] << 8, 96);
    EXPECT_EQ(fs[6] | fs[7] << 8, 64);
    EXPECT_EQ(fs[8] | fs[9] << 8, 16);
    EXPECT_EQ(fs[10] | fs[11] << 8, 12);
    EXPECT_EQ(std::vector<int>(fs + 14, fs + 22), (std::vector<int>{3, 2, 5, 4, 7, 6, 9, 8}));
    std::memset(fs, 0, sizeof fs);
    EXPECT_EQ(sysInfo_(12, reinterpret_cast<FrameSettings*>(fs)), 0);
    EXPECT_EQ(fs[4], 0);

    // The trace-only messages follow the reads.
    Pump(2000, [] { return g_received.parameters > 0 && g_received.deviceInfos > 0; });
    EXPECT_GT(g_received.parameters, 0);
    EXPECT_GT(g_received.deviceInfos, 0);
}

TEST_F(QuorvaneLibTest, BuiltInScenarioWithoutOrWithABrokenFile) {
    for (const char* scenario : {static_cast<const char*>(nullptr), "rate = 20\nbogus key here\n"}) {
        Load(scenario);
        char name[128], version[128];
        int type = 0, usb = 0;
        std::uint8_t st[40] = {};
        ASSERT_EQ(info_(0, name, version, &type, &usb), 1);
        ASSERT_EQ(infoSt_(0, reinterpret_cast<DeviceInfoST*>(st)), 1);
        EXPECT_EQ(st[2] | st[3] << 8, 96);
        ASSERT_EQ(infoSt_(1, reinterpret_cast<DeviceInfoST*>(st)), 1);
        EXPECT_EQ(st[2] | st[3] << 8, 160);
        EXPECT_EQ(info_(2, name, version, &type, &usb), 1);
        EXPECT_EQ(type, 2);
        EXPECT_EQ(info_(3, name, version, &type, &usb), 0);
        // At exit the program frees the library only when the stop returns 0.
        EXPECT_EQ(dump_(0, 0x00), 0);
        Unload();
        ASSERT_TRUE(WaitUntilUnloaded(2000));
    }
}

TEST_F(QuorvaneLibTest, UnknownIndicesAndNullPointersReturnZeroAndTouchNothing) {
    Load(kScenario);
    char name[128] = "keep", version[128] = "keep";
    int type = 77, usb = 77;
    std::uint8_t st[40] = {}, fs[50] = {};
    EXPECT_EQ(info_(2, name, version, &type, &usb), 0);
    EXPECT_EQ(info_(-1, name, version, &type, &usb), 0);
    EXPECT_EQ(info_(0, nullptr, version, &type, &usb), 0);
    EXPECT_EQ(info_(0, name, version, &type, nullptr), 0);
    EXPECT_STREQ(name, "keep");
    EXPECT_EQ(type, 77);
    EXPECT_EQ(infoSt_(5, reinterpret_cast<DeviceInfoST*>(st)), 0);
    EXPECT_EQ(infoSt_(0, nullptr), 0);
    EXPECT_EQ(sysInfo_(99, reinterpret_cast<FrameSettings*>(fs)), 0);
    EXPECT_EQ(sysInfo_(11, nullptr), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(fs, fs + 50), std::vector<std::uint8_t>(50, 0));
    EXPECT_EQ(dump_(99, 0x01), 0);
    EXPECT_EQ(dump_(11, 0x0D), 0);  // no such mode
    EXPECT_EQ(reg_(nullptr), 0);
    EXPECT_EQ(dump_(11, 0x01), 5);  // the scenario's value for an accepted request
}

TEST_F(QuorvaneLibTest, OnlyTheLatestRequestedFrameStreams) {
    Load(
        "rate = 100\n[frame]\nname = A\nusbindex = 1\nx_cells = 10\ny_cells = 5\n"
        "[frame]\nname = B\nusbindex = 2\nx_cells = 30\ny_cells = 20\n");
    g_received.packetSize = {{1, 7 + 15}, {2, 7 + 50}};
    ASSERT_EQ(reg_(window_), 1);
    dump_(1, 0x05);
    Pump(3000, [] { return g_received.packets.size() >= 5; });
    ASSERT_GE(g_received.packets.size(), 5u);
    EXPECT_EQ(g_received.packets[0][2], 1);
    EXPECT_EQ(g_received.packets[0][1], 0x05);

    dump_(2, 0x13);
    Pump(50);
    std::size_t mark = g_received.packets.size();
    dump_(1, 0x00);  // A no longer streams: its stop leaves B alone
    Pump(300);
    auto after = PacketsAfter(mark);
    ASSERT_GE(after.size(), 10u);
    for (const auto& p : after) {
        EXPECT_EQ(p[2], 2);
        EXPECT_EQ(p[1], 0x13);
    }

    dump_(2, 0x00);
    Pump(50);
    mark = g_received.packets.size();
    Pump(300);
    EXPECT_EQ(g_received.packets.size(), mark);
}

TEST_F(QuorvaneLibTest, RateIsTheScenariosWithinTenPercent) {
    Load("rate = 100\n[frame]\nname = A\nusbindex = 1\nx_cells = 512\ny_cells = 512\n");
    g_received.packetSize = {{1, 7 + 1024}};
    ASSERT_EQ(reg_(window_), 1);
    dump_(1, 0x01);
    Pump(200);  // let the stream settle
    std::size_t mark = g_received.packets.size();
    Pump(2000);
    std::size_t count = g_received.packets.size() - mark;
    EXPECT_GE(count, 180u);
    EXPECT_LE(count, 220u);
}

TEST_F(QuorvaneLibTest, SameScenarioGivesTheSamePackets) {
    const char* scenario =
        "rate = 200\nseed = 9\n[frame]\nname = A\nusbindex = 1\nx_cells = 40\ny_cells = 30\nnoise = 5\n";
    std::vector<std::vector<std::uint8_t>> runs[2];
    for (auto& run : runs) {
        g_received.packets.clear();
        g_received.packetSize = {{1, 7 + 70}};
        Load(scenario);
        ASSERT_EQ(reg_(window_), 1);
        dump_(1, 0x25);
        Pump(3000, [] { return g_received.packets.size() >= 6; });
        ASSERT_GE(g_received.packets.size(), 6u);
        run.assign(g_received.packets.begin(), g_received.packets.begin() + 6);
        dump_(1, 0x00);
        Restart();
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_NE(runs[0][0], runs[0][1]);  // noise varies from packet to packet
}

TEST_F(QuorvaneLibTest, StrictPacketsEndAtAnInaccessiblePageWithTheSameBytes) {
    // B's packets span two pages, so the buffer must grow when B takes over.
    const std::string frames =
        "rate = 200\nseed = 9\n"
        "[frame]\nname = A\nusbindex = 1\nx_cells = 40\ny_cells = 30\nnoise = 5\n"
        "[frame]\nname = B\nusbindex = 2\nx_cells = 3000\ny_cells = 2000\n";
    std::vector<std::vector<std::uint8_t>> first[2];  // without, with the key
    for (int strict = 0; strict < 2; ++strict) {
        if (strict) Restart();
        g_received = Received{};
        g_received.packetSize = {{1, 7 + 70}, {2, 7 + 5000}};
        Load((std::string("strict_packets = ") + (strict ? "yes\n" : "no\n") + frames).c_str());
        ASSERT_EQ(reg_(window_), 1);
        dump_(1, 0x25);
        Pump(3000, [] { return g_received.packets.size() >= 4; });
        ASSERT_GE(g_received.packets.size(), 4u);
        first[strict].assign(g_received.packets.begin(), g_received.packets.begin() + 4);
    }
    EXPECT_EQ(first[1], first[0]);

    dump_(2, 0x05);
    Pump(50);
    const std::size_t mark = g_received.packets.size();
    Pump(3000, [mark] { return g_received.packets.size() >= mark + 3; });
    ASSERT_GE(g_received.packets.size(), mark + 3);
    EXPECT_EQ(g_received.packets.back()[2], 2);
    EXPECT_EQ(g_received.endsAtNoAccess, std::vector<bool>(g_received.packets.size(), true));
}

TEST_F(QuorvaneLibTest, StrictPacketsEndTheProgramAtItsFirstReadPastTheEnd) {
    // The handler runs on a message sent from the library's thread, where a
    // fault by itself would be swallowed and the program would carry on.
    EXPECT_EXIT(
        {
            Load("strict_packets = yes\n[frame]\nname = A\nusbindex = 1\nx_cells = 40\ny_cells = 30\n");
            g_received.overreadAt = 7 + 3000 + 2000 - 1;  // the last byte by a larger frame's counts
            reg_(window_);
            dump_(1, 0x05);
            Pump(3000);
        },
        ::testing::ExitedWithCode(static_cast<int>(EXCEPTION_ACCESS_VIOLATION)),
        "read byte 5006 of a 77-byte dump packet");
}

TEST_F(QuorvaneLibTest, TimelineAnnouncesEveryChangeOfTheConnectedSet) {
    Load(
        "cycle_ms = 400\nat = 200 disconnect 2\n"
        "[frame]\nname = A\nusbindex = 1\nx_cells = 8\ny_cells = 8\n"
        "[frame]\nname = B\nusbindex = 2\nx_cells = 8\ny_cells = 8\n");
    ASSERT_EQ(reg_(window_), 1);
    Pump(3000, [] { return g_received.connects.size() >= 5; });
    ASSERT_GE(g_received.connects.size(), 5u);
    EXPECT_EQ(std::vector<WPARAM>(g_received.connects.begin(), g_received.connects.begin() + 5),
              (std::vector<WPARAM>{2, 1, 2, 1, 2}));
}

TEST_F(QuorvaneLibTest, LogHasOneLinePerCall) {
    Load(kScenario);
    char name[128], version[128];
    int type, usb;
    std::uint8_t st[40], fs[50] = {};
    reg_(window_);
    info_(0, name, version, &type, &usb);
    info_(7, name, version, &type, &usb);
    infoSt_(1, reinterpret_cast<DeviceInfoST*>(st));
    sysInfo_(11, reinterpret_cast<FrameSettings*>(fs));
    dump_(11, 0x35);
    dump_(0, 0x00);
    // Flushed at once: readable while the library is still loaded.
    EXPECT_EQ(ReadLines(logPath_),
              (std::vector<std::string>{"registerQuorvaneUSBEvent -> 1", "getDeviceinfo 0 -> 1", "getDeviceinfo 7 -> 0",
                                        "getDeviceInfoST 1 -> 0", "getSysInfo 11 -> 1", "setDump 11 0x35",
                                        "setDump 0 0x00"}));
}

TEST_F(QuorvaneLibTest, FailEveryFailsEveryNthAnswerOfEachEntryPointAlone) {
    Load("[frame]\nname = A\nusbindex = 4\nx_cells = 8\ny_cells = 8\nfail_every = 3\n");
    std::uint8_t st[40], fs[50];
    std::vector<int> infoSt, sysInfo;
    for (int i = 0; i < 6; ++i) {
        infoSt.push_back(infoSt_(0, reinterpret_cast<DeviceInfoST*>(st)));
        if (i < 4) sysInfo.push_back(sysInfo_(4, reinterpret_cast<FrameSettings*>(fs)));
    }
    EXPECT_EQ(infoSt, (std::vector<int>{1, 1, 0, 1, 1, 0}));
    EXPECT_EQ(sysInfo, (std::vector<int>{1, 1, 0, 1}));
}

TEST_F(QuorvaneLibTest, DumpCountLinesCountThePacketsTheWindowHandled) {
    SetEnvironmentVariableW(L"QUORVANE_SIM_DUMP_COUNT_MS", L"100");
    Load("rate = 200\n[frame]\nname = A\nusbindex = 1\nx_cells = 8\ny_cells = 8\n");
    g_received.packetSize = {{1, 7 + 16}};
    const int registered = reg_(window_);  // the variable is read at the first call
    SetEnvironmentVariableW(L"QUORVANE_SIM_DUMP_COUNT_MS", nullptr);
    ASSERT_EQ(registered, 1);
    dump_(1, 0x05);
    Pump(1000);
    dump_(1, 0x00);
    Pump(400);  // the lines after the stop carry the final count
    const std::size_t handled = g_received.packets.size();
    long long lastCount = -1;
    int lines = 0;
    for (const std::string& line : ReadLines(logPath_)) {
        long long count = 0, ms = 0;
        if (std::sscanf(line.c_str(), "dumps %lld %lld", &count, &ms) != 2) continue;
        EXPECT_GE(count, lastCount);
        EXPECT_GE(ms, 100LL * lines) << line;  // one line per interval, never early
        ++lines;
        lastCount = count;
    }
    EXPECT_GE(lines, 3);
    EXPECT_GT(handled, 0u);
    EXPECT_EQ(lastCount, static_cast<long long>(handled));
}

// A recorded frame beside a simulated one: its answers and packets are the
// recording's, at the recorded pace, and it stops at the end with replay_loop = no.
TEST_F(QuorvaneLibTest, RecordedFramePlaysItsRecordingThroughTheMessages) {
    recording::Header h;
    h.frameName = "Site IR/SN 5";
    h.frameVersion = "9.9";
    h.deviceType = 1;
    h.usbIndexNo = 6;
    h.deviceInfoStResult = 1;
    h.sysInfoResult = 1;
    for (std::size_t i = 0; i < h.deviceInfoSt.size(); ++i) h.deviceInfoSt[i] = static_cast<std::uint8_t>(3 * i + 1);
    for (std::size_t i = 0; i < h.frameSettings.size(); ++i) h.frameSettings[i] = static_cast<std::uint8_t>(250 - i);
    h.xCount = 20;
    h.yCount = 10;
    // The records' counts are the packets' (a replay refuses more).
    h.deviceInfoSt[2] = h.frameSettings[4] = 20;
    h.deviceInfoSt[4] = h.frameSettings[6] = 10;
    h.deviceInfoSt[3] = h.deviceInfoSt[5] = h.frameSettings[5] = h.frameSettings[7] = 0;
    recording::Encoder encoder(h);
    std::vector<std::vector<std::uint8_t>> recorded;
    encoder.AddRequest(0, 0x05);
    for (int n = 0; n < 6; ++n) {
        std::vector<std::uint8_t> p(h.PacketSize());
        for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::uint8_t>(n * 11 + i);
        p[2] = 6;  // the window looks the size up by this byte
        encoder.AddPacket(100'000u * static_cast<unsigned>(n), 0x05, p.data(), p.size());
        recorded.push_back(p);
    }
    encoder.Finish();
    std::vector<std::uint8_t> file;
    encoder.TakeOutput(file);
    const std::wstring recordingPath = TempPath(L"site.lgrec");
    WriteText(recordingPath, std::string(file.begin(), file.end()));
    const std::wstring name = recordingPath.substr(recordingPath.find_last_of(L"\\/") + 1);

    // Named relative to the scenario's folder.
    Load(("strict_packets = yes\n[frame]\nname = Sim\nusbindex = 1\nx_cells = 8\ny_cells = 8\n"
          "[frame]\nrecording = " +
          std::string(name.begin(), name.end()) + "\nreplay_loop = no\n")
             .c_str());
    g_received.packetSize = {{6, h.PacketSize()}};
    ASSERT_EQ(reg_(window_), 1);
    Pump(2000, [] { return !g_received.connects.empty(); });
    ASSERT_EQ(g_received.connects, std::vector<WPARAM>{2});

    char text[128], version[128];
    int type = 0, usb = 0;
    ASSERT_EQ(info_(1, text, version, &type, &usb), 1);
    EXPECT_STREQ(text, "Site IR/SN 5");
    EXPECT_STREQ(version, "9.9");
    EXPECT_EQ(usb, 6);
    std::uint8_t st[40] = {}, fs[50] = {};
    ASSERT_EQ(infoSt_(1, reinterpret_cast<DeviceInfoST*>(st)), 1);
    EXPECT_EQ(std::vector<std::uint8_t>(st, st + 40),
              std::vector<std::uint8_t>(h.deviceInfoSt.begin(), h.deviceInfoSt.end()));
    ASSERT_EQ(sysInfo_(6, reinterpret_cast<FrameSettings*>(fs)), 1);
    EXPECT_EQ(std::vector<std::uint8_t>(fs, fs + 50),
              std::vector<std::uint8_t>(h.frameSettings.begin(), h.frameSettings.end()));

    dump_(6, 0x05);
    Pump(5000, [] { return g_received.packets.size() >= 6; });
    Pump(300);  // nothing follows the last packet
    EXPECT_EQ(g_received.packets, recorded);
    EXPECT_EQ(g_received.endsAtNoAccess, std::vector<bool>(g_received.packets.size(), true));
    ASSERT_EQ(g_received.packetTicks.size(), 6u);
    // 100 ms apart as recorded; a busy machine may only stretch it.
    const DWORD span = g_received.packetTicks.back() - g_received.packetTicks.front();
    EXPECT_GE(span, 480u);
    EXPECT_LE(span, 1500u);

    dump_(6, 0x01);
    Pump(200);
    EXPECT_EQ(g_received.packets.size(), 6u);
    const std::vector<std::string> log = ReadLines(logPath_);
    const std::vector<std::string> tail(log.end() - 4, log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"setDump 6 0x05", "replay 6 0x05 ended after 6 packets", "setDump 6 0x01",
                                              "replay 6 0x01 not recorded"}));
    DeleteFileW(recordingPath.c_str());
}

TEST_F(QuorvaneLibTest, UnloadWhileStreamingKeepsDeliveringUntilTheWindowGoes) {
    Load("rate = 500\n[frame]\nname = A\nusbindex = 1\nx_cells = 200\ny_cells = 100\n");
    g_received.packetSize = {{1, 7 + 300}};
    ASSERT_EQ(reg_(window_), 1);
    dump_(1, 0x05);
    Pump(3000, [] { return g_received.packets.size() >= 3; });
    Unload();
    std::size_t mark = g_received.packets.size();
    Pump(200);
    EXPECT_GT(g_received.packets.size(), mark);  // still alive on its own reference
    EXPECT_TRUE(GetModuleHandleW(L"QuorvaneLib.dll"));
    DestroyWindow(window_);
    window_ = nullptr;
    EXPECT_TRUE(WaitUntilUnloaded(1000));
}

// The stylus runs on the library's clock from the frame's first IR request:
// nothing before it (Maximal came first), X then Y at the scenario's times,
// every receiver but the stuck one dropped, nothing after the pass.
TEST_F(QuorvaneLibTest, StylusSweepsFromTheFirstIrRequest) {
    Load(
        "rate = 200\n[frame]\nname = S\nusbindex = 1\nx_cells = 12\ny_cells = 8\n"
        "level_maximal = 96\nlevel_ir = 62\nsweep = 0.3 0.8\nstuck_x = 4\n");
    g_received.packetSize = {{1, 7 + 20}};
    ASSERT_EQ(reg_(window_), 1);
    dump_(1, 0x05);
    Pump(400);
    const std::size_t mark = g_received.packets.size();
    ASSERT_GE(mark, 20u);
    for (std::size_t k = 0; k < mark; ++k)
        for (std::size_t i = 7; i < 27; ++i) ASSERT_EQ(g_received.packets[k][i], 96) << k << " " << i;

    const DWORD asked = GetTickCount();
    dump_(1, 0x03);
    Pump(1800);
    std::set<int> x, y;
    DWORD firstDrop = 0, lastX = 0, firstY = 0, lastDrop = 0;
    for (std::size_t k = mark; k < g_received.packets.size(); ++k) {
        const std::vector<std::uint8_t>& p = g_received.packets[k];
        if (p[1] != 0x03) continue;
        const DWORD at = g_received.packetTicks[k] - asked;
        for (int i = 0; i < 20; ++i) {
            if (p[7 + i] == 62) continue;
            EXPECT_LE(p[7 + i], 2) << "packet " << k << " receiver " << i;
            (i < 12 ? x : y).insert(i < 12 ? i : i - 12);
            if (!firstDrop) firstDrop = at;
            if (i < 12) lastX = at;
            if (i >= 12 && !firstY) firstY = at;
            lastDrop = at;
        }
    }
    EXPECT_EQ(x, (std::set<int>{0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(y.size(), 8u);
    EXPECT_GE(firstDrop, 250u);  // START 0.3 s, give or take the tick's granularity
    EXPECT_LE(lastX, firstY);
    EXPECT_LE(lastDrop, 1400u);  // the pass ends at 1.1 s
}

TEST(QuorvaneLibExports, PartialLibraryLacksOnlyGetSysInfo) {
    HMODULE full = LoadLibraryW(L"QuorvaneLib.dll");
    HMODULE partial = LoadLibraryW(L"QuorvaneLibPartial.dll");
    ASSERT_TRUE(full && partial);
    for (const char* name : kEntryPointNames) {
        EXPECT_TRUE(GetProcAddress(full, name)) << name;
        const bool expected = std::strcmp(name, "getSysInfo") != 0;
        EXPECT_EQ(GetProcAddress(partial, name) != nullptr, expected) << name;
    }
    auto uncalled = Resolve<PFN_uncalled>(full, "getDLLVersion");
    EXPECT_EQ(uncalled(), 0);
    FreeLibrary(partial);
    FreeLibrary(full);
}
