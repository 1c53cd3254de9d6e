// The substitute touch-frame library: the sixteen entry points over SimEngine,
// and the worker thread that delivers the library's messages.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "link/QuorvaneApi.h"
#include "sim/SimEngine.h"

using quorvane::DeviceInfoST;
using quorvane::FrameSettings;
using namespace quorvane::sim;

namespace {

// How often an idle worker checks that its window still exists.
constexpr double kIdlePollMs = 50.0;
// How far behind its schedule the stream may fall and still catch up.
constexpr double kMaxCatchUpMs = 50.0;

class LockGuard {
public:
    explicit LockGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~LockGuard() { ReleaseSRWLockExclusive(&lock_); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    SRWLOCK& lock_;
};

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring EnvironmentValue(const wchar_t* name) {
    DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(name, value.data(), n);
    value.resize(n);
    return value;
}

// Scenario and recording paths travel as UTF-8; Windows opens them by their wide names.
FILE* OpenUtf8(const std::string& path) {
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (n <= 0) return nullptr;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()), wide.data(), n);
    return _wfopen(wide.c_str(), L"rb");
}

// Everything the entry points and the worker share; guarded by `lock`.
struct Library {
    SRWLOCK lock = SRWLOCK_INIT;
    HMODULE module = nullptr;
    // QUORVANE_SIM_UNLOAD=hang: FreeLibrary never returns, as with a library
    // whose DllMain waits for a reader thread of its own that waits for it.
    bool hangOnUnload = false;
    std::unique_ptr<SimEngine> engine;
    FILE* log = nullptr;
    HANDLE wake = nullptr;  // auto-reset: state changed, the worker should look
    HWND window = nullptr;
    bool workerRunning = false;
    bool announce = false;          // send WM_USB_CONNECT even without a change
    bool deviceInfoRead = false;    // WM_READ_DEVICE_INFO due
    bool parametersRead = false;    // WM_SYSTEM_PARAMETER due
    unsigned streamGeneration = 0;  // counts started streams, so the worker restarts its clock
    LARGE_INTEGER loadedAt{};       // origin of LibraryMs
    double registeredMs = 0.0;      // when the worker started, on LibraryMs
    double dumpCountMs = 0.0;       // >0: the worker logs its delivered packets this often
    // Calls a fail_every frame has answered, by usbindexNo, per entry point.
    std::map<int, unsigned> infoStCalls;
    std::map<int, unsigned> sysInfoCalls;

    ~Library() {
        // Only reached when no worker runs (it holds a module reference) or
        // at process exit, when the worker is gone already.
        if (log) std::fclose(log);
        if (wake) CloseHandle(wake);
    }
};

Library g;

