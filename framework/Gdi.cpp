#include "framework/Gdi.h"

#include <atomic>

#include "framework/Wnd.h"

namespace {
// A handle counts from the moment a wrapper holds it until it is deleted or
// released; one that fails to delete stays counted, as it stays alive.
std::atomic<long> g_nLiveObjects{0};
std::atomic<long> g_nLiveDCs{0};
}  // namespace

GdiLiveCount AfxGetGdiLiveCount() {
    GdiLiveCount count;
    count.objects = g_nLiveObjects.load();
    count.dcs = g_nLiveDCs.load();
    return count;
}

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
    DeleteObject();
    m_hObject = hObject;
    if (hObject != nullptr) ++g_nLiveObjects;
    return hObject != nullptr;
}

// The caller owns the handle from now on.
HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ h = m_hObject;
    if (h != nullptr) --g_nLiveObjects;
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject() {
    if (m_hObject == nullptr) return FALSE;
    BOOL ok = ::DeleteObject(m_hObject);
    if (ok) --g_nLiveObjects;
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
    if (m_hDC != nullptr) ++g_nLiveDCs;
    return m_hDC != nullptr;
}

BOOL CDC::DeleteDC() {
    if (m_hDC == nullptr || !m_bOwned) {
        m_hDC = nullptr;
        return FALSE;
    }
    BOOL ok = ::DeleteDC(m_hDC);
    if (ok) --g_nLiveDCs;
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
    if (m_hDC != nullptr) ++g_nLiveDCs;
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
    if (Detach() != nullptr) --g_nLiveDCs;
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    Attach(::GetDC(m_hWnd));
    if (m_hDC != nullptr) ++g_nLiveDCs;
}

CClientDC::~CClientDC() {
    HDC hDC = Detach();
    if (hDC != nullptr && ::ReleaseDC(m_hWnd, hDC)) --g_nLiveDCs;
}
