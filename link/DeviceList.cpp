// The device list: filled from the library on every change of connected
// frames; a click makes a frame the active one.
#include <cstdlib>
#include <cstring>

#include "app/LumagridDlg.h"
#include "app/resource.h"
#include "link/DeviceRecords.h"

namespace {
// Enabled only while the list has rows.
constexpr int kDeviceDependentControls[] = {IDC_SCOPE_STOP,
                                            IDC_SCOPE_AMBIENT_IR,
                                            IDC_SCOPE_AMBIENT,
                                            IDC_SCOPE_IR,
                                            IDC_SCOPE_PERCENT,
                                            IDC_SCOPE_MAXIMAL_IR,
                                            IDC_LED_CHECK,
                                            IDC_FILE_REPORT,
                                            IDC_SCOPE_LEFT_TILT_PERCENT,
                                            IDC_SCOPE_LEFT_TILT_MAXIMAL,
                                            IDC_SCOPE_RIGHT_TILT_PERCENT,
                                            IDC_SCOPE_RIGHT_TILT_MAXIMAL};
}  // namespace

LRESULT CLumagridDlg::OnUsbConnect(WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    if (!m_bLibraryLoaded) return 0;
    // Delivered while a request drops the packets still waiting: handled after
    // that request's handler, as messages are, not amid it.
    if (m_bDiscardPackets) {
        PostMessage(quorvane::WM_USB_CONNECT, wParam, lParam);
        return 0;
    }
    Trace(">>>>>>>> connect = %d\n", static_cast<int>(wParam));
    RefreshDeviceList(static_cast<int>(wParam));
    return 0;
}

LRESULT CLumagridDlg::OnSystemParameter(WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    (void)lParam;
    if (m_bLibraryLoaded) Trace(">>>>> m_SystemParameter");
    return 0;
}

LRESULT CLumagridDlg::OnReadDeviceInfo(WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    (void)lParam;
    if (m_bLibraryLoaded) Trace("-------------OnReadDeviceInfo\n");
    return 0;
}

void CLumagridDlg::RefreshDeviceList(int nCount) {
    if (!m_bLibraryLoaded) return;
    DeviceList.DeleteAllItems();
    m_arrDeviceRecords.clear();

    // A frame that left after the message was sent leaves its position
    // unanswered: its row would carry the previous frame's name and another
    // frame's index. The library's next connect message lists the frames as they are.
    for (const quorvane::DeviceRecord& device : quorvane::ReadDeviceRecords(m_lib, nCount, m_DeviceInfoST)) {
        CString strX;
        CString strY;
        strX.Format("%d", device.nXCells);
        strY.Format("%d", device.nYCells);
        Trace(">>>>>>>>>>Name=%s  Ver=%s  devicetype=%d, usbindexNo=%d\n", device.name.c_str(), device.version.c_str(),
              device.nDeviceType, device.nUsbIndexNo);
        if (!device.bListed) continue;

        int nRow = DeviceList.InsertItem(DeviceList.GetItemCount(), device.name.c_str(), 0);
        DeviceList.SetItemText(nRow, 1, strX);
        DeviceList.SetItemText(nRow, 2, strY);
        DeviceList.SetItemData(nRow, static_cast<DWORD_PTR>(static_cast<unsigned>(device.nUsbIndexNo)));
        m_arrDeviceRecords.push_back(device);
        CString strGetX = DeviceList.GetItemText(nRow, 1);
        CString strGetY = DeviceList.GetItemText(nRow, 2);
        Trace("%d   x=%s y=%s getx=%d  gety=%d\n", device.nPosition, strX.GetString(), strY.GetString(),
              std::atoi(strGetX), std::atoi(strGetY));
    }

    BOOL bEnable = DeviceList.GetItemCount() > 0;
    for (int nID : kDeviceDependentControls) GetDlgItem(nID)->EnableWindow(bEnable);
    if (m_pRecorder && RowOfUsbIndex(m_nRecordUsbIndex) < 0) EndRecording();  // the recorded frame left
    if (m_bSweepRunning && RowOfUsbIndex(m_nSweepUsbIndex) < 0) CancelSweep("the frame left");
    if (m_bCheckRunning && RowOfUsbIndex(m_nCheckUsbIndex) < 0) CancelCheckFrame("the frame left");
    UpdateSweepMenuItem();
    UpdateRecordMenuItem();
}

void CLumagridDlg::OnDeviceListClick(NMHDR* pNMHDR, LRESULT* pResult) {
    const NMITEMACTIVATE* pItem = reinterpret_cast<const NMITEMACTIVATE*>(pNMHDR);
    if (pItem->iItem < 0) return;
    // A refill between the button going down and this click dropped the mark;
    // the row the click names may now be another frame's.
    if (DeviceList.GetSelectionMark() < 0) return;
    if (m_pRecorder && static_cast<int>(DeviceList.GetItemData(DeviceList.GetSelectionMark())) != m_nRecordUsbIndex)
        EndRecording();
    // The click stops the frame and asks it again from Ambient IR.
    CancelSweep("a frame was clicked");
    CancelCheckFrame("a frame was clicked");
    OnScopeStop();
    m_pfnSleep(500);
    SelectDevice();
    SelectDumpAxis(IDC_AXIS_OT);
    UpdateRecordMenuItem();
    UpdateSweepMenuItem();
    *pResult = 0;
}

void CLumagridDlg::SelectDevice() {
    std::memset(&m_FrameSettings, 0, sizeof m_FrameSettings);
    CString strSection;
    int nSel = DeviceList.GetSelectionMark();
    m_nFrameUsbIndex = -1;
    if (nSel >= 0) {
        int nUsbIndexNo = static_cast<int>(DeviceList.GetItemData(nSel));
        m_nFrameUsbIndex = nUsbIndexNo;
        m_FrameSettings.m_nXTCount = static_cast<std::uint16_t>(std::atoi(DeviceList.GetItemText(nSel, 1)));
        m_FrameSettings.m_nYTCount = static_cast<std::uint16_t>(std::atoi(DeviceList.GetItemText(nSel, 2)));
        strSection = GetDeviceSectionName(nSel);
        m_nSysInfoResult = m_lib.getSysInfo(nUsbIndexNo, &m_FrameSettings);
        m_nSysInfoUsbIndex = nUsbIndexNo;
        m_SysInfoAnswer = m_FrameSettings;  // before the settings file has its say
        // A replay uses the recorded geometry and mirrors nothing: the file
        // is the live frames'.
        if (m_nSysInfoResult && !IsReplay()) SaveFrameSettings(strSection, m_FrameSettings);
    }
    LoadFrameSettings(strSection);
    SetupModules();
    m_arrXSamples.clear();
    m_arrYSamples.clear();
    OnXTotal();
    OnYTotal();
    m_pfnSleep(500);
    OnScopeAmbientIr();
}
