#pragma once
// The per-redraw geometry of the plotting area: which samples are visible and how wide they are drawn
// (HorizontalView), and how far the Y zoom stretches the displays and the scroll bar shifts them
// (VerticalView). Built from plain numbers so that the arithmetic is testable without a window.

#include <cstdint>

struct HorizontalView {
    int width = 0;       // allocated width of the drawing area
    int plotWidth = 0;   // width minus framesLeftMargin in Frames mode
    int step = 1;        // samples per drawn point
    int xZoom = 0;       // effective X zoom, after correction
    double first = 0.0;  // index of the first visible sample (horizontal scroll value)
    double span = 0.0;   // number of visible samples (page size of the horizontal scroll bar)
};

struct VerticalView {
    int height = 0;
    int pageHeight = 0;
    int yZoom = 0;
    double offset = 0.0;  // vertical scroll value
    double page = 0.0;    // page size of the vertical scroll bar
};

// The horizontal view of an area `width` pixels wide over an axis of xSize slots, scrolled to
// `first`. A short axis is spread over the whole width (the zoom is raised), and a zoom-out is
// limited to the step that already shows the whole axis; the result's xZoom is the corrected zoom.
HorizontalView horizontalViewFor(int width, bool frames, std::uint32_t xSize, int xZoom, double first);

// The positions a horizontal view shows of an axis of xSize slots: from the whole position first up
// to, not including, last (at most xSize - 1); none when last <= first.
struct VisiblePositions {
    double first = 0.0;
    double last = 0.0;
};
VisiblePositions visiblePositions(const HorizontalView& view, std::uint32_t xSize);

// The vertical view of an area `height` pixels high at Y zoom yZoom, scrolled to `offset`.
VerticalView verticalViewFor(int height, int yZoom, double offset);

// The Y zoom stretches every display over this many rows...
int virtualHeightOf(const VerticalView& view);
// ...whose top stands this far above the area's top row.
double yOriginOf(const VerticalView& view);

// The mouse wheel moves the horizontal scroll bar when Shift, Lock, Control or Alt is held
// (state & 0xF) or the plot is not zoomed vertically; otherwise the vertical one.
bool wheelScrollsHorizontally(unsigned modifierState, int yZoom);
