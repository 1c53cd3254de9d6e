// Rate run: the program's main dialog, loaded with the substitute library
// streaming 2 x 512 receivers in Maximal IR, for a while at a given packet
// rate. Reports packets handled per second against those offered, the share
// of one core the process used (GetProcessTimes: the program and the library's
// worker) and chart paints per second. Run under Wine or Windows:
//   rate_run <packets per second> <seconds> [hidden|floor|record]
// "hidden" hides both charts during the measurement: the cost of everything
// but the painting. "floor" answers every packet without handing it to the
// dialog: what the library's thread and the window system cost anyway.
// "record" records the dump stream to a file meanwhile (the system menu's
// "Record dump stream..."), and reads it back afterwards.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/LumagridApp.h"
#include "app/LumagridDlg.h"
#include "app/resource.h"
#include "recording/RecordingIndex.h"

namespace {
CLumagridApp g_app;

WNDPROC g_pfnDialogProc = nullptr;
long g_nPackets = 0;
bool g_bSwallowPackets = false;
LONGLONG g_llHandlerTicks = 0;  // performance-counter ticks spent in the dialog's handler
WNDPROC g_pfnChartProc[2] = {nullptr, nullptr};
HWND g_hChart[2] = {nullptr, nullptr};
LONGLONG g_llPaintTicks = 0;  // ... and in the charts' WM_PAINT
std::wstring g_recordPath;

// The recording's Save As dialog, answered.
BOOL WINAPI ChooseRecordPath(OPENFILENAMEW* pOfn) {
    if (g_recordPath.size() + 1 > pOfn->nMaxFile) return FALSE;
    std::copy(g_recordPath.c_str(), g_recordPath.c_str() + g_recordPath.size() + 1, pOfn->lpstrFile);
    return TRUE;
}

LONGLONG Ticks() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Counts the dump packets the dialog handles; everything goes on to the dialog.
LRESULT CALLBACK CountingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == quorvane::WM_READ_DUMP) {
        ++g_nPackets;
        if (g_bSwallowPackets) return 0;
        const LONGLONG start = Ticks();
        LRESULT result = ::CallWindowProcW(g_pfnDialogProc, hWnd, message, wParam, lParam);
        g_llHandlerTicks += Ticks() - start;
        return result;
    }
    return ::CallWindowProcW(g_pfnDialogProc, hWnd, message, wParam, lParam);
}

// Times the charts' paints; everything goes on to the chart.
LRESULT CALLBACK TimingChartProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const int i = hWnd == g_hChart[0] ? 0 : 1;
    if (message != WM_PAINT) return ::CallWindowProcW(g_pfnChartProc[i], hWnd, message, wParam, lParam);
    const LONGLONG start = Ticks();
    LRESULT result = ::CallWindowProcW(g_pfnChartProc[i], hWnd, message, wParam, lParam);
    g_llPaintTicks += Ticks() - start;
    return result;
}

double Seconds(const FILETIME& ft) {
    ULARGE_INTEGER v;
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 1e7;
}

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

double ThreadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

