// The program's binding to QuorvaneLib.dll: the sixteen entry points, resolved
// by name once at start-up. Only five are ever called.
#pragma once

#include "link/QuorvaneApi.h"

struct QuorvaneBinding {
    PFN_uncalled getDLLVersion = nullptr;
    PFN_uncalled allfirmWareParamRequest = nullptr;
    PFN_registerQuorvaneUSBEvent registerQuorvaneUSBEvent = nullptr;
    PFN_uncalled getUSBConnectCount = nullptr;
    PFN_uncalled getTouchParam = nullptr;
    PFN_uncalled setQuorvaneMode = nullptr;
    PFN_uncalled getAllTouchParam = nullptr;
    PFN_getDeviceinfo getDeviceinfo = nullptr;
    PFN_uncalled getDeviceinfo2 = nullptr;
    PFN_uncalled allfirmWareParamSet = nullptr;
    PFN_uncalled setAllTouchParam = nullptr;
    PFN_setDump setDump = nullptr;
    PFN_uncalled getSysState = nullptr;
    PFN_getSysInfo getSysInfo = nullptr;
    PFN_uncalled isDllStart = nullptr;
    PFN_getDeviceInfoST getDeviceInfoST = nullptr;

    // Resolves all sixteen from hLib in their fixed order. Returns the name of
    // the first of the five called entry points the library lacks, or nullptr
    // when all five are there (the eleven others may be missing).
    const char* Resolve(HMODULE hLib);
    void Clear() { *this = QuorvaneBinding(); }
};
