#include "reports/DailyTable.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <unordered_set>
#include <utility>

namespace reports {

std::string DailyDateText(int nYear, int nMonth, int nDay) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d", nYear, nMonth, nDay);
    return text;
}

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

bool ParseTableDate(std::string_view text, std::int64_t& number) {
    if (text.size() != 10 || text[4] != ':' || text[7] != ':') return false;
    unsigned parts[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int i = 0; i < 3; ++i) {
        for (std::size_t k = starts[i]; k < starts[i] + lengths[i]; ++k) {
            if (text[k] < '0' || text[k] > '9') return false;
            parts[i] = parts[i] * 10 + static_cast<unsigned>(text[k] - '0');
        }
    }
    const unsigned year = parts[0], month = parts[1], day = parts[2];
    static constexpr unsigned kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    const bool bLeap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kMonthDays[month - 1] + (month == 2 && bLeap ? 1 : 0)) return false;
    number = DaysFromCivil(year, static_cast<int>(month), static_cast<int>(day));
    return true;
}

std::string TableDateText(std::int64_t number) {
    // The inverse of DaysFromCivil.
    const std::int64_t z = number + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2);
    return DailyDateText(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day));
}

std::string_view NextDailyLine(std::string_view text, std::size_t& pos) {
    const char* const pLine = text.data() + pos;
    const std::size_t nRest = text.size() - pos;
    const auto* pLf = static_cast<const char*>(std::memchr(pLine, '\n', nRest));
    std::size_t nLength = pLf ? static_cast<std::size_t>(pLf - pLine) : nRest;
    if (const auto* pCr = static_cast<const char*>(std::memchr(pLine, '\r', nLength)))
        nLength = static_cast<std::size_t>(pCr - pLine);
    pos += nLength + 1;
    if (pos < text.size() && text[pos - 1] == '\r' && text[pos] == '\n') ++pos;
    return {pLine, nLength};
}

namespace {

bool IsForbiddenInFileName(unsigned char c) {
    return c < 0x20 || c == 0x7F || std::strchr("\\/:*?\"<>|", c) != nullptr;
}

// No code page has a trail byte below 0x40 or 0x7F: a lead byte before one of
// those is no character of two bytes, and the byte after it is judged alone.
bool IsTrailByte(unsigned char c) { return c >= 0x40 && c != 0x7F; }

}  // namespace

std::string FileNameSafeText(std::string_view text, LeadByteFn isLeadByte) {
    std::string name;
    name.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (isLeadByte && isLeadByte(c) && i + 1 < text.size() &&
            IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
            name += text.substr(i, 2);
            ++i;
            continue;
        }
        // strchr also finds the terminating NUL, which is a control character anyway.
        name += IsForbiddenInFileName(c) ? '_' : static_cast<char>(c);
    }
    return name;
}

std::string DailyFileName(std::string_view sectionName, int nFileSaveIndex, LeadByteFn isLeadByte) {
    std::string name = FileNameSafeText(sectionName, isLeadByte);
    name += '_';
    name += std::to_string(nFileSaveIndex);
    name += ".txt";
    return name;
}

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

using Label = DailyLabel;
using Entry = DailyRow;

struct OldLine {
    std::string_view text;
    std::size_t nFields;
    Entry entry;  // the day's row it pairs with; kOther for none
};

// What the old table holds of one axis and where today's rows of it go.
struct Axis {
    const std::vector<std::uint32_t>& values;
    bool bToday = false;  // the axis is in today's sample
    std::uint32_t nAverage = 0;
    std::vector<std::size_t> lineOf;                 // old line of each of today's indices, or kNone
    std::unordered_set<std::uint32_t> extraIndices;  // old indices beyond today's count
    // first[c]: the first old index row (file order) whose index is c or more, c cut at the count
    std::vector<std::size_t> first;
    std::size_t avrLine = kNone;
    std::size_t lastIndexLine = kNone;
    std::size_t firstLine = kNone;  // of the axis's rows, index or average
    std::size_t lastLine = kNone;

