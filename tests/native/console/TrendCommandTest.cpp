// The trend command over files in memory: exit codes, what it names, what it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "console/TrendCommand.h"
#include "reports/DailyTable.h"
#include "reports/DailyTableReader.h"
#include "text/Escape.h"
#include "trend/TrendOutputs.h"

namespace {

using namespace check;

// X7 sits at 200 of an average of (1800 + 6 * 1000 + 200) / 8 = 1000, 20 %, on both days.
std::string WeakTable() {
    std::string text = "Date\t2013:05:01\t2013:05:02\r\nX0\t1800\t1800\r\n";
    for (int i = 1; i < 8; ++i) text += "X" + std::to_string(i) + (i == 7 ? "\t200\t200\r\n" : "\t1000\t1000\r\n");
    return text + "XAvr\t1000\t1000\r\n";
}
const std::string kSoundTable =
    "Date\t2013:05:01\t2013:05:02\r\nX0\t1000\t1000\r\nX1\t1000\t1000\r\nXAvr\t1000\t1000\r\n";

struct Outcome {
    int code;
    std::string out, err;
    std::map<std::string, std::string> files;
};

Outcome RunWith(const std::vector<std::string>& args, std::map<std::string, std::string> files = {},
                const std::string& unwritable = "") {
    TrendEnvironment env;
    env.defaultThreshold = 33;
    env.readFile = [&](const std::string& path, std::string& bytes, std::string& error) {
        const auto it = files.find(path);
        if (it == files.end()) return error = "No such file or directory", false;
        bytes = it->second;
        return true;
    };
    env.writeFile = [&](const std::string& path, const std::string& bytes, std::string& error) {
        if (path == unwritable) return error = "Permission denied", false;
        files[path] = bytes;
        return true;
    };
    env.listFolder = [&](const std::string& folder, std::vector<std::string>& names, std::string&) {
        for (const auto& [path, bytes] : files)
            if (path.compare(0, folder.size(), folder) == 0 && path.find('/', folder.size()) == std::string::npos)
                names.push_back(path.substr(folder.size()));
        return true;
    };
    // As Windows names files: "./" and case make no other file.
    env.sameFile = [](const std::string& a, const std::string& b) {
        auto fold = [](std::string s) {
            if (s.compare(0, 2, "./") == 0) s.erase(0, 2);
            for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return s;
        };
        return fold(a) == fold(b);
    };
    reports::ParseTableDate("2026:12:10", env.today);
    std::ostringstream out, err;
    const int code = RunTrendCommand(args, env, out, err);
    return {code, out.str(), err.str(), files};
}

TEST(TrendCommand, ExitCodes) {
    const std::map<std::string, std::string> files = {
        {"weak_1.txt", WeakTable()}, {"sound_2.txt", kSoundTable}, {"notes.txt", "nothing here\r\n"}};
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* inErr;
    } cases[] = {
        {{"sound_2.txt"}, 0, ""},
        {{"weak_1.txt", "sound_2.txt"}, 1, ""},
        {{"sound_2.txt", "--threshold=101"}, 64, "--threshold"},
        {{"sound_2.txt", "--threshold", "33.5"}, 64, "--threshold"},
        {{"sound_2.txt", "--days", "0"}, 64, "--days"},
        {{"sound_2.txt", "--drop", "1e1"}, 64, "--drop"},
        {{"sound_2.txt", "--horizon"}, 64, "needs a value"},
        {{"sound_2.txt", "--frobnicate"}, 64, "unknown option \"--frobnicate\""},
        {{}, 64, "no table"},
        {{"sound_2.txt", "--csv", "sound_2.txt"}, 64, "--csv sound_2.txt is also a table"},
        {{"sound_2.txt", "--csv", "./sound_2.txt"}, 64, "--csv ./sound_2.txt is also a table (sound_2.txt)"},
        {{"sound_2.txt", "--svg", "SOUND_2.TXT"}, 64, "--svg SOUND_2.TXT is also a table (sound_2.txt)"},
        {{"sound_2.txt", "--csv", "t.out", "--svg", "./T.OUT"}, 64, "--csv and --svg name the same file"},
        {{"*_?.txt", "--csv", "./Weak_1.txt"}, 0, ""},  // a pattern never takes an output as a table
        {{"weak_1.txt", "missing_3.txt"}, 2, "cannot read missing_3.txt: No such file or directory"},
        {{"notes.txt"}, 2, "cannot read notes.txt: no Date row"},
        {{"sound_2.txt", "--csv", "out.csv"}, 0, ""},
        {{"sound_2.txt", "--svg", "locked.svg"}, 2, "cannot write locked.svg: Permission denied"},
        {{"--help", "--bogus"}, 0, ""},
        {{"*_?.txt"}, 1, ""},
        {{"sound_2.txt", "*.nothing"}, 2, "no table matches *.nothing"},
        {{"dir*/weak_1.txt"}, 64, "wildcards only in the file name, not in the folder: dir*/weak_1.txt"},
    };
    for (const Case& c : cases) {
        const Outcome run = RunWith(c.args, files, "locked.svg");
        const std::string what = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(run.code, c.code) << what << "\n" << run.err;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << what << "\n" << run.err;
        if (c.code == 64) {
            EXPECT_NE(run.err.find("usage: LumagridCheck trend"), std::string::npos) << what;
        }
    }
    // A table that cannot be read does not keep the others from their report.
    EXPECT_NE(RunWith({"weak_1.txt", "missing_3.txt"}, files).out.find("weak_1.txt: frame \"weak\", row 1"),
              std::string::npos);
    EXPECT_NE(RunWith({"--help"}).out.find("now 33"), std::string::npos);
}

