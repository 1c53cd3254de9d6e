#include "framework/FileDialog.h"

#include <algorithm>
#include <vector>

bool CSaveAsDialog::Run(SaveFileNameFn pfnShow, HWND hOwner, const std::wstring& proposed, std::wstring& chosen) const {
    std::vector<wchar_t> file(4096, L'\0');
    std::copy_n(proposed.c_str(), std::min(proposed.size(), file.size() - 1), file.begin());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hOwner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = pszTitle;
    ofn.lpstrDefExt = pszDefExt;
    ofn.Flags = dwFlags | OFN_NOCHANGEDIR;
    if (!pfnShow(&ofn)) return false;
    chosen = file.data();
    return true;
}
