// Device names and section-name lists as the library and Lumagrid.ini hand
// them over, in any code page: a name is read from the library's buffer no
// further than its size, whatever the buffer holds; the section name is the
// name cut at its first single-byte "/" past the start; the walk over the list
// (exactly as long as its count says) agrees with a naive split; fields take
// values cut to their width.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "link/DeviceText.h"
#include "link/QuorvaneTypes.h"
#include "reports/SettingsRules.h"

using namespace settings;

namespace {

// Lead bytes of the code page this input stands for; real ones are all above 0x7F.
std::bitset<256> g_leadBytes;
bool IsLead(unsigned char c) { return g_leadBytes[c]; }

void ChooseCodePage(FuzzedDataProvider& in) {
    g_leadBytes.reset();
    if (!in.ConsumeBool()) return;
    const unsigned first = in.ConsumeIntegralInRange(0x80u, 0xFFu);
    const unsigned last = in.ConsumeIntegralInRange(first, 0xFFu);
    for (unsigned c = first; c <= last; ++c) g_leadBytes[c] = true;
}

// The name split into characters first: one byte, or a lead byte and whatever follows it.
std::string NaiveSectionName(const std::string& name, IsLeadByteFn isLead) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < name.size(); i += (isLead && isLead(static_cast<unsigned char>(name[i]))) ? 2 : 1)
        starts.push_back(i);
    for (const std::size_t i : starts) {
        const bool single = !(isLead && isLead(static_cast<unsigned char>(name[i])));
        if (single && name[i] == '/') return i > 0 ? name.substr(0, i) : name;
    }
    return name;
}

// A device name as getDeviceinfo leaves it: a buffer of exactly `size` bytes,
// filled by the library perhaps to the last byte and without a terminator.
std::string LibraryText(FuzzedDataProvider& in) {
    const std::size_t size =
        in.ConsumeBool() ? quorvane::kDeviceTextSize : in.ConsumeIntegralInRange<std::size_t>(0, 300);
    const std::unique_ptr<char[]> buffer(new char[size]);
    const std::string bytes = in.ConsumeBytesAsString(size);
    std::fill(std::copy(bytes.begin(), bytes.end(), buffer.get()), buffer.get() + size, 'N');
    const std::string text = quorvane::TerminatedText(buffer.get(), size);
    FUZZ_REQUIRE(text.size() < std::max<std::size_t>(size, 1));
    FUZZ_REQUIRE(text.find('\0') == std::string::npos);
    FUZZ_REQUIRE(text.compare(0, text.size(), buffer.get(), text.size()) == 0);
    FUZZ_REQUIRE(size == 0 || text.size() == size - 1 || buffer[text.size()] == '\0');
    FUZZ_REQUIRE(quorvane::TerminatedText(nullptr, size).empty());
    return text;
}

void CheckSectionName(FuzzedDataProvider& in) {
    const IsLeadByteFn isLead = in.ConsumeBool() ? &IsLead : nullptr;
    const std::string name = in.ConsumeBool() ? LibraryText(in) : in.ConsumeRandomLengthString(300);
    const std::string section = GetDeviceSectionName(name, isLead);
    FUZZ_REQUIRE(section == NaiveSectionName(name, isLead));
    FUZZ_REQUIRE(name.compare(0, section.size(), section) == 0);
    FUZZ_REQUIRE(section.size() == name.size() || name[section.size()] == '/');
    FUZZ_REQUIRE(section.empty() == name.empty());
}

// Names separated by NULs, some of them the one looked for; the count may end
// inside a name and may pass the buffer size GetPrivateProfileSectionNamesA had.
void CheckSectionList(FuzzedDataProvider& in) {
    const std::string name = in.ConsumeBool() ? in.ConsumeRandomLengthString(600)
                                              : std::string(in.ConsumeIntegralInRange<std::size_t>(0, 600), 'S');
    std::string list;
    const int entries = in.ConsumeIntegralInRange(0, 40);
    for (int i = 0; i < entries; ++i) {
        if (in.ConsumeBool()) list += name;
        else list += in.ConsumeRandomLengthString(64);
        list += '\0';
    }
    if (in.ConsumeBool()) list.resize(in.ConsumeIntegralInRange<std::size_t>(0, 5000), 'a');
    const std::size_t count = list.size();
    const std::unique_ptr<char[]> buffer(new char[count]);  // no byte beyond the count
    std::copy(list.begin(), list.end(), buffer.get());

    bool expected = false;
    if (!name.empty() && name.size() <= kMaxSectionNameLength) {
        const std::string seen = list.substr(0, std::min(count, kSectionNamesBufferSize));
        for (std::size_t start = 0, end; (end = seen.find('\0', start)) != std::string::npos; start = end + 1)
            expected = expected || seen.compare(start, end - start, name) == 0;
    }
    FUZZ_REQUIRE(SectionListContains(buffer.get(), count, name) == expected);
    FUZZ_REQUIRE(!SectionListContains(nullptr, count, name));
}

void CheckFields(FuzzedDataProvider& in) {
    quorvane::FrameSettings frame;
    std::uint8_t before[sizeof frame];
    for (std::uint8_t& b : before) b = in.ConsumeIntegral<std::uint8_t>();
    std::memcpy(&frame, before, sizeof frame);
    const FrameSettingsKey& key = kFrameSettingsKeys[in.ConsumeIntegralInRange<std::size_t>(0, 11)];
    FUZZ_REQUIRE(key.nOffset + key.nBytes <= sizeof frame && (key.nBytes == 1 || key.nBytes == 2));
    const unsigned value = in.ConsumeIntegral<unsigned>();
    SetField(frame, key, value);
    const unsigned mask = key.nBytes == 2 ? 0xFFFFu : 0xFFu;
    FUZZ_REQUIRE(GetField(frame, key) == (value & mask));
    std::uint8_t after[sizeof frame];
    std::memcpy(after, &frame, sizeof frame);
    for (std::size_t i = 0; i < sizeof frame; ++i) {
        if (i >= key.nOffset && i < key.nOffset + key.nBytes)
            FUZZ_REQUIRE(after[i] == static_cast<std::uint8_t>(value >> (8 * (i - key.nOffset))));
        else FUZZ_REQUIRE(after[i] == before[i]);
    }
    const std::string bytes = in.ConsumeRandomLengthString(64);
    const std::wstring dir(bytes.begin(), bytes.end());
    FUZZ_REQUIRE(SettingsFilePath(dir) == dir + L"Lumagrid.ini");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    ChooseCodePage(in);
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: CheckSectionName(in); break;
        case 1: CheckSectionList(in); break;
        default: CheckFields(in); break;
    }
    return 0;
}
