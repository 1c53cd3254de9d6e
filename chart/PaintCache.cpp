// The chart's paint cache: the kept paint bitmap, the pre-drawn markers and
// the line shapes stamped straight into the bitmap's pixels.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "chart/PaintCache.h"

namespace {

// Pixel runs are short (a thin pen's, a marker's row): fixed-size stores that
// may overlap replace loops of unpredictable length, and nothing is called.
inline void Store2(std::uint32_t* p, std::uint64_t pair) { std::memcpy(p, &pair, sizeof pair); }

inline void FillRun(std::uint32_t* p, int n, std::uint32_t value) {
    const std::uint64_t pair = (static_cast<std::uint64_t>(value) << 32) | value;
    if (n >= 2 && n <= 4) {
        Store2(p, pair);
        Store2(p + n - 2, pair);
        return;
    }
    if (n == 1) {
        *p = value;
        return;
    }
    int i = 0;
    for (; i + 2 <= n; i += 2) Store2(p + i, pair);
    if (i < n) p[i] = value;
}

// n pixels (at most 16) from px to p.
inline void CopyRun(std::uint32_t* p, const std::uint32_t* px, int n) {
    if (n >= 8) {
        std::memcpy(p, px, 8 * sizeof *p);
        std::memcpy(p + n - 8, px + n - 8, 8 * sizeof *p);
    } else if (n >= 4) {
        std::memcpy(p, px, 4 * sizeof *p);
        std::memcpy(p + n - 4, px + n - 4, 4 * sizeof *p);
    } else {
        for (int i = 0; i < n; ++i) p[i] = px[i];
    }
}

}  // namespace