    explicit Axis(const std::vector<std::uint32_t>& samples) : values(samples) {
        std::uint64_t sum = 0;
        for (const std::uint32_t v : values) sum += v;
        bToday = sum > 0;
        if (!bToday) return;
        nAverage = static_cast<std::uint32_t>(sum / values.size());
        lineOf.assign(values.size(), kNone);
        first.assign(values.size() + 1, kNone);
    }
    std::size_t Count() const { return bToday ? values.size() : 0; }

    // Records an old row of this axis; false when its label came earlier (it then pairs with nothing).
    bool Take(const Entry& entry, std::size_t line) {
        if (entry.label == Label::kXAvr || entry.label == Label::kYAvr) {
            if (avrLine != kNone) return false;
            avrLine = line;
        } else {
            if (entry.index < Count()) {
                if (lineOf[entry.index] != kNone) return false;
                lineOf[entry.index] = line;
            } else if (!extraIndices.insert(entry.index).second) {
                return false;
            }
            if (bToday) {
                std::size_t& slot = first[std::min<std::size_t>(entry.index, Count())];
                if (slot == kNone) slot = line;
            }
            lastIndexLine = line;
        }
        if (firstLine == kNone) firstLine = line;
        lastLine = line;
        return true;
    }

    void FinishFirst() {
        for (std::size_t c = first.size(); c-- > 1;) first[c - 1] = std::min(first[c - 1], first[c]);
    }

    // The old line before which a row of today that the old table lacks goes.
    std::size_t IndexPoint(std::uint32_t index, std::size_t blockStart) const {
        if (first[index + 1] != kNone) return first[index + 1];
        if (avrLine != kNone) return avrLine;
        return AvrPoint(blockStart);
    }
    std::size_t AvrPoint(std::size_t blockStart) const {
        return lastIndexLine != kNone ? lastIndexLine + 1 : blockStart;
    }
};

// The tabs of a line, eight bytes at a time: a year's table is some megabytes of them.
std::size_t CountTabs(std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u, kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    std::size_t count = 0, i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        const std::uint64_t x = word ^ (kOnes * kDailyCellSeparator);     // tab bytes become 0
        const std::uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);  // 0x80 in each zero byte
        count += static_cast<std::size_t>(((zero >> 7) * kOnes) >> 56);
    }
    for (; i < text.size(); ++i) count += text[i] == kDailyCellSeparator;
    return count;
}

void AppendNumber(std::string& out, std::uint64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendLabel(std::string& out, const Entry& entry) {
    switch (entry.label) {
        case Label::kDate: out += "Date"; break;
        case Label::kXIndex:
            out += 'X';
            AppendNumber(out, entry.index);
            break;
        case Label::kXAvr: out += "XAvr"; break;
        case Label::kYIndex:
            out += 'Y';
            AppendNumber(out, entry.index);
            break;
        case Label::kYAvr: out += "YAvr"; break;
        case Label::kOther: break;
    }
}

}  // namespace

