#include <cairo-pdf.h>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "render/CairoPtr.h"
#include "render/DrawingFile.h"
#include "render/Renderer.h"
#include "render/TextLayout.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

namespace {

// cairo and fontconfig keep fonts and their configuration for the life of the process; release
// them so that the leak checker sees only what the tests leak.
struct CairoCaches : ::testing::Environment {
    void TearDown() override {
        cairo_debug_reset_static_data();
        FcFini();
    }
};
const auto* const cairoCaches = ::testing::AddGlobalTestEnvironment(new CairoCaches);

// An ARGB image to draw on and probe.
struct Canvas {
    int width, height;
    SurfacePtr surface;
    CairoPtr cr;

    Canvas(int w, int h)
        : width(w),
          height(h),
          surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)),
          cr(cairo_create(surface.get())) {}

    // Red, green, blue, alpha in 0..255 (premultiplied, so exact for opaque pixels).
    std::array<int, 4> at(int x, int y) const {
        cairo_surface_flush(surface.get());
        const unsigned char* data = cairo_image_surface_get_data(surface.get());
        const int stride = cairo_image_surface_get_stride(surface.get());
        std::uint32_t p = 0;
        std::memcpy(&p, data + y * stride + 4 * x, sizeof p);
        return {static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255),
                static_cast<int>(p & 255), static_cast<int>(p >> 24)};
    }
    bool empty(int x, int y) const { return at(x, y)[3] == 0; }
    // The pixel is opaque and of the given colour (cairo rounds colours through 16 bits).
    bool is(int x, int y, const Colour& c) const {
        const auto p = at(x, y);
        const auto near = [](int byte, double component) { return std::abs(byte - component * 255) <= 2; };
        return p[3] == 255 && near(p[0], c.red) && near(p[1], c.green) && near(p[2], c.blue);
    }
    // No ink at all in columns x0..x1-1 and rows y0..y1-1.
    bool blank(int x0, int y0, int x1, int y1) const {
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                if (!empty(x, y)) return false;
            }
        }
        return true;
    }
    void draw(const PlotModel& model, const HorizontalView& h, PlotViewCache* cache = nullptr) {
        drawPlot(model, cr.get(), h, verticalViewFor(height, model.yZoom, 0), SurfaceKind::screen, cache);
        EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
    }
    // For people to look at: the build directory, never the sources.
    void save(const char* name) const {
        cairo_surface_write_to_png(surface.get(), (std::string(KIVREL_BINARY_DIR) + "/" + name).c_str());
    }
};

const Colour black{0, 0, 0, 1};
const Colour gridColour{1, 0.5, 0.5, 1};

// One sample per pixel column: X size 101 in 400 columns, 4 pixels per sample.
HorizontalView view400() {
    return horizontalViewFor(400, false, 101, 0, 0);
}

// X size 101, a fixed range 0..1, and graphs holding `value` in every slot. The write index sits on
// the last slot, so that position k shows slot k in both drawing modes.
PlotModel constantModel(unsigned graphs, double value) {
    PlotModel model;
    model.independentDisplays = false;
    model.setXSize(101);
    for (unsigned g = 0; g < graphs; ++g) {
        model.addGraph("");
        model.graphs[g].samples.assign(101, value);
    }
    model.markAllReceived();  // as a plot read from a file: every slot is drawn
    model.displays[0].autoRange = false;
    model.displays[0].yMin = 0;
    model.displays[0].yMax = 1;
    model.writeIndex = 100;
    model.lineWidth = 2;  // covers whole pixel rows around integer positions
    model.refLineWidth = 2;
    return model;
}

TEST(DrawPlot, ModelWithoutGraphsDrawsNothing) {
    PlotModel model;
    model.generalTitle = "a title";
    model.frames = true;
    model.gridLevel = 5;
    model.displays[0].yMin = -1;
    model.displays[0].yMax = 1;
    model.addReferenceLine(0, 0.5);
    model.crosshairX = model.crosshairY = 100;
    Canvas canvas(200, 200);
    canvas.draw(model, horizontalViewFor(200, true, model.xSize, 0, 0));
    EXPECT_TRUE(canvas.blank(0, 0, 200, 200));
}

TEST(DrawPlot, ConstantGraphIsALineOfItsColourAtItsRow) {
    const PlotModel model = constantModel(1, 0.5);
    Canvas canvas(400, 300);
    canvas.draw(model, view400());
    const double y = PlotLayout(model, {300, 0}).valueToY(0, 0.5);
    ASSERT_EQ(y, 150);
    for (int x : {100, 200, 300, 390}) {
        SCOPED_TRACE(x);
        EXPECT_TRUE(canvas.is(x, 149, model.graphs[0].colour));
        EXPECT_TRUE(canvas.is(x, 150, model.graphs[0].colour));
        EXPECT_TRUE(canvas.empty(x, 146));
        EXPECT_TRUE(canvas.empty(x, 153));
    }
    canvas.save("render-constant-graph.png");
}

TEST(DrawPlot, LongGraphsShowNoSeamsBetweenTheirStrokes) {
    // A line 1 wide at row 150.25 covers a quarter of row 149 and three quarters of row 150: every
    // column of those rows must be equally dark wherever one stroke of the graph meets the next.
    PlotModel model = constantModel(1, 147.75 / 296);
    model.lineWidth = 1;
    Canvas canvas(400, 300);
    canvas.draw(model, view400());
    ASSERT_NEAR(PlotLayout(model, {300, 0}).valueToY(0, model.graphs[0].samples[0]), 150.25, 1e-9);
    for (int y : {149, 150}) {
        SCOPED_TRACE(y);
        const int alpha = canvas.at(200, y)[3];
        EXPECT_GT(alpha, 30);
        EXPECT_LT(alpha, 225);
        for (int x = 2; x < 396; ++x) EXPECT_NEAR(canvas.at(x, y)[3], alpha, 8) << x;
    }
}

TEST(DrawPlot, SamplesOutsideTheRangeStayAtItsEdges) {
    PlotModel model = constantModel(1, 0.5);
    for (std::size_t k = 0; k < 50; ++k) model.graphs[0].samples[k] = 7;     // above
    for (std::size_t k = 50; k < 101; ++k) model.graphs[0].samples[k] = -7;  // below
    Canvas canvas(400, 300);
    canvas.draw(model, view400());
    // The maximum lies 2 rows below the band's top, the minimum on its bottom (298).
    EXPECT_TRUE(canvas.is(100, 2, model.graphs[0].colour));
    EXPECT_TRUE(canvas.is(300, 297, model.graphs[0].colour));
    EXPECT_TRUE(canvas.blank(100, 299, 400, 300));
}

