// Lumagrid.ini beside the executable: one section per frame mirrors the
// library's geometry answer; "SETTING" holds the shared low-signal thresholds.
#include "app/LumagridApp.h"
#include "app/LumagridDlg.h"
#include "reports/SettingsFile.h"
#include "reports/SettingsRules.h"

namespace {
bool IsLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

// The executable's folder, from the application object when there is one.
std::string ExeDir() {
    if (CLumagridApp* pApp = dynamic_cast<CLumagridApp*>(AfxGetApp())) {
        if (!pApp->m_strExeDir.IsEmpty()) return pApp->m_strExeDir.str();
    }
    CString strExeDir;
    CLumagridApp::GetExeDir(strExeDir);
    return strExeDir.str();
}
}  // namespace

CString CLumagridDlg::SettingsPath() const { return CString(settings::SettingsFilePath(ExeDir())); }

CString CLumagridDlg::GetDeviceSectionName(int nRow) {
    if (nRow < 0 || nRow >= DeviceList.GetItemCount()) return CString();
    return CString(settings::GetDeviceSectionName(DeviceList.GetItemText(nRow, 0).str(), &IsLeadByte));
}

void CLumagridDlg::LoadFrameSettings(const CString& strSection) {
    const std::string path = SettingsPath().str();
    if (!settings::ReadFrameSection(path, strSection.str(), m_FrameSettings)) return;
    Trace("ok read ini file %s\n", strSection.GetString());
    const settings::Thresholds thresholds = settings::ReadThresholds(path);
    m_nMinAdcOPer = thresholds.nMinAdcOPer;
    m_nMinAdcTPer = thresholds.nMinAdcTPer;
}

void CLumagridDlg::SaveFrameSettings(const CString& strSection, const quorvane::FrameSettings& frame) {
    const CString strPath = SettingsPath();
    for (const settings::FrameSettingsKey& key : settings::kFrameSettingsKeys) {
        CString strValue;
        strValue.Format("%d", static_cast<int>(settings::GetField(frame, key)));
        ::WritePrivateProfileStringA(strSection, key.pszName, strValue, strPath);
    }
}
