#include "link/DeviceRecords.h"

#include "link/DeviceText.h"

namespace quorvane {

namespace {
// What usbindexNo holds until the library answers for a position.
constexpr int kUnansweredUsbIndex = -1;
}  // namespace

std::vector<DeviceRecord> ReadDeviceRecords(const QuorvaneBinding& lib, int nCount, DeviceInfoST& infoST) {
    std::vector<DeviceRecord> records;
    if (lib.getDeviceinfo == nullptr || lib.getDeviceInfoST == nullptr) return records;
    char szName[kDeviceTextSize] = {0};
    char szVersion[kDeviceTextSize] = {0};
    for (int i = 0; i < nCount; ++i) {
        DeviceRecord record;
        record.nPosition = i;
        // The library's result says nothing we may rely on; an untouched index does.
        int nUsbIndexNo = kUnansweredUsbIndex;
        lib.getDeviceinfo(i, szName, szVersion, &record.nDeviceType, &nUsbIndexNo);
        record.nUsbIndexNo = nUsbIndexNo;
        // The library may fill a text to the last byte: never read past it.
        record.name = TerminatedText(szName, sizeof szName);
        record.version = TerminatedText(szVersion, sizeof szVersion);
        record.nInfoSTResult = lib.getDeviceInfoST(i, &infoST);
        record.infoST = infoST;
        if (record.nInfoSTResult) {
            record.bInfoST = true;
            record.nXCells = infoST.nXCells;
            record.nYCells = infoST.nYCells;
        }
        record.bListed = record.nDeviceType != kDeviceTypeHidden && record.nUsbIndexNo != kUnansweredUsbIndex;
        records.push_back(std::move(record));
    }
    return records;
}

}  // namespace quorvane