// Runs the dialog's messages for a while, the way a modal dialog's loop does;
// counts chart paints on the way.
long PumpFor(DWORD dwMilliseconds, HWND hDialog, HWND hChartX, HWND hChartY) {
    long nPaints = 0;
    const UINT_PTR idEnd = ::SetTimer(nullptr, 0, dwMilliseconds, nullptr);
    MSG msg;
    for (;;) {
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && ::GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
        if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == idEnd) break;
        if (msg.message == WM_PAINT && (msg.hwnd == hChartX || msg.hwnd == hChartY)) ++nPaints;
        if (hDialog != nullptr && ::IsDialogMessageW(hDialog, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::KillTimer(nullptr, idEnd);
    return nPaints;
}

std::string WriteScenario(int nRate) {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    std::string path = Narrow(dir) + "lumagrid-rate.scn";
    FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return std::string();
    std::fprintf(f,
                 "rate = %d\n[frame]\nname = Rate bench\nusbindex = 4\nx_cells = 512\ny_cells = 512\n"
                 "x_module_cells = 64\ny_module_cells = 64\nnoise = 3\nweak_x = 100:0.3\ndead_x = 200\n",
                 nRate);
    std::fclose(f);
    return path;
}
}  // namespace

int main(int argc, char** argv) {
    const int nRate = argc > 1 ? std::atoi(argv[1]) : 200;
    const int nSeconds = argc > 2 ? std::atoi(argv[2]) : 20;
    const std::string variant = argc > 3 ? argv[3] : "";
    const bool bHideCharts = variant == "hidden";
    const bool bRecord = variant == "record";
    std::string scenario = WriteScenario(nRate);
    if (scenario.empty()) {
        std::fprintf(stderr, "cannot write the scenario file\n");
        return 2;
    }
    ::SetEnvironmentVariableA("QUORVANE_SIM", scenario.c_str());
    // The dialog's own traces would measure the console, not the scope.
    std::freopen("NUL", "w", stdout);

    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    AfxInitRichEdit();
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    g_app.m_strExeDir = folder;

    CLumagridDlg dlg;
    if (!dlg.Create(IDD_LUMAGRID_DIALOG, nullptr)) {
        std::fprintf(stderr, "cannot create the dialog\n");
        return 2;
    }
    g_pfnDialogProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(dlg.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
    g_hChart[0] = dlg.m_chartX.m_hWnd;
    g_hChart[1] = dlg.m_chartY.m_hWnd;
    for (int i = 0; i < 2; ++i)
        g_pfnChartProc[i] = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(g_hChart[i], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TimingChartProc)));
    PumpFor(1000, dlg.m_hWnd, nullptr, nullptr);  // the library announces its frame

    // A click on the frame, then Maximal IR with markers on.
    HWND hList = ::GetDlgItem(dlg.m_hWnd, IDC_DEVICE_LIST);
    ::SendMessageW(hList, LVM_SETSELECTIONMARK, 0, 0);
    NMITEMACTIVATE item{};
    item.hdr.hwndFrom = hList;
    item.hdr.idFrom = IDC_DEVICE_LIST;
    item.hdr.code = NM_CLICK;
    item.iItem = 0;
    ::SendMessageW(dlg.m_hWnd, WM_NOTIFY, IDC_DEVICE_LIST, reinterpret_cast<LPARAM>(&item));
    ::SendMessageW(::GetDlgItem(dlg.m_hWnd, IDC_SCOPE_MAXIMAL_IR), BM_CLICK, 0, 0);
    PumpFor(1000, dlg.m_hWnd, nullptr, nullptr);

    g_bSwallowPackets = variant == "floor";
    if (bRecord) {
        wchar_t dir[MAX_PATH];
        ::GetTempPathW(MAX_PATH, dir);
        g_recordPath = std::wstring(dir) + L"lumagrid-rate.lgrec";
        dlg.m_pfnGetSaveFileName = &ChooseRecordPath;
        ::SendMessageW(dlg.m_hWnd, WM_SYSCOMMAND, IDM_RECORD_DUMP_STREAM, 0);
        if (!dlg.m_pRecorder) {
            std::fprintf(stderr, "cannot start the recording\n");
            return 2;
        }
    }
    if (bHideCharts) {
        ::ShowWindow(dlg.m_chartX.m_hWnd, SW_HIDE);
        ::ShowWindow(dlg.m_chartY.m_hWnd, SW_HIDE);
    }
    const long nPacketsBefore = g_nPackets;
    g_llHandlerTicks = 0;
    g_llPaintTicks = 0;
    const double cpuBefore = ProcessCpuSeconds();
    const double uiBefore = ThreadCpuSeconds();
    const ULONGLONG start = ::GetTickCount64();
    const long nPaints =
        PumpFor(static_cast<DWORD>(nSeconds) * 1000, dlg.m_hWnd, dlg.m_chartX.m_hWnd, dlg.m_chartY.m_hWnd);
    const double wall = (::GetTickCount64() - start) / 1000.0;
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const double ui = ThreadCpuSeconds() - uiBefore;
    const long nPackets = g_nPackets - nPacketsBefore;
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    auto microsecondsEach = [&](LONGLONG llTicks, long nCount) {
        return nCount > 0 ? 1e6 * static_cast<double>(llTicks) / static_cast<double>(frequency.QuadPart) / nCount : 0.0;
    };

    std::fprintf(stderr,
                 "%srate %d/s for %.1f s: packets handled %.1f/s (%.1f %% of offered), CPU %.1f %% of a core "
                 "(the dialog's thread %.1f %%), chart paints %.1f/s; "
                 "%.1f us in the packet handler per packet, %.1f us in a chart's paint handler\n",
                 bHideCharts         ? "charts hidden, "
                 : g_bSwallowPackets ? "packets only answered, "
                 : bRecord           ? "recording, "
                                     : "",
                 nRate, wall, nPackets / wall, 100.0 * nPackets / (nRate * wall), 100.0 * cpu / wall, 100.0 * ui / wall,
                 nPaints / wall, microsecondsEach(g_llHandlerTicks, nPackets),
                 microsecondsEach(g_llPaintTicks, nPaints));
    dlg.DestroyWindow();
    PumpFor(200, nullptr, nullptr, nullptr);
    if (bRecord) {
        // Also the packets before and after the measurement: the recording ran longer.
        const std::string path = Narrow(g_recordPath.c_str());
        const recording::RecordingIndex index = recording::IndexRecordingFile(path);
        std::uint64_t nRecorded = 0;
        for (const recording::PacketStream& stream : index.streams) nRecorded += stream.Count();
        WIN32_FILE_ATTRIBUTE_DATA attributes{};
        ::GetFileAttributesExW(g_recordPath.c_str(), GetFileExInfoStandard, &attributes);
        const double raw = static_cast<double>(nRecorded) * static_cast<double>(index.header.PacketSize());
        std::fprintf(stderr,
                     "  the recording: %s, %llu packets over %.1f s, %lu bytes (%.1f %% of the packets' %.0f)\n",
                     index.status == recording::IndexStatus::Complete ? "complete" : index.message.c_str(),
                     static_cast<unsigned long long>(nRecorded), index.endTimeUs / 1e6,
                     static_cast<unsigned long>(attributes.nFileSizeLow),
                     raw > 0 ? 100.0 * attributes.nFileSizeLow / raw : 0.0, raw);
        ::DeleteFileW(g_recordPath.c_str());
    }
    return 0;
}
