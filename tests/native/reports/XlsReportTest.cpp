#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "reports/XlsReport.h"

namespace {

using reports::MemorySink;
using Bytes = std::vector<std::uint8_t>;
using Cell = std::tuple<int, int, std::string>;

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

unsigned U16(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

// Reads the worksheet back, failing the test on any record that is not
// BOF first, well-formed LABELs, EOF last.
std::vector<Cell> Cells(const Bytes& b) {
    std::vector<Cell> cells;
    const Bytes bof = {0x09, 0x00, 0x04, 0x00, 0x02, 0x00, 0x10, 0x00};
    if (b.size() < 12 || !std::equal(bof.begin(), bof.end(), b.begin())) {
        ADD_FAILURE() << "no BOF";
        return cells;
    }
    std::size_t at = 8;
    while (at + 4 <= b.size()) {
        const unsigned type = U16(b, at), length = U16(b, at + 2);
        if (type == 0x000A) {
            EXPECT_EQ(length, 0u);
            EXPECT_EQ(at + 4, b.size()) << "bytes after EOF";
            return cells;
        }
        if (type != 0x0004 || length < 8 || at + 4 + length > b.size()) break;
        EXPECT_EQ(b[at + 8] | b[at + 9] | b[at + 10], 0) << "attributes";
        EXPECT_EQ(length, 8u + b[at + 11]) << "length byte disagrees with the record";
        cells.emplace_back(U16(b, at + 4), U16(b, at + 6),
                           std::string(b.begin() + at + 12, b.begin() + at + 4 + length));
        at += 4 + length;
    }
    ADD_FAILURE() << "malformed record or no EOF at byte " << at;
    return cells;
}

Bytes Report(const std::vector<std::uint32_t>& x, const std::vector<std::uint32_t>& y, std::size_t* pRows = nullptr) {
    MemorySink sink;
    const std::size_t rows = reports::WriteReport(sink, CXlsWriter{}, x, y);
    if (pRows) *pRows = rows;
    return sink.bytes;
}

TEST(XlsReport, EmptyAxesWriteTheHeaderRowOnly) {
    const Bytes expected =
        ToBytes(std::string("\x09\x00\x04\x00\x02\x00\x10\x00"
                            "\x04\x00\x0E\x00\x00\x00\x01\x00\x00\x00\x00\x06"
                            "X-Side"
                            "\x04\x00\x0D\x00\x00\x00\x02\x00\x00\x00\x00\x05"
                            "index"
                            "\x04\x00\x0D\x00\x00\x00\x03\x00\x00\x00\x00\x05"
                            "Value"
                            "\x04\x00\x0E\x00\x00\x00\x05\x00\x00\x00\x00\x06"
                            "Y-Side"
                            "\x04\x00\x0D\x00\x00\x00\x06\x00\x00\x00\x00\x05"
                            "index"
                            "\x04\x00\x0D\x00\x00\x00\x07\x00\x00\x00\x00\x05"
                            "Value"
                            "\x0A\x00\x00\x00",
                            116));
    // None collected and all zero look the same: no block, no average.
    const std::vector<std::vector<std::uint32_t>> empties = {{}, {0}, {0, 0, 0}};
    for (const auto& x : empties) {
        for (const auto& y : empties) {
            std::size_t rows = 99;
            EXPECT_EQ(Report(x, y, &rows), expected) << x.size() << " x " << y.size();
            EXPECT_EQ(rows, 0u);
        }
    }
}

TEST(XlsReport, CellsInOrderWithAveragesOverAllSamples) {
    const std::vector<Cell> header = {{0, 1, "X-Side"}, {0, 2, "index"}, {0, 3, "Value"},
                                      {0, 5, "Y-Side"}, {0, 6, "index"}, {0, 7, "Value"}};
    const std::vector<Cell> xBlock = {{1, 1, "X"}, {1, 2, "0"},         {1, 3, "40"}, {2, 1, "X"},
                                      {2, 2, "1"}, {2, 3, "80"},        {3, 1, "X"},  {3, 2, "2"},
                                      {3, 3, "0"}, {5, 1, "Average :"}, {5, 3, "40"}};
    // 7 / 2 rounds down; the Y block's rows are counted from its own length.
    const std::vector<Cell> yBlock = {{1, 5, "Y"}, {1, 6, "0"}, {1, 7, "0"},         {2, 5, "Y"},
                                      {2, 6, "1"}, {2, 7, "7"}, {4, 5, "Average :"}, {4, 7, "3"}};
    auto join = [&](std::vector<Cell> a, const std::vector<Cell>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct Case {
        std::vector<std::uint32_t> x, y;
        std::vector<Cell> cells;
        std::size_t rows;
    };
    const Case cases[] = {
        {{40, 80, 0}, {0, 7}, join(join(header, xBlock), yBlock), 5},
        {{40, 80, 0}, {0, 0}, join(header, xBlock), 3},
        {{0, 0, 0}, {0, 7}, join(header, yBlock), 2},
    };
    for (const Case& c : cases) {
        std::size_t rows = 0;
        EXPECT_EQ(Cells(Report(c.x, c.y, &rows)), c.cells) << c.x.size() << " x " << c.y.size();
        EXPECT_EQ(rows, c.rows);
    }
}

TEST(XlsReport, AverageRecordBytes) {
    const Bytes bytes = Report({40, 80, 0}, {});
    const Bytes average =
        ToBytes(std::string("\x04\x00\x11\x00\x05\x00\x01\x00\x00\x00\x00\x09"
                            "Average :",
                            21));
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), average.begin(), average.end()), bytes.end());
}

