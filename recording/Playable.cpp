#include "recording/Playable.h"

#include <cstring>

#include "link/QuorvaneTypes.h"

namespace recording {

std::string CountsBeyondPackets(const Header& h) {
    const auto beyond = [&](const char* record, long long x, long long y) {
        if (x >= 0 && y >= 0 && x <= h.xCount && y <= h.yCount) return std::string();
        return std::string("the header's ") + record + " record claims " + std::to_string(x) + " x " +
               std::to_string(y) + " receivers, its packets hold " + std::to_string(h.xCount) + " x " +
               std::to_string(h.yCount);
    };
    if (h.deviceInfoStResult != 0) {
        quorvane::DeviceInfoST st{};
        static_assert(sizeof st == kDeviceInfoStBytes, "the recorded record is the library's");
        std::memcpy(&st, h.deviceInfoSt.data(), sizeof st);
        std::string text = beyond("getDeviceInfoST", st.nXCells, st.nYCells);
        if (!text.empty()) return text;
    }
    if (h.sysInfoResult != 0) {
        quorvane::FrameSettings settings{};
        static_assert(sizeof settings == kFrameSettingsBytes, "the recorded record is the library's");
        std::memcpy(&settings, h.frameSettings.data(), sizeof settings);
        return beyond("getSysInfo", settings.m_nXTCount, settings.m_nYTCount);
    }
    return {};
}

std::string ReplayRefusal(ByteSource& source) {
    Reader reader(source);
    Header header;
    if (reader.ReadHeader(header) != ReadStatus::Ok) return reader.Message();
    std::string counts = CountsBeyondPackets(header);
    if (!counts.empty()) return counts;
    if (header.usbIndexNo < 0)
        return "the recording's usbindexNo " + std::to_string(header.usbIndexNo) + " cannot address a frame";
    Block block;
    ReadStatus status;
    while ((status = reader.NextBlock(block)) == ReadStatus::Ok)
        for (const Record& r : block.records)
            if (r.kind == RecordKind::Packet) return {};
    return status == ReadStatus::End ? "the recording holds no packets"
                                     : "no packet before the fault: " + reader.Message();
}

}  // namespace recording
