// "File Report": one sample of both axes saved as a worksheet through the
// Save As dialog. The report also arms an LED check of the same sample.
#include "app/LumagridDlg.h"
#include "framework/FileDialog.h"
#include "reports/LedCheck.h"
#include "reports/XlsReport.h"

#include <algorithm>

namespace {
constexpr DWORD kReportWaitMs = 200;
constexpr wchar_t kReportTitle[] = L"Export Report File As";
constexpr wchar_t kReportFilter[] = L"Microsoft Excel 통합 문서(.xls) |*.xls|All Files (*.*)|*.*||";

// The dialog wants its pairs separated by NULs, the list ended by two.
std::wstring DialogFilter(const wchar_t* pszFilter) {
    std::wstring filter(pszFilter);
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    return filter;
}
}  // namespace

// Called when "File Report" is pressed. The dialog is modal but the window
// keeps handling packets, so the sample may complete (and the LED check run)
// while it is open; the report holds the buffers as they are when it closes.
void CLumagridDlg::OnFileReport() {
    if (DeviceList.GetSelectionMark() < 0) return;
    m_pfnSleep(kReportWaitMs);
    ArmLedCheck();
    m_pfnSleep(kReportWaitMs);
    if (m_nLedCheckPending == 0) return;

    SYSTEMTIME now{};
    m_pfnLocalTime(&now);
    std::string strName =
        m_strReportName.str() + reports::ReportDefaultName(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute);
    CSaveAsDialog dialog;
    dialog.pszTitle = kReportTitle;
    dialog.filter = DialogFilter(kReportFilter);
    std::wstring chosen;
    m_bReportDialogOpen = true;
    const bool bChosen = dialog.Run(m_pfnGetSaveFileName, m_hWnd, Widen(strName.c_str()), chosen);
    m_bReportDialogOpen = false;
    if (bChosen) SaveReport(chosen.c_str());
}

void CLumagridDlg::SaveReport(const wchar_t* pszChosenName) {
    std::string pathUtf8 = reports::WithReportExtension(Narrow(pszChosenName, CP_UTF8));
    reports::MemorySink sink;
    std::size_t nRows = reports::WriteReport(sink, m_xlsWriter, m_arrXSamples, m_arrYSamples);
    DWORD nError = WriteWholeFile(Widen(pathUtf8.c_str(), CP_UTF8), sink.bytes);
    if (nError != ERROR_SUCCESS) {
        ShowFileError(nError, pathUtf8);
        return;
    }
    AppendStatusLines("", RGB(255, 0, 0), nRows);
}
