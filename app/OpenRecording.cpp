// "Open Recording...": a recording replayed in a window of its own, by a
// second process of this program, so the live scope keeps its frames, its
// library and its files.
#include "app/LumagridDlg.h"
#include "framework/DllSearch.h"
#include "framework/FileDialog.h"
#include "framework/Handle.h"
#include "text/Escape.h"

namespace {
constexpr wchar_t kOpenFilter[] = L"Recordings (*.lgrec)\0*.lgrec\0All Files (*.*)\0*.*\0";
}  // namespace

void CLumagridDlg::OnOpenRecording() {
    CSaveAsDialog dialog;
    dialog.pszTitle = L"Open Recording";
    dialog.filter.assign(kOpenFilter, sizeof kOpenFilter / sizeof kOpenFilter[0]);
    dialog.dwFlags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    std::wstring chosen;
    if (!dialog.Run(m_pfnGetOpenFileName, m_hWnd, std::wstring(), chosen)) return;

    // The program's own file by its full path: never one that a search for
    // the name would find first.
    const std::wstring program = dllsearch::ExecutablePath();
    std::wstring commandLine = text::CommandLineArgument(program) + L" " + text::CommandLineArgument(chosen);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (program.empty() ||
        !m_pfnCreateProcess(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        const std::wstring text = L"Cannot start the replay of " + chosen + L": " + SystemErrorText(::GetLastError());
        m_pfnMessageBox(text.c_str(), MB_OK | MB_ICONERROR);
        return;
    }
    // Nothing here waits for the replay: its handles go at once.
    CHandle process(pi.hProcess);
    CHandle thread(pi.hThread);
    Trace("replay of %s started (process %lu)\n", Narrow(chosen.c_str()).c_str(),
          static_cast<unsigned long>(pi.dwProcessId));
}