TEST(DrawPlot, NonFiniteSamplesLeaveGaps) {
    PlotModel model = constantModel(1, 0.5);
    std::vector<double>& s = model.graphs[0].samples;
    s[50] = std::numeric_limits<double>::quiet_NaN();
    s[75] = HUGE_VAL;
    s[90] = -HUGE_VAL;
    model.graphs[1 - 1].scale = 1;
    for (const bool highFrequency : {false, true}) {
        SCOPED_TRACE(highFrequency);
        model.highFrequency = highFrequency;
        Canvas canvas(400, 300);
        canvas.draw(model, view400());
        const Colour& c = model.graphs[0].colour;
        EXPECT_TRUE(canvas.is(180, 150, c));
        EXPECT_TRUE(canvas.empty(200, 150));  // sample 50 sits at x 200
        EXPECT_TRUE(canvas.is(220, 150, c));
        EXPECT_TRUE(canvas.empty(300, 150));
        EXPECT_TRUE(canvas.empty(360, 150));
        EXPECT_TRUE(canvas.is(340, 150, c));
        EXPECT_TRUE(canvas.is(380, 150, c));
        // Nothing is drawn at the edges of the band in place of the infinite values.
        EXPECT_TRUE(canvas.empty(300, 2));
        EXPECT_TRUE(canvas.empty(360, 297));
    }
}

TEST(DrawPlot, DisabledGraphIsNotDrawnAndItsLegendSquareOnlyOutlined) {
    PlotModel model = constantModel(2, 0.5);
    model.graphs[1].samples.assign(101, 0.25);
    model.graphs[0].enabled = false;
    Canvas canvas(400, 300);
    canvas.draw(model, view400());
    const Colour& off = model.graphs[0].colour;
    const Colour& on = model.graphs[1].colour;
    EXPECT_TRUE(canvas.empty(200, 150));
    EXPECT_TRUE(canvas.is(200, 224, on));  // 0.25 lies at row 224
    // Squares at x 10, rows 20 + 12 r - 8 (8 x 8), below the title.
    EXPECT_TRUE(canvas.is(10, 28, off));  // outline
    EXPECT_TRUE(canvas.empty(14, 28));    // hollow
    EXPECT_TRUE(canvas.is(10, 40, on));
    EXPECT_TRUE(canvas.is(14, 40, on));  // filled
    canvas.save("render-disabled-graph.png");
}

TEST(DrawPlot, HighFrequencyLeavesAGapOfTwentySlotsAfterTheWritePosition) {
    PlotModel model = constantModel(1, 0.5);
    model.writeIndex = 40;
    const Colour& c = model.graphs[0].colour;
    {
        model.highFrequency = false;  // the trace scrolls and has no gap
        Canvas canvas(400, 300);
        canvas.draw(model, view400());
        for (int x = 100; x < 390; x += 10) EXPECT_TRUE(canvas.is(x, 150, c)) << x;
    }
    model.highFrequency = true;
    Canvas canvas(400, 300);
    canvas.draw(model, view400());
    canvas.save("render-high-frequency.png");
    EXPECT_TRUE(canvas.is(100, 150, c));  // samples 0 to 39
    EXPECT_TRUE(canvas.is(155, 150, c));
    // The newest sample's marker: a diamond from x 156 to 166 reaching rows 145 to 155.
    EXPECT_FALSE(canvas.empty(161, 154));
    EXPECT_FALSE(canvas.empty(161, 146));
    EXPECT_TRUE(canvas.empty(161, 150));
    for (int x = 170; x < 238; x += 4) EXPECT_TRUE(canvas.empty(x, 150)) << x;  // slots 40 to 59
    EXPECT_TRUE(canvas.is(242, 150, c));                                        // from slot 60 on
    EXPECT_TRUE(canvas.is(390, 150, c));

    // Close to the right end there is neither a marker nor a second part.
    model.writeIndex = 85;
    Canvas nearEnd(400, 300);
    nearEnd.draw(model, view400());
    EXPECT_TRUE(nearEnd.is(330, 150, c));
    EXPECT_TRUE(nearEnd.blank(345, 140, 400, 160));
}

TEST(DrawPlot, ReferenceLinesAreDashedAndTheCrosshairCrossesThePlot) {
    PlotModel model = constantModel(1, 0.1);
    model.addReferenceLine(0, 0.5);  // row 150
    model.addReferenceLine(0, 2.0);  // outside the range: not drawn
    model.crosshairX = 300;
    model.crosshairY = 60;
    Canvas canvas(400, 300);
    canvas.draw(model, view400());
    canvas.save("render-reference-crosshair.png");
    // Dashes of 5 on and 5 off from the left edge; lines 2 wide sit on the row above and at theirs.
    EXPECT_TRUE(canvas.is(102, 150, black));
    EXPECT_TRUE(canvas.empty(107, 150));
    EXPECT_TRUE(canvas.is(200, 60, black));   // crosshair row
    EXPECT_TRUE(canvas.is(300, 200, black));  // crosshair column
    EXPECT_TRUE(canvas.is(300, 20, black));

    // In Frames mode a crosshair left of the frame is not drawn.
    model.frames = true;
    model.crosshairX = 30;
    Canvas framed(400, 300);
    framed.draw(model, horizontalViewFor(400, true, 101, 0, 0));
    EXPECT_TRUE(framed.empty(30, 250));
    EXPECT_TRUE(framed.blank(100, 58, 390, 62));  // up to the frame's right side
}

TEST(DrawPlot, FramesOfTwoDisplaysSitWhereTheBandsAre) {
    PlotModel model = constantModel(2, 0.5);
    model.frames = true;
    model.addDisplay(2);
    model.moveGraphToDisplay(1, 1);
    model.displays[1].autoRange = false;
    model.displays[1].yMin = 0;
    model.displays[1].yMax = 1;
    Canvas canvas(400, 300);
    canvas.draw(model, horizontalViewFor(400, true, 101, 0, 0));
    canvas.save("render-frames.png");
    // Display 0: frame rows 20 and 93; display 1: rows 113 and 279. Lines 2 wide sit on the rows
    // above and at them; the frame's left side is column 60, its right side column 399.
    for (int y : {20, 93, 113, 279}) {
        SCOPED_TRACE(y);
        EXPECT_TRUE(canvas.is(200, y - 1, black));
        EXPECT_TRUE(canvas.is(200, y, black));
        EXPECT_FALSE(canvas.is(200, y + 2, black));
    }
    EXPECT_TRUE(canvas.is(60, 50, black));
    EXPECT_TRUE(canvas.is(398, 200, black));
    // Graph 1 at 0.5 in display 1: data rows 115 to 277.
    EXPECT_TRUE(canvas.is(200, static_cast<int>(PlotLayout(model, {300, 0}).valueToY(1, 0.5)),
                          model.graphs[1].colour));
}

