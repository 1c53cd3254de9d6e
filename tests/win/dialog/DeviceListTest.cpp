// The device list: refills on WM_USB_CONNECT, and a click makes a frame active.
#include "DialogFixture.h"

namespace {
const int kTwelveControls[] = {1015, 1011, 1012, 1016, 1013, 1014, 1018, 1043, 1050, 1052, 1053, 1054};

using Calls = std::vector<std::string>;
}  // namespace

TEST_F(DialogTest, ListsEveryDeviceButTheHiddenTypeWithItsOwnTextsAndIndex) {
    AddThreeDevices();
    Open();
    Connect(3);
    CListCtrl& list = dlg->DeviceList;
    ASSERT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(list.GetItemText(0, 0), "FRAME-A/1234");
    EXPECT_EQ(list.GetItemText(0, 1), "100");
    EXPECT_EQ(list.GetItemText(0, 2), "64");
    EXPECT_EQ(list.GetItemData(0), 7u);
    EXPECT_EQ(list.GetItemText(1, 0), "FRAME-B");
    EXPECT_EQ(list.GetItemText(1, 1), "160");
    EXPECT_EQ(list.GetItemText(1, 2), "90");
    EXPECT_EQ(list.GetItemData(1), 9u);
    EXPECT_EQ(list.GetSelectionMark(), -1);
    for (int nID : kTwelveControls) EXPECT_TRUE(IsEnabled(nID)) << nID;
}

TEST_F(DialogTest, NoDevicesEmptiesTheListAndDisablesTheTwelveControls) {
    AddThreeDevices();
    Open();
    Connect(3);
    Connect(0);
    EXPECT_EQ(dlg->DeviceList.GetItemCount(), 0);
    for (int nID : kTwelveControls) EXPECT_FALSE(IsEnabled(nID)) << nID;
}

TEST_F(DialogTest, DeviceWithoutInfoRecordIsListedWithZeroCells) {
    AddThreeDevices();
    fake::Current().devices[0].infoSTOk = false;
    Open();
    Connect(3);
    EXPECT_EQ(dlg->DeviceList.GetItemText(0, 1), "0");
    EXPECT_EQ(dlg->DeviceList.GetItemText(0, 2), "0");
}

// Frames left between the library's message and its handling: the positions
// it no longer answers are not listed under the last name it gave.
TEST_F(DialogTest, PositionsTheLibraryNoLongerAnswersAreNotListed) {
    AddThreeDevices();
    Open();
    Connect(5);
    ASSERT_EQ(dlg->DeviceList.GetItemCount(), 2);
    EXPECT_EQ(dlg->DeviceList.GetItemText(1, 0), "FRAME-B");
    EXPECT_EQ(dlg->DeviceList.GetItemData(1), 9u);
}

TEST_F(DialogTest, NameFillingItsWholeBufferIsCutAt127Bytes) {
    fake::Device d;
    d.name = std::string(128, 'N');  // no terminator in the library's buffer
    d.usbindexNo = 1;
    fake::Current().devices = {d};
    Open();
    Connect(1);
    EXPECT_EQ(dlg->DeviceList.GetItemText(0, 0), std::string(127, 'N'));
}

TEST_F(DialogTest, ClickOnEmptySpaceOrOnARowRebuiltAwayChangesNothing) {
    AddThreeDevices();
    Open();
    Connect(3);
    fake::Current().calls.clear();
    ClickRow(-1);
    EXPECT_TRUE(fake::Current().calls.empty());
    EXPECT_EQ(dlg->m_nScopeMode, 0);

    // The list was rebuilt between the button going down and the click: the
    // row the click names may now be another frame's, and none is marked.
    ClickRow(1);
    Connect(3);
    fake::Current().calls.clear();
    NMITEMACTIVATE item{};
    item.hdr.hwndFrom = ::GetDlgItem(dlg->m_hWnd, IDC_DEVICE_LIST);
    item.hdr.idFrom = IDC_DEVICE_LIST;
    item.hdr.code = NM_CLICK;
    item.iItem = 0;
    ::SendMessageW(dlg->m_hWnd, WM_NOTIFY, IDC_DEVICE_LIST, reinterpret_cast<LPARAM>(&item));
    EXPECT_TRUE(fake::Current().calls.empty());
    EXPECT_EQ(dlg->m_FrameSettings.m_nXTCount, 160);  // the frame shown keeps its geometry
    EXPECT_EQ(dlg->m_xWindow.nCount, 160);
}

TEST_F(DialogTest, ClickStopsTheFrameReadsItsGeometryAndStartsAmbientIr) {
    AddThreeDevices();
    Open();
    Connect(3);
    fake::Current().calls.clear();
    ClickRow(1);
    EXPECT_EQ(fake::Current().calls,
              (Calls{"setDump 9 0x00", "sleep 500", "getSysInfo 9", "sleep 500", "setDump 9 0x01"}));
    EXPECT_TRUE(IsChecked(IDC_AXIS_OT));
    EXPECT_TRUE(IsChecked(IDC_SCOPE_AMBIENT_IR));
    EXPECT_EQ(dlg->m_nScopeMode, 1);
    EXPECT_EQ(dlg->m_byDumpRequest, 0x01);
    EXPECT_EQ(dlg->m_FrameSettings.m_nXTCount, 160);
    EXPECT_EQ(dlg->m_xWindow.nCount, 160);
    EXPECT_EQ(dlg->m_yWindow.nCount, 90);
}

