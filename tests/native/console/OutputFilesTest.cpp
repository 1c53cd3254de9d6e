// Which files a run refuses to write: two outputs that are one file, and the
// recording the substitute library plays.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "console/OutputFiles.h"
#include "recording/Recording.h"

namespace {

using namespace check;

TEST(OutputFiles, IdentityWinsOverSpellingAndPathsDecideOnlyForFilesNotThereYet) {
    const FileIdentity table{true, 7, 42, "Z:\\T\\T_1.TXT"};
    struct Case {
        FileIdentity other;
        bool bSame;
        const char* what;
    } cases[] = {
        {{true, 7, 42, "Z:\\LINK\\T_1.TXT"}, true, "another name of the same file (a hard link, another drive letter)"},
        {{true, 8, 42, "Z:\\T\\T_1.TXT"}, false, "the same index on another volume"},
        {{true, 7, 43, "Z:\\T\\T_1.TXT"}, false, "another file now at that path"},
        {{false, 0, 0, "Z:\\T\\T_1.TXT"}, true, "not there yet, the same full path"},
        {{false, 0, 0, "Z:\\T\\T_2.TXT"}, false, "not there yet, another path"},
        {{false, 0, 0, ""}, false, "a name that cannot be resolved"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SameFileIdentity(table, c.other), c.bSame) << c.what;
        EXPECT_EQ(SameFileIdentity(c.other, table), c.bSame) << c.what;
    }
    EXPECT_FALSE(SameFileIdentity({}, {})) << "two unresolved names";
}

TEST(OutputFiles, FirstPairOfOneFileIsNamed) {
    // Case and "./" do not make another file here.
    const SameFileFn same = [](const std::string& a, const std::string& b) {
        auto fold = [](std::string s) {
            if (s.compare(0, 2, "./") == 0) s.erase(0, 2);
            for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return s;
        };
        return fold(a) == fold(b);
    };
    struct Case {
        std::vector<NamedFile> files;
        const char* error;
    } cases[] = {
        {{{"--json", "r.json"}, {"--junit", "r.xml"}, {"--log", "r.csv"}}, ""},
        {{{"--json", ""}, {"--junit", ""}, {"--log", "r.csv"}}, ""},
        {{{"--json", "r"}, {"--junit", "r"}, {"--log", ""}}, "--json and --junit name the same file (r)"},
        {{{"--json", "r.json"}, {"--junit", "r.xml"}, {"--log", "./R.JSON"}},
         "--json and --log name the same file (r.json and ./R.JSON)"},
        {{{"--json", "a"}, {"--junit", "b"}, {"--log", "b"}}, "--junit and --log name the same file (b)"},
    };
    for (const Case& c : cases) EXPECT_EQ(SharedFileError(c.files, same), c.error);
}

TEST(OutputFiles, RecordingsTheSubstituteLibraryPlays) {
    const std::string magic(reinterpret_cast<const char*>(recording::kMagic), recording::kMagicBytes);
    const std::map<std::string, std::string> files = {
        {"C:\\rec\\site", magic + "rest"},
        {"C:\\scn\\bench.scn",
         "\xEF\xBB\xBFrate = 20\r\n[frame]\r\nrecording = site.lgrec\r\n# recording = old.lgrec\r\n"
         "[frame]\r\n  recording=D:\\far\\b.LGREC  \r\n[frame]\r\nrecording = /tmp/c.lgrec\r\n"},
        {"bare.scn", "[frame]\nrecording = here.lgrec\n"},
        {"first.scn", "recording = first.lgrec\n[frame]\nname = A\n"},
    };
    const ReadFileFn read = [&](const std::string& path, std::string& bytes, std::string& error) {
        const auto it = files.find(path);
        if (it == files.end()) return error = "missing", false;
        bytes = it->second;
        return true;
    };
    struct Case {
        std::string sim;
        std::vector<std::string> played;
    } cases[] = {
        {"", {}},
        {"C:\\rec\\Site-12.LgRec", {"C:\\rec\\Site-12.LgRec"}},  // by its name, read or not
        {"C:\\rec\\site", {"C:\\rec\\site"}},                    // by its first bytes
        {"C:\\scn\\bench.scn", {"C:\\scn\\site.lgrec", "D:\\far\\b.LGREC", "/tmp/c.lgrec"}},
        {"bare.scn", {"here.lgrec"}},
        {"first.scn", {"first.lgrec"}},  // wherever it stands: a name too many refuses one output more
        {"missing.scn", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(RecordingsPlayed(c.sim, read), c.played) << c.sim;
}

}  // namespace
