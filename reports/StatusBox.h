// The status box: a read-only rich edit below the charts. Esc and Enter go to
// the dialog even while the box has the focus; a read-only box has no use for
// them, and the window must close on Esc wherever the focus is.
#pragma once

#include "framework/Afx.h"

class CStatusBox : public CRichEditCtrl {
protected:
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()
};
