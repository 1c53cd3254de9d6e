#include "framework/DllSearch.h"

namespace dllsearch {

std::wstring ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);  // cut short: a longer buffer
    }
}

std::wstring ExecutableFolder() {
    const std::wstring path = ExecutablePath();
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

void RemoveCurrentFolder() {
    // The program's own folder as "the DLL directory" takes the current
    // folder's place in the search (so documented since Windows XP SP1) and
    // adds nothing, the program's folder being searched first anyway. An
    // empty name does the same on Windows, but Wine keeps the current folder
    // then, and no test here could tell.
    std::wstring folder = ExecutableFolder();
    if (folder.size() > 1) folder.pop_back();  // without its separator
    if (folder.empty() || !::SetDllDirectoryW(folder.c_str())) ::SetDllDirectoryW(L"");
}

std::wstring SystemPath(const wchar_t* pszName) {
    wchar_t szFolder[MAX_PATH] = {0};
    const UINT n = ::GetSystemDirectoryW(szFolder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    std::wstring path(szFolder, n);
    if (path.back() != L'\\') path += L'\\';
    return path + pszName;
}

HMODULE LoadSystemLibrary(const wchar_t* pszName) {
    const std::wstring path = SystemPath(pszName);
    if (path.empty()) return nullptr;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace dllsearch
