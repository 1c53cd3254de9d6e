// The status box: a read-only rich edit below the charts. Esc and Enter go to
// the dialog even while the box has the focus; a read-only box has no use for
// them, and the window must close on Esc wherever the focus is.
#pragma once

#include "framework/Afx.h"

class CStatusBox : public CRichEditCtrl {
public:
    // The box keeps its newest lines. Every report row adds one, and Wine's
    // box, which ignores its text limit, holds some 2.4 KB a line: a bench
    // day of reports would grow the program without bound.
    static constexpr int kMaxLines = 1000;
    static constexpr int kDropLines = 250;  // at once, so that appends stay cheap
    // Called before a line is appended: drops the oldest lines of a full box.
    void MakeRoomForLine();

protected:
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()
};
