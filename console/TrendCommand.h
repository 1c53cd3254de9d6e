// "LumagridCheck trend TABLE... [options]": the trend of the daily tables as a
// report on stdout, a CSV and an SVG. Portable: every file goes through the
// environment, so the Windows main gives it wide-character paths and the
// program's whole-file write, and the tests give it files in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "console/OutputFiles.h"
#include "console/TablePatterns.h"

namespace check {

struct TrendEnvironment {
    // The file's bytes; false with the cause (a short text, no file name) when it cannot be read.
    std::function<bool(const std::string& path, std::string& bytes, std::string& error)> readFile;
    // The whole file or nothing: on false (with the cause) an earlier file of that name is as it was.
    std::function<bool(const std::string& path, const std::string& bytes, std::string& error)> writeFile;
    // The file names of a folder, for TABLE operands with '*' or '?'.
    FolderLister listFolder;
    // Whether two names name one file; unset: the same text.
    SameFileFn sameFile;
    // Today's local date as a day number (ParseTableDate): a column dated more
    // than a day later (a station ahead across time zones) is skipped.
    std::int64_t today = INT64_MAX;
    // MIN_ADC_O_PER of [SETTING] in Lumagrid.ini beside the program; 33 without one.
    int defaultThreshold = 33;
};

// std::fopen reads, and writes to a temporary file beside the target put in
// place by a rename: for native use and the tests. Paths are bytes as given.
TrendEnvironment PortableTrendEnvironment();

constexpr int kTrendExitNothingFlagged = 0;
constexpr int kTrendExitFlagged = 1;
constexpr int kTrendExitFileError = 2;  // a table not read or matched, or an output file not written
constexpr int kTrendExitUsage = 64;

// The usage text, ended by "\n".
std::string TrendUsage(int defaultThreshold);

// How a command line uses MIN_ADC_O_PER of the settings file: only shown in
// the usage (read leniently, as the scope reads it), not at all (--threshold
// given), or as the default of --threshold (then a value the check refuses is
// a bad station, exit 64).
enum class TrendSettingUse { Shown, Unused, Default };
TrendSettingUse TrendSettingUseOf(const std::vector<std::string>& args);

// args are the words after "trend", UTF-8. Results go to out, errors to err.
int RunTrendCommand(const std::vector<std::string>& args, const TrendEnvironment& env, std::ostream& out,
                    std::ostream& err);

}  // namespace check
