// lumagrid_drive: scripts one session of the program from the command line.
// See README.md beside this file for the steps.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Driver.h"

namespace {

const char* const kUsage =
    "usage: lumagrid_drive [options] STEP...\n"
    "options:\n"
    "  --bin DIR          folder with the program and QuorvaneLib.dll (default: this program's folder)\n"
    "  --exe NAME         program file (default Lumagrid.exe; LumagridX.exe for advanced mode)\n"
    "  --copy-as NAME     name of the program's copy in the session folder\n"
    "  --scenario FILE    scenario for the substitute library (QUORVANE_SIM)\n"
    "  --no-library       start without QuorvaneLib.dll\n"
    "  --library FILE     copy FILE in as QuorvaneLib.dll\n"
    "  --keep [DIR]       keep the session folder (or use DIR as the session folder and keep it)\n"
    "  --timeout MS       limit of every wait (default 10000)\n"
    "steps:\n"
    "  wait-window                 wait for the main window\n"
    "  click ID                    click a button\n"
    "  click-row N                 click row N of the device list (1037)\n"
    "  trackbar POS                move the track bar (1010) and notify the window\n"
    "  wait MS                     pause\n"
    "  expect-trace TEXT           wait for a trace line containing TEXT\n"
    "  expect-text ID TEXT         the control's text equals TEXT\n"
    "  expect-box CAPTION TEXT     wait for a message box with that caption and text, press OK\n"
    "  ok                          wait for any dialog and press its OK\n"
    "  text ID | state ID | rows   print a control's text, its state, the device list\n"
    "  sys-about | sys CMD         system-menu command 0x10 / any command (decimal or 0x..)\n"
    "  sys-menu CAPTION            choose the system-menu item of that caption (fails if none or disabled)\n"
    "  esc | close                 Esc to the active window / close the main window\n"
    "  resize W H                  resize the main window's client area\n"
    "  shot PATH.png               capture the main window's client area\n"
    "  wait-exit | expect-exit CODE  wait for the program to end (and check its exit code)\n"
    "  print-trace | print-log | print-ini  print traces, requests.log, Lumagrid.ini\n"
    "  wait-file-dialog TITLE      wait for a Save As / Open dialog with that caption\n"
    "  file-name                   print its file-name field (and the folder it shows)\n"
    "  save-as NAME                type NAME (bare, or a full path) into it, press Save, wait until it closes\n"
    "  cancel-file-dialog          press its Cancel and wait until it closes\n"
    "  status | expect-status TEXT print the status box (1002) / wait for a line containing TEXT\n"
    "  expect-file NAME            wait for a file (in the session folder unless a full path)\n"
    "  print-file NAME             print a file (a hex dump when it is not text)\n";

constexpr int kDeviceList = 1037;
constexpr int kTrackBar = 1010;

bool IsStep(const std::string& word) {
    static const char* const steps[] = {"wait-window", "click",         "click-row",
                                        "trackbar",    "wait",          "expect-trace",
                                        "expect-text", "expect-box",    "ok",
                                        "text",        "state",         "rows",
                                        "sys-about",   "sys",           "esc",
                                        "close",       "resize",        "shot",
                                        "wait-exit",   "expect-exit",   "print-trace",
                                        "print-log",   "print-ini",     "wait-file-dialog",
                                        "file-name",   "save-as",       "cancel-file-dialog",
                                        "status",      "expect-status", "expect-file",
                                        "print-file",  "sys-menu"};
    for (const char* step : steps)
        if (word == step) return true;
    return false;
}

// Text as it is; anything with control bytes (a worksheet) as a hex dump.
void PrintFile(const std::string& bytes) {
    bool text = std::all_of(bytes.begin(), bytes.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 || c == '\r' || c == '\n' || c == '\t';
    });
    if (text) {
        // stdout turns '\n' into CR LF itself.
        std::string lines;
        for (size_t i = 0; i < bytes.size(); ++i)
            if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) lines += bytes[i];
        std::printf("%s%s", lines.c_str(), lines.empty() || lines.back() == '\n' ? "" : "\n");
        return;
    }
    for (size_t at = 0; at < bytes.size(); at += 16) {
        std::string ascii;
        std::printf("%08zx ", at);
        for (size_t i = at; i < at + 16; ++i) {
            if (i < bytes.size()) {
                unsigned char c = static_cast<unsigned char>(bytes[i]);
                std::printf(" %02x", c);
                ascii += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
            } else {
                std::printf("   ");
            }
        }
        std::printf("  %s\n", ascii.c_str());
    }
}