TEST(DrawPlot, GridLinesStandWhereTheGridStepPutsThem) {
    // Range 0..100 over rows 102..2: one row per unit. Level 2 makes the cell 50 units = 50 rows high,
    // so the vertical lines stand every 50 samples, one sample per column.
    PlotModel model = constantModel(1, -1);
    model.graphs[0].enabled = false;
    model.setXSize(601);
    model.writeIndex = 600;
    model.displays[0].yMax = 100;
    model.gridLevel = 2;
    Canvas canvas(600, 104);
    canvas.draw(model, horizontalViewFor(600, false, 601, 0, 0));
    canvas.save("render-grid.png");
    for (int x = 50; x <= 550; x += 50) {
        SCOPED_TRACE(x);
        EXPECT_TRUE(canvas.is(x, 3, gridColour));  // within the first dash
        EXPECT_TRUE(canvas.is(x, 32, gridColour));
        EXPECT_TRUE(canvas.empty(x + 25, 32));
    }
    for (int y : {2, 52, 102}) EXPECT_TRUE(canvas.is(302, y, gridColour)) << y;

    // Level 20 in 100 data rows would put the lines 5 rows apart: 12 levels keep them 8 rows apart,
    // 13 lines from 0 to 100 (vertical lines every 8 samples leave column 301 free).
    model.gridLevel = 20;
    Canvas dense(600, 104);
    dense.draw(model, horizontalViewFor(600, false, 601, 0, 0));
    std::vector<int> lineRows;
    for (int y = 0; y < 104; ++y) {
        if (dense.is(301, y, gridColour) && !(y > 0 && dense.is(301, y - 1, gridColour)))
            lineRows.push_back(y);
    }
    ASSERT_EQ(lineRows.size(), 13u);
    for (std::size_t i = 1; i < lineRows.size(); ++i) EXPECT_GE(lineRows[i] - lineRows[i - 1], 8) << i;
}

TEST(DrawPlot, DrawsWhereTheLayoutPointsTheMouse) {
    // Three displays of weights 1, 2 and 1 with fixed ranges, four constant graphs at the ends of
    // their ranges (rows the layout gives as whole numbers), a reference line and the crosshair:
    // every probe asks the layout, which the mouse asks too, where the drawing must have put ink.
    PlotModel model = constantModel(4, 0);
    model.addDisplay(2);
    model.addDisplay(1);
    const double ranges[3][2] = {{-1, 1}, {0, 10}, {-5, 5}};
    for (unsigned d = 0; d < 3; ++d) {
        model.displays[d].autoRange = false;
        model.displays[d].yMin = ranges[d][0];
        model.displays[d].yMax = ranges[d][1];
    }
    const struct {
        unsigned display;
        bool atMax;
    } graphs[] = {{0, true}, {1, false}, {1, true}, {2, false}};
    for (unsigned g = 0; g < 4; ++g) {
        model.moveGraphToDisplay(g, graphs[g].display);
        model.graphs[g].samples.assign(101, ranges[graphs[g].display][graphs[g].atMax ? 1 : 0]);
    }
    const struct {
        const char* name;
        bool frames;
        int yZoom;
        double offset;
    } scenes[] = {
        {"plain", false, 0, 0}, {"frames", true, 0, 0}, {"frames, zoomed and scrolled", true, 1, 40}};
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.name);
        model.frames = scene.frames;
        model.yZoom = scene.yZoom;
        const VerticalView vertical = verticalViewFor(300, scene.yZoom, scene.offset);
        const HorizontalView horizontal = horizontalViewFor(400, scene.frames, model.xSize, 0, 0);
        const PlotLayout layout(model, plotRowsOf(horizontal, vertical));
        const int left = static_cast<int>(layout.left());
        // A reference line at the value the pointer finds in the middle row of display 1.
        const DisplayBand band1 = layout.band(1);
        const double middle = std::floor((band1.dataTop + band1.bottom) / 2);
        model.displays[1].refLines = {layout.valueAtY(middle)};
        // The crosshair in display 1, between the reference line and graph 1.
        model.crosshairX = 300;
        model.crosshairY = middle + 10;

        Canvas canvas(400, 300);
        drawPlot(model, canvas.cr.get(), horizontal, vertical, SurfaceKind::screen);
        canvas.save("render-layout.png");
        const auto inArea = [&](double y) { return y >= 3 && y < 297; };
        for (unsigned g = 0; g < 4; ++g) {
            SCOPED_TRACE(g);
            const Colour& c = model.graphs[g].colour;
            const unsigned d = graphs[g].display;
            ASSERT_TRUE(layout.isDisplayVisible(d, 300) || !inArea(layout.band(d).top));
            // The graph's line (2 wide) covers the two rows around the layout's row of its value.
            const double y = layout.valueToY(d, model.graphs[g].samples[0]);
            ASSERT_EQ(y, std::floor(y));
            if (inArea(y) && layout.isDisplayVisible(d, 300)) {
                const int row = static_cast<int>(y);
                EXPECT_TRUE(canvas.is(200, row - 1, c) && canvas.is(200, row, c)) << "row " << row;
                EXPECT_FALSE(canvas.is(200, row - 3, c) || canvas.is(200, row + 2, c)) << "row " << row;
                // The mouse reads the graph's value and its display at that row.
                EXPECT_DOUBLE_EQ(layout.valueAtY(y), model.graphs[g].samples[0]);
                EXPECT_EQ(layout.displayAtY(y), static_cast<int>(d));
            }
            // The legend square is filled where the mouse finds the graph's square.
            const double squareX = layout.legendSquareX() + 4, squareY = layout.legendBaseline(g) - 4;
            if (inArea(squareY)) {
                EXPECT_TRUE(canvas.is(static_cast<int>(squareX), static_cast<int>(squareY), c));
                EXPECT_EQ(layout.legendSquareAt(squareX, squareY), static_cast<int>(g));
            }
        }
        // The reference line stands at the pointer's row, dashed from the plot's left edge.
        if (inArea(middle)) {
            const int row = static_cast<int>(middle);
            for (const int x : {left + 2, left + 12}) {
                EXPECT_TRUE(canvas.is(x, row - 1, black) && canvas.is(x, row, black)) << x;
            }
            EXPECT_TRUE(canvas.empty(left + 7, row));
        }
        // The crosshair's lines cross at the pointer, the horizontal one from the plot's left edge on.
        const int crossRow = static_cast<int>(model.crosshairY);
        if (inArea(crossRow)) {
            EXPECT_TRUE(canvas.is(left + 3, crossRow, black));
            EXPECT_TRUE(canvas.is(300, crossRow + 4, black));
            EXPECT_EQ(layout.displayAtY(crossRow), 1);
        }
        // Frames stand on the band tops and at the frame bottoms the layout gives.
        if (scene.frames) {
            for (unsigned d = 0; d < 3; ++d) {
                SCOPED_TRACE(d);
                for (const double y : {layout.band(d).top, layout.frameBottom(d)}) {
                    if (inArea(y)) {
                        EXPECT_TRUE(canvas.is(250, static_cast<int>(y), black)) << y;
                    }
                }
            }
        }
    }
}

