// The file names of a dump-stream recording: the name offered in the Save As
// dialog and the extension a chosen name gets.
#pragma once

#include <string>
#include <string_view>

#include "reports/DailyTable.h"

namespace scope {

constexpr char kRecordingExtension[] = ".lgrec";

// "<frame name>_YYYY-MM-DD_HH-MM-SS.lgrec", the frame's name (system code
// page) with the characters a file name cannot hold made "_" as in the daily
// tables' names.
std::string RecordingDefaultName(std::string_view frameName, int nYear, int nMonth, int nDay, int nHour, int nMinute,
                                 int nSecond, reports::LeadByteFn isLeadByte);

// A chosen path ending in ".lgrec" (any case) stays; any other gets ".lgrec"
// added, so that the substitute library takes it for a recording
// ("site.2024" becomes "site.2024.lgrec"). Trailing dots and blanks of the
// last component go first, as Windows would drop them. A last component of
// nothing but dots and blanks is returned as it is.
std::string WithRecordingExtension(std::string_view path);

}  // namespace scope
