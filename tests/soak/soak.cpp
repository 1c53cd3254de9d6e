// Soak: the real program for some minutes on three frames that stream at 200
// packets/s and come and go every few seconds, while a scripted user works
// every control in a 30-second cycle. Every 10 s the program is measured from
// outside; at the end the table and a verdict are printed. The verdict compares
// the first minute after a minute's warm-up with the last minute (half
// minutes in runs under three minutes); the warm-up's first half minute fills
// the status box with reports instead of running a cycle.
//   lumagrid_soak [minutes, 2 or more (default 10)] [--bin DIR] [--keep DIR]
// Exit code 0: PASS, 1: FAIL, 2: bad usage or the program could not start.
#include "Driver.h"  // <windows.h> first

#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

// WM_LUMAGRID_GDI_COUNT of app/LumagridDlg.h: the wrappers' live GDI objects
// (wParam 0) or DCs (wParam 1) as the result.
constexpr UINT kGdiCountMessage = WM_APP + 0x100;

constexpr DWORD kCycleMs = 30000;
constexpr DWORD kAnswerLimitMs = 1000;  // a window that takes longer hangs
constexpr DWORD kProbeEveryMs = 500;
constexpr DWORD kHandlerLimitMs = 10000;  // a click whose handler takes longer hangs too
constexpr double kLimitPercent = 5.0;

// The status box keeps its newest 1000 lines; the warm-up's reports fill it
// that far, so that the minutes compared see it at its steady size.
constexpr int kWarmUpStatusLines = 900;
constexpr DWORD kWarmUpReportsUntilMs = 25000;
constexpr int kWarmUpReportLines = 50;  // a report adds more while the box has room

constexpr int kDeviceList = 1037;
constexpr int kStatusBox = 1002;
constexpr int kTrackBar = 1010;
constexpr int kModeStop = 1015, kModeAmbientIr = 1011, kModeAmbient = 1012, kModeIr = 1016;
constexpr int kModePercent = 1013, kModeMaximalIr = 1014;
constexpr int kLedCheck = 1018, kFileReport = 1043, kAutoFileSave = 1055;
constexpr int kBar = 1047, kCapture1 = 1048, kFilter = 1049, kCapture2 = 1051;
constexpr int kXModuleIds[] = {1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1038, 1039, 1019};
constexpr int kYModuleIds[] = {1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036, 1041, 1042, 1028};

// The timeline repeats with the driver's cycle, so every cycle (and every
// minute) carries the same work. Rows: A, B, C while all are connected.
const char kScenario[] = R"(# Soak: three frames at 200 packets/s that come and go every few seconds;
# the third answers getDeviceInfoST and getSysInfo only every other time.
rate = 200
seed = 20240611
strict_packets = yes
cycle_ms = 30000
at = 9000 disconnect 2
at = 14000 connect 2
at = 19000 disconnect 1
at = 22000 connect 1
at = 28000 disconnect 0

[frame]
name = Soak IR96/SN-1
usbindex = 0
x_cells = 96
y_cells = 64
x_module_cells = 16
y_module_cells = 16
x_tilts = 3 5 0 0
y_tilts = 2 4 0 0
noise = 3
dead_x = 41
weak_x = 17:0.20
weak_y = 50:0.25

[frame]
name = Soak IR160/SN-2
usbindex = 1
x_cells = 160
y_cells = 90
x_module_cells = 16
y_module_cells = 16
x_tilts = 4 7 0 0
y_tilts = 3 5 0 0
noise = 4

[frame]
name = Soak IR128/SN-3 loose
usbindex = 2
x_cells = 128
y_cells = 72
x_module_cells = 16
y_module_cells = 12
noise = 5
weak_y = 10:0.3
fail_every = 2
)";

enum class Act {
    Sample,
    Row,
    Click,
    Modules,
    Trackbar,
    Resize,
    Minimize,
    Restore,
    Report,
    AutoSaveOn,
    AutoSaveOff,
    FillStatusBox
};

struct Step {
    DWORD atMs;  // within the cycle
    Act act;
    int arg = 0;
};