// Loads the scenario and opens the log at the first call into the library,
// not in DllMain, where file access is unsafe. Caller holds the lock.
void EnsureLoadedLocked() {
    if (g.engine) return;
    QueryPerformanceCounter(&g.loadedAt);
    Scenario scenario = DefaultScenario();
    std::wstring path = EnvironmentValue(L"QUORVANE_SIM");
    if (!path.empty()) {
        ScenarioError error;
        std::optional<Scenario> parsed = LoadScenarioFile(ToUtf8(path), error, OpenUtf8);
        if (parsed) {
            scenario = std::move(*parsed);
            for (const std::string& note : scenario.notes) std::fprintf(stderr, "QuorvaneLib: %s\n", note.c_str());
            std::fflush(stderr);
        } else {
            std::fprintf(stderr, "QuorvaneLib: %s; using the built-in scenario\n", error.ToString().c_str());
            std::fflush(stderr);
        }
    }
    // Test runs turn the guard on for every scenario, the built-in one included.
    std::wstring strict = EnvironmentValue(L"QUORVANE_SIM_STRICT_PACKETS");
    if (strict == L"yes" || strict == L"on" || strict == L"1") scenario.strictPackets = true;
    if (strict == L"no" || strict == L"off" || strict == L"0") scenario.strictPackets = false;
    g.engine = std::make_unique<SimEngine>(std::move(scenario));
    std::wstring logPath = EnvironmentValue(L"QUORVANE_SIM_LOG");
    if (!logPath.empty()) {
        g.log = _wfopen(logPath.c_str(), L"ab");
        if (!g.log) {
            std::fprintf(stderr, "QuorvaneLib: cannot open the request log %s\n", ToUtf8(logPath).c_str());
            std::fflush(stderr);
        }
    }
    std::wstring countMs = EnvironmentValue(L"QUORVANE_SIM_DUMP_COUNT_MS");
    if (!countMs.empty()) {
        wchar_t* end = nullptr;
        long ms = std::wcstol(countMs.c_str(), &end, 10);
        if (*end == L'\0' && ms >= 1 && ms <= 3600000) {
            g.dumpCountMs = static_cast<double>(ms);
        } else {
            std::fprintf(stderr, "QuorvaneLib: QUORVANE_SIM_DUMP_COUNT_MS needs 1 to 3600000 ms; not counting\n");
            std::fflush(stderr);
        }
    }
    if (!g.wake) g.wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

// False on every n-th call to a frame with fail_every = n. Caller holds the lock.
bool AnswersThisTimeLocked(const FrameSpec& frame, std::map<int, unsigned>& calls) {
    if (frame.failEvery <= 0) return true;
    return ++calls[frame.usbIndexNo] % static_cast<unsigned>(frame.failEvery) != 0;
}

void LogLocked(const std::string& line) {
    if (!g.log) return;
    std::fputs(line.c_str(), g.log);
    std::fputc('\n', g.log);
    std::fflush(g.log);
}

// The library's one clock, in milliseconds since it was loaded: the timeline
// counts from registration on it, a frame's stylus from its first IR request.
double LibraryMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - g.loadedAt.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The guard span of the live strict packet: [begin, end), begin = packet end.
std::atomic<std::uintptr_t> g_guardBegin{0};
std::atomic<std::uintptr_t> g_guardEnd{0};
std::atomic<std::size_t> g_guardedSize{0};

// A fault in the handler of a message sent from another thread is swallowed
// (Wine does; SendMessage just returns), but vectored handlers see it first,
// so an overread ends the program here.
LONG CALLBACK StopAtOverread(EXCEPTION_POINTERS* e) {
    const EXCEPTION_RECORD& r = *e->ExceptionRecord;
    if (r.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || r.NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
    const std::uintptr_t at = r.ExceptionInformation[1];
    const std::uintptr_t begin = g_guardBegin.load();
    if (begin == 0 || at < begin || at >= g_guardEnd.load()) return EXCEPTION_CONTINUE_SEARCH;
    const std::size_t size = g_guardedSize.load();
    char text[160];
    // No CRT stream: the faulting thread may be anywhere.
    int n = std::snprintf(text, sizeof text,
                          "QuorvaneLib: the program read byte %llu of a %llu-byte dump packet "
                          "(strict_packets)\r\n",
                          static_cast<unsigned long long>(at - begin + size), static_cast<unsigned long long>(size));
    DWORD written = 0;
    if (n > 0) WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(n), &written, nullptr);
    TerminateProcess(GetCurrentProcess(), EXCEPTION_ACCESS_VIOLATION);
    return EXCEPTION_CONTINUE_SEARCH;
}

// A packet placed so that it ends exactly where accessible memory ends: the
// program's first read past the packet faults instead of finding heap bytes.
class GuardedPacket {
public:
    GuardedPacket() = default;
    GuardedPacket(const GuardedPacket&) = delete;
    GuardedPacket& operator=(const GuardedPacket&) = delete;
    // Runs before the worker unloads the library, which takes the handler's code along.
    ~GuardedPacket() {
        Release();
        if (watch_) RemoveVectoredExceptionHandler(watch_);
    }

    // Where `packet` now lies; nullptr if the memory could not be had.
    const std::uint8_t* Place(const std::vector<std::uint8_t>& packet) {
        if (packet.empty()) return nullptr;
        if (packet.size() != size_) {
            Release();
            Allocate(packet.size());
        }
        if (!base_) return nullptr;
        std::uint8_t* at = base_ + committed_ - size_;
        std::memcpy(at, packet.data(), size_);
        return at;
    }

private:
    // Commits the rounded-up size and only reserves what follows. The reserved
    // span reaches past the largest packet a scenario or recording can hold,
    // so a read with a larger frame's counts faults however far it jumps.
    void Allocate(std::size_t size) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const std::size_t page = info.dwPageSize;
        auto roundUp = [page](std::size_t n) { return (n + page - 1) / page * page; };
        const std::size_t committed = roundUp(size);
        // A recording's counts are 16-bit: its packets may be larger than a described frame's.
        const std::size_t guard = roundUp(quorvane::kDumpHeaderBytes + 2 * std::size_t{0xFFFF});
        void* base = VirtualAlloc(nullptr, committed + guard, MEM_RESERVE, PAGE_NOACCESS);
        if (!base) return;
        if (!VirtualAlloc(base, committed, MEM_COMMIT, PAGE_READWRITE)) {
            VirtualFree(base, 0, MEM_RELEASE);
            return;
        }
        if (!watch_) watch_ = AddVectoredExceptionHandler(1, StopAtOverread);
        base_ = static_cast<std::uint8_t*>(base);
        committed_ = committed;
        size_ = size;
        const auto end = reinterpret_cast<std::uintptr_t>(base_ + committed_);
        g_guardBegin = 0;  // no window in which the range is half written
        g_guardedSize = size_;
        g_guardEnd = end + guard;
        g_guardBegin = end;
    }

    void Release() {
        if (base_) {
            // Only if no newer worker has claimed the range meanwhile.
            std::uintptr_t mine = reinterpret_cast<std::uintptr_t>(base_ + committed_);
            g_guardBegin.compare_exchange_strong(mine, 0);
            VirtualFree(base_, 0, MEM_RELEASE);
        }
        base_ = nullptr;
        committed_ = size_ = 0;
    }

    std::uint8_t* base_ = nullptr;
    std::size_t committed_ = 0;
    std::size_t size_ = 0;
    void* watch_ = nullptr;
};

