// The version resource of the built programs, read as Explorer's file
// properties read it, against the project version. The 32-bit files are read
// as data, which a 64-bit process can do. Runs from any copy of the bin folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// The project version as four numbers, missing ones 0.
std::vector<WORD> ProjectVersion() {
    std::vector<WORD> parts;
    const std::string text = LUMAGRID_PROJECT_VERSION;
    size_t from = 0;
    while (from <= text.size()) {
        size_t dot = text.find('.', from);
        if (dot == std::string::npos) dot = text.size();
        parts.push_back(static_cast<WORD>(std::stoi(text.substr(from, dot - from))));
        from = dot + 1;
    }
    parts.resize(4, 0);
    return parts;
}

// The programs beside this test, and those of the 32-bit tree when it has one.
std::vector<std::wstring> Programs() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring own = self;
    own.resize(own.find_last_of(L'\\') + 1);
    std::wstring other = Widen(LUMAGRID_WIN32_BIN);
    for (wchar_t& c : other) c = c == L'/' ? L'\\' : c;
    if (!other.empty() && other[0] == L'\\') other = L"Z:" + other;  // a Unix path under Wine
    std::vector<std::wstring> out;
    for (const std::wstring& dir : {own, other + L"\\"}) {
        if (dir.size() < 2) continue;
        out.push_back(dir + L"Lumagrid.exe");
        out.push_back(dir + L"Lumagrid" + Widen(LUMAGRID_ADVANCED_NAME_LETTER) + L".exe");
    }
    return out;
}

std::wstring StringValue(std::vector<BYTE>& block, WORD language, WORD codePage, const wchar_t* name) {
    wchar_t path[128];
    wsprintfW(path, L"\\StringFileInfo\\%04x%04x\\%s", language, codePage, name);
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path, reinterpret_cast<void**>(&value), &length) || value == nullptr)
        return L"(none)";
    return value;
}

}  // namespace

TEST(VersionResource, EveryProgramOfBothArchitecturesCarriesTheProjectVersion) {
    const std::vector<WORD> version = ProjectVersion();
    const std::wstring text = Widen(LUMAGRID_PROJECT_VERSION);
    const std::vector<std::wstring> programs = Programs();
    ASSERT_EQ(programs.size(), *LUMAGRID_WIN32_BIN ? 4u : 2u);
    for (const std::wstring& path : programs) {
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        ASSERT_GT(size, 0u) << "no version resource (error " << GetLastError() << ")";
        std::vector<BYTE> block(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        ASSERT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        for (DWORD pair : {0u, 1u}) {
            const DWORD ms = pair == 0 ? fixed->dwFileVersionMS : fixed->dwProductVersionMS;
            const DWORD ls = pair == 0 ? fixed->dwFileVersionLS : fixed->dwProductVersionLS;
            EXPECT_EQ(std::vector<WORD>({HIWORD(ms), LOWORD(ms), HIWORD(ls), LOWORD(ls)}), version)
                << (pair == 0 ? "FILEVERSION" : "PRODUCTVERSION");
        }
        EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

        WORD* translation = nullptr;
        ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                   &length));
        ASSERT_GE(length, 4u);
        EXPECT_EQ(StringValue(block, translation[0], translation[1], L"FileVersion"), text);
        EXPECT_EQ(StringValue(block, translation[0], translation[1], L"ProductVersion"), text);
    }
}
