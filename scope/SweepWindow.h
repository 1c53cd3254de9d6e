// The sweep test's window over the scope: a strip of cells per axis (one per
// receiver), what the operator does now, the counts and the seconds left,
// and at the end a large PASS or FAIL. A thin view: the dialog owns the
// sweep and says when to repaint; the window only draws it and tells its
// owner when it closes (Esc, its Close button or the caption's).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "check/Sweep.h"

namespace scope {

struct SweepPicture {
    const check::Sweep* pSweep = nullptr;  // null before a sweep could start
    std::string heading;                   // what the operator does now
    std::string progress;                  // counts and seconds left
    std::optional<check::SweepResult> result;
};

class SweepWindow {
public:
    SweepWindow() = default;
    SweepWindow(const SweepWindow&) = delete;
    SweepWindow& operator=(const SweepWindow&) = delete;
    ~SweepWindow() { Destroy(); }

    // Over the owner, sized and lettered for nDpi; the owner is sent
    // nClosedMessage once the window is gone.
    bool Create(HWND hOwner, UINT nDpi, const wchar_t* pszTitle, UINT nClosedMessage);
    void Destroy();
    HWND Handle() const { return m_hWnd; }

    SweepPicture& Picture() { return m_picture; }
    void Repaint();

    static constexpr int kCloseButtonId = IDCANCEL;

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    void Paint(HDC hdc, const RECT& client);
    void PaintStrip(HDC hdc, check::Axis axis, const RECT& strip);
    int Px(int n) const { return ::MulDiv(n, static_cast<int>(m_nDpi), 96); }
    void Close();

    HWND m_hWnd = nullptr;
    HWND m_hOwner = nullptr;
    HWND m_hClose = nullptr;
    UINT m_nDpi = 96;
    UINT m_nClosedMessage = 0;
    HFONT m_hFont = nullptr;
    HFONT m_hVerdictFont = nullptr;
    SweepPicture m_picture;
};

// A cell's colour in the strips: gray until seen, green when seen; at the
// end red for stuck and amber for not swept (from the result's faults).
COLORREF SweepCellColour(check::SweepCell cell);

}  // namespace scope
