#include "FakeLibrary.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace fake {
namespace {
Library g_library;

std::string Format(const char* fmt, int a, int b) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, a, b);
    return text;
}

int QUORVANE_CALL RegisterEvent(HWND) {
    g_library.calls.push_back("registerQuorvaneUSBEvent");
    return 1;
}

int QUORVANE_CALL GetDeviceinfo(int position, char* name, char* version, int* type, int* usbindexNo) {
    g_library.calls.push_back(Format("getDeviceinfo %d", position, 0));
    if (position < 0 || position >= static_cast<int>(g_library.devices.size())) return 0;
    const Device& d = g_library.devices[static_cast<size_t>(position)];
    // Fill the whole buffer like a careless library; the name may lack a terminator.
    std::memset(name, 'Z', quorvane::kDeviceTextSize);
    std::memcpy(name, d.name.data(), std::min(d.name.size(), quorvane::kDeviceTextSize));
    if (d.name.size() < quorvane::kDeviceTextSize) name[d.name.size()] = '\0';
    std::snprintf(version, quorvane::kDeviceTextSize, "%s", d.version.c_str());
    *type = d.type;
    *usbindexNo = d.usbindexNo;
    return 1;
}

int QUORVANE_CALL GetDeviceInfoST(int position, quorvane::DeviceInfoST* info) {
    g_library.calls.push_back(Format("getDeviceInfoST %d", position, 0));
    if (position < 0 || position >= static_cast<int>(g_library.devices.size())) return 0;
    const Device& d = g_library.devices[static_cast<size_t>(position)];
    if (!d.infoSTOk) return 0;
    std::memset(info, 0, sizeof *info);
    info->nXCells = static_cast<std::int16_t>(d.xCells);
    info->nYCells = static_cast<std::int16_t>(d.yCells);
    return 1;
}

int QUORVANE_CALL GetSysInfo(int usbindexNo, quorvane::FrameSettings* settings) {
    g_library.calls.push_back(Format("getSysInfo %d", usbindexNo, 0));
    for (const Device& d : g_library.devices) {
        if (d.usbindexNo != usbindexNo) continue;
        if (!d.sysInfoOk) return 0;
        *settings = d.settings;
        return 1;
    }
    return 0;
}

int QUORVANE_CALL SetDump(int usbindexNo, int request) {
    g_library.calls.push_back(Format("setDump %d 0x%02X", usbindexNo, request));
    if (g_library.onSetDump) g_library.onSetDump();
    return g_library.setDumpResult;
}
}  // namespace

std::vector<std::string> Library::SetDumps() const {
    std::vector<std::string> out;
    for (const std::string& call : calls)
        if (call.rfind("setDump", 0) == 0) out.push_back(call);
    return out;
}

Library& Current() { return g_library; }

void Reset() { g_library = Library(); }

QuorvaneBinding Binding() {
    QuorvaneBinding binding;
    binding.registerQuorvaneUSBEvent = &RegisterEvent;
    binding.getDeviceinfo = &GetDeviceinfo;
    binding.getDeviceInfoST = &GetDeviceInfoST;
    binding.getSysInfo = &GetSysInfo;
    binding.setDump = &SetDump;
    return binding;
}

void RecordSleep(DWORD dwMilliseconds) {
    g_library.calls.push_back(Format("sleep %d", static_cast<int>(dwMilliseconds), 0));
}

quorvane::FrameSettings Geometry(int xCells, int yCells, int xModule, int yModule) {
    quorvane::FrameSettings s{};
    s.m_nXTCount = static_cast<std::uint16_t>(xCells);
    s.m_nYTCount = static_cast<std::uint16_t>(yCells);
    s.X_MODULE_CELL = static_cast<std::uint16_t>(xModule);
    s.Y_MODULE_CELL = static_cast<std::uint16_t>(yModule);
    s.X_TILT1 = 3;
    s.Y_TILT1 = 2;
    s.X_TILT2 = 6;
    s.Y_TILT2 = 4;
    return s;
}

Device Frame(const std::string& name, int usbindexNo, int xCells, int yCells, int xModule, int yModule) {
    Device d;
    d.name = name;
    d.usbindexNo = usbindexNo;
    d.xCells = xCells;
    d.yCells = yCells;
    d.settings = Geometry(xCells, yCells, xModule, yModule);
    return d;
}

std::vector<std::pair<std::wstring, UINT>>& Boxes() {
    static std::vector<std::pair<std::wstring, UINT>> boxes;
    return boxes;
}

int RecordBox(const wchar_t* pszText, UINT nType) {
    Boxes().emplace_back(pszText, nType);
    return IDOK;
}

BOOL WINAPI DiskFullWrite(HANDLE, LPCVOID, DWORD, LPDWORD pnWritten, LPOVERLAPPED) {
    *pnWritten = 0;
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace fake
