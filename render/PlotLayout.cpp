#include "render/PlotLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/ValueRange.h"
#include "render/Views.h"

PlotRows plotRowsOf(const HorizontalView& horizontal, const VerticalView& vertical) {
    return PlotRows{virtualHeightOf(vertical), yOriginOf(vertical), horizontal.width};
}

TitleLines splitTitle(const std::string& title) {
    if (title.size() > 20) {
        const std::size_t cut = title.find(" :: ", title.size() / 2);
        if (cut != std::string::npos) return {title.substr(0, cut), title.substr(cut + 4)};
    }
    return {title, ""};
}

namespace {

bool hasRange(const Display& d) {
    return d.yMax > d.yMin && std::isfinite(d.yMin) && std::isfinite(d.yMax);
}

}  // namespace

double PlotLayout::left() const {
    return model.frames ? framesLeftMargin : 0.0;
}

int PlotLayout::topMargin() const {
    return model.frames ? framesTopMargin : 0;
}

DisplayBand PlotLayout::band(unsigned display) const {
    DisplayBand band;
    if (display >= model.displays.size() || model.totalWeight == 0) return band;
    const int m = topMargin();
    // Integer products before the division, as the rows of every band must add up exactly.
    const long long h = rows.virtualHeight - m;
    const Display& d = model.displays[display];
    const auto total = static_cast<long long>(model.totalWeight);
    band.top = rows.yOrigin + m + static_cast<double>(h * d.weightOffset / total);
    band.span = static_cast<int>(h * d.weight / total);
    const double span = std::max(band.span, 0);
    const double insets = dataTopInset + frameReserve() + dataBottomInset;
    // The share of each inset that the band keeps: all of it while the data rows keep minDataRows.
    double kept = 1.0;
    if (span - insets < minDataRows) kept = (span - std::min(span, minDataRows)) / insets;
    band.dataTop = band.top + dataTopInset * kept;
    band.frameBottom = band.top + span - frameReserve() * kept;
    band.bottom = band.frameBottom - dataBottomInset * kept;
    return band;
}

double PlotLayout::frameReserve() const {
    return model.frames ? frameBottomReserve : 0;
}

double PlotLayout::frameBottom(unsigned display) const {
    return band(display).frameBottom;
}

ValueRows PlotLayout::valueRows(unsigned display) const {
    if (display >= model.displays.size()) return {};
    const Display& d = model.displays[display];
    const DisplayBand b = band(display);
    return {b.bottom, b.dataTop, d.yMin, d.yMax, hasRange(d)};
}

int PlotLayout::displayAtY(double y) const {
    for (unsigned i = 0; i < model.displays.size(); ++i) {
        const DisplayBand b = band(i);
        if (b.top <= y && y < b.top + b.span + 1) return static_cast<int>(i);
    }
    return -1;
}

double PlotLayout::valueAtY(double y) const {
    for (unsigned i = 0; i < model.displays.size(); ++i) {
        const Display& d = model.displays[i];
        if (!hasRange(d)) continue;
        const DisplayBand b = band(i);
        const double top = b.dataTop;
        if (!(b.bottom > top)) continue;  // no data area to read a value from
        if (top <= y && y <= b.bottom) return valueInRange(d.yMax, d.yMin, (y - top) / (b.bottom - top));
    }
    return 0.0;
}

bool PlotLayout::isDisplayVisible(unsigned display, int height) const {
    if (display >= model.displays.size() || !hasRange(model.displays[display])) return false;
    const DisplayBand b = band(display);
    // A band of no rows (more displays than rows) draws nothing.
    if (!(b.bottom > b.dataTop)) return false;
    return b.dataTop <= height && b.bottom >= topMargin();
}

double PlotLayout::legendSquareX() const {
    return left() + textIndent;
}

double PlotLayout::legendTitleX() const {
    return legendSquareX() + legendTitleOffset;
}

double PlotLayout::legendRowHeight() const {
    const double fontSize = std::isfinite(model.fontSize) ? model.fontSize : 10.0;
    return std::max(fontSize + 2, minLegendRow);
}

double PlotLayout::titleClearance() const {
    return splitTitle(model.generalTitle).second.empty() ? titleRoom : secondTitleRoom;
}

