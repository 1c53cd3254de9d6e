#include "framework/Gdi.h"

#include "framework/Wnd.h"

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
    DeleteObject();
    m_hObject = hObject;
    return hObject != nullptr;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ h = m_hObject;
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject() {
    if (m_hObject == nullptr) return FALSE;
    BOOL ok = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return ok;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) {
    return Attach(::CreateCompatibleBitmap(pDC->m_hDC, nWidth, nHeight));
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
    DeleteDC();
    m_hDC = ::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr);
    m_bOwned = true;
    return m_hDC != nullptr;
}

BOOL CDC::DeleteDC() {
    if (m_hDC == nullptr || !m_bOwned) {
        m_hDC = nullptr;
        return FALSE;
    }
    BOOL ok = ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    m_bOwned = false;
    return ok;
}

CPoint CDC::MoveTo(int x, int y) {
    POINT old{0, 0};
    ::MoveToEx(m_hDC, x, y, &old);
    return CPoint(old.x, old.y);
}

BOOL CDC::TextOut(int x, int y, const CString& str) {
    return ::TextOutA(m_hDC, x, y, str.GetString(), str.GetLength());
}

CSize CDC::GetTextExtent(const CString& str) const {
    SIZE size{0, 0};
    ::GetTextExtentPoint32A(m_hDC, str.GetString(), str.GetLength(), &size);
    return CSize(size.cx, size.cy);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) {
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC() {
    ::ReleaseDC(m_hWnd, Detach());
}