TEST(TrendCommand, ReportNamesReceiversAsTheLedCheck) {
    const Outcome run = RunWith({"dir/weak_1.txt", "--threshold=15"}, {{"dir/weak_1.txt", WeakTable()}});
    EXPECT_EQ(run.code, 0) << run.out;  // 20 % is above 15 %
    const Outcome flagged = RunWith({"dir/weak_1.txt"}, {{"dir/weak_1.txt", WeakTable()}});
    EXPECT_EQ(flagged.code, 1);
    EXPECT_NE(flagged.out.find("X average (XAvr) 1000 on 2013:05:01, 1000 on 2013:05:02"), std::string::npos)
        << flagged.out;
    EXPECT_NE(flagged.out.find("1 of 8 receivers flagged"), std::string::npos) << flagged.out;
    const std::size_t line = flagged.out.find("  X7      R8      below");
    ASSERT_NE(line, std::string::npos) << flagged.out;
    EXPECT_NE(flagged.out.find("200    20.0 %", line), std::string::npos) << flagged.out;
}

TEST(TrendCommand, CsvAndSvgBytes) {
    const std::string name = "a,\"b\" <&>_4.txt";
    const Outcome run = RunWith({name, "--csv", "t.csv", "--svg=t.svg"}, {{name, WeakTable()}});
    ASSERT_EQ(run.code, 1) << run.err;
    const std::string& csv = run.files.at("t.csv");
    EXPECT_EQ(csv.compare(0, 3, "\xEF\xBB\xBF"), 0);
    // One header and one row per receiver, CR LF each; the name quoted with its quotes doubled.
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = csv.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    EXPECT_EQ(lines, 1u + 8u);
    EXPECT_NE(csv.find("\r\n\"a,\"\"b\"\" <&>_4.txt\",\"a,\"\"b\"\" "
                       "<&>\",4,X,X7,8,below,2,2013:05:01,2013:05:02,200,1000,330,20.00,"
                       "20.00,20.00,0.000,20.00,0.0,33,2013:05:01,1000,2013:05:02,1000,no\r\n"),
              std::string::npos)
        << csv;
    const std::string& svg = run.files.at("t.svg");
    EXPECT_NE(svg.find("a,&quot;b&quot; &lt;&amp;&gt;, row 4"), std::string::npos);
    EXPECT_EQ(svg.find("<&>"), std::string::npos);
}

