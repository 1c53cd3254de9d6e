#include "Driver.h"

#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwctype>
#include <fstream>
#include <sstream>

namespace e2e {
namespace {

constexpr DWORD kPollMs = 10;

std::wstring ClassName(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder + name;
    return folder + "\\" + name;
}

bool FileExists(const std::string& path) {
    DWORD attr = GetFileAttributesW(Widen(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsAbsolutePath(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') || path.rfind("\\\\", 0) == 0 || path.rfind("/", 0) == 0;
}

HWND FindEdit(HWND hwnd) {
    if (ClassName(hwnd) == L"Edit") return hwnd;
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (HWND edit = FindEdit(child)) return edit;
    return nullptr;
}

// The file-name field's edit. Explorer-style templates have cmb13, which
// Wine's comdlg32 makes a ComboBoxEx32 whose combo box holds the edit; older
// templates have the edit edt1.
HWND FileNameEdit(HWND dialog) {
    constexpr int kComboField = 0x47C, kEditField = 0x480;
    for (int id : {kComboField, kEditField}) {
        HWND field = GetDlgItem(dialog, id);
        if (field && IsWindowVisible(field))
            if (HWND edit = FindEdit(field)) return edit;
    }
    return nullptr;
}

std::string SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = buffer ? Narrow(buffer) : std::string();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return "error " + std::to_string(code) + (text.empty() ? "" : " (" + text + ")");
}

void RemoveTreeW(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = dir + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTreeW(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
}

// One argument as the C runtime splits command lines: quoted, with the
// backslashes before a quote (or the closing quote) doubled.
std::wstring QuoteArgument(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// The environment block for the program: ours, with the given variables
// replaced or added, sorted by name as Windows expects.
std::vector<wchar_t> BuildEnvironment(const std::vector<std::pair<std::wstring, std::wstring>>& set,
                                      const std::vector<std::wstring>& unset) {
    auto upper = [](std::wstring s) {
        for (auto& c : s) c = static_cast<wchar_t>(std::towupper(c));
        return s;
    };
    auto nameOf = [&](const std::wstring& entry) {
        size_t eq = entry.find(L'=', 1);  // entries like "=C:=C:\x" start with '='
        return upper(entry.substr(0, eq));
    };
    std::vector<std::wstring> entries;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
            std::wstring entry = p;
            std::wstring name = nameOf(entry);
            bool drop = std::any_of(set.begin(), set.end(), [&](auto& kv) { return upper(kv.first) == name; }) ||
                        std::any_of(unset.begin(), unset.end(), [&](auto& n) { return upper(n) == name; });
            if (!drop) entries.push_back(entry);
        }
        FreeEnvironmentStringsW(block);
    }
    for (auto& kv : set) entries.push_back(kv.first + L"=" + kv.second);
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const std::wstring& a, const std::wstring& b) { return nameOf(a) < nameOf(b); });
    std::vector<wchar_t> out;
    for (auto& e : entries) {
        out.insert(out.end(), e.begin(), e.end());
        out.push_back(0);
    }
    out.push_back(0);
    if (entries.empty()) out.push_back(0);
    return out;
}

// Memory in the program's process for the pointer argument of a message.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size) : m_process(process), m_size(size) {
        m_address = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (m_address) VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool ok() const { return m_address != nullptr; }
    void* address(size_t offset = 0) const { return static_cast<char*>(m_address) + offset; }
    bool write(const void* data, size_t size, size_t offset = 0) {
        SIZE_T done = 0;
        return offset + size <= m_size && WriteProcessMemory(m_process, address(offset), data, size, &done) &&
               done == size;
    }
    bool read(void* data, size_t size, size_t offset = 0) const {
        SIZE_T done = 0;
        return offset + size <= m_size && ReadProcessMemory(m_process, address(offset), data, size, &done) &&
               done == size;
    }

private:
    HANDLE m_process;
    size_t m_size;
    void* m_address = nullptr;
};

}  // namespace

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string WindowsPath(const std::string& path) {
    std::string out = path;
    if (out.size() > 1 && out[0] == '/' && out[1] != '/') out = "Z:" + out;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

std::string FullPath(const std::string& path) {
    wchar_t buffer[MAX_PATH * 2] = {};
    const DWORD n = GetFullPathNameW(Widen(path).c_str(), MAX_PATH * 2, buffer, nullptr);
    return n > 0 && n < MAX_PATH * 2 ? Narrow(buffer) : path;
}

std::string OwnExeFolder() {
    wchar_t buffer[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH * 2);
    std::wstring path = buffer;
    return Narrow(path.substr(0, path.find_last_of(L"\\/") + 1));
}

bool RemoveFolder(const std::string& path) {
    std::wstring dir = Widen(WindowsPath(path));
    RemoveTreeW(dir);
    return GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool WritePng(const std::string& path, const Image& image) {
    std::vector<std::uint8_t> png = EncodePng(image);
    if (png.empty()) return false;
    std::ofstream file(Widen(WindowsPath(path)).c_str(), std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(file);
}

// ---------------------------------------------------------------------------

Session::Session() = default;

Session::~Session() {
    kill();
    stopReader();
    if (m_pi.hProcess) CloseHandle(m_pi.hProcess);
    if (m_pi.hThread) CloseHandle(m_pi.hThread);
    removeFolder();
}

bool Session::fail(const std::string& message) {
    m_error = message;
    return false;
}

bool Session::launch(const LaunchOptions& options) {
    if (m_pi.hProcess) return fail("session already launched");

    std::string bin = options.binDir.empty() ? OwnExeFolder() : WindowsPath(options.binDir);
    std::string source = JoinPath(bin, options.exeName);
    if (!FileExists(source)) return fail("program not found: " + source);
    std::string library;
    if (options.library == Library::Default) {
        library = JoinPath(bin, "QuorvaneLib.dll");
        if (!FileExists(library))
            return fail("QuorvaneLib.dll not found in " + bin + " (build it, or launch without a library)");
    } else if (options.library == Library::Replacement) {
        library = WindowsPath(options.libraryFile);
        if (!FileExists(library)) return fail("replacement library not found: " + library);
    }

    // A folder of its own, so that every session starts without Lumagrid.ini.
    if (options.folder.empty()) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        static LONG counter = 0;
        for (int attempt = 0; attempt < 100 && m_folder.empty(); ++attempt) {
            std::wstringstream name;
            name << temp << L"lumagrid-e2e-" << GetCurrentProcessId() << L"-" << InterlockedIncrement(&counter) << L"-"
                 << (GetTickCount() & 0xFFFF);
            if (CreateDirectoryW(name.str().c_str(), nullptr)) m_folder = Narrow(name.str());
        }
        if (m_folder.empty()) return fail("cannot create a session folder in the temp folder");
        m_ownsFolder = true;
    } else {
        m_folder = WindowsPath(options.folder);
        while (m_folder.size() > 3 && m_folder.back() == '\\') m_folder.pop_back();
        // A folder that existed before is never removed: it may hold anything.
        m_ownsFolder = CreateDirectoryW(Widen(m_folder).c_str(), nullptr) != FALSE;
        DWORD attr = GetFileAttributesW(Widen(m_folder).c_str());
        if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_DIRECTORY))
            return fail("cannot create the session folder " + m_folder);
    }
    // A reused folder keeps its Lumagrid.ini (that is why one reuses it), but
    // the request log starts empty for every run.
    DeleteFileW(Widen(JoinPath(m_folder, "requests.log")).c_str());
    m_keep = options.keepFolder;

    m_exePath = JoinPath(m_folder, options.copyAs.empty() ? options.exeName : options.copyAs);
    if (!CopyFileW(Widen(source).c_str(), Widen(m_exePath).c_str(), FALSE))
        return fail("cannot copy " + source + ": " + SystemMessage(GetLastError()));
    std::string libraryCopy = JoinPath(m_folder, "QuorvaneLib.dll");
    if (!library.empty()) {
        if (!CopyFileW(Widen(library).c_str(), Widen(libraryCopy).c_str(), FALSE))
            return fail("cannot copy " + library + ": " + SystemMessage(GetLastError()));
    } else {
        DeleteFileW(Widen(libraryCopy).c_str());  // a reused folder may hold one
    }

    if (options.simulatorFolder) {
        const std::string simulator = JoinPath(bin, "simulator\\QuorvaneLib.dll");
        const std::string folder = JoinPath(m_folder, "simulator");
        CreateDirectoryW(Widen(folder).c_str(), nullptr);
        if (!CopyFileW(Widen(simulator).c_str(), Widen(JoinPath(folder, "QuorvaneLib.dll")).c_str(), FALSE))
            return fail("cannot copy " + simulator + ": " + SystemMessage(GetLastError()));
    }

    std::vector<std::pair<std::wstring, std::wstring>> set;
    std::vector<std::wstring> unset;
    // The program runs in the session folder: a relative name means the
    // caller's folder.
    std::string scenario = options.scenarioFile.empty() ? std::string() : FullPath(WindowsPath(options.scenarioFile));
    if (!options.scenarioText.empty()) {
        scenario = JoinPath(m_folder, "scenario.txt");
        std::ofstream file(Widen(scenario).c_str(), std::ios::binary);
        file << options.scenarioText;
        if (!file) return fail("cannot write " + scenario);
    }
    if (scenario.empty()) unset.push_back(L"QUORVANE_SIM");
    else set.emplace_back(L"QUORVANE_SIM", Widen(scenario));
    set.emplace_back(L"QUORVANE_SIM_LOG", Widen(JoinPath(m_folder, "requests.log")));
    for (auto& kv : options.env) set.emplace_back(Widen(kv.first), Widen(kv.second));
    std::vector<wchar_t> environment = BuildEnvironment(set, unset);

    // stdout and stderr share one pipe; stdin reads nothing.
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&m_pipe, &writeEnd, &sa, 0)) return fail("CreatePipe: " + SystemMessage(GetLastError()));
    SetHandleInformation(m_pipe, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul == INVALID_HANDLE_VALUE ? nullptr : nul;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;

    std::wstring commandLine = QuoteArgument(Widen(m_exePath));
    for (auto& arg : options.args) commandLine += L" " + QuoteArgument(Widen(arg));
    const std::string workDir = options.workDir.empty() ? m_folder : WindowsPath(options.workDir);
    BOOL created = CreateProcessW(Widen(m_exePath).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                  CREATE_UNICODE_ENVIRONMENT, environment.data(), Widen(workDir).c_str(), &si, &m_pi);
    DWORD createError = GetLastError();
    CloseHandle(writeEnd);  // only the program holds the write end now, so its exit ends the output
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!created) {
        m_pi = PROCESS_INFORMATION{};
        return fail("cannot start " + m_exePath + ": " + SystemMessage(createError));
    }
    m_reader = std::thread([this] { readerLoop(); });
    return true;
}

