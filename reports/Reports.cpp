// Consumers of the report samples. The LED check and the daily automatic save
// are not built yet: nothing arms them (m_nLedCheckPending and
// m_FileSaveIndex stay 0), so the dump processing never reaches these.
#include "app/LumagridDlg.h"

void CLumagridDlg::DoLedCheck() {}

void CLumagridDlg::WriteAutoSaveFile() {}