// One cycle; the list refreshes (and loses its selection) at 0, 9, 14, 19, 22
// and 28 s, so every run of mode clicks follows a row click.
const Step kCycle[] = {
    {500, Act::Sample},
    {800, Act::Row, 0},  // A
    {2300, Act::Click, kModeStop},
    {2700, Act::Click, kModeAmbientIr},
    {3100, Act::Click, kModeAmbient},
    {3500, Act::Click, kModeIr},
    {3900, Act::Click, kModePercent},
    {4300, Act::Click, kModeMaximalIr},
    {4800, Act::Click, kLedCheck},
    {5300, Act::Modules, 0},  // X
    {6300, Act::Modules, 1},  // Y
    {7000, Act::Click, kCapture1},
    {7300, Act::Click, kCapture2},
    {7600, Act::Click, kFilter},
    {7900, Act::Click, kBar},
    {8200, Act::Trackbar, 50},
    {8500, Act::Click, kFilter},
    {8700, Act::Click, kCapture1},
    {8800, Act::Click, kCapture2},
    {8900, Act::Click, kBar},
    {9200, Act::Trackbar, 100},
    {10500, Act::Sample},
    {11000, Act::Row, 1},  // B (C is away)
    {12500, Act::Click, kModeMaximalIr},
    {13000, Act::Report},
    {15000, Act::Row, 2},  // C
    {16500, Act::Resize, 1},
    {17000, Act::Resize, 0},
    {17500, Act::Minimize},
    {18300, Act::Restore},
    {20500, Act::Sample},
    {21000, Act::AutoSaveOn},  // a pass over A and C; B comes back during it
    {26500, Act::AutoSaveOff},
};

// The first half minute, in place of a cycle.
const Step kWarmUp[] = {
    {500, Act::Sample},
    {800, Act::Row, 1},  // B, the frame with the most rows
    {2300, Act::Click, kModeMaximalIr},
    {2800, Act::FillStatusBox},
    {10500, Act::Sample},
    {20500, Act::Sample},
};

struct Sample {
    double t = 0;             // seconds since the program was up
    DWORD slowestAnswer = 0;  // ms, of the probes since the last sample
    double slowestAt = -1;    // when it was asked, seconds since the start
    int unanswered = 0;       // probes that took longer than the limit
    double packetsPerSecond = -1;
    double workingSetMB = -1;
    double privateMB = -1;
    long gdiObjects = -1;  // the framework's wrappers
    long dcs = -1;
    long osGdi = -1;  // GetGuiResources; -1 where it is not implemented
    long osUser = -1;
    long windows = -1;  // windows of the process, children included
};

double Seconds(ULONGLONG fromMs) { return static_cast<double>(GetTickCount64() - fromMs) / 1000.0; }

// Named CALLBACK functions, not lambdas: a lambda converts only to the default
// calling convention, which 32-bit Windows callbacks do not use.
struct WindowSearch {
    DWORD pid;
    int count;
};

BOOL CALLBACK CountChild(HWND, LPARAM lp) {
    ++*reinterpret_cast<int*>(lp);
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<WindowSearch*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != s->pid) return TRUE;
    ++s->count;
    EnumChildWindows(hwnd, CountChild, reinterpret_cast<LPARAM>(&s->count));
    return TRUE;
}

