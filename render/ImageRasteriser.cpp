#include "render/ImageRasteriser.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr double widestLine = 3.0;
// Coverage is kept for a window of this many columns (a power of two) that moves along with the
// polyline; a segment is cut into pieces at most pieceWidth columns wide, so one fits the window.
constexpr int windowColumns = 64;
constexpr double pieceWidth = 16.0;
// Settled columns are blended once this many have gathered (a blend has a cost of its own); with
// a piece and a segment's reach back they stay well inside the window.
constexpr int settledBatch = 16;

bool isWhole(double v) {
    return std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e9;
}

// round(x / 255) for x in 0..255 * 255.
std::uint32_t divide255(std::uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// source * m + destination * keep, divided by 255, for two channels in the low bytes of 16-bit
// lanes. A premultiplied source channel is at most its alpha, and keep = 255 - alpha * m / 255,
// so no lane exceeds 255 * 255 + 127.
std::uint32_t blendPair(std::uint32_t source, std::uint32_t destination, std::uint32_t m,
                        std::uint32_t keep) {
    std::uint32_t x = source * m + destination * keep + 0x00800080u;
    x = (x + ((x >> 8) & 0x00ff00ffu)) >> 8;
    return x & 0x00ff00ffu;
}

}  // namespace

void InkTiles::reset(int width, int height) {
    columns = std::max(0, (width + size - 1) / size);
    rows = std::max(0, (height + size - 1) / size);
    marked.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), 0);
}

void InkTiles::mark(int x0, int x1, int from, int to) {
    if (x1 <= 0 || to <= 0 || x0 >= x1 || from >= to) return;
    const int left = std::max(x0, 0) / size, right = std::min((x1 - 1) / size, columns - 1);
    const int first = std::max(from, 0) / size, last = std::min((to - 1) / size, rows - 1);
    for (int row = first; row <= last; ++row)
        for (int column = left; column <= right; ++column)
            marked[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                   static_cast<std::size_t>(column)] = 1;
}

