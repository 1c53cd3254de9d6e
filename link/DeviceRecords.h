// What the library says of the devices at positions 0..n-1, and which of them
// the device list shows: shared by the window program's list and the console
// tool, so both list the same frames.
#pragma once

#include <string>
#include <vector>

#include "link/QuorvaneBinding.h"

namespace quorvane {

struct DeviceRecord {
    int nPosition = 0;
    std::string name;  // system code page, at most 127 bytes
    std::string version;
    int nDeviceType = 0;
    int nUsbIndexNo = -1;  // -1: the library did not answer for the position
    int nXCells = 0;       // from getDeviceInfoST; 0 and 0 when it failed
    int nYCells = 0;
    bool bInfoST = false;  // getDeviceInfoST succeeded
    // Its answer as received, for a recording's header: the result and the
    // shared record after the call (a failed call may leave an earlier
    // position's bytes there; the result says so).
    int nInfoSTResult = 0;
    DeviceInfoST infoST{};
    // A frame the list shows: neither a hidden device type nor a position
    // left unanswered (a frame that left after the connect message was sent).
    bool bListed = false;
};

// Asks getDeviceinfo and getDeviceInfoST for every position; `infoST`
// receives each record in turn (the last one stays).
std::vector<DeviceRecord> ReadDeviceRecords(const QuorvaneBinding& lib, int nCount, DeviceInfoST& infoST);

}  // namespace quorvane