void Session::readerLoop() {
    std::string pending;
    char buffer[4096];
    for (;;) {
        // Looked at before the pipe, so that nothing written before the exit
        // is missed by the last look at the pipe.
        bool exited = WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0;
        DWORD available = 0;
        if (!PeekNamedPipe(m_pipe, nullptr, 0, nullptr, &available, nullptr))
            break;  // broken pipe: the program and everything it started are gone
        if (available == 0) {
            // Wine may keep reporting an empty pipe after the writer's exit.
            if (exited) break;
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopReader) break;
        }
        if (available == 0) {
            Sleep(kPollMs);
            continue;
        }
        DWORD got = 0;
        if (!ReadFile(m_pipe, buffer, std::min<DWORD>(available, sizeof(buffer)), &got, nullptr) || got == 0) break;
        pending.append(buffer, got);
        std::lock_guard<std::mutex> lock(m_mutex);
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, nl);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            m_lines.push_back(line);
            pending.erase(0, nl + 1);
        }
        m_cv.notify_all();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!pending.empty()) m_lines.push_back(pending);
    m_outputEnded = true;
    m_cv.notify_all();
}

void Session::stopReader() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopReader = true;
    }
    if (m_reader.joinable()) m_reader.join();
    if (m_pipe) {
        CloseHandle(m_pipe);
        m_pipe = nullptr;
    }
}