namespace chart {

int TargetBitsPixel(HDC hdc) {
    BITMAP bm{};
    HGDIOBJ hBitmap = ::GetCurrentObject(hdc, OBJ_BITMAP);
    if (hBitmap != nullptr && ::GetObjectW(hBitmap, sizeof(bm), &bm) != 0 && bm.bmWidth > 1)
        return bm.bmBitsPixel * bm.bmPlanes;
    return ::GetDeviceCaps(hdc, BITSPIXEL) * ::GetDeviceCaps(hdc, PLANES);
}

bool PixelBuffer::Create(CDC* pTarget, int w, int h) {
    pBits = nullptr;
    nWidth = w;
    nHeight = h;
    if (TargetBitsPixel(pTarget->GetSafeHdc()) != 32) return bmp.CreateCompatibleBitmap(pTarget, w, h);
    // The target's own format, with pixels we can reach.
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    if (!bmp.Attach(::CreateDIBSection(pTarget->GetSafeHdc(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0))) return false;
    pBits = static_cast<std::uint32_t*>(bits);
    return true;
}

void PaintBuffer::Release() {
    if (m_dc.GetSafeHdc() != nullptr && m_hOldBitmap != nullptr) m_dc.SelectObject(m_hOldBitmap);
    m_hOldBitmap = nullptr;
    m_dc.DeleteDC();
    m_pixels.bmp.DeleteObject();
    m_pixels.pBits = nullptr;
}

CDC* PaintBuffer::Prepare(CDC* pTarget, int w, int h) {
    const int bpp = TargetBitsPixel(pTarget->GetSafeHdc());
    if (m_dc.GetSafeHdc() != nullptr && w == m_pixels.nWidth && h == m_pixels.nHeight && bpp == m_nBitsPixel)
        return &m_dc;
    Release();
    if (!m_dc.CreateCompatibleDC(pTarget) || !m_pixels.Create(pTarget, w, h)) {
        Release();
        return nullptr;
    }
    m_nBitsPixel = bpp;
    m_hOldBitmap = m_dc.SelectObject(&m_pixels.bmp);
    return &m_dc;
}

void MarkerStamps::DropSheet() {
    if (m_dc.GetSafeHdc() != nullptr && m_hOldBitmap != nullptr) m_dc.SelectObject(m_hOldBitmap);
    m_hOldBitmap = nullptr;
    m_dc.DeleteDC();
    m_sheet.bmp.DeleteObject();
    m_sheet.pBits = nullptr;
    m_cells.clear();
    m_spans.clear();
}

bool MarkerStamps::Begin(CDC* pTarget) {
    HDC hdc = pTarget->GetSafeHdc();
    if (::GetROP2(hdc) != R2_COPYPEN || ::GetMapMode(hdc) != MM_TEXT || ::GetGraphicsMode(hdc) != GM_COMPATIBLE)
        return false;
    LOGBRUSH brush{};
    if (::GetObjectW(::GetCurrentObject(hdc, OBJ_BRUSH), sizeof(brush), &brush) != sizeof(brush) ||
        brush.lbStyle != BS_SOLID)
        return false;
    const int bpp = TargetBitsPixel(hdc);
    if (bpp < 8) return false;
    if (m_dc.GetSafeHdc() == nullptr || brush.lbColor != m_crBrush || bpp != m_nBitsPixel) {
        DropSheet();
        if (!m_dc.CreateCompatibleDC(pTarget) || !m_sheet.Create(pTarget, kCell * kMaxCells, 2 * kCell)) {
            DropSheet();
            return false;
        }
        m_hOldBitmap = m_dc.SelectObject(&m_sheet.bmp);
        m_crBrush = brush.lbColor;
        m_nBitsPixel = bpp;
    }
    return true;
}

int MarkerStamps::CellFor(CDC* pTarget, COLORREF crPen) {
    for (size_t i = 0; i < m_cells.size(); ++i)
        if (m_cells[i] == crPen) return static_cast<int>(i);
    if (m_cells.size() >= static_cast<size_t>(kMaxCells)) return -1;
    const int cell = static_cast<int>(m_cells.size());
    const int left = cell * kCell;
    HDC hdc = m_dc.GetSafeHdc();

    // Picture over black in row 0, the same over white in row 1; XOR leaves
    // 0 where Ellipse drew (both agree) and non-zero where it did not.
    ::PatBlt(hdc, left, 0, kCell, kCell, BLACKNESS);
    ::PatBlt(hdc, left, kCell, kCell, kCell, WHITENESS);
    {
        CPen pen(PS_SOLID, 2, crPen);
        SelectGuard keepPen(m_dc, pen);
        // The target's own brush, so the fill is the very same.
        SelectGuard keepBrush(m_dc, ::GetCurrentObject(pTarget->GetSafeHdc(), OBJ_BRUSH));
        const int c = kCell / 2;
        for (int top = 0; top <= kCell; top += kCell)
            ::Ellipse(hdc, left + c - kMarkerRadius, top + c - kMarkerRadius, left + c + kMarkerRadius,
                      top + c + kMarkerRadius);
    }
    ::BitBlt(hdc, left, kCell, kCell, kCell, hdc, left, 0, SRCINVERT);

    std::vector<Span> spans;
    if (m_sheet.pBits != nullptr) {
        ::GdiFlush();
        const int stride = m_sheet.nWidth;
        for (int dy = 0; dy < kCell; ++dy)
            for (int dx = 0; dx < kCell; ++dx) {
                if (m_sheet.pBits[(kCell + dy) * stride + left + dx] != 0) continue;
                const int sy = dy - kCell / 2;
                const int sx = dx - kCell / 2;
                if (spans.empty() || spans.back().dy != sy || spans.back().dx + spans.back().n != sx)
                    spans.push_back(Span{sy, sx, 0, {}});
                Span& span = spans.back();
                span.px[span.n++] = m_sheet.pBits[dy * stride + left + dx];
            }
    }
    m_spans.push_back(std::move(spans));
    m_cells.push_back(crPen);
    return cell;
}

void MarkerStamps::Stamp(CDC* pTarget, int nCell, int x, int y) const {
    HDC hdc = pTarget->GetSafeHdc();
    const int left = x - kCell / 2;
    const int top = y - kCell / 2;
    ::BitBlt(hdc, left, top, kCell, kCell, m_dc.GetSafeHdc(), nCell * kCell, kCell, SRCAND);
    ::BitBlt(hdc, left, top, kCell, kCell, m_dc.GetSafeHdc(), nCell * kCell, 0, SRCPAINT);
}

void MarkerStamps::Stamp(const PixelBuffer& target, int nCell, int x, int y) const {
    const std::vector<Span>& spans = m_spans[static_cast<size_t>(nCell)];
    const size_t stride = static_cast<size_t>(target.nWidth);
    if (x >= kCell / 2 && y >= kCell / 2 && x + kCell / 2 <= target.nWidth && y + kCell / 2 <= target.nHeight) {
        // The whole cell inside: no clipping per run.
        std::uint32_t* origin = target.pBits + static_cast<size_t>(y) * stride + static_cast<size_t>(x);
        for (const Span& r : spans)
            CopyRun(origin + static_cast<std::ptrdiff_t>(r.dy) * static_cast<std::ptrdiff_t>(stride) + r.dx, r.px, r.n);
        return;
    }
    for (const Span& r : spans) {
        const int py = y + r.dy;
        if (py < 0 || py >= target.nHeight) continue;
        const int xa = std::max(x + r.dx, 0);
        const int xb = std::min(x + r.dx + r.n, target.nWidth);
        for (int px = xa; px < xb; ++px)
            target.pBits[static_cast<size_t>(py) * stride + static_cast<size_t>(px)] = r.px[px - x - r.dx];
    }
}

void LineStamps::DropScratch() {
    if (m_dc.GetSafeHdc() != nullptr && m_hOldBitmap != nullptr) m_dc.SelectObject(m_hOldBitmap);
    m_hOldBitmap = nullptr;
    m_dc.DeleteDC();
    m_scratch.bmp.DeleteObject();
    m_scratch.pBits = nullptr;
}

void LineStamps::Forget() {
    for (Width& w : m_widths) std::fill(w.index.begin(), w.index.end(), 0);
    m_runs.clear();
    m_shapes.clear();
}

bool LineStamps::Begin(CDC* pTarget, const PixelBuffer& target) {
    HDC hdc = pTarget->GetSafeHdc();
    if (target.pBits == nullptr || hdc == nullptr) return false;
    if (::GetROP2(hdc) != R2_COPYPEN || ::GetMapMode(hdc) != MM_TEXT || ::GetGraphicsMode(hdc) != GM_COMPATIBLE)
        return false;
    POINT viewport{1, 1}, window{1, 1};
    if (!::GetViewportOrgEx(hdc, &viewport) || !::GetWindowOrgEx(hdc, &window) || viewport.x != 0 || viewport.y != 0 ||
        window.x != 0 || window.y != 0)
        return false;
    // LineTo clips only at the bitmap's edges, as the stamps do.
    RECT clip{};
    if (::GetClipBox(hdc, &clip) != SIMPLEREGION || clip.left != 0 || clip.top != 0 || clip.right != target.nWidth ||
        clip.bottom != target.nHeight)
        return false;
    if (m_dc.GetSafeHdc() == nullptr) {
        if (!m_dc.CreateCompatibleDC(pTarget) || !m_scratch.Create(pTarget, 2 * kHalf, kHalf) ||
            m_scratch.pBits == nullptr) {
            DropScratch();
            return false;
        }
        m_hOldBitmap = m_dc.SelectObject(&m_scratch.bmp);
    }
    return true;
}

bool LineStamps::SetPen(int nWidth, COLORREF crPen) {
    if (m_dc.GetSafeHdc() == nullptr || nWidth < 0 || nWidth > kMargin) return false;
    if (m_nWidthSlot >= 0 && nWidth == m_nPenWidth && crPen == m_crPen) return true;
    m_nWidthSlot = -1;
    for (size_t i = 0; i < m_widths.size(); ++i)
        if (m_widths[i].nWidth == nWidth) m_nWidthSlot = static_cast<int>(i);
    if (m_nWidthSlot < 0) {
        m_widths.push_back(Width{nWidth, std::vector<std::int32_t>(static_cast<size_t>(kSide) * kSide, 0)});
        m_nWidthSlot = static_cast<int>(m_widths.size()) - 1;
    }
    m_nPenWidth = nWidth;
    m_crPen = crPen;
    for (const Colour& c : m_colours)
        if (c.cr == crPen) {
            m_value = c.value;
            return c.known;
        }
    // The pixel value of a new colour: what the pen draws in a short segment.
    if (m_colours.size() >= kMaxColours) m_colours.clear();
    std::uint32_t value = 0;
    const int dx = 4;
    const Shape probe = Draw(dx, 0, &value);
    const bool known = probe.usable && probe.count > 0;
    std::int32_t& entry =
        m_widths[static_cast<size_t>(m_nWidthSlot)].index[static_cast<size_t>(kMaxDelta) * kSide + kMaxDelta + dx];
    if (entry == 0) {
        m_shapes.push_back(probe);
        entry = static_cast<std::int32_t>(m_shapes.size());
    }
    m_colours.push_back(Colour{crPen, value, known});
    m_value = value;
    return known;
}

LineStamps::Shape LineStamps::Draw(int dx, int dy, std::uint32_t* pValue) {
    Shape shape;
    shape.first = static_cast<std::uint32_t>(m_runs.size());
    HDC hdc = m_dc.GetSafeHdc();
    const int w = std::abs(dx) + 2 * kMargin + 1;
    const int h = std::abs(dy) + 2 * kMargin + 1;
    const int sx = kMargin + (dx < 0 ? -dx : 0);
    const int sy = kMargin + (dy < 0 ? -dy : 0);
    ::PatBlt(hdc, 0, 0, w, h, BLACKNESS);
    ::PatBlt(hdc, kHalf, 0, w, h, WHITENESS);
    {
        CPen pen(PS_SOLID, m_nPenWidth, m_crPen);
        SelectGuard keepPen(m_dc, pen);
        for (int left : {0, kHalf}) {
            ::MoveToEx(hdc, left + sx, sy, nullptr);
            ::LineTo(hdc, left + sx + dx, sy + dy);
        }
    }
    ::GdiFlush();
    bool bSeen = false, bOk = true;
    const size_t stride = static_cast<size_t>(m_scratch.nWidth);
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* black = m_scratch.pBits + static_cast<size_t>(y) * stride;
        const std::uint32_t* white = black + kHalf;
        for (int x = 0; x < w;) {
            if (black[x] != white[x]) {
                ++x;
                continue;
            }
            const int start = x;
            for (; x < w && black[x] == white[x]; ++x) {
                if (!bSeen) *pValue = black[x];
                bSeen = true;
                bOk = bOk && black[x] == *pValue;
            }
            // A pen reaching the margin's edge may have been cut off there.
            if (start == 0 || x == w || y == 0 || y == h - 1) bOk = false;
            const Run run{y - sy, start - sx, x - start};
            if (m_runs.size() == shape.first) {
                shape.left = run.dx;
                shape.right = run.dx + run.n - 1;
                shape.top = shape.bottom = run.dy;
            }
            shape.left = std::min(shape.left, run.dx);
            shape.right = std::max(shape.right, run.dx + run.n - 1);
            shape.top = std::min(shape.top, run.dy);
            shape.bottom = std::max(shape.bottom, run.dy);
            m_runs.push_back(run);
        }
    }
    shape.count = static_cast<std::uint32_t>(m_runs.size()) - shape.first;
    shape.usable = bOk;
    return shape;
}

bool LineStamps::Segment(const PixelBuffer& target, int x0, int y0, int x1, int y1) {
    if (m_nWidthSlot < 0) return false;
    if (std::abs(x0) > kFar || std::abs(y0) > kFar || std::abs(x1) > kFar || std::abs(y1) > kFar) return false;
    const int dx = x1 - x0;
    const int dy = y1 - y0;
    if (dx < -kMaxDelta || dx > kMaxDelta || dy < -kMaxDelta || dy > kMaxDelta) return false;
    const size_t at = static_cast<size_t>(dy + kMaxDelta) * kSide + static_cast<size_t>(dx + kMaxDelta);
    std::int32_t entry = m_widths[static_cast<size_t>(m_nWidthSlot)].index[at];
    if (entry == 0) {
        if (m_runs.size() > kMaxRuns) Forget();
        std::uint32_t value = 0;
        m_shapes.push_back(Draw(dx, dy, &value));
        entry = static_cast<std::int32_t>(m_shapes.size());
        m_widths[static_cast<size_t>(m_nWidthSlot)].index[at] = entry;
    }
    const Shape& shape = m_shapes[static_cast<size_t>(entry - 1)];
    if (!shape.usable) return false;
    const std::uint32_t value = m_value;
    const Run* run = m_runs.data() + shape.first;
    const Run* const end = run + shape.count;
    const std::ptrdiff_t stride = target.nWidth;
    if (x0 + shape.left >= 0 && x0 + shape.right < target.nWidth && y0 + shape.top >= 0 &&
        y0 + shape.bottom < target.nHeight) {
        // The whole shape inside: no clipping per run.
        std::uint32_t* origin = target.pBits + y0 * stride + x0;
        for (; run != end; ++run) FillRun(origin + run->dy * stride + run->dx, run->n, value);
        return true;
    }
    for (; run != end; ++run) {
        const int y = y0 + run->dy;
        if (y < 0 || y >= target.nHeight) continue;
        int xa = x0 + run->dx;
        int xb = xa + run->n;
        if (xa < 0) xa = 0;
        if (xb > target.nWidth) xb = target.nWidth;
        std::uint32_t* row = target.pBits + static_cast<size_t>(y) * static_cast<size_t>(target.nWidth);
        for (int x = xa; x < xb; ++x) row[x] = value;
    }
    return true;
}

}  // namespace chart
