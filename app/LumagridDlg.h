// CLumagridDlg: the main and only window, owner of every control and of all
// acquisition, settings and report state. Its member functions are defined in
// the folder of the subsystem they belong to (link/, scope/, reports/, app/).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "chart/RealTimeChart.h"
#include "check/FrameMeasurement.h"
#include "framework/Afx.h"

#include <commdlg.h>

#include "link/DeviceRecords.h"
#include "link/QuorvaneBinding.h"
#include "link/QuorvaneTypes.h"
#include "recording/Recording.h"
#include "reports/AutoSavePass.h"
#include "reports/DailyTrigger.h"
#include "reports/StatusBox.h"
#include "reports/XlsReport.h"
#include "scope/AxisModules.h"
#include "scope/DumpRecorder.h"
#include "scope/RepaintPacer.h"
#include "scope/SweepWindow.h"

using scope::AxisWindow;

// One touch parameter record. Owned by the dialog but never filled or read.
struct CTouchParameter {
    CString strName;
    CString strValue;
    CString strComment;
    std::vector<std::uint8_t> data;
};

// Asks the dialog for the GDI objects (wParam 0) or device contexts (wParam 1)
// the framework's wrappers hold, answered as the result: a soak test watches
// them from outside, where Wine's GetGuiResources reports nothing.
constexpr UINT WM_LUMAGRID_GDI_COUNT = WM_APP + 0x100;
// Shows the file errors of the daily save once the packet handler that met
// them has returned.
constexpr UINT WM_LUMAGRID_FILE_ERROR = WM_APP + 0x101;
// A recording's writer met a write error: the recording ends on this thread.
constexpr UINT WM_LUMAGRID_RECORDING_FAILED = WM_APP + 0x102;
// The sweep reached its end inside the packet handler: its verdict is shown
// and the mode before it requested once that handler has returned.
constexpr UINT WM_LUMAGRID_SWEEP_ENDED = WM_APP + 0x103;
// The sweep's window was closed (Esc, Close, the caption's button).
constexpr UINT WM_LUMAGRID_SWEEP_CLOSED = WM_APP + 0x104;
// A beam set of "Check Frame" has ended inside the packet handler: the next
// set is requested, or the verdict shown, once that handler has returned.
constexpr UINT WM_LUMAGRID_CHECK_STEP = WM_APP + 0x105;

// The dialog runs the daily automatic-save pass: it is the pass's window.
class CLumagridDlg : public CDialog, public reports::AutoSavePass {
public:
    explicit CLumagridDlg(CWnd* pParent = nullptr);
    ~CLumagridDlg() override;

    enum { IDD = 102 };

    // Window timers: the average read-outs, the daily trigger, the steps of an
    // automatic-save pass, the settle wait and time limit of "Check Frame".
    enum : UINT_PTR { kTimerAverages = 0, kTimerDaily = 1, kTimerAutoSave = 2, kTimerCheckFrame = 3 };

    // Blocking waits of the handlers (device click, Maximal modes). Replaceable
    // so that tests can record them instead of waiting.
    typedef void (*SleepFn)(DWORD dwMilliseconds);
    SleepFn m_pfnSleep;
    // Milliseconds of a steady clock, for pacing the chart repaints; replaceable
    // so that tests can step it.
    typedef double (*ClockFn)();
    ClockFn m_pfnNowMs;
    // The local date and time (report stamp, daily trigger, daily file date).
    typedef void(WINAPI* LocalTimeFn)(SYSTEMTIME* pTime);
    LocalTimeFn m_pfnLocalTime;
    // The Save As dialog of the report, the message box of file errors and the
    // write of a file's bytes: replaceable so that tests can answer the dialog,
    // read the box and make a disk fill up.
    typedef BOOL(WINAPI* SaveFileNameFn)(OPENFILENAMEW* pOfn);
    SaveFileNameFn m_pfnGetSaveFileName;
    // "Open Recording...": the Open dialog and the start of the replay's own
    // process, replaceable so that tests can answer the one and see the other.
    SaveFileNameFn m_pfnGetOpenFileName;
    typedef BOOL(WINAPI* CreateProcessFn)(LPCWSTR pszApplication, LPWSTR pszCommandLine,
                                          LPSECURITY_ATTRIBUTES pProcessAttributes,
                                          LPSECURITY_ATTRIBUTES pThreadAttributes, BOOL bInheritHandles,
                                          DWORD dwCreationFlags, LPVOID pEnvironment, LPCWSTR pszCurrentDirectory,
                                          LPSTARTUPINFOW pStartupInfo, LPPROCESS_INFORMATION pProcessInformation);
    CreateProcessFn m_pfnCreateProcess;
    typedef int (*MessageBoxFn)(const wchar_t* pszText, UINT nType);
    MessageBoxFn m_pfnMessageBox;
    // The DPI the layout scales its 96-DPI pixel constants to; replaceable so
    // that tests can lay out at another scale.
    typedef UINT (*WindowDpiFn)(HWND hWnd);
    WindowDpiFn m_pfnWindowDpi;
    static UINT WindowDpi(HWND hWnd);
    typedef BOOL(WINAPI* WriteFileFn)(HANDLE hFile, LPCVOID pData, DWORD nBytes, LPDWORD pnWritten,
                                      LPOVERLAPPED pOverlapped);
    WriteFileFn m_pfnWriteFile;

