// Loading QuorvaneLib.dll and resolving its entry points: shared by the
// window program and the console tool, which refuse the same libraries for
// the same reasons.
#pragma once

#include <string>

#include "link/QuorvaneBinding.h"

namespace quorvane {

struct LoadedLibrary {
    const wchar_t* pszName = L"QuorvaneLib.dll";  // as the refusal names it
    HMODULE hLib = nullptr;                       // null: refused
    DWORD nError = 0;                             // LoadLibrary's error when the file could not be loaded
    bool bPresent = false;                        // it lies beside the program: an error 126 is a DLL it needs
    const char* pszMissing = nullptr;             // the first called entry point the library lacks
};

// The library beside the executable first, then where Windows looks for it;
// for a replay (replayLibrary: SimulatorLibraryPath()) that file only.
// A library that cannot be loaded (missing: 126, the other bitness: 193) or
// that lacks one of the five called entry points is refused: unloaded, the
// binding cleared.
LoadedLibrary LoadQuorvaneLibrary(QuorvaneBinding& binding, const std::wstring& replayLibrary = std::wstring());

// The substitute library a replay loads: simulator\QuorvaneLib.dll in the
// program's folder, as the zips ship it and the build places it. Never the
// maker's library beside the program, whatever the search path offers.
std::wstring SimulatorLibraryPath();

// Readies this process to replay the recording at `path`: reads it with the
// recording reader (a file the substitute library could not play would make
// it serve its built-in frames instead) and names it, as an absolute path,
// in this process' QUORVANE_SIM, which the library reads when it is first
// called. Empty on success; otherwise why it cannot be played, in the
// reader's or the system's words. `absolute` gets the path it uses.
std::wstring PrepareReplay(const std::wstring& path, std::wstring& absolute);

// Why a library was refused, as one line, naming pszName: "LoadLibrary QuorvaneLib.dll
// failed: error 126 (...); this program is 64-bit", "QuorvaneLib.dll is
// present but a DLL it needs is missing: error 126 (...); this program is
// 64-bit" or "QuorvaneLib.dll lacks the entry point getSysInfo".
std::wstring RefusalTextWide(const LoadedLibrary& loaded);
// The same in the system code page, for the window program's trace.
std::string RefusalText(const LoadedLibrary& loaded);

// Unloads the library; nothing may call into it afterwards.
void FreeQuorvaneLibrary(HMODULE& hLib, QuorvaneBinding& binding);

// Delivers the library's messages already sent to this thread and waiting,
// while bDropping tells their handler to drop them: a packet of the previous
// request (another frame's counts, another mode) is never read as one of the next.
void DropWaitingMessages(BOOL& bDropping);

}  // namespace quorvane
