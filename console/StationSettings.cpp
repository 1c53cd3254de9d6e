#include "console/StationSettings.h"

#include <windows.h>

#include <optional>

#include "console/ConsoleIo.h"
#include "console/FrameLink.h"
#include "framework/DllSearch.h"
#include "framework/String.h"
#include "reports/SettingsFile.h"
#include "reports/SettingsRules.h"

namespace console {

std::wstring SettingsPath() { return settings::SettingsFilePath(dllsearch::ExecutableFolder()); }

bool ThresholdSetting(int& nPercent) {
    const std::wstring path = SettingsPath();
    const std::optional<std::wstring> text = settings::ReadMinAdcOPerText(path);
    if (!text) {
        nPercent = settings::kMinAdcOPerDefault;
        return true;
    }
    const std::string value = Narrow(text->c_str(), CP_UTF8);
    if (const std::optional<int> percent = settings::ParseThresholdPercent(value)) {
        nPercent = *percent;
        return true;
    }
    console::Progress(Narrow(path.c_str(), CP_UTF8) + ": [" + settings::kSettingSection + "] " +
                      settings::kMinAdcOPerKey + "=" + value + " is not a whole number from " +
                      std::to_string(settings::kThresholdLow) + " to " + std::to_string(settings::kThresholdHigh) +
                      "; correct it or remove the line (default " + std::to_string(settings::kMinAdcOPerDefault) + ")");
    return false;
}

bool FrameSettingsOf(check::CFrameLink& link, const quorvane::DeviceRecord& device, quorvane::FrameSettings& frame,
                     std::string& error, std::string& reduced) {
    frame = quorvane::FrameSettings{};
    frame.m_nXTCount = static_cast<std::uint16_t>(device.nXCells);
    frame.m_nYTCount = static_cast<std::uint16_t>(device.nYCells);
    if (link.SysInfo(device.nUsbIndexNo, frame)) return true;
    if (!device.bInfoST) {
        error = "the frame answered neither getDeviceInfoST nor getSysInfo";
        return false;
    }
    const std::string section = settings::GetDeviceSectionName(device.name, &IsCodePageLeadByte);
    if (settings::ReadFrameSection(SettingsPath(), section, frame))
        reduced = "getSysInfo failed; modules and tilts from [" + FromCodePage(section) + "] of Lumagrid.ini";
    else reduced = "getSysInfo failed; no modules and tilts known, OT only";
    Progress(reduced);
    return true;
}

}  // namespace console
