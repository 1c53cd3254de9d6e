// Reading Lumagrid.ini with the platform's profile functions.
#include "reports/SettingsFile.h"

#include <windows.h>

#include "reports/SettingsRules.h"

namespace settings {

Thresholds ReadThresholds(const std::string& iniPath) {
    return Thresholds{
        static_cast<int>(::GetPrivateProfileIntA(kSettingSection, kMinAdcOPerKey, kMinAdcOPerDefault, iniPath.c_str())),
        static_cast<int>(::GetPrivateProfileIntA(kSettingSection, kMinAdcTPerKey, kMinAdcTPerDefault, iniPath.c_str()))};
}

bool HasSection(const std::string& iniPath, const std::string& section) {
    char szList[kSectionNamesBufferSize];
    DWORD n = ::GetPrivateProfileSectionNamesA(szList, sizeof szList, iniPath.c_str());
    return SectionListContains(szList, n, section);
}

bool ReadFrameSection(const std::string& iniPath, const std::string& section, quorvane::FrameSettings& frame) {
    if (!HasSection(iniPath, section)) return false;
    for (const FrameSettingsKey& key : kFrameSettingsKeys) {
        if (!key.bLoaded) continue;
        UINT value = ::GetPrivateProfileIntA(section.c_str(), key.pszName, kFrameKeyDefault, iniPath.c_str());
        SetField(frame, key, value);
    }
    return true;
}

}  // namespace settings