void Session::removeFolder() {
    if (!m_ownsFolder || m_keep || m_folder.empty()) return;
    // A just-killed program may still hold its files for a moment.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (RemoveFolder(m_folder)) return;
        Sleep(50);
    }
}

bool Session::running() const { return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT; }

bool Session::waitExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!m_pi.hProcess) return fail("not launched");
    if (WaitForSingleObject(m_pi.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return fail("program still running after " + std::to_string(timeoutMs) + " ms");
    DWORD code = 0;
    GetExitCodeProcess(m_pi.hProcess, &code);
    if (exitCode) *exitCode = code;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait_for(lock, std::chrono::seconds(2), [this] { return m_outputEnded; });
    return true;
}

void Session::kill() {
    if (running()) {
        TerminateProcess(m_pi.hProcess, 1);
        WaitForSingleObject(m_pi.hProcess, 5000);
    }
}

std::vector<std::string> Session::traceLines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

size_t Session::traceCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines.size();
}

int Session::waitTrace(const std::string& text, DWORD timeoutMs, size_t from) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (size_t i = from;;) {
        for (; i < m_lines.size(); ++i)
            if (m_lines[i].find(text) != std::string::npos) return static_cast<int>(i);
        if (m_outputEnded) {
            fail("trace \"" + text + "\" not seen; the program's output ended");
            return -1;
        }
        if (m_cv.wait_until(lock, deadline) == std::cv_status::timeout && i == m_lines.size()) {
            fail("trace \"" + text + "\" not seen within " + std::to_string(timeoutMs) + " ms");
            return -1;
        }
    }
}

// --- windows ---------------------------------------------------------------

namespace {

struct TopLevelSearch {
    DWORD pid;
    std::vector<HWND> found;
};

// A named CALLBACK function: a lambda converts only to a pointer of the default
// calling convention, which 32-bit Windows callbacks do not use.
BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<TopLevelSearch*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == s->pid) s->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD pid) {
    TopLevelSearch search{pid, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HWND Session::waitMainWindow(DWORD timeoutMs, const std::string& caption) {
    m_mainCaption = caption;
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND hwnd : TopLevelWindows(m_pi.dwProcessId)) {
            if (IsWindowVisible(hwnd) && ClassName(hwnd) == L"#32770" && windowText(hwnd) == caption) {
                m_main = hwnd;
                return hwnd;
            }
        }
        if (!running()) {
            DWORD code = 0;
            GetExitCodeProcess(m_pi.hProcess, &code);
            char hex[16];
            snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
            fail("program ended (exit code " + std::string(hex) + ") before its window \"" + caption + "\" appeared");
            return nullptr;
        }
        if (GetTickCount() - start >= timeoutMs) {
            fail("window \"" + caption + "\" not shown within " + std::to_string(timeoutMs) + " ms");
            return nullptr;
        }
        Sleep(kPollMs);
    }
}

