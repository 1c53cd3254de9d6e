// The dialog's side of file errors and whole-file writes: the box that names
// the file and the cause, and the write through the replaceable WriteFile.
#include "app/LumagridDlg.h"
#include "reports/FileErrors.h"
#include "reports/WholeFile.h"

DWORD CLumagridDlg::WriteWholeFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    return reports::WriteWholeFile(path, bytes.data(), bytes.size(), m_pfnWriteFile);
}

void CLumagridDlg::ShowFileError(DWORD nError, const std::string& fileNameUtf8) {
    std::string text = reports::FileErrorText(reports::FileErrorCauseOf(nError), fileNameUtf8);
    Trace("file error %lu: %s\n", static_cast<unsigned long>(nError), fileNameUtf8.c_str());
    m_pfnMessageBox(Widen(text.c_str(), CP_UTF8).c_str(), MB_OK | MB_ICONEXCLAMATION);
}
