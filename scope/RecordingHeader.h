// What a recording's header says of the frame recorded: filled in one place
// for the window program and the console tool, so that their files agree.
#pragma once

#include <windows.h>

#include <cstdint>

#include "link/DeviceRecords.h"
#include "recording/Layout.h"

namespace scope {

recording::LocalTime ToRecordingTime(const SYSTEMTIME& time);

// The program's version, the time the recording began, the device record as
// the list read it, getSysInfo's answer with its result as returned (not
// reduced to 0 or 1: the file keeps what the library said), and the receiver
// counts every packet of the recording is read with.
recording::Header RecordingHeader(const quorvane::DeviceRecord& device, const SYSTEMTIME& started, int nSysInfoResult,
                                  const quorvane::FrameSettings& sysInfo, std::uint16_t nXCount, std::uint16_t nYCount);

}  // namespace scope