void Session::describeDialog(HWND hwnd, DialogInfo& out) {
    out.hwnd = hwnd;
    out.caption = windowText(hwnd);
    out.text.clear();
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) != L"Static" || (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
        std::string text = windowText(child);
        if (text.empty()) continue;
        out.text += (out.text.empty() ? "" : "\n") + text;
    }
}

bool Session::waitDialog(DialogInfo& out, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND hwnd : TopLevelWindows(m_pi.dwProcessId)) {
            if (hwnd == m_main || !IsWindowVisible(hwnd) || ClassName(hwnd) != L"#32770") continue;
            // The main dialog itself, before waitMainWindow has named it.
            if (!GetWindow(hwnd, GW_OWNER) && windowText(hwnd) == m_mainCaption) continue;
            describeDialog(hwnd, out);
            return true;
        }
        if (!running()) return fail("program ended without showing a dialog");
        if (GetTickCount() - start >= timeoutMs)
            return fail("no dialog shown within " + std::to_string(timeoutMs) + " ms");
        Sleep(kPollMs);
    }
}

bool Session::waitWindowGone(HWND hwnd, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (IsWindow(hwnd) && IsWindowVisible(hwnd)) {
        if (GetTickCount() - start >= timeoutMs)
            return fail("window still shown after " + std::to_string(timeoutMs) + " ms");
        Sleep(kPollMs);
    }
    return true;
}

bool Session::pressButton(HWND dialog, int id) {
    if (!IsWindow(dialog)) return fail("no such dialog");
    HWND button = GetDlgItem(dialog, id);
    if (!button && id == IDOK) {
        id = IDCANCEL;  // a box with a lone OK button may give it IDCANCEL
        button = GetDlgItem(dialog, id);
    }
    if (!button) return fail("dialog has no button " + std::to_string(id));
    // Posted: the handler may end a modal loop or open the next box.
    if (!PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)))
        return fail("PostMessage: " + SystemMessage(GetLastError()));
    return true;
}

// --- common file dialog ------------------------------------------------------

bool Session::waitFileDialog(DialogInfo& out, DWORD timeoutMs, const std::string& title) {
    DWORD start = GetTickCount();
    for (;;) {
        std::string other;
        for (HWND hwnd : TopLevelWindows(m_pi.dwProcessId)) {
            if (hwnd == m_main || !IsWindowVisible(hwnd) || ClassName(hwnd) != L"#32770" || !FileNameEdit(hwnd))
                continue;
            std::string caption = windowText(hwnd);
            if (title.empty() || caption == title) {
                describeDialog(hwnd, out);
                return true;
            }
            other = caption;
        }
        if (!running()) return fail("program ended without showing a file dialog");
        if (GetTickCount() - start >= timeoutMs)
            return fail("no file dialog" + (title.empty() ? "" : " \"" + title + "\"") + " shown within " +
                        std::to_string(timeoutMs) + " ms" + (other.empty() ? "" : " (one is: \"" + other + "\")"));
        Sleep(kPollMs);
    }
}

std::string Session::fileDialogName(HWND dialog) {
    HWND edit = IsWindow(dialog) ? FileNameEdit(dialog) : nullptr;
    if (!edit) {
        fail("not a file dialog");
        return {};
    }
    return windowText(edit);
}

std::string Session::fileDialogFolder(HWND dialog) {
    if (!IsWindow(dialog) || !FileNameEdit(dialog)) {
        fail("not a file dialog");
        return {};
    }
    if (!sameBitness()) return {};
    constexpr int kChars = 1024;
    RemoteBuffer remote(m_pi.hProcess, kChars * sizeof(wchar_t));
    LRESULT length = 0;
    if (!remote.ok()) {
        fail("VirtualAllocEx: " + SystemMessage(GetLastError()));
        return {};
    }
    if (!send(dialog, CDM_GETFOLDERPATH, kChars, reinterpret_cast<LPARAM>(remote.address()), &length)) return {};
    if (length <= 0 || length > kChars) {
        fail("the dialog shows no file-system folder");
        return {};
    }
    std::wstring folder(static_cast<size_t>(length), L'\0');
    if (!remote.read(folder.data(), folder.size() * sizeof(wchar_t))) {
        fail("ReadProcessMemory: " + SystemMessage(GetLastError()));
        return {};
    }
    folder.resize(wcsnlen(folder.c_str(), folder.size()));
    return Narrow(folder);
}

