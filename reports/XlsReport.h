// The report file: a BIFF2 worksheet of text cells that spreadsheet programs
// open directly. The writer is stateless and writes to any byte sink, so the
// bytes are checked natively and the program decides where they go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reports {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const void* pData, std::size_t nBytes) = 0;
};

// Collects the bytes in memory.
class MemorySink : public ByteSink {
public:
    void Write(const void* pData, std::size_t nBytes) override;
    std::vector<std::uint8_t> bytes;
};

}  // namespace reports

// Records of the worksheet; every number little-endian.
class CXlsWriter {
public:
    // 09 00 04 00 02 00 10 00: version 2, a worksheet.
    void WriteBOF(reports::ByteSink& sink) const;
    // A text cell; row and column go out as their low 16 bits. A text longer
    // than 255 bytes is cut at 255, so the length byte and the record length agree.
    void WriteLabel(reports::ByteSink& sink, int nRow, int nCol, std::string_view text) const;
    // 0A 00 00 00.
    void WriteEOF(reports::ByteSink& sink) const;
};

namespace reports {

// The whole report of one sample: header row, the X block in columns 1-3 and
// the Y block in columns 5-7, each with its average over all samples (zeros
// included, integer division, values and averages written as unsigned
// decimals). A block is written only when its axis has samples summing to
// more than 0. Returns the number of data rows written
// (each one also gets an empty status line).
std::size_t WriteReport(ByteSink& sink, const CXlsWriter& writer, const std::vector<std::uint32_t>& xSamples,
                        const std::vector<std::uint32_t>& ySamples);

// The name offered in the Save As dialog: the time stamp in parentheses,
// "(2013-05-07-14-30)".
std::string ReportDefaultName(int nYear, int nMonth, int nDay, int nHour, int nMinute);

// A chosen path keeps its extension; without one it gets ".xls". Only the
// last path component counts ("C:\my.dir\report" has none). Trailing dots and
// blanks of that component are dropped first, as Windows would drop them when
// creating the file: "report." becomes "report.xls", not a file "report" that
// no spreadsheet program opens, and "report.xls." becomes "report.xls". A
// component of nothing but dots and blanks is returned as it is.
std::string WithReportExtension(std::string_view path);

}  // namespace reports
