// The subcommands of LumagridCheck.exe, one file each: the frame check
// (CheckRun.cpp), the sweep test (SweepRun.cpp), the recording (RecordRun.cpp) and the trend (TrendRun.cpp).
// Each takes the words after the subcommand and returns the exit code.
#pragma once

#include <string>
#include <vector>

namespace console {

int RunCheck(const std::vector<std::string>& args);
int RunSweep(const std::vector<std::string>& args);
int RunRecord(const std::vector<std::string>& args);
int RunTrend(const std::vector<std::string>& args);

}  // namespace console
