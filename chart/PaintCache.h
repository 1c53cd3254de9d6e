// What the chart keeps between paints so that a paint per dump packet stays
// cheap: the temporary bitmap, and the series markers pre-drawn once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/Gdi.h"

namespace chart {

// A series marker: an Ellipse of this radius around the point.
constexpr int kMarkerRadius = 5;

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

    // Adjacent drawn pixels of a row, n of them from (x + dx, y + dy), whatever
    // their colours: one copy per row.
    struct Span {
        int dy, dx, n;
        std::uint32_t px[kCell];
    };

    void DropSheet();

    CDC m_dc;
    PixelBuffer m_sheet;  // row 0: pictures over black; row 1: masks
    HGDIOBJ m_hOldBitmap = nullptr;
    COLORREF m_crBrush = 0;
    int m_nBitsPixel = 0;
    std::vector<COLORREF> m_cells;
    std::vector<std::vector<Span>> m_spans;  // per cell, the pixels Ellipse draws
};

// Pre-rasterised line segments. A paint draws hundreds of separate LineTo
// calls with wide pens, which GDI rasterises slowly; every such segment is its
// own shape (caps at both ends, no joins), so the line picture is the union of
// the shapes in the pen colour, and a shape depends only on the pen width and
// the offset (dx, dy) between its integer ends. Each shape is drawn once with
// the very same LineTo into a scratch bitmap, over black and over white (where
// the two agree, the pen drew), kept as pixel runs and then written straight
// into 32-bit pixels. Used only where that reproduces LineTo exactly (copy-pen
// mix, text mapping, no origins, no clipping inside the bitmap); anything else
// and segments beyond the scratch size are drawn with LineTo. The chart's tests
// compare both paths pixel by pixel.
class LineStamps {
public:
    LineStamps() = default;
    ~LineStamps() { DropScratch(); }
    LineStamps(const LineStamps&) = delete;
    LineStamps& operator=(const LineStamps&) = delete;

    // False: the target's DC would not draw what the stamps write, use LineTo.
    bool Begin(CDC* pTarget, const PixelBuffer& target);
    // The solid pen of the following segments; false when it cannot be stamped.
    bool SetPen(int nWidth, COLORREF crPen);
    // The pixels of MoveTo(x0, y0) + LineTo(x1, y1) with the current pen,
    // written into target; false (nothing written) when LineTo must draw it.
    bool Segment(const PixelBuffer& target, int x0, int y0, int x1, int y1);
    // Shapes drawn so far.
    std::size_t Shapes() const { return m_shapes.size(); }

private:
    static constexpr int kMaxDelta = 256;  // largest |dx|, |dy| kept
    static constexpr int kMargin = 8;      // room for the caps of pens up to 8 pixels
    static constexpr int kHalf = kMaxDelta + 2 * kMargin + 1;
    static constexpr int kSide = 2 * kMaxDelta + 1;
    static constexpr int kFar = 1 << 20;  // ends further out are left to LineTo
    static constexpr std::size_t kMaxRuns = 1u << 21;
    static constexpr std::size_t kMaxColours = 64;

    struct Run {
        int dy, dx, n;  // n pixels from (x0 + dx, y0 + dy) rightwards
    };
    struct Shape {
        std::uint32_t first = 0, count = 0;
        bool usable = false;
        int left = 0, top = 0, right = 0, bottom = 0;  // extent of the runs, inclusive
    };
    struct Width {
        int nWidth;
        std::vector<std::int32_t> index;  // per (dx, dy): shape + 1, 0 = not drawn yet
    };
    struct Colour {
        COLORREF cr;
        std::uint32_t value;
        bool known;
    };

    void DropScratch();
    void Forget();
    // Draws the shape of (dx, dy) with the current pen; its drawn pixels must
    // all have one value, which is returned through pValue.
    Shape Draw(int dx, int dy, std::uint32_t* pValue);

    CDC m_dc;
    PixelBuffer m_scratch;  // left half over black, right half over white
    HGDIOBJ m_hOldBitmap = nullptr;
    std::vector<Width> m_widths;
    std::vector<Run> m_runs;
    std::vector<Shape> m_shapes;
    std::vector<Colour> m_colours;
    int m_nWidthSlot = -1;
    int m_nPenWidth = 0;
    COLORREF m_crPen = 0;
    std::uint32_t m_value = 0;
};

}  // namespace chart