int CountWindows(DWORD pid) {
    WindowSearch search{pid, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

class Soak {
public:
    Soak(std::string binDir, std::string keepDir, int minutes)
        : m_binDir(std::move(binDir)), m_keepDir(std::move(keepDir)), m_minutes(minutes) {}

    int Run();

private:
    bool Launch();
    void RunStep(const Step& step, ULONGLONG cycleStart);
    void FillStatusBox(ULONGLONG untilTick);
    void WaitUntil(ULONGLONG tickMs);
    void Probe();
    bool Send(UINT msg, WPARAM wp, DWORD timeoutMs, LRESULT* result = nullptr);
    void Sync();
    void TakeSample();
    void CheckBoxes();
    bool Alive();
    void Click(int id);
    void ClickRow(int row);
    bool Report();
    int StatusLineCount();
    void Done(const char* what, bool ok, const std::string& why = "");
    void Fail(const std::string& reason);
    void Finish();
    int Verdict();
    void PrintTable() const;

    std::string m_binDir, m_keepDir;
    int m_minutes;
    e2e::Session m_s;
    HANDLE m_query = nullptr;
    HWND m_main = nullptr;
    RECT m_initialClient{};
    ULONGLONG m_t0 = 0;
    bool m_ended = false;  // the program is gone
    bool m_osCountsWork = false;

    Sample m_pending;  // probes since the last sample
    ULONGLONG m_lastProbe = 0;
    long long m_lastPackets = -1, m_lastPacketMs = -1;
    std::vector<Sample> m_samples;

    std::map<std::string, std::pair<int, int>> m_actions;  // done, skipped
    std::vector<std::string> m_skipNotes;
    std::vector<std::string> m_failures;
};

bool Soak::Launch() {
    e2e::LaunchOptions options;
    options.binDir = m_binDir;
    options.exeName = "LumagridX.exe";  // the advanced copy has " Auto File Save"
    options.scenarioText = kScenario;
    options.env = {{"QUORVANE_SIM_DUMP_COUNT_MS", "1000"}, {"LUMAGRID_TRACE_GDI", "1"}};
    if (!m_keepDir.empty()) {
        options.folder = m_keepDir;
        options.keepFolder = true;
    }
    if (!m_s.launch(options) || !(m_main = m_s.waitMainWindow(30000)) ||
        m_s.waitTrace(">>>>>Load Dll success", 30000) < 0) {
        std::fprintf(stderr, "soak: %s\n", m_s.lastError().c_str());
        return false;
    }
    m_t0 = GetTickCount64();
    m_s.clientRect(m_initialClient);
    m_query = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, m_s.processId());
    SetLastError(0);
    DWORD gdi = GetGuiResources(m_query, GR_GDIOBJECTS);
    m_osCountsWork = gdi != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
    std::printf("soak: %s in %s, %d minutes, a %lu-s cycle of steps; GetGuiResources %s\n", options.exeName.c_str(),
                m_s.folder().c_str(), m_minutes, kCycleMs / 1000,
                m_osCountsWork ? "works" : "is not implemented here (Wine): the wrappers' count stands in");
    std::fflush(stdout);
    return true;
}

bool Soak::Alive() {
    if (m_ended) return false;
    if (m_s.running()) return true;
    m_ended = true;
    DWORD code = 0;
    m_s.waitExit(2000, &code);
    char text[160];
    std::snprintf(text, sizeof text, "the program ended by itself at %.1f s (exit code 0x%lX)", Seconds(m_t0),
                  static_cast<unsigned long>(code));
    Fail(text);
    for (const std::string& line : m_s.traceLines())
        if (line.find("QuorvaneLib:") != std::string::npos) Fail("its last words: " + line);
    return false;
}

void Soak::Fail(const std::string& reason) {
    if (std::find(m_failures.begin(), m_failures.end(), reason) == m_failures.end()) m_failures.push_back(reason);
}

void Soak::Done(const char* what, bool ok, const std::string& why) {
    auto& tally = m_actions[what];
    if (ok) {
        ++tally.first;
    } else {
        ++tally.second;
        if (m_skipNotes.size() < 12) {
            char at[32];
            std::snprintf(at, sizeof at, "%.1f s: ", Seconds(m_t0));
            m_skipNotes.push_back(at + std::string(what) + ": " + why);
        }
    }
}

bool Soak::Send(UINT msg, WPARAM wp, DWORD timeoutMs, LRESULT* result) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(m_main, msg, wp, 0, SMTO_NORMAL, timeoutMs, &answer)) return false;
    if (result) *result = static_cast<LRESULT>(answer);
    return true;
}

