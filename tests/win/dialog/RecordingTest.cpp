// "Record dump stream..." on the real dialog: the menu item's state, what a
// recording holds (read back with the replay index), the ways it ends, the
// pause during an auto-save pass and a disk that fills up.
#include "DialogFixture.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "LumagridVersion.h"
#include "recording/RecordingIndex.h"
#include "reports/FileErrors.h"
#include "scope/RecordingHeader.h"

namespace {
struct SaveDialog {
    std::wstring answer;  // empty: Cancel
    std::wstring initialName, filter;
    std::wstring defExt;
    DWORD flags = 0;
} g_save;

BOOL WINAPI FakeSaveDialog(OPENFILENAMEW* ofn) {
    g_save.initialName = ofn->lpstrFile;
    g_save.filter.clear();
    for (const wchar_t* f = ofn->lpstrFilter; f && *f; f += wcslen(f) + 1) g_save.filter += std::wstring(f) + L"|";
    g_save.defExt = ofn->lpstrDefExt ? ofn->lpstrDefExt : L"";
    g_save.flags = ofn->Flags;
    if (g_save.answer.empty()) return FALSE;
    wcscpy(ofn->lpstrFile, g_save.answer.c_str());
    return TRUE;
}

void WINAPI May7th2013(SYSTEMTIME* t) { *t = SYSTEMTIME{2013, 5, 2, 7, 14, 30, 59, 250}; }

// A disk that fills up on demand; the writer thread calls it.
std::atomic<bool> g_diskFull{false};
BOOL WINAPI FillingDisk(HANDLE hFile, LPCVOID pData, DWORD nBytes, LPDWORD pnWritten, LPOVERLAPPED pOverlapped) {
    if (g_diskFull) return fake::DiskFullWrite(hFile, pData, nBytes, pnWritten, pOverlapped);
    return ::WriteFile(hFile, pData, nBytes, pnWritten, pOverlapped);
}

class RecordingTest : public DialogTest {
protected:
    // Row 0: "A:1" (usb 4), row 1: "B" (usb 9), both 6 x 4; row 0 clicked.
    void OpenTwo() {
        fake::Device a = fake::Frame("A:1", 4, 6, 4, 3, 2);
        a.version = "2.7b";
        a.type = 5;
        fake::Current().devices = {a, fake::Frame("B", 9, 6, 4, 3, 2)};
        Open();
        dlg->m_pfnGetSaveFileName = &FakeSaveDialog;
        dlg->m_pfnMessageBox = &fake::RecordBox;
        dlg->m_pfnLocalTime = &May7th2013;
        dlg->m_pfnWriteFile = &FillingDisk;
        dlg->m_recordingOptions.blockBytes = 1;  // every record a block of its own, written within 100 ms
        g_save = SaveDialog{};
        g_diskFull = false;
        fake::Boxes().clear();
        Connect(2);
        ClickRow(0);
        path = folder + "rec.lgrec";
    }
    void TearDown() override {
        if (dlg && dlg->m_hWnd) dlg->DestroyWindow();
        ::DeleteFileA(path.c_str());
        DialogTest::TearDown();
    }
    void ChooseRecord() { ::SendMessageW(dlg->m_hWnd, WM_SYSCOMMAND, IDM_RECORD_DUMP_STREAM, 0); }
    void StartRecording() {
        g_save.answer = Widen((folder + "rec").c_str());  // the extension is added
        ChooseRecord();
        ASSERT_TRUE(dlg->m_pRecorder);
    }
    // The item's state as the system menu shows it when opened.
    UINT MenuState() {
        HMENU hMenu = ::GetSystemMenu(dlg->m_hWnd, FALSE);
        ::SendMessageW(dlg->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), MAKELPARAM(0, TRUE));
        return ::GetMenuState(hMenu, IDM_RECORD_DUMP_STREAM, MF_BYCOMMAND);
    }
    // A packet of 6 + 4 receivers at b.
    static std::vector<std::uint8_t> Packet(std::uint8_t b) { return std::vector<std::uint8_t>(17, b); }
    recording::RecordingIndex Index() const { return recording::IndexRecordingFile(path); }
    // The packets of one request byte, by their last byte.
    static std::vector<int> Values(const recording::RecordingIndex& index, std::uint8_t request) {
        std::vector<int> values;
        if (const recording::PacketStream* s = index.Find(request))
            for (std::size_t i = 0; i < s->Count(); ++i) values.push_back(s->bytes[(i + 1) * 17 - 1]);
        return values;
    }
    static std::vector<int> Requests(const recording::RecordingIndex& index) {
        std::vector<int> requests;
        for (const recording::RequestEntry& r : index.requests) requests.push_back(r.request);
        return requests;
    }
    bool StatusHas(const std::string& text) const { return Text(IDC_STATUS).find(text) != std::string::npos; }
    // Runs the window until `done` holds, at most 3 s (the writer drains every 100 ms).
    template <class Pred>
    bool WaitFor(Pred done) {
        for (int i = 0; i < 150 && !done(); ++i) {
            ::Sleep(20);
            PumpMessages();
        }
        return done();
    }

