#include "render/PlotLayout.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(PlotLayout, DisplayBandGeometry) {
    PlotModel model;
    model.independentDisplays = false;
    model.addDisplay(2);  // weights 1 and 2 in 300 rows
    const PlotLayout layout(model, {300, 0});
    const struct {
        bool frames;
        double top0, bottom0, top1, bottom1, frameBottom0;
    } rows[] = {{false, 0, 98, 100, 298, 100}, {true, 20, 91, 113, 277, 93}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.frames);
        model.frames = r.frames;
        const DisplayBand b0 = layout.band(0);
        const DisplayBand b1 = layout.band(1);
        EXPECT_EQ(b0.top, r.top0);
        EXPECT_EQ(b0.bottom, r.bottom0);
        EXPECT_EQ(b1.top, r.top1);
        EXPECT_EQ(b1.bottom, r.bottom1);
        EXPECT_EQ(layout.frameBottom(0), r.frameBottom0);
    }
    model.frames = false;
    model.displays[0].yMin = -1;
    model.displays[0].yMax = 1;
    EXPECT_EQ(layout.valueToY(0, 1), 2);
    EXPECT_EQ(layout.valueToY(0, -1), 98);
    EXPECT_EQ(layout.valueToY(0, 99), 2);  // clamped
    EXPECT_EQ(layout.displayAtY(0), 0);
    EXPECT_EQ(layout.displayAtY(100), 0);  // the pointer band reaches one row further
    EXPECT_EQ(layout.displayAtY(101), 1);
    EXPECT_EQ(layout.displayAtY(301), -1);
    // Zoomed in three times and scrolled: the bands stretch and move up together.
    const PlotLayout zoomed(model, {900, -300});
    EXPECT_EQ(zoomed.band(1).top, 0);
    EXPECT_EQ(zoomed.valueToY(0, -1), -300 + 298);
}

TEST(PlotLayout, VisibilityAndTheValueUnderARow) {
    PlotModel model;
    model.independentDisplays = false;
    model.addGraph("");
    model.displays[0].autoRange = false;
    model.displays[0].yMin = 0;
    model.displays[0].yMax = 1;
    model.addDisplay(2);
    Display& d1 = model.displays[1];
    d1.autoRange = false;
    d1.yMin = -10;
    d1.yMax = 10;
    const PlotLayout layout(model, {300, 0});
    // Weights 1 and 2 in 300 rows: data rows 2..98 and 102..298.
    EXPECT_TRUE(layout.isDisplayVisible(0, 300));
    EXPECT_TRUE(layout.isDisplayVisible(1, 300));
    EXPECT_FALSE(layout.isDisplayVisible(2, 300));
    EXPECT_FALSE(PlotLayout(model, {900, -900}).isDisplayVisible(1, 300));  // scrolled out above
    EXPECT_FALSE(layout.isDisplayVisible(1, 100));                          // below the area
    EXPECT_DOUBLE_EQ(layout.valueAtY(2), 1);
    EXPECT_DOUBLE_EQ(layout.valueAtY(50), 0.5);
    EXPECT_DOUBLE_EQ(layout.valueAtY(200), 0);
    EXPECT_DOUBLE_EQ(layout.valueAtY(298), -10);
    EXPECT_DOUBLE_EQ(layout.valueAtY(100), 0);  // between data areas

    const struct {
        const char* name;
        double yMin, yMax;
    } ranges[] = {
        {"empty", 1, 1}, {"reversed", 1, -1}, {"not a number", std::nan(""), 1}, {"infinite", -1, HUGE_VAL}};
    for (const auto& r : ranges) {
        SCOPED_TRACE(r.name);
        d1.yMin = r.yMin;
        d1.yMax = r.yMax;
        EXPECT_FALSE(layout.isDisplayVisible(1, 300));
        EXPECT_DOUBLE_EQ(layout.valueAtY(200), 0);
    }
}