// The window must answer within the limit whenever the user could touch it.
void Soak::Probe() {
    if (!Alive()) return;
    const ULONGLONG start = GetTickCount64();
    const bool answered = Send(WM_NULL, 0, kAnswerLimitMs);
    const DWORD took = static_cast<DWORD>(GetTickCount64() - start);
    m_lastProbe = GetTickCount64();
    if (took >= m_pending.slowestAnswer) {
        m_pending.slowestAnswer = took;
        m_pending.slowestAt = static_cast<double>(start - m_t0) / 1000.0;
    }
    if (!answered && Alive()) {
        ++m_pending.unanswered;
        char text[120];
        std::snprintf(text, sizeof text, "the window did not answer within %lu ms at %.1f s",
                      static_cast<unsigned long>(kAnswerLimitMs), Seconds(m_t0));
        Fail(text);
    }
}

// Waits for what a posted action started: the program answers once its
// handler has returned.
void Soak::Sync() {
    if (!Send(WM_NULL, 0, kHandlerLimitMs) && Alive()) {
        char text[120];
        std::snprintf(text, sizeof text, "a handler kept the window busy for more than %lu ms at %.1f s",
                      static_cast<unsigned long>(kHandlerLimitMs), Seconds(m_t0));
        Fail(text);
    }
}

// A box the script did not ask for (a file error, say) is a fault: noted, closed.
void Soak::CheckBoxes() {
    e2e::DialogInfo box;
    if (!Alive() || !m_s.waitDialog(box, 0)) return;
    char at[32];
    std::snprintf(at, sizeof at, "%.1f s", Seconds(m_t0));
    Fail(std::string("a box appeared at ") + at + ": \"" + box.caption + "\" " + box.text);
    m_s.pressButton(box.hwnd);
    m_s.waitWindowGone(box.hwnd, 3000);
}

void Soak::WaitUntil(ULONGLONG tickMs) {
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= tickMs || !Alive()) return;
        if (now - m_lastProbe >= kProbeEveryMs) {
            Probe();
            CheckBoxes();
        }
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(tickMs - GetTickCount64() + 1, 50)));
    }
}

void Soak::Click(int id) {
    const std::string what = "click " + std::to_string(id);
    if (!m_s.visible(id) || !m_s.enabled(id)) {
        Done(what.c_str(), false, "hidden or disabled");
        return;
    }
    Done(what.c_str(), m_s.click(id, kHandlerLimitMs), m_s.lastError());
}

// Rows are clicked with posted mouse messages; the handler ends with the
// frame's windows traced and Ambient+IR requested.
void Soak::ClickRow(int row) {
    const size_t from = m_s.traceCount();
    if (!m_s.clickRow(kDeviceList, row)) {
        Done("click a row", false, m_s.lastError());
        return;
    }
    const bool traced = m_s.waitTrace("StartY=", 5000, from) >= 0;
    Sync();
    Done("click a row", traced, m_s.lastError());
}

// A report needs a Maximal mode and a marked frame; the sample is saved over
// the same file every cycle.
bool Soak::Report() {
    if (!m_s.enabled(kFileReport)) {
        Done("report", false, "File Report disabled");
        return false;
    }
    // Removed first, so that its reappearance is this report's.
    DeleteFileW(e2e::Widen(m_s.filePath("soak-report.xls")).c_str());
    e2e::DialogInfo dialog;
    bool ok = m_s.click(kFileReport, kHandlerLimitMs) && m_s.waitFileDialog(dialog, 5000, "Export Report File As") &&
              m_s.fileDialogSave(dialog.hwnd, m_s.filePath("soak-report.xls")) && m_s.waitFile("soak-report.xls", 5000);
    Done("report", ok, m_s.lastError());
    if (!ok && dialog.hwnd && IsWindow(dialog.hwnd)) m_s.fileDialogCancel(dialog.hwnd);
    return ok;
}

int Soak::StatusLineCount() {
    DWORD_PTR lines = 0;
    HWND box = m_s.control(kStatusBox);
    return box && SendMessageTimeoutW(box, EM_GETLINECOUNT, 0, 0, SMTO_NORMAL, kHandlerLimitMs, &lines)
               ? static_cast<int>(lines)
               : -1;
}

