// Transitional: the console's trend command still includes this path. The
// trend lives in trend/, the daily-table reader in reports/; this header goes
// once those files include them.
#pragma once

#include "reports/DailyTable.h"
#include "reports/DailyTableReader.h"
#include "trend/Trend.h"

namespace check {

using reports::DailyTable;
using reports::ParseDailyTable;
using reports::ParseTableDate;
using trend::AxisTrend;
using trend::ComputeTrend;
using trend::TrendOptions;

}  // namespace check
