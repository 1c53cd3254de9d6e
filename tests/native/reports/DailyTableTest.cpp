#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "reports/DailyTable.h"

namespace {

using namespace reports;

const char* const kD1 = "2013:05:07";
const char* const kD2 = "2013:05:08";
const std::string kFrameA = "Date\t2013:05:07\r\nX0\t400\r\nX1\t440\r\nXAvr\t420\r\nY0\t0\r\nY1\t80\r\nYAvr\t40\r\n";
const DailySample kFrameADay1{DailyDateText(2013, 5, 7), {400, 440}, {0, 80}};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// The cells of every line; fails unless each line, the last too, ends in CR LF and holds no other line end.
std::vector<std::vector<std::string>> Cells(const std::string& table) {
    std::vector<std::vector<std::string>> lines;
    for (std::size_t start = 0, end; start < table.size(); start = end + 2) {
        end = table.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "unended last line";
        const std::string line = table.substr(start, end - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        auto& cells = lines.emplace_back();
        for (std::size_t from = 0, tab;; from = tab + 1) {
            tab = line.find('\t', from);
            cells.push_back(line.substr(from, tab - from));
            if (tab == std::string::npos) break;
        }
        if (end == std::string::npos) break;
    }
    return lines;
}

struct MergeCase {
    const char* what;
    std::string oldText;
    DailySample sample;
    std::string expected;
};

TEST(DailyTable, MergesByLabel) {
    const std::string day2 =
        "Date\t2013:05:07\t2013:05:08\r\nX0\t400\t480\r\nX1\t440\t400\r\nXAvr\t420\t440\r\n"
        "Y0\t0\t40\r\nY1\t80\t0\r\nYAvr\t40\t20\r\n";
    const DailySample frameADay2{kD2, {480, 400}, {40, 0}};
    std::string lfUnended = Replace(kFrameA, "\r\n", "\n");
    lfUnended.pop_back();
    const MergeCase cases[] = {
        {"first save", "", kFrameADay1, kFrameA},
        {"only line ends count as empty", "\r\n\n", kFrameADay1, kFrameA},
        {"axis summing to 0 left out, average truncated",
         "",
         {kD1, {0, 0}, {40, 40, 80}},
         "Date\t2013:05:07\r\nY0\t40\r\nY1\t40\r\nY2\t80\r\nYAvr\t53\r\n"},
        {"no axis at all", "", {kD1, {}, {}}, "Date\t2013:05:07\r\n"},
        {"second day, CR LF", kFrameA, frameADay2, day2},
        {"second day, LF, last line unended", lfUnended, frameADay2, day2},
        {"second day, lone CR", Replace(kFrameA, "\r\n", "\r"), frameADay2, day2},
        {"fewer rows: one X, Y left out",
         kFrameA,
         {kD2, {480}, {0, 0}},
         "Date\t2013:05:07\t2013:05:08\r\nX0\t400\t480\r\nX1\t440\t\r\nXAvr\t420\t480\r\n"
         "Y0\t0\t\r\nY1\t80\t\r\nYAvr\t40\t\r\n"},
        {"more rows",
         kFrameA,
         {kD2, {40, 80, 120}, {40, 80, 120}},
         "Date\t2013:05:07\t2013:05:08\r\nX0\t400\t40\r\nX1\t440\t80\r\nX2\t\t120\r\nXAvr\t420\t80\r\n"
         "Y0\t0\t40\r\nY1\t80\t80\r\nY2\t\t120\r\nYAvr\t40\t80\r\n"},
        {"X new: before the Y rows",
         "Date\t2013:05:07\r\nnote\r\nY0\t40\r\nYAvr\t40\r\n",
         {kD2, {40}, {80}},
         "Date\t2013:05:07\t2013:05:08\r\nnote\t\t\r\nX0\t\t40\r\nXAvr\t\t40\r\nY0\t40\t80\r\nYAvr\t40\t80\r\n"},
        {"Y new: after the X rows, before a note",
         "Date\t2013:05:07\r\nX0\t40\r\nXAvr\t40\r\nnote\r\n",
         {kD2, {40}, {80}},
         "Date\t2013:05:07\t2013:05:08\r\nX0\t40\t40\r\nXAvr\t40\t40\r\nY0\t\t80\r\nYAvr\t\t80\r\nnote\t\t\r\n"},
        {"foreign, blank and ragged lines padded in place",
         "Frame A\r\nDate\t2013:05:07\r\nX0\t40\textra\r\n\r\nXAvr\t40\r\n",
         {kD2, {80}, {}},
         "Frame A\t\t\t\r\nDate\t2013:05:07\t\t2013:05:08\r\nX0\t40\textra\t80\r\n\t\t\t\r\nXAvr\t40\t\t80\r\n"},
        {"no Avr row: new rows after the last index row",
         "Date\t2013:05:07\r\nX0\t40\r\nnote\r\n",
         {kD2, {80, 120}, {}},
         "Date\t2013:05:07\t2013:05:08\r\nX0\t40\t80\r\nX1\t\t120\r\nXAvr\t\t100\r\nnote\t\t\r\n"},
        {"no Date row, a duplicate and labels not ours",
         "X0\t40\r\nX0\t41\r\nX00\t42\r\nx1\t43\r\nXAvr\t40\r\n",
         {kD2, {80, 120}, {}},
         "Date\t\t2013:05:08\r\nX0\t40\t80\r\nX0\t41\t\r\nX00\t42\t\r\nx1\t43\t\r\nX1\t\t120\r\nXAvr\t40\t100\r\n"},
        {"old order kept, new rows before the next greater index",
         "Date\t2013:05:07\r\nX5\t5\r\nX3\t3\r\nXAvr\t4\r\n",
         {kD2, {0, 40, 0, 40, 0, 40, 0}, {}},
         "Date\t2013:05:07\t2013:05:08\r\nX0\t\t0\r\nX1\t\t40\r\nX2\t\t0\r\nX4\t\t0\r\nX5\t5\t40\r\n"
         "X3\t3\t40\r\nX6\t\t0\r\nXAvr\t4\t17\r\n"},
    };
    for (const MergeCase& c : cases) EXPECT_EQ(MergeDailyTable(c.oldText, c.sample), c.expected) << c.what;
}

// A year of saves of a 2 x 512 frame whose Y axis sums to 0 every seventh day
// and whose X axis has only 500 receivers on some days.
TEST(DailyTable, YearOfSavesStaysRectangular) {
    constexpr int kDays = 365, kCount = 512;
    const auto value = [](int day, int j) { return static_cast<std::uint32_t>((day * 7 + j) % 256) * 40; };
    const auto yOmitted = [](int day) { return day % 7 == 3; };
    const auto xCount = [](int day) { return day % 50 == 10 ? 500 : kCount; };
    std::string table;
    for (int day = 0; day < kDays; ++day) {
        DailySample sample{DailyDateText(2013, 1 + day / 31, 1 + day % 31), {}, {}};
        for (int j = 0; j < xCount(day); ++j) sample.x.push_back(value(day, j));
        for (int j = 0; j < kCount; ++j) sample.y.push_back(yOmitted(day) ? 0 : value(day, kCount - j));
        table = MergeDailyTable(table, sample);
    }
    const auto lines = Cells(table);
    ASSERT_EQ(lines.size(), 2u * kCount + 3);
    for (std::size_t r = 0; r < lines.size(); ++r) {
        const auto& cells = lines[r];
        ASSERT_EQ(cells.size(), kDays + 1u) << cells[0];
        // Rows in label order: Date, X0..X511, XAvr, Y0..Y511, YAvr.
        const bool bX = r >= 1 && r <= kCount + 1;
        const int j = static_cast<int>(bX ? r - 1 : r - kCount - 2);
        const std::string label = r == 0        ? "Date"
                                  : j == kCount ? (bX ? "XAvr" : "YAvr")
                                                : (bX ? "X" : "Y") + std::to_string(j);
        ASSERT_EQ(cells[0], label);
        if (j == kCount || r == 0) continue;
        for (int day = 0; day < kDays; ++day) {
            const bool bEmpty = bX ? j >= xCount(day) : yOmitted(day);
            const std::string expected = bEmpty ? "" : std::to_string(value(day, bX ? j : kCount - j));
            ASSERT_EQ(cells[day + 1], expected) << label << " day " << day;
        }
    }
}

// Old texts made of our labels, foreign words and every kind of line end, in any order.
TEST(DailyTable, AnyOldTextGivesARectangleWithTodaysValues) {
    const char* const pieces[] = {"Date", "X0",   "X1", "X3", "X12", "XAvr", "Y0", "Y2", "YAvr",
                                  "X01",  "note", "\t", "\t", "\t7", "\r\n", "\n", "\r", "\r\n"};
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string old;
        for (int n = std::uniform_int_distribution<int>(0, 40)(random); n > 0; --n)
            old += pieces[random() % std::size(pieces)];
        DailySample sample{kD2, {40, 0, 80, 120}, {}};
        if (round % 3) sample.y = {0, 400, 40};
        const auto lines = Cells(MergeDailyTable(old, sample));
        std::map<std::string, std::string> firstValue;
        for (const auto& cells : lines) {
            ASSERT_EQ(cells.size(), lines[0].size()) << old;
            firstValue.emplace(cells[0], cells.back());
        }
        std::map<std::string, std::string> today = {{"Date", kD2}, {"X0", "40"},  {"X1", "0"},
                                                    {"X2", "80"},  {"X3", "120"}, {"XAvr", "60"}};
        if (!sample.y.empty()) today.insert({{"Y0", "0"}, {"Y1", "400"}, {"Y2", "40"}, {"YAvr", "146"}});
        for (const auto& [label, value] : today) EXPECT_EQ(firstValue[label], value) << label << " in " << old;
    }
}

bool Cp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool NoLead(unsigned char) { return false; }

TEST(DailyTable, FileNameHasNoForbiddenCharacters) {
    const struct {
        std::string section;
        int index;
        LeadByteFn lead;
        std::string expected;
    } cases[] = {
        {"FRAME-A", 1, Cp932Lead, "FRAME-A_1.txt"},
        {"", 3, Cp932Lead, "_3.txt"},
        {"..\\a/b:c*d?e\"f<g>h|i", 12, Cp932Lead, ".._a_b_c_d_e_f_g_h_i_12.txt"},
        {std::string("\x01t\ta\x1f\x7f~\0z", 9), 2, nullptr, "_t_a__~_z_2.txt"},
        {"\x81\x5C"
         "A",
         4, Cp932Lead,
         "\x81\x5C"
         "A_4.txt"},                                   // trail byte '\\' kept
        {"\xE0\x7C", 1, Cp932Lead, "\xE0\x7C_1.txt"},  // trail byte '|' kept
        {"\x81\x5C", 4, NoLead, "\x81__4.txt"},
        {"\x81\x81\x5C", 5, Cp932Lead, "\x81\x81__5.txt"},      // the pair ends before the '\\'
        {"\x81/x\x81\x01", 6, Cp932Lead, "\x81_x\x81__6.txt"},  // no trail byte below 0x40
        {"AB\x82", 7, Cp932Lead, "AB\x82_7.txt"},               // a lead byte at the end stays
    };
    for (const auto& c : cases) EXPECT_EQ(DailyFileName(c.section, c.index, c.lead), c.expected) << c.section;
}

}  // namespace
