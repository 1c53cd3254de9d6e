// Records and message values shared with the touch-frame library QuorvaneLib.dll.
// These layouts are the library's interface: byte for byte, no padding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvane {

// Window messages the library sends to the registered window.
constexpr unsigned WM_SYSTEM_PARAMETER = 0x0502;  // parameters read (trace only)
constexpr unsigned WM_USB_CONNECT = 0x0503;       // wParam = number of connected devices
constexpr unsigned WM_READ_DUMP = 0x0504;         // wParam = address of a dump packet
constexpr unsigned WM_READ_DEVICE_INFO = 0x0505;  // device information read (trace only)

// Text buffers of getDeviceinfo: 127 characters and a terminating NUL.
constexpr std::size_t kDeviceTextSize = 128;

// A device of this type is not listed.
constexpr int kDeviceTypeHidden = 2;

// Dump packet: a header of the library's own, then one byte per X receiver,
// then one byte per Y receiver.
constexpr std::size_t kDumpHeaderBytes = 7;

// The sixteen entry points, resolved by name in this order.
constexpr const char* kEntryPointNames[16] = {"getDLLVersion",
                                              "allfirmWareParamRequest",
                                              "registerQuorvaneUSBEvent",
                                              "getUSBConnectCount",
                                              "getTouchParam",
                                              "setQuorvaneMode",
                                              "getAllTouchParam",
                                              "getDeviceinfo",
                                              "getDeviceinfo2",
                                              "allfirmWareParamSet",
                                              "setAllTouchParam",
                                              "setDump",
                                              "getSysState",
                                              "getSysInfo",
                                              "isDllStart",
                                              "getDeviceInfoST"};

#pragma pack(push, 1)

// 40-byte record of getDeviceInfoST; only the two cell counts are read.
struct DeviceInfoST {
    std::uint8_t reserved0[2];
    std::int16_t nXCells;  // little-endian, bytes 2-3
    std::int16_t nYCells;  // little-endian, bytes 4-5
    std::uint8_t reserved6[34];
};

// 50-byte frame geometry record filled by getSysInfo and mirrored into the settings file.
struct FrameSettings {
    std::uint8_t reserved0[4];
    std::uint16_t m_nXTCount;
    std::uint16_t m_nYTCount;
    std::uint16_t X_MODULE_CELL;
    std::uint16_t Y_MODULE_CELL;
    std::uint8_t reserved12[2];
    std::uint8_t X_TILT1;
    std::uint8_t Y_TILT1;
    std::uint8_t X_TILT2;
    std::uint8_t Y_TILT2;
    std::uint8_t X_TILT3;
    std::uint8_t Y_TILT3;
    std::uint8_t X_TILT4;
    std::uint8_t Y_TILT4;
    std::uint8_t reserved22[28];
};

#pragma pack(pop)

static_assert(sizeof(DeviceInfoST) == 40, "DeviceInfoST is 40 bytes");
static_assert(offsetof(DeviceInfoST, nXCells) == 2, "X cells at byte 2");
static_assert(offsetof(DeviceInfoST, nYCells) == 4, "Y cells at byte 4");

static_assert(sizeof(FrameSettings) == 50, "FrameSettings is 50 bytes");
static_assert(offsetof(FrameSettings, m_nXTCount) == 4, "layout");
static_assert(offsetof(FrameSettings, m_nYTCount) == 6, "layout");
static_assert(offsetof(FrameSettings, X_MODULE_CELL) == 8, "layout");
static_assert(offsetof(FrameSettings, Y_MODULE_CELL) == 10, "layout");
static_assert(offsetof(FrameSettings, X_TILT1) == 14, "layout");
static_assert(offsetof(FrameSettings, Y_TILT1) == 15, "layout");
static_assert(offsetof(FrameSettings, X_TILT2) == 16, "layout");
static_assert(offsetof(FrameSettings, Y_TILT2) == 17, "layout");
static_assert(offsetof(FrameSettings, X_TILT3) == 18, "layout");
static_assert(offsetof(FrameSettings, Y_TILT3) == 19, "layout");
static_assert(offsetof(FrameSettings, X_TILT4) == 20, "layout");
static_assert(offsetof(FrameSettings, Y_TILT4) == 21, "layout");

// Offsets of the receiver bytes in a dump packet.
constexpr std::size_t XReceiverOffset(std::size_t i) { return kDumpHeaderBytes + i; }
constexpr std::size_t YReceiverOffset(std::size_t xCount, std::size_t j) { return kDumpHeaderBytes + xCount + j; }

}  // namespace quorvane
