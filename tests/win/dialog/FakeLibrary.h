// A fake touch-frame library bound into the dialog in place of QuorvaneLib.dll:
// scripted devices, and a log of every call in the order the dialog made it
// (waits included), so tests assert what the program asked and when.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/LumagridDlg.h"

namespace fake {

struct Device {
    std::string name;
    std::string version = "1.0";
    int type = 1;
    int usbindexNo = 0;
    int xCells = 0;
    int yCells = 0;
    bool infoSTOk = true;
    bool sysInfoOk = true;
    quorvane::FrameSettings settings{};
};

struct Library {
    std::vector<Device> devices;
    std::vector<std::string> calls;
    int setDumpResult = 0;
    // Runs inside every setDump, as a library's own thread would act meanwhile.
    void (*onSetDump)() = nullptr;

    // Requests seen by setDump, as "setDump <idx> 0x<byte>".
    std::vector<std::string> SetDumps() const;
};

// The one fake in use (the entry points are plain functions).
Library& Current();
void Reset();
// The binding the dialog calls through.
QuorvaneBinding Binding();
// Records a wait instead of blocking.
void RecordSleep(DWORD dwMilliseconds);

// A frame geometry record as the library would answer it.
quorvane::FrameSettings Geometry(int xCells, int yCells, int xModule, int yModule);

// A listed frame whose info record and geometry answer agree.
Device Frame(const std::string& name, int usbindexNo, int xCells, int yCells, int xModule, int yModule);

// The platform's side of file errors: message boxes recorded instead of shown,
// a disk that is always full, and a file's bytes for comparing.
std::vector<std::pair<std::wstring, UINT>>& Boxes();
int RecordBox(const wchar_t* pszText, UINT nType);
BOOL WINAPI DiskFullWrite(HANDLE hFile, LPCVOID pData, DWORD nBytes, LPDWORD pnWritten, LPOVERLAPPED pOverlapped);
std::string ReadAll(const std::string& path);

}  // namespace fake
