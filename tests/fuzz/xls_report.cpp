// The report worksheet of any sample, any label and any chosen path. The bytes
// parse back record by record: BOF first, EOF last and exactly at the end, and
// in between LABEL records whose length byte is the record length - 8, at most
// 255, holding the cells the sample asks for. The Save As name keeps its
// folder and gets ".xls" only when its file name has no extension.
#include <fuzzer/FuzzedDataProvider.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "reports/XlsReport.h"

using namespace reports;

namespace {

struct Cell {
    unsigned row;
    unsigned col;
    std::string text;
    bool operator==(const Cell& o) const { return row == o.row && col == o.col && text == o.text; }
};

unsigned U16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

// The LABEL cells of a worksheet; every record must be whole and well formed.
std::vector<Cell> ParseWorksheet(const std::vector<std::uint8_t>& bytes) {
    static const std::uint8_t kBof[] = {0x09, 0x00, 0x04, 0x00, 0x02, 0x00, 0x10, 0x00};
    FUZZ_REQUIRE(bytes.size() >= sizeof kBof + 4 && std::memcmp(bytes.data(), kBof, sizeof kBof) == 0);
    std::vector<Cell> cells;
    std::size_t at = sizeof kBof;
    for (;;) {
        FUZZ_REQUIRE(at + 4 <= bytes.size());
        const unsigned type = U16(bytes, at), length = U16(bytes, at + 2);
        FUZZ_REQUIRE(at + 4 + length <= bytes.size());
        if (type == 0x000A) {
            FUZZ_REQUIRE(length == 0 && at + 4 == bytes.size());
            return cells;
        }
        FUZZ_REQUIRE(type == 0x0004 && length >= 8);
        const std::uint8_t* r = bytes.data() + at + 4;
        FUZZ_REQUIRE(r[4] == 0 && r[5] == 0 && r[6] == 0);
        FUZZ_REQUIRE(r[7] == length - 8 && r[7] <= 255);
        cells.push_back(
            {U16(bytes, at + 4), U16(bytes, at + 6), std::string(reinterpret_cast<const char*>(r + 8), r[7])});
        at += 4 + length;
    }
}

std::string Decimal(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "%" PRIu64, v);
    return text;
}

std::vector<std::uint32_t> Samples(FuzzedDataProvider& in) {
    std::vector<std::uint32_t> samples(in.ConsumeIntegralInRange<std::size_t>(0, 120));
    const bool bRaw = in.ConsumeBool();
    for (std::uint32_t& v : samples)
        v = bRaw ? in.ConsumeIntegral<std::uint32_t>() : in.ConsumeIntegral<std::uint8_t>() * 40u;
    return samples;
}

void ExpectBlock(std::vector<Cell>& cells, const std::vector<std::uint32_t>& samples, unsigned col, const char* axis,
                 std::size_t& rows) {
    std::uint64_t sum = 0;
    for (const std::uint32_t v : samples) sum += v;
    if (sum == 0) return;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const unsigned row = static_cast<unsigned>((i + 1) & 0xFFFF);
        cells.push_back({row, col, axis});
        cells.push_back({row, col + 1, Decimal(i)});
        cells.push_back({row, col + 2, Decimal(samples[i])});
    }
    const unsigned avrRow = static_cast<unsigned>((samples.size() + 2) & 0xFFFF);
    cells.push_back({avrRow, col, "Average :"});
    cells.push_back({avrRow, col + 2, Decimal(sum / samples.size())});
    rows += samples.size();
}

void CheckReport(FuzzedDataProvider& in) {
    const std::vector<std::uint32_t> x = Samples(in), y = Samples(in);
    MemorySink sink;
    const std::size_t rows = WriteReport(sink, CXlsWriter{}, x, y);
    std::vector<Cell> expected = {{0, 1, "X-Side"}, {0, 2, "index"}, {0, 3, "Value"},
                                  {0, 5, "Y-Side"}, {0, 6, "index"}, {0, 7, "Value"}};
    std::size_t expectedRows = 0;
    ExpectBlock(expected, x, 1, "X", expectedRows);
    ExpectBlock(expected, y, 5, "Y", expectedRows);
    FUZZ_REQUIRE(rows == expectedRows);
    FUZZ_REQUIRE(ParseWorksheet(sink.bytes) == expected);
}

// One record per label write, so a file sink never holds half a cell.
struct CountingSink : ByteSink {
    MemorySink memory;
    int writes = 0;
    void Write(const void* pData, std::size_t nBytes) override {
        ++writes;
        memory.Write(pData, nBytes);
    }
};

void CheckLabel(FuzzedDataProvider& in) {
    const int row = in.ConsumeIntegral<int>(), col = in.ConsumeIntegral<int>();
    const std::string text = in.ConsumeRandomLengthString(400);
    CountingSink sink;
    const CXlsWriter writer;
    writer.WriteBOF(sink.memory);
    writer.WriteLabel(sink, row, col, text);
    writer.WriteEOF(sink.memory);
    FUZZ_REQUIRE(sink.writes == 1);
    const std::vector<Cell> cells = ParseWorksheet(sink.memory.bytes);
    FUZZ_REQUIRE(cells.size() == 1);
    FUZZ_REQUIRE(cells[0].row == (static_cast<unsigned>(row) & 0xFFFF));
    FUZZ_REQUIRE(cells[0].col == (static_cast<unsigned>(col) & 0xFFFF));
    FUZZ_REQUIRE(cells[0].text == text.substr(0, 255));
}

void CheckNames(FuzzedDataProvider& in) {
    const std::string path = in.ConsumeRandomLengthString(300);
    const std::string chosen = WithReportExtension(path);
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // Folder untouched; the name loses only trailing dots and blanks, or all of it stays.
    FUZZ_REQUIRE(chosen.compare(0, nameStart, path, 0, nameStart) == 0);
    FUZZ_REQUIRE(chosen.find_first_of("\\/", nameStart) == std::string::npos);
    const std::string name = chosen.substr(nameStart);
    const std::string given = path.substr(nameStart);
    if (given.find_first_not_of(". ") == std::string::npos) {
        FUZZ_REQUIRE(chosen == path);
    } else {
        const std::string kept = given.substr(0, given.find_last_not_of(". ") + 1);
        const bool hasExtension = kept.find('.') != std::string::npos;
        FUZZ_REQUIRE(name == (hasExtension ? kept : kept + ".xls"));
    }
    FUZZ_REQUIRE(WithReportExtension(chosen) == chosen);

    int v[5];
    for (int& n : v) n = in.ConsumeIntegral<int>();
    const std::string stamp = ReportDefaultName(v[0], v[1], v[2], v[3], v[4]);
    int back[5], used = 0;
    FUZZ_REQUIRE(
        std::sscanf(stamp.c_str(), "(%d-%d-%d-%d-%d)%n", &back[0], &back[1], &back[2], &back[3], &back[4], &used) == 5);
    FUZZ_REQUIRE(used == static_cast<int>(stamp.size()));
    for (int i = 0; i < 5; ++i) FUZZ_REQUIRE(back[i] == v[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: CheckReport(in); break;
        case 1: CheckLabel(in); break;
        default: CheckNames(in); break;
    }
    return 0;
}
