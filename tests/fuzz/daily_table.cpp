// The daily save over whatever the old table file holds (someone may have
// edited it, or another program written it) and a sample of any shape. The new
// table is a rectangle of CR LF lines; every old line keeps its cells, its
// order and gets one new cell; the rows it lacked come with empty cells for
// the earlier days; the first row of each label of the day holds its value,
// every other row an empty cell. The file name holds no character a file name
// cannot hold, in any double-byte code page.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "reports/DailyTable.h"

using namespace reports;

namespace {

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// The old table's lines: ended by CR LF, LF or a lone CR; a last line needs no
// end, but nothing after the last end is a line. Only blank lines: no table.
std::vector<std::string_view> OldLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    bool blank = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        blank = blank && i == start;
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
        blank = false;
    }
    if (blank) lines.clear();
    return lines;
}

// Today's rows: the date, and per axis of the day its values and average.
// Row() tells the cell the first row of a label gets today, and where it is
// marked as seen; labels not of today give nothing.
class Today {
public:
    explicit Today(const DailySample& sample) : x_(sample.x), y_(sample.y), date_(sample.date) {}

    char* Row(std::string_view label, std::string& cell) {
        if (label == "Date") {
            cell = date_;
            return &seenDate_;
        }
        if (label.size() < 2 || (label[0] != 'X' && label[0] != 'Y')) return nullptr;
        Axis& axis = label[0] == 'X' ? x_ : y_;
        if (!axis.bToday) return nullptr;
        const std::string_view rest = label.substr(1);
        if (rest == "Avr") {
            cell = std::to_string(axis.nAverage);
            return &axis.seenAverage;
        }
        if (rest.size() > 9 || (rest.size() > 1 && rest[0] == '0')) return nullptr;
        std::size_t index = 0;
        for (const char c : rest) {
            if (c < '0' || c > '9') return nullptr;
            index = index * 10 + static_cast<std::size_t>(c - '0');
        }
        if (index >= axis.values.size()) return nullptr;
        cell = std::to_string(axis.values[index]);
        return &axis.seen[index];
    }
    std::size_t Rows() const { return 1 + x_.Rows() + y_.Rows(); }

private:
    struct Axis {
        const std::vector<std::uint32_t>& values;
        bool bToday = false;
        std::uint64_t nAverage = 0;
        std::vector<char> seen;
        char seenAverage = 0;
        explicit Axis(const std::vector<std::uint32_t>& v) : values(v), seen(v.size(), 0) {
            std::uint64_t sum = 0;
            for (const std::uint32_t value : values) sum += value;
            bToday = sum > 0;
            if (bToday) nAverage = sum / values.size();
        }
        std::size_t Rows() const { return bToday ? values.size() + 1 : 0; }
    };
    Axis x_, y_;
    const std::string& date_;
    char seenDate_ = 0;
};

std::size_t Fields(std::string_view line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), '\t')) + 1;
}

void CheckMerge(std::string_view oldText, const DailySample& sample) {
    const std::string merged = MergeDailyTable(oldText, sample);
    const std::vector<std::string_view> old = OldLines(oldText);

    // CR LF lines, no other line end; all of one width.
    FUZZ_REQUIRE(merged.size() >= 2 && merged.compare(merged.size() - 2, 2, "\r\n") == 0);
    std::vector<std::string_view> lines = Split(merged, '\n');
    lines.pop_back();  // after the last line end
    std::size_t oldWidth = 1;
    for (const std::string_view line : old) oldWidth = std::max(oldWidth, Fields(line));
    for (std::string_view& line : lines) {
        FUZZ_REQUIRE(!line.empty() && line.back() == '\r');
        line.remove_suffix(1);
        FUZZ_REQUIRE(line.find('\r') == std::string_view::npos);
        FUZZ_REQUIRE(Fields(line) == oldWidth + 1);
    }

    Today today(sample);
    std::size_t seen = 0, next = 0;  // next: the next old line to find
    std::string cell;
    for (const std::string_view line : lines) {
        const std::size_t lastTab = line.rfind('\t');
        const std::string_view kept = line.substr(0, lastTab);
        const std::string_view label = kept.substr(0, kept.find('\t'));
        char* const pSeen = today.Row(label, cell);
        if (next < old.size() && kept.substr(0, old[next].size()) == old[next] &&
            kept.find_first_not_of('\t', old[next].size()) == std::string_view::npos) {
            ++next;  // an old line, padded with empty cells
        } else {
            // A row the old table lacked: a label of today, no cells for the earlier days.
            FUZZ_REQUIRE(pSeen && !*pSeen);
            FUZZ_REQUIRE(kept.size() == label.size() + oldWidth - 1);
        }
        const bool first = pSeen && !*pSeen;
        FUZZ_REQUIRE(line.substr(lastTab + 1) == (first ? std::string_view(cell) : std::string_view()));
        if (first) {
            *pSeen = 1;
            ++seen;
        }
    }
    FUZZ_REQUIRE(next == old.size());
    FUZZ_REQUIRE(seen == today.Rows());
}

