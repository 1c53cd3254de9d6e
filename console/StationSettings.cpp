#include "console/StationSettings.h"

#include <windows.h>

#include <optional>

#include "console/ConsoleIo.h"
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

}  // namespace console
