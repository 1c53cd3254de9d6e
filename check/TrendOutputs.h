// Transitional: the console's trend command and its test still include this
// path. The outputs live in trend/, the XML escaping in text/; this header
// goes once those files include them.
#pragma once

#include "check/Trend.h"
#include "text/Escape.h"
#include "trend/TrendOutputs.h"

namespace check {

using text::XmlText;
using trend::FormatText;
using trend::ParseTableName;
using trend::TableName;
using trend::TrendCsv;
using trend::TrendedTable;
using trend::TrendReport;
using trend::TrendSvg;

}  // namespace check