// December 2026 up to the 11th (today is the 10th, a station may be a day
// ahead): X1 fades by 50 a day from 1000, X0 and X2 hold 1000, after `extra`
// Date cells with X1 at 1000.
std::string FadingTable(const std::vector<std::string>& extra = {}) {
    std::string date = "Date", x[3] = {"X0", "X1", "X2"};
    for (int d = 1; d <= 11; ++d) {
        date += trend::FormatText("\t2026:12:%02d", d);
        for (int r = 0; r < 3; ++r) x[r] += "\t" + std::to_string(r == 1 ? 1050 - 50 * d : 1000);
    }
    for (const std::string& cell : extra) {
        date += "\t" + cell;
        for (std::string& row : x) row += "\t1000";
    }
    return date + "\r\n" + x[0] + "\r\n" + x[1] + "\r\n" + x[2] + "\r\n";
}

TEST(TrendCommand, TablesAsEditorsAndClocksLeaveThem) {
    struct Case {
        const char* what;
        std::string table;
        int code;
        std::vector<const char*> inOut;
        const char* inErr;
    } cases[] = {
        {"as written", FadingTable(), 1, {"11 days from 2026:12:01 to 2026:12:11", "X1      R2      crossing"}, ""},
        {"a byte-order mark", "\xEF\xBB\xBF" + FadingTable(), 1, {"X1      R2      crossing"}, ""},
        {"dates no day can have",
         FadingTable({"9999:12:31", "2026:13:01", "2026:12:12"}),
         1,
         {"11 days from 2026:12:01 to 2026:12:11", "X1      R2      crossing",
          "warning: column 13 skipped: its date \"9999:12:31\" lies ahead of today",
          "warning: column 14 skipped: its date \"2026:13:01\" is no calendar date",
          "warning: column 15 skipped: its date \"2026:12:12\" lies ahead of today"},
         ""},
        {"only a Date row",
         "Date\t2026:12:01\t2026:12:02\r\n",
         2,
         {},
         "e_1.txt: not one receiver value above 0 on its 2 days"},
        {"every day all zero",
         "Date\t2026:12:01\r\nX0\t0\r\nX1\t0\r\nXAvr\t0\r\nY0\t0\r\n",
         2,
         {},
         "e_1.txt: not one receiver value above 0 on its 1 day"},
        {"only dates ahead", "Date\t9999:12:31\r\nX0\t5\r\n", 2, {}, "e_1.txt: its Date row holds no date"},
    };
    for (const Case& c : cases) {
        const Outcome run = RunWith({"e_1.txt"}, {{"e_1.txt", c.table}});
        EXPECT_EQ(run.code, c.code) << c.what << "\n" << run.out << run.err;
        for (const char* text : c.inOut) EXPECT_NE(run.out.find(text), std::string::npos) << c.what << "\n" << run.out;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << c.what << "\n" << run.err;
        if (c.code == 2) {
            EXPECT_EQ(run.out, "") << c.what;
        }
    }
}

// Every CSV row has the header's fields, whatever the receiver's status: a
// short or long row shifts every later column for a spreadsheet.
TEST(TrendCommand, EveryCsvRowHasTheHeadersFields) {
    std::string table = FadingTable();
    table += "X3\t" + std::string(10, '\t') + "\r\n";  // no value
    table += "X4";
    for (int d = 1; d <= 11; ++d) table += "\t0";  // dead
    table += "\r\nX5";
    for (int d = 1; d <= 11; ++d) table += "\t200";  // below
    table += "\r\nX6";
    for (int d = 1; d <= 11; ++d) table += d <= 4 ? "\t1500" : "\t1000";  // dropped (quoted with crossing)
    table += "\r\n";
    const Outcome run = RunWith({"e_1.txt", "--csv", "e.csv", "--drop", "15"}, {{"e_1.txt", table}});
    ASSERT_EQ(run.code, 1) << run.err;
    const auto fields = [](const std::string& line) {
        std::vector<std::string> result(1);
        bool bQuoted = false;
        for (const char c : line) {
            if (c == '"') bQuoted = !bQuoted;
            else if (c == ',' && !bQuoted) result.emplace_back();
            else result.back() += c;
        }
        return result;
    };
    const std::string& csv = run.files.at("e.csv");
    std::vector<std::vector<std::string>> rows;
    for (std::size_t at = 3, end; (end = csv.find("\r\n", at)) != std::string::npos; at = end + 2)
        rows.push_back(fields(csv.substr(at, end - at)));
    ASSERT_EQ(rows.size(), 1u + 7u);
    const std::vector<std::string>& header = rows[0];
    const std::size_t threshold = std::find(header.begin(), header.end(), "threshold_pct") - header.begin();
    ASSERT_LT(threshold, header.size());
    std::string statuses;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), header.size()) << rows[i][4] << " " << rows[i][6];
        EXPECT_EQ(rows[i][threshold], "33") << rows[i][4];
        statuses += rows[i][6] + "|";
    }
    EXPECT_EQ(statuses, "ok|crossing|ok|no value|dead|below|crossing, dropped|");
}

