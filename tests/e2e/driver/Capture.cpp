#include "Driver.h"

namespace e2e {
namespace {

// Filled into the capture bitmap first; a window that painted nothing leaves
// every pixel at this value.
constexpr std::uint8_t kSentinel[3] = {0x5A, 0x03, 0xA7};

class MemoryBitmap {
public:
    MemoryBitmap(int width, int height) : m_width(width), m_height(height) {
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
        bmi.bmiHeader.biWidth = width;
        bmi.bmiHeader.biHeight = -height;  // top-down rows
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 24;
        bmi.bmiHeader.biCompression = BI_RGB;
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(m_dc, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
        if (m_dc && m_bitmap) m_old = SelectObject(m_dc, m_bitmap);
    }
    ~MemoryBitmap() {
        if (m_old) SelectObject(m_dc, m_old);
        if (m_bitmap) DeleteObject(m_bitmap);
        if (m_dc) DeleteDC(m_dc);
    }
    MemoryBitmap(const MemoryBitmap&) = delete;
    MemoryBitmap& operator=(const MemoryBitmap&) = delete;

    bool ok() const { return m_bits != nullptr && m_old != nullptr; }
    HDC dc() const { return m_dc; }
    size_t stride() const { return (static_cast<size_t>(m_width) * 3 + 3) & ~size_t(3); }
    std::uint8_t* row(int y) const { return m_bits + stride() * y; }

    void fillSentinel() {
        GdiFlush();
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x) {
                std::uint8_t* p = row(y) + x * 3;  // B, G, R
                p[0] = kSentinel[0];
                p[1] = kSentinel[1];
                p[2] = kSentinel[2];
            }
    }
    bool untouched() const {
        GdiFlush();
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x) {
                const std::uint8_t* p = row(y) + x * 3;
                if (p[0] != kSentinel[0] || p[1] != kSentinel[1] || p[2] != kSentinel[2]) return false;
            }
        return true;
    }
    void copyTo(Image& out) const {
        GdiFlush();
        out.width = m_width;
        out.height = m_height;
        out.rgb.resize(static_cast<size_t>(m_width) * m_height * 3);
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x) {
                const std::uint8_t* p = row(y) + x * 3;
                std::uint8_t* q = &out.rgb[(static_cast<size_t>(y) * m_width + x) * 3];
                q[0] = p[2];
                q[1] = p[1];
                q[2] = p[0];
            }
    }

private:
    int m_width, m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    std::uint8_t* m_bits = nullptr;
};

}  // namespace

bool CaptureClient(HWND hwnd, Image& out, std::string* how, std::string* error) {
    auto fail = [&](const std::string& message) {
        if (error) *error = message;
        return false;
    };
    RECT client{};
    if (!IsWindow(hwnd) || !GetClientRect(hwnd, &client)) return fail("no window to capture");
    int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0) return fail("window has an empty client area (minimized?)");
    MemoryBitmap bitmap(width, height);
    if (!bitmap.ok()) return fail("cannot create a capture bitmap");

    bitmap.fillSentinel();
    if (PrintWindow(hwnd, bitmap.dc(), PW_CLIENTONLY) && !bitmap.untouched()) {
        if (how) *how = "PrintWindow";
        bitmap.copyTo(out);
        return true;
    }

    // The on-screen pixels: the window must be in front and unobscured.
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    DWORD_PTR ignored = 0;
    // Let the program repaint what it had hidden before reading the screen.
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
    GdiFlush();
    bitmap.fillSentinel();
    HDC windowDc = GetDC(hwnd);
    bool copied = windowDc && BitBlt(bitmap.dc(), 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    if (windowDc) ReleaseDC(hwnd, windowDc);
    if (!copied || bitmap.untouched()) {
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        HDC screen = GetDC(nullptr);
        copied = screen && BitBlt(bitmap.dc(), 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
        if (screen) ReleaseDC(nullptr, screen);
    }
    if (!copied) {
        char detail[160];
        RECT window{};
        GetWindowRect(hwnd, &window);
        snprintf(detail, sizeof detail,
                 "BitBlt from the window failed (error %lu, window %ld,%ld-%ld,%ld, screen %dx%d)", GetLastError(),
                 window.left, window.top, window.right, window.bottom, GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN));
        return fail(detail);
    }
    if (how) *how = "BitBlt";
    bitmap.copyTo(out);
    return true;
}

}  // namespace e2e