std::bitset<256> g_leadBytes;
bool IsLead(unsigned char c) { return g_leadBytes[c]; }
bool Forbidden(unsigned char c) { return c < 0x20 || c == 0x7F || std::strchr("\\/:*?\"<>|", c) != nullptr; }

void CheckFileName(FuzzedDataProvider& in) {
    g_leadBytes.reset();
    const unsigned first = in.ConsumeIntegralInRange(0x80u, 0xFFu);
    const unsigned last = in.ConsumeIntegralInRange(first, 0xFFu);
    for (unsigned c = first; c <= last; ++c) g_leadBytes[c] = true;  // real lead bytes lie above 0x7F
    const LeadByteFn isLead = in.ConsumeBool() ? &IsLead : nullptr;
    const int index = in.ConsumeIntegral<int>();
    const std::string section = in.ConsumeRandomLengthString(300);

    const std::string name = DailyFileName(section, index, isLead);
    const std::string suffix = "_" + std::to_string(index) + ".txt";
    FUZZ_REQUIRE(name.size() == section.size() + suffix.size());
    FUZZ_REQUIRE(name.compare(section.size(), std::string::npos, suffix) == 0);
    // Every byte kept or a forbidden one made "_"; and read as the file system
    // reads it (a lead byte takes a trail byte along), no character standing
    // alone is forbidden.
    for (std::size_t i = 0; i < section.size(); ++i)
        FUZZ_REQUIRE(name[i] == section[i] || (name[i] == '_' && Forbidden(static_cast<unsigned char>(section[i]))));
    for (std::size_t i = 0; i < section.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (isLead && isLead(c) && i + 1 < section.size()) {
            const auto t = static_cast<unsigned char>(name[i + 1]);
            if (t >= 0x40 && t != 0x7F) {
                ++i;
                continue;
            }
        }
        FUZZ_REQUIRE(!Forbidden(c));
    }

    int y = in.ConsumeIntegral<int>(), m = in.ConsumeIntegral<int>(), d = in.ConsumeIntegral<int>();
    const std::string date = DailyDateText(y, m, d);
    int back[3], used = 0;
    FUZZ_REQUIRE(std::sscanf(date.c_str(), "%d:%d:%d%n", &back[0], &back[1], &back[2], &used) == 3);
    FUZZ_REQUIRE(used == static_cast<int>(date.size()) && back[0] == y && back[1] == m && back[2] == d);
}

std::vector<std::uint32_t> Values(FuzzedDataProvider& in) {
    std::vector<std::uint32_t> values(in.ConsumeIntegralInRange<std::size_t>(0, 100));
    const bool bRaw = in.ConsumeIntegralInRange(0, 7) == 0;
    for (std::uint32_t& v : values)
        v = bRaw ? in.ConsumeIntegral<std::uint32_t>() : in.ConsumeIntegral<std::uint8_t>() * 40u;
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeIntegralInRange(0, 7) == 0) {
        CheckFileName(in);
        return 0;
    }
    DailySample sample;
    sample.date = in.ConsumeRandomLengthString(24);
    for (char& c : sample.date)
        if (c == '\t' || c == '\r' || c == '\n') c = ':';  // the caller's dates hold none
    sample.x = Values(in);
    sample.y = Values(in);
    // The rest is the old file, so a seed holds a real table after a short head.
    const std::string oldText = in.ConsumeRemainingBytesAsString();
    CheckMerge(oldText, sample);
    return 0;
}