bool Session::fileDialogSave(HWND dialog, const std::string& name, DWORD timeoutMs, DialogInfo* prompt) {
    HWND edit = IsWindow(dialog) ? FileNameEdit(dialog) : nullptr;
    if (!edit) return fail("not a file dialog");
    std::wstring wide = Widen(name);
    if (!send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), nullptr)) return false;
    std::string typed = windowText(edit);
    if (typed != name) return fail("the file-name field reads \"" + typed + "\" after typing \"" + name + "\"");
    if (!pressButton(dialog, IDOK)) return false;
    DWORD start = GetTickCount();
    for (;;) {
        if (!IsWindow(dialog) || !IsWindowVisible(dialog)) return true;
        for (HWND hwnd : TopLevelWindows(m_pi.dwProcessId)) {
            if (GetWindow(hwnd, GW_OWNER) != dialog || !IsWindowVisible(hwnd) || ClassName(hwnd) != L"#32770") continue;
            DialogInfo box;
            describeDialog(hwnd, box);
            if (prompt) *prompt = box;
            return fail("the file dialog answered \"" + name + "\" with the box \"" + box.caption + "\": " + box.text);
        }
        if (!running()) return fail("program ended while its file dialog was open");
        if (GetTickCount() - start >= timeoutMs)
            return fail("file dialog still open " + std::to_string(timeoutMs) + " ms after Save; it shows \"" +
                        fileDialogFolder(dialog) + "\", its field reads \"" + windowText(edit) + "\"");
        Sleep(kPollMs);
    }
}

bool Session::fileDialogCancel(HWND dialog, DWORD timeoutMs) {
    if (!IsWindow(dialog) || !FileNameEdit(dialog)) return fail("not a file dialog");
    return pressButton(dialog, IDCANCEL) && waitWindowGone(dialog, timeoutMs);
}

HWND Session::activeWindow() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (m_pi.dwThreadId && GetGUIThreadInfo(m_pi.dwThreadId, &info) && info.hwndActive) return info.hwndActive;
    return m_main;
}

// --- reading ---------------------------------------------------------------

bool Session::send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result, DWORD timeoutMs) {
    DWORD_PTR value = 0;
    if (!SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_NORMAL, timeoutMs ? timeoutMs : m_msgTimeout, &value)) {
        DWORD error = GetLastError();
        std::ostringstream what;
        what << "message 0x" << std::hex << msg;
        return fail(what.str() +
                    (error == ERROR_TIMEOUT || error == 0 ? " timed out" : " failed: " + SystemMessage(error)));
    }
    if (result) *result = static_cast<LRESULT>(value);
    return true;
}

HWND Session::control(int id, HWND parent) const {
    HWND owner = parent ? parent : m_main;
    return owner ? GetDlgItem(owner, id) : nullptr;
}

HWND Session::need(int id, HWND parent) {
    if (!parent && !m_main) {
        fail("main window not known (call waitMainWindow first)");
        return nullptr;
    }
    HWND hwnd = control(id, parent);
    if (!hwnd) fail("no control " + std::to_string(id));
    return hwnd;
}

std::string Session::windowText(HWND hwnd) {
    LRESULT length = 0;
    if (!hwnd || !send(hwnd, WM_GETTEXTLENGTH, 0, 0, &length)) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got = 0;
    if (!send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &got)) return {};
    text.resize(static_cast<size_t>(std::max<LRESULT>(0, std::min<LRESULT>(got, length))));
    return Narrow(text);
}

std::string Session::text(int id, HWND parent) {
    HWND hwnd = need(id, parent);
    return hwnd ? windowText(hwnd) : std::string();
}

bool Session::visible(int id, HWND parent) const {
    HWND hwnd = control(id, parent);
    return hwnd && IsWindowVisible(hwnd);
}

bool Session::enabled(int id, HWND parent) const {
    HWND hwnd = control(id, parent);
    return hwnd && IsWindowEnabled(hwnd);
}

int Session::checked(int id, HWND parent) {
    HWND hwnd = need(id, parent);
    LRESULT state = 0;
    if (!hwnd || !send(hwnd, BM_GETCHECK, 0, 0, &state)) return -1;
    return static_cast<int>(state);
}

bool Session::controlRect(int id, RECT& out, HWND parent) {
    HWND hwnd = need(id, parent);
    if (!hwnd || !GetWindowRect(hwnd, &out)) return false;
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&out), 2);
    return true;
}

bool Session::controlClientRect(int id, RECT& out, HWND parent) {
    HWND hwnd = need(id, parent);
    if (!hwnd || !GetClientRect(hwnd, &out)) return false;
    MapWindowPoints(hwnd, GetParent(hwnd), reinterpret_cast<POINT*>(&out), 2);
    return true;
}

bool Session::clientRect(RECT& out, HWND hwnd) {
    HWND target = hwnd ? hwnd : m_main;
    if (!target || !GetClientRect(target, &out)) return fail("no window");
    return true;
}