TEST(GridStepX, CellsComeOutSquare) {
    PlotModel model = constantModel(1, 0);
    model.displays[0].yMax = 100;  // one row per unit in 104 rows
    const struct {
        const char* name;
        double b;
        unsigned xScaleSize;
        double xScaleMin, xScaleMax;
        long long first;
        double last;
        int step;
    } rows[] = {
        {"50 rows", 50, 0, 0, 0, 0, 600, 50},
        {"37 rows", 37, 0, 0, 0, 0, 600, 30},
        {"37 rows, scrolled", 37, 0, 0, 0, 1000, 1600, 30},
        {"7 rows are held 8 columns apart", 7, 0, 0, 0, 0, 600, 8},
        {"50 rows, X units of 0.002", 50, 601, 0, 1.2, 0, 600, 50},
        {"37 rows, X units of 0.002", 37, 601, 0, 1.2, 0, 600, 35},
        {"scale of one sample is no scale", 37, 1, 0, 1.2, 0, 600, 30},
        {"empty scale is no scale", 37, 601, 1, 1, 0, 600, 30},
        {"a flat interval gives the least spacing", 0, 0, 0, 0, 0, 600, 8},
        {"one visible sample gives 1", 50, 0, 0, 0, 10, 10, 1},
        {"never closer than 8 columns", 0.5, 0, 0, 0, 0, 50000, 667},
        {"never closer than 8 columns, at one sample per column", 0.5, 0, 0, 0, 0, 600, 8},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Display& d = model.displays[0];
        d.xScaleSize = r.xScaleSize;
        d.xScaleMin = r.xScaleMin;
        d.xScaleMax = r.xScaleMax;
        EXPECT_EQ(gridStepX(PlotLayout(model, {104, 0}), 0, 0, r.b, r.first, r.last, 600), r.step);
    }
}

// Slots no line has reached are no samples: 100 lines into the start ring of 610 slots draw 100
// samples at the right end, in either drawing mode, and nothing (no line at 0) to their left.
TEST(DrawPlot, SlotsNeverReceivedAreNotDrawn) {
    for (const bool highFrequency : {false, true}) {
        SCOPED_TRACE(highFrequency ? "high frequency" : "dynamic");
        PlotModel model;
        model.highFrequency = highFrequency;
        for (int line = 0; line < 100; ++line) model.processLine(line % 2 ? "2" : "1");
        ASSERT_GT(model.displays[0].yMin, 0.0);
        Canvas canvas(609, 200);  // one column per sample
        canvas.draw(model, horizontalViewFor(609, false, model.xSize, 0, 0));
        // Dynamic mode shows the lines at positions 509..608, High Frequency at 0..99.
        const int from = highFrequency ? 2 : 511, to = highFrequency ? 97 : 600;
        const int emptyFrom = highFrequency ? 125 : 100, emptyTo = highFrequency ? 560 : 505;
        int inked = 0;
        for (int x = from; x < to; ++x) inked += !canvas.blank(x, 0, x + 1, 200);
        EXPECT_EQ(inked, to - from);
        EXPECT_TRUE(canvas.blank(emptyFrom, 30, emptyTo, 200));
    }
}

TEST(DrawPlot, ExtremeFiniteValuesDrawTheirTracesAndLabels) {
    // Ranges whose width (maximum minus minimum, or a value times its scale) is beyond the largest
    // double: the display is drawn like any other, its trace on the rows of its values.
    constexpr double most = std::numeric_limits<double>::max();
    const struct {
        const char* name;
        double low, high, scale;
    } cases[] = {{"plus and minus 1e308", -1e308, 1e308, 1},
                 {"the largest doubles", -most, most, 1},
                 {"scaled beyond the doubles", -1e308, 1e308, 4},
                 {"all negative and wide", -most, -1e300, 1},
                 {"up to the largest double", 0, most, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlotModel model = constantModel(1, c.high);
        model.displays[0].autoRange = true;
        Graph& graph = model.graphs[0];
        graph.scale = c.scale;
        for (std::size_t k = 50; k < 101; ++k) graph.samples[k] = c.low;  // left half high, right half low
        graph.minValue = c.low;
        graph.maxValue = c.high;
        model.recomputeAllYRanges();
        const Display& d = model.displays[0];
        ASSERT_TRUE(std::isfinite(d.yMin) && std::isfinite(d.yMax) && d.yMax > d.yMin);
        const PlotLayout layout(model, {300, 0});
        ASSERT_TRUE(layout.isDisplayVisible(0, 300));
        for (int y : {2, 150, 298}) EXPECT_TRUE(std::isfinite(layout.valueAtY(y))) << y;

        Canvas canvas(400, 300);
        canvas.draw(model, view400());
        const auto rowOf = [&](double v) {
            return static_cast<int>(std::floor(layout.valueToY(0, graph.scale * v)));
        };
        EXPECT_TRUE(canvas.is(100, std::min(rowOf(c.high), 298), graph.colour));
        EXPECT_TRUE(canvas.is(300, std::min(rowOf(c.low), 298), graph.colour));
        // The Y values at the right edge, where the trace does not pass: the maximum hanging below
        // the top, the minimum standing above the bottom.
        EXPECT_FALSE(canvas.blank(340, 3, 398, 16));
        EXPECT_FALSE(canvas.blank(340, 282, 398, 296));
    }
}

TEST(DrawPlot, GraphsOnImagesLookAsCairoStrokesThem) {
    // Noisy graphs, a gap and High Frequency mode's marker, drawn straight onto images (where the
    // graphs' pixels are written directly) and through a recording surface (where cairo strokes
    // them), both moved by whole pixels and clipped.
    PlotModel model = constantModel(3, 0.5);
    std::uint32_t seed = 12345;
    for (unsigned g = 0; g < 3; ++g) {
        for (std::size_t k = 0; k < 101; ++k) {
            seed = seed * 1103515245u + 12345u;
            model.graphs[g].samples[k] = 0.2 + 0.3 * g + 0.1 * std::sin(static_cast<double>(k) / 9.0) +
                                         0.06 * ((seed >> 16) % 1000) / 1000.0;
        }
    }
    model.graphs[1].samples[40] = std::numeric_limits<double>::quiet_NaN();
    model.lineWidth = 1;
    for (const bool highFrequency : {false, true})
        for (const cairo_format_t format : {CAIRO_FORMAT_ARGB32, CAIRO_FORMAT_RGB24}) {
            SCOPED_TRACE(testing::Message() << "high frequency " << highFrequency << ", format " << format);
            model.highFrequency = highFrequency;
            model.writeIndex = highFrequency ? 60 : 100;
            const auto draw = [&](cairo_t* cr) {
                cairo_translate(cr, 7, -3);
                cairo_rectangle(cr, 20, 10, 360, 280);
                cairo_clip(cr);
                drawPlot(model, cr, view400(), verticalViewFor(300, 0, 0), SurfaceKind::screen);
                EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
            };
            SurfacePtr direct{cairo_image_surface_create(format, 410, 300)};
            draw(CairoPtr{cairo_create(direct.get())}.get());
            SurfacePtr recording{cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr)};
            draw(CairoPtr{cairo_create(recording.get())}.get());
            SurfacePtr stroked{cairo_image_surface_create(format, 410, 300)};
            {
                CairoPtr cr{cairo_create(stroked.get())};
                cairo_set_source_surface(cr.get(), recording.get(), 0, 0);
                cairo_paint(cr.get());
            }
            cairo_surface_flush(direct.get());
            cairo_surface_flush(stroked.get());
            const int stride = cairo_image_surface_get_stride(direct.get());
            const unsigned char* a = cairo_image_surface_get_data(direct.get());
            const unsigned char* b = cairo_image_surface_get_data(stroked.get());
            // cairo's fast antialiasing spreads a line's ink over the pixels across it somewhat
            // differently: compare the ink of blocks of 3 x 3 pixels.
            double difference = 0, ink = 0, directInk = 0;
            for (int y0 = 0; y0 < 300; y0 += 3) {
                for (int x0 = 0; x0 < 408; x0 += 3) {
                    for (int k = 0; k < (format == CAIRO_FORMAT_ARGB32 ? 4 : 3); ++k) {
                        int inkA = 0, inkB = 0;
                        for (int y = y0; y < y0 + 3; ++y) {
                            for (int x = x0; x < x0 + 3; ++x) {
                                inkA += a[y * stride + 4 * x + k];
                                inkB += b[y * stride + 4 * x + k];
                            }
                        }
                        difference += std::abs(inkA - inkB);
                        ink += inkB;
                        directInk += inkA;
                    }
                }
            }
            for (int y = 0; y < 300; ++y) {
                for (int x = 0; x < 410; ++x) {
                    if (x >= 27 && x < 387 && y >= 7 && y < 287) continue;
                    std::uint32_t p = 0;
                    std::memcpy(&p, a + y * stride + 4 * x, sizeof p);
                    EXPECT_EQ(p, 0u) << x << "," << y;  // nothing outside the clip
                }
            }
            EXPECT_GT(ink, 100000);  // three graphs across the plot
            EXPECT_NEAR(directInk / ink, 1.0, 0.1);
            EXPECT_LT(difference / ink, 0.25);
        }
}

