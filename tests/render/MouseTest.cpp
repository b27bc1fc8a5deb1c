#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "render/CairoPtr.h"
#include "render/Mouse.h"
#include "render/PlotAreaHandlers.h"
#include "render/Readout.h"
#include "tests/render/PlotAreaTestSupport.h"

namespace {

struct Point {
    double x, y;
};

// Where a step points: the middle of a display's data area, a graph's legend square, or the row
// of a value in a display.
struct Target {
    enum Kind { display, square, value, fixed } kind;
    unsigned index = 0;
    double v = 0.0;
    Point at{0, 0};
};
Target inDisplay(unsigned d) {
    return {Target::display, d, 0.0, {}};
}
Target onSquare(unsigned g) {
    return {Target::square, g, 0.0, {}};
}
Target atValue(unsigned d, double v) {
    return {Target::value, d, v, {}};
}
Target atPoint(double x, double y) {
    return {Target::fixed, 0, 0.0, {x, y}};
}

// One event sent to the drawing area, what the handler must answer, and what must hold afterwards.
struct Step {
    GdkEventType type;
    guint button;
    guint state;
    Target where;
    gboolean handled;
    std::function<void()> check;
};

class MouseTest : public ::testing::Test {
  protected:
    void SetUp() override { resizeWindow(window.toplevel, 900, 640); }

    // Displays of weight 1, not independent; graph g sits in display displayOf[g]; every graph holds
    // -1 and 2, so every display has the range -1..2.
    void layout(const std::vector<unsigned>& displayOf, unsigned displayCount) {
        model.clear();
        model.setIndependentDisplays(false);
        while (model.displays.size() < displayCount) model.addDisplay(1);
        std::string low, high;
        for (std::size_t g = 0; g < displayOf.size(); ++g) {
            low += "-1 ";
            high += "2 ";
        }
        model.processLine(low.c_str());
        model.processLine(high.c_str());
        for (unsigned g = 0; g < displayOf.size(); ++g) model.moveGraphToDisplay(g, displayOf[g]);
        model.recomputeAllYRanges();
        drainEvents();
        takeRedrawRequest(plot.drawingArea);
    }

    int width() const { return gtk_widget_get_allocated_width(plot.drawingArea); }
    int height() const { return gtk_widget_get_allocated_height(plot.drawingArea); }
    int virtualHeight() const { return height() * (model.yZoom + 1); }
    double yOrigin() const { return -(model.yZoom + 1) * gtk_adjustment_get_value(plot.verticalAdjustment); }
    PlotLayout plotLayout() const { return PlotLayout(model, {virtualHeight(), yOrigin(), width()}); }

    // The middle of a graph's legend square where the layout puts it, as the renderer's tests check
    // the drawing does: 8 x 8 at x 10 (70 in Frames mode), in rows of 12 pixels (font size 10) from
    // the top of the graph's display, and below the title.
    Point squareOf(unsigned g) const {
        const LegendEntry e = plotLayout().legendEntry(g);
        EXPECT_TRUE(e.shown);
        EXPECT_EQ(e.squareX, model.frames ? 70.0 : 10.0);
        return {e.squareX + 4, e.squareTop + 4};
    }

    Point pointOf(const Target& t) const {
        switch (t.kind) {
            case Target::display: {
                const DisplayBand band = plotLayout().band(t.index);
                return {width() * 0.6, std::floor((band.top + 2 + band.bottom) / 2)};
            }
            case Target::square: return squareOf(t.index);
            case Target::value: return {width() * 0.6, plotLayout().valueToY(t.index, t.v)};
            case Target::fixed: break;
        }
        return t.at;
    }

