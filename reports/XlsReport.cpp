#include "reports/XlsReport.h"

#include <array>
#include <cinttypes>
#include <cstdio>

namespace reports {

void MemorySink::Write(const void* pData, std::size_t nBytes) {
    if (pData == nullptr || nBytes == 0) return;
    const auto* p = static_cast<const std::uint8_t*>(pData);
    bytes.insert(bytes.end(), p, p + nBytes);
}

}  // namespace reports

namespace {

constexpr std::size_t kMaxLabelBytes = 255;  // one length byte

void PutU16(std::uint8_t* p, unsigned value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFFu);
    p[1] = static_cast<std::uint8_t>((value >> 8) & 0xFFu);
}

}  // namespace

void CXlsWriter::WriteBOF(reports::ByteSink& sink) const {
    static const std::uint8_t kBof[] = {0x09, 0x00, 0x04, 0x00, 0x02, 0x00, 0x10, 0x00};
    sink.Write(kBof, sizeof kBof);
}

void CXlsWriter::WriteLabel(reports::ByteSink& sink, int nRow, int nCol, std::string_view text) const {
    const std::size_t nText = text.size() < kMaxLabelBytes ? text.size() : kMaxLabelBytes;
    // One write per record, so a file sink never holds half a cell.
    std::array<std::uint8_t, 12 + kMaxLabelBytes> record{};
    PutU16(&record[0], 0x0004);
    PutU16(&record[2], static_cast<unsigned>(nText + 8));
    PutU16(&record[4], static_cast<unsigned>(nRow) & 0xFFFFu);
    PutU16(&record[6], static_cast<unsigned>(nCol) & 0xFFFFu);
    // record[8..10]: cell attributes, all zero
    record[11] = static_cast<std::uint8_t>(nText);
    for (std::size_t i = 0; i < nText; ++i) record[12 + i] = static_cast<std::uint8_t>(text[i]);
    sink.Write(record.data(), 12 + nText);
}

void CXlsWriter::WriteEOF(reports::ByteSink& sink) const {
    static const std::uint8_t kEof[] = {0x0A, 0x00, 0x00, 0x00};
    sink.Write(kEof, sizeof kEof);
}

namespace reports {

namespace {

int CellRow(std::size_t row) { return static_cast<int>(row & 0xFFFFu); }

std::string Decimal(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%" PRIu64, value);
    return text;
}

// One axis: the sample rows below the header and the average two rows after
// the last one. Returns the number of sample rows written.
std::size_t WriteBlock(ByteSink& sink, const CXlsWriter& writer, const std::vector<std::uint32_t>& samples,
                       int nFirstCol, const char* pAxis) {
    std::uint64_t sum = 0;  // a few large 32-bit values already overflow 32 bits
    for (const std::uint32_t value : samples) sum += value;
    if (samples.empty() || sum == 0) return 0;

    const std::size_t n = samples.size();
    for (std::size_t i = 0; i < n; ++i) {
        writer.WriteLabel(sink, CellRow(i + 1), nFirstCol, pAxis);
        writer.WriteLabel(sink, CellRow(i + 1), nFirstCol + 1, Decimal(i));
        writer.WriteLabel(sink, CellRow(i + 1), nFirstCol + 2, Decimal(samples[i]));
    }
    writer.WriteLabel(sink, CellRow(n + 2), nFirstCol, "Average :");
    writer.WriteLabel(sink, CellRow(n + 2), nFirstCol + 2, Decimal(sum / n));
    return n;
}

}  // namespace

std::size_t WriteReport(ByteSink& sink, const CXlsWriter& writer, const std::vector<std::uint32_t>& xSamples,
                        const std::vector<std::uint32_t>& ySamples) {
    writer.WriteBOF(sink);
    static const char* const kHeader[] = {"X-Side", "index", "Value", "Y-Side", "index", "Value"};
    static const int kHeaderCols[] = {1, 2, 3, 5, 6, 7};
    for (int i = 0; i < 6; ++i) writer.WriteLabel(sink, 0, kHeaderCols[i], kHeader[i]);
    std::size_t nRows = WriteBlock(sink, writer, xSamples, 1, "X");
    nRows += WriteBlock(sink, writer, ySamples, 5, "Y");
    writer.WriteEOF(sink);
    return nRows;
}

std::string ReportDefaultName(int nYear, int nMonth, int nDay, int nHour, int nMinute) {
    char name[80];
    std::snprintf(name, sizeof name, "(%04d-%02d-%02d-%02d-%02d)", nYear, nMonth, nDay, nHour, nMinute);
    return name;
}

std::string WithReportExtension(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    // Windows drops trailing dots and blanks from a file name, so "report." would
    // become a file "report" that no spreadsheet program opens on a double click.
    std::size_t nameEnd = path.size();
    while (nameEnd > nameStart && (path[nameEnd - 1] == '.' || path[nameEnd - 1] == ' ')) --nameEnd;
    if (nameEnd == nameStart) return std::string(path);  // nothing but dots and blanks: not ours to fix
    std::string result(path.substr(0, nameEnd));
    if (path.substr(nameStart, nameEnd - nameStart).find('.') == std::string_view::npos) result += ".xls";
    return result;
}

}  // namespace reports
