// Lumagrid.ini through the wide profile functions: with the ANSI ones a path
// holding a character outside the system code page is not found, and the
// thresholds silently fall back to their defaults. The wide functions keep the
// file's own encoding (no byte order mark: the system code page), so its bytes
// stay as they are.
#include "reports/SettingsFile.h"

#include <windows.h>

#include <vector>

#include "framework/String.h"
#include "reports/SettingsRules.h"

namespace settings {

namespace {
std::wstring Wide(const char* psz) { return Widen(psz, CP_ACP); }
}  // namespace

Thresholds ReadThresholds(const std::wstring& iniPath) {
    const std::wstring section = Wide(kSettingSection);
    return Thresholds{static_cast<int>(::GetPrivateProfileIntW(section.c_str(), Wide(kMinAdcOPerKey).c_str(),
                                                               kMinAdcOPerDefault, iniPath.c_str())),
                      static_cast<int>(::GetPrivateProfileIntW(section.c_str(), Wide(kMinAdcTPerKey).c_str(),
                                                               kMinAdcTPerDefault, iniPath.c_str()))};
}

std::optional<std::wstring> ReadMinAdcOPerText(const std::wstring& iniPath) {
    // A key that is not there yields the default: one no file can hold as a value.
    constexpr wchar_t kMissing[] = L"\x1F";
    std::vector<wchar_t> value(256, L'\0');
    const DWORD n = ::GetPrivateProfileStringW(Wide(kSettingSection).c_str(), Wide(kMinAdcOPerKey).c_str(), kMissing,
                                               value.data(), static_cast<DWORD>(value.size()), iniPath.c_str());
    std::wstring text(value.data(), n);
    if (text == kMissing) return std::nullopt;
    // Cut to the buffer: what was cut must not turn into a number.
    if (n + 1 >= value.size()) text += L"...";
    return text;
}

std::optional<int> ReadCheckThreshold(const std::wstring& iniPath, unsigned nCodePage, std::string& refusal) {
    const std::optional<std::wstring> text = ReadMinAdcOPerText(iniPath);
    if (!text) return kMinAdcOPerDefault;
    if (const std::optional<int> percent = ParseThresholdPercent(Narrow(text->c_str(), CP_UTF8))) return percent;
    refusal = ThresholdRefusalText(Narrow(iniPath.c_str(), nCodePage), Narrow(text->c_str(), nCodePage));
    return std::nullopt;
}

bool HasSection(const std::wstring& iniPath, const std::string& section) {
    std::vector<wchar_t> list(kSectionNamesBufferSize, L'\0');
    const DWORD n = ::GetPrivateProfileSectionNamesW(list.data(), static_cast<DWORD>(list.size()), iniPath.c_str());
    // Back to the code page's bytes, name by name, so that the list walk
    // compares bytes as it always did.
    std::string bytes;
    std::size_t from = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (list[i] != L'\0') continue;
        bytes += Narrow(std::wstring(list.data() + from, i - from).c_str(), CP_ACP);
        bytes += '\0';
        from = i + 1;
    }
    if (from < n) bytes += Narrow(std::wstring(list.data() + from, n - from).c_str(), CP_ACP);  // cut off at the end
    return SectionListContains(bytes.data(), bytes.size(), section);
}

bool ReadFrameSection(const std::wstring& iniPath, const std::string& section, quorvane::FrameSettings& frame) {
    if (!HasSection(iniPath, section)) return false;
    const std::wstring wideSection = Wide(section.c_str());
    for (const FrameSettingsKey& key : kFrameSettingsKeys) {
        if (!key.bLoaded) continue;
        UINT value =
            ::GetPrivateProfileIntW(wideSection.c_str(), Wide(key.pszName).c_str(), kFrameKeyDefault, iniPath.c_str());
        SetField(frame, key, value);
    }
    return true;
}

void WriteFrameSection(const std::wstring& iniPath, const std::string& section, const quorvane::FrameSettings& frame) {
    const std::wstring wideSection = Wide(section.c_str());
    for (const FrameSettingsKey& key : kFrameSettingsKeys) {
        const std::wstring value = std::to_wstring(static_cast<int>(GetField(frame, key)));
        ::WritePrivateProfileStringW(wideSection.c_str(), Wide(key.pszName).c_str(), value.c_str(), iniPath.c_str());
    }
}

}  // namespace settings