std::unique_ptr<ImageRasteriser> ImageRasteriser::forContext(cairo_t* cr, double lineWidth,
                                                             RasterScratch& scratch) {
    if (!(lineWidth > 0 && lineWidth <= widestLine) || scratch.inUse) return nullptr;
    cairo_surface_t* target = cairo_get_group_target(cr);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS || cairo_surface_status(target) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) {
        return nullptr;
    }
    const cairo_format_t format = cairo_image_surface_get_format(target);
    if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) return nullptr;
    if (cairo_get_operator(cr) != CAIRO_OPERATOR_OVER || cairo_get_dash_count(cr) != 0) return nullptr;
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    double deviceX = 0, deviceY = 0, scaleX = 1, scaleY = 1;
    cairo_surface_get_device_offset(target, &deviceX, &deviceY);
    cairo_surface_get_device_scale(target, &scaleX, &scaleY);
    if (m.xx != 1 || m.yy != 1 || m.xy != 0 || m.yx != 0 || scaleX != 1 || scaleY != 1 || !isWhole(m.x0) ||
        !isWhole(m.y0) || !isWhole(deviceX) || !isWhole(deviceY)) {
        return nullptr;
    }
    const double dx = m.x0 + deviceX, dy = m.y0 + deviceY;
    const int width = cairo_image_surface_get_width(target);
    const int height = cairo_image_surface_get_height(target);

    // The clip in pixels, cut to the surface; cairo answers in user coordinates.
    cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(cr);
    bool representable = list->status == CAIRO_STATUS_SUCCESS;
    std::vector<Box> clip;
    Box bounds{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int i = 0; representable && i < list->num_rectangles; ++i) {
        const cairo_rectangle_t& r = list->rectangles[i];
        if (!isWhole(r.x + dx) || !isWhole(r.y + dy) || !isWhole(r.width) || !isWhole(r.height)) {
            representable = false;
            break;
        }
        const auto x0 = static_cast<long long>(r.x + dx), y0 = static_cast<long long>(r.y + dy);
        const Box b{
            static_cast<int>(std::max(x0, 0ll)), static_cast<int>(std::max(y0, 0ll)),
            static_cast<int>(std::min(x0 + static_cast<long long>(r.width), static_cast<long long>(width))),
            static_cast<int>(
                std::min(y0 + static_cast<long long>(r.height), static_cast<long long>(height)))};
        if (b.x0 >= b.x1 || b.y0 >= b.y1) continue;
        clip.push_back(b);
        bounds = {std::min(bounds.x0, b.x0), std::min(bounds.y0, b.y0), std::max(bounds.x1, b.x1),
                  std::max(bounds.y1, b.y1)};
    }
    cairo_rectangle_list_destroy(list);
    if (!representable) return nullptr;
    if (clip.empty()) bounds = {0, 0, 0, 0};  // everything is clipped away
    const auto cells =
        static_cast<std::size_t>(windowColumns) * static_cast<std::size_t>(bounds.y1 - bounds.y0);
    try {
        if (scratch.cells.size() < cells) scratch.cells.resize(cells);
        cairo_surface_flush(target);
        if (cairo_image_surface_get_data(target) == nullptr) return nullptr;
        return std::unique_ptr<ImageRasteriser>(
            new ImageRasteriser(target, lineWidth, dx, dy, bounds, std::move(clip), scratch));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

ImageRasteriser::ImageRasteriser(cairo_surface_t* target, double lineWidth, double dx, double dy,
                                 const Box& box, std::vector<Box> clipBoxes, RasterScratch& buffer)
    : surface(target),
      data(cairo_image_surface_get_data(target)),
      stride(cairo_image_surface_get_stride(target)),
      hasAlpha(cairo_image_surface_get_format(target) == CAIRO_FORMAT_ARGB32),
      halfWidth(lineWidth / 2),
      reach(static_cast<int>(std::ceil(1.5 * halfWidth)) + 1),
      inside(box.x0 < box.x1 ? Bounds{box.x0 - cutMargin(), box.y0 - cutMargin(), box.x1 + cutMargin(),
                                      box.y1 + cutMargin()}
                             : Bounds{INFINITY, INFINITY, -INFINITY, -INFINITY}),
      offsetX(dx),
      offsetY(dy),
      bounds(box),
      clip(std::move(clipBoxes)),
      scratch(buffer),
      coverage(buffer.cells),
      rowFrom(windowColumns, INT_MAX),
      rowTo(windowColumns, INT_MIN) {
    scratch.inUse = true;
}

ImageRasteriser::~ImageRasteriser() {
    finish();
    if (dirty.x1 > dirty.x0) {
        // cairo adds the device offset to these coordinates itself.
        double deviceX = 0, deviceY = 0;
        cairo_surface_get_device_offset(surface, &deviceX, &deviceY);
        cairo_surface_mark_dirty_rectangle(surface, dirty.x0 - static_cast<int>(deviceX),
                                           dirty.y0 - static_cast<int>(deviceY), dirty.x1 - dirty.x0,
                                           dirty.y1 - dirty.y0);
    }
    scratch.inUse = false;
}

ImageRasteriser::Source ImageRasteriser::sourceOf(const Colour& c) {
    const double alpha = std::clamp(std::isfinite(c.alpha) ? c.alpha : 1.0, 0.0, 1.0);
    const auto byte = [&](double v) {
        return static_cast<unsigned>(
            std::lround(std::clamp(std::isfinite(v) ? v : 0.0, 0.0, 1.0) * alpha * 255));
    };
    Source source;
    source.alpha = static_cast<std::uint32_t>(std::lround(alpha * 255));
    source.blueRed = byte(c.blue) | byte(c.red) << 16;
    source.greenAlpha = byte(c.green) | source.alpha << 16;
    return source;
}

void ImageRasteriser::colour(const Colour& c) {
    finish();
    source = sourceOf(c);
}

void ImageRasteriser::point(double x, double y) {
    if (open) segment(lastX + offsetX, lastY + offsetY, x + offsetX, y + offsetY);
    open = true;
    lastX = x;
    lastY = y;
}

void ImageRasteriser::finish() {
    open = false;
    ++run;
    direction = -1;
    if (pendingFrom <= pendingTo) blend(pendingFrom, pendingTo + 1);
    pendingFrom = 1;
    pendingTo = 0;
}

void ImageRasteriser::segment(double x0, double y0, double x1, double y1) {
    const double dx = x1 - x0, dy = y1 - y0;
    // Most segments of a graph are short, go forward more than up or down, and lie well inside:
    // nothing to cut, one piece, and the ends are those the general path below computes
    // (x0 + 0 * dx, x0 + 1 * dx). Ends that are not numbers fail these tests.
    if (plain(x0, y0, x1, y1, dx, dy)) {
        if (direction != 0) {
            ++run;
            direction = 0;
        }
        band<false>(x0, y0, x0 + dx, y0 + dy);
        return;
    }
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return;
    if (bounds.x0 >= bounds.x1) return;
    const double margin = cutMargin();
    if (!std::isfinite(dx) || !std::isfinite(dy)) return;  // ends too far apart to cut exactly
    const bool steep = std::fabs(dy) > std::fabs(dx);
    const int heading = steep ? (dy > 0 ? 2 : 3) : (dx > 0 ? 0 : 1);
    const auto uncut = [&](double x, double y) {
        return x >= inside.x0 && x <= inside.x1 && y >= inside.y0 && y <= inside.y1;
    };
    if (std::fabs(dx) <= pieceWidth && uncut(x0, y0) && uncut(x1, y1)) {
        if (heading != direction) {
            ++run;
            direction = heading;
        }
        bandFrom(x0, y0, x0 + dx, y0 + dy, steep);
        return;
    }
    double t0 = 0.0, t1 = 1.0;
    const auto cut = [&](double p, double q) {  // keeps the part where p t <= q
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        return t0 <= t1;
    };
    if (!cut(-dx, x0 - (bounds.x0 - margin)) || !cut(dx, bounds.x1 + margin - x0) ||
        !cut(-dy, y0 - (bounds.y0 - margin)) || !cut(dy, bounds.y1 + margin - y0)) {
        return;
    }
    if (heading != direction) {
        ++run;
        direction = heading;
    }
    // Pieces of a segment meet along a column or row and share no area, like segments going on
    // in the same direction.
    const double pieces = std::max(1.0, std::ceil((t1 - t0) * std::fabs(dx) / pieceWidth));
    for (double k = 0; k < pieces; ++k) {
        const double s0 = t0 + (t1 - t0) * k / pieces, s1 = t0 + (t1 - t0) * (k + 1) / pieces;
        bandFrom(x0 + s0 * dx, y0 + s0 * dy, x0 + s1 * dx, y0 + s1 * dy, steep);
    }
}

bool ImageRasteriser::plain(double x0, double y0, double x1, double y1, double dx, double dy) const {
    return dx > 0 && dx <= pieceWidth && std::fabs(dy) <= dx && x0 >= inside.x0 && x1 <= inside.x1 &&
           y0 >= inside.y0 && y0 <= inside.y1 && y1 >= inside.y0 && y1 <= inside.y1;
}

// The band of the segment from (ax, ay) to (bx, by), along the rows when it is steep, with its
// ends in the order band takes them.
void ImageRasteriser::bandFrom(double ax, double ay, double bx, double by, bool steep) {
    if (steep) {
        if (ay <= by) {
            band<true>(ay, ax, by, bx);
        } else {
            band<true>(by, bx, ay, ax);
        }
    } else if (ax <= bx) {
        band<false>(ax, ay, bx, by);
    } else {
        band<false>(bx, by, ax, ay);
    }
}

// The band around the segment from (u0, v0) to (u1, v1), u0 <= u1, where u runs along the pixel
// columns for a flat segment (steep = false: u is x, v is y) and along the rows for a steep one.
// Across u the band reaches halfWidth perpendicular to the segment, which is h along v. Each
// pixel's share is the band's width inside it at the middle of its stretch of u: exact while the
// band's edges stay inside one pixel over that stretch, and otherwise off by at most an eighth of
// a pixel, which the neighbour across the edge gains or loses.
template <bool steep>
void ImageRasteriser::band(double u0, double v0, double u1, double v1) {
    if (!(u1 > u0)) return;
    const double slope = (v1 - v0) / (u1 - u0);
    const double h = halfWidth * std::sqrt(1 + slope * slope);
    const int alongFrom = steep ? bounds.y0 : bounds.x0, alongTo = steep ? bounds.y1 : bounds.x1;
    const int acrossFrom = steep ? bounds.x0 : bounds.y0, acrossTo = steep ? bounds.x1 : bounds.y1;
    const int i0 = std::max(floorOf(u0), alongFrom);
    const int i1 = std::min(ceilOf(u1), alongTo);
    if (i0 >= i1) return;
    if (steep) {
        const double left = std::min(v0, v1) - h, right = std::max(v0, v1) + h;
        pending(std::max(floorOf(left), bounds.x0), std::min(floorOf(right), bounds.x1 - 1));
    } else {
        pending(i0, i1 - 1);
    }
    const auto within = [](double v) { return std::min(std::max(v, 0.0), 1.0); };
    // The share of pixel j across stretch i of u.
    const auto share = [&](int i, int j) {
        const double a = std::max(u0, static_cast<double>(i)), b = std::min(u1, i + 1.0);
        const double middle = v0 + slope * ((a + b) / 2 - u0);
        return (b - a) * (within(middle + h - j) - within(middle - h - j));
    };
    if (steep) {
        // Column by column, over the rows where the band reaches the column, so that the coverage
        // of a column is written in one sweep.
        const int j0 = std::max(floorOf(std::min(v0, v1) - h), bounds.x0);
        const int j1 = std::min(floorOf(std::max(v0, v1) + h) + 1, bounds.x1);
        for (int j = j0; j < j1; ++j) {
            int from = i0, to = i1;
            if (slope != 0) {
                // The band's middle is within h of the column from row ua to row ub.
                const double ua = u0 + (j - h - v0) / slope, ub = u0 + (j + 1 + h - v0) / slope;
                const auto row = [&](double u) { return std::clamp(u, i0 - 2.0, i1 + 2.0); };
                from = std::max(from, floorOf(row(std::min(ua, ub))) - 1);
                to = std::min(to, ceilOf(row(std::max(ua, ub))) + 1);
            }
            addColumn(j, from, to, share);
        }
        return;
    }
    // The same shares column by column, with what a column's rows have in common worked out once.
    for (int i = i0; i < i1; ++i) {
        const double a = std::max(u0, static_cast<double>(i)), b = std::min(u1, i + 1.0);
        const double middle = v0 + slope * ((a + b) / 2 - u0);
        const double upper = middle + h, lower = middle - h, stretch = b - a;
        const int j0 = std::max(floorOf(lower), acrossFrom);
        const int j1 = std::min(ceilOf(upper), acrossTo);
        if (j0 >= j1) continue;
        const auto c = static_cast<std::size_t>(i & (windowColumns - 1));
        Cell* cell = coverage.data() + c + static_cast<std::size_t>(j0 - bounds.y0) * windowColumns;
        int first = INT_MAX, last = INT_MIN;
        for (int j = j0; j < j1; ++j, cell += windowColumns) {
            const double s = stretch * (within(upper - j) - within(lower - j));
            if (!(s > 0)) continue;
            add(*cell, s);
            first = std::min(first, j);
            last = j;
        }
        rowFrom[c] = std::min(rowFrom[c], first);
        rowTo[c] = std::max(rowTo[c], last);
    }
}

// Adds a share from the current run to a pixel's coverage.
void ImageRasteriser::add(Cell& cell, double share) const {
    if (cell.run != run) {
        cell.done = std::max(cell.done, cell.current);
        cell.current = 0;
        cell.run = run;
    }
    cell.current += static_cast<float>(share);
}

// Adds share(row, column) to the rows from..to-1 of a column.
template <class Share>
void ImageRasteriser::addColumn(int column, int from, int to, const Share& share) {
    if (from >= to) return;
    const auto c = static_cast<std::size_t>(column & (windowColumns - 1));
    Cell* cells = coverage.data() + c;  // row r at (r - bounds.y0) * windowColumns
    int first = INT_MAX, last = INT_MIN;
    for (int row = from; row < to; ++row) {
        const double s = share(row, column);
        if (!(s > 0)) continue;
        add(cells[static_cast<std::size_t>(row - bounds.y0) * windowColumns], s);
        first = std::min(first, row);
        last = row;
    }
    rowFrom[c] = std::min(rowFrom[c], first);
    rowTo[c] = std::max(rowTo[c], last);
}

// A segment is about to touch the columns from..to. A graph's points run from left to right, so
// the columns further left receive no more coverage and are blended, a batch at a time: all but a
// few next to `from`, which a following segment's band, steeper than this one's, may still reach.
// A polyline that turns back to columns already blended has its pixels there blended in two parts.
void ImageRasteriser::pending(int from, int to) {
    if (from > to) return;
    if (pendingFrom <= pendingTo && from >= pendingFrom && from - reach < pendingFrom + settledBatch &&
        to - pendingFrom < windowColumns) {
        pendingTo = std::max(pendingTo, to);  // the usual step: nothing settles, the window holds it
        return;
    }
    settle(from, to);
}

void ImageRasteriser::settle(int from, int to) {
    const int settled = from - reach;
    if (pendingFrom <= pendingTo && settled >= pendingFrom + settledBatch) {
        const int end = std::min(settled, pendingTo + 1);
        blend(pendingFrom, end);
        pendingFrom = end;
    }
    if (pendingFrom <= pendingTo && std::max(pendingTo, to) - std::min(pendingFrom, from) >= windowColumns) {
        blend(pendingFrom, pendingTo + 1);
        pendingFrom = 1;
        pendingTo = 0;
    }
    if (pendingFrom > pendingTo) {
        pendingFrom = from;
        pendingTo = to;
    } else {
        pendingFrom = std::min(pendingFrom, from);
        pendingTo = std::max(pendingTo, to);
    }
}

inline bool ImageRasteriser::blendPixel(unsigned char* p, float share, const Source& colour) const {
    const auto m = static_cast<unsigned>(share * 255.0f + 0.5f);
    if (m == 0) return false;
    const std::uint32_t keep = 255 - divide255(colour.alpha * m);
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, p, sizeof pixel);
    // Two channels at a time, 16 bits each: blue and red, then green and alpha.
    const std::uint32_t out = (blendPair(colour.blueRed, pixel & 0x00ff00ffu, m, keep)) |
                              (blendPair(colour.greenAlpha, (pixel >> 8) & 0x00ff00ffu, m, keep) << 8);
    // The alpha byte of an RGB24 pixel is left as it was.
    const std::uint32_t result = hasAlpha ? out : (out & 0x00ffffffu) | (pixel & 0xff000000u);
    std::memcpy(p, &result, sizeof result);
    return true;
}