bool Session::sameBitness() {
    BOOL selfWow = FALSE, targetWow = FALSE;
    IsWow64Process(GetCurrentProcess(), &selfWow);
    IsWow64Process(m_pi.hProcess, &targetWow);
    return selfWow == targetWow || fail("driver and program differ in bitness; list-view records cannot be shared");
}

int Session::listCount(int id) {
    HWND list = need(id, nullptr);
    LRESULT count = 0;
    if (!list || !send(list, LVM_GETITEMCOUNT, 0, 0, &count)) return -1;
    return static_cast<int>(count);
}

std::string Session::listText(int id, int row, int subItem) {
    HWND list = need(id, nullptr);
    if (!list || !sameBitness()) return {};
    constexpr int kChars = 512;
    RemoteBuffer remote(m_pi.hProcess, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    if (!remote.ok()) {
        fail("VirtualAllocEx: " + SystemMessage(GetLastError()));
        return {};
    }
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = subItem;
    item.pszText = static_cast<wchar_t*>(remote.address(sizeof(LVITEMW)));
    item.cchTextMax = kChars;
    wchar_t zero = 0;
    LRESULT length = 0;
    if (!remote.write(&item, sizeof(item)) || !remote.write(&zero, sizeof(zero), sizeof(LVITEMW)) ||
        !send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.address()), &length))
        return {};
    std::wstring text(kChars, L'\0');
    if (!remote.read(text.data(), kChars * sizeof(wchar_t), sizeof(LVITEMW))) {
        fail("ReadProcessMemory: " + SystemMessage(GetLastError()));
        return {};
    }
    text.resize(wcsnlen(text.c_str(), kChars));
    return Narrow(text);
}

bool Session::listItemRect(int id, int row, RECT& out, int part) {
    HWND list = need(id, nullptr);
    if (!list) return false;
    RemoteBuffer remote(m_pi.hProcess, sizeof(RECT));
    if (!remote.ok()) return fail("VirtualAllocEx: " + SystemMessage(GetLastError()));
    RECT rect{part, 0, 0, 0};  // the part is passed in `left`
    LRESULT ok = 0;
    if (!remote.write(&rect, sizeof(rect)) ||
        !send(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.address()), &ok))
        return false;
    if (!ok) return fail("no row " + std::to_string(row) + " in list " + std::to_string(id));
    if (!remote.read(&out, sizeof(out))) return fail("ReadProcessMemory: " + SystemMessage(GetLastError()));
    return true;
}

int Session::listSelectionMark(int id) {
    HWND list = need(id, nullptr);
    LRESULT mark = -1;
    if (!list || !send(list, LVM_GETSELECTIONMARK, 0, 0, &mark)) return -1;
    return static_cast<int>(mark);
}

bool Session::listSelected(int id, int row) {
    HWND list = need(id, nullptr);
    LRESULT state = 0;
    return list && send(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED, &state) &&
           (state & LVIS_SELECTED);
}

int Session::trackbarPos(int id) {
    HWND bar = need(id, nullptr);
    LRESULT pos = -1;
    if (!bar || !send(bar, TBM_GETPOS, 0, 0, &pos)) return -1;
    return static_cast<int>(pos);
}

std::string Session::statusText(int id) {
    std::string text;
    readStatusText(text, id);
    return text;
}

bool Session::readStatusText(std::string& out, int id) {
    out.clear();
    HWND box = need(id, nullptr);
    if (!box || !sameBitness()) return false;
    // WM_GETTEXT goes through the version-1 box's ANSI procedure and loses
    // what the code page cannot hold (Hangul under a Western one); the
    // rich-edit query hands out UTF-16 as stored.
    RemoteBuffer lengthQuery(m_pi.hProcess, sizeof(GETTEXTLENGTHEX));
    GETTEXTLENGTHEX how{GTL_PRECISE | GTL_NUMCHARS, 1200};
    LRESULT length = 0;
    if (!lengthQuery.ok() || !lengthQuery.write(&how, sizeof(how)) ||
        !send(box, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(lengthQuery.address()), 0, &length))
        return false;
    if (length <= 0) {
        out = windowText(box);  // a plain edit knows no rich-edit queries
        return true;
    }
    size_t bytes = (static_cast<size_t>(length) + 1) * sizeof(wchar_t);
    RemoteBuffer remote(m_pi.hProcess, sizeof(GETTEXTEX) + bytes);
    GETTEXTEX query{};
    query.cb = static_cast<DWORD>(bytes);
    query.flags = GT_DEFAULT;
    query.codepage = 1200;
    LRESULT got = 0;
    if (!remote.ok() || !remote.write(&query, sizeof(query)) ||
        !send(box, EM_GETTEXTEX, reinterpret_cast<WPARAM>(remote.address()),
              reinterpret_cast<LPARAM>(remote.address(sizeof(GETTEXTEX))), &got))
        return false;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    if (!remote.read(text.data(), bytes, sizeof(GETTEXTEX)))
        return fail("ReadProcessMemory: " + SystemMessage(GetLastError()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(0, std::min<LRESULT>(got, length))));
    out = Narrow(text);
    return true;
}