// What one turn of the worker is to deliver, decided under the lock and sent
// without it.
struct Delivery {
    HWND window = nullptr;
    bool windowGone = false;
    bool connect = false;
    WPARAM connectedCount = 0;
    bool parameters = false;
    bool deviceInfo = false;
    bool packet = false;
    double waitMs = kIdlePollMs;
};

class Worker {
public:
    Delivery Plan() {
        LockGuard guard(g.lock);
        Delivery d;
        d.window = g.window;
        if (!IsWindow(d.window)) {
            d.windowGone = true;
            g.workerRunning = false;  // a later registration starts a new worker
            return d;
        }
        const double clock = LibraryMs();
        const double now = clock - g.registeredMs;  // the timeline's and the schedule's time
        SimEngine& engine = *g.engine;
        strict_ = engine.scenario().strictPackets;
        if (engine.AdvanceTo(static_cast<std::int64_t>(now)) || g.announce) {
            d.connect = true;
            d.connectedCount = static_cast<WPARAM>(engine.ConnectedCount());
            g.announce = false;
        }
        d.parameters = g.parametersRead;
        d.deviceInfo = g.deviceInfoRead;
        g.parametersRead = g.deviceInfoRead = false;

        double until = now + kIdlePollMs;
        if (engine.Streaming()) {
            if (generation_ != g.streamGeneration) {
                generation_ = g.streamGeneration;
                nextPacket_ = now;
                lastGap_ = 0.0;
                due_ = true;
            }
            if (due_) {
                // Short lateness (timer granularity) is caught up so the pace holds;
                // a program that kept us waiting longer gets no backlog: the stream slows down.
                if (now - nextPacket_ > std::max(2 * lastGap_, kMaxCatchUpMs)) nextPacket_ = now;
                if (now >= nextPacket_ - 0.5) {
                    d.packet = engine.NextPacket(packet_, clock);
                    // Each packet says when the next is due: a recording keeps its own pace.
                    const double gap = engine.NextGapMs();
                    due_ = d.packet && gap >= 0.0;
                    if (due_) {
                        nextPacket_ += gap;
                        lastGap_ = gap;
                    }
                    for (const std::string& line : engine.TakeLogLines()) LogLocked(line);
                }
                if (due_) until = std::min(until, nextPacket_);
            }
        }
        std::int64_t change = engine.NextTimelineChange(static_cast<std::int64_t>(now));
        if (change >= 0) until = std::min(until, static_cast<double>(change));
        if (g.dumpCountMs > 0.0) {
            if (now >= nextCount_) {
                LogLocked("dumps " + std::to_string(delivered_) + " " + std::to_string(static_cast<long long>(now)));
                // A worker kept waiting writes one line late, not a burst.
                nextCount_ = std::max(nextCount_ + g.dumpCountMs, now + 1.0);
            }
            until = std::min(until, nextCount_);
        }
        d.waitMs = until - now;
        return d;
    }