    std::string path;
};
}  // namespace

TEST_F(RecordingTest, MenuItemIsEnabledWhileAFrameIsMarkedAndCheckedWhileRecording) {
    OpenTwo();
    HMENU hMenu = ::GetSystemMenu(dlg->m_hWnd, FALSE);
    wchar_t text[64] = {0};
    ::GetMenuStringW(hMenu, IDM_RECORD_DUMP_STREAM, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(text), L"Record dump stream...");
    EXPECT_EQ(MenuState() & (MF_GRAYED | MF_CHECKED), 0u);

    // Cancelled: nothing recorded, nothing written. The name offered is the
    // frame's, made fit for a file name, with the local time.
    ChooseRecord();
    EXPECT_FALSE(dlg->m_pRecorder);
    EXPECT_EQ(g_save.initialName, L"A_1_2013-05-07_14-30-59.lgrec");
    EXPECT_EQ(g_save.filter, L"Dump recording (*.lgrec)|*.lgrec|All Files (*.*)|*.*|");
    EXPECT_EQ(g_save.defExt, L"lgrec");
    EXPECT_TRUE(g_save.flags & OFN_OVERWRITEPROMPT);
    EXPECT_TRUE(g_save.flags & OFN_NOCHANGEDIR);

    StartRecording();
    EXPECT_EQ(MenuState() & (MF_GRAYED | MF_CHECKED), static_cast<UINT>(MF_CHECKED));
    ChooseRecord();
    EXPECT_EQ(MenuState() & (MF_GRAYED | MF_CHECKED), 0u);

    // No row marked (a refill drops the mark): grayed, and the command does nothing.
    Connect(2);
    EXPECT_EQ(MenuState() & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    ChooseRecord();
    EXPECT_FALSE(dlg->m_pRecorder);
}

TEST_F(RecordingTest, HoldsTheHeaderThePacketsReadAndTheRequestsSentToTheFrame) {
    OpenTwo();
    StartRecording();
    EXPECT_TRUE(StatusHas("Recording dump stream to " + path + "\r"));
    SendDump(Packet(1));
    SendDump(Packet(2));
    dlg->m_nDumpUsbIndex = 9;  // the gate: a packet read while another frame is asked
    SendDump(Packet(99));
    dlg->m_nDumpUsbIndex = 4;
    Click(IDC_SCOPE_MAXIMAL_IR);
    SendDump(Packet(3));
    ChooseRecord();
    EXPECT_TRUE(StatusHas("Recording ended: " + path + ", 3 packets\r"));

    const recording::RecordingIndex index = Index();
    ASSERT_EQ(index.status, recording::IndexStatus::Complete) << index.message;
    const recording::Header& h = index.header;
    EXPECT_EQ(h.programVersion, LUMAGRID_VERSION_TEXT);
    EXPECT_EQ(recording::ToText(h.started), "2013-05-07 14:30:59.250");
    EXPECT_EQ(h.frameName, "A:1");
    EXPECT_EQ(h.frameVersion, "2.7b");
    EXPECT_EQ(h.deviceType, 5);
    EXPECT_EQ(h.usbIndexNo, 4);
    EXPECT_EQ(h.deviceInfoStResult, 1);
    EXPECT_EQ(h.deviceInfoSt[2], 6);  // the X cells of the record as received
    EXPECT_EQ(h.sysInfoResult, 1);
    const quorvane::FrameSettings answer = fake::Geometry(6, 4, 3, 2);
    EXPECT_EQ(std::memcmp(h.frameSettings.data(), &answer, sizeof answer), 0);
    EXPECT_EQ(h.xCount, 6);
    EXPECT_EQ(h.yCount, 4);

    EXPECT_EQ(Values(index, 0x01), (std::vector<int>{1, 2}));  // Ambient+IR, asked by the click
    EXPECT_EQ(Values(index, 0x05), (std::vector<int>{3}));
    EXPECT_EQ(Requests(index), (std::vector<int>{0x05}));
}

// Each way a recording ends closes a complete file; clicking the recorded
// frame again is none of them (its requests go on into the file).
TEST_F(RecordingTest, EndsOnTheItemAnotherFrameItsLeavingAndTheWindowClosing) {
    enum Act { kItem, kOtherFrame, kFrameLeaves, kWindowCloses, kSameFrame };
    struct Case {
        const char* what;
        Act act;
        bool ends;
        std::vector<int> requests;
    };
    const Case cases[] = {
        {"item chosen again", kItem, true, {}},
        {"another frame clicked", kOtherFrame, true, {}},
        {"the frame left", kFrameLeaves, true, {}},
        {"window closed", kWindowCloses, true, {}},
        {"the same frame clicked", kSameFrame, false, {0x00, 0x01}},
    };
    for (const Case& c : cases) {
        OpenTwo();
        StartRecording();
        SendDump(Packet(7));
        switch (c.act) {
            case kItem: ChooseRecord(); break;
            case kOtherFrame: ClickRow(1); break;
            case kFrameLeaves:
                fake::Current().devices.erase(fake::Current().devices.begin());
                Connect(1);
                break;
            case kWindowCloses: dlg->DestroyWindow(); break;
            case kSameFrame: ClickRow(0); break;
        }
        if (dlg->m_hWnd) {
            EXPECT_EQ(!dlg->m_pRecorder, c.ends) << c.what;
            EXPECT_EQ(StatusHas("Recording ended: " + path + ", 1 packet\r"), c.ends) << c.what;
            if (dlg->m_pRecorder) ChooseRecord();
        }
        const recording::RecordingIndex index = Index();
        EXPECT_EQ(index.status, recording::IndexStatus::Complete) << c.what << ": " << index.message;
        EXPECT_EQ(Values(index, 0x01), (std::vector<int>{7})) << c.what;
        EXPECT_EQ(Requests(index), c.requests) << c.what;
        TearDown();
        SetUp();
    }
}

// A pass asks every frame in turn: the recorded frame's packets go in while it
// is asked (the pass's own request included), the other frame's do not.
TEST_F(RecordingTest, AutoSavePassAskingAnotherFramePausesTheRecording) {
    OpenTwo();
    StartRecording();
    dlg->StartAutoSavePass();
    auto tickUntil = [this](const std::string& request) {
        for (int i = 0; i < 20 && fake::Current().SetDumps().back() != request; ++i)
            ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerAutoSave, 0);
        return fake::Current().SetDumps().back() == request;
    };
    ASSERT_TRUE(tickUntil("setDump 9 0x05"));
    SendDump(Packet(50));  // frame B's
    ASSERT_TRUE(tickUntil("setDump 4 0x05"));
    SendDump(Packet(51));
    ASSERT_TRUE(tickUntil("setDump 4 0x01"));  // the pass ends: the user's mode again
    SendDump(Packet(52));
    ChooseRecord();

    const recording::RecordingIndex index = Index();
    ASSERT_EQ(index.status, recording::IndexStatus::Complete) << index.message;
    EXPECT_EQ(Values(index, 0x05), (std::vector<int>{51}));
    EXPECT_EQ(Values(index, 0x01), (std::vector<int>{52}));
    EXPECT_EQ(Requests(index), (std::vector<int>{0x05, 0x01}));
}

