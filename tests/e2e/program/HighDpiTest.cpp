// The real program at 144 DPI (150 % display scaling): a Wine prefix of its
// own with LogPixels 144. The captions fit their buttons and the charts end
// inside the window, at the start size and after a resize.
#include "ProgramFixture.h"

using namespace lumagrid_e2e;

namespace {
// Coordinates read from the program are those of a DPI-aware process only
// when this process is aware too; before any window of ours.
const BOOL g_aware = ::SetProcessDPIAware();

int ScreenDpi() {
    HDC hScreen = ::GetDC(nullptr);
    const int nDpi = ::GetDeviceCaps(hScreen, LOGPIXELSY);
    ::ReleaseDC(nullptr, hScreen);
    return nDpi;
}

struct Caption {
    int id;
    std::string text;
    SIZE needed;     // wrapped to the button's text width, in the dialog's font
    SIZE available;  // the button's client area less its edge
};

bool IsCaptionedButton(HWND hwnd) {
    wchar_t cls[32] = {0};
    ::GetClassNameW(hwnd, cls, 32);
    if (_wcsicmp(cls, L"Button") != 0 || !::IsWindowVisible(hwnd)) return false;
    const LONG type = ::GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK;
    return type != BS_GROUPBOX && type != BS_OWNERDRAW;
}

BOOL CALLBACK CollectButton(HWND hwnd, LPARAM lParam) {
    if (IsCaptionedButton(hwnd)) reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}
}  // namespace

class HighDpiTest : public ProgramTest {
protected:
    // Every visible button's caption, measured as the button draws it: the
    // dialog font (9-point 굴림 at this DPI), broken at words, centred.
    std::vector<Caption> Captions() {
        std::vector<HWND> buttons;
        ::EnumChildWindows(session.mainWindow(), &CollectButton, reinterpret_cast<LPARAM>(&buttons));
        HDC hdc = ::GetDC(nullptr);
        HFONT hFont = ::CreateFontW(-::MulDiv(9, ::GetDeviceCaps(hdc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE,
                                    FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                    DEFAULT_QUALITY, DEFAULT_PITCH, L"굴림");
        HGDIOBJ hOld = ::SelectObject(hdc, hFont);
        std::vector<Caption> captions;
        for (HWND hwnd : buttons) {
            const std::string text = session.windowText(hwnd);
            if (text.empty()) continue;
            RECT client{};
            ::GetClientRect(hwnd, &client);
            const LONG style = ::GetWindowLongW(hwnd, GWL_STYLE);
            const LONG type = style & BS_TYPEMASK;
            const bool bBox = (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                               type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE) &&
                              (style & BS_PUSHLIKE) == 0;
            // A push button's edge and focus rectangle; a check box's box and gap.
            const int nLeft = bBox ? ::GetSystemMetrics(SM_CXMENUCHECK) + 4 : 4;
            const int nWidth = client.right - nLeft - 4;
            const int nHeight = client.bottom - (bBox ? 0 : 8);
            const std::wstring wide = e2e::Widen(text);
            RECT need{0, 0, nWidth, 0};
            ::DrawTextW(hdc, wide.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
            captions.push_back(
                Caption{::GetDlgCtrlID(hwnd), text, SIZE{need.right - need.left, need.bottom}, SIZE{nWidth, nHeight}});
        }
        ::SelectObject(hdc, hOld);
        ::DeleteObject(hFont);
        ::ReleaseDC(nullptr, hdc);
        return captions;
    }

    void ExpectEverythingFits(const char* pszWhen) {
        const std::vector<Caption> captions = Captions();
        EXPECT_GE(captions.size(), 20u) << pszWhen;  // modes, modules, toggles, LED Check, File Report, ...
        for (const Caption& c : captions) {
            EXPECT_LE(c.needed.cx, c.available.cx) << pszWhen << ": \"" << c.text << "\" (" << c.id << ") too wide";
            EXPECT_LE(c.needed.cy, c.available.cy) << pszWhen << ": \"" << c.text << "\" (" << c.id << ") too high";
        }
        RECT client{};
        ASSERT_TRUE(session.clientRect(client));
        for (int id : {static_cast<int>(kXChart), static_cast<int>(kYChart), 1003, 1004, 1002}) {
            RECT rc{};
            ASSERT_TRUE(session.controlRect(id, rc)) << id;
            EXPECT_LE(rc.right, client.right) << pszWhen << ": control " << id << " ends outside the window";
        }
    }
};

TEST_F(HighDpiTest, CaptionsFitTheirButtonsAndTheChartsTheWindowAt144Dpi) {
    ASSERT_TRUE(g_aware);
    ASSERT_EQ(ScreenDpi(), 144) << "not the 144-DPI prefix";
    // A 150 % window needs room for the layout's 1200 x 750 client pixels.
    ASSERT_GE(::GetSystemMetrics(SM_CXSCREEN), 1280) << "Wine sees a smaller screen than the display's";
    ASSERT_GE(::GetSystemMetrics(SM_CYSCREEN), 1024) << "Wine sees a smaller screen than the display's";
    Start("LumagridX.exe");
    SelectRow(0);
    ::Sleep(500);
    ExpectEverythingFits("start size");
    Shot("main-window-144dpi");
    // Resized: the layout places the rows and stretches the panels again.
    ASSERT_TRUE(session.resizeClient(1240, 900));
    ::Sleep(500);
    ExpectEverythingFits("1240 x 900");
    Quit();
}