    // ---- Application shell
    BOOL LoadQuorvaneLib();
    void FreeQuorvaneLib();
    void LayoutControls();

    // The recording this window replays (absolute; the application checked it
    // and named it in QUORVANE_SIM); empty: the live scope. A replay loads the
    // substitute library from simulator\, shows the file in its title, and
    // writes nothing on its own: no daily tables, no section in Lumagrid.ini.
    std::wstring m_strReplayFile;
    bool IsReplay() const { return !m_strReplayFile.empty(); }
    void OnOpenRecording();

    BOOL m_bLibraryLoaded = FALSE;
    HMODULE m_hLib = nullptr;
    QuorvaneBinding m_lib;
    HICON m_hIcon = nullptr;
    CImageList m_imgDevice;
    BOOL m_bAdvanced = FALSE;

    // ---- Touch-frame link: device list
    void RefreshDeviceList(int nCount);
    void SelectDevice();
    quorvane::DeviceInfoST m_DeviceInfoST{};
    // What the library said of each listed frame at the latest refill, by row.
    std::vector<quorvane::DeviceRecord> m_arrDeviceRecords;
    // The getSysInfo answer of the frame clicked last, as received.
    int m_nSysInfoUsbIndex = -1;
    int m_nSysInfoResult = 0;
    quorvane::FrameSettings m_SysInfoAnswer{};
    // The listed row of a frame, or -1.
    int RowOfUsbIndex(int nUsbIndexNo);

    // ---- Scope modes and dump requests
    void ReissueScopeMode();
    void SelectDumpAxis(UINT nID);
    void ClearCharts();
    // Drops the packets the library sent before the latest request and that
    // still wait for this thread: they may come from another frame than the
    // receiver counts now in force, and would be read past their end.
    void DiscardWaitingPackets();
    BOOL m_bDiscardPackets = FALSE;
    int m_nScopeMode = 0;
    int m_nDumpAxisMask = 0;
    BYTE m_byDumpRequest = 0;
    // Sends a request; every request goes through here, so that a recording
    // of its frame holds it.
    void SendDumpRequest(int nUsbIndexNo, BYTE byRequest);
    BYTE m_byDumpSent = 0;  // the byte sent with the latest request
    // The frame the latest request went to, and the frame whose receiver
    // counts are in force: a packet is read only while they are the same.
    // A pass of the daily save and the user's clicks both change them.
    int m_nDumpUsbIndex = -1;
    int m_nFrameUsbIndex = -1;

    // ---- Axis modules and sample windows
    void SetupModules();
    void ShowModuleButtons(int nXModules, int nYModules);
    void UpdateXWindow();
    void UpdateYWindow();
    AxisWindow m_xWindow;
    AxisWindow m_yWindow;
    int m_nXModuleSel = 0;
    int m_nYModuleSel = 0;
    std::vector<unsigned> m_arrXModuleSize;
    std::vector<unsigned> m_arrYModuleSize;

    // ---- Dump processing and chart feed
    void PrepareXChart(int nStart, int nCount);
    void PrepareYChart(int nStart, int nCount);
    void RefreshCharts();  // the series over the cached layers, X then Y
    void UpdateRangeLabel();
    int m_nRangeMax = 100;
    double m_dFilterNum = 1.0;
    double m_dFilterDen = 1.0;
    int m_nCapture1State = 1;
    BYTE m_bCapture1Pending = 0;
    std::vector<double> m_adCapture1;  // by receiver: X i at i, Y j at XT + j
    int m_nCapture2State = 1;
    BYTE m_bCapture2Pending = 0;
    std::vector<double> m_adCapture2;
    int m_nChartStyle = 0;
    CString m_strXAverage;
    CString m_strYAverage;
    std::vector<std::uint32_t> m_arrXSamples;  // ReportSamples: b * 40 of the X window
    std::vector<std::uint32_t> m_arrYSamples;
    int m_nLedCheckPending = 0;
    scope::RepaintPacer m_repaintPacer;

    // ---- Settings file
    CString GetDeviceSectionName(int nRow);
    void LoadFrameSettings(const CString& strSection);
    void SaveFrameSettings(const CString& strSection, const quorvane::FrameSettings& settings);
    std::wstring SettingsPath() const;
    quorvane::FrameSettings m_FrameSettings{};
    int m_nMinAdcOPer = 33;
    int m_nMinAdcTPer = 20;
    std::vector<CTouchParameter> m_arrTouchParameters;

