#include "scope/SweepWindow.h"

#include <vector>

#include "framework/String.h"

namespace scope {
namespace {
constexpr wchar_t kClassName[] = L"LumagridSweepWindow";
constexpr COLORREF kBackground = RGB(0, 0, 0);
constexpr COLORREF kText = RGB(255, 255, 255);
constexpr COLORREF kPassGreen = RGB(0, 150, 0);
constexpr COLORREF kFailRed = RGB(200, 0, 0);
constexpr COLORREF kStuck = RGB(230, 0, 0);
constexpr COLORREF kNotSwept = RGB(255, 176, 0);

// The window at 96 DPI; every figure is scaled to the window's DPI.
constexpr int kWidth = 720;
constexpr int kHeight = 400;
constexpr int kMargin = 12;
constexpr int kLine = 24;
constexpr int kStripHeight = 40;
constexpr int kLabelWidth = 24;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 28;
constexpr int kVerdictHeight = 110;

HFONT MakeFont(UINT nDpi, int nPoints, int nWeight) {
    return ::CreateFontW(-::MulDiv(nPoints, static_cast<int>(nDpi), 72), 0, 0, 0, nWeight, FALSE, FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                         DEFAULT_PITCH | FF_SWISS, L"Segoe UI");
}

void Fill(HDC hdc, const RECT& rect, COLORREF colour) {
    ::SetBkColor(hdc, colour);
    ::ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void Text(HDC hdc, const std::string& text, RECT rect, UINT nFormat) {
    const std::wstring wide = Widen(text.c_str());
    ::DrawTextW(hdc, wide.c_str(), static_cast<int>(wide.size()), &rect, nFormat | DT_NOPREFIX);
}
}  // namespace

COLORREF SweepCellColour(check::SweepCell cell) {
    switch (cell) {
        case check::SweepCell::Seen: return RGB(0, 190, 0);
        case check::SweepCell::Waiting: return RGB(150, 150, 150);
        case check::SweepCell::Low: return RGB(90, 60, 60);
        case check::SweepCell::NotMeasured: break;
    }
    return RGB(45, 45, 45);
}

bool SweepWindow::Create(HWND hOwner, UINT nDpi, const wchar_t* pszTitle, UINT nClosedMessage) {
    const HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    if (!::GetClassInfoExW(hInstance, kClassName, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &SweepWindow::WindowProc;
        wc.hInstance = hInstance;
        wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.lpszClassName = kClassName;
        if (!::RegisterClassExW(&wc)) return false;
    }
    m_hOwner = hOwner;
    m_nDpi = nDpi != 0 ? nDpi : 96;
    m_nClosedMessage = nClosedMessage;
    m_hFont = MakeFont(m_nDpi, 11, FW_NORMAL);
    m_hVerdictFont = MakeFont(m_nDpi, 54, FW_BOLD);

    // The client area is what is scaled; the frame around it is the system's.
    RECT frame{0, 0, Px(kWidth), Px(kHeight)};
    const DWORD dwStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    ::AdjustWindowRectEx(&frame, dwStyle, FALSE, 0);
    RECT owner{};
    ::GetWindowRect(hOwner, &owner);
    const int cx = frame.right - frame.left;
    const int cy = frame.bottom - frame.top;
    const int x = owner.left + ((owner.right - owner.left) - cx) / 2;
    const int y = owner.top + ((owner.bottom - owner.top) - cy) / 2;
    m_hWnd = ::CreateWindowExW(0, kClassName, pszTitle, dwStyle, x, y, cx, cy, hOwner, nullptr, hInstance, this);
    if (m_hWnd == nullptr) {
        Destroy();
        return false;
    }
    m_hClose = ::CreateWindowExW(0, L"BUTTON", L"Close", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                 Px(kWidth - kMargin - kButtonWidth), Px(kHeight - kMargin - kButtonHeight),
                                 Px(kButtonWidth), Px(kButtonHeight), m_hWnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCloseButtonId)), hInstance, nullptr);
    ::SendMessageW(m_hClose, WM_SETFONT, reinterpret_cast<WPARAM>(m_hFont), FALSE);
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::SetFocus(m_hWnd);  // Esc reaches the window, not the button
    return true;
}

void SweepWindow::Destroy() {
    if (m_hWnd != nullptr) {
        const HWND hWnd = m_hWnd;
        m_hWnd = nullptr;  // no second notice from WM_DESTROY
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hWnd);
    }
    if (m_hFont != nullptr) ::DeleteObject(m_hFont);
    if (m_hVerdictFont != nullptr) ::DeleteObject(m_hVerdictFont);
    m_hFont = m_hVerdictFont = nullptr;
    m_hClose = nullptr;
}