std::vector<std::string> Session::statusLines(int id) {
    std::vector<std::string> lines;
    readStatusLines(lines, id);
    return lines;
}

bool Session::readStatusLines(std::vector<std::string>& lines, int id) {
    lines.clear();
    std::string text;
    const bool ok = readStatusText(text, id);
    size_t begin = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(begin, i - begin));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        begin = i + 1;
    }
    if (begin < text.size()) lines.push_back(text.substr(begin));
    return ok;
}

int Session::waitStatusLine(const std::string& text, DWORD timeoutMs, int id) {
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<std::string> lines = statusLines(id);
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find(text) != std::string::npos) return static_cast<int>(i);
        if (!control(id, nullptr)) {
            fail("no control " + std::to_string(id));
            return -1;
        }
        if (GetTickCount() - start >= timeoutMs) {
            fail("no status line with \"" + text + "\" within " + std::to_string(timeoutMs) + " ms (" +
                 std::to_string(lines.size()) + " lines" +
                 (lines.empty() ? "" : ", the last \"" + lines.back() + "\"") + ")");
            return -1;
        }
        Sleep(50);
    }
}

// --- acting ----------------------------------------------------------------

namespace {

// The reply to a click, which may come after click() has given up waiting:
// the callback then frees it.
struct ClickReply {
    bool done = false;
    bool abandoned = false;
};

void CALLBACK ClickAnswered(HWND, UINT, ULONG_PTR data, LRESULT) {
    auto* reply = reinterpret_cast<ClickReply*>(data);
    if (reply->abandoned) delete reply;
    else reply->done = true;
}

}  // namespace

bool Session::click(int id, DWORD timeoutMs, HWND parent) {
    HWND button = need(id, parent);
    if (!button) return false;
    if (!IsWindowEnabled(button)) return fail("control " + std::to_string(id) + " is disabled");
    HWND top = GetAncestor(button, GA_ROOT);
    bool topEnabled = IsWindowEnabled(top) != FALSE;
    auto* reply = new ClickReply;
    if (!SendMessageCallbackW(button, BM_CLICK, 0, 0, ClickAnswered, reinterpret_cast<ULONG_PTR>(reply))) {
        delete reply;
        return fail("BM_CLICK: " + SystemMessage(GetLastError()));
    }
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // delivers the reply to the callback
        if (reply->done) {
            delete reply;
            return true;
        }
        // A modal window disables its owner: the handler now waits for the
        // user, which the caller is about to play.
        bool modal = topEnabled && !IsWindowEnabled(top);
        if (modal || !running() || GetTickCount() - start >= timeoutMs) {
            reply->abandoned = true;
            return true;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
    }
}

bool Session::clickRow(int id, int row) {
    HWND list = need(id, nullptr);
    if (!list) return false;
    send(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE, nullptr);
    RECT rect{};
    if (!listItemRect(id, row, rect, LVIR_ICON) || IsRectEmpty(&rect)) {
        if (!listItemRect(id, row, rect, LVIR_LABEL)) return false;
    }
    POINT pt{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    RECT client{};
    GetClientRect(list, &client);
    if (!PtInRect(&client, pt)) return fail("row " + std::to_string(row) + " lies outside the list's client area");
    LPARAM at = MAKELPARAM(pt.x, pt.y);
    // Posted like real input: a list view may track the button in a loop of
    // its own (drag detection) that waits for the up message in its queue.
    if (!PostMessageW(list, WM_MOUSEMOVE, 0, at) || !PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at) ||
        !PostMessageW(list, WM_LBUTTONUP, 0, at))
        return fail("PostMessage: " + SystemMessage(GetLastError()));
    return true;
}