TEST(DrawPlot, GraphsDrawnTogetherLookAsDrawnOneByOne) {
    // Smooth graphs crossing each other in one display, some translucent, are drawn a few at a time;
    // a disabled graph, one with a gap and a noisy one sit among them. The traces come out as when
    // each graph is drawn alone, from the last to the first: with the whole ring in view, and with
    // its slots read round the ring's end, a few at a time, from a scrolled position or only in part.
    PlotModel model = constantModel(9, 0.5);
    model.lineWidth = 1;
    std::uint32_t seed = 777;
    for (unsigned g = 0; g < 9; ++g) {
        for (std::size_t k = 0; k < 101; ++k) {
            seed = seed * 1103515245u + 12345u;
            const double noise = g == 6 ? 0.4 * ((seed >> 16) % 1000) / 1000.0 : 0.0;
            model.graphs[g].samples[k] =
                0.5 + 0.03 * std::sin(static_cast<double>(k) / (7.0 + g) + g) + noise;
        }
        model.graphs[g].colour.alpha = g % 3 == 1 ? 0.5 : 1.0;
    }
    model.graphs[2].enabled = false;
    model.graphs[5].samples[30] = std::numeric_limits<double>::quiet_NaN();
    const auto picture = [&](const HorizontalView& view, const std::vector<unsigned>& alone) {
        SurfacePtr image{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 400, 300)};
        CairoPtr cr{cairo_create(image.get())};
        if (alone.empty()) {
            drawPlotPart(model, cr.get(), view, verticalViewFor(300, 0, 0), SurfaceKind::screen,
                         PlotPart::traces);
        }
        for (const unsigned only : alone) {
            for (unsigned g = 0; g < 9; ++g) model.graphs[g].enabled = g == only && g != 2;
            drawPlotPart(model, cr.get(), view, verticalViewFor(300, 0, 0), SurfaceKind::screen,
                         PlotPart::traces);
        }
        for (unsigned g = 0; g < 9; ++g) model.graphs[g].enabled = g != 2;
        cairo_surface_flush(image.get());
        const unsigned char* data = cairo_image_surface_get_data(image.get());
        return std::vector<unsigned char>(data, data + cairo_image_surface_get_stride(image.get()) * 300);
    };
    const struct {
        const char* name;
        unsigned writeIndex;
        int step;
        double first, span;
        std::uint32_t receivedStart, receivedCount;
    } rows[] = {
        {"whole ring", 100, 1, 0, 101, 0, 101},        {"read round the ring's end", 37, 1, 0, 101, 0, 101},
        {"every third sample", 37, 3, 0, 101, 0, 101}, {"scrolled", 37, 1, 20, 50, 0, 101},
        {"partly received", 37, 1, 0, 101, 10, 60},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        model.writeIndex = row.writeIndex;
        for (Graph& graph : model.graphs) {
            graph.receivedStart = row.receivedStart;
            graph.receivedCount = row.receivedCount;
        }
        HorizontalView view = view400();
        view.step = row.step;
        view.first = row.first;
        view.span = row.span;
        const std::vector<unsigned char> oneByOne = picture(view, {8, 7, 6, 5, 4, 3, 2, 1, 0});
        EXPECT_EQ(picture(view, {}), oneByOne);
        EXPECT_GT(std::count_if(oneByOne.begin(), oneByOne.end(), [](unsigned char c) { return c != 0; }),
                  2000);
    }
}

// Draws on a recording surface and returns the ink extents; the context must stay healthy.
std::array<double, 4> inkOf(const PlotModel& model, const HorizontalView& h, int height) {
    SurfacePtr surface{cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr)};
    CairoPtr cr{cairo_create(surface.get())};
    drawPlot(model, cr.get(), h, verticalViewFor(height, model.yZoom, 0), SurfaceKind::screen);
    EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
    cr.reset();
    double x = 0, y = 0, w = 0, hh = 0;
    cairo_recording_surface_ink_extents(surface.get(), &x, &y, &w, &hh);
    return {x, y, x + w, y + hh};
}