std::string MergeDailyTable(std::string_view oldText, const DailySample& sample) {
    // What follows the last line end is no line.
    std::vector<OldLine> lines;
    std::size_t nWidth = 1, nFieldsTotal = 0;
    bool bAllBlank = true;
    for (std::size_t pos = 0; pos < oldText.size();) {
        const std::string_view text = NextDailyLine(oldText, pos);
        const std::size_t nFields = CountTabs(text) + 1;
        nWidth = std::max(nWidth, nFields);
        nFieldsTotal += nFields;
        bAllBlank = bAllBlank && text.empty();
        lines.push_back({text, nFields, {}});
    }
    // Nothing but line ends holds no table: the labelled first save.
    if (bAllBlank) {
        lines.clear();
        nFieldsTotal = 0;
    }

    Axis x(sample.x), y(sample.y);
    Axis* const axisOf[] = {nullptr, &x, &x, &y, &y, nullptr};  // by Label
    std::size_t dateLine = kNone;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = lines[i].text;
        Entry entry = ParseDailyLabel(text.substr(0, text.find(kDailyCellSeparator)));
        if (entry.label == Label::kDate) {
            if (dateLine != kNone) continue;
            dateLine = i;
        } else if (Axis* axis = axisOf[static_cast<int>(entry.label)]) {
            if (!axis->Take(entry, i)) continue;
            if (!axis->bToday || entry.index >= axis->Count()) continue;  // kept, no value today
        }
        lines[i].entry = entry;
    }
    x.FinishFirst();
    y.FinishFirst();

    // Today's rows the old table lacks, each with the old line it goes before.
    // Rows sharing a place keep the order Date, X.., XAvr, Y.., YAvr.
    std::vector<std::pair<std::size_t, Entry>> inserts;
    const std::size_t afterDate = dateLine != kNone ? dateLine + 1 : 0;
    if (dateLine == kNone) inserts.push_back({0, {Label::kDate, 0}});
    const auto insertMissing = [&](const Axis& axis, Label indexLabel, Label avrLabel, std::size_t block) {
        for (std::uint32_t j = 0; j < axis.Count(); ++j)
            if (axis.lineOf[j] == kNone) inserts.push_back({axis.IndexPoint(j, block), {indexLabel, j}});
        if (axis.bToday && axis.avrLine == kNone) inserts.push_back({axis.AvrPoint(block), {avrLabel, 0}});
    };
    insertMissing(x, Label::kXIndex, Label::kXAvr, y.firstLine != kNone ? y.firstLine : afterDate);
    insertMissing(y, Label::kYIndex, Label::kYAvr, x.lastLine != kNone ? x.lastLine + 1 : afterDate);
    std::stable_sort(inserts.begin(), inserts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    std::string out;
    const std::size_t nValueMax = std::max<std::size_t>(sample.date.size(), 10);
    out.reserve(oldText.size() + (lines.size() * nWidth - nFieldsTotal) + lines.size() * 3 +
                (lines.size() + inserts.size()) * nValueMax + inserts.size() * (nWidth + 16));
    const auto appendCell = [&](const Entry& entry) {
        out += kDailyCellSeparator;
        switch (entry.label) {
            case Label::kDate: out += sample.date; break;
            case Label::kXIndex: AppendNumber(out, x.values[entry.index]); break;
            case Label::kXAvr: AppendNumber(out, x.nAverage); break;
            case Label::kYIndex: AppendNumber(out, y.values[entry.index]); break;
            case Label::kYAvr: AppendNumber(out, y.nAverage); break;
            case Label::kOther: break;
        }
        out += "\r\n";
    };
    auto insert = inserts.begin();
    const auto insertUpTo = [&](std::size_t line) {
        for (; insert != inserts.end() && insert->first == line; ++insert) {
            AppendLabel(out, insert->second);
            out.append(nWidth - 1, kDailyCellSeparator);
            appendCell(insert->second);
        }
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        insertUpTo(i);
        out += lines[i].text;
        out.append(nWidth - lines[i].nFields, kDailyCellSeparator);
        appendCell(lines[i].entry);
    }
    insertUpTo(lines.size());
    return out;
}

DailyRow ParseDailyLabel(std::string_view field) {
    if (field == "Date") return {DailyLabel::kDate, 0};
    if (field.size() < 2 || (field[0] != 'X' && field[0] != 'Y')) return {};
    const bool bX = field[0] == 'X';
    const std::string_view rest = field.substr(1);
    if (rest == "Avr") return {bX ? DailyLabel::kXAvr : DailyLabel::kYAvr, 0};
    if (rest.size() > 9 || (rest.size() > 1 && rest[0] == '0')) return {};
    std::uint32_t index = 0;
    for (const char c : rest) {
        if (c < '0' || c > '9') return {};
        index = index * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return {bX ? DailyLabel::kXIndex : DailyLabel::kYIndex, index};
}

}  // namespace reports
