// Stand-in for the program under test, used only by the driver's own tests.
// It behaves like the program where the driver depends on it (caption, ids,
// icon-view device list that reacts to NM_CLICK, failed-load boxes, traces on
// stdout, request log, settings file) and traces what it receives so the
// tests can check that each driver action arrived as intended.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "StandinIds.h"

namespace {

HMODULE g_library = nullptr;
RECT g_paintArea{};  // client pixels, filled pure red
WNDPROC g_statusProc = nullptr;

std::wstring ExePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring AppName() {
    std::wstring path = ExePath();
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    return name.substr(0, name.find_last_of(L'.'));
}

void Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);
}

void LogRequest(const char* line) {
    const char* path = getenv("QUORVANE_SIM_LOG");
    if (!path || !*path) return;
    if (FILE* f = fopen(path, "a")) {
        fprintf(f, "%s\n", line);
        fclose(f);
    }
}

std::string Utf8(const std::wstring& wide) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

// The program subclasses its status box with a Unicode procedure; so does the
// stand-in, so that text messages from the driver take the same path.
LRESULT CALLBACK StatusProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return CallWindowProcW(g_statusProc, hwnd, msg, wp, lp);
}

// Appended as the program appends its status lines: coloured, ending in CR LF.
// EM_REPLACESEL reaches the version-1 box through its ANSI procedure, which
// turns Hangul into '?' unless the code page is Korean; EM_SETTEXTEX with
// code page 1200 keeps it, so Korean lines take that way here.
void AppendStatus(HWND dlg, const wchar_t* text, COLORREF colour, bool keepHangul) {
    HWND box = GetDlgItem(dlg, IDC_STATUS);
    std::wstring line = std::wstring(text) + L"\r\n";
    SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    CHARFORMATW format{};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    format.crTextColor = colour;
    SendMessageW(box, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    if (keepHangul) {
        SETTEXTEX how{ST_SELECTION, 1200};
        SendMessageW(box, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(line.c_str()));
    } else {
        SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    }
}

// The program's report export: the same dialog options, then the file, or a
// box with a Korean file-error text when it cannot be written.
void SaveReport(HWND dlg) {
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    Trace("save dialog in %s\n", Utf8(folder).c_str());
    std::wstring filter = L"Microsoft Excel 통합 문서(.xls) |*.xls|All Files (*.*)|*.*||";
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    wchar_t file[MAX_PATH] = L"(2026-12-09-14-30)";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = dlg;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = L"Export Report File As";
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&ofn)) {
        DWORD error = CommDlgExtendedError();
        if (error) Trace("save dialog error %lu\n", error);
        else Trace("cancelled\n");
        return;
    }
    Trace("saved as %s\n", Utf8(file).c_str());
    HANDLE out = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (out == INVALID_HANDLE_VALUE) {
        std::wstring text = L"파일을 쓸 수 없습니다: " + std::wstring(file);
        MessageBoxW(dlg, text.c_str(), AppName().c_str(), MB_OK | MB_ICONEXCLAMATION);
        Trace("file error box closed\n");
        return;
    }
    WriteFile(out, "standin report\r\n", 16, &written, nullptr);
    CloseHandle(out);
}

void TraceScenario() {
    const char* path = getenv("QUORVANE_SIM");
    if (!path || !*path) {
        Trace("scenario: none\n");
        return;
    }
    char line[256] = {};
    FILE* f = fopen(path, "r");
    if (f) {
        if (!fgets(line, sizeof(line), f)) line[0] = 0;
        fclose(f);
    }
    line[strcspn(line, "\r\n")] = 0;
    Trace("scenario: %s\n", f ? line : "(unreadable)");
}

void FillDeviceList(HWND dlg) {
    HWND list = GetDlgItem(dlg, IDC_DEVICE_LIST);
    HIMAGELIST images = ImageList_Create(54, 25, ILC_COLOR8 | ILC_MASK, 8, 1);
    ImageList_ReplaceIcon(images, -1, LoadIcon(nullptr, IDI_APPLICATION));
    ListView_SetImageList(list, images, LVSIL_NORMAL);
    ListView_SetBkColor(list, RGB(0, 0, 0));
    ListView_SetTextBkColor(list, RGB(0, 0, 0));
    ListView_SetTextColor(list, RGB(255, 255, 255));
    const wchar_t* columns[] = {L"U", L"X", L"Y"};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.cx = 2;
        column.pszText = const_cast<wchar_t*>(columns[i]);
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    struct Row {
        const wchar_t* name;
        const wchar_t* x;
        const wchar_t* y;
    };
    const Row rows[] = {{L"FrameA", L"32", L"24"}, {L"Frame\u00e9B", L"64", L"48"}};
    for (int i = 0; i < 2; ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = i;
        item.pszText = const_cast<wchar_t*>(rows[i].name);
        item.lParam = 100 + i;
        int at = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        LVITEMW sub{};
        sub.iSubItem = 1;
        sub.pszText = const_cast<wchar_t*>(rows[i].x);
        SendMessageW(list, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&sub));
        sub.iSubItem = 2;
        sub.pszText = const_cast<wchar_t*>(rows[i].y);
        SendMessageW(list, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&sub));
    }
}

void Paint(HWND dlg, HDC dc) {
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &g_paintArea, red);
    DeleteObject(red);
    (void)dlg;
}

INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        Trace("about closed %d\n", LOWORD(wp));
        EndDialog(dlg, LOWORD(wp));
        return TRUE;
    }
    return FALSE;
}

