// End-to-end driver: starts the program under test in a folder of its own,
// collects its stdout trace lines, finds its windows and works its controls
// from outside the process with window messages, and captures the window.
//
// Everything runs in the driver's process; the program is a separate process
// (under Wine as on Windows). Messages at or above WM_USER carry no pointer
// data between processes, so list-view, rich-edit and file-dialog queries go
// through memory allocated in the program's process. Driver and program must
// have the same bitness.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Png.h"

namespace e2e {

// The program's status box (a version-1 rich edit).
constexpr int kStatusBoxId = 1002;

// UTF-8 <-> UTF-16; the driver's public texts and paths are UTF-8.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// A path as Windows sees it: a Unix path "/x/y" (as given on a Wine command
// line) becomes "Z:\x\y"; forward slashes become backslashes.
std::string WindowsPath(const std::string& path);

// Folder of the running driver executable, with a trailing backslash.
std::string OwnExeFolder();

// Deletes a folder and everything in it (a kept session folder); true when gone.
bool RemoveFolder(const std::string& path);

enum class Library {
    Default,      // QuorvaneLib.dll from the bin folder (must exist)
    None,         // no library beside the program
    Replacement,  // LaunchOptions::libraryFile copied as QuorvaneLib.dll
};

// The window's system-menu item of that caption (an '&' in the item does not
// count), chosen: WM_SYSCOMMAND with its id, posted. False with the reason
// when no item has the caption, the item is disabled or grayed, or the menu
// cannot be read (Wine reads no other process's menu; Windows does).
bool ChooseSystemMenuItem(HWND window, const std::string& caption, std::string& error);

struct LaunchOptions {
    std::string binDir;  // empty: the driver's own folder
    std::string exeName = "Lumagrid.exe";
    std::string copyAs;  // name of the copy; empty: exeName
    Library library = Library::Default;
    std::string libraryFile;  // for Library::Replacement
    // The bin folder's simulator\QuorvaneLib.dll copied into <folder>\simulator\,
    // where a replay loads it (as the zips ship it).
    bool simulatorFolder = false;
    std::string scenarioFile;  // QUORVANE_SIM; unset when both are empty
    std::string scenarioText;  // written to <folder>\scenario.txt
    // Session folder to use; empty: a fresh temp folder. A folder that exists
    // already keeps its Lumagrid.ini and is never removed.
    std::string folder;
    bool keepFolder = false;                               // leave the folder on destruction
    std::vector<std::pair<std::string, std::string>> env;  // further variables
    std::vector<std::string> args;                         // command-line arguments
    std::string workDir;                                   // current folder of the program; empty: the session folder
};

struct DialogInfo {
    HWND hwnd = nullptr;
    std::string caption;
    std::string text;  // texts of its non-icon static controls, joined by '\n'
};

// Client-area capture of a window: PrintWindow(PW_CLIENTONLY), falling back
// to a copy of the on-screen pixels when the window did not paint into the
// capture DC (PrintWindow cannot reach into another process under Wine).
// `how` receives "PrintWindow" or "BitBlt".
bool CaptureClient(HWND hwnd, Image& out, std::string* how = nullptr, std::string* error = nullptr);
bool WritePng(const std::string& path, const Image& image);

class Session {
public:
    Session();
    ~Session();  // kills a running program; removes the folder unless kept
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Every call that can fail returns false / -1 / empty and leaves the
    // reason here.
    const std::string& lastError() const { return m_error; }

    // --- process -------------------------------------------------------
    bool launch(const LaunchOptions& options);
    DWORD processId() const { return m_pi.dwProcessId; }
    bool running() const;
    // True when the process ended within the time; the code goes to *exitCode.
    // Also waits briefly for the last trace lines to arrive.
    bool waitExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    void kill();

    // --- traces (stdout and stderr lines, without line ends) ------------
    std::vector<std::string> traceLines() const;
    size_t traceCount() const;
    // Index of the first line at or after `from` that contains `text`, or -1
    // when none arrives within the time (or the program's output ended).
    int waitTrace(const std::string& text, DWORD timeoutMs, size_t from = 0);

    // --- windows ---------------------------------------------------------
    HWND waitMainWindow(DWORD timeoutMs, const std::string& caption = "Quorvane Lumagrid");
    HWND mainWindow() const { return m_main; }
    // A visible dialog (#32770) of the program other than the main window:
    // a message box, the About box.
    bool waitDialog(DialogInfo& out, DWORD timeoutMs);
    bool waitWindowGone(HWND hwnd, DWORD timeoutMs);
    // Presses a button of a dialog by posting its command (IDOK by default;
    // IDCANCEL when the dialog has no IDOK button).
    bool pressButton(HWND dialog, int id = IDOK);

    // --- common file dialog (Save As / Open, explorer style) ----------------
    // A visible file dialog of the program: a #32770 with a file-name field,
    // captioned `title` unless that is empty.
    bool waitFileDialog(DialogInfo& out, DWORD timeoutMs, const std::string& title = "");
    // The file-name field's text; at first the name the program proposed.
    std::string fileDialogName(HWND dialog);
    // The folder the dialog shows, where a bare name is saved.
    std::string fileDialogFolder(HWND dialog);
    // Types `name` (a bare name or a full Windows path) into the field and
    // presses Save; true once the dialog has closed. When the dialog answers
    // with a box of its own (a name it refuses, an overwrite prompt) the box
    // stays open for the caller and is described in lastError() and *prompt;
    // a folder name makes the dialog move there and stay open.
    bool fileDialogSave(HWND dialog, const std::string& name, DWORD timeoutMs = 5000, DialogInfo* prompt = nullptr);
    bool fileDialogCancel(HWND dialog, DWORD timeoutMs = 5000);

