#include "framework/Wnd.h"

#include <mutex>
#include <unordered_map>

namespace {
// The objects bound to windows, by handle. Every message looks its window up
// here; a window property would do the same, but under Wine reading one is a
// round trip to the window server (some ten microseconds), on every message.
// Never destroyed: windows may be unbound by destructors of static objects.
struct HandleMap {
    std::mutex lock;
    std::unordered_map<HWND, CWnd*> objects;
};

HandleMap& Bound() {
    static HandleMap* map = new HandleMap;
    return *map;
}

void Bind(HWND hWnd, CWnd* pWnd) {
    HandleMap& map = Bound();
    std::lock_guard<std::mutex> guard(map.lock);
    map.objects[hWnd] = pWnd;
}

// Only the binding to this object: the handle may belong to another by now.
void Unbind(HWND hWnd, const CWnd* pWnd) {
    HandleMap& map = Bound();
    std::lock_guard<std::mutex> guard(map.lock);
    auto found = map.objects.find(hWnd);
    if (found != map.objects.end() && found->second == pWnd) map.objects.erase(found);
}
}  // namespace

CWnd::~CWnd() {
    if (m_pfnSuper != nullptr && m_hWnd != nullptr && ::IsWindow(m_hWnd)) UnsubclassWindow();
    // A window destroyed behind our back leaves no binding to a dead object.
    if (m_hWnd != nullptr) Unbind(m_hWnd, this);
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    m_hWnd = nullptr;
    return hWnd;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    HandleMap& map = Bound();
    std::lock_guard<std::mutex> guard(map.lock);
    auto found = map.objects.find(hWnd);
    return found == map.objects.end() ? nullptr : found->second;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (hWnd == nullptr || FromHandlePermanent(hWnd) != nullptr) return FALSE;
    m_hWnd = hWnd;
    PreSubclassWindow();
    Bind(hWnd, this);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::AfxWndProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    return SubclassWindow(::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID)));
}

HWND CWnd::UnsubclassWindow() {
    if (m_pfnSuper != nullptr) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        m_pfnSuper = nullptr;
    }
    Unbind(m_hWnd, this);
    return Detach();
}

void CWnd::SetWindowText(const char* pszText) { ::SetWindowTextW(m_hWnd, Widen(pszText).c_str()); }

CString CWnd::GetWindowText() const {
    int n = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    ::GetWindowTextW(m_hWnd, &text[0], n + 1);
    return CString(Narrow(text.c_str()));
}

void CWnd::ScreenToClient(LPRECT lpRect) const {
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(lpRect), 2);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
    return ::SetWindowPos(m_hWnd, pWndInsertAfter ? pWndInsertAfter->m_hWnd : nullptr, x, y, cx, cy, nFlags);
}

BOOL CWnd::DestroyWindow() { return m_hWnd != nullptr && ::DestroyWindow(m_hWnd); }

CWnd* CWnd::GetDlgItem(int nID) {
    HWND hChild = ::GetDlgItem(m_hWnd, nID);
    if (hChild == nullptr) return nullptr;
    if (CWnd* permanent = FromHandlePermanent(hChild)) return permanent;
    std::unique_ptr<CWnd>& slot = m_children[nID];
    if (!slot) slot.reset(new CWnd);
    slot->Attach(hChild);
    return slot.get();
}

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    UINT nCode = 0;
    UINT nID = 0;
    if (message == WM_COMMAND) {
        nCode = HIWORD(wParam);
        nID = LOWORD(wParam);
    } else if (message == WM_NOTIFY) {
        const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
        if (pHdr == nullptr) return FALSE;
        nCode = pHdr->code;
        nID = static_cast<UINT>(pHdr->idFrom);
    }
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = pMap->lpEntries; e->pfn != nullptr; ++e) {
            if (e->nMessage != message) continue;
            if ((message == WM_COMMAND || message == WM_NOTIFY) &&
                (e->nCode != nCode || nID < e->nID || nID > e->nLastID))
                continue;
            LRESULT lResult = 0;
            if (e->pfn(this, wParam, lParam, lResult)) {
                *pResult = lResult;
                return TRUE;
            }
            return FALSE;
        }
    }
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr) return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() { return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam); }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    CurrentMessage saved = m_current;  // handlers may send messages to themselves
    m_current = CurrentMessage{message, wParam, lParam};
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult)) lResult = DefWindowProc(message, wParam, lParam);
    m_current = saved;
    return lResult;
}

LRESULT CALLBACK CWnd::AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (pWnd == nullptr) return ::DefWindowProcW(hWnd, message, wParam, lParam);
    LRESULT lResult = pWnd->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The window is gone: unbind so the object may outlive it safely.
        pWnd->UnsubclassWindow();
        pWnd->PostNcDestroy();
    }
    return lResult;
}

BOOL AfxRegisterClass(WNDCLASSW* lpWndClass) {
    WNDCLASSW existing;
    if (::GetClassInfoW(lpWndClass->hInstance, lpWndClass->lpszClassName, &existing)) return TRUE;
    return ::RegisterClassW(lpWndClass) != 0;
}
