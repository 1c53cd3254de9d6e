#include "DialogFixture.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {
// The application object supplies the settings folder, as in the program.
CLumagridApp g_app;

std::string MakeTempFolder() {
    wchar_t base[MAX_PATH];
    ::GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    wchar_t path[MAX_PATH];
    // Always a new folder: Wine reuses process ids, and a folder left behind
    // by a run that crashed would hand its files to the next test.
    do {
        std::swprintf(path, MAX_PATH, L"%lslumagrid-test-%lu-%d\\", base, ::GetCurrentProcessId(), ++counter);
    } while (!::CreateDirectoryW(path, nullptr) && ::GetLastError() == ERROR_ALREADY_EXISTS);
    return Narrow(path);
}

struct Environment : ::testing::Environment {
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&icc);
        AfxInitRichEdit();
    }
};
const auto* g_environment = ::testing::AddGlobalTestEnvironment(new Environment);
}  // namespace

void DialogTest::SetUp() {
    fake::Reset();
    folder = MakeTempFolder();
    g_app.m_strExeDir = Widen(folder.c_str());
}

void DialogTest::TearDown() {
    if (dlg && dlg->m_hWnd) dlg->DestroyWindow();
    PumpMessages();
    dlg.reset();
    ::DeleteFileA((folder + "Lumagrid.ini").c_str());
    ::RemoveDirectoryA(folder.c_str());
    AfxSetAppName(nullptr);
}

void DialogTest::Open(const char* pszAppName, const std::wstring& replayFile) {
    AfxSetAppName(pszAppName);
    dlg.reset(new CLumagridDlg(nullptr));
    dlg->m_strReplayFile = replayFile;
    dlg->m_lib = fake::Binding();
    dlg->m_bLibraryLoaded = TRUE;
    dlg->m_pfnSleep = &fake::RecordSleep;
    ASSERT_TRUE(dlg->Create(IDD_LUMAGRID_DIALOG, nullptr));
    PumpMessages();
}

void DialogTest::PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void DialogTest::Connect(int nDevices) {
    ::SendMessageW(dlg->m_hWnd, quorvane::WM_USB_CONNECT, static_cast<WPARAM>(nDevices), 0);
}

// What a real click on row nRow does: the list moves its selection mark, then
// notifies the dialog.
void DialogTest::ClickRow(int nRow) {
    HWND hList = ::GetDlgItem(dlg->m_hWnd, IDC_DEVICE_LIST);
    if (nRow >= 0) ::SendMessageW(hList, LVM_SETSELECTIONMARK, 0, nRow);
    NMITEMACTIVATE item{};
    item.hdr.hwndFrom = hList;
    item.hdr.idFrom = IDC_DEVICE_LIST;
    item.hdr.code = NM_CLICK;
    item.iItem = nRow;
    ::SendMessageW(dlg->m_hWnd, WM_NOTIFY, IDC_DEVICE_LIST, reinterpret_cast<LPARAM>(&item));
}

void DialogTest::Click(int nID) { ::SendMessageW(::GetDlgItem(dlg->m_hWnd, nID), BM_CLICK, 0, 0); }

LRESULT DialogTest::SendDump(const std::vector<std::uint8_t>& packet) {
    return ::SendMessageW(dlg->m_hWnd, quorvane::WM_READ_DUMP, reinterpret_cast<WPARAM>(packet.data()), 0);
}

void DialogTest::SelectOnly(const fake::Device& frame) {
    fake::Current().devices = {frame};
    Open();
    Connect(1);
    ClickRow(0);
}

bool DialogTest::IsChecked(int nID) const {
    return ::SendMessageW(::GetDlgItem(dlg->m_hWnd, nID), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool DialogTest::IsVisible(int nID) const {
    return (::GetWindowLongW(::GetDlgItem(dlg->m_hWnd, nID), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool DialogTest::IsEnabled(int nID) const { return ::IsWindowEnabled(::GetDlgItem(dlg->m_hWnd, nID)) != FALSE; }

std::string DialogTest::Text(int nID) const {
    wchar_t text[512] = {0};
    ::GetWindowTextW(::GetDlgItem(dlg->m_hWnd, nID), text, 512);
    return Narrow(text);
}

std::string DialogTest::IniText() const {
    std::ifstream in(folder + "Lumagrid.ini", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void AddThreeDevices() {
    fake::Library& lib = fake::Current();
    fake::Device hidden = fake::Frame("BOOTLOADER", 8, 1, 1, 0, 0);
    hidden.type = 2;
    lib.devices = {fake::Frame("FRAME-A/1234", 7, 100, 64, 16, 16), hidden, fake::Frame("FRAME-B", 9, 160, 90, 16, 16)};
}