// Reports until the status box is nearly full or has begun to drop its
// oldest lines (a report then adds next to nothing); a list refresh loses the
// marked row, so the row and the mode are chosen again when it is gone.
void Soak::FillStatusBox(ULONGLONG untilTick) {
    for (int lines = StatusLineCount(); Alive() && GetTickCount64() < untilTick && lines < kWarmUpStatusLines;) {
        if (m_s.listSelectionMark(kDeviceList) < 0) {
            ClickRow(1);
            Click(kModeMaximalIr);
        }
        const bool saved = Report();
        const int now = StatusLineCount();
        if (saved && now < lines + kWarmUpReportLines) break;
        lines = now;
    }
}

void Soak::RunStep(const Step& step, ULONGLONG cycleStart) {
    switch (step.act) {
        case Act::Sample: TakeSample(); break;
        case Act::Row: ClickRow(step.arg); break;
        case Act::Click: Click(step.arg); break;
        case Act::Modules:
            for (int id : step.arg == 0 ? kXModuleIds : kYModuleIds)
                if (m_s.visible(id)) Click(id);
            break;
        case Act::Trackbar: Done("track bar", m_s.setTrackbar(kTrackBar, step.arg), m_s.lastError()); break;
        case Act::Resize:
            if (step.arg == 1) Done("resize", m_s.resizeClient(1000, 720), m_s.lastError());
            else Done("resize", m_s.resizeClient(m_initialClient.right, m_initialClient.bottom), m_s.lastError());
            Sync();
            break;
        case Act::Minimize:
            Done("minimize", m_s.sysCommand(SC_MINIMIZE), m_s.lastError());
            Sync();
            break;
        case Act::Restore:
            Done("restore", m_s.sysCommand(SC_RESTORE), m_s.lastError());
            Sync();
            break;
        case Act::Report: Report(); break;
        case Act::FillStatusBox: FillStatusBox(cycleStart + kWarmUpReportsUntilMs); break;
        case Act::AutoSaveOn: {
            const size_t from = m_s.traceCount();
            if (m_s.checked(kAutoFileSave) == BST_CHECKED) Click(kAutoFileSave);  // left ticked by a late cycle
            Click(kAutoFileSave);
            Done("auto-save pass", m_s.waitTrace("usbindexNo =>", 3000, from) >= 0, m_s.lastError());
            break;
        }
        case Act::AutoSaveOff:
            if (m_s.checked(kAutoFileSave) == BST_CHECKED) Click(kAutoFileSave);
            break;
    }
}

void Soak::TakeSample() {
    Probe();
    Sample s = m_pending;
    m_pending = Sample{};
    s.t = Seconds(m_t0);
    if (!Alive()) return;

    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(m_query, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        s.workingSetMB = static_cast<double>(memory.WorkingSetSize) / (1024.0 * 1024.0);
        // Wine leaves PrivateUsage 0 for another process; its PagefileUsage is
        // the anonymous memory (private bytes), as Windows' is the commit charge.
        SIZE_T privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
        s.privateMB = static_cast<double>(privateBytes) / (1024.0 * 1024.0);
    }
    LRESULT count = 0;
    if (Send(kGdiCountMessage, 0, kAnswerLimitMs, &count)) s.gdiObjects = static_cast<long>(count);
    if (Send(kGdiCountMessage, 1, kAnswerLimitMs, &count)) s.dcs = static_cast<long>(count);
    if (m_osCountsWork) {
        s.osGdi = static_cast<long>(GetGuiResources(m_query, GR_GDIOBJECTS));
        s.osUser = static_cast<long>(GetGuiResources(m_query, GR_USEROBJECTS));
    }
    s.windows = CountWindows(m_s.processId());

    // The library logs "dumps <handled> <ms>" every second.
    long long packets = -1, ms = -1;
    for (const std::string& line : m_s.requestLog()) {
        long long p = 0, m = 0;
        if (std::sscanf(line.c_str(), "dumps %lld %lld", &p, &m) == 2) packets = p, ms = m;
    }
    if (packets >= 0 && m_lastPacketMs >= 0 && ms > m_lastPacketMs)
        s.packetsPerSecond =
            static_cast<double>(packets - m_lastPackets) * 1000.0 / static_cast<double>(ms - m_lastPacketMs);
    if (packets >= 0) m_lastPackets = packets, m_lastPacketMs = ms;
    m_samples.push_back(s);
}