bool Session::setTrackbar(int id, int pos) {
    HWND bar = need(id, nullptr);
    if (!bar || !send(bar, TBM_SETPOS, TRUE, pos, nullptr)) return false;
    // TBM_SETPOS notifies nobody; the parent hears of the move as from a drag.
    UINT msg = (GetWindowLongW(bar, GWL_STYLE) & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    LRESULT now = pos;
    send(bar, TBM_GETPOS, 0, 0, &now);  // clamped to the range
    HWND parent = GetParent(bar);
    return send(parent, msg, MAKEWPARAM(TB_THUMBPOSITION, static_cast<WORD>(now)), reinterpret_cast<LPARAM>(bar),
                nullptr) &&
           send(parent, msg, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(bar), nullptr);
}

bool Session::sysCommand(WPARAM command) {
    if (!m_main) return fail("main window not known");
    return PostMessageW(m_main, WM_SYSCOMMAND, command, 0) || fail("PostMessage: " + SystemMessage(GetLastError()));
}

bool ChooseSystemMenuItem(HWND window, const std::string& caption, std::string& error) {
    // Windows hands out another process's window menu; Wine keeps menus per
    // process and answers NULL.
    const HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) {
        error = "the window's system menu cannot be read from this process";
        return false;
    }
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t buffer[256] = {0};
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_FTYPE;
        item.dwTypeData = buffer;
        item.cch = 255;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item) || (item.fType & MFT_SEPARATOR)) continue;
        std::wstring text;
        for (const wchar_t* p = buffer; *p && *p != L'\t'; ++p) {
            if (*p == L'&' && p[1] == L'&') ++p;  // "&&" is a shown "&"
            else if (*p == L'&') continue;
            text += *p;
        }
        if (Narrow(text) != caption) continue;
        if (item.fState & (MFS_DISABLED | MFS_GRAYED)) {
            error = "system-menu item \"" + caption + "\" is disabled";
            return false;
        }
        if (!PostMessageW(window, WM_SYSCOMMAND, item.wID, 0)) {
            error = "PostMessage: " + SystemMessage(GetLastError());
            return false;
        }
        return true;
    }
    error = "no system-menu item \"" + caption + "\"";
    return false;
}

bool Session::sysMenuItem(const std::string& caption) {
    if (!m_main) return fail("main window not known");
    std::string error;
    return ChooseSystemMenuItem(m_main, caption, error) || fail(error);
}

bool Session::escape(HWND dialog) {
    HWND target = dialog;
    if (!target) {
        target = activeWindow();
        // A box that is closing stays the active window for a while.
        if (!target || !IsWindowVisible(target)) target = m_main;
    }
    if (!target) return fail("no window to send Esc to");
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    DWORD thread = GetWindowThreadProcessId(target, nullptr);
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
        (info.hwndFocus == target || IsChild(target, info.hwndFocus))) {
        // The dialog loop turns Esc into IDCANCEL unless the control wants the key.
        if (PostMessageW(info.hwndFocus, WM_KEYDOWN, VK_ESCAPE, 0x00010001) &&
            PostMessageW(info.hwndFocus, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u)))
            return true;
    }
    return PostMessageW(target, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0) ||
           fail("PostMessage: " + SystemMessage(GetLastError()));
}

bool Session::close(HWND hwnd) {
    HWND target = hwnd ? hwnd : m_main;
    if (!target) return fail("no window to close");
    return PostMessageW(target, WM_CLOSE, 0, 0) || fail("PostMessage: " + SystemMessage(GetLastError()));
}

bool Session::resizeWindow(int width, int height) {
    if (!m_main) return fail("main window not known");
    return SetWindowPos(m_main, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) ||
           fail("SetWindowPos: " + SystemMessage(GetLastError()));
}

bool Session::resizeClient(int width, int height) {
    RECT outer{}, inner{};
    if (!m_main || !GetWindowRect(m_main, &outer) || !GetClientRect(m_main, &inner))
        return fail("main window not known");
    // The frame's size stays what it is; only the client part changes.
    int extraW = (outer.right - outer.left) - inner.right;
    int extraH = (outer.bottom - outer.top) - inner.bottom;
    return resizeWindow(width + extraW, height + extraH);
}

// --- capture ---------------------------------------------------------------

bool Session::capture(Image& out, HWND hwnd) {
    HWND target = hwnd ? hwnd : m_main;
    if (!target) return fail("no window to capture");
    std::string error;
    if (!CaptureClient(target, out, &m_captureHow, &error)) return fail(error);
    return true;
}

bool Session::screenshot(const std::string& pngPath, Image* out, HWND hwnd) {
    Image image;
    if (!capture(image, hwnd)) return false;
    if (!WritePng(pngPath, image)) return fail("cannot write " + pngPath);
    if (out) *out = std::move(image);
    return true;
}

// --- files -----------------------------------------------------------------

std::string Session::filePath(const std::string& name) const {
    return IsAbsolutePath(name) ? WindowsPath(name) : JoinPath(m_folder, WindowsPath(name));
}

std::string Session::readFile(const std::string& name) const {
    std::ifstream file(Widen(filePath(name)).c_str(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Session::waitFile(const std::string& name, DWORD timeoutMs) {
    std::string path = filePath(name);
    DWORD start = GetTickCount();
    for (;;) {
        // Not shared for writing: fails while the writer still holds the file.
        HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        DWORD error = GetLastError();
        if (GetTickCount() - start >= timeoutMs)
            return fail((error == ERROR_SHARING_VIOLATION ? "file still being written: " : "no file ") + path +
                        " after " + std::to_string(timeoutMs) + " ms");
        Sleep(kPollMs);
    }
}

std::vector<std::string> Session::requestLog() const {
    std::vector<std::string> lines;
    std::istringstream in(readFile("requests.log"));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace e2e
