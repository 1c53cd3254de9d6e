// Rules of the per-frame settings file Lumagrid.ini that need no Windows:
// section names, the walk over the section-name list, the keys and their field cuts.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "link/QuorvaneTypes.h"

namespace settings {

constexpr const char* kSettingsFileName = "Lumagrid.ini";
// exeDir ends with its separator. Wide: the folder may be named in any language.
std::wstring SettingsFilePath(std::wstring_view exeDir);

// True for the first byte of a double-byte character in the system code page;
// the Win32 side passes a wrapper of IsDBCSLeadByte.
using IsLeadByteFn = bool (*)(unsigned char);

// A frame's section: its device name cut before the first "/" when that "/" is
// not the first character; otherwise the whole name. The second byte of a
// double-byte character is never taken for a "/".
std::string GetDeviceSectionName(std::string_view deviceName, IsLeadByteFn isLeadByte);

// Size of the buffer handed to GetPrivateProfileSectionNamesA; nothing beyond it is seen.
constexpr std::size_t kSectionNamesBufferSize = 4096;
// Section names of this length or more do not fit the name being collected and match nothing.
constexpr std::size_t kMaxSectionNameLength = 511;

// Whether a NUL-separated section-name list (the first nCount bytes that
// GetPrivateProfileSectionNamesA stored) holds a name equal to `name`, byte for
// byte and so case-sensitive. An empty name matches nothing, and so does a name
// cut off at the end of the list.
bool SectionListContains(const char* pList, std::size_t nCount, std::string_view name);

// One frame-section key: where its field lies in FrameSettings and how wide it is.
struct FrameSettingsKey {
    const char* pszName;
    std::size_t nOffset;  // byte offset in FrameSettings
    std::size_t nBytes;   // 2 (counts) or 1 (tilts)
    bool bLoaded;         // read back from the file; the receiver counts never are
};
// Read default of every loaded key.
constexpr int kFrameKeyDefault = 0;

// The twelve keys in the order they are written.
extern const std::array<FrameSettingsKey, 12> kFrameSettingsKeys;

unsigned GetField(const quorvane::FrameSettings& frame, const FrameSettingsKey& key);
// Stores a value read from the file, cut to the field's width
// (65536 -> 0 for a module cell count, 300 -> 44 for a tilt).
void SetField(quorvane::FrameSettings& frame, const FrameSettingsKey& key, unsigned value);

// The shared thresholds, only read.
constexpr const char* kSettingSection = "SETTING";
constexpr const char* kMinAdcOPerKey = "MIN_ADC_O_PER";
constexpr const char* kMinAdcTPerKey = "MIN_ADC_T_PER";
constexpr int kMinAdcOPerDefault = 33;
constexpr int kMinAdcTPerDefault = 20;

// MIN_ADC_O_PER as the console tool takes it: a whole number from 1 to 99,
// blanks around it allowed. Nothing for anything else (empty, "abc", "33%",
// "0", "300"): a threshold of 0 would pass every dead part, one of 100 or
// more fail every sound one. (The window program reads it with
// GetPrivateProfileInt, as it always has.)
std::optional<int> ParseThresholdPercent(std::string_view text);
constexpr int kThresholdLow = 1;
constexpr int kThresholdHigh = 99;
// The line both programs show for a MIN_ADC_O_PER they refuse, naming the
// file, the key and the value as written.
std::string ThresholdRefusalText(const std::string& iniPath, const std::string& value);

}  // namespace settings
