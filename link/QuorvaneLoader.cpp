#include "link/QuorvaneLoader.h"

#include <algorithm>

#include "framework/DllSearch.h"
#include "framework/Handle.h"
#include "framework/String.h"
#include "recording/Playable.h"

namespace quorvane {

namespace {
constexpr wchar_t kLibraryName[] = L"QuorvaneLib.dll";
constexpr wchar_t kSimulatorName[] = L"simulator\\QuorvaneLib.dll";

// The recording reader over a file opened by its wide name.
class HandleSource : public recording::ByteSource {
public:
    explicit HandleSource(HANDLE hFile) : m_hFile(hFile) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t size) override {
        std::size_t nDone = 0;
        while (nDone < size && !m_bFailed) {
            DWORD nRead = 0;
            const DWORD nWant = static_cast<DWORD>(std::min<std::size_t>(size - nDone, 1u << 20));
            if (!::ReadFile(m_hFile, buffer + nDone, nWant, &nRead, nullptr)) m_bFailed = true;
            if (nRead == 0) break;
            nDone += nRead;
        }
        return nDone;
    }
    bool Failed() const override { return m_bFailed; }

private:
    HANDLE m_hFile;
    bool m_bFailed = false;
};

// Asked for its length first: a path may be longer than MAX_PATH.
std::wstring FullPathOf(const std::wstring& path) {
    const DWORD nLength = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (nLength == 0) return {};
    std::wstring full(nLength, L'\0');
    const DWORD nCopied = ::GetFullPathNameW(path.c_str(), nLength, &full[0], nullptr);
    if (nCopied == 0 || nCopied >= nLength) return {};
    full.resize(nCopied);
    return full;
}
}  // namespace

LoadedLibrary LoadQuorvaneLibrary(QuorvaneBinding& binding, const std::wstring& replayLibrary) {
    LoadedLibrary loaded;
    binding.Clear();
    bool bBeside = false;
    if (!replayLibrary.empty()) {
        loaded.pszName = kSimulatorName;
        bBeside = ::GetFileAttributesW(replayLibrary.c_str()) != INVALID_FILE_ATTRIBUTES;
        // Its imports from its own folder and the system folder only: never a
        // DLL lying beside the program (the maker's library brings its own
        // there) nor in the current folder. A Windows 7 without KB2533623
        // refuses these flags with ERROR_INVALID_PARAMETER; there its folder
        // comes first, then the order RemoveCurrentFolder left.
        loaded.hLib = ::LoadLibraryExW(replayLibrary.c_str(), nullptr,
                                       LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (loaded.hLib == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER)
            loaded.hLib = ::LoadLibraryExW(replayLibrary.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    } else {
        // By its full path when it lies beside us: never one that the current
        // folder or PATH happens to offer instead.
        const std::wstring beside = dllsearch::ExecutableFolder() + kLibraryName;
        bBeside = ::GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (bBeside) loaded.hLib = ::LoadLibraryW(beside.c_str());
        else loaded.hLib = ::LoadLibraryW(kLibraryName);
    }
    if (loaded.hLib == nullptr) {
        loaded.nError = ::GetLastError();
        // Windows answers 126 both for a library it cannot find and for one
        // whose own imports it cannot find. Only the file at the known path
        // is known to be there; where a search would have found one is not
        // asked again.
        loaded.bPresent = loaded.nError == ERROR_MOD_NOT_FOUND && bBeside;
        return loaded;
    }
    if ((loaded.pszMissing = binding.Resolve(loaded.hLib)) != nullptr) FreeQuorvaneLibrary(loaded.hLib, binding);
    return loaded;
}

std::wstring SimulatorLibraryPath() { return dllsearch::ExecutableFolder() + kSimulatorName; }

std::wstring PrepareReplay(const std::wstring& path, std::wstring& absolute) {
    absolute = FullPathOf(path);
    if (absolute.empty()) return L"not a valid path: " + SystemErrorText(::GetLastError());
    const DWORD nAttributes = ::GetFileAttributesW(absolute.c_str());
    if (nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return L"a folder, not a recording";
    // Shared for writing: a recording still being made is read as far as it goes.
    CHandle file(::CreateFileW(absolute.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return L"cannot open the file: " + SystemErrorText(::GetLastError());
    HandleSource source(file.get());
    const std::string refusal = recording::ReplayRefusal(source);
    if (!refusal.empty()) return Widen(refusal.c_str(), CP_UTF8);
    // This process' own block, which the library reads with
    // GetEnvironmentVariableW; whatever QUORVANE_SIM said before gives way.
    if (!::SetEnvironmentVariableW(L"QUORVANE_SIM", absolute.c_str()))
        return L"cannot name it in QUORVANE_SIM: " + SystemErrorText(::GetLastError());
    return {};
}

std::wstring RefusalTextWide(const LoadedLibrary& loaded) {
    const std::wstring name = loaded.pszName;
    if (loaded.pszMissing != nullptr) return name + L" lacks the entry point " + Widen(loaded.pszMissing);
    std::wstring line =
        loaded.bPresent ? name + L" is present but a DLL it needs is missing" : L"LoadLibrary " + name + L" failed";
    line +=
        L": " + SystemErrorText(loaded.nError) + L"; this program is " + std::to_wstring(sizeof(void*) * 8) + L"-bit";
    return line;
}

std::string RefusalText(const LoadedLibrary& loaded) { return Narrow(RefusalTextWide(loaded).c_str()); }

void FreeQuorvaneLibrary(HMODULE& hLib, QuorvaneBinding& binding) {
    if (hLib != nullptr) ::FreeLibrary(hLib);
    hLib = nullptr;
    binding.Clear();
}

void DropWaitingMessages(BOOL& bDropping) {
    bDropping = TRUE;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    bDropping = FALSE;
}

}  // namespace quorvane
