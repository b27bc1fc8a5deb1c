#include "render/PlotLayout.h"

#include <algorithm>
#include <cmath>

#include "model/ValueRange.h"
#include "render/Views.h"

PlotRows plotRowsOf(const VerticalView& view) {
    return PlotRows{virtualHeightOf(view), yOriginOf(view)};
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
    band.bottom = band.top + band.span - frameReserve() - dataBottomInset;
    return band;
}

double PlotLayout::frameReserve() const {
    return model.frames ? frameBottomReserve : 0;
}

double PlotLayout::frameBottom(unsigned display) const {
    const DisplayBand b = band(display);
    return b.top + b.span - frameReserve();
}

double PlotLayout::valueToY(unsigned display, double value) const {
    if (display >= model.displays.size()) return 0.0;
    const Display& d = model.displays[display];
    const DisplayBand b = band(display);
    if (!hasRange(d)) return b.bottom;
    const double v = std::clamp(value, d.yMin, d.yMax);
    return b.bottom + (b.top + dataTopInset - b.bottom) * fractionOfRange(v, d.yMin, d.yMax);
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
        const double top = b.top + dataTopInset;
        if (!(b.bottom > top)) continue;  // no data area to read a value from
        if (top <= y && y <= b.bottom) return valueInRange(d.yMax, d.yMin, (y - top) / (b.bottom - top));
    }
    return 0.0;
}

bool PlotLayout::isDisplayVisible(unsigned display, int height) const {
    if (display >= model.displays.size() || !hasRange(model.displays[display])) return false;
    const DisplayBand b = band(display);
    // A band too low for one row of data (many displays in a small area) draws nothing.
    if (!(b.bottom > b.top + dataTopInset)) return false;
    return b.top + dataTopInset <= height && b.bottom >= topMargin();
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

double PlotLayout::legendBaseline(unsigned graph) const {
    if (graph >= model.graphs.size()) return 0.0;
    const Graph& g = model.graphs[graph];
    const unsigned display = g.display < model.displays.size() ? g.display : 0;
    double top = band(display).top;
    if (!model.frames && display == 0) top += titleRoom;
    return top + (g.slot + 1.0) * legendRowHeight();
}

int PlotLayout::legendSquareAt(double x, double y) const {
    const double squareX = legendSquareX();
    if (model.graphs.empty() || !(x >= squareX && x <= squareX + legendSquareReach)) return -1;
    for (unsigned g = 0; g < model.graphs.size(); ++g) {
        const double baseline = legendBaseline(g);
        if (baseline - legendSquareSize <= y && y <= baseline) return static_cast<int>(g);
    }
    return -1;
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
