// Construction, control binding, initialisation and tear-down of the main dialog.
#include "app/LumagridDlg.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>

#include "app/AboutDlg.h"
#include "app/LumagridApp.h"
#include "app/resource.h"

namespace {
void SleepFor(DWORD dwMilliseconds) { ::Sleep(dwMilliseconds); }

int FileErrorBox(const wchar_t* pszText, UINT nType) { return AfxMessageBoxW(pszText, nType); }

double SteadyMilliseconds() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

void Trace(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    std::vprintf(pszFormat, args);
    va_end(args);
    std::fflush(stdout);
}

void TraceText(const std::string& strLines) {
    std::fwrite(strLines.data(), 1, strLines.size(), stdout);
    std::fflush(stdout);
}

CLumagridDlg::CLumagridDlg(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_pfnSleep(&SleepFor),
      m_pfnNowMs(&SteadyMilliseconds),
      m_pfnLocalTime(&::GetLocalTime),
      m_pfnGetSaveFileName(&::GetSaveFileNameW),
      m_pfnGetOpenFileName(&::GetOpenFileNameW),
      m_pfnCreateProcess(&::CreateProcessW),
      m_pfnMessageBox(&FileErrorBox),
      m_pfnWindowDpi(&CLumagridDlg::WindowDpi),
      m_pfnWriteFile(&::WriteFile),
      m_adCapture1(1024, 0.0),
      m_adCapture2(1024, 0.0) {
    m_hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_bLibraryLoaded = FALSE;
    m_bAdvanced = FALSE;
    // The application took it at start-up; a dialog without that application
    // (tests, benchmarks) takes the folder current at its construction.
    CLumagridApp* pApp = dynamic_cast<CLumagridApp*>(AfxGetApp());
    m_strDailyDir =
        pApp != nullptr && !pApp->m_strStartDir.empty() ? pApp->m_strStartDir : CLumagridApp::GetCurrentDir();
}

// A library that answered the shutdown stop with nonzero stays loaded until
// the process ends, as it asked.
CLumagridDlg::~CLumagridDlg() = default;

void CLumagridDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DEVICE_LIST, DeviceList);
    DDX_Control(pDX, IDC_RANGE, m_sliderRange);
    DDX_Control(pDX, IDC_STATUS, m_richStatus);
    DDX_Control(pDX, IDC_SCOPE_STOP, m_btnScopeStop);
    DDX_Control(pDX, IDC_SCOPE_AMBIENT_IR, m_btnScopeAmbientIr);
    DDX_Control(pDX, IDC_SCOPE_AMBIENT, m_btnScopeAmbient);
    DDX_Control(pDX, IDC_SCOPE_IR, m_btnScopeIr);
    DDX_Control(pDX, IDC_SCOPE_PERCENT, m_btnScopePercent);
    DDX_Control(pDX, IDC_SCOPE_MAXIMAL_IR, m_btnScopeMaximalIr);
    DDX_Control(pDX, IDC_SCOPE_LEFT_TILT_PERCENT, m_btnScopeLeftTiltPercent);
    DDX_Control(pDX, IDC_SCOPE_LEFT_TILT_MAXIMAL, m_btnScopeLeftTiltMaximal);
    DDX_Control(pDX, IDC_SCOPE_RIGHT_TILT_PERCENT, m_btnScopeRightTiltPercent);
    DDX_Control(pDX, IDC_SCOPE_RIGHT_TILT_MAXIMAL, m_btnScopeRightTiltMaximal);
    DDX_Control(pDX, IDC_LED_CHECK, m_btnLedCheck);
    DDX_Control(pDX, IDC_FILE_REPORT, m_btnFileReport);
    static const int kXModuleIds[11] = {IDC_X_TOTAL, 1020, 1021, 1022,          1023,          1024,
                                        1025,        1026, 1027, IDC_X_MODULE9, IDC_X_MODULE10};
    static const int kYModuleIds[11] = {IDC_Y_TOTAL, 1029, 1030, 1031,          1032,          1033,
                                        1034,        1035, 1036, IDC_Y_MODULE9, IDC_Y_MODULE10};
    for (int i = 0; i < 11; ++i) DDX_Control(pDX, kXModuleIds[i], m_btnXModule[i]);
    for (int i = 0; i < 11; ++i) DDX_Control(pDX, kYModuleIds[i], m_btnYModule[i]);
    DDX_Control(pDX, IDC_FOOTER, m_staticFooter);
    DDX_Control(pDX, IDC_X_GROUP, m_groupX);
    DDX_Control(pDX, IDC_Y_GROUP, m_groupY);
    DDX_Control(pDX, IDC_X_CHART, m_chartX);
    DDX_Control(pDX, IDC_Y_CHART, m_chartY);
    DDX_Control(pDX, IDC_X_AVERAGE, m_editXAverage);
    DDX_Control(pDX, IDC_Y_AVERAGE, m_editYAverage);
    DDX_Control(pDX, IDC_BAR, m_btnBar);
    DDX_Control(pDX, IDC_FILTER, m_btnFilter);
    DDX_Control(pDX, IDC_CAPTURE1, m_btnCapture1);
    DDX_Control(pDX, IDC_RANGE_LABEL, m_staticRange);
    DDX_Control(pDX, IDC_AUTO_FILE_SAVE, m_chkAutoFileSave);
    DDX_Control(pDX, IDC_DUMP_AXIS_LABEL, m_staticDumpAxis);
}

