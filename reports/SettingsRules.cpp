#include "reports/SettingsRules.h"

#include <cstdint>
#include <cstring>

#include "text/Numbers.h"

namespace settings {

using quorvane::FrameSettings;

std::wstring SettingsFilePath(std::wstring_view exeDir) {
    std::wstring path(exeDir);
    for (const char* p = kSettingsFileName; *p != '\0'; ++p) path += static_cast<wchar_t>(*p);  // ASCII
    return path;
}

std::string GetDeviceSectionName(std::string_view deviceName, IsLeadByteFn isLeadByte) {
    std::size_t i = 0;
    while (i < deviceName.size()) {
        const auto c = static_cast<unsigned char>(deviceName[i]);
        if (isLeadByte && isLeadByte(c)) {  // a lead byte at the end stands alone
            i += 2;
            continue;
        }
        if (c == '/') return std::string(i > 0 ? deviceName.substr(0, i) : deviceName);
        ++i;
    }
    return std::string(deviceName);
}

bool SectionListContains(const char* pList, std::size_t nCount, std::string_view name) {
    if (pList == nullptr || name.empty() || name.size() > kMaxSectionNameLength) return false;
    if (nCount > kSectionNamesBufferSize) nCount = kSectionNamesBufferSize;
    std::size_t start = 0;
    for (std::size_t i = 0; i < nCount; ++i) {
        if (pList[i] != '\0') continue;
        const std::size_t length = i - start;
        if (length == name.size() && std::memcmp(pList + start, name.data(), length) == 0) return true;
        start = i + 1;
    }
    return false;
}

const std::array<FrameSettingsKey, 12> kFrameSettingsKeys = {{
    {"X_CELL_SIZE", offsetof(FrameSettings, m_nXTCount), 2, false},
    {"Y_CELL_SIZE", offsetof(FrameSettings, m_nYTCount), 2, false},
    {"X_MODULE_CELL", offsetof(FrameSettings, X_MODULE_CELL), 2, true},
    {"Y_MODULE_CELL", offsetof(FrameSettings, Y_MODULE_CELL), 2, true},
    {"X_TILT1", offsetof(FrameSettings, X_TILT1), 1, true},
    {"Y_TILT1", offsetof(FrameSettings, Y_TILT1), 1, true},
    {"X_TILT2", offsetof(FrameSettings, X_TILT2), 1, true},
    {"Y_TILT2", offsetof(FrameSettings, Y_TILT2), 1, true},
    {"X_TILT3", offsetof(FrameSettings, X_TILT3), 1, true},
    {"Y_TILT3", offsetof(FrameSettings, Y_TILT3), 1, true},
    {"X_TILT4", offsetof(FrameSettings, X_TILT4), 1, true},
    {"Y_TILT4", offsetof(FrameSettings, Y_TILT4), 1, true},
}};

// The record is packed and may sit at any address: go through bytes, little-endian.
unsigned GetField(const FrameSettings& frame, const FrameSettingsKey& key) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&frame) + key.nOffset;
    return key.nBytes == 2 ? static_cast<unsigned>(bytes[0] | (bytes[1] << 8)) : bytes[0];
}

void SetField(FrameSettings& frame, const FrameSettingsKey& key, unsigned value) {
    auto* bytes = reinterpret_cast<std::uint8_t*>(&frame) + key.nOffset;
    bytes[0] = static_cast<std::uint8_t>(value & 0xFF);
    if (key.nBytes == 2) bytes[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

std::optional<int> ParseThresholdPercent(std::string_view text) {
    const std::optional<std::uint64_t> value = text::ParseWhole(text::TrimBlanks(text));
    if (!value || *value < kThresholdLow || *value > kThresholdHigh) return std::nullopt;
    return static_cast<int>(*value);
}

std::string ThresholdRefusalText(const std::string& iniPath, const std::string& value) {
    return iniPath + ": [" + kSettingSection + "] " + kMinAdcOPerKey + "=" + value + " is not a whole number from " +
           std::to_string(kThresholdLow) + " to " + std::to_string(kThresholdHigh) +
           "; correct it or remove the line (default " + std::to_string(kMinAdcOPerDefault) + ")";
}

}  // namespace settings