    // --- reading (controls of the main window unless a parent is given) --
    HWND control(int id, HWND parent = nullptr) const;
    std::string text(int id, HWND parent = nullptr);
    std::string windowText(HWND hwnd);
    bool visible(int id, HWND parent = nullptr) const;
    bool enabled(int id, HWND parent = nullptr) const;
    int checked(int id, HWND parent = nullptr);  // BST_* or -1
    // Window / client rectangle of a control in the parent's client coordinates.
    bool controlRect(int id, RECT& out, HWND parent = nullptr);
    bool controlClientRect(int id, RECT& out, HWND parent = nullptr);
    bool clientRect(RECT& out, HWND hwnd = nullptr);  // of the main window by default
    int listCount(int id);
    std::string listText(int id, int row, int subItem = 0);
    // part: LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL; list-view client coordinates.
    bool listItemRect(int id, int row, RECT& out, int part = LVIR_BOUNDS);
    int listSelectionMark(int id);
    bool listSelected(int id, int row);
    int trackbarPos(int id);
    // All text of a rich edit (or edit) of the main window, read as UTF-16 in
    // the program's process; lines end as the control stores them ("\r\n").
    std::string statusText(int id = kStatusBoxId);
    bool readStatusText(std::string& text, int id = kStatusBoxId);  // false: see readStatusLines
    // Its lines without their ends; the empty rest after the last end is dropped.
    std::vector<std::string> statusLines(int id = kStatusBoxId);
    // The same, false (lastError says why) when the box did not answer: a busy
    // program is not an empty box.
    bool readStatusLines(std::vector<std::string>& lines, int id = kStatusBoxId);
    // Index of the first line that contains `text`, or -1 when none does
    // within the time.
    int waitStatusLine(const std::string& text, DWORD timeoutMs, int id = kStatusBoxId);

    // --- acting ------------------------------------------------------------
    // BM_CLICK, waiting up to timeoutMs for the program to handle it, or
    // until the handler shows a modal window (the button's top-level window
    // becomes disabled): a Save As dialog or a box returns at once. A click
    // that blocks longer than the time still counts as delivered.
    bool click(int id, DWORD timeoutMs = 5000, HWND parent = nullptr);
    // Mouse down and up at the centre of the row's icon (label when it has no
    // icon); the list view then sends NM_CLICK as for a real click. Returns
    // once the clicks are queued: wait for the program's reaction (a trace).
    bool clickRow(int id, int row);
    // Moves the thumb and notifies the parent as a finished drag does:
    // WM_HSCROLL/WM_VSCROLL with TB_THUMBPOSITION, then TB_ENDTRACK.
    bool setTrackbar(int id, int pos);
    bool sysCommand(WPARAM command);  // posted, e.g. 0x0010 opens the About box
    // ChooseSystemMenuItem on the main window.
    bool sysMenuItem(const std::string& caption);
    // Esc to the focused control of `dialog` (default: the program's active
    // window); IDCANCEL to the dialog when the focus is elsewhere.
    bool escape(HWND dialog = nullptr);
    bool close(HWND hwnd = nullptr);  // WM_CLOSE, posted
    bool resizeWindow(int width, int height);
    bool resizeClient(int width, int height);

    // --- capture -------------------------------------------------------------
    bool capture(Image& out, HWND hwnd = nullptr);
    bool screenshot(const std::string& pngPath, Image* out = nullptr, HWND hwnd = nullptr);
    const std::string& lastCaptureMethod() const { return m_captureHow; }

    // --- files -----------------------------------------------------------------
    const std::string& folder() const { return m_folder; }
    std::string exePath() const { return m_exePath; }
    // `name` in the folder, or a full path: "C:\x", "\\server\x", "/x" (as Z:).
    std::string filePath(const std::string& name) const;
    std::string readFile(const std::string& name) const;  // empty if missing
    // Until the file exists and nobody holds it open for writing.
    bool waitFile(const std::string& name, DWORD timeoutMs);
    std::vector<std::string> requestLog() const;  // requests.log lines
    std::string iniText() const { return readFile("Lumagrid.ini"); }
    void keepFolder(bool keep) { m_keep = keep; }

    // Time a sent message may take before a read gives up.
    void setMessageTimeout(DWORD ms) { m_msgTimeout = ms; }

private:
    bool fail(const std::string& message);
    bool send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result, DWORD timeoutMs = 0);
    HWND need(int id, HWND parent);
    HWND activeWindow() const;
    void describeDialog(HWND hwnd, DialogInfo& out);
    bool sameBitness();
    void readerLoop();
    void stopReader();
    void removeFolder();

    std::string m_error;
    std::string m_folder;
    std::string m_exePath;
    std::string m_captureHow;
    bool m_keep = false;
    bool m_ownsFolder = false;
    DWORD m_msgTimeout = 5000;
    PROCESS_INFORMATION m_pi{};
    HWND m_main = nullptr;
    std::string m_mainCaption = "Quorvane Lumagrid";

    HANDLE m_pipe = nullptr;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_lines;
    bool m_outputEnded = false;
    bool m_stopReader = false;
};

}  // namespace e2e
