// The daily table of one frame: a tab-separated text file whose first column
// labels the rows ("Date", "X0".., "XAvr", "Y0".., "YAvr") and whose every
// further column holds one day's sample. Portable: reading the old table,
// merging the day's column and formatting the new one happen in memory; the
// program only writes the result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reports {

// Cells of a line are separated by tabs; the first cell is the row's label.
constexpr char kDailyCellSeparator = '\t';

// The Date cell of a day: "%04d:%02d:%02d" of its year, month and day.
std::string DailyDateText(int nYear, int nMonth, int nDay);

// Day number (days since 1970-01-01) of a Date cell that holds a calendar date
// "YYYY:MM:DD" (month 1-12, day within the month); false otherwise.
bool ParseTableDate(std::string_view text, std::int64_t& number);

// The Date cell of a day number (of a year that fits an int).
std::string TableDateText(std::int64_t number);

// The line that starts at pos, without its end; pos moves past that end. A line
// ends at CR LF, LF or a lone CR, as spreadsheets and Python read a table; a
// last line needs none. Call while pos < text.size().
std::string_view NextDailyLine(std::string_view text, std::size_t& pos);

// True for the first byte of a double-byte character in the system code page.
using LeadByteFn = bool (*)(unsigned char);

// "%s_%d.txt" of the frame's section name and its row number + 1, with every
// character a file name cannot hold (\ / : * ? " < > | and control characters)
// replaced by "_". The second byte of a double-byte character is kept as it is.
// A lead byte before a byte below 0x40 or 0x7F (a trail byte in no code page) is
// no such character: that next byte is judged on its own. A lead byte at the end stays.
std::string DailyFileName(std::string_view sectionName, int nFileSaveIndex, LeadByteFn isLeadByte);

// The text with those characters replaced as DailyFileName does: for other
// names built from a frame's name (a recording's).
std::string FileNameSafeText(std::string_view text, LeadByteFn isLeadByte);

// The label of a table row: "Date", a sample row "X7"/"Y33" with its index,
// an average row "XAvr"/"YAvr", or none of ours (kOther). Only labels exactly
// as the daily save writes them: "X7" is one, "X07", "x7" and "X7 " are not.
enum class DailyLabel : unsigned char { kDate, kXIndex, kXAvr, kYIndex, kYAvr, kOther };
struct DailyRow {
    DailyLabel label = DailyLabel::kOther;
    std::uint32_t index = 0;
};
DailyRow ParseDailyLabel(std::string_view field);

// The day's entries: the date, then per axis (left out when it has no samples
// or sums to 0) one row per sample and its average over all samples (integer
// division, zeros included). Values are b * 40.
struct DailySample {
    std::string date;
    std::vector<std::uint32_t> x;
    std::vector<std::uint32_t> y;
};

// The new content of the file, every line ended by CR LF. An empty old text
// (missing or empty file) gives the labelled first save. Otherwise each line of
// the old table (CR LF or LF ends) gets one more tab-separated cell: rows are
// paired by their label; a label only in the old table gets an empty cell; a
// label new today is inserted where it belongs (X rows before "XAvr", Y rows
// after it, in index order) with empty cells for the earlier days; a line
// whose first field is no label of ours keeps its place with an empty cell.
// Every line ends up with the same number of fields.
// - oldText is the file's bytes as read; the date is written as given (no tab or line end in it).
// - A line ends at CR LF, LF or a lone CR (as spreadsheets read it); what follows
//   the last line end is no line; a last line without a line end is one.
// - An old text of nothing but line ends counts as empty.
// - Only labels as written here pair: "X7" does, "X07", "x7" and "X7 " are foreign.
// - A label seen again further down pairs with nothing: that line is kept like a foreign one.
// - Lines are padded with empty cells to the widest line before the new cell; a blank line is a foreign one.
// - Missing "Date" row: inserted at the top.
// - A new index row goes before the first old row of its axis (file order) with a
//   greater index, else before its axis's Avr row, else after the axis's last index row;
//   old rows are never reordered ("X5" before "X3" stays so).
// - A missing Avr row goes after the axis's last index row.
// - An axis the old table lacks goes as a block before the first Y row (X) or after the
//   last X row (Y), else after the "Date" row, else at the top.
// - Rows of an axis left out today (or beyond today's count) keep their place with an empty cell.
// Linear in the size of the old and the new text.
std::string MergeDailyTable(std::string_view oldText, const DailySample& sample);

}  // namespace reports
