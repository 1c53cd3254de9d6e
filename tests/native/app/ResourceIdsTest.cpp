// The resource header and the dialog template must agree: unique ids, and the
// main template lists its controls in the order that is also the tab order.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {
std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::map<std::string, long> Defines() {
    std::map<std::string, long> ids;
    std::istringstream lines(Read(LUMAGRID_SOURCE_DIR "/app/resource.h"));
    std::regex define(R"(^#define\s+(ID[A-Z_0-9]+)\s+(0x[0-9A-Fa-f]+|\d+)\s*$)");
    std::string line;
    std::smatch m;
    while (std::getline(lines, line))
        if (std::regex_match(line, m, define)) ids[m[1]] = std::stol(m[2], nullptr, 0);
    return ids;
}

// Control ids of the main dialog template, in template order.
std::vector<long> MainTemplateIds() {
    std::string rc = Read(LUMAGRID_SOURCE_DIR "/app/Lumagrid.rc");
    size_t begin = rc.find("BEGIN", rc.find("IDD_LUMAGRID_DIALOG DIALOGEX"));
    size_t end = rc.find("\nEND", begin);
    std::istringstream body(rc.substr(begin, end - begin));
    std::regex control(
        R"((?:CONTROL\s+"[^"]*",|PUSHBUTTON\s+"[^"]*",|LTEXT\s+(?:"[^"]*"\s*|[A-Z_][A-Z_0-9]*\s*)+,|GROUPBOX\s+"[^"]*",|EDITTEXT\s+)(\d+),)");
    std::vector<long> ids;
    std::string line;
    std::smatch m;
    while (std::getline(body, line))
        if (std::regex_search(line, m, control)) ids.push_back(std::stol(m[1]));
    return ids;
}
}  // namespace

TEST(Resources, EveryIdOfAKindIsUnique) {
    std::map<std::string, long> ids = Defines();
    ASSERT_GT(ids.size(), 50u);
    std::map<std::string, std::map<long, std::string>> kinds;  // controls, strings, menu commands
    for (const auto& [name, value] : ids) {
        const std::string kind = name.substr(0, 4);
        if (kind != "IDC_" && kind != "IDS_" && kind != "IDM_") continue;
        auto [it, inserted] = kinds[kind].emplace(value, name);
        EXPECT_TRUE(inserted) << name << " repeats " << it->second << " = " << value;
        // The system keeps the low four bits of a system-menu command and the range from 0xF000.
        if (kind == "IDM_") {
            EXPECT_TRUE(value % 16 == 0 && value > 0 && value < 0xF000) << name;
        }
    }
    EXPECT_EQ(ids["IDD_LUMAGRID_DIALOG"], 102);
    EXPECT_EQ(ids["IDD_ABOUTBOX"], 100);
    EXPECT_EQ(ids["IDS_ABOUTBOX"], 101);
    EXPECT_EQ(ids["IDM_ABOUTBOX"], 0x10);
}

TEST(Resources, MainTemplateHoldsEveryControlOnceInLayoutOrder) {
    const std::vector<long> expected = {1015, 1011, 1012, 1016, 1013, 1014, 1010, 1002, 1017, 1001, 1000, 1019,
                                        1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1003, 1004, 1028, 1029,
                                        1030, 1031, 1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039, 1041, 1042,
                                        1018, 1043, 1045, 1046, 1047, 1048, 1049, 1051, 1050, 1052, 1053, 1054,
                                        1044, 1055, 1057, 1058, 1059, 1060, 1061, 1062};
    EXPECT_EQ(MainTemplateIds(), expected);
}