TEST(DrawPlot, DegenerateViewsAndModelsDrawNoStrayInk) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        void (*change)(PlotModel&, HorizontalView&);
    } rows[] = {
        {"scrolled to the last sample", [](PlotModel&, HorizontalView& h) { h.first = 100; }},
        {"scrolled beyond the axis", [](PlotModel&, HorizontalView& h) { h.first = 5000; }},
        {"view values not numbers",
         [](PlotModel&, HorizontalView& h) {
             h.first = std::nan("");
             h.span = std::nan("");
         }},
        {"no span", [](PlotModel&, HorizontalView& h) { h.span = 0; }},
        {"range not a number", [](PlotModel& m, HorizontalView&) { m.displays[0].yMax = std::nan(""); }},
        {"range too wide",
         [](PlotModel& m, HorizontalView&) {
             m.displays[0].yMin = -1e308;
             m.displays[0].yMax = 1e308;
         }},
        {"scale not a number", [](PlotModel& m, HorizontalView&) { m.graphs[0].scale = std::nan(""); }},
        {"widths not numbers",
         [](PlotModel& m, HorizontalView&) {
             m.lineWidth = std::nan("");
             m.refLineWidth = std::nan("");
             m.fontSize = std::nan("");
         }},
        {"crosshair not a number",
         [](PlotModel& m, HorizontalView&) {
             m.crosshairX = 5;
             m.crosshairY = std::nan("");
         }},
        {"64 displays in frames mode",
         [](PlotModel& m, HorizontalView&) {
             m.frames = true;
             while (m.displays.size() < 64) m.addDisplay(1);
             for (Display& d : m.displays) d.yMax = 1;
         }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        PlotModel model = constantModel(2, 0.5);
        model.graphs[1].samples[30] = nan;
        model.gridLevel = 5;
        model.addReferenceLine(0, 0.3);
        model.crosshairX = 200;
        model.crosshairY = 100;
        model.generalTitle = "degenerate";
        HorizontalView h = view400();
        r.change(model, h);
        const auto ink = inkOf(model, h, 300);
        // Texts may reach a little past the area's edges; nothing is drawn far outside it.
        EXPECT_GE(ink[0], -40);
        EXPECT_GE(ink[1], -40);
        EXPECT_LE(ink[2], 440);
        EXPECT_LE(ink[3], 340);
    }
}

// 64 displays with one graph each, Frames mode, grid level 5, reference lines and a two-line title:
// many labels competing for little room.
PlotModel crowdedModel(bool frames) {
    PlotModel model = constantModel(64, 0.5);
    model.frames = frames;
    model.gridLevel = 5;
    model.generalTitle = "A crowded plot of many graphs :: one graph per display";
    while (model.displays.size() < 64) model.addDisplay(1);
    for (unsigned d = 0; d < 64; ++d) {
        Display& display = model.displays[d];
        display.autoRange = false;
        display.yMin = d % 2 ? -1 : 0;
        display.yMax = 1;
        display.refLines = {0.25, 0.75};
        model.moveGraphToDisplay(d, d);
        model.graphs[d].title = "temperature sensor " + std::to_string(d);
    }
    return model;
}

TEST(DrawPlot, ShortBandsStillDrawTheirTraces) {
    // 64 displays in bands of 3 rows: frames, grid and insets give way, and each graph at 0.5 crosses
    // the middle of its band in its colour, away from the legend and the values.
    for (const bool frames : {false, true}) {
        SCOPED_TRACE(frames);
        PlotModel model = crowdedModel(frames);
        model.generalTitle.clear();
        const int height = 64 * 3 + (frames ? 20 : 0);
        Canvas canvas(600, height);
        canvas.draw(model, horizontalViewFor(600, frames, 101, 0, 0));
        canvas.save(frames ? "render-short-bands-frames.png" : "render-short-bands.png");
        const PlotLayout layout(model, {height, 0, 600});
        for (unsigned d = 0; d < 64; ++d) {
            SCOPED_TRACE(d);
            ASSERT_EQ(layout.band(d).span, 3);
            ASSERT_TRUE(layout.isDisplayVisible(d, height));
            const int row = static_cast<int>(std::floor(layout.valueToY(d, 0.5)));
            EXPECT_TRUE(canvas.is(300, row, model.graphs[d].colour)) << row;
        }
    }
}

TEST(DrawPlot, ATraceNeverStrikesThroughALabel) {
    // A constant graph at row 11 crosses the title at the left and the Y maximum at the right edge.
    PlotModel model = constantModel(1, 287.0 / 296);
    model.generalTitle = "TTTTTT";
    model.graphs[0].title = "g";
    Canvas canvas(400, 300);
    canvas.draw(model, view400());
    canvas.save("render-label-over-trace.png");
    ASSERT_EQ(PlotLayout(model, {300, 0, 400}).valueToY(0, model.graphs[0].samples[0]), 11);
    const Colour& c = model.graphs[0].colour;
    EXPECT_TRUE(canvas.is(200, 10, c));
    EXPECT_TRUE(canvas.is(200, 11, c));
    const struct {
        const char* name;
        int x0, x1;
    } labels[] = {{"title", 12, 40}, {"Y maximum", 378, 394}};
    for (const auto& l : labels) {
        SCOPED_TRACE(l.name);
        int dark = 0;
        for (int x = l.x0; x < l.x1; ++x) {
            for (int y = 8; y < 14; ++y) {
                EXPECT_FALSE(canvas.is(x, y, c)) << x << "," << y;
                const auto p = canvas.at(x, y);
                if (p[3] > 150 && p[0] + p[1] + p[2] < 3 * 150) ++dark;  // darker than the patch alone
            }
        }
        EXPECT_GT(dark, 5);  // the text's own ink
    }
}

TEST(DrawPlot, NoTwoLabelsOverlapInACrowdedPlot) {
    const struct {
        int width, height;
        bool frames;
    } sizes[] = {{660, 367, false}, {660, 367, true}, {1920, 1080, false}, {1920, 1080, true}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << " frames " << size.frames);
        const PlotModel model = crowdedModel(size.frames);
        Canvas canvas(size.width, size.height);
        PlotViewCache cache;
        canvas.draw(model, horizontalViewFor(size.width, size.frames, 101, 0, 0), &cache);
        const std::vector<LabelBox>& boxes = cache.labelBoxes;
        EXPECT_GT(boxes.size(), 64u);
        for (std::size_t a = 0; a < boxes.size(); ++a) {
            for (std::size_t b = a + 1; b < boxes.size(); ++b) {
                EXPECT_FALSE(boxes[a].overlaps(boxes[b]))
                    << a << " (" << boxes[a].x0 << "," << boxes[a].y0 << ") and " << b << " (" << boxes[b].x0
                    << "," << boxes[b].y0 << ")";
            }
        }
        // Every box holds ink: what the list says was drawn is on the picture.
        for (const LabelBox& box : boxes) {
            const int x0 = std::max(0, static_cast<int>(std::ceil(box.x0)));
            const int y0 = std::max(0, static_cast<int>(std::ceil(box.y0)));
            const int x1 = std::min(size.width, static_cast<int>(box.x1));
            const int y1 = std::min(size.height, static_cast<int>(box.y1));
            if (x0 < x1 && y0 < y1) {
                EXPECT_FALSE(canvas.blank(x0, y0, x1, y1)) << box.x0 << "," << box.y0;
            }
        }
    }
}