TEST_F(DialogTest, ClickMirrorsTheGeometryIntoTheFrameSection) {
    AddThreeDevices();
    Open();
    Connect(3);
    ClickRow(0);
    const std::string ini = IniText();
    EXPECT_NE(ini.find("[FRAME-A]"), std::string::npos) << ini;
    for (const char* line : {"X_CELL_SIZE=100", "Y_CELL_SIZE=64", "X_MODULE_CELL=16", "Y_MODULE_CELL=16", "X_TILT1=3",
                             "Y_TILT1=2", "X_TILT2=6", "Y_TILT2=4", "X_TILT3=0", "Y_TILT3=0", "X_TILT4=0", "Y_TILT4=0"})
        EXPECT_NE(ini.find(line), std::string::npos) << line << "\n" << ini;
    EXPECT_EQ(dlg->m_nMinAdcOPer, 33);
    EXPECT_EQ(dlg->m_nMinAdcTPer, 20);
}

TEST_F(DialogTest, FailedSysInfoWritesNothingButLoadsAnEarlierRunsValues) {
    AddThreeDevices();
    fake::Current().devices[2].sysInfoOk = false;
    Open();
    ::WritePrivateProfileStringA("FRAME-B", "X_MODULE_CELL", "20", (folder + "Lumagrid.ini").c_str());
    ::WritePrivateProfileStringA("FRAME-B", "Y_MODULE_CELL", "30", (folder + "Lumagrid.ini").c_str());
    ::WritePrivateProfileStringA("SETTING", "MIN_ADC_O_PER", "40", (folder + "Lumagrid.ini").c_str());
    Connect(3);
    ClickRow(1);
    EXPECT_EQ(IniText().find("X_CELL_SIZE"), std::string::npos);
    EXPECT_EQ(dlg->m_FrameSettings.X_MODULE_CELL, 20);
    EXPECT_EQ(dlg->m_FrameSettings.Y_MODULE_CELL, 30);
    EXPECT_EQ(dlg->m_nMinAdcOPer, 40);
    EXPECT_EQ(dlg->m_arrXModuleSize.size(), 8u);  // 160 cells from the list, 20 per module
}

TEST_F(DialogTest, AdvancedClickSendsTheChosenAxisThenShowsOt) {
    AddThreeDevices();
    Open("LumagridX");
    Connect(3);
    ClickRow(0);
    Click(IDC_AXIS_TL1);  // re-sends Ambient+IR with TL1
    fake::Current().calls.clear();
    ClickRow(0);
    EXPECT_EQ(fake::Current().SetDumps(), (Calls{"setDump 7 0x00", "setDump 7 0x11"}));
    EXPECT_TRUE(IsChecked(IDC_AXIS_OT));
    EXPECT_FALSE(IsChecked(IDC_AXIS_TL1));
    EXPECT_EQ(dlg->m_nDumpAxisMask, 0);
    fake::Current().calls.clear();
    Click(IDC_SCOPE_IR);
    EXPECT_EQ(fake::Current().SetDumps(), (Calls{"setDump 7 0x03"}));
}

TEST_F(DialogTest, ShutdownStopsDeviceZeroEvenWithAnotherFrameSelected) {
    AddThreeDevices();
    Open();
    Connect(3);
    ClickRow(1);
    fake::Current().calls.clear();
    dlg->DestroyWindow();
    EXPECT_EQ(fake::Current().SetDumps(), (Calls{"setDump 0 0x00"}));
    EXPECT_EQ(dlg->m_byDumpRequest, 0);
}

TEST_F(DialogTest, ShutdownWithoutABoundLibraryCallsNothing) {
    Open();
    dlg->m_lib = QuorvaneBinding();
    dlg->DestroyWindow();
    EXPECT_TRUE(fake::Current().calls.empty());
}

// One owner of the device images: the list only shares them and the dialog's
// image list destroys them once at exit. Wine shrugs off a second destroy of
// the freed handle; Windows may corrupt its heap with it.
TEST_F(DialogTest, DeviceImagesOutliveTheListAndAreDestroyedOnceByTheDialog) {
    Open();
    HWND hList = ::GetDlgItem(dlg->m_hWnd, IDC_DEVICE_LIST);
    EXPECT_NE(::GetWindowLongW(hList, GWL_STYLE) & LVS_SHAREIMAGELISTS, 0);
    HIMAGELIST hImages = dlg->m_imgDevice.GetSafeHandle();
    ASSERT_EQ(reinterpret_cast<HIMAGELIST>(::SendMessageW(hList, LVM_GETIMAGELIST, LVSIL_NORMAL, 0)), hImages);
    dlg->DestroyWindow();
    ASSERT_FALSE(::IsWindow(hList));
    int cx = 0;
    int cy = 0;
    EXPECT_TRUE(::ImageList_GetIconSize(hImages, &cx, &cy)) << "the list destroyed the dialog's images";
    EXPECT_EQ(cx, 54);
    EXPECT_EQ(::ImageList_GetImageCount(hImages), 1);
    EXPECT_TRUE(dlg->m_imgDevice.DeleteImageList());
}
