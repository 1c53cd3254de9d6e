// Signatures of the library's entry points. Shared by the program's binding
// and by the substitute library, so both sides agree on them.
#pragma once

#include <windows.h>

#include "link/QuorvaneTypes.h"

// The maker's library uses the C calling convention; undecorated names in both
// 32- and 64-bit builds.
#define QUORVANE_CALL __cdecl

extern "C" {
typedef int(QUORVANE_CALL* PFN_registerQuorvaneUSBEvent)(HWND hWnd);
typedef int(QUORVANE_CALL* PFN_getDeviceinfo)(int position, char* name, char* version,
                                              int* devicetype, int* usbindexNo);
typedef int(QUORVANE_CALL* PFN_getDeviceInfoST)(int position, quorvane::DeviceInfoST* info);
typedef int(QUORVANE_CALL* PFN_getSysInfo)(int usbindexNo, quorvane::FrameSettings* settings);
typedef int(QUORVANE_CALL* PFN_setDump)(int usbindexNo, int request);
// The eleven entry points that the program resolves but never calls.
typedef int(QUORVANE_CALL* PFN_uncalled)(void);
}