TEST(DrawPlot, CrowdedPlotPicturesGoToTheArtefacts) {
    // For people to look at after a test run: 64 noisy sines in 64 displays at the start size of
    // the window and at full screen, written as the PNG export writes them.
    PlotModel model = crowdedModel(false);
    for (unsigned g = 0; g < 64; ++g) {
        model.displays[g].refLines.clear();
        std::vector<double>& samples = model.graphs[g].samples;
        for (std::size_t k = 0; k < samples.size(); ++k) {
            const double x = static_cast<double>(k);
            samples[k] = 0.5 + 0.4 * std::sin(0.1 * x + g) + 0.05 * std::sin(7.7 * x * (g + 1));
        }
    }
    const std::filesystem::path folder = std::filesystem::path(KIVREL_BINARY_DIR) / "artefacts";
    std::filesystem::create_directories(folder);
    for (const auto& [width, height] : {std::pair{660, 367}, std::pair{1920, 1080}}) {
        const std::filesystem::path file =
            folder / ("plot-64-graphs-" + std::to_string(width) + "x" + std::to_string(height) + ".png");
        std::filesystem::remove(file);
        EXPECT_EQ(writeDrawingFile(model, file.c_str(), SurfaceKind::png,
                                   horizontalViewFor(width, false, model.xSize, 0, 0),
                                   verticalViewFor(height, 0, 0)),
                  1);
        EXPECT_GT(std::filesystem::file_size(file), 1000u) << file;
    }
}

TEST(DrawPlot, LegendSquaresStandWhereTheMouseFindsThem) {
    // Bands too short for a row per graph: the squares go side by side, with or without titles.
    const struct {
        const char* name;
        unsigned displays, graphs;
        int width;
        const char* saved;
    } cases[] = {{"one row with titles", 8, 4, 600, "render-legend-one-row.png"},
                 {"one row of squares", 8, 8, 200, "render-legend-squares.png"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlotModel model = constantModel(c.displays * c.graphs, 0.5);
        while (model.displays.size() < c.displays) model.addDisplay(1);
        for (unsigned g = 0; g < model.graphs.size(); ++g) {
            model.moveGraphToDisplay(g, g / c.graphs);
            model.graphs[g].title = "graph number " + std::to_string(g);
        }
        Canvas canvas(c.width, 300);
        canvas.draw(model, horizontalViewFor(c.width, false, 101, 0, 0));
        canvas.save(c.saved);
        const PlotLayout layout(model, {300, 0, c.width});
        unsigned shown = 0;
        for (unsigned g = 0; g < model.graphs.size(); ++g) {
            SCOPED_TRACE(g);
            const LegendEntry e = layout.legendEntry(g);
            if (!e.shown) continue;
            ++shown;
            const double x = e.squareX + e.squareSize / 2, y = e.squareTop + e.squareSize / 2;
            EXPECT_TRUE(canvas.is(static_cast<int>(x), static_cast<int>(y), model.graphs[g].colour));
            EXPECT_EQ(layout.legendSquareAt(x, y), static_cast<int>(g));
        }
        EXPECT_GE(shown, model.graphs.size() - c.graphs);  // all but those under the title
    }
}

// Runs pdftotext on a file and returns what it printed.
std::string pdfText(const std::string& path) {
    return commandOutput("pdftotext -layout '" + path + "' - 2>&1");
}

class PdfTitle : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(directory.ok()); }

    // Writes the model's picture into a PDF and returns the texts pdftotext finds in it.
    std::string textOf(const PlotModel& model, SurfaceKind surfaceKind) {
        const std::string path = directory.path("plot.pdf");
        SurfacePtr surface{cairo_pdf_surface_create(path.c_str(), 606, 306)};
        EXPECT_EQ(cairo_surface_status(surface.get()), CAIRO_STATUS_SUCCESS);
        {
            CairoPtr cr{cairo_create(surface.get())};
            drawPlot(model, cr.get(), horizontalViewFor(600, model.frames, model.xSize, 0, 0),
                     verticalViewFor(300, 0, 0), surfaceKind);
            EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
        }
        cairo_surface_finish(surface.get());
        EXPECT_EQ(cairo_surface_status(surface.get()), CAIRO_STATUS_SUCCESS);
        return pdfText(path);
    }
    TempDir directory;
};

TEST_F(PdfTitle, LongTitleArrivesWholeFromItsPieces) {
    PlotModel model = constantModel(1, 0.5);
    model.fontSize = 6;  // the whole title on the page
    // 120 bytes with spaces as the 50th and 100th bytes: the pieces end with a space.
    std::string title;
    for (int i = 0; title.size() < 120; ++i) title += "w" + std::to_string(i % 10) + "abcdefg ";
    title.resize(120);
    title[119] = 'z';
    ASSERT_EQ(title[49], ' ');
    ASSERT_EQ(title[99], ' ');
    model.generalTitle = title;
    const std::string text = textOf(model, SurfaceKind::pdf);
    EXPECT_NE(text.find(title), std::string::npos) << text;

    // Multi-byte characters over the cuts: pieces end between characters.
    const std::string accents =
        std::string(49, 'a') + "\xC3\xA9" + std::string(47, 'b') + "\xE2\x82\xAC" + std::string(30, 'c');
    model.generalTitle = accents;
    EXPECT_NE(textOf(model, SurfaceKind::pdf).find(accents), std::string::npos);
}

TEST_F(PdfTitle, LongTitleSplitsAtASeparatorInItsSecondHalf) {
    const struct {
        const char* title;
        const char* firstLine;
        const char* secondLine;
    } rows[] = {
        {"Kivrel demo output :: sine and noise", "Kivrel demo output", "sine and noise"},
        {"ab :: cdefghijklmnopqrstuvwxyz", "ab :: cdefghijklmnopqrstuvwxyz", nullptr},
        {"short :: title", "short :: title", nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.title);
        PlotModel model = constantModel(1, 0.5);
        model.generalTitle = r.title;
        const std::string text = textOf(model, SurfaceKind::screen);
        const std::size_t first = text.find(r.firstLine);
        ASSERT_NE(first, std::string::npos) << text;
        if (r.secondLine) {
            const std::size_t second = text.find(r.secondLine);
            ASSERT_NE(second, std::string::npos) << text;
            EXPECT_NE(text.find('\n', first), std::string::npos);
            EXPECT_GT(second, text.find('\n', first));  // on a later line
        }
    }
}

