// The binding of C++ objects to windows: one object per window, gone with the
// window or with the object, whichever goes first.
#include <gtest/gtest.h>

#include <memory>

#include "framework/Afx.h"

namespace {
HWND MakeStatic() {
    return ::CreateWindowW(L"STATIC", L"before", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                           nullptr);
}
}  // namespace

TEST(WindowBinding, OneObjectPerWindowUntilTheWindowGoes) {
    HWND hWnd = MakeStatic();
    ASSERT_NE(hWnd, nullptr);
    CWnd first;
    CWnd second;
    ASSERT_TRUE(first.SubclassWindow(hWnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &first);
    EXPECT_FALSE(second.SubclassWindow(hWnd)) << "a window has one object";
    EXPECT_EQ(second.m_hWnd, nullptr);

    // Messages still reach the window's own procedure through the object.
    first.SetWindowText("after");
    EXPECT_EQ(first.GetWindowText(), "after");

    ::DestroyWindow(hWnd);
    EXPECT_EQ(first.m_hWnd, nullptr) << "unbound when the window went";
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

TEST(WindowBinding, AnObjectThatGoesFirstGivesTheWindowBack) {
    HWND hWnd = MakeStatic();
    ASSERT_NE(hWnd, nullptr);
    const LONG_PTR original = ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC);
    {
        std::unique_ptr<CWnd> wnd(new CWnd);
        ASSERT_TRUE(wnd->SubclassWindow(hWnd));
        EXPECT_NE(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC), original);
    }
    EXPECT_EQ(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC), original);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    // The window lives on and another object may take it.
    CWnd next;
    EXPECT_TRUE(next.SubclassWindow(hWnd));
    ::SetWindowTextW(hWnd, L"still here");
    EXPECT_EQ(next.GetWindowText(), "still here");
    ::DestroyWindow(hWnd);
}

TEST(WindowBinding, AnObjectWhoseWindowWasDestroyedBehindItsBackLeavesNoBinding) {
    HWND hWnd = MakeStatic();
    ASSERT_NE(hWnd, nullptr);
    {
        CWnd wnd;
        ASSERT_TRUE(wnd.SubclassWindow(hWnd));
        // Someone replaces the procedure, so the object never hears of the end.
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&::DefWindowProcW));
        ::DestroyWindow(hWnd);
        EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &wnd);
    }
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr) << "no binding to a dead object";
}