bool ParseInt(const std::string& text, long& out) {
    char* end = nullptr;
    out = std::strtol(text.c_str(), &end, 0);
    return !text.empty() && end && *end == '\0';
}

class Runner {
public:
    Runner(e2e::Session& session, DWORD timeout) : m_s(session), m_timeout(timeout) {}

    // Runs the step at args[i], advancing i past its operands.
    bool run(const std::vector<std::string>& args, size_t& i) {
        const std::string step = args[i++];
        auto operand = [&](std::string& out) {
            if (i >= args.size()) return false;
            out = args[i++];
            return true;
        };
        auto number = [&](long& out) {
            std::string word;
            return operand(word) && ParseInt(word, out);
        };
        long a = 0, b = 0;
        std::string text, text2;

        if (step == "wait-window") return report(step, m_s.waitMainWindow(m_timeout) != nullptr);
        if (step == "click")
            return need(number(a), step) && report(step + " " + std::to_string(a), m_s.click(static_cast<int>(a)));
        if (step == "click-row")
            return need(number(a), step) &&
                   report(step + " " + std::to_string(a), m_s.clickRow(kDeviceList, static_cast<int>(a)));
        if (step == "trackbar")
            return need(number(a), step) &&
                   report(step + " " + std::to_string(a), m_s.setTrackbar(kTrackBar, static_cast<int>(a)));
        if (step == "wait") {
            if (!need(number(a) && a >= 0, step)) return false;
            Sleep(static_cast<DWORD>(a));
            return report(step + " " + std::to_string(a), true);
        }
        if (step == "expect-trace") {
            if (!need(operand(text), step)) return false;
            int at = m_s.waitTrace(text, m_timeout);
            return report(step + " \"" + text + "\"" + (at >= 0 ? " (line " + std::to_string(at + 1) + ")" : ""),
                          at >= 0);
        }
        if (step == "expect-text") {
            if (!need(number(a) && operand(text), step)) return false;
            std::string actual = m_s.text(static_cast<int>(a));
            bool ok = actual == text && m_s.control(static_cast<int>(a));
            if (!ok && m_s.control(static_cast<int>(a))) m_fail = "text is \"" + actual + "\"";
            return report(step + " " + std::to_string(a), ok);
        }
        if (step == "expect-box") {
            if (!need(operand(text) && operand(text2), step)) return false;
            e2e::DialogInfo box;
            if (!m_s.waitDialog(box, m_timeout)) return report(step, false);
            std::printf("box \"%s\": %s\n", box.caption.c_str(), box.text.c_str());
            if (box.caption != text || box.text != text2) {
                m_fail = "expected \"" + text + "\": " + text2;
                return report(step, false);
            }
            return report(step, m_s.pressButton(box.hwnd) && m_s.waitWindowGone(box.hwnd, m_timeout));
        }
        if (step == "ok") {
            e2e::DialogInfo box;
            if (!m_s.waitDialog(box, m_timeout)) return report(step, false);
            std::printf("box \"%s\": %s\n", box.caption.c_str(), box.text.c_str());
            return report(step, m_s.pressButton(box.hwnd) && m_s.waitWindowGone(box.hwnd, m_timeout));
        }
        if (step == "text") {
            if (!need(number(a), step)) return false;
            std::string value = m_s.text(static_cast<int>(a));
            bool ok = m_s.control(static_cast<int>(a)) != nullptr;
            if (ok) std::printf("text %ld: \"%s\"\n", a, value.c_str());
            return report(step + " " + std::to_string(a), ok);
        }
        if (step == "state") {
            if (!need(number(a), step)) return false;
            int id = static_cast<int>(a);
            RECT r{};
            bool ok = m_s.controlRect(id, r);
            if (ok)
                std::printf("state %d: visible %d enabled %d checked %d rect %ld,%ld-%ld,%ld\n", id, m_s.visible(id),
                            m_s.enabled(id), m_s.checked(id), r.left, r.top, r.right, r.bottom);
            return report(step + " " + std::to_string(a), ok);
        }
        if (step == "rows") {
            int count = m_s.listCount(kDeviceList);
            for (int row = 0; row < count; ++row)
                std::printf("row %d: \"%s\" X %s Y %s\n", row, m_s.listText(kDeviceList, row, 0).c_str(),
                            m_s.listText(kDeviceList, row, 1).c_str(), m_s.listText(kDeviceList, row, 2).c_str());
            return report(step + " (" + std::to_string(count) + ")", count >= 0);
        }
        if (step == "sys-about") return report(step, m_s.sysCommand(0x0010));
        if (step == "sys")
            return need(number(a), step) &&
                   report(step + " " + std::to_string(a), m_s.sysCommand(static_cast<WPARAM>(a)));
        if (step == "sys-menu") return need(operand(text), step) && report(step + " " + text, m_s.sysMenuItem(text));
        if (step == "esc") return report(step, m_s.escape());
        if (step == "close") return report(step, m_s.close());
        if (step == "resize")
            return need(number(a) && number(b), step) &&
                   report(step + " " + std::to_string(a) + " " + std::to_string(b),
                          m_s.resizeClient(static_cast<int>(a), static_cast<int>(b)));
        if (step == "shot") {
            if (!need(operand(text), step)) return false;
            e2e::Image image;
            bool ok = m_s.screenshot(text, &image);
            if (ok)
                std::printf("screenshot %s (%dx%d, %s)\n", text.c_str(), image.width, image.height,
                            m_s.lastCaptureMethod().c_str());
            return report(step, ok);
        }
        if (step == "wait-exit" || step == "expect-exit") {
            if (step == "expect-exit" && !need(number(a), step)) return false;
            DWORD code = 0;
            if (!m_s.waitExit(m_timeout, &code)) return report(step, false);
            std::printf("exit code %lu\n", static_cast<unsigned long>(code));
            if (step == "expect-exit" && code != static_cast<DWORD>(a))
                m_fail = "expected exit code " + std::to_string(a);
            return report(step, step == "wait-exit" || code == static_cast<DWORD>(a));
        }
        if (step == "print-trace") {
            for (auto& line : m_s.traceLines()) std::printf("trace: %s\n", line.c_str());
            return true;
        }
        if (step == "print-log") {
            for (auto& line : m_s.requestLog()) std::printf("log: %s\n", line.c_str());
            return true;
        }
        if (step == "print-ini") {
            PrintFile(m_s.iniText());
            return true;
        }
        if (step == "wait-file-dialog") {
            if (!need(operand(text), step)) return false;
            e2e::DialogInfo dialog;
            bool ok = m_s.waitFileDialog(dialog, m_timeout, text);
            if (ok) m_fileDialog = dialog.hwnd;
            return report(step + " \"" + text + "\"", ok);
        }
        if (step == "file-name") {
            HWND dialog = fileDialog();
            if (!dialog) return report(step, false);
            std::string name = m_s.fileDialogName(dialog);
            std::string folder = m_s.fileDialogFolder(dialog);
            std::printf("file name: \"%s\" in %s\n", name.c_str(), folder.c_str());
            return report(step, !folder.empty());
        }
        if (step == "save-as") {
            if (!need(operand(text), step)) return false;
            HWND dialog = fileDialog();
            return report(step + " " + text, dialog && m_s.fileDialogSave(dialog, e2e::WindowsPath(text), m_timeout));
        }
        if (step == "cancel-file-dialog") {
            HWND dialog = fileDialog();
            return report(step, dialog && m_s.fileDialogCancel(dialog, m_timeout));
        }
        if (step == "status") {
            std::vector<std::string> lines;
            const bool read = m_s.readStatusLines(lines);
            for (auto& line : lines) std::printf("status: %s\n", line.c_str());
            return report(step + " (" + std::to_string(lines.size()) + " lines)", read);
        }
        if (step == "expect-status") {
            if (!need(operand(text), step)) return false;
            int at = m_s.waitStatusLine(text, m_timeout);
            return report(step + " \"" + text + "\"" + (at >= 0 ? " (line " + std::to_string(at + 1) + ")" : ""),
                          at >= 0);
        }
        if (step == "expect-file") {
            if (!need(operand(text), step)) return false;
            return report(step + " " + text, m_s.waitFile(text, m_timeout));
        }
        if (step == "print-file") {
            if (!need(operand(text), step)) return false;
            if (!m_s.waitFile(text, 0)) return report(step + " " + text, false);
            std::string bytes = m_s.readFile(text);
            std::printf("file %s (%zu bytes):\n", m_s.filePath(text).c_str(), bytes.size());
            PrintFile(bytes);
            return report(step + " " + text, true);
        }
        m_fail = "unknown step";
        return report(step, false);
    }

private:
    // The dialog of the last wait-file-dialog while it is open, else any.
    HWND fileDialog() {
        if (m_fileDialog && IsWindow(m_fileDialog) && IsWindowVisible(m_fileDialog)) return m_fileDialog;
        e2e::DialogInfo dialog;
        m_fileDialog = m_s.waitFileDialog(dialog, m_timeout) ? dialog.hwnd : nullptr;
        return m_fileDialog;
    }

