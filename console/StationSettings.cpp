#include "console/StationSettings.h"

#include <windows.h>

#include <optional>

#include "check/CheckReport.h"
#include "console/ConsoleIo.h"
#include "console/FrameLink.h"
#include "framework/DllSearch.h"
#include "framework/String.h"
#include "reports/SettingsFile.h"
#include "reports/SettingsRules.h"

namespace console {

std::wstring SettingsPath() { return settings::SettingsFilePath(dllsearch::ExecutableFolder()); }

bool ThresholdSetting(int& nPercent) {
    std::string refusal;
    const std::optional<int> percent = settings::ReadCheckThreshold(SettingsPath(), CP_UTF8, refusal);
    if (!percent) {
        console::Progress(refusal);
        return false;
    }
    nPercent = *percent;
    return true;
}

bool FrameSettingsOf(check::CFrameLink& link, const quorvane::DeviceRecord& device, quorvane::FrameSettings& frame,
                     std::string& error, std::string& reduced) {
    frame = quorvane::FrameSettings{};
    frame.m_nXTCount = static_cast<std::uint16_t>(device.nXCells);
    frame.m_nYTCount = static_cast<std::uint16_t>(device.nYCells);
    if (link.SysInfo(device.nUsbIndexNo, frame)) return true;
    if (!device.bInfoST) {
        error = check::kNoCountsError;
        return false;
    }
    const std::string section = settings::GetDeviceSectionName(device.name, &IsCodePageLeadByte);
    reduced = check::ReducedGeometryText(
        settings::ReadFrameSection(SettingsPath(), section, frame) ? FromCodePage(section) : std::string());
    Progress(reduced);
    return true;
}

}  // namespace console
