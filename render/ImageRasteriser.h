#pragma once
// Antialiased polylines written straight into the pixels of an image surface, for graphs, where
// cairo's own stroking is the slowest part of a frame. Each segment covers the band of the line's
// width around it, cut off at its ends along a pixel column (flat segments) or row (steep ones),
// and each pixel gets the area of that band inside it. Consecutive segments that go on in
// the same direction share no area, so their shares add up; where the line turns back, the bands
// overlap, and a pixel keeps the larger share. The colour is blended in with the result once per
// pixel. Only for targets where this matches cairo's stroke: see forContext.

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/PlotModel.h"
#include "render/LaneShares.h"

// Where the points of a graph go: a cairo path or the image rasteriser. A polyline runs from the
// first point after finish() to the next finish().
class PolylineSink {
  public:
    virtual ~PolylineSink() = default;
    virtual void colour(const Colour& c) = 0;
    virtual void point(double x, double y) = 0;
    virtual void finish() = 0;
    virtual bool isOpen() const = 0;
    // The last point, when the polyline is open.
    virtual double x() const = 0;
    virtual double y() const = 0;
};

// The squares of an image, size pixels wide and high, that drawing wrote to: what a frame has to
// redo when the next one is drawn into the same image.
struct InkTiles {
    static constexpr int size = 16;
    int columns = 0;
    int rows = 0;
    std::vector<unsigned char> marked;  // row by row; non-zero for a tile written to

    // No tile marked, for an image of width x height pixels.
    void reset(int width, int height);
    // The tiles of pixel columns x0..x1-1 in pixel rows from..to-1; pixels outside the image mark
    // nothing.
    void mark(int x0, int x1, int from, int to);
    void markAll() { std::fill(marked.begin(), marked.end(), 1); }
};

// The rasteriser's coverage buffer, kept between frames by whoever draws them: all zero whenever no
// rasteriser draws with it, and used by one rasteriser at a time.
class RasterScratch {
  public:
    // When set, every pixel a rasteriser writes marks its tile here.
    InkTiles* ink = nullptr;
    // Whether lanes are worked out four at a time in one register, where the processor can: the same
    // pixels either way.
    bool wideLanes = wideLanesAvailable();

  private:
    friend class ImageRasteriser;
    // A pixel's coverage: the sum of the shares from the segments of the run of the same direction
    // that last reached it, and the largest sum of the runs before.
    struct Cell {
        float done;
        float current;
        std::uint32_t run;
    };
    std::vector<Cell> cells;
    std::vector<LaneColumn> laneColumns;  // worked out for drawLanes
    bool inUse = false;
};

class ImageRasteriser final : public PolylineSink {
  public:
    // A rasteriser for what the context would stroke with the given line width, or none when cairo
    // must draw: the target is not an ARGB32 or RGB24 image, the transformation is more than a
    // translation by whole pixels, the operator is not OVER, the line is dashed or wider than
    // 3 pixels, the clip is not a set of whole-pixel rectangles, or another rasteriser is using
    // the scratch buffer.
    static std::unique_ptr<ImageRasteriser> forContext(cairo_t* cr, double lineWidth, RasterScratch& scratch);

    ~ImageRasteriser() override;
    ImageRasteriser(const ImageRasteriser&) = delete;
    ImageRasteriser& operator=(const ImageRasteriser&) = delete;

    // Colour and alpha of the next polylines; the pixels of the open one are blended first.
    void colour(const Colour& c) override;
    void point(double x, double y) override;
    // Ends the polyline and blends its pixels into the surface.
    void finish() override;

    // The most polylines drawLanes draws together.
    static constexpr int laneCount = ::laneCount;
    // Draws `lanes` polylines (1 to laneCount) of n points each that share their x positions, the
    // rows of lane l in ys[l], one after the other in their colours, with the same pixels as point()
    // and finish() would give them; the lanes' shares are worked out side by side. Returns false,
    // having drawn nothing, unless every segment of every lane goes forward, more than up or down,
    // well inside the clip (as nearly all segments of a graph do), the clip is one box and the line
    // at most 1.4 pixels wide, so that a segment reaches at most three rows of a column.
    bool drawLanes(const double* xs, const double* const* ys, const Colour* colours, int lanes, int n);
    bool isOpen() const override { return open; }
    double x() const override { return lastX; }
    double y() const override { return lastY; }

  private:
    using Cell = RasterScratch::Cell;
    struct Box {
        int x0, y0, x1, y1;  // pixels x0..x1-1, y0..y1-1
    };
    // A colour premultiplied by its alpha, channels in 0..255 in the layout blending works in.
    struct Source {
        std::uint32_t alpha = 255;
        std::uint32_t blueRed = 0;
        std::uint32_t greenAlpha = 255u << 16;
    };
    static Source sourceOf(const Colour& c);
    // Blends the source into the pixel at p with coverage share; false when the share rounds to
    // nothing and the pixel stays as it was.
    [[gnu::always_inline]] bool blendPixel(unsigned char* p, float share, const Source& source) const;
    // Marks the box of pixels as written to.
    void wrote(const Box& box);
    struct LaneBatches;
    void blendLaneBatch(LaneBatches& batches, int slot, int lanes, const Source* sources, bool wide,
                        Box* written);
    ImageRasteriser(cairo_surface_t* target, double lineWidth, double dx, double dy, const Box& bounds,
                    std::vector<Box> clip, RasterScratch& scratch);

    void segment(double x0, double y0, double x1, double y1);
    void bandFrom(double ax, double ay, double bx, double by, bool steep);
    // Whether the segment goes forward, more than up or down, and needs no cut: the usual case.
    bool plain(double x0, double y0, double x1, double y1, double dx, double dy) const;
    template <bool steep>
    void band(double u0, double v0, double u1, double v1);
    template <class Share>
    void addColumn(int column, int from, int to, const Share& share);
    void add(Cell& cell, double share) const;
    void pending(int fromColumn, int toColumn);
    // The rest of pending, kept out of line so that the usual step stays small.
    [[gnu::noinline]] void settle(int fromColumn, int toColumn);
    void blend(int fromColumn, int toColumn);

    cairo_surface_t* surface;
    unsigned char* data;
    int stride;
    bool hasAlpha;
    struct Bounds {
        double x0, y0, x1, y1;
    };
    // Segments are cut to the box around the clip, widened so far that the cut ends' band lies
    // outside the clip: what the clip shows of the band is not changed by the cut.
    double cutMargin() const { return 4 * halfWidth + 2; }

    double halfWidth;
    int reach;                // columns left of a segment that a following one may still reach
    Bounds inside;            // segments with both ends in here need no cut (nothing when the clip is empty)
    double offsetX, offsetY;  // user to pixel coordinates
    Box bounds;               // all pixels that may be written: the clip's bounding box
    std::vector<Box> clip;
    // Coverage of the rows of the bounding box in a window of columns, row by row (neighbouring
    // columns of a row, which a graph reaches one after the other, lie together), column c at
    // c modulo the window's width; zero outside the columns pendingFrom..pendingTo, whose touched
    // rows are rowFrom..rowTo.
    RasterScratch& scratch;
    std::vector<Cell>& coverage;
    std::vector<int> rowFrom, rowTo;
    int pendingFrom = 1, pendingTo = 0;
    Box dirty{0, 0, 0, 0};
    Source source;  // of the polylines drawn by point()
    std::uint32_t run = 1;
    int direction = -1;  // of the run: flat or steep, and forward or back
    bool open = false;
    double lastX = 0.0, lastY = 0.0;
};