// Ends the program as a user does and checks that it got to its end.
void Soak::Finish() {
    if (!Alive()) return;
    m_s.close();
    DWORD code = 0;
    if (!m_s.waitExit(20000, &code)) {
        Fail("the program did not end within 20 s of its close");
        m_s.kill();
        return;
    }
    m_ended = true;
    int exitLine = -1;
    std::vector<std::string> lines = m_s.traceLines();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find("at exit") != std::string::npos) exitLine = static_cast<int>(i);
    if (exitLine < 0) Fail("the program ended without its exit trace (exit code " + std::to_string(code) + ")");
    else std::printf("soak: exit code %lu; \"%s\"\n", static_cast<unsigned long>(code), lines[exitLine].c_str());
}

int Soak::Run() {
    if (!Launch()) return 2;
    const ULONGLONG end = m_t0 + static_cast<ULONGLONG>(m_minutes) * 60000;
    int cycle = 0;
    for (ULONGLONG cycleStart = m_t0; cycleStart < end && Alive(); cycleStart += kCycleMs, ++cycle) {
        const Step* first = cycle == 0 ? std::begin(kWarmUp) : std::begin(kCycle);
        const Step* last = cycle == 0 ? std::end(kWarmUp) : std::end(kCycle);
        for (const Step* step = first; step != last; ++step) {
            WaitUntil(cycleStart + step->atMs);
            if (!Alive()) break;
            RunStep(*step, cycleStart);
            CheckBoxes();
        }
        WaitUntil(cycleStart + kCycleMs);
        if ((cycle + 1) % 2 == 0 && !m_samples.empty()) {
            const Sample& last = m_samples.back();
            std::printf("soak: minute %d: %.0f packets/s, working set %.1f MB, GDI objects %ld\n", (cycle + 1) / 2,
                        last.packetsPerSecond, last.workingSetMB, last.gdiObjects);
            std::fflush(stdout);
        }
    }
    Finish();
    PrintTable();
    return Verdict();
}

