// Lumagrid.ini beside the executable: one section per frame mirrors the
// library's geometry answer; "SETTING" holds the shared low-signal thresholds.
#include "app/LumagridApp.h"
#include "app/LumagridDlg.h"
#include "reports/SettingsFile.h"
#include "reports/SettingsRules.h"

namespace {
// The executable's folder, from the application object when there is one.
std::wstring ExeDir() {
    if (CLumagridApp* pApp = dynamic_cast<CLumagridApp*>(AfxGetApp())) {
        if (!pApp->m_strExeDir.empty()) return pApp->m_strExeDir;
    }
    std::wstring strExeDir;
    CLumagridApp::GetExeDir(strExeDir);
    return strExeDir;
}
}  // namespace

std::wstring CLumagridDlg::SettingsPath() const { return settings::SettingsFilePath(ExeDir()); }

CString CLumagridDlg::GetDeviceSectionName(int nRow) {
    if (nRow < 0 || nRow >= DeviceList.GetItemCount()) return CString();
    return CString(settings::GetDeviceSectionName(DeviceList.GetItemText(nRow, 0).str(), &IsCodePageLeadByte));
}

void CLumagridDlg::LoadFrameSettings(const CString& strSection) {
    const std::wstring path = SettingsPath();
    // A replay keeps the recorded geometry: a live frame of the same name
    // may have a section of its own. The shared thresholds still apply.
    if (IsReplay()) {
        if (strSection.IsEmpty()) return;
    } else {
        if (!settings::ReadFrameSection(path, strSection.str(), m_FrameSettings)) return;
        Trace("ok read ini file %s\n", strSection.GetString());
    }
    const settings::Thresholds thresholds = settings::ReadThresholds(path);
    m_nMinAdcOPer = thresholds.nMinAdcOPer;
    m_nMinAdcTPer = thresholds.nMinAdcTPer;
}

void CLumagridDlg::SaveFrameSettings(const CString& strSection, const quorvane::FrameSettings& frame) {
    settings::WriteFrameSection(SettingsPath(), strSection.str(), frame);
}
