// Daily tables written by hand for the tests of their reader and of the trend.
#pragma once

#include <string>
#include <vector>

namespace dailytext {

struct Row {
    std::string label;
    std::vector<std::string> cells;
};

inline std::string Table(const std::vector<std::string>& dates, const std::vector<Row>& rows,
                         const char* eol = "\r\n") {
    std::string text = "Date";
    for (const std::string& d : dates) text += "\t" + d;
    text += eol;
    for (const Row& row : rows) {
        text += row.label;
        for (const std::string& c : row.cells) text += "\t" + c;
        text += eol;
    }
    return text;
}

inline std::vector<std::string> Dates(int first, int count) {  // May 2013
    std::vector<std::string> dates;
    for (int d = first; d < first + count; ++d)
        dates.push_back("2013:05:" + std::string(d < 10 ? "0" : "") + std::to_string(d));
    return dates;
}

}  // namespace dailytext