void SweepWindow::Repaint() {
    if (m_hWnd != nullptr) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

// Esc, Close or the caption's button: the owner hears of it after the window
// is gone, from its own message loop.
void SweepWindow::Close() {
    const HWND hOwner = m_hOwner;
    const UINT nMessage = m_nClosedMessage;
    Destroy();
    ::PostMessageW(hOwner, nMessage, 0, 0);
}

LRESULT CALLBACK SweepWindow::WindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (nMsg == WM_NCCREATE) {
        const CREATESTRUCTW* pCreate = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
        return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
    }
    SweepWindow* pThis = reinterpret_cast<SweepWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pThis == nullptr) return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
    switch (nMsg) {
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                pThis->Close();
                return 0;
            }
            break;
        case WM_COMMAND:
            if (LOWORD(wParam) == kCloseButtonId) {
                pThis->Close();
                return 0;
            }
            break;
        case WM_CLOSE: pThis->Close(); return 0;
        case WM_ACTIVATE:
            // Back from the scope: Esc is the window's again.
            if (LOWORD(wParam) != WA_INACTIVE) ::SetFocus(hWnd);
            return 0;
        case WM_NCDESTROY:
            // Gone with its owner: nothing left to destroy or to tell.
            pThis->m_hWnd = nullptr;
            pThis->m_hClose = nullptr;
            break;
        case WM_ERASEBKGND: return 1;  // painted whole, off screen
        case WM_PAINT: {
            PAINTSTRUCT ps;
            const HDC hdc = ::BeginPaint(hWnd, &ps);
            RECT client;
            ::GetClientRect(hWnd, &client);
            // Off screen first: at the repaint pace a direct paint flickers.
            const HDC hMem = ::CreateCompatibleDC(hdc);
            const HBITMAP hBitmap = ::CreateCompatibleBitmap(hdc, client.right, client.bottom);
            const HGDIOBJ hOld = ::SelectObject(hMem, hBitmap);
            pThis->Paint(hMem, client);
            ::BitBlt(hdc, 0, 0, client.right, client.bottom, hMem, 0, 0, SRCCOPY);
            ::SelectObject(hMem, hOld);
            ::DeleteObject(hBitmap);
            ::DeleteDC(hMem);
            ::EndPaint(hWnd, &ps);
            return 0;
        }
        default: break;
    }
    return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
}

void SweepWindow::Paint(HDC hdc, const RECT& client) {
    Fill(hdc, client, kBackground);
    const HGDIOBJ hOldFont = ::SelectObject(hdc, m_hFont);
    ::SetBkMode(hdc, TRANSPARENT);
    ::SetTextColor(hdc, kText);

    const int nLeft = Px(kMargin);
    const int nRight = client.right - Px(kMargin);
    int y = Px(kMargin);
    Text(hdc, m_picture.heading, RECT{nLeft, y, nRight, y + Px(kLine)}, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS);
    y += Px(kLine) + Px(kMargin);

    const check::Axis axes[2] = {check::Axis::X, check::Axis::Y};
    for (check::Axis axis : axes) {
        Text(hdc, axis == check::Axis::X ? "X" : "Y", RECT{nLeft, y, nLeft + Px(kLabelWidth), y + Px(kStripHeight)},
             DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        PaintStrip(hdc, axis, RECT{nLeft + Px(kLabelWidth), y, nRight, y + Px(kStripHeight)});
        y += Px(kStripHeight) + Px(kMargin);
    }
    ::SetBkMode(hdc, TRANSPARENT);
    Text(hdc, m_picture.progress, RECT{nLeft, y, nRight, y + Px(kLine)}, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS);
    y += Px(kLine) + Px(kMargin);

    if (m_picture.result) {
        const bool bPass = m_picture.result->verdict == check::Verdict::Pass;
        const char* pszVerdict = bPass ? "PASS" : m_picture.result->verdict == check::Verdict::Fail ? "FAIL" : "ERROR";
        const RECT box{nLeft, y, nRight, y + Px(kVerdictHeight)};
        Fill(hdc, box, bPass ? kPassGreen : kFailRed);
        ::SetBkMode(hdc, TRANSPARENT);
        ::SelectObject(hdc, m_hVerdictFont);
        Text(hdc, pszVerdict, box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::SelectObject(hdc, m_hFont);
    }
    ::SelectObject(hdc, hOldFont);
}

void SweepWindow::PaintStrip(HDC hdc, check::Axis axis, const RECT& strip) {
    const check::Sweep* pSweep = m_picture.pSweep;
    const std::size_t nCells = pSweep != nullptr && pSweep->Started() ? pSweep->Cells(axis) : 0;
    if (nCells == 0) {
        Fill(hdc, strip, SweepCellColour(check::SweepCell::NotMeasured));
        return;
    }
    // At the end the faults colour their cells: stuck red, not swept amber.
    std::vector<COLORREF> colours(nCells);
    for (std::size_t i = 0; i < nCells; ++i) colours[i] = SweepCellColour(pSweep->CellOf(axis, i));
    if (m_picture.result) {
        for (const check::SweepFault& fault : m_picture.result->faults) {
            if (fault.axis != axis || fault.from < 1) continue;
            const COLORREF colour = fault.part == check::SweepPart::Stuck      ? kStuck
                                    : fault.part == check::SweepPart::NotSwept ? kNotSwept
                                                                               : SweepCellColour(check::SweepCell::Low);
            for (long long r = fault.from; r <= fault.to && r <= static_cast<long long>(nCells); ++r)
                colours[static_cast<std::size_t>(r - 1)] = colour;
        }
    }
    // A cell per receiver; a hairline between cells while they are wide enough to show it.
    const long long nWidth = strip.right - strip.left;
    const bool bGaps = nWidth / static_cast<long long>(nCells) >= 4;
    for (std::size_t i = 0; i < nCells; ++i) {
        RECT cell = strip;
        cell.left = strip.left + static_cast<LONG>(nWidth * static_cast<long long>(i) / static_cast<long long>(nCells));
        cell.right =
            strip.left + static_cast<LONG>(nWidth * static_cast<long long>(i + 1) / static_cast<long long>(nCells));
        if (bGaps && cell.right - cell.left > 1) --cell.right;
        Fill(hdc, cell, colours[i]);
    }
}

}  // namespace scope