TEST(PlotLayout, LegendRowsAndSquares) {
    // Graphs 0 and 2 in display 0, graph 1 in display 1 (weights 1 and 1 in 300 rows).
    PlotModel model;
    model.independentDisplays = false;
    model.addDisplay(1);
    for (int g = 0; g < 3; ++g) model.addGraph("");
    model.moveGraphToDisplay(1, 1);
    const PlotLayout layout(model, {300, 0});
    const struct {
        const char* name;
        bool frames;
        double fontSize;
        double squareX, baseline0, baseline1, baseline2;
    } rows[] = {
        // Display 0's rows start below the title without Frames mode, below the margin with it.
        {"plain", false, 10, 10, 20 + 12, 150 + 12, 20 + 24},
        {"frames", true, 10, 70, 20 + 12, 160 + 12, 20 + 24},
        {"large font", false, 16, 10, 20 + 18, 150 + 18, 20 + 36},
        {"font size not finite", false, std::nan(""), 10, 20 + 12, 150 + 12, 20 + 24},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        model.frames = r.frames;
        model.fontSize = r.fontSize;
        EXPECT_EQ(layout.legendSquareX(), r.squareX);
        EXPECT_EQ(layout.legendTitleX(), r.squareX + 10);
        const double baselines[] = {r.baseline0, r.baseline1, r.baseline2};
        for (unsigned g = 0; g < 3; ++g) {
            SCOPED_TRACE(g);
            EXPECT_EQ(layout.legendBaseline(g), baselines[g]);
            // The square covers the 8 rows above the baseline and 2 columns more than its width.
            EXPECT_EQ(layout.legendSquareAt(r.squareX, baselines[g]), static_cast<int>(g));
            EXPECT_EQ(layout.legendSquareAt(r.squareX + 10, baselines[g] - 8), static_cast<int>(g));
            EXPECT_EQ(layout.legendSquareAt(r.squareX + 10.5, baselines[g] - 4), -1);
            EXPECT_EQ(layout.legendSquareAt(r.squareX - 0.5, baselines[g] - 4), -1);
        }
        EXPECT_EQ(layout.legendSquareAt(r.squareX + 4, r.baseline0 + 1), -1);
    }
}

TEST(PlotLayout, ShortBandsGiveUpTheirInsetsBeforeTheirDataRows) {
    // One display over `rows` rows (plus Frames mode's top margin): the data area keeps 8 rows while
    // the insets (2 above, 2 below, 20 for the X values in Frames mode) shrink in proportion.
    PlotModel model;
    model.displays[0].autoRange = false;
    model.displays[0].yMin = -1;
    model.displays[0].yMax = 1;
    const struct {
        bool frames;
        int rows;
        double dataTop, bottom, frameBottom;
    } cases[] = {
        {false, 300, 2, 298, 300},      // room for everything
        {false, 12, 2, 10, 12},         // exactly 8 data rows with full insets
        {false, 10, 1, 9, 10},          // 2 rows of insets left, half above and half below
        {false, 3, 0, 3, 3},            // no insets: the whole band is data
        {true, 32, 22, 30, 32},         // 8 data rows and 24 rows of insets
        {true, 20, 21, 29, 40 - 10.0},  // 12 rows of insets, each at half its size
        {true, 3, 20, 23, 23},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "frames " << c.frames << ", " << c.rows << " rows");
        model.frames = c.frames;
        const PlotLayout layout(model, {c.rows + (c.frames ? 20 : 0), 0, 400});
        const DisplayBand b = layout.band(0);
        EXPECT_EQ(b.dataTop, c.dataTop);
        EXPECT_EQ(b.bottom, c.bottom);
        EXPECT_EQ(b.frameBottom, c.frameBottom);
        EXPECT_EQ(layout.frameBottom(0), c.frameBottom);
        EXPECT_TRUE(layout.isDisplayVisible(0, c.rows + 20));
        // The pointer reads the range's ends at the data area's ends.
        EXPECT_DOUBLE_EQ(layout.valueAtY(b.dataTop), model.displays[0].yMax);
        EXPECT_DOUBLE_EQ(layout.valueAtY(b.bottom), model.displays[0].yMin);
    }
    // More displays than rows: a band of no rows shows nothing.
    while (model.displays.size() < 64) model.addDisplay(1);
    model.frames = false;
    EXPECT_FALSE(PlotLayout(model, {40, 0, 400}).isDisplayVisible(0, 40));
}

