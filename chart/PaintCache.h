// What the chart keeps between paints so that a paint per dump packet stays
// cheap: the temporary bitmap, and the series markers pre-drawn once.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/Gdi.h"

namespace chart {

// Bits per pixel of what a DC draws into: its bitmap, or the device.
int TargetBitsPixel(HDC hdc);

// A 32-bit top-down DIB section, or a bitmap compatible with a DC of another
// depth; the pixels of a DIB section can be written directly.
struct PixelBuffer {
    CBitmap bmp;
    std::uint32_t* pBits = nullptr;
    int nWidth = 0;
    int nHeight = 0;
    bool Create(CDC* pTarget, int w, int h);
};

// The temporary bitmap of a paint, kept while the frame size and the target's
// depth stay the same (its content is overwritten by every paint).
class PaintBuffer {
public:
    PaintBuffer() = default;
    ~PaintBuffer() { Release(); }
    PaintBuffer(const PaintBuffer&) = delete;
    PaintBuffer& operator=(const PaintBuffer&) = delete;

    CDC* Prepare(CDC* pTarget, int w, int h);
    const PixelBuffer& Pixels() const { return m_pixels; }
    HDC Hdc() const { return m_dc.GetSafeHdc(); }

private:
    void Release();
    CDC m_dc;
    PixelBuffer m_pixels;
    HGDIOBJ m_hOldBitmap = nullptr;
    int m_nBitsPixel = 0;
};

// Pre-drawn series markers. A marker is a 10-pixel Ellipse with a 2-pixel pen;
// hundreds of them per paint dominate the paint cost, so each pen colour's
// marker is drawn once with the very same Ellipse call into a sheet of the
// target's format and then stamped per point. The mask comes from drawing the
// marker over black and over white: where the two agree, Ellipse drew.
// Used only where that reproduces Ellipse exactly (solid brush, copy-pen mix,
// text mapping mode, a bitmap of 8 bits or more); the chart's tests compare
// both paths pixel by pixel.
class MarkerStamps {
public:
    MarkerStamps() = default;
    ~MarkerStamps() { DropSheet(); }
    MarkerStamps(const MarkerStamps&) = delete;
    MarkerStamps& operator=(const MarkerStamps&) = delete;

    // Checks the target DC and drops the sheet when its depth or brush
    // changed. False: stamping would not match Ellipse here, draw plainly.
    bool Begin(CDC* pTarget);
    // Sheet cell of a pen colour (drawn on first use), -1 when it cannot be made.
    int CellFor(CDC* pTarget, COLORREF crPen);
    // The marker of a cell centred at (x, y), as Ellipse(x-5, y-5, x+5, y+5):
    // into any DC as (target AND mask) OR picture, or written straight into
    // 32-bit pixels.
    void Stamp(CDC* pTarget, int nCell, int x, int y) const;
    bool CanWritePixels() const { return m_sheet.pBits != nullptr; }
    void Stamp(const PixelBuffer& target, int nCell, int x, int y) const;

private:
    static constexpr int kCell = 16;     // cell edge; the marker is centred at (8, 8)
    static constexpr int kMaxCells = 8;  // series colours, black and blue fit easily

    struct Dot {
        int dx, dy;
        std::uint32_t value;
    };

    void DropSheet();

    CDC m_dc;
    PixelBuffer m_sheet;  // row 0: pictures over black; row 1: masks
    HGDIOBJ m_hOldBitmap = nullptr;
    COLORREF m_crBrush = 0;
    int m_nBitsPixel = 0;
    std::vector<COLORREF> m_cells;
    std::vector<std::vector<Dot>> m_dots;  // per cell, the pixels Ellipse draws
};

}  // namespace chart
