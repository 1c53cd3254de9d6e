// The names of a dump-stream recording: offered and chosen.
#include <gtest/gtest.h>

#include "scope/RecordingName.h"

namespace {
bool Cp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
}  // namespace

TEST(RecordingName, OffersTheFramesNameFitForAFileWithTheLocalTime) {
    EXPECT_EQ(scope::RecordingDefaultName("FRAME-A/1234", 2013, 5, 7, 4, 3, 9, nullptr),
              "FRAME-A_1234_2013-05-07_04-03-09.lgrec");
    EXPECT_EQ(scope::RecordingDefaultName("a:b*c?\"<>|\t", 2024, 12, 31, 23, 59, 58, nullptr),
              "a_b_c_______2024-12-31_23-59-58.lgrec");
    // The trail byte of a double-byte character is no separator.
    EXPECT_EQ(scope::RecordingDefaultName("\x83\x5C/", 2024, 1, 2, 3, 4, 5, &Cp932Lead),
              "\x83\x5C__2024-01-02_03-04-05.lgrec");
    EXPECT_EQ(scope::RecordingDefaultName("", 2024, 1, 2, 3, 4, 5, nullptr), "_2024-01-02_03-04-05.lgrec");
}

TEST(RecordingName, ChosenPathGetsTheExtensionUnlessItHasIt) {
    const struct {
        const char* chosen;
        const char* expected;
    } cases[] = {
        {"C:\\rec\\site", "C:\\rec\\site.lgrec"},
        {"C:\\rec\\site.lgrec", "C:\\rec\\site.lgrec"},
        {"C:\\rec\\site.LGREC", "C:\\rec\\site.LGREC"},
        {"C:\\rec\\site.2024", "C:\\rec\\site.2024.lgrec"},  // a frame's name may hold dots
        {"C:\\rec.d\\site", "C:\\rec.d\\site.lgrec"},        // only the last component counts
        {"C:\\rec\\site. .", "C:\\rec\\site.lgrec"},         // Windows would drop them
        {"C:\\rec\\site.lgrec.", "C:\\rec\\site.lgrec"},
        {"C:/rec/lgrec", "C:/rec/lgrec.lgrec"},
        {"C:\\rec\\..", "C:\\rec\\.."},  // not a file name: left to fail
    };
    for (const auto& c : cases) EXPECT_EQ(scope::WithRecordingExtension(c.chosen), c.expected) << c.chosen;
}