    // Sends one message unless the window went away meanwhile; true if sent.
    static bool Send(HWND window, UINT message, WPARAM wParam) {
        if (!IsWindow(window)) return false;
        SendMessageW(window, message, wParam, 0);
        return true;
    }

    void Run() {
        for (;;) {
            Delivery d = Plan();
            if (d.windowGone) return;
            bool sent = d.connect || d.parameters || d.deviceInfo || d.packet;
            if (d.connect) Send(d.window, quorvane::WM_USB_CONNECT, d.connectedCount);
            if (d.parameters) Send(d.window, quorvane::WM_SYSTEM_PARAMETER, 0);
            if (d.deviceInfo) Send(d.window, quorvane::WM_READ_DEVICE_INFO, 0);
            // SendMessage returns once the window has handled the packet.
            if (d.packet && Send(d.window, quorvane::WM_READ_DUMP, reinterpret_cast<WPARAM>(Deliverable())))
                ++delivered_;
            // Waits last whole milliseconds and tend to overshoot; the schedule
            // catches up on the next turns.
            if (!sent && d.waitMs > 0.5) WaitForSingleObject(g.wake, std::max<DWORD>(1, static_cast<DWORD>(d.waitMs)));
        }
    }

private:
    const std::uint8_t* Deliverable() {
        if (!strict_) return packet_.data();
        if (const std::uint8_t* placed = guarded_.Place(packet_)) return placed;
        if (!warned_) {
            std::fprintf(stderr,
                         "QuorvaneLib: cannot place packets before an inaccessible page; "
                         "sending them unguarded\n");
            std::fflush(stderr);
            warned_ = true;
        }
        return packet_.data();
    }

    // Both stay valid while the window handles the packet.
    std::vector<std::uint8_t> packet_;
    GuardedPacket guarded_;
    bool strict_ = false;
    bool warned_ = false;
    unsigned generation_ = 0;
    double nextPacket_ = 0.0;
    double lastGap_ = 0.0;
    bool due_ = false;                  // a packet of the current stream is yet to come
    unsigned long long delivered_ = 0;  // packets the window has handled
    double nextCount_ = 0.0;
};

DWORD WINAPI WorkerMain(LPVOID) {
    timeBeginPeriod(1);
    {
        Worker worker;
        worker.Run();
    }
    timeEndPeriod(1);
    if (g.hangOnUnload) ExitThread(0);  // it took no reference of its own
    // Drops the reference taken for this thread; the library may unload now.
    FreeLibraryAndExitThread(g.module, 0);
}

// Caller holds the lock.
bool StartWorkerLocked() {
    if (!g.wake) return false;  // without it the worker could only spin
    HMODULE self = nullptr;
    // With hangOnUnload the program's FreeLibrary itself reaches DllMain.
    if (!g.hangOnUnload &&
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WorkerMain), &self))
        return false;
    g.workerRunning = true;
    g.registeredMs = LibraryMs();
    HANDLE thread = CreateThread(nullptr, 0, WorkerMain, nullptr, 0, nullptr);
    if (!thread) {
        g.workerRunning = false;
        if (self) FreeLibrary(self);
        return false;
    }
    CloseHandle(thread);
    return true;
}

void CopyText(char* dest, const std::string& text) {
    std::size_t n = std::min(text.size(), quorvane::kDeviceTextSize - 1);
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g.module = instance;
        DisableThreadLibraryCalls(instance);
        g.hangOnUnload = EnvironmentValue(L"QUORVANE_SIM_UNLOAD") == L"hang";
    }
    // Only an unload by FreeLibrary (reserved is null); at process exit it ends as usual.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr && g.hangOnUnload) Sleep(INFINITE);
    return TRUE;
}

