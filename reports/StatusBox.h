// The status box: a read-only rich edit below the charts. Esc and Enter go to
// the dialog even while the box has the focus; a read-only box has no use for
// them, and the window must close on Esc wherever the focus is.
#pragma once

#include <climits>

#include "framework/Afx.h"

class CStatusBox : public CRichEditCtrl {
public:
    // The box keeps its newest lines. Every report row adds one, and Wine's
    // box, which ignores its text limit, holds some 2.4 KB a line: a bench
    // day of reports would grow the program without bound.
    static constexpr int kMaxLines = 1000;
    static constexpr int kDropLines = 250;  // at once, so that appends stay cheap
    // The newest LED check is kept whole while a report's rows follow it (a
    // big frame's report alone adds more than kMaxLines), until the box holds
    // this many lines: two full 4096-receiver axes and a verdict on each.
    static constexpr int kMaxKeptLines = 20000;
    // A block of lines appended at once holds no more than this.
    static constexpr int kMaxBlockLines = kMaxLines - kDropLines;
    // Windows' box takes 32,767 characters unless told otherwise and then
    // refuses the newest lines: the line bounds above must govern instead.
    // A line is at most 255 characters and its line end.
    static constexpr long kTextLimit = (kMaxKeptLines + kMaxLines + kMaxBlockLines) * 257L;
    // Called before nNew lines are appended: drops the oldest lines of a box
    // that would be over its bound.
    void MakeRoomForLines(int nNew);
    // Lines appended from now on are the newest verdict: trimming stops short
    // of them.
    void KeepFromHere();

private:
    long m_nKeepFrom = LONG_MAX;  // character index of the first kept line; none yet

protected:
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()
};
