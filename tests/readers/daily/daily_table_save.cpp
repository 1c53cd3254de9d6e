// daily_table_save FILE DATE XVALUES YVALUES: adds one day to the table in FILE.
// The value lists are comma-separated (empty for none), already scaled as the
// program scales them.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "reports/DailyTable.h"

namespace {

std::vector<std::uint32_t> Values(const std::string& list) {
    std::vector<std::uint32_t> values;
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, ',');) values.push_back(static_cast<std::uint32_t>(std::stoul(item)));
    return values;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: daily_table_save FILE DATE XVALUES YVALUES\n");
        return 2;
    }
    const std::string path = argv[1], temp = path + ".tmp";
    std::string old;
    if (std::ifstream in{path, std::ios::binary}) old.assign(std::istreambuf_iterator<char>(in), {});
    const std::string table = reports::MergeDailyTable(old, {argv[2], Values(argv[3]), Values(argv[4])});
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out.write(table.data(), static_cast<std::streamsize>(table.size()))) return 1;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0 ? 0 : 1;
}