BEGIN_MESSAGE_MAP(CLumagridDlg, CDialog)
    ON_MESSAGE(quorvane::WM_USB_CONNECT, OnUsbConnect)
    ON_MESSAGE(quorvane::WM_SYSTEM_PARAMETER, OnSystemParameter)
    ON_MESSAGE(quorvane::WM_READ_DUMP, OnReadDump)
    ON_MESSAGE(quorvane::WM_READ_DEVICE_INFO, OnReadDeviceInfo)
    ON_MESSAGE(WM_LUMAGRID_GDI_COUNT, OnGdiCount)
    ON_MESSAGE(WM_LUMAGRID_FILE_ERROR, OnAutoSaveFileError)
    ON_MESSAGE(WM_LUMAGRID_RECORDING_FAILED, OnRecordingFailed)
    ON_MESSAGE(WM_LUMAGRID_SWEEP_ENDED, OnSweepEnded)
    ON_MESSAGE(WM_LUMAGRID_SWEEP_CLOSED, OnSweepClosed)
    ON_MESSAGE(WM_LUMAGRID_CHECK_STEP, OnCheckFrameStep)
    ON_MESSAGE(WM_INITMENUPOPUP, OnInitMenuPopup)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_HSCROLL()
    ON_WM_DESTROY()
    ON_WM_SIZE()
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_SCOPE_STOP, OnScopeStop)
    ON_BN_CLICKED(IDC_SCOPE_AMBIENT_IR, OnScopeAmbientIr)
    ON_BN_CLICKED(IDC_SCOPE_AMBIENT, OnScopeAmbient)
    ON_BN_CLICKED(IDC_SCOPE_IR, OnScopeIr)
    ON_BN_CLICKED(IDC_SCOPE_PERCENT, OnScopePercent)
    ON_BN_CLICKED(IDC_SCOPE_MAXIMAL_IR, OnScopeMaximalIr)
    ON_BN_CLICKED(IDC_SCOPE_LEFT_TILT_PERCENT, OnScopeLeftTiltPercent)
    ON_BN_CLICKED(IDC_SCOPE_LEFT_TILT_MAXIMAL, OnScopeLeftTiltMaximal)
    ON_BN_CLICKED(IDC_SCOPE_RIGHT_TILT_PERCENT, OnScopeRightTiltPercent)
    ON_BN_CLICKED(IDC_SCOPE_RIGHT_TILT_MAXIMAL, OnScopeRightTiltMaximal)
    ON_BN_CLICKED(IDC_X_TOTAL, OnXTotal)
    ON_COMMAND_RANGE(IDC_X_MODULE1, IDC_X_MODULE8, OnXModule)
    ON_COMMAND_RANGE(IDC_X_MODULE9, IDC_X_MODULE10, OnXModule)
    ON_BN_CLICKED(IDC_Y_TOTAL, OnYTotal)
    ON_COMMAND_RANGE(IDC_Y_MODULE1, IDC_Y_MODULE8, OnYModule)
    ON_COMMAND_RANGE(IDC_Y_MODULE9, IDC_Y_MODULE10, OnYModule)
    ON_NOTIFY(NM_CLICK, IDC_DEVICE_LIST, OnDeviceListClick)
    ON_BN_CLICKED(IDC_BAR, OnBar)
    ON_BN_CLICKED(IDC_FILTER, OnFilter)
    ON_BN_CLICKED(IDC_CAPTURE1, OnCapture1)
    ON_BN_CLICKED(IDC_CAPTURE2, OnCapture2)
    ON_COMMAND_RANGE(IDC_AXIS_OT, IDC_AXIS_TR2, OnDumpAxis)
    ON_BN_CLICKED(IDC_LED_CHECK, OnLedCheck)
    ON_BN_CLICKED(IDC_FILE_REPORT, OnFileReport)
    ON_BN_CLICKED(IDC_AUTO_FILE_SAVE, OnAutoFileSave)