    // Sends one event to the drawing area through its signal and returns the handler's answer.
    gboolean send(GdkEventType type, guint button, guint state, Point p) {
        GdkEvent* event = gdk_event_new(type);
        GdkWindow* target = GDK_WINDOW(g_object_ref(gtk_widget_get_window(plot.drawingArea)));
        const char* signal = "motion-notify-event";
        if (type == GDK_MOTION_NOTIFY) {
            event->motion.window = target;
            event->motion.x = p.x;
            event->motion.y = p.y;
            event->motion.state = state;
        } else {
            event->button.window = target;
            event->button.x = p.x;
            event->button.y = p.y;
            event->button.button = button;
            event->button.state = state;
            signal = type == GDK_BUTTON_RELEASE ? "button-release-event" : "button-press-event";
        }
        gdk_event_set_device(event,
                             gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
        gboolean handled = FALSE;
        g_signal_emit_by_name(plot.drawingArea, signal, event, &handled);
        gdk_event_free(event);
        return handled;
    }

    void run(const std::vector<Step>& steps) {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            SCOPED_TRACE("step " + std::to_string(i));
            const Step& s = steps[i];
            EXPECT_EQ(send(s.type, s.button, s.state, pointOf(s.where)), s.handled);
            EXPECT_EQ(takeRedrawRequest(plot.drawingArea), s.handled != FALSE)
                << "a handled event redraws, no other";
            if (s.check) s.check();
        }
    }

    void pressRelease(guint button, guint state, Target where) {
        const guint held = button == 1 ? GDK_BUTTON1_MASK : GDK_BUTTON3_MASK;
        send(GDK_BUTTON_PRESS, button, state, pointOf(where));
        send(GDK_BUTTON_RELEASE, button, state | held, pointOf(where));
        drainEvents();
    }

    std::vector<bool> enabledStates() const {
        std::vector<bool> out;
        for (const Graph& g : model.graphs) out.push_back(g.enabled);
        return out;
    }
    std::vector<unsigned> displaysOfGraphs() const {
        std::vector<unsigned> out;
        for (const Graph& g : model.graphs) out.push_back(g.display);
        return out;
    }
    std::vector<unsigned> weights() const {
        std::vector<unsigned> out;
        for (const Display& d : model.displays) out.push_back(d.weight);
        return out;
    }
    void expectNoDrag() const {
        EXPECT_EQ(model.dragSourceDisplay, -1);
        EXPECT_EQ(model.dragTargetDisplay, -1);
        EXPECT_EQ(model.dragGraph, -1);
    }
    void expectCrosshairAt(Target where) const {
        const Point p = pointOf(where);
        EXPECT_EQ(model.crosshairX, p.x);
        EXPECT_EQ(model.crosshairY, p.y);
    }
    void expectNoCrosshair() const {
        EXPECT_EQ(model.crosshairX, -1.0);
        EXPECT_EQ(model.crosshairY, -1.0);
    }

