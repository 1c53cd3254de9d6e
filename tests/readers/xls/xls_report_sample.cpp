// Writes a report worksheet for the readers to open:
//   xls_report_sample report FILE XVALUES YVALUES    values comma-separated, "-" for none
//   xls_report_sample labels FILE ROW COL TEXT...    text cells as given, any length
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "reports/XlsReport.h"

namespace {

std::vector<std::uint32_t> ParseValues(const std::string& list) {
    std::vector<std::uint32_t> values;
    if (list == "-") return values;
    std::size_t at = 0;
    while (at <= list.size()) {
        std::size_t end = list.find(',', at);
        if (end == std::string::npos) end = list.size();
        values.push_back(static_cast<std::uint32_t>(std::strtoul(list.substr(at, end - at).c_str(), nullptr, 10)));
        at = end + 1;
    }
    return values;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: xls_report_sample report FILE XVALUES YVALUES\n"
                 "       xls_report_sample labels FILE ROW COL TEXT [ROW COL TEXT...]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string command = argv[1];
    reports::MemorySink sink;
    const CXlsWriter writer;
    if (command == "report" && argc == 5) {
        const std::size_t rows = reports::WriteReport(sink, writer, ParseValues(argv[3]), ParseValues(argv[4]));
        std::printf("%zu\n", rows);
    } else if (command == "labels" && argc >= 6 && (argc - 3) % 3 == 0) {
        writer.WriteBOF(sink);
        for (int i = 3; i + 2 < argc; i += 3)
            writer.WriteLabel(sink, std::atoi(argv[i]), std::atoi(argv[i + 1]), argv[i + 2]);
        writer.WriteEOF(sink);
    } else {
        return Usage();
    }
    std::FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    const bool written = std::fwrite(sink.bytes.data(), 1, sink.bytes.size(), file) == sink.bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