    // ---- LED check, status box, report export
    void AppendStatusLine(const char* pszText, COLORREF crColour);
    // The same line nCount times, in one insertion (a report's rows).
    void AppendStatusLines(const char* pszText, COLORREF crColour, std::size_t nCount);
    void AppendStatusBlock(const std::string& strBlock, int nLines, COLORREF crColour);
    void DoLedCheck();
    void SaveReport(const wchar_t* pszChosenName);  // the buffers as they are, to the chosen file
    CXlsWriter m_xlsWriter;
    CString m_strReportName;  // prefix of the offered report name; always empty
    // A file that could not be written: the platform's text for the cause,
    // naming the file (UTF-8), in a message box.
    void ShowFileError(DWORD nError, const std::string& fileNameUtf8);
    // Writes the whole file or leaves the one there as it was; 0 or the
    // Windows error of the step that failed.
    DWORD WriteWholeFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes);

    // ---- Recording of the marked frame's dump stream
    void OnRecordDumpStream();
    void StartRecording(int nRow, const std::wstring& chosenPath);
    // bBoxNow: show a write error's box at once rather than once the current
    // handler (maybe inside the library's send) has returned.
    void EndRecording(bool bBoxNow = false);
    void RecordPacket(const std::uint8_t* pPacket);
    void UpdateRecordMenuItem();
    LRESULT OnRecordingFailed(WPARAM wParam, LPARAM lParam);
    LRESULT OnInitMenuPopup(WPARAM wParam, LPARAM lParam);
    std::unique_ptr<scope::DumpRecorder> m_pRecorder;
    int m_nRecordUsbIndex = -1;
    std::string m_strRecordPathUtf8;
    std::uint64_t m_nRecordSkipped = 0;  // packets read with other receiver counts than the recording's
    // Replaceable so that tests can have blocks written at once.
    recording::EncoderOptions m_recordingOptions;

    // ---- Sweep test of the marked frame ("Sweep Test..." in the system menu)
    void OnSweepTest();
    void SweepPacket(const std::uint8_t* pPacket);
    void SweepTick();  // the time limit also passes while no packet comes
    // Ends a running sweep without a verdict, with a status line saying why;
    // the scope's mode before it becomes the mode in force again (the caller
    // requests what comes next).
    void CancelSweep(const char* pszReason);
    void UpdateSweepMenuItem();
    LRESULT OnSweepEnded(WPARAM wParam, LPARAM lParam);
    LRESULT OnSweepClosed(WPARAM wParam, LPARAM lParam);
    std::unique_ptr<check::Sweep> m_pSweep;  // kept for the window's picture after the end
    std::unique_ptr<scope::SweepWindow> m_pSweepWindow;
    bool m_bSweepRunning = false;  // from the request to the verdict or the cancel
    bool m_bSweepEndPosted = false;
    int m_nSweepUsbIndex = -1;
    int m_nSweepModeBefore = 0;
    std::size_t m_nSweepBaselinePackets = 0;
    // The sweep's time limit from the prompt; replaceable so that tests run
    // short sweeps.
    double m_dSweepTimeLimitSeconds = 30.0;

    // ---- Frame check of the marked frame ("Check Frame..." in the system menu)
    void OnCheckFrame();
    void CheckFramePacket(const std::uint8_t* pPacket);
    void CheckFrameTick();  // the settle wait and the time limit pass without packets too
    void RequestCheckSet();
    void EndCheckFrame();
    // Ends a running check without a verdict, with a status line saying why;
    // the Dump Axis and the mode before it are in force again (the caller
    // requests what comes next).
    void CancelCheckFrame(const char* pszReason);
    void UpdateCheckFrameMenuItem();
    LRESULT OnCheckFrameStep(WPARAM wParam, LPARAM lParam);
    std::unique_ptr<check::FrameMeasurement> m_pFrameCheck;
    bool m_bCheckRunning = false;  // from the first request to the verdict or the cancel
    bool m_bCheckStepPosted = false;
    int m_nCheckUsbIndex = -1;
    int m_nCheckModeBefore = 0;
    int m_nCheckAxisBefore = 0;
    std::string m_strCheckName;     // UTF-8
    std::string m_strCheckReduced;  // why the geometry is not the frame's own answer

    // ---- Daily automatic save (the pass's state and steps: reports::AutoSavePass)
    void PrepareAutoSave(int nRow) override;
    void WriteAutoSaveFile();
    void StartAutoSavePass();
    void DailyTriggerTick();
    void UseCountsOfRow(int nRow);
    void EndAutoSavePass() override;
    bool AutoSaveHeld() override;
    int AutoSaveRowCount() override;
    int AutoSaveUsbIndexOfRow(int nRow) override;
    std::uint8_t SendAutoSaveRequest(int nUsbIndexNo) override;
    void ReadFrameOfRow(int nRow, int nUsbIndexNo, std::uint8_t byRequest) override;
    void AutoSaveSampleMissed() override;
    // The daily timer's tick before this one, whatever the box and the list
    // were then: a tick after a skipped 23:00:00 starts the day's pass.
    reports::ClockTick m_lastDailyTick;
    bool m_bDailyTickSeen = false;
    // While the report's Save As dialog is open a pass takes no step.
    bool m_bReportDialogOpen = false;
    std::vector<std::pair<DWORD, std::string>> m_arrAutoSaveErrors;
    LRESULT OnAutoSaveFileError(WPARAM wParam, LPARAM lParam);
    // The daily tables' folder: the start folder, taken once (a Save As
    // dialog may change the current one), with a trailing separator.
    std::wstring m_strDailyDir;
    // The prepared frame's section name: a reconnect before its sample is
    // complete may give its row to another frame.
    CString m_strAutoSaveSection;

    // ---- Controls, in binding order
    CListCtrl DeviceList;
    CSliderCtrl m_sliderRange;
    CStatusBox m_richStatus;
    CButton m_btnScopeStop;
    CButton m_btnScopeAmbientIr;
    CButton m_btnScopeAmbient;
    CButton m_btnScopeIr;
    CButton m_btnScopePercent;
    CButton m_btnScopeMaximalIr;
    CButton m_btnScopeLeftTiltPercent;
    CButton m_btnScopeLeftTiltMaximal;
    CButton m_btnScopeRightTiltPercent;
    CButton m_btnScopeRightTiltMaximal;
    CButton m_btnLedCheck;
    CButton m_btnFileReport;
    CButton m_btnXModule[11];  // Total, 1 to 10
    CButton m_btnYModule[11];
    CStatic m_staticFooter;
    CStatic m_groupX;
    CStatic m_groupY;
    CRealTimeChart m_chartX;  // control 1001
    CRealTimeChart m_chartY;  // control 1000
    CEdit m_editXAverage;
    CEdit m_editYAverage;
    CButton m_btnBar;
    CButton m_btnFilter;
    CButton m_btnCapture1;
    CStatic m_staticRange;
    CButton m_chkAutoFileSave;
    CStatic m_staticDumpAxis;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDestroy();
    void OnSize(UINT nType, int cx, int cy);
    void OnTimer(UINT_PTR nIDEvent);
    void OnHScroll(UINT nSBCode, UINT nPos, HWND hScrollBar);

    LRESULT OnUsbConnect(WPARAM wParam, LPARAM lParam);
    LRESULT OnSystemParameter(WPARAM wParam, LPARAM lParam);
    LRESULT OnReadDump(WPARAM wParam, LPARAM lParam);
    LRESULT OnReadDeviceInfo(WPARAM wParam, LPARAM lParam);
    LRESULT OnGdiCount(WPARAM wParam, LPARAM lParam);
    void OnDeviceListClick(NMHDR* pNMHDR, LRESULT* pResult);

    void OnScopeStop();
    void OnScopeAmbientIr();
    void OnScopeAmbient();
    void OnScopeIr();
    void OnScopePercent();
    void OnScopeMaximalIr();
    void OnScopeLeftTiltPercent();
    void OnScopeLeftTiltMaximal();
    void OnScopeRightTiltPercent();
    void OnScopeRightTiltMaximal();
    void OnDumpAxis(UINT nID);

    void OnXTotal();
    void OnYTotal();
    void OnXModule(UINT nID);
    void OnYModule(UINT nID);

    void OnFilter();
    void OnCapture1();
    void OnCapture2();
    void OnBar();

    void OnLedCheck();
    void OnFileReport();
    void OnAutoFileSave();

    DECLARE_MESSAGE_MAP()

private:
    // Runs one mode request: button look, selection test, wait, request.
    void RunScopeMode(int nMode);
    void PressModeButton(int nMode);
    CButton* ModeButton(int nMode);
    // "LED Check" and "File Report" arm the check in the Maximal modes only,
    // and empty the sample buffers in every mode.
    void ArmLedCheck();
};

// The advanced controls appear when the application name (the executable's,
// in the given code page) ends in the advanced-mode letter, case-sensitive.
bool IsAdvancedAppName(const char* pszAppName, UINT nCodePage);

// Trace lines go to standard output, one flushed line at a time.
void Trace(const char* pszFormat, ...) AFX_PRINTF_FORMAT(1, 2);
// Lines already formatted, in one write: under Wine a write to the standard
// output costs up to half a millisecond, and a packet of a 4096-receiver
// frame traces as many sample lines.
void TraceText(const std::string& strLines);