TEST(PlotLayout, LegendOfAShortBandFitsInItsRows) {
    // `graphs` graphs in each of `displays` displays; the entries of one band never overlap one
    // another or leave the band's rows, and the mouse finds each shown square where it stands.
    const struct {
        const char* name;
        unsigned displays, graphs;
        int height, width;
        bool frames;
        bool stacked, titled;  // rows of titles; one row with titles cut to their cells
    } cases[] = {
        {"room for rows", 2, 3, 300, 600, false, true, true},
        {"one row with titles", 8, 4, 300, 600, false, false, true},
        {"one row of squares", 8, 8, 300, 200, true, false, false},
        {"squares of 3-row bands", 64, 1, 212, 660, true, false, false},
        {"64 graphs in 64 displays at full screen", 64, 1, 1040, 1900, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlotModel model;
        model.independentDisplays = false;
        model.frames = c.frames;
        while (model.displays.size() < c.displays) model.addDisplay(1);
        for (unsigned g = 0; g < c.displays * c.graphs; ++g) {
            model.addGraph("a rather long graph title " + std::to_string(g));
            model.moveGraphToDisplay(g, g / c.graphs);
        }
        const PlotLayout layout(model, {c.height, 0, c.width});
        std::vector<LegendEntry> entries;
        unsigned shown = 0;
        for (unsigned g = 0; g < model.graphs.size(); ++g) {
            SCOPED_TRACE(g);
            const LegendEntry e = layout.legendEntry(g);
            entries.push_back(e);
            if (!e.shown) continue;
            ++shown;
            const DisplayBand band = layout.band(model.graphs[g].display);
            EXPECT_GE(e.squareTop, std::max(band.top, layout.titleClearance()) - 1e-9);
            EXPECT_LE(e.baseline, band.frameBottom + 1e-9);
            EXPECT_EQ(std::isinf(e.titleWidth), c.stacked);
            EXPECT_EQ(e.titleWidth > 0, c.titled);
            if (c.titled && !c.stacked) {
                EXPECT_LE(e.titleX + e.titleWidth, c.width);
            }
            EXPECT_EQ(layout.legendSquareAt(e.squareX + e.squareSize / 2, e.squareTop + e.squareSize / 2),
                      static_cast<int>(g));
            EXPECT_EQ(layout.legendBaseline(g), e.baseline);
            // Titles not shown whole show on hover.
            EXPECT_EQ(layout.legendTooltipAt(e.squareX + 1, e.squareTop + 1),
                      c.stacked ? "" : model.graphs[g].title);
        }
        EXPECT_GT(shown, model.graphs.size() / 2);
        // Entries of the same band: squares and their title cells side by side or one above the other.
        for (unsigned a = 0; a < entries.size(); ++a) {
            for (unsigned b = a + 1; b < entries.size(); ++b) {
                const LegendEntry &p = entries[a], &q = entries[b];
                if (!p.shown || !q.shown) continue;
                const double pRight = std::isfinite(p.titleWidth) ? p.titleX + p.titleWidth : p.squareX;
                const double qRight = std::isfinite(q.titleWidth) ? q.titleX + q.titleWidth : q.squareX;
                const bool apart = pRight <= q.squareX || qRight <= p.squareX || p.baseline <= q.squareTop ||
                                   q.baseline <= p.squareTop;
                EXPECT_TRUE(apart) << a << " and " << b;
            }
        }
    }
}

// The readout box stands beside the point: inside the plotting area (right of the frames' margin in
// Frames mode) and never over the point, in whichever corner of it there is room.
TEST(PlotLayout, ReadoutBoxStaysInsideAndOffThePoint) {
    const struct {
        const char* name;
        bool frames;
        double x, y;
        double boxX, boxY;  // where the box goes
    } cases[] = {
        {"room right and above", false, 100, 200, 108, 142},
        {"near the top: below", false, 100, 20, 108, 28},
        {"near the right: left", false, 560, 200, 352, 142},
        {"in the bottom right corner: left and above", false, 595, 395, 387, 337},
        {"left of the frames' margin: pushed right of it", true, 30, 200, 60, 142},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlotModel model;
        model.frames = c.frames;
        const PlotLayout layout(model, {400, 0});
        const PlotLayout::Box box = layout.readoutBox(c.x, c.y, 200, 50, 600, 400);
        EXPECT_EQ(box.x, c.boxX);
        EXPECT_EQ(box.y, c.boxY);
        EXPECT_GE(box.x, layout.left());
        EXPECT_LE(box.x + box.width, 600);
        EXPECT_GE(box.y, 0);
        EXPECT_LE(box.y + box.height, 400);
        const bool covers = box.x <= c.x && c.x <= box.x + 200 && box.y <= c.y && c.y <= box.y + 50;
        EXPECT_FALSE(covers);
    }
}

}  // namespace