    PlotAreaWindow window;
    PlotModel& model = window.model;
    PlotArea& plot = window.plot;
};

constexpr guint left = 1, right = 3;
constexpr guint held1 = GDK_BUTTON1_MASK, held3 = GDK_BUTTON3_MASK;
constexpr guint shift = GDK_SHIFT_MASK, control = GDK_CONTROL_MASK, alt = GDK_MOD1_MASK;

// Every mouse action of the help text, on graphs 0 and 1 in display 0, graph 2 in display 1 and
// graph 3 in display 2.
TEST_F(MouseTest, EveryMouseActionOfTheHelpText) {
    const std::vector<bool> allOn{true, true, true, true};
    struct Row {
        const char* name;
        std::function<void()> prepare;
        std::vector<Step> steps;
    };
    const std::vector<Row> rows{
        {"left press, hold and move off the squares: the crosshair follows and goes on release",
         nullptr,
         {{GDK_BUTTON_PRESS, left, 0, inDisplay(1), TRUE, [&] { expectCrosshairAt(inDisplay(1)); }},
          {GDK_MOTION_NOTIFY, 0, held1, inDisplay(2), TRUE, [&] { expectCrosshairAt(inDisplay(2)); }},
          {GDK_BUTTON_RELEASE, left, held1, inDisplay(2), TRUE,
           [&] {
               expectNoCrosshair();
               EXPECT_TRUE(model.displays[2].refLines.empty());
           }}}},
        {"Control + left click: crosshair while held, a reference line at the value on release",
         nullptr,
         {{GDK_BUTTON_PRESS, left, control, atValue(1, 0.25), TRUE,
           [&] { expectCrosshairAt(atValue(1, 0.25)); }},
          {GDK_BUTTON_RELEASE, left, control | held1, atValue(1, 0.25), TRUE,
           [&] {
               expectNoCrosshair();
               ASSERT_EQ(model.displays[1].refLines.size(), 1u);
               EXPECT_NEAR(model.displays[1].refLines[0], 0.25, 1e-9);
               EXPECT_TRUE(model.displays[0].refLines.empty());
           }}}},
        {"right click: the display's graphs take the negation of the first one's state",
         [&] { model.graphs[0].enabled = false; },
         {{GDK_BUTTON_PRESS, right, 0, inDisplay(0), TRUE, nullptr},
          {GDK_BUTTON_RELEASE, right, held3, inDisplay(0), TRUE,
           [&] {
               EXPECT_EQ(enabledStates(), allOn);
               expectNoDrag();
           }}}},
        {"Shift + right click: same as a right click",
         nullptr,
         {{GDK_BUTTON_PRESS, right, shift, inDisplay(0), FALSE, nullptr},
          {GDK_BUTTON_RELEASE, right, shift | held3, inDisplay(0), TRUE,
           [&] {
               EXPECT_EQ(enabledStates(), (std::vector<bool>{false, false, true, true}));
           }}}},
        {"Control + right click: weight + 1",
         nullptr,
         {{GDK_BUTTON_PRESS, right, control, inDisplay(2), FALSE, nullptr},
          {GDK_BUTTON_RELEASE, right, control | held3, inDisplay(2), TRUE,
           [&] {
               EXPECT_EQ(weights(), (std::vector<unsigned>{1, 1, 2}));
               EXPECT_EQ(model.totalWeight, 4u);
               EXPECT_EQ(enabledStates(), allOn);
           }}}},
        {"Alt + right click: weight - 1",
         [&] { model.setDisplayWeight(2, 3); },
         {{GDK_BUTTON_PRESS, right, alt, inDisplay(2), FALSE, nullptr},
          {GDK_BUTTON_RELEASE, right, alt | held3, inDisplay(2), TRUE,
           [&] {
               EXPECT_EQ(weights(), (std::vector<unsigned>{1, 1, 2}));
           }}}},
        {"right drag: the display moves live to the position under the pointer",
         nullptr,
         {{GDK_BUTTON_PRESS, right, 0, inDisplay(0), TRUE,
           [&] {
               EXPECT_EQ(model.dragSourceDisplay, 0);
               EXPECT_EQ(model.dragTargetDisplay, 0);
           }},
          {GDK_MOTION_NOTIFY, 0, held3, inDisplay(1), TRUE,
           [&] {
               EXPECT_EQ(displaysOfGraphs(), (std::vector<unsigned>{1, 1, 0, 2}));
               EXPECT_EQ(model.dragSourceDisplay, 1);
           }},
          {GDK_BUTTON_RELEASE, right, held3, inDisplay(1), TRUE,
           [&] {
               EXPECT_EQ(displaysOfGraphs(), (std::vector<unsigned>{1, 1, 0, 2}));
               EXPECT_EQ(enabledStates(), allOn);
               expectNoDrag();
           }}}},
        {"left click on a graph's square toggles it",
         nullptr,
         {{GDK_BUTTON_PRESS, left, 0, onSquare(2), TRUE,
           [&] {
               EXPECT_EQ(model.dragGraph, 2);
               EXPECT_EQ(model.dragTargetDisplay, 1);
               expectNoCrosshair();
           }},
          {GDK_BUTTON_RELEASE, left, held1, onSquare(2), TRUE,
           [&] {
               EXPECT_EQ(enabledStates(), (std::vector<bool>{true, true, false, true}));
               expectNoDrag();
           }}}},
        {"Shift + left click on a square toggles it",
         nullptr,
         {{GDK_BUTTON_PRESS, left, shift, onSquare(3), FALSE, [&] { expectNoCrosshair(); }},
          {GDK_BUTTON_RELEASE, left, shift | held1, onSquare(3), TRUE,
           [&] {
               EXPECT_EQ(enabledStates(), (std::vector<bool>{true, true, true, false}));
           }}}},
        {"left drag from a square: shown in the display under the pointer, moved there on release",
         nullptr,
         {{GDK_BUTTON_PRESS, left, 0, onSquare(1), TRUE, nullptr},
          {GDK_MOTION_NOTIFY, 0, held1, inDisplay(2), TRUE,
           [&] {
               EXPECT_EQ(model.effectiveDisplayOf(1), 2u);
               EXPECT_EQ(model.graphs[1].display, 0u);
               expectNoCrosshair();
           }},
          {GDK_BUTTON_RELEASE, left, held1, inDisplay(2), TRUE,
           [&] {
               EXPECT_EQ(displaysOfGraphs(), (std::vector<unsigned>{0, 2, 1, 2}));
               EXPECT_EQ(model.graphs[1].slot, 0u);  // slots follow the graph order in a display
               EXPECT_EQ(model.graphs[3].slot, 1u);
               EXPECT_EQ(enabledStates(), allOn);
               expectNoDrag();
           }}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        layout({0, 0, 1, 2}, 3);
        if (row.prepare) row.prepare();
        run(row.steps);
    }
}

TEST_F(MouseTest, ControlLeftReleaseOutsideEveryDataAreaAddsALineAtZero) {
    for (const bool frames : {true, false}) {
        SCOPED_TRACE(frames ? "frame margin under the frame" : "gap under the data area");
        layout({0, 1}, 2);
        model.frames = frames;
        const DisplayBand band = plotLayout().band(0);
        const Point p{width() * 0.5, band.bottom + (frames ? 10 : 1)};
        send(GDK_BUTTON_PRESS, left, control, p);
        EXPECT_TRUE(send(GDK_BUTTON_RELEASE, left, control | held1, p));
        EXPECT_EQ(model.displays[0].refLines, std::vector<double>{0.0});
        EXPECT_TRUE(model.displays[1].refLines.empty());
    }
}

TEST_F(MouseTest, ClicksOutsideEveryDisplayChangeNothing) {
    const struct {
        const char* name;
        bool frames;
        guint state;
        double y;  // relative to the area's height
    } rows[] = {
        {"right click below the last display", false, 0, 1.05},
        {"Shift + right click below the last display", false, shift, 1.2},
        {"Control + right click below the last display", false, control, 1.05},
        {"right click in the top margin of Frames mode", true, 0, 0.01},
        {"Alt + right click in the top margin of Frames mode", true, alt, 0.01},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        layout({0, 0, 1}, 2);
        model.setDisplayWeight(1, 2);
        model.frames = r.frames;
        const std::vector<bool> enabled = enabledStates();
        const std::vector<unsigned> assignment = displaysOfGraphs();
        const std::vector<unsigned> weight = weights();
        pressRelease(right, r.state, atPoint(width() * 0.5, height() * r.y));
        EXPECT_EQ(enabledStates(), enabled);
        EXPECT_EQ(displaysOfGraphs(), assignment);
        EXPECT_EQ(weights(), weight);
        expectNoDrag();
    }
    // Left of the area (a released grab) the display under the row is not taken either.
    layout({0, 0, 1}, 2);
    pressRelease(right, 0, atPoint(-5, pointOf(inDisplay(0)).y));
    EXPECT_EQ(enabledStates(), (std::vector<bool>{true, true, true}));
}

TEST_F(MouseTest, WeightsStayWithinOneTo99) {
    layout({0, 1}, 2);
    model.setDisplayWeight(1, 99);
    pressRelease(right, alt, inDisplay(0));
    pressRelease(right, control, inDisplay(1));
    EXPECT_EQ(weights(), (std::vector<unsigned>{1, 99}));
    EXPECT_EQ(model.totalWeight, 100u);
}

TEST_F(MouseTest, AGraphDragReleasedOverItsOwnDisplayOrSquareChangesNothing) {
    const struct {
        const char* name;
        std::vector<Target> path;  // motions, then the release at the last one
    } rows[] = {
        {"over its own display", {inDisplay(1), inDisplay(0)}},
        {"back on its own square", {inDisplay(1), onSquare(1)}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        layout({0, 0, 1}, 2);
        EXPECT_TRUE(send(GDK_BUTTON_PRESS, left, 0, pointOf(onSquare(1))));
        for (const Target& t : r.path) EXPECT_TRUE(send(GDK_MOTION_NOTIFY, 0, held1, pointOf(t)));
        EXPECT_TRUE(send(GDK_BUTTON_RELEASE, left, held1, pointOf(r.path.back())));
        EXPECT_EQ(displaysOfGraphs(), (std::vector<unsigned>{0, 0, 1}));
        EXPECT_EQ(enabledStates(), (std::vector<bool>{true, true, true}));
        expectNoDrag();
    }
}

TEST_F(MouseTest, ARightDragFromTopToBottomMovesTheDisplayOneStepPerDisplayPassed) {
    layout({0, 1, 2, 3}, 4);
    ASSERT_TRUE(send(GDK_BUTTON_PRESS, right, 0, pointOf(inDisplay(0))));
    const std::vector<std::vector<unsigned>> expected{
        {1, 0, 2, 3},
        {2, 0, 1, 3},
        {3, 0, 1, 2},
    };
    for (unsigned k = 1; k <= 3; ++k) {
        SCOPED_TRACE("over display " + std::to_string(k));
        // Two motions inside each display: only the first one that reaches it moves anything.
        EXPECT_TRUE(send(GDK_MOTION_NOTIFY, 0, held3, pointOf(inDisplay(k))));
        EXPECT_TRUE(send(GDK_MOTION_NOTIFY, 0, held3, pointOf(atValue(k, 1.5))));
        EXPECT_EQ(displaysOfGraphs(), expected[k - 1]);
        EXPECT_EQ(model.dragSourceDisplay, static_cast<int>(k));
    }
    EXPECT_TRUE(send(GDK_BUTTON_RELEASE, right, held3, pointOf(inDisplay(3))));
    EXPECT_EQ(displaysOfGraphs(), expected.back());
    EXPECT_EQ(enabledStates(), (std::vector<bool>{true, true, true, true}));
    expectNoDrag();
}

TEST_F(MouseTest, ShiftOrAltLeftPressShowsNoCrosshair) {
    const struct {
        const char* name;
        guint state;
        bool crosshair;
    } rows[] = {
        {"Shift", shift, false},
        {"Alt", alt, false},
        {"Shift + Alt", shift | alt, false},
        {"Control + Shift", control | shift, true},
        {"Caps Lock counts as no modifier", GDK_LOCK_MASK, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        layout({0, 1}, 2);
        EXPECT_EQ(send(GDK_BUTTON_PRESS, left, r.state, pointOf(inDisplay(1))), r.crosshair);
        EXPECT_EQ(model.crosshairX >= 0, r.crosshair);
        send(GDK_BUTTON_RELEASE, left, r.state | held1, pointOf(inDisplay(1)));
        expectNoCrosshair();
    }
}

TEST_F(MouseTest, SquaresAndDisplaysAreFoundWhenZoomedAndScrolled) {
    layout({0, 1, 2}, 3);
    model.yZoom = 2;
    syncPlotWidgets(plot);
    // A redraw made the vertical scroll bar a third of the area; scroll to its end, so that the
    // last display fills the area.
    gtk_adjustment_set_value(plot.verticalAdjustment, height());
    drainEvents();
    ASSERT_GT(gtk_adjustment_get_value(plot.verticalAdjustment), 0.0);
    ASSERT_GT(pointOf(onSquare(2)).y, 0.0);
    pressRelease(left, 0, onSquare(2));
    EXPECT_EQ(enabledStates(), (std::vector<bool>{true, true, false}));
    pressRelease(right, control, inDisplay(2));
    EXPECT_EQ(weights(), (std::vector<unsigned>{1, 1, 2}));
}

TEST_F(MouseTest, LegendSquaresFollowFramesMode) {
    for (const bool frames : {false, true}) {
        SCOPED_TRACE(frames ? "Frames mode" : "no frames");
        layout({0, 1}, 2);
        model.frames = frames;
        const Point square = pointOf(onSquare(1));
        // The square of the other layout is plain plot area: a click there shows the crosshair only.
        pressRelease(left, 0, atPoint(frames ? 14 : 74, square.y));
        EXPECT_EQ(enabledStates(), (std::vector<bool>{true, true}));
        pressRelease(left, 0, atPoint(square.x, square.y));
        EXPECT_EQ(enabledStates(), (std::vector<bool>{true, false}));
    }
}

TEST_F(MouseTest, OtherButtonsAndEventsAreLeftToGtk) {
    layout({0, 1}, 2);
    const Point p = pointOf(inDisplay(0));
    EXPECT_FALSE(send(GDK_BUTTON_PRESS, 2, 0, p));
    EXPECT_FALSE(send(GDK_BUTTON_RELEASE, 2, GDK_BUTTON2_MASK, p));
    EXPECT_FALSE(send(GDK_2BUTTON_PRESS, left, 0, p));
    EXPECT_FALSE(send(GDK_MOTION_NOTIFY, 0, 0, p));
    EXPECT_FALSE(send(GDK_MOTION_NOTIFY, 0, held3, p));  // right button held without a drag
    EXPECT_FALSE(takeRedrawRequest(plot.drawingArea));
    expectNoCrosshair();
}

// A pointer far outside the bands (a grab keeps reporting it) or at positions no display has must
// neither index past the displays nor leave a drag behind.
TEST_F(MouseTest, PointerOutsideTheBandsDuringDrags) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const Point outside :
         {Point{-50, -50}, Point{5e9, 5e9}, Point{-1e12, 1e12}, Point{nan, nan}, Point{inf, -inf}}) {
        SCOPED_TRACE(std::to_string(outside.x) + ", " + std::to_string(outside.y));
        for (const guint button : {left, right}) {
            layout({0, 1, 1}, 3);
            const guint held = button == left ? held1 : held3;
            send(GDK_BUTTON_PRESS, button, 0, pointOf(button == left ? onSquare(1) : inDisplay(1)));
            send(GDK_MOTION_NOTIFY, 0, held, outside);
            send(GDK_MOTION_NOTIFY, 0, held, pointOf(inDisplay(0)));
            send(GDK_MOTION_NOTIFY, 0, held, outside);
            send(GDK_BUTTON_RELEASE, button, held | control | shift, outside);
            expectNoDrag();
            EXPECT_EQ(model.displays.size(), 3u);
            for (const Graph& g : model.graphs) EXPECT_LT(g.display, 3u);
            EXPECT_TRUE(std::isfinite(model.crosshairX) && std::isfinite(model.crosshairY));
            for (const Display& d : model.displays) {
                for (const double line : d.refLines) EXPECT_TRUE(std::isfinite(line));
            }
        }
    }
}

// Pixels of the readout box's translucent white, drawn alone through the area's "draw" handler.
int readoutBoxPixels(GtkWidget* area, double pointX, double pointY) {
    const int width = gtk_widget_get_allocated_width(area), height = gtk_widget_get_allocated_height(area);
    SurfacePtr surface{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)};
    {
        CairoPtr cr{cairo_create(surface.get())};
        gtk_widget_draw(area, cr.get());
    }
    cairo_surface_flush(surface.get());
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    int count = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t p = 0;
            std::memcpy(&p, data + y * stride + 4 * x, sizeof p);
            const unsigned alpha = p >> 24;
            const bool box = alpha > 200 && alpha < 235 && (p & 255) == alpha && ((p >> 8) & 255) == alpha;
            if (!box) continue;
            ++count;
            EXPECT_FALSE(std::fabs(x - pointX) < 3 && std::fabs(y - pointY) < 3)
                << "the box covers the point";
        }
    }
    return count;
}