std::string Number(double v, int decimals) {
    if (v < 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string Count(long v) { return v < 0 ? "n/a" : std::to_string(v); }

void Soak::PrintTable() const {
    std::printf("\n%7s %9s %7s %4s %10s %9s %11s %8s %4s %8s %8s %9s\n", "t (s)", "answer ms", "at (s)", "late",
                "packets/s", "WS (MB)", "private(MB)", "GDI obj", "DCs", "windows", "OS GDI", "OS USER");
    for (const Sample& s : m_samples)
        std::printf("%7.1f %9lu %7s %4d %10s %9s %11s %8s %4s %8s %8s %9s\n", s.t,
                    static_cast<unsigned long>(s.slowestAnswer), Number(s.slowestAt, 1).c_str(), s.unanswered,
                    Number(s.packetsPerSecond, 1).c_str(), Number(s.workingSetMB, 1).c_str(),
                    Number(s.privateMB, 1).c_str(), Count(s.gdiObjects).c_str(), Count(s.dcs).c_str(),
                    Count(s.windows).c_str(), Count(s.osGdi).c_str(), Count(s.osUser).c_str());
    std::printf("\nactions (done / skipped):");
    for (const auto& [what, tally] : m_actions) std::printf(" %s %d/%d;", what.c_str(), tally.first, tally.second);
    std::printf("\n");
    for (const std::string& note : m_skipNotes) std::printf("  skipped at %s\n", note.c_str());
}

struct Window {
    double from, to;
    std::vector<const Sample*> samples;
};

double Mean(const Window& w, double Sample::*field) {
    double sum = 0;
    int n = 0;
    for (const Sample* s : w.samples)
        if (s->*field >= 0) sum += s->*field, ++n;
    return n ? sum / n : -1;
}

std::pair<long, long> Range(const Window& w, long Sample::*field) {
    long lo = -1, hi = -1;
    for (const Sample* s : w.samples) {
        if (s->*field < 0) continue;
        lo = lo < 0 ? s->*field : std::min(lo, s->*field);
        hi = std::max(hi, s->*field);
    }
    return {lo, hi};
}

// Compares the first minute after a minute's warm-up with the last one
// (half-minute windows in runs under three minutes): sizes and rates within
// 5 %, objects equal. The warm-up holds everything done for the first time.
int Soak::Verdict() {
    const double total = m_minutes * 60.0;
    const double span = m_minutes >= 3 ? 60.0 : 30.0;
    Window first{60.0, 60.0 + span, {}}, last{total - span, total, {}};
    for (const Sample& s : m_samples) {
        if (s.t >= first.from && s.t < first.to) first.samples.push_back(&s);
        if (s.t >= last.from && s.t < last.to) last.samples.push_back(&s);
    }
    std::printf("\nfirst window after the warm-up [%.0f, %.0f) s against the last [%.0f, %.0f) s:\n", first.from,
                first.to, last.from, last.to);
    if (first.samples.empty() || last.samples.empty()) {
        Fail("too few samples to compare (the run ended early or is too short)");
    } else {
        struct Figure {
            const char* name;
            double Sample::*field;
        };
        for (const Figure& f :
             {Figure{"packets/s", &Sample::packetsPerSecond}, Figure{"working set MB", &Sample::workingSetMB},
              Figure{"private MB", &Sample::privateMB}}) {
            const double a = Mean(first, f.field), b = Mean(last, f.field);
            if (a <= 0 || b < 0) {
                Fail(std::string("no figures for ") + f.name);
                continue;
            }
            const double change = (b - a) * 100.0 / a;
            const bool ok = std::abs(change) <= kLimitPercent;
            std::printf("  %-16s %10.1f %10.1f %+7.1f %%  %s\n", f.name, a, b, change, ok ? "ok" : "OUT");
            if (!ok) {
                char text[160];
                std::snprintf(text, sizeof text, "%s changed by %+.1f %% (%.1f -> %.1f), more than %.0f %%", f.name,
                              change, a, b, kLimitPercent);
                Fail(text);
            }
        }
        struct Objects {
            const char* name;
            long Sample::*field;
        };
        for (const Objects& o : {Objects{"GDI objects", &Sample::gdiObjects}, Objects{"DCs", &Sample::dcs},
                                 Objects{"windows", &Sample::windows}, Objects{"OS GDI objects", &Sample::osGdi},
                                 Objects{"OS USER objects", &Sample::osUser}}) {
            const auto a = Range(first, o.field), b = Range(last, o.field);
            if (a.first < 0 && b.first < 0) continue;  // not measured here
            const bool ok = a == b;
            std::printf("  %-16s %6ld..%-6ld %6ld..%-6ld  %s\n", o.name, a.first, a.second, b.first, b.second,
                        ok ? "equal" : "DIFFER");
            if (!ok)
                Fail(std::string(o.name) + " " + std::to_string(a.first) + ".." + std::to_string(a.second) +
                     " became " + std::to_string(b.first) + ".." + std::to_string(b.second));
        }
    }
    if (m_failures.empty()) {
        std::printf(
            "\nPASS: no crash, no hang, every figure of the last window within %.0f %% of the first, "
            "objects equal\n",
            kLimitPercent);
        return 0;
    }
    std::printf("\nFAIL:\n");
    for (const std::string& reason : m_failures) std::printf("  %s\n", reason.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    int minutes = 10;
    std::string bin, keep;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--bin" && i + 1 < argc) {
            bin = argv[++i];
        } else if (arg == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else if (!arg.empty() && std::strspn(arg.c_str(), "0123456789") == arg.size() &&
                   std::atoi(arg.c_str()) >= 2) {
            minutes = std::atoi(arg.c_str());
        } else {
            std::fprintf(stderr, "usage: lumagrid_soak [minutes, at least 2] [--bin DIR] [--keep DIR]\n");
            return 2;
        }
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Soak soak(bin, keep, minutes);
    return soak.Run();
}
