// Signatures of the library's entry points. Shared by the program's binding
// and by the substitute library, so both sides agree on them.
#pragma once

#include <windows.h>

#include "link/QuorvaneTypes.h"

// The calling convention of every entry point, for the program's pointers and
// the substitute's definitions alike (the substitute checks its definitions
// against the pointer types below). Only 32-bit code has a choice: x86-64 has
// one convention and ignores the keyword. __cdecl because the maker's library
// exports plain names, which is what a C compiler gives a __cdecl export; a
// __stdcall export carries a decorated name (_setDump@8) unless renamed. Had the
// two sides different conventions, every call would leave the stack pointer off
// by the size of the arguments.
#define QUORVANE_CALL __cdecl

extern "C" {
typedef int(QUORVANE_CALL* PFN_registerQuorvaneUSBEvent)(HWND hWnd);
typedef int(QUORVANE_CALL* PFN_getDeviceinfo)(int position, char* name, char* version, int* devicetype,
                                              int* usbindexNo);
typedef int(QUORVANE_CALL* PFN_getDeviceInfoST)(int position, quorvane::DeviceInfoST* info);
typedef int(QUORVANE_CALL* PFN_getSysInfo)(int usbindexNo, quorvane::FrameSettings* settings);
typedef int(QUORVANE_CALL* PFN_setDump)(int usbindexNo, int request);
// The eleven entry points that the program resolves but never calls.
typedef int(QUORVANE_CALL* PFN_uncalled)(void);
}