BOOL OnInitDialog(HWND dlg) {
    // Loaded from the dialog, as the program does, so the boxes have an owner.
    g_library = LoadLibraryW(L"QuorvaneLib.dll");
    if (!g_library) {
        MessageBoxW(dlg, L"Failed to load Quorvane USB DLL", L"Error", MB_OK | MB_ICONERROR);
        MessageBoxW(dlg, L"Load Dll fail", AppName().c_str(), MB_OK | MB_ICONEXCLAMATION);
        Trace("exiting without library\n");
        ExitProcess(0);
    }
    Trace(">>>>>Load Dll success\n");
    using Answer = int (*)();
    if (auto answer = reinterpret_cast<Answer>(reinterpret_cast<void*>(GetProcAddress(g_library, "standinAnswer"))))
        Trace("library answer %d\n", answer());

    std::wstring exe = ExePath();
    std::wstring ini = exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"Lumagrid.ini";
    WritePrivateProfileStringW(L"SETTING", L"Started", L"1", ini.c_str());

    FillDeviceList(dlg);
    HWND bar = GetDlgItem(dlg, IDC_TRACKBAR);
    SendMessageW(bar, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
    SendMessageW(bar, TBM_SETPOS, TRUE, 100);
    SetDlgItemTextW(dlg, IDC_RANGE, L"Range 0 - 100");
    SetDlgItemTextW(dlg, IDC_AVERAGE_X, L"12.5");

    if (HMENU menu = GetSystemMenu(dlg, FALSE)) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, 0x0010, L"About Standin...");
    }

    g_paintArea = {150, 100, 230, 140};
    MapDialogRect(dlg, &g_paintArea);
    Trace("paint area %ld %ld %ld %ld\n", g_paintArea.left, g_paintArea.top, g_paintArea.right, g_paintArea.bottom);
    RECT stop{};
    GetWindowRect(GetDlgItem(dlg, IDC_STOP), &stop);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&stop), 2);
    Trace("stop button at %ld %ld %ld %ld\n", stop.left, stop.top, stop.right, stop.bottom);

    HWND status = GetDlgItem(dlg, IDC_STATUS);
    g_statusProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(status, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StatusProc)));
    return TRUE;
}

void OnCommand(HWND dlg, int id, int code) {
    if (code != BN_CLICKED) return;
    switch (id) {
        case IDCANCEL:
            Trace("cancel\n");
            EndDialog(dlg, 0);
            return;
        case IDOK: return;  // Enter does not end the stand-in
        case IDC_STOP: LogRequest("setDump 0 0x00"); break;
        case IDC_LED_CHECK:
            Sleep(1000);  // the program blocks its thread like this on some clicks
            Trace("led check done\n");
            break;
        case IDC_FILE_REPORT:
            Trace("exit 3\n");
            EndDialog(dlg, 3);
            return;
        case IDC_SAVE_AS: SaveReport(dlg); return;
        case IDC_STATUS_LINES:
            AppendStatus(dlg, L"X-Axis: 3 weak LEDs", RGB(255, 0, 0), false);
            AppendStatus(dlg, L"Y-Axis 정상", RGB(0, 128, 0), true);
            AppendStatus(dlg, L"파일 저장: 보고서.xls", RGB(0, 0, 0), true);
            break;
        default: break;
    }
    Trace("clicked %d check %d\n", id, static_cast<int>(IsDlgButtonChecked(dlg, id)));
}

INT_PTR CALLBACK MainProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG: return OnInitDialog(dlg);
        case WM_COMMAND: OnCommand(dlg, LOWORD(wp), HIWORD(wp)); return TRUE;
        case WM_NOTIFY: {
            auto* hdr = reinterpret_cast<NMHDR*>(lp);
            if (hdr->idFrom == IDC_DEVICE_LIST && hdr->code == NM_CLICK) {
                auto* act = reinterpret_cast<NMITEMACTIVATE*>(lp);
                Trace("clicked row %d mark %d\n", act->iItem,
                      static_cast<int>(SendMessageW(hdr->hwndFrom, LVM_GETSELECTIONMARK, 0, 0)));
            }
            return FALSE;
        }
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lp) == GetDlgItem(dlg, IDC_TRACKBAR))
                Trace("trackbar code %d pos %d\n", LOWORD(wp),
                      static_cast<int>(SendMessageW(reinterpret_cast<HWND>(lp), TBM_GETPOS, 0, 0)));
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wp & 0xFFF0) == 0x0010) {
                Trace("about open\n");
                DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), dlg, AboutProc, 0);
                return TRUE;
            }
            return FALSE;
        case WM_SIZE: Trace("size %d %d\n", LOWORD(lp), HIWORD(lp)); return FALSE;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(dlg, &ps);
            Paint(dlg, dc);
            EndPaint(dlg, &ps);
            return TRUE;
        }
        case WM_PRINTCLIENT:
            // Background first: the dialog's default handling paints nothing here.
            SendMessageW(dlg, WM_ERASEBKGND, wp, 0);
            Paint(dlg, reinterpret_cast<HDC>(wp));
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    LoadLibraryW(L"riched32.dll");  // the status box's class "RICHEDIT"
    std::wstring exe = ExePath();
    Trace("standin start %ls\n", exe.substr(exe.find_last_of(L"\\/") + 1).c_str());
    TraceScenario();
    INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_STANDIN), nullptr, MainProc, 0);
    Trace("standin end %d\n", static_cast<int>(result));
    if (g_library) FreeLibrary(g_library);
    return static_cast<int>(result);
}