END_MESSAGE_MAP()

// Compared as a character, not as a byte: in a double-byte code page the
// last character's trail byte may be the letter itself.
bool IsAdvancedAppName(const char* pszAppName, UINT nCodePage) {
    std::wstring name = Widen(pszAppName, nCodePage);
    return !name.empty() && name.back() == static_cast<wchar_t>(LUMAGRID_ADVANCED_LETTER);
}

BOOL CLumagridDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    m_bAdvanced = IsAdvancedAppName(AfxGetAppName(), CP_ACP) ? TRUE : FALSE;
    if (m_bAdvanced) {
        m_chkAutoFileSave.ShowWindow(SW_SHOWNORMAL);
    } else {
        m_chkAutoFileSave.ShowWindow(SW_HIDE);
        m_staticDumpAxis.ShowWindow(SW_HIDE);
        for (int nID = IDC_AXIS_OT; nID <= IDC_AXIS_TR2; ++nID) GetDlgItem(nID)->ShowWindow(SW_HIDE);
    }
    m_btnScopeLeftTiltMaximal.ShowWindow(SW_HIDE);
    m_btnScopeLeftTiltPercent.ShowWindow(SW_HIDE);
    m_btnScopeRightTiltMaximal.ShowWindow(SW_HIDE);
    m_btnScopeRightTiltPercent.ShowWindow(SW_HIDE);

    LayoutControls();

    m_sliderRange.SetRange(0, 100, FALSE);
    m_sliderRange.SetPos(100);
    m_nRangeMax = 100;
    UpdateRangeLabel();

    m_richStatus.SetReadOnly(TRUE);
    m_richStatus.LimitText(CStatusBox::kTextLimit);

    CMenu sysMenu = GetSystemMenu(FALSE);
    if (sysMenu.m_hMenu != nullptr) {
        wchar_t szAbout[128] = {0};
        ::LoadStringW(AfxGetResourceHandle(), IDS_ABOUTBOX, szAbout, 128);
        if (szAbout[0] != L'\0') {
            sysMenu.AppendMenu(MF_SEPARATOR);
            sysMenu.AppendMenu(MF_STRING, IDM_ABOUTBOX, szAbout);
        }
        wchar_t szRecord[128] = {0};
        ::LoadStringW(AfxGetResourceHandle(), IDS_RECORD_DUMP_STREAM, szRecord, 128);
        if (szRecord[0] != L'\0') sysMenu.AppendMenu(MF_STRING | MF_GRAYED, IDM_RECORD_DUMP_STREAM, szRecord);
        wchar_t szSweep[128] = {0};
        ::LoadStringW(AfxGetResourceHandle(), IDS_SWEEP_TEST, szSweep, 128);
        if (szSweep[0] != L'\0') sysMenu.AppendMenu(MF_STRING | MF_GRAYED, IDM_SWEEP_TEST, szSweep);
        wchar_t szCheck[128] = {0};
        ::LoadStringW(AfxGetResourceHandle(), IDS_CHECK_FRAME, szCheck, 128);
        if (szCheck[0] != L'\0') sysMenu.AppendMenu(MF_STRING | MF_GRAYED, IDM_CHECK_FRAME, szCheck);
        wchar_t szOpen[128] = {0};
        ::LoadStringW(AfxGetResourceHandle(), IDS_OPEN_RECORDING, szOpen, 128);
        if (szOpen[0] != L'\0') sysMenu.AppendMenu(MF_STRING, IDM_OPEN_RECORDING, szOpen);
    }
    if (IsReplay()) {
        // Which file this window shows, beside the live scope's window.
        wchar_t szCaption[256] = {0};
        ::GetWindowTextW(m_hWnd, szCaption, 256);
        ::SetWindowTextW(m_hWnd, (L"Replay: " + m_strReplayFile + L" - " + szCaption).c_str());
        // A replay writes no daily tables (see StartAutoSavePass).
        m_chkAutoFileSave.EnableWindow(FALSE);
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_imgDevice.Create(54, 25, ILC_COLOR8 | ILC_MASK, 8, 1);
    m_imgDevice.Add(::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_DEVICE)));
    DeviceList.SetBkColor(RGB(0, 0, 0));
    DeviceList.SetTextBkColor(RGB(0, 0, 0));
    DeviceList.SetTextColor(RGB(255, 255, 255));
    DeviceList.SetImageList(&m_imgDevice, LVSIL_NORMAL);
    DeviceList.InsertColumn(0, "U", LVCFMT_LEFT, 2);
    DeviceList.InsertColumn(1, "X", LVCFMT_LEFT, 2);
    DeviceList.InsertColumn(2, "Y", LVCFMT_LEFT, 2);

    if (!m_bLibraryLoaded) {
        m_bLibraryLoaded = LoadQuorvaneLib();
        if (!m_bLibraryLoaded && IsReplay()) {
            std::fflush(stdout);
            ::ExitProcess(kExitReplayRefused);
        }
        if (!m_bLibraryLoaded) {
            AfxMessageBox("Load Dll fail", MB_OK | MB_ICONEXCLAMATION);
            std::fflush(stdout);
            ::ExitProcess(0);
        }
        Trace(">>>>>Load Dll success\n");
    }

    SetTimer(kTimerAverages, 100);
    SetTimer(kTimerDaily, 1000);

    ShowModuleButtons(0, 0);
    return TRUE;
}

void CLumagridDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    (void)lParam;
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else if ((nID & 0xFFF0) == IDM_RECORD_DUMP_STREAM) {
        OnRecordDumpStream();
    } else if ((nID & 0xFFF0) == IDM_SWEEP_TEST) {
        OnSweepTest();
    } else if ((nID & 0xFFF0) == IDM_CHECK_FRAME) {
        OnCheckFrame();
    } else if ((nID & 0xFFF0) == IDM_OPEN_RECORDING) {
        OnOpenRecording();
    } else {
        Default();
    }
}

void CLumagridDlg::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        int cxIcon = ::GetSystemMetrics(SM_CXICON);
        int cyIcon = ::GetSystemMetrics(SM_CYICON);
        CRect rect;
        GetClientRect(&rect);
        int x = (rect.Width() - cxIcon + 1) / 2;
        int y = (rect.Height() - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        Default();
    }
}

HCURSOR CLumagridDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CLumagridDlg::OnDestroy() {
    Default();
    EndRecording(true);  // the file complete before the library goes
    m_bSweepRunning = false;
    m_pSweepWindow.reset();
    m_bCheckRunning = false;
    // The stop goes to device 0 whatever frame is selected; a library that
    // could not be bound is never called.
    int nResult = -1;
    if (m_lib.setDump != nullptr) nResult = m_lib.setDump(0, 0);
    m_byDumpRequest = 0;
    if (nResult == 0) FreeQuorvaneLib();
    KillTimer(kTimerAverages);
    KillTimer(kTimerDaily);
    KillTimer(kTimerAutoSave);
    KillTimer(kTimerCheckFrame);
    m_arrXModuleSize.clear();
    m_arrXModuleSize.shrink_to_fit();
    m_arrYModuleSize.clear();
    m_arrYModuleSize.shrink_to_fit();
    m_arrXSamples.clear();
    m_arrXSamples.shrink_to_fit();
    m_arrYSamples.clear();
    m_arrYSamples.shrink_to_fit();
    // For leak hunts (the soak run); a technician's trace stays as it was.
    if (::GetEnvironmentVariableW(L"LUMAGRID_TRACE_GDI", nullptr, 0) > 0)
        Trace("GDI objects %ld, DCs %ld at exit\n", AfxGetGdiLiveCount().objects, AfxGetGdiLiveCount().dcs);
}

// Called when a test driver asks what the GDI wrappers hold (no trace: it polls).
LRESULT CLumagridDlg::OnGdiCount(WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    const GdiLiveCount count = AfxGetGdiLiveCount();
    return wParam == 0 ? count.objects : count.dcs;
}