TEST_F(PdfTitle, FramesModeLabelsTheXAxisInSecondsWithASamplingRate) {
    // 601 slots in Frames mode: the frame spans samples 0 to 539, labelled at its two ends.
    PlotModel model = constantModel(1, 0.5);
    model.setXSize(601);
    model.frames = true;
    const struct {
        std::uint32_t rate;
        const char* firstLabel;
        const char* lastLabel;
    } rows[] = {{0, "0", "539"}, {100, "0s", "5.39s"}, {4, "0s", "134.8s"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.rate);
        model.samplingRate = r.rate;
        const std::string text = textOf(model, SurfaceKind::pdf);
        EXPECT_NE(text.find(std::string(" ") + r.firstLabel + " "), std::string::npos) << text;
        EXPECT_NE(text.find(r.lastLabel), std::string::npos) << text;
        if (r.rate != 0) {
            EXPECT_EQ(text.find("539"), std::string::npos) << text;
        }
    }
    // An X scale (an expression evaluated over a range) goes before the sampling rate.
    model.samplingRate = 100;
    model.displays[0].xScaleSize = 601;
    model.displays[0].xScaleMin = 0;
    model.displays[0].xScaleMax = 60;
    EXPECT_NE(textOf(model, SurfaceKind::pdf).find("53.90"), std::string::npos);
}

// Min/Max Envelope: 1,000,000 samples of 0 in the range -1..1, fully zoomed out into 600 columns
// (1667 samples per column); a spike of 1 lies at row 2, the flat trace at row 150.
class Envelope : public ::testing::Test {
  protected:
    static constexpr std::uint32_t slots = 1000000;
    static constexpr int width = 600, height = 300;

    void SetUp() override {
        model.maxXSize = noXLimit;
        model.setXSize(slots);
        model.addGraph("");
        ASSERT_EQ(model.graphs[0].samples.size(), slots);
        model.displays[0].autoRange = false;
        model.displays[0].yMin = -1;
        model.displays[0].yMax = 1;
        model.writeIndex = slots - 1;  // position k shows slot k
        model.markAllReceived();
        model.lineWidth = 2;
        ASSERT_EQ(view.step, 1667);
        ASSERT_EQ(PlotLayout(model, {height, 0}).valueToY(0, 1), 2);
        ASSERT_EQ(PlotLayout(model, {height, 0}).valueToY(0, 0), 150);
    }

    std::unique_ptr<Canvas> draw() {
        auto canvas = std::make_unique<Canvas>(width, height);
        canvas->draw(model, view, &cache);  // kept from frame to frame, as on screen
        return canvas;
    }

    static bool samePicture(const Canvas& a, const Canvas& b) {
        cairo_surface_flush(a.surface.get());
        cairo_surface_flush(b.surface.get());
        const int stride = cairo_image_surface_get_stride(a.surface.get());
        return std::memcmp(cairo_image_surface_get_data(a.surface.get()),
                           cairo_image_surface_get_data(b.surface.get()),
                           static_cast<std::size_t>(stride) * height) == 0;
    }

    PlotModel model;
    PlotViewCache cache;
    HorizontalView view = horizontalViewFor(width, false, slots, -static_cast<int>(slots), 0);
};

TEST_F(Envelope, AOneSampleSpikeReachesItsRowOnlyWithTheEnvelope) {
    const struct {
        const char* name;
        bool highFrequency;
        std::uint32_t writeIndex, spikeSlot;
        int column;  // pixel column of the drawn point whose samples hold the spike
    } rows[] = {
        // Slot 499000 lies inside the column of sample 498433 (x 299.06), not on a drawn point.
        {"scrolling", false, slots - 1, 499000, 299},
        // Positions 498433..500099 show slots 998433..999999 and then 0..99: the ring wraps.
        {"scrolling, the column wraps around the ring", false, 499999, 10, 299},
        {"high frequency", true, slots - 1, 499000, 299},
        // The trace after the gap begins with one point for samples 300020..301686 (x 180.01).
        {"high frequency, first point after the gap", true, 300000, 301000, 180},
    };
    const Colour& c = model.graphs[0].colour;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        model.highFrequency = r.highFrequency;
        model.writeIndex = r.writeIndex;
        std::vector<double>& samples = model.graphs[0].samples;
        samples.assign(slots, 0.0);
        model.noteSamplesRewritten();  // written here, not through the model
        model.envelope = false;
        const auto flat = draw();
        EXPECT_TRUE(samePicture(*draw(), *flat));  // no extremes: the envelope draws nothing more
        samples[r.spikeSlot] = 1;
        model.noteSamplesRewritten();
        const auto decimated = draw();
        EXPECT_TRUE(samePicture(*decimated, *flat));  // plain decimation misses the spike
        model.envelope = true;
        const auto envelope = draw();
        for (int y : {4, 40, 80, 120}) EXPECT_TRUE(envelope->is(r.column, y, c)) << y;
        EXPECT_TRUE(envelope->empty(r.column + 4, 40));
        EXPECT_TRUE(decimated->empty(r.column, 40));
        EXPECT_TRUE(envelope->is(r.column + 20, 150, c));
        model.envelope = false;
    }
}

TEST_F(Envelope, AColumnHoldingANonFiniteSampleIsAGap) {
    // Slots 200005 and 200039 (the column's last) lie inside the column of sample 198373 (x 119.02),
    // between two drawn points.
    const Colour& c = model.graphs[0].colour;
    for (const std::size_t slot : {200005, 200039})
        for (const double bad : {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, -HUGE_VAL}) {
            SCOPED_TRACE(testing::Message() << slot << " " << bad);
            model.graphs[0].samples.assign(slots, 0.0);
            model.graphs[0].samples[slot] = bad;
            model.noteSamplesRewritten();
            model.envelope = true;
            const auto envelope = draw();
            EXPECT_TRUE(envelope->empty(119, 150));
            EXPECT_TRUE(envelope->blank(110, 0, 130, 148));  // nothing drawn at the band's edge instead
            EXPECT_TRUE(envelope->is(116, 150, c));
            EXPECT_TRUE(envelope->is(122, 150, c));
            model.envelope = false;
            EXPECT_TRUE(draw()->is(119, 150, c));  // not on a drawn point: plain decimation shows no gap
        }
}

}  // namespace