    bool need(bool ok, const std::string& step) {
        if (!ok) {
            m_fail = "missing or bad operand";
            report(step, false);
        }
        return ok;
    }

    bool report(const std::string& what, bool ok) {
        if (ok) {
            std::printf("ok: %s\n", what.c_str());
        } else {
            std::string why = m_fail.empty() ? m_s.lastError() : m_fail;
            std::printf("FAILED: %s: %s\n", what.c_str(), why.c_str());
        }
        m_fail.clear();
        std::fflush(stdout);
        return ok;
    }

    e2e::Session& m_s;
    DWORD m_timeout;
    std::string m_fail;
    HWND m_fileDialog = nullptr;
};

}  // namespace

int main() {
    // Arguments in UTF-8 whatever the console code page.
    int wargc = 0;
    LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
    std::vector<std::string> args;
    for (int i = 1; i < wargc; ++i) args.push_back(e2e::Narrow(wargv[i]));
    LocalFree(wargv);

    e2e::LaunchOptions options;
    DWORD timeout = 10000;
    size_t i = 0;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        const std::string& opt = args[i];
        bool hasValue = i + 1 < args.size();
        long value = 0;
        if (opt == "--help") {
            std::printf("%s", kUsage);
            return 0;
        } else if (opt == "--no-library") {
            options.library = e2e::Library::None;
        } else if (opt == "--keep") {
            options.keepFolder = true;
            if (hasValue && !IsStep(args[i + 1]) && args[i + 1].rfind("--", 0) != 0) options.folder = args[++i];
        } else if (opt.rfind("--keep=", 0) == 0) {
            options.keepFolder = true;
            options.folder = opt.substr(7);
        } else if (!hasValue) {
            std::fprintf(stderr, "option %s needs a value\n%s", opt.c_str(), kUsage);
            return 2;
        } else if (opt == "--bin") {
            options.binDir = args[++i];
        } else if (opt == "--exe") {
            options.exeName = args[++i];
        } else if (opt == "--copy-as") {
            options.copyAs = args[++i];
        } else if (opt == "--scenario") {
            options.scenarioFile = args[++i];
        } else if (opt == "--library") {
            options.library = e2e::Library::Replacement;
            options.libraryFile = args[++i];
        } else if (opt == "--timeout" && ParseInt(args[i + 1], value) && value > 0) {
            timeout = static_cast<DWORD>(value);
            ++i;
        } else {
            std::fprintf(stderr, "bad option %s\n%s", opt.c_str(), kUsage);
            return 2;
        }
    }
    if (i == args.size()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }

    e2e::Session session;
    if (!session.launch(options)) {
        std::printf("FAILED: launch: %s\n", session.lastError().c_str());
        return 1;
    }
    std::printf("session folder %s, process %lu\n", session.folder().c_str(),
                static_cast<unsigned long>(session.processId()));
    Runner runner(session, timeout);
    bool ok = true;
    while (ok && i < args.size()) ok = runner.run(args, i);
    if (session.running()) std::printf("program still running; stopping it\n");
    if (options.keepFolder) std::printf("kept %s\n", session.folder().c_str());
    std::fflush(stdout);
    return ok ? 0 : 1;
}
