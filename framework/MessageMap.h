// Declarative message maps: one line per message, command, command range or
// notification, each calling a named handler of the class. A map chains to the
// map of the base class; the first matching entry, most derived first, wins.
#pragma once

#include <windows.h>

class CWnd;
class CDC;

// Calls the handler; returns false to let the message go on to default processing.
typedef bool (*AFX_PMSG)(CWnd* pWnd, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // WM_COMMAND, WM_NOTIFY or any window message
    UINT nCode;     // notification code for WM_COMMAND and WM_NOTIFY
    UINT nID;       // first control id
    UINT nLastID;   // last control id of a range
    AFX_PMSG pfn;   // nullptr ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// The entry macros stay laid out as the table they form.
// clang-format off
#define DECLARE_MESSAGE_MAP()                      \
protected:                                         \
    static const AFX_MSGMAP* GetThisMessageMap();  \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                  \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                           \
        typedef theClass ThisClass;                                             \
        typedef baseClass TheBaseClass;                                         \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                       \
        {0, 0, 0, 0, nullptr}};                                                 \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, \
                                              &_messageEntries[0]};             \
        return &messageMap;                                                     \
    }

#define AFX_SELF static_cast<ThisClass*>(pWnd)
#define AFX_THUNK [](CWnd* pWnd, WPARAM wParam, LPARAM lParam, LRESULT& lResult) -> bool

// Window messages.
#define ON_WM_PAINT() \
    {WM_PAINT, 0, 0, 0, AFX_THUNK { (void)wParam; (void)lParam; (void)lResult; AFX_SELF->OnPaint(); return true; }},
#define ON_WM_DESTROY() \
    {WM_DESTROY, 0, 0, 0, AFX_THUNK { (void)wParam; (void)lParam; (void)lResult; AFX_SELF->OnDestroy(); return true; }},
#define ON_WM_SIZE() \
    {WM_SIZE, 0, 0, 0, AFX_THUNK { (void)lResult; AFX_SELF->OnSize(static_cast<UINT>(wParam), (short)LOWORD(lParam), (short)HIWORD(lParam)); return true; }},
#define ON_WM_TIMER() \
    {WM_TIMER, 0, 0, 0, AFX_THUNK { (void)lParam; (void)lResult; AFX_SELF->OnTimer(static_cast<UINT_PTR>(wParam)); return true; }},
#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, 0, AFX_THUNK { (void)lResult; AFX_SELF->OnSysCommand(static_cast<UINT>(wParam), lParam); return true; }},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, 0, AFX_THUNK { (void)wParam; (void)lParam; lResult = reinterpret_cast<LRESULT>(AFX_SELF->OnQueryDragIcon()); return true; }},
#define ON_WM_HSCROLL() \
    {WM_HSCROLL, 0, 0, 0, AFX_THUNK { (void)lResult; AFX_SELF->OnHScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)); return true; }},
#define ON_WM_PRINTCLIENT() \
    {WM_PRINTCLIENT, 0, 0, 0, AFX_THUNK { (void)lResult; AFX_SELF->OnPrintClient(reinterpret_cast<HDC>(wParam), static_cast<UINT>(lParam)); return true; }},

// A user-defined message: LRESULT handler(WPARAM, LPARAM).
#define ON_MESSAGE(message, memberFxn) \
    {message, 0, 0, 0, AFX_THUNK { lResult = AFX_SELF->memberFxn(wParam, lParam); return true; }},

// Commands and control notifications: void handler().
#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, 0, id, id, AFX_THUNK { (void)wParam; (void)lParam; (void)lResult; AFX_SELF->memberFxn(); return true; }},
#define ON_BN_CLICKED(id, memberFxn) \
    {WM_COMMAND, BN_CLICKED, id, id, AFX_THUNK { (void)wParam; (void)lParam; (void)lResult; AFX_SELF->memberFxn(); return true; }},
// A range of commands: void handler(UINT nID).
#define ON_COMMAND_RANGE(id, idLast, memberFxn) \
    {WM_COMMAND, 0, id, idLast, AFX_THUNK { (void)lParam; (void)lResult; AFX_SELF->memberFxn(LOWORD(wParam)); return true; }},
// WM_NOTIFY: void handler(NMHDR*, LRESULT*).
#define ON_NOTIFY(code, id, memberFxn) \
    {WM_NOTIFY, static_cast<UINT>(code), id, id, AFX_THUNK { (void)wParam; AFX_SELF->memberFxn(reinterpret_cast<NMHDR*>(lParam), &lResult); return true; }},
// clang-format on
