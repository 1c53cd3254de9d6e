// "LumagridCheck trend": the portable command (TrendCommand.cpp) on the
// program's file access, today's date and the station's threshold.
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "console/ConsoleIo.h"
#include "console/Runs.h"
#include "console/StationSettings.h"
#include "console/TrendCommand.h"
#include "reports/DailyTable.h"
#include "reports/DailyTableReader.h"
#include "reports/SettingsFile.h"

namespace console {

int RunTrend(const std::vector<std::string>& args) {
    check::TrendEnvironment env;
    env.readFile = &ReadFileUtf8Path;
    env.writeFile = &WriteFileUtf8Path;
    env.listFolder = &ListFolder;
    env.sameFile = &SameFile;
    SYSTEMTIME today{};
    ::GetLocalTime(&today);
    reports::ParseTableDate(reports::DailyDateText(today.wYear, today.wMonth, today.wDay), env.today);
    // The settings file gives only the default of --threshold.
    const check::TrendSettingUse use = check::TrendSettingUseOf(args);
    if (use == check::TrendSettingUse::Shown)
        env.defaultThreshold = settings::ReadThresholds(SettingsPath()).nMinAdcOPer;
    else if (use == check::TrendSettingUse::Default && !ThresholdSetting(env.defaultThreshold))
        return check::kTrendExitUsage;
    std::ostringstream out;
    std::ostringstream err;
    const int nExit = check::RunTrendCommand(args, env, out, err);
    WriteOut(out.str());
    WriteErr(err.str());
    return nExit;
}

}  // namespace console