TEST(TrendCommand, XmlTextKeepsOnlyWhatXmlAllows) {
    EXPECT_EQ(text::XmlText("R&D <x> \"q\" 'a'"), "R&amp;D &lt;x&gt; &quot;q&quot; &apos;a&apos;");
    EXPECT_EQ(text::XmlText("\xEA\xB0\x80 \xC3\xA9"), "\xEA\xB0\x80 \xC3\xA9");  // Hangul and Latin kept
    const std::string kBad = "\xEF\xBF\xBD";
    EXPECT_EQ(text::XmlText(std::string("a\x01"
                                        "b",
                                        3)),
              "a" + kBad + "b");                                   // control character
    EXPECT_EQ(text::XmlText("\xB0\xA1"), kBad + kBad);             // CP949 bytes, not UTF-8
    EXPECT_EQ(text::XmlText("\xC0\xAF"), kBad + kBad);             // overlong "/"
    EXPECT_EQ(text::XmlText("\xED\xA0\x80"), kBad + kBad + kBad);  // a surrogate
    EXPECT_EQ(text::XmlText("\xE2\x82"), kBad + kBad);             // cut short
}

TEST(TrendCommand, TableNames) {
    const std::pair<const char*, trend::TableName> cases[] = {
        {"FRAME-A_1.txt", {"FRAME-A", 1}},
        {"C:\\tables\\My_Frame_12.txt", {"My_Frame", 12}},
        {"dir/table.txt", {"table", 0}},
        {"A_01.txt", {"A_01", 0}},
        {"_3.txt", {"_3", 0}},
        {"Quorvane IR96_1", {"Quorvane IR96", 1}},
    };
    for (const auto& [path, expected] : cases) {
        const trend::TableName name = trend::ParseTableName(path);
        EXPECT_EQ(name.frame, expected.frame) << path;
        EXPECT_EQ(name.row, expected.row) << path;
    }
}

// The portable file access: whole files, an error with its cause, nothing left behind.
TEST(TrendCommand, PortableEnvironment) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "lumagrid_trend_env_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const TrendEnvironment env = PortableTrendEnvironment();
    std::string bytes, error;
    const std::string path = (dir / "out.csv").string();
    ASSERT_TRUE(env.writeFile(path, "old", error)) << error;
    ASSERT_TRUE(env.writeFile(path, std::string("a\0b\r\n", 5), error)) << error;
    ASSERT_TRUE(env.readFile(path, bytes, error)) << error;
    EXPECT_EQ(bytes, std::string("a\0b\r\n", 5));
    EXPECT_FALSE(env.readFile((dir / "missing.txt").string(), bytes, error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(env.writeFile((dir / "no" / "such.svg").string(), "x", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::create_directories(dir / "sub_1.txt");
    std::vector<std::string> names;
    ASSERT_TRUE(env.listFolder(dir.string() + "/", names, error)) << error;
    EXPECT_EQ(names, std::vector<std::string>{"out.csv"});  // files only
    EXPECT_FALSE(env.listFolder((dir / "no").string(), names, error));
    fs::remove_all(dir);
}

}  // namespace