void ImageRasteriser::wrote(const Box& box) {
    if (box.x0 >= box.x1) return;
    // The tiles of the box around what was written: a few more than the pixels touch, at most.
    if (scratch.ink) scratch.ink->mark(box.x0, box.x1, box.y0, box.y1);
    dirty = dirty.x1 > dirty.x0 ? Box{std::min(dirty.x0, box.x0), std::min(dirty.y0, box.y0),
                                      std::max(dirty.x1, box.x1), std::max(dirty.y1, box.y1)}
                                : box;
}

void ImageRasteriser::blend(int fromColumn, int toColumn) {
    // Members in locals: the pixels are written through a character pointer, which the compiler
    // must otherwise assume to change them.
    const Source colour = source;
    unsigned char* const pixels = data;
    const std::ptrdiff_t rowBytes = stride;
    Cell* const window = coverage.data();
    int* const firstRows = rowFrom.data();
    int* const lastRows = rowTo.data();
    const int top = bounds.y0;
    Box written{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    // Rows from..to-1 of a column, whose cells start at row `first`, inside a clip box.
    const auto blendRows = [&](int column, const Cell* cells, int first, int from, int to) {
        const Cell* cell = cells + static_cast<std::size_t>(from - first) * windowColumns;
        unsigned char* p = pixels + from * rowBytes + 4 * column;
        for (int row = from; row < to; ++row, cell += windowColumns, p += rowBytes)
            blendPixel(p, std::min(std::max(cell->done, cell->current), 1.0f), colour);
        written = {std::min(written.x0, column), std::min(written.y0, from), column + 1,
                   std::max(written.y1, to)};
    };
    // The plot area's clip is one box: its columns need no search.
    const bool oneBox = clip.size() == 1;
    const Box only = oneBox ? clip.front() : Box{0, 0, 0, 0};
    for (int column = fromColumn; column < toColumn; ++column) {
        const auto c = static_cast<std::size_t>(column & (windowColumns - 1));
        const int rowsFrom = firstRows[c], rowsTo = lastRows[c] + 1;
        if (rowsFrom >= rowsTo) continue;
        Cell* const cells = window + c + static_cast<std::size_t>(rowsFrom - top) * windowColumns;
        if (oneBox) {
            const int from = std::max(rowsFrom, only.y0), to = std::min(rowsTo, only.y1);
            if (column >= only.x0 && column < only.x1 && from < to)
                blendRows(column, cells, rowsFrom, from, to);
        } else {
            for (const Box& box : clip) {
                const int from = std::max(rowsFrom, box.y0), to = std::min(rowsTo, box.y1);
                if (column >= box.x0 && column < box.x1 && from < to)
                    blendRows(column, cells, rowsFrom, from, to);
            }
        }
        Cell* cell = cells;
        for (int row = rowsFrom; row < rowsTo; ++row, cell += windowColumns) *cell = Cell{0, 0, 0};
        firstRows[c] = INT_MAX;
        lastRows[c] = INT_MIN;
    }
    wrote(written);
}

// The sums of the columns that drawLanes has not blended yet, in batches of neighbouring columns
// that are blended row by row. A segment may end a hair beyond the point where the next one starts
// (x0 + dx is not always x1), so the next one can begin in the column before the one the last ended
// in: two batches are kept, and one is blended when its slot is needed for the batch after next.
struct ImageRasteriser::LaneBatches {
    static constexpr int columns = 8;  // a power of two
    // Rows of a lane's batch, from its first part's top row less a margin: flat segments climb or
    // fall no more than they go forward, so the parts of a batch lie within columns + 3 rows of
    // its first one.
    static constexpr int rows = 32;
    static constexpr int margin = 14;
    // A batch's sums, lane by lane. The rows' bookkeeping of the lanes lies side by side, so that
    // the four lanes' rows of a part are worked out in one go.
    struct Slot {
        int base[laneCount];                 // row of sum[lane][0]
        int from[laneCount], to[laneCount];  // the rows of sum[lane] with a share, when from <= to
        float sum[laneCount][rows][columns] = {};
    };
    int first[2] = {INT_MIN, INT_MIN};  // the first column of each slot's batch; INT_MIN: none
    Slot slots[2];
};

void ImageRasteriser::blendLaneBatch(LaneBatches& batches, int slot, int lanes, const Source* sources,
                                     bool wide, Box* written) {
    const int first = batches.first[slot];
    if (first == INT_MIN) return;
    batches.first[slot] = INT_MIN;
    const Box& clipBox = clip.front();
    const int columnFrom = std::max(first, clipBox.x0),
              columnTo = std::min(first + LaneBatches::columns, clipBox.x1);
    const bool whole = wide && columnFrom == first && columnTo == first + LaneBatches::columns;
    const std::ptrdiff_t rowBytes = stride;
    const std::uint32_t keptBits = hasAlpha ? 0u : 0xff000000u;
    LaneBatches::Slot& sums = batches.slots[slot];
    for (int lane = 0; lane < lanes; ++lane) {
        const int base = sums.base[lane], used = sums.from[lane], usedTo = sums.to[lane];
        if (used > usedTo) continue;
        // The rows inside the clip, blended as blend has them where no other run reached the pixel.
        const int from = std::max(used, clipBox.y0 - base), to = std::min(usedTo, clipBox.y1 - 1 - base);
        const Source colour = sources[lane];
        for (int r = from; r <= to; ++r) {
            unsigned char* const row = data + (base + r) * rowBytes;
            const float* const shares = sums.sum[lane][r];
            if (whole) {
                blendEight(row + 4 * first, shares, colour.alpha, colour.blueRed, colour.greenAlpha,
                           keptBits);
                continue;
            }
            for (int column = columnFrom; column < columnTo; ++column)
                blendPixel(row + 4 * column, std::min(std::max(0.0f, shares[column - first]), 1.0f), colour);
        }
        std::fill(&sums.sum[lane][used][0], &sums.sum[lane][usedTo][0] + LaneBatches::columns, 0.0f);
        Box& box = written[lane];
        if (from <= to && columnFrom < columnTo)
            box = {std::min(box.x0, columnFrom), std::min(box.y0, base + from), std::max(box.x1, columnTo),
                   std::max(box.y1, base + to + 1)};
    }
}

bool ImageRasteriser::drawLanes(const double* xs, const double* const* ys, const Colour* colours, int lanes,
                                int n) {
    // With a half width of 0.7 at most, the band of a flat segment is at most 2 * 0.7 * sqrt(2)
    // rows high, so it reaches three rows of a column at most.
    if (lanes < 1 || lanes > laneCount || clip.size() != 1 || !(halfWidth <= 0.7)) return false;
    for (int k = 0; k + 1 < n; ++k) {
        const double x0 = xs[k] + offsetX, x1 = xs[k + 1] + offsetX, dx = x1 - x0;
        if (!(x0 + dx > x0)) return false;  // a segment too short for band to draw
        for (int lane = 0; lane < lanes; ++lane) {
            const double y0 = ys[lane][k] + offsetY, y1 = ys[lane][k + 1] + offsetY;
            if (!plain(x0, y0, x1, y1, dx, y1 - y0)) return false;
        }
    }
    finish();
    Source sources[laneCount];
    LaneSegments segments{xs, {}, offsetX, offsetY, halfWidth, bounds.x0, bounds.x1};
    for (int lane = 0; lane < laneCount; ++lane) {
        // Spare lanes repeat the last one and are not blended.
        segments.rows[lane] = ys[std::min(lane, lanes - 1)];
        if (lane < lanes) sources[lane] = sourceOf(colours[lane]);
    }
    constexpr int chunk = 32;  // segments whose columns are worked out at once
    std::vector<LaneColumn>& parts = scratch.laneColumns;
    parts.resize(chunk * laneColumnsPerSegment);
    const bool wide = scratch.wideLanes && wideLanesAvailable();
    LaneBatches batches;
    // What each lane wrote, marked a few batches at a time: the lanes' boxes apart, as the lanes may
    // lie far apart.
    const Box none{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    Box written[laneCount] = {none, none, none, none};
    for (int from = 0; from + 1 < n; from += chunk) {
        const int count = laneColumns(segments, from, std::min(from + chunk, n - 1), parts.data(), wide);
        for (int p = 0; p < count; ++p) {
            const LaneColumn& part = parts[static_cast<std::size_t>(p)];
            const int i = part.column, batch = i & ~(LaneBatches::columns - 1),
                      slot = (i / LaneBatches::columns) & 1, at = i - batch;
            if (batches.first[slot] != batch) {
                blendLaneBatch(batches, slot, lanes, sources, wide, written);
                batches.first[slot] = batch;
                LaneBatches::Slot& sums = batches.slots[slot];
                for (int lane = 0; lane < laneCount; ++lane) {
                    sums.base[lane] = part.top[lane] - LaneBatches::margin;
                    sums.from[lane] = LaneBatches::rows;
                    sums.to[lane] = -1;
                }
                for (Box& box : written) {
                    if (box.x1 > box.x0 && box.x1 - box.x0 >= settledBatch) {
                        wrote(box);
                        box = none;
                    }
                }
            }
            LaneBatches::Slot& sums = batches.slots[slot];
            // The rows of all lanes at once (spare lanes too, whose rows nobody reads), then each
            // lane's shares added to its sums.
            int row[laneCount];
            for (int lane = 0; lane < laneCount; ++lane) {
                row[lane] = std::clamp(part.top[lane] - sums.base[lane], 0, LaneBatches::rows - 3);
                sums.from[lane] = std::min(sums.from[lane], row[lane]);
                sums.to[lane] = std::max(sums.to[lane], row[lane] + 2);
            }
            for (int lane = 0; lane < lanes; ++lane) {
                // The shares first: the sums they go to are floats too, which the compiler must
                // otherwise assume to change them.
                const float upper = part.share[0][lane], middle = part.share[1][lane],
                            lower = part.share[2][lane];
                float* const sum = &sums.sum[lane][row[lane]][at];
                sum[0] += upper;
                sum[LaneBatches::columns] += middle;
                sum[2 * LaneBatches::columns] += lower;
            }
        }
    }
    const int earlier = batches.first[0] < batches.first[1] ? 0 : 1;
    blendLaneBatch(batches, earlier, lanes, sources, wide, written);
    blendLaneBatch(batches, 1 - earlier, lanes, sources, wide, written);
    for (const Box& box : written) wrote(box);
    return true;
}