// Holding the left button reads the samples under the pointer: each graph's value is the line that
// arrived at that position, on a ring that came round and on an extendable axis; Shift keeps a
// first point and reads the changes to a second.
TEST_F(MouseTest, ReadoutGivesTheValuesTheGraphsHoldUnderThePointer) {
    const struct {
        const char* name;
        bool fixed;
        int lines;
    } cases[] = {{"ring that came round", true, 1000}, {"extendable axis", false, 800}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        model.clear();
        model.fixedXAxis = c.fixed;
        model.processLine("#$ -no-indep -t up -t down");
        // Line i holds i and -i.
        for (int i = 1; i <= c.lines; ++i)
            model.processLine((std::to_string(i) + " " + std::to_string(-i)).c_str());
        refreshPlotArea(plot);
        drainEvents();
        takeRedrawRequest(plot.drawingArea);
        const auto readout = [&] {
            return readoutOf(model, plotLayout(), plotViewsOf(plot).horizontal, width());
        };
        // The line at position k: the newest stands at position xSize - 2.
        const auto lineAt = [&](long long k) {
            return static_cast<double>(c.lines - (static_cast<long long>(model.xSize) - 2 - k));
        };
        const Point first = pointOf(inDisplay(0));
        const Point second{first.x * 0.5, first.y};
        send(GDK_BUTTON_PRESS, left, 0, first);
        Readout r = readout();
        ASSERT_TRUE(r.shown);
        EXPECT_EQ(r.display, 0);
        ASSERT_EQ(r.values.size(), 2u);
        const VisiblePositions shown = visiblePositions(plotViewsOf(plot).horizontal, model.xSize);
        EXPECT_NEAR(static_cast<double>(r.position),
                    shown.first + first.x * (shown.last - shown.first) / width(), 1.0);
        EXPECT_EQ(r.values[0].value, lineAt(r.position));
        EXPECT_EQ(r.values[1].value, -lineAt(r.position));
        const long long firstPosition = r.position;
        EXPECT_GT(readoutBoxPixels(plot.drawingArea, first.x, first.y), 200);
        // Released with Shift: the point stays; Shift and a press read the changes to the second.
        send(GDK_BUTTON_RELEASE, left, shift | held1, first);
        EXPECT_EQ(model.anchorX, first.x);
        EXPECT_TRUE(send(GDK_BUTTON_PRESS, left, shift, second));
        send(GDK_MOTION_NOTIFY, 0, shift | held1, second);
        r = readout();
        ASSERT_TRUE(r.hasAnchor);
        EXPECT_EQ(r.anchorPosition, firstPosition);
        EXPECT_EQ(r.values[0].value, lineAt(r.position));
        const auto moved = static_cast<double>(r.position - firstPosition);
        EXPECT_EQ(r.values[0].value - r.values[0].anchorValue, moved);
        EXPECT_EQ(r.values[1].value - r.values[1].anchorValue, -moved);
        const std::vector<std::string> lines = readoutLines(model, r);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[1].rfind("up: " + std::to_string(static_cast<long long>(lineAt(r.position))), 0), 0u)
            << lines[1];
        EXPECT_GT(readoutBoxPixels(plot.drawingArea, second.x, second.y), 200);
        // Released without Shift: all of it goes.
        send(GDK_BUTTON_RELEASE, left, held1, second);
        expectNoCrosshair();
        EXPECT_EQ(model.anchorX, -1.0);
        EXPECT_FALSE(readout().shown);
        EXPECT_EQ(readoutBoxPixels(plot.drawingArea, second.x, second.y), 0);
    }
}

}  // namespace
