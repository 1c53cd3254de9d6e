// What a technician's bench throws at the dialog: a settings file edited by
// hand or not writable at all, and frames of no cells or of more receivers than any
// simulated frame has. Packets lie right before an inaccessible page, so any
// read past one ends the test process.
#include "DialogFixture.h"

#include <fstream>

namespace {
// A packet whose last byte is the last readable byte of its pages.
class GuardedPacket {
public:
    explicit GuardedPacket(const std::vector<std::uint8_t>& bytes) {
        SYSTEM_INFO si;
        ::GetSystemInfo(&si);
        const size_t page = si.dwPageSize, data = (bytes.size() + page - 1) / page * page;
        m_base = static_cast<std::uint8_t*>(::VirtualAlloc(nullptr, data + page, MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        ::VirtualProtect(m_base + data, page, PAGE_NOACCESS, &old);
        m_packet = m_base + data - bytes.size();
        std::copy(bytes.begin(), bytes.end(), m_packet);
    }
    ~GuardedPacket() { ::VirtualFree(m_base, 0, MEM_RELEASE); }
    WPARAM address() const { return reinterpret_cast<WPARAM>(m_packet); }

private:
    std::uint8_t* m_base = nullptr;
    std::uint8_t* m_packet = nullptr;
};

std::wstring g_reportPath;
BOOL WINAPI SaveAsReportPath(OPENFILENAMEW* ofn) {
    wcscpy(ofn->lpstrFile, g_reportPath.c_str());
    return TRUE;
}
}  // namespace

TEST_F(DialogTest, HandEditedSettingsLoadWhatThePlatformReadsAndAnUnwritableFileLosesNothing) {
    const std::string ini =
        "[SETTING]\r\nMIN_ADC_O_PER=abc\r\n"
        "[FRAME-A]\r\nX_MODULE_CELL=65536\r\nY_MODULE_CELL=16\r\nX_TILT1=300\r\n"
        "[FRAME-A]\r\nX_MODULE_CELL=8\r\n"  // a second section of the same name: the first one counts
        "[" +
        std::string(600, 'L') + "]\r\nX_MODULE_CELL=4\r\n";
    std::ofstream(folder + "Lumagrid.ini", std::ios::binary) << ini;
    fake::Device frame = fake::Frame("FRAME-A", 3, 32, 32, 16, 16);
    frame.sysInfoOk = false;  // only what the file says
    SelectOnly(frame);
    EXPECT_EQ(IniText(), ini);
    EXPECT_EQ(dlg->m_FrameSettings.X_MODULE_CELL, 0);  // 65536 cut to 16 bits
    EXPECT_EQ(dlg->m_FrameSettings.X_TILT1, 44);       // 300 cut to 8 bits
    EXPECT_TRUE(dlg->m_arrXModuleSize.empty());        // one axis undivided: both are
    EXPECT_EQ(dlg->m_nMinAdcOPer, 0);                  // not a number: 0, so no receiver counts as weak

    Click(IDC_SCOPE_MAXIMAL_IR);
    Click(IDC_LED_CHECK);
    std::vector<std::uint8_t> bytes(7 + 64, 90);
    bytes[7 + 5] = 0;
    GuardedPacket packet(bytes);
    ::SendMessageW(dlg->m_hWnd, quorvane::WM_READ_DUMP, packet.address(), 0);
    EXPECT_EQ(dlg->m_nLedCheckPending, 0);
    EXPECT_EQ(Text(IDC_STATUS), "----------- LED Check ------------\r\n");
    dlg->DestroyWindow();
    ::DeleteFileA((folder + "Lumagrid.ini").c_str());

    // A folder where the file should be: nothing can be written or read, the
    // frame runs on the library's answer.
    ::CreateDirectoryA((folder + "Lumagrid.ini").c_str(), nullptr);
    SelectOnly(fake::Frame("FRAME-A", 3, 32, 32, 16, 16));
    EXPECT_EQ(dlg->m_arrXModuleSize, (std::vector<unsigned>{16, 16}));
    EXPECT_EQ(fake::Current().SetDumps().back(), "setDump 3 0x01");
    dlg->DestroyWindow();
    ::RemoveDirectoryA((folder + "Lumagrid.ini").c_str());
}

TEST_F(DialogTest, FramesOfNoCellsAndOfThousandsOfReceiversAreReadWithinTheirPackets) {
    struct Case {
        const char* name;
        int x, y;
    } cases[] = {{"EMPTY", 0, 0}, {"WIDE", 5000, 4100}, {"ONE", 1, 0}};
    for (const Case& c : cases) {
        SelectOnly(fake::Frame(c.name, 1, c.x, c.y, 0, 0));
        dlg->m_pfnGetSaveFileName = &SaveAsReportPath;
        g_reportPath = Widen((folder + c.name + ".xls").c_str());
        Click(IDC_SCOPE_MAXIMAL_IR);
        Click(IDC_CAPTURE1);
        Click(IDC_FILE_REPORT);  // arms the check; the sample is still empty
        std::vector<std::uint8_t> bytes(static_cast<size_t>(7 + c.x + c.y), 77);
        GuardedPacket packet(bytes);
        for (int i = 0; i < 2; ++i) ::SendMessageW(dlg->m_hWnd, quorvane::WM_READ_DUMP, packet.address(), 0);
        EXPECT_EQ(dlg->m_arrXSamples.size(), static_cast<size_t>(c.x)) << c.name;
        EXPECT_EQ(dlg->m_arrYSamples.size(), static_cast<size_t>(c.y)) << c.name;
        EXPECT_EQ(dlg->m_nLedCheckPending, 0) << c.name;
        EXPECT_EQ(dlg->m_chartX.GetPointCount(), c.x) << c.name;
        EXPECT_NE(::GetFileAttributesA((folder + c.name + ".xls").c_str()), INVALID_FILE_ATTRIBUTES) << c.name;
        ::DeleteFileA((folder + c.name + ".xls").c_str());
        dlg->DestroyWindow();
    }
}
