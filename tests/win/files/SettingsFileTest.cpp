// Lumagrid.ini in folders whose names lie outside the system code page: a
// Hangul folder on a Western Windows, a Thai one on any Western or Korean one.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "link/QuorvaneTypes.h"
#include "reports/SettingsFile.h"
#include "reports/SettingsRules.h"

namespace {

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(SettingsFile, FolderNamedInAnyLanguageKeepsItsThresholdsAndTheFileItsBytes) {
    for (const wchar_t* pszName : {L"\uB8E8\uB9C8\uADF8\uB9AC\uB4DC", L"\u0E17\u0E14\u0E2A\u0E2D\u0E1A"}) {
        SCOPED_TRACE(static_cast<int>(pszName[0]));
        wchar_t szTemp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, szTemp);
        const std::wstring folder =
            std::wstring(szTemp) + pszName + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
        const std::wstring ini = settings::SettingsFilePath(folder);
        const std::string original =
            "; the station's thresholds\r\n[SETTING]\r\nMIN_ADC_O_PER=40\r\nMIN_ADC_T_PER=15\r\n"
            "[FRAME-A]\r\nX_MODULE_CELL=20\r\nY_TILT1=3\r\n";
        std::ofstream(ini.c_str(), std::ios::binary) << original;

        const settings::Thresholds thresholds = settings::ReadThresholds(ini);
        EXPECT_EQ(thresholds.nMinAdcOPer, 40);
        EXPECT_EQ(thresholds.nMinAdcTPer, 15);
        EXPECT_TRUE(settings::HasSection(ini, "FRAME-A"));
        EXPECT_FALSE(settings::HasSection(ini, "FRAME"));
        quorvane::FrameSettings frame{};
        ASSERT_TRUE(settings::ReadFrameSection(ini, "FRAME-A", frame));
        EXPECT_EQ(frame.X_MODULE_CELL, 20);
        EXPECT_EQ(frame.Y_TILT1, 3);

        // A new frame's section is added; what was there stays byte for byte,
        // in the file's own encoding (no byte order mark, no UTF-16).
        quorvane::FrameSettings other{};
        other.m_nXTCount = 96;
        other.Y_MODULE_CELL = 16;
        settings::WriteFrameSection(ini, "FRAME-B", other);
        const std::string bytes = ReadAll(ini);
        EXPECT_EQ(bytes.substr(0, original.size()), original);
        EXPECT_NE(bytes.find("[FRAME-B]\r\nX_CELL_SIZE=96\r\n"), std::string::npos) << bytes;
        EXPECT_NE(bytes.find("Y_MODULE_CELL=16\r\n"), std::string::npos) << bytes;
        EXPECT_TRUE(settings::HasSection(ini, "FRAME-B"));

        ::DeleteFileW(ini.c_str());
        ::RemoveDirectoryW(folder.c_str());
    }
}

// The console tool's threshold as written: a missing key (or file) told apart
// from one written as 0 or as text, which GetPrivateProfileInt reads as 0.
TEST(SettingsFile, MinAdcOPerTextTellsAMissingKeyFromAnyWrittenValue) {
    wchar_t szTemp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szTemp);
    const std::wstring ini = std::wstring(szTemp) + L"threshold-" + std::to_wstring(::GetCurrentProcessId()) + L".ini";
    struct Case {
        const char* file;
        const wchar_t* text;  // nullptr: missing
    };
    for (const Case& c :
         {Case{"[SETTING]\r\nMIN_ADC_O_PER=abc\r\n", L"abc"}, Case{"[SETTING]\r\nMIN_ADC_O_PER=0\r\n", L"0"},
          Case{"[SETTING]\r\nMIN_ADC_O_PER=\r\n", L""}, Case{"[SETTING]\r\nMIN_ADC_T_PER=40\r\n", nullptr},
          Case{"[OTHER]\r\nMIN_ADC_O_PER=40\r\n", nullptr}}) {
        std::ofstream(ini.c_str(), std::ios::binary | std::ios::trunc) << c.file;
        const std::optional<std::wstring> text = settings::ReadMinAdcOPerText(ini);
        EXPECT_EQ(text.has_value(), c.text != nullptr) << c.file;
        if (text && c.text) {
            EXPECT_EQ(*text, c.text) << c.file;
        }
    }
    ::DeleteFileW(ini.c_str());
    EXPECT_FALSE(settings::ReadMinAdcOPerText(ini).has_value());
}