TEST_F(RecordingTest, WriteErrorEndsTheRecordingWithTheBoxAndKeepsWhatWasWritten) {
    OpenTwo();
    const std::wstring diskFull =
        Widen(reports::FileErrorText(reports::FileErrorCauseOf(ERROR_DISK_FULL), path).c_str(), CP_UTF8);

    // Even the header cannot be written: no recording, no file.
    g_diskFull = true;
    g_save.answer = Widen(path.c_str());
    ChooseRecord();
    EXPECT_FALSE(dlg->m_pRecorder);
    EXPECT_EQ(::GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(fake::Boxes().size(), 1u);
    EXPECT_EQ(fake::Boxes()[0].first, diskFull);

    g_diskFull = false;
    StartRecording();
    for (std::uint8_t b : {1, 2, 3}) SendDump(Packet(b));
    ASSERT_TRUE(WaitFor([this] { return Values(Index(), 0x01).size() == 3; }));
    g_diskFull = true;
    SendDump(Packet(4));
    ASSERT_TRUE(WaitFor([this] { return !dlg->m_pRecorder; }));

    ASSERT_EQ(fake::Boxes().size(), 2u);
    EXPECT_EQ(fake::Boxes()[1].first, diskFull);
    EXPECT_TRUE(StatusHas("Recording ended: " + path + ", 4 packets, write error"));
    EXPECT_EQ(MenuState() & MF_CHECKED, 0u);
    const recording::RecordingIndex index = Index();
    EXPECT_EQ(index.status, recording::IndexStatus::CutShort) << index.message;
    EXPECT_EQ(Values(index, 0x01), (std::vector<int>{1, 2, 3}));
}

namespace {
// A file that takes at most five bytes a call, as WriteFile may.
BOOL WINAPI FiveBytesAtATime(HANDLE hFile, LPCVOID pData, DWORD nBytes, LPDWORD pnWritten, LPOVERLAPPED pOverlapped) {
    return ::WriteFile(hFile, pData, std::min<DWORD>(nBytes, 5), pnWritten, pOverlapped);
}
double g_nowMs = 0;
double NowMs() { return g_nowMs; }
}  // namespace

// The console tool's way: the header from the device record, the file
// written with no window to notify. What the library returned is kept as it
// returned it, and a short write is carried on, not taken for a full disk.
TEST(RecordingHeader, KeepsTheLibrarysResultsAndIsWrittenWithoutAWindow) {
    quorvane::DeviceRecord device;
    device.name = "Quorvane \xB1\xA4";  // system code page bytes, kept as they are
    device.version = "3.1";
    device.nDeviceType = 2;
    device.nUsbIndexNo = 11;
    device.nInfoSTResult = -2;
    device.infoST.nXCells = 0x0102;
    quorvane::FrameSettings answer{};
    answer.m_nXTCount = 8;
    answer.m_nYTCount = 6;
    const SYSTEMTIME started{2031, 12, 3, 31, 23, 59, 58, 7};
    const recording::Header header = scope::RecordingHeader(device, started, 7, answer, 8, 6);
    EXPECT_EQ(header.programVersion, LUMAGRID_VERSION_TEXT);
    EXPECT_EQ(recording::ToText(header.started), "2031-12-31 23:59:58.007");
    EXPECT_EQ(header.sysInfoResult, 7);  // not 1: the file says what getSysInfo returned
    EXPECT_EQ(header.deviceInfoStResult, -2);
    EXPECT_EQ(header.deviceInfoSt[2], 0x02);
    EXPECT_EQ(header.deviceInfoSt[3], 0x01);
    EXPECT_EQ(std::memcmp(header.frameSettings.data(), &answer, sizeof answer), 0);

    wchar_t base[MAX_PATH];
    ::GetTempPathW(MAX_PATH, base);
    const std::wstring path =
        std::wstring(base) + L"lumagrid-header-" + std::to_wstring(::GetCurrentProcessId()) + L".lgrec";
    std::uint64_t nBytes = 0;
    {
        scope::DumpRecorder recorder(header, {}, &NowMs, &FiveBytesAtATime);
        ASSERT_EQ(recorder.Open(path, nullptr, 0), 0u);
        recorder.AddRequest(0x05);
        const std::vector<std::uint8_t> packet(header.PacketSize(), 0x33);
        for (int i = 0; i < 20; ++i) {
            g_nowMs += 10;
            recorder.AddPacket(0x05, packet.data());
        }
        recorder.Close();
        EXPECT_EQ(recorder.WriteError(), 0u);
        EXPECT_EQ(recorder.Packets(), 20u);
        nBytes = recorder.BytesWritten();
    }
    const recording::RecordingIndex index = recording::IndexRecordingFile(Narrow(path.c_str()));
    ::DeleteFileW(path.c_str());
    ASSERT_EQ(index.status, recording::IndexStatus::Complete) << index.message;
    EXPECT_TRUE(index.header == header);
    ASSERT_TRUE(index.Find(0x05));
    EXPECT_EQ(index.Find(0x05)->Count(), 20u);
    EXPECT_EQ(index.endTimeUs, 200'000u);
    EXPECT_GT(nBytes, header.PacketSize());
}
