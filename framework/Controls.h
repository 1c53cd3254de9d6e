// Wrappers of the standard controls the dialogs bind. Each is a CWnd bound by
// DDX_Control; the methods are the control messages the program sends.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include "framework/Wnd.h"

class CButton : public CWnd {
public:
    void SetCheck(int nCheck) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(nCheck)); }
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
};

class CStatic : public CWnd {};

class CEdit : public CWnd {};

class CSliderCtrl : public CWnd {
public:
    void SetRange(int nMin, int nMax, BOOL bRedraw = FALSE) {
        SendMessage(TBM_SETRANGE, bRedraw, MAKELPARAM(nMin, nMax));
    }
    void SetPos(int nPos) { SendMessage(TBM_SETPOS, TRUE, nPos); }
    int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
};

class CRichEditCtrl : public CWnd {
public:
    BOOL SetReadOnly(BOOL bReadOnly = TRUE) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, bReadOnly)); }
    void SetSel(long nStartChar, long nEndChar) { SendMessage(EM_SETSEL, nStartChar, nEndChar); }
    BOOL SetSelectionCharFormat(CHARFORMATW& cf) {
        cf.cbSize = sizeof(cf);
        return static_cast<BOOL>(SendMessage(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)));
    }
    void ReplaceSel(const char* pszText, BOOL bCanUndo = FALSE);
    int GetLineCount() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
    BOOL LineScroll(int nLines, int nChars = 0) {
        return static_cast<BOOL>(SendMessage(EM_LINESCROLL, nChars, nLines));
    }
    void ScrollCaret() { SendMessage(EM_SCROLLCARET); }
    void LimitText(long nChars) { SendMessage(EM_EXLIMITTEXT, 0, nChars); }
};

class CImageList {
public:
    CImageList() = default;
    ~CImageList() { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    BOOL Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow);
    int Add(HICON hIcon) { return ImageList_ReplaceIcon(m_hImageList, -1, hIcon); }
    BOOL DeleteImageList();
    HIMAGELIST GetSafeHandle() const { return m_hImageList; }

    HIMAGELIST m_hImageList = nullptr;
};

class CListCtrl : public CWnd {
public:
    BOOL SetBkColor(COLORREF cr) { return static_cast<BOOL>(SendMessage(LVM_SETBKCOLOR, 0, cr)); }
    BOOL SetTextBkColor(COLORREF cr) { return static_cast<BOOL>(SendMessage(LVM_SETTEXTBKCOLOR, 0, cr)); }
    BOOL SetTextColor(COLORREF cr) { return static_cast<BOOL>(SendMessage(LVM_SETTEXTCOLOR, 0, cr)); }
    void SetImageList(CImageList* pImageList, int nImageListType) {
        SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(nImageListType),
                    reinterpret_cast<LPARAM>(pImageList->GetSafeHandle()));
    }
    int InsertColumn(int nCol, const char* pszHeading, int nFormat, int nWidth);
    BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
    int InsertItem(int nItem, const char* pszItem, int nImage);
    BOOL SetItemText(int nItem, int nSubItem, const char* pszText);
    CString GetItemText(int nItem, int nSubItem) const;
    BOOL SetItemData(int nItem, DWORD_PTR dwData);
    DWORD_PTR GetItemData(int nItem) const;
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    int GetSelectionMark() const { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }
};
