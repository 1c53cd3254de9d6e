#include "recording/Layout.h"

#include "recording/Coding.h"

namespace recording {

const std::uint8_t kMagic[kMagicBytes] = {0x89, 'L', 'G', 'R', 'E', 'C', 0x0D, 0x0A};

bool LocalTime::operator==(const LocalTime& o) const {
    return year == o.year && month == o.month && day == o.day && hour == o.hour && minute == o.minute &&
           second == o.second && millisecond == o.millisecond;
}

std::string ToText(const LocalTime& t) {
    return coding::Format("%04u-%02u-%02u %02u:%02u:%02u.%03u", t.year, t.month, t.day, t.hour, t.minute, t.second,
                          t.millisecond);
}

bool Header::operator==(const Header& o) const {
    return programVersion == o.programVersion && started == o.started && frameName == o.frameName &&
           frameVersion == o.frameVersion && deviceType == o.deviceType && usbIndexNo == o.usbIndexNo &&
           deviceInfoStResult == o.deviceInfoStResult && deviceInfoSt == o.deviceInfoSt &&
           sysInfoResult == o.sysInfoResult && frameSettings == o.frameSettings && xCount == o.xCount &&
           yCount == o.yCount;
}

void Block::Clear() {
    records.clear();
    packetBytes.clear();
    packetSize = 0;
}

}  // namespace recording
