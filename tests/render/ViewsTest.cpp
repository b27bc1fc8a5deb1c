#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "render/Views.h"

namespace {

TEST(HorizontalView, ZoomStepAndSpan) {
    const struct {
        const char* name;
        int width;
        bool frames;
        unsigned xSize;
        int xZoom;
        int plotWidth, step, correctedZoom;
        double span;
    } rows[] = {
        {"zoomed out further than needed", 500, false, 1001, -5, 500, 2, -1, 1000},
        {"short axis spread over the width", 600, false, 101, 0, 600, 1, 5, 100},
        {"short axis keeps a larger zoom", 600, false, 101, 9, 600, 1, 9, 60},
        {"zoomed in", 600, false, 6001, 3, 600, 1, 3, 150},
        {"zoom 0", 652, true, 6001, 0, 592, 1, 0, 592},
        {"zoomed out within the axis", 500, false, 10001, -4, 500, 5, -4, 2500},
        {"fully zoomed out", 1920, true, 50000, -99, 1860, 27, -26, 50220},
        {"zoomed in beyond the width", 50, false, 6001, 60, 50, 1, 60, 50},
        // One slot (an axis of size 0): no correction and no division by zero.
        {"one slot", 600, false, 1, 0, 600, 1, 0, 600},
        {"one slot zoomed out", 600, false, 1, -3, 600, 1, -3, 600},
        // Frames mode in an area narrower than the frame margin: no zoom is invented.
        {"no room", 50, true, 610, 0, -10, 1, 0, -10},
        {"no room zoomed out", 50, true, 610, -2, -10, 3, -2, -30},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const HorizontalView v = horizontalViewFor(r.width, r.frames, r.xSize, r.xZoom, 7.0);
        EXPECT_EQ(v.width, r.width);
        EXPECT_EQ(v.plotWidth, r.plotWidth);
        EXPECT_EQ(v.step, r.step);
        EXPECT_EQ(v.xZoom, r.correctedZoom);
        EXPECT_DOUBLE_EQ(v.span, r.span);
        EXPECT_EQ(v.first, 7.0);
    }
}

TEST(VerticalView, YZoomStretchesAndScrolls) {
    const struct {
        int height, yZoom;
        double offset, page;
        int virtualHeight;
        double yOrigin;
    } rows[] = {
        {300, 0, 0, 300, 300, 0},
        {300, 2, 50, 100, 900, -150},
        {300, 5, 250, 50, 1800, -1500},  // scrolled to the end: the stretched bottom at row 300
        {250, 250, 0, 250, 62750, 0},    // a zoom beyond the height leaves the page whole
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.height) + " zoom " + std::to_string(r.yZoom));
        const VerticalView v = verticalViewFor(r.height, r.yZoom, r.offset);
        EXPECT_EQ(v.pageHeight, r.height);
        EXPECT_DOUBLE_EQ(v.page, r.page);
        EXPECT_EQ(virtualHeightOf(v), r.virtualHeight);
        EXPECT_DOUBLE_EQ(yOriginOf(v), r.yOrigin);
    }
}

TEST(Wheel, ModifiersOrNoYZoomScrollHorizontally) {
    const struct {
        unsigned state;
        int yZoom;
        bool horizontal;
    } rows[] = {
        {0, 0, true}, {0, 2, false}, {1, 2, true}, {2, 2, true}, {4, 2, true}, {8, 2, true}, {0x10, 2, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.state) + " zoom " + std::to_string(r.yZoom));
        EXPECT_EQ(wheelScrollsHorizontally(r.state, r.yZoom), r.horizontal);
    }
}

}  // namespace
