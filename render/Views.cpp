#include "render/Views.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "render/PlotLayout.h"

namespace {

int clampToInt(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace

HorizontalView horizontalViewFor(int width, bool frames, std::uint32_t xSize, int xZoom, double first) {
    HorizontalView view;
    view.width = width;
    view.plotWidth = frames ? width - framesLeftMargin : width;
    view.step = 1;
    view.xZoom = xZoom;
    view.first = first;
    const long long plotWidth = view.plotWidth;
    const long long n = static_cast<long long>(xSize) - 1;  // the user-visible axis size
    // An axis of one slot (n = 0) and an area without room need no correction.
    if (plotWidth > 0 && n > 0 && plotWidth >= n) {
        const long long q = plotWidth / n - 1;
        if (q > view.xZoom) view.xZoom = clampToInt(q);
    }
    view.span = static_cast<double>(plotWidth);
    if (view.xZoom < 0) {
        if (plotWidth >= n) return view;
        long long step = 1 - static_cast<long long>(view.xZoom);
        if (plotWidth > 0 && step * plotWidth >= n) step = (n + plotWidth - 1) / plotWidth;
        if (view.xZoom < 1 - step) view.xZoom = clampToInt(1 - step);
        view.step = clampToInt(step);
        view.span = static_cast<double>(plotWidth * step);
    } else if (view.xZoom > 0 && plotWidth > view.xZoom) {
        view.span = static_cast<double>(plotWidth) / (static_cast<double>(view.xZoom) + 1.0);
    }
    return view;
}

VisiblePositions visiblePositions(const HorizontalView& view, std::uint32_t xSize) {
    if (xSize < 2) return {};
    const double xEnd = xSize - 1.0;
    const double first = std::isfinite(view.first) ? std::clamp(std::trunc(view.first), 0.0, xEnd) : 0.0;
    const double span = std::isfinite(view.span) ? std::max(view.span, 0.0) : 0.0;
    return {first, std::min(first + span, xEnd)};
}

VerticalView verticalViewFor(int height, int yZoom, double offset) {
    VerticalView view;
    view.height = height;
    view.pageHeight = height;
    view.yZoom = yZoom;
    view.offset = offset;
    view.page = height;
    if (yZoom > 0 && yZoom < height) view.page = static_cast<double>(height) / (yZoom + 1.0);
    return view;
}

int virtualHeightOf(const VerticalView& view) {
    return clampToInt(static_cast<long long>(view.height) * (static_cast<long long>(view.yZoom) + 1));
}

double yOriginOf(const VerticalView& view) {
    return -(static_cast<double>(view.yZoom) + 1.0) * view.offset;
}

bool wheelScrollsHorizontally(unsigned modifierState, int yZoom) {
    return (modifierState & 0xF) != 0 || yZoom == 0;
}