int QUORVANE_CALL registerQuorvaneUSBEvent(HWND hWnd) {
    LockGuard guard(g.lock);
    EnsureLoadedLocked();
    int result = 0;
    if (hWnd && IsWindow(hWnd)) {
        g.window = hWnd;
        g.announce = true;
        result = g.workerRunning || StartWorkerLocked() ? 1 : 0;
        SetEvent(g.wake);
    }
    LogLocked(LogRegister(result));
    return result;
}

int QUORVANE_CALL getDeviceinfo(int position, char* name, char* version, int* devicetype, int* usbindexNo) {
    LockGuard guard(g.lock);
    EnsureLoadedLocked();
    const FrameSpec* frame = g.engine->AtPosition(position);
    int result = 0;
    if (frame && name && version && devicetype && usbindexNo) {
        CopyText(name, frame->name);
        CopyText(version, frame->version);
        *devicetype = frame->deviceType;
        *usbindexNo = frame->usbIndexNo;
        g.deviceInfoRead = true;
        SetEvent(g.wake);
        result = 1;
    }
    LogLocked(LogGetDeviceinfo(position, result));
    return result;
}

int QUORVANE_CALL getDeviceInfoST(int position, DeviceInfoST* info) {
    LockGuard guard(g.lock);
    EnsureLoadedLocked();
    const FrameSpec* frame = g.engine->AtPosition(position);
    int result = 0;
    if (frame && info && frame->infoStSucceeds && AnswersThisTimeLocked(*frame, g.infoStCalls))
        result = AnswerDeviceInfoST(*frame, *info);
    LogLocked(LogGetDeviceInfoST(position, result));
    return result;
}

int QUORVANE_CALL getSysInfo(int usbindexNo, FrameSettings* settings) {
    LockGuard guard(g.lock);
    EnsureLoadedLocked();
    const FrameSpec* frame = g.engine->ConnectedFrame(usbindexNo);
    int result = 0;
    if (frame && settings && frame->sysInfoSucceeds && AnswersThisTimeLocked(*frame, g.sysInfoCalls))
        result = AnswerSysInfo(*frame, *settings);
    if (result != 0) {
        g.parametersRead = true;
        SetEvent(g.wake);
    }
    LogLocked(LogGetSysInfo(usbindexNo, result));
    return result;
}

int QUORVANE_CALL setDump(int usbindexNo, int request) {
    LockGuard guard(g.lock);
    EnsureLoadedLocked();
    SimEngine::DumpOutcome outcome = g.engine->SetDump(usbindexNo, request, LibraryMs());
    if (outcome == SimEngine::DumpOutcome::Started) ++g.streamGeneration;
    if (g.wake) SetEvent(g.wake);
    LogLocked(LogSetDump(usbindexNo, request));
    for (const std::string& line : g.engine->TakeLogLines()) LogLocked(line);
    return g.engine->ResultOf(outcome);
}

// The eleven entry points the program resolves but never calls: with the C
// calling convention the caller cleans the stack, so any arguments are safe.
int QUORVANE_CALL getDLLVersion(void) { return 0; }
int QUORVANE_CALL allfirmWareParamRequest(void) { return 0; }
int QUORVANE_CALL getUSBConnectCount(void) { return 0; }
int QUORVANE_CALL getTouchParam(void) { return 0; }
int QUORVANE_CALL setQuorvaneMode(void) { return 0; }
int QUORVANE_CALL getAllTouchParam(void) { return 0; }
int QUORVANE_CALL getDeviceinfo2(void) { return 0; }
int QUORVANE_CALL allfirmWareParamSet(void) { return 0; }
int QUORVANE_CALL setAllTouchParam(void) { return 0; }
int QUORVANE_CALL getSysState(void) { return 0; }
int QUORVANE_CALL isDllStart(void) { return 0; }

}  // extern "C"

// The exported functions must keep the signatures the program calls them with.
static_assert(std::is_same_v<decltype(&registerQuorvaneUSBEvent), PFN_registerQuorvaneUSBEvent>);
static_assert(std::is_same_v<decltype(&getDeviceinfo), PFN_getDeviceinfo>);
static_assert(std::is_same_v<decltype(&getDeviceInfoST), PFN_getDeviceInfoST>);
static_assert(std::is_same_v<decltype(&getSysInfo), PFN_getSysInfo>);
static_assert(std::is_same_v<decltype(&setDump), PFN_setDump>);