LegendEntry PlotLayout::legendEntry(unsigned graph) const {
    LegendEntry entry;
    if (graph >= model.graphs.size() || model.displays.empty()) return entry;
    const Graph& g = model.graphs[graph];
    const unsigned display = g.display < model.displays.size() ? g.display : 0;
    const double count = std::max<double>(model.displays[display].graphCount, g.slot + 1.0);
    const DisplayBand b = band(display);
    const double rowHeight = legendRowHeight();
    // No legend row reaches into the rows of the general title.
    double top = b.top;
    const double clearance = titleClearance();
    if (top < clearance && top + rowHeight > 0) top = clearance;
    const double room = b.frameBottom - top;
    const double slot = g.slot;
    entry.squareSize = legendSquareSize;
    entry.squareX = legendSquareX();
    if (count * rowHeight <= room) {
        entry.baseline = top + (slot + 1.0) * rowHeight;
        entry.titleX = legendTitleX();
        entry.titleWidth = std::numeric_limits<double>::infinity();
    } else {
        const double right = rows.width - (model.frames ? 1.0 : legendRightReserve);
        const double cell = (right - entry.squareX) / count;
        if (rowHeight <= room && cell - legendTitleOffset - legendCellGap >= minLegendTitleWidth) {
            entry.squareX += slot * cell;
            entry.baseline = top + rowHeight;
            entry.titleX = entry.squareX + legendTitleOffset;
            entry.titleWidth = cell - legendTitleOffset - legendCellGap;
        } else {
            // Squares alone, as large as the rows allow, a gap after each one's reach.
            entry.squareSize = std::min(legendSquareSize, std::floor(room));
            if (entry.squareSize < 2) return entry;
            entry.squareX += slot * (entry.squareSize + legendSquareReach - legendSquareSize + legendCellGap);
            if (entry.squareX + entry.squareSize > right) return entry;
            entry.baseline = top + std::floor((std::min(room, rowHeight) + entry.squareSize) / 2);
            entry.titleX = entry.squareX;
        }
    }
    entry.squareTop = entry.baseline - entry.squareSize;
    entry.shown = std::isfinite(entry.baseline);
    return entry;
}

double PlotLayout::legendBaseline(unsigned graph) const {
    return legendEntry(graph).baseline;
}

int PlotLayout::legendSquareAt(double x, double y) const {
    for (unsigned g = 0; g < model.graphs.size(); ++g) {
        const LegendEntry e = legendEntry(g);
        if (!e.shown) continue;
        const double reach = e.squareSize + legendSquareReach - legendSquareSize;
        if (e.squareX <= x && x <= e.squareX + reach && e.squareTop <= y && y <= e.baseline)
            return static_cast<int>(g);
    }
    return -1;
}

std::string PlotLayout::legendTooltipAt(double x, double y) const {
    const int graph = legendSquareAt(x, y);
    if (graph < 0) return "";
    const auto g = static_cast<unsigned>(graph);
    return std::isinf(legendEntry(g).titleWidth) ? "" : model.graphs[g].title;
}

PlotLayout::Box PlotLayout::readoutBox(double x, double y, double width, double height, int areaWidth,
                                       int areaHeight) const {
    constexpr double gap = 8.0;  // between the point and the box
    const double minX = left(), maxX = areaWidth, minY = topMargin(), maxY = areaHeight;
    const auto inside = [&](double from, double size, double low, double high) {
        return std::max(low, std::min(from, high - size));
    };
    const Box corners[] = {{x + gap, y - gap - height, width, height},
                           {x + gap, y + gap, width, height},
                           {x - gap - width, y - gap - height, width, height},
                           {x - gap - width, y + gap, width, height}};
    // A corner with room as it is; else the first that, moved into the area, leaves the point free.
    for (const Box& box : corners) {
        if (box.x >= minX && box.x + width <= maxX && box.y >= minY && box.y + height <= maxY) return box;
    }
    Box fallback{};
    bool first = true;
    for (Box box : corners) {
        box.x = inside(box.x, width, minX, maxX);
        box.y = inside(box.y, height, minY, maxY);
        const bool coversPoint = box.x <= x && x <= box.x + width && box.y <= y && y <= box.y + height;
        if (!coversPoint) return box;
        if (first) fallback = box;
        first = false;
    }
    return fallback;
}

namespace {

// The rows of values in a range of finite width, in place. Apart, as inlined into a larger function
// the compiler no longer works the loop in vector registers.
[[gnu::noinline]] void finiteRows(double* values, std::size_t n, double low, double high, double bottom,
                                  double height, double width) {
    for (std::size_t i = 0; i < n; ++i)
        values[i] = ValueRows::finiteRow(values[i], low, high, bottom, height, width);
}

}  // namespace

void ValueRows::inPlace(double* values, std::size_t n) const {
    const double width = yMax - yMin;
    if (ranged && std::isfinite(width)) {
        finiteRows(values, n, yMin, yMax, bottom, dataTop - bottom, width);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) values[i] = (*this)(values[i]);
}
