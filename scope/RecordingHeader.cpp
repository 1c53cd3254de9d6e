#include "scope/RecordingHeader.h"

#include <cstring>

#include "LumagridVersion.h"

namespace scope {

recording::LocalTime ToRecordingTime(const SYSTEMTIME& t) {
    recording::LocalTime time;
    time.year = t.wYear;
    time.month = static_cast<std::uint8_t>(t.wMonth);
    time.day = static_cast<std::uint8_t>(t.wDay);
    time.hour = static_cast<std::uint8_t>(t.wHour);
    time.minute = static_cast<std::uint8_t>(t.wMinute);
    time.second = static_cast<std::uint8_t>(t.wSecond);
    time.millisecond = t.wMilliseconds;
    return time;
}

recording::Header RecordingHeader(const quorvane::DeviceRecord& device, const SYSTEMTIME& started, int nSysInfoResult,
                                  const quorvane::FrameSettings& sysInfo, std::uint16_t nXCount,
                                  std::uint16_t nYCount) {
    static_assert(sizeof device.infoST == recording::kDeviceInfoStBytes, "the library's record, byte for byte");
    static_assert(sizeof sysInfo == recording::kFrameSettingsBytes, "the library's record, byte for byte");
    recording::Header header;
    header.programVersion = LUMAGRID_VERSION_TEXT;
    header.started = ToRecordingTime(started);
    header.frameName = device.name;
    header.frameVersion = device.version;
    header.deviceType = device.nDeviceType;
    header.usbIndexNo = device.nUsbIndexNo;
    header.deviceInfoStResult = device.nInfoSTResult;
    std::memcpy(header.deviceInfoSt.data(), &device.infoST, sizeof device.infoST);
    header.sysInfoResult = nSysInfoResult;
    std::memcpy(header.frameSettings.data(), &sysInfo, sizeof sysInfo);
    header.xCount = nXCount;
    header.yCount = nYCount;
    return header;
}

}  // namespace scope
