// The wildcards of the trend's TABLE operands: what matches, in which order,
// what is read once, and what is named when nothing matches.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "console/TablePatterns.h"

namespace {

using namespace check;

TEST(TablePatterns, WhatAPatternMatches) {
    struct Case {
        const char* pattern;
        const char* name;
        bool bMatches;
    } cases[] = {
        {"*.txt", "Quorvane IR96_1.txt", true},
        {"*.txt", "a.TXT", true},            // Windows names: ASCII letters in either case
        {"*.txt", "a.txtx", false},          // no 8.3 short name "A~1.TXT" sneaks in
        {"*.txt", ".txt", true},             // '*' also matches nothing
        {"*_1.txt", "a_1.txt_1.txt", true},  // the later "_1.txt" after a false start
        {"*_1.txt", "a_12.txt", false},
        {"IR??_1.txt", "IR96_1.txt", true},
        {"IR??_1.txt", "IR960_1.txt", false},
        {"?_1.txt", "\xED\x95\x9C_1.txt", true},  // '?' is one character, here three UTF-8 bytes
        {"??_1.txt", "\xED\x95\x9C_1.txt", false},
        {"\xC3\xA4*", "\xC3\x84rger.txt", false},  // beyond ASCII the case counts
        {"*.*", "README", false},                  // no cmd.exe special case: a dot is a dot
        {"*", "anything at all", true},
        {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYcZ", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WildcardMatches(c.pattern, c.name), c.bMatches) << c.pattern << " ~ " << c.name;
}

TEST(TablePatterns, NameOrderIgnoresAsciiCaseThenTakesBytes) {
    std::vector<std::string> names = {"b_2.txt", "\xC3\x84_1.txt", "B_1.txt", "a_10.txt",
                                      "A_1.txt", "a_1.txt",        "_0.txt"};
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return NameLess(a, b); });
    // Letters fold to lower case, so '_' (0x5F) comes before them, as in Explorer.
    const std::vector<std::string> expected = {"_0.txt",  "A_1.txt", "a_1.txt",       "a_10.txt",
                                               "B_1.txt", "b_2.txt", "\xC3\x84_1.txt"};
    EXPECT_EQ(names, expected);
}

TEST(TablePatterns, OperandsExpandInOrderOnceEachWithTheFolderAsWritten) {
    const std::map<std::string, std::vector<std::string>> folders = {
        {"", {"Zeta_1.txt", "alpha_2.txt", "Alpha_1.txt", "trend.csv", "notes.doc"}},
        {"saves\\", {"b_1.txt", "a_1.txt"}},
        {"C:", {"c_1.txt"}},
    };
    std::vector<std::string> listed;
    const FolderLister list = [&](const std::string& folder, std::vector<std::string>& names, std::string& error) {
        listed.push_back(folder);
        const auto it = folders.find(folder);
        if (it == folders.end()) return error = "The system cannot find the path specified", false;
        names = it->second;
        return true;
    };

    const ExpandedTables t = ExpandTablePatterns({"alpha_2.txt", "*_?.txt", "ALPHA_1.TXT", "saves\\*.txt",
                                                  "missing_9.txt", "*.nothing", "nowhere/*.txt", "C:*_1.txt", "*"},
                                                 list, {"trend.csv"});
    const std::vector<std::string> expected = {"alpha_2.txt",    "Alpha_1.txt",   "Zeta_1.txt", "saves\\a_1.txt",
                                               "saves\\b_1.txt", "missing_9.txt", "C:c_1.txt",  "notes.doc"};
    EXPECT_EQ(t.paths, expected);
    ASSERT_EQ(t.errors.size(), 2u);
    EXPECT_EQ(t.errors[0], "no table matches *.nothing");
    EXPECT_EQ(t.errors[1], "cannot read nowhere/*.txt: The system cannot find the path specified");
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "nowhere/"), 1);

    // A pattern whose only match is an output matched nothing.
    EXPECT_EQ(ExpandTablePatterns({"*.csv"}, list, {"TREND.CSV"}).errors,
              std::vector<std::string>{"no table matches *.csv"});
}

}  // namespace
