#include "link/QuorvaneBinding.h"

namespace {
template <typename Fn>
void Bind(HMODULE hLib, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(hLib, name)));
}
}  // namespace

const char* QuorvaneBinding::Resolve(HMODULE hLib) {
    using quorvane::kEntryPointNames;
    Bind(hLib, kEntryPointNames[0], getDLLVersion);
    Bind(hLib, kEntryPointNames[1], allfirmWareParamRequest);
    Bind(hLib, kEntryPointNames[2], registerQuorvaneUSBEvent);
    Bind(hLib, kEntryPointNames[3], getUSBConnectCount);
    Bind(hLib, kEntryPointNames[4], getTouchParam);
    Bind(hLib, kEntryPointNames[5], setQuorvaneMode);
    Bind(hLib, kEntryPointNames[6], getAllTouchParam);
    Bind(hLib, kEntryPointNames[7], getDeviceinfo);
    Bind(hLib, kEntryPointNames[8], getDeviceinfo2);
    Bind(hLib, kEntryPointNames[9], allfirmWareParamSet);
    Bind(hLib, kEntryPointNames[10], setAllTouchParam);
    Bind(hLib, kEntryPointNames[11], setDump);
    Bind(hLib, kEntryPointNames[12], getSysState);
    Bind(hLib, kEntryPointNames[13], getSysInfo);
    Bind(hLib, kEntryPointNames[14], isDllStart);
    Bind(hLib, kEntryPointNames[15], getDeviceInfoST);

    if (registerQuorvaneUSBEvent == nullptr) return kEntryPointNames[2];
    if (getDeviceinfo == nullptr) return kEntryPointNames[7];
    if (setDump == nullptr) return kEntryPointNames[11];
    if (getSysInfo == nullptr) return kEntryPointNames[13];
    if (getDeviceInfoST == nullptr) return kEntryPointNames[15];
    return nullptr;
}