TEST(XlsReport, ValuesAreUnsignedAndSummedIn64Bits) {
    const std::uint32_t max = 0xFFFFFFFFu;
    const auto cells = Cells(Report({max, max, 1}, {}));
    ASSERT_EQ(cells.size(), 6u + 9u + 2u);
    EXPECT_EQ(cells[8], Cell(1, 3, "4294967295"));
    EXPECT_EQ(cells[16], Cell(5, 3, "2863311530"));  // (2 * max + 1) / 3
}

TEST(XlsLabel, LongTextsAreCutSoTheRecordStaysWellFormed) {
    for (const std::size_t length : {0u, 9u, 254u, 255u, 256u, 1000u}) {
        std::string text(length, 'a');
        for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + i % 26);
        MemorySink sink;
        CXlsWriter{}.WriteLabel(sink, 3, 4, text);
        const std::size_t kept = length < 255 ? length : 255;
        ASSERT_EQ(sink.bytes.size(), 12 + kept) << length;
        EXPECT_EQ(U16(sink.bytes, 2), 8 + kept) << length;
        EXPECT_EQ(sink.bytes[11], kept) << length;
        EXPECT_EQ(std::string(sink.bytes.begin() + 12, sink.bytes.end()), text.substr(0, kept)) << length;
    }
}

TEST(XlsLabel, RowAndColumnGoOutAsTheirLow16Bits) {
    struct Case {
        int row, col;
        unsigned rowOut, colOut;
    };
    const Case cases[] = {{0, 0, 0, 0},
                          {0x1234, 0xFEDC, 0x1234, 0xFEDC},
                          {65535, 1, 65535, 1},
                          {65536 + 3, 70000, 3, 70000 - 65536},
                          {-1, -65536, 0xFFFF, 0}};
    for (const Case& c : cases) {
        MemorySink sink;
        CXlsWriter{}.WriteLabel(sink, c.row, c.col, "v");
        ASSERT_EQ(sink.bytes.size(), 13u);
        EXPECT_EQ(U16(sink.bytes, 0), 0x0004u);
        EXPECT_EQ(U16(sink.bytes, 4), c.rowOut) << c.row;
        EXPECT_EQ(U16(sink.bytes, 6), c.colOut) << c.col;
    }
}

TEST(ReportFileName, DefaultNameAndExtension) {
    EXPECT_EQ(reports::ReportDefaultName(2013, 5, 7, 14, 30), "(2013-05-07-14-30)");
    EXPECT_EQ(reports::ReportDefaultName(987, 12, 31, 0, 5), "(0987-12-31-00-05)");
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\reports\\frame", "C:\\reports\\frame.xls"},
        {"C:\\my.dir\\report", "C:\\my.dir\\report.xls"},  // only the file name counts
        {"C:/my.dir/report", "C:/my.dir/report.xls"},
        {"C:\\reports\\frame.xls", "C:\\reports\\frame.xls"},
        {"C:\\reports\\frame.XLS", "C:\\reports\\frame.XLS"},
        {"C:\\reports\\frame.txt", "C:\\reports\\frame.txt"},
        {"C:\\reports\\(2013-05-07-14-30)", "C:\\reports\\(2013-05-07-14-30).xls"},
        {"C:\\reports\\frame.", "C:\\reports\\frame.xls"},  // Windows would drop the dot
        {"C:\\reports\\frame .. ", "C:\\reports\\frame.xls"},
        {"C:\\reports\\frame.xls.", "C:\\reports\\frame.xls"},
        {"C:\\reports\\a.b.c", "C:\\reports\\a.b.c"},
        {"report", "report.xls"},
        {"C:\\reports\\", "C:\\reports\\"},
    };
    for (const auto& [path, expected] : cases) EXPECT_EQ(reports::WithReportExtension(path), expected) << path;
}

}  // namespace
