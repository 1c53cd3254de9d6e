#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "reports/SettingsRules.h"

namespace {

using namespace settings;

// Shift-JIS / CP949-like code page: 0x81..0xFE open a double-byte character.
bool DbcsLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool NoLead(unsigned char) { return false; }

TEST(DeviceSectionName, CutsBeforeASlashAfterTheFirstCharacter) {
    EXPECT_EQ(GetDeviceSectionName("FRAME-A/1234", DbcsLead), "FRAME-A");
    EXPECT_EQ(GetDeviceSectionName("A/B/C", DbcsLead), "A");
    EXPECT_EQ(GetDeviceSectionName("/1234", DbcsLead), "/1234");
    EXPECT_EQ(GetDeviceSectionName("/12/34", DbcsLead), "/12/34");  // the first "/" decides
    EXPECT_EQ(GetDeviceSectionName("FRAME-A", DbcsLead), "FRAME-A");
    EXPECT_EQ(GetDeviceSectionName("", DbcsLead), "");
    EXPECT_EQ(GetDeviceSectionName("FRAME-A/1234", nullptr), "FRAME-A");
}

TEST(DeviceSectionName, SecondByteOfADoubleByteCharacterIsNoSlash) {
    // 0x82 0x2F is one character; the real separator comes later.
    const std::string name = "\x82/PANEL/7";
    EXPECT_EQ(GetDeviceSectionName(name, DbcsLead), "\x82/PANEL");
    EXPECT_EQ(GetDeviceSectionName(name, NoLead), "\x82");
    EXPECT_EQ(GetDeviceSectionName("\x81/", DbcsLead), "\x81/");
    EXPECT_EQ(GetDeviceSectionName("AB\xB0\xA1/9", DbcsLead), "AB\xB0\xA1");
    // A lead byte at the very end stands alone and is not read past.
    const std::string trailingLead = "AB\x82";
    EXPECT_EQ(GetDeviceSectionName(trailingLead, DbcsLead), trailingLead);
}

// The list exactly as long as its bytes, on the heap, so that a read past it is caught.
struct List {
    std::unique_ptr<char[]> bytes;
    std::size_t n = 0;
    explicit List(const std::string& content) : bytes(new char[content.size()]), n(content.size()) {
        std::memcpy(bytes.get(), content.data(), content.size());
    }
};

TEST(SectionList, FindsExactNamesOnly) {
    const List list(std::string("SETTING\0frame-a\0FRAME-B\0", 24));
    EXPECT_TRUE(SectionListContains(list.bytes.get(), list.n, "SETTING"));
    EXPECT_TRUE(SectionListContains(list.bytes.get(), list.n, "frame-a"));
    EXPECT_TRUE(SectionListContains(list.bytes.get(), list.n, "FRAME-B"));
    EXPECT_FALSE(SectionListContains(list.bytes.get(), list.n, "FRAME-A"));  // case counts
    EXPECT_FALSE(SectionListContains(list.bytes.get(), list.n, "FRAME"));
    EXPECT_FALSE(SectionListContains(list.bytes.get(), list.n, "FRAME-B1"));
    EXPECT_FALSE(SectionListContains(list.bytes.get(), list.n, ""));
    EXPECT_FALSE(SectionListContains(nullptr, 0, "SETTING"));
    EXPECT_FALSE(SectionListContains(list.bytes.get(), 0, "SETTING"));
}

TEST(SectionList, SeesOnlyTheCountedBytes) {
    const List list(std::string("A\0BC\0DE", 7));
    EXPECT_TRUE(SectionListContains(list.bytes.get(), 2, "A"));
    EXPECT_FALSE(SectionListContains(list.bytes.get(), 2, "BC"));  // beyond n
    EXPECT_TRUE(SectionListContains(list.bytes.get(), 5, "BC"));
    EXPECT_FALSE(SectionListContains(list.bytes.get(), 4, "BC"));  // cut off, unterminated
    EXPECT_FALSE(SectionListContains(list.bytes.get(), 7, "DE"));
}

TEST(SectionList, OverlongNamesDoNotMatchAndDoNotOverflow) {
    const std::string longName(600, 'L');
    const List list(longName + std::string(1, '\0') + "FRAME-A" + std::string(1, '\0'));
    EXPECT_FALSE(SectionListContains(list.bytes.get(), list.n, longName));
    EXPECT_TRUE(SectionListContains(list.bytes.get(), list.n, "FRAME-A"));

    const std::string fits(511, 'M'), tooLong(512, 'M');
    const List edge(fits + std::string(1, '\0') + tooLong + std::string(1, '\0'));
    EXPECT_TRUE(SectionListContains(edge.bytes.get(), edge.n, fits));
    EXPECT_FALSE(SectionListContains(edge.bytes.get(), edge.n, tooLong));
}

TEST(SectionList, OnlyTheFirst4096BytesAreSearched) {
    std::string content;
    while (content.size() < 4000) content += "PAD" + std::to_string(content.size()) + std::string(1, '\0');
    content += "NEAR" + std::string(1, '\0');
    while (content.size() < 4100) content += "Q" + std::string(1, '\0');
    content += "FAR" + std::string(1, '\0');
    const List list(content);
    EXPECT_TRUE(SectionListContains(list.bytes.get(), list.n, "NEAR"));
    EXPECT_FALSE(SectionListContains(list.bytes.get(), list.n, "FAR"));
}

TEST(FrameSettingsKeys, TwelveKeysInWriteOrderOverTheirFields) {
    const char* order[] = {"X_CELL_SIZE", "Y_CELL_SIZE", "X_MODULE_CELL", "Y_MODULE_CELL", "X_TILT1", "Y_TILT1",
                           "X_TILT2",     "Y_TILT2",     "X_TILT3",       "Y_TILT3",       "X_TILT4", "Y_TILT4"};
    quorvane::FrameSettings frame;
    std::memset(&frame, 0, sizeof(frame));
    frame.m_nXTCount = 0x0190;
    frame.m_nYTCount = 300;
    frame.X_MODULE_CELL = 16;
    frame.Y_MODULE_CELL = 0x1234;
    frame.X_TILT1 = 1;
    frame.Y_TILT1 = 2;
    frame.X_TILT2 = 3;
    frame.Y_TILT2 = 4;
    frame.X_TILT3 = 5;
    frame.Y_TILT3 = 6;
    frame.X_TILT4 = 7;
    frame.Y_TILT4 = 255;
    const unsigned values[] = {400, 300, 16, 0x1234, 1, 2, 3, 4, 5, 6, 7, 255};
    for (std::size_t k = 0; k < kFrameSettingsKeys.size(); ++k) {
        EXPECT_STREQ(kFrameSettingsKeys[k].pszName, order[k]);
        EXPECT_EQ(GetField(frame, kFrameSettingsKeys[k]), values[k]) << order[k];
        EXPECT_EQ(kFrameSettingsKeys[k].bLoaded, k >= 2) << order[k];  // cell sizes never read back
    }
}

TEST(FrameSettingsKeys, LoadedValuesAreCutToTheirFieldAndTouchNothingElse) {
    quorvane::FrameSettings frame;
    std::memset(&frame, 0xAA, sizeof(frame));
    const FrameSettingsKey& xModule = kFrameSettingsKeys[2];
    const FrameSettingsKey& xTilt1 = kFrameSettingsKeys[4];
    SetField(frame, xModule, 65536);
    SetField(frame, xTilt1, 300);
    EXPECT_EQ(frame.X_MODULE_CELL, 0);
    EXPECT_EQ(frame.X_TILT1, 44);
    SetField(frame, xModule, 0x12345);
    EXPECT_EQ(frame.X_MODULE_CELL, 0x2345);
    SetField(frame, xModule, static_cast<unsigned>(-1));  // "-1" in the file
    EXPECT_EQ(frame.X_MODULE_CELL, 0xFFFF);

    const auto* bytes = reinterpret_cast<const unsigned char*>(&frame);
    for (std::size_t i = 0; i < sizeof(frame); ++i) {
        if (i == 8 || i == 9 || i == 14) continue;
        EXPECT_EQ(bytes[i], 0xAA) << "byte " << i;
    }
}

TEST(SettingsFile, PathAndThresholdDefaults) {
    EXPECT_EQ(SettingsFilePath(L"C:\\Tools\\\uB8E8\\"), L"C:\\Tools\\\uB8E8\\Lumagrid.ini");
    EXPECT_STREQ(kSettingSection, "SETTING");
    EXPECT_EQ(kMinAdcOPerDefault, 33);
    EXPECT_EQ(kMinAdcTPerDefault, 20);
}

// A threshold of 0 passes every dead part; GetPrivateProfileInt reads "abc" as 0.
TEST(SettingsFile, ConsoleThresholdIsAWholeNumberFrom1To99) {
    struct Case {
        const char* text;
        std::optional<int> percent;
    };
    for (const Case& c : {Case{"33", 33}, Case{" 1\t", 1}, Case{"99", 99}, Case{"033", 33}, Case{"0", {}},
                          Case{"100", {}}, Case{"300", {}}, Case{"-5", {}}, Case{"+5", {}}, Case{"abc", {}},
                          Case{"", {}}, Case{"  ", {}}, Case{"33%", {}}, Case{"3 3", {}}, Case{"12.5", {}}})
        EXPECT_EQ(ParseThresholdPercent(c.text), c.percent) << '"' << c.text << '"';
}

}  // namespace
