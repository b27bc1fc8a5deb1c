#include "render/PlotAreaHandlers.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "app/GraphData.h"
#include "render/CairoPtr.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/input/InputTestSupport.h"
#include "tests/render/PlotAreaTestSupport.h"

namespace {

// The demo source's layout and 400 of its lines: a sine and a noisy sine in display 0 (weight 2,
// reference lines at +-0.5), a step in display 1 (range -1.5..1.5).
void feedDemo(PlotModel& model) {
    model.processLine("#> Kivrel demo :: sine, noise and a step");
    model.processLine("#$ -no-indep -t sine -t \"noisy sine\" -d 0 -t step -d 1 -dpy 1 -w 1 -y -1.5:1.5");
    model.processLine("#~ -dpy 0 -w 2 -l 0.5 -l -0.5");
    const double pi = std::acos(-1.0);
    for (int i = 0; i < 400; ++i) {
        const double t = i / 50.0;
        char line[96];
        std::snprintf(line, sizeof line, "%.6g %.6g %.6g", std::sin(pi * t),
                      0.8 * std::sin(0.4 * pi * t) + 0.1 * std::sin(37.0 * i),
                      (i / 200) % 2 == 0 ? 1.0 : -1.0);
        model.processLine(line);
    }
}

// Draws the drawing area alone, through its "draw" handler, into an image.
SurfacePtr drawArea(GraphData& graph) {
    SurfacePtr surface{cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
                                                  gtk_widget_get_allocated_width(graph.plot.drawingArea),
                                                  gtk_widget_get_allocated_height(graph.plot.drawingArea))};
    CairoPtr cr{cairo_create(surface.get())};
    gtk_widget_draw(graph.plot.drawingArea, cr.get());
    EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
    cairo_surface_flush(surface.get());
    return surface;
}

int pixelsOfColour(cairo_surface_t* surface, const Colour& c) {
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const auto near = [](unsigned byte, double component) { return std::fabs(byte - component * 255) <= 2; };
    int count = 0;
    for (int y = 0; y < cairo_image_surface_get_height(surface); ++y) {
        for (int x = 0; x < cairo_image_surface_get_width(surface); ++x) {
            std::uint32_t p = 0;
            std::memcpy(&p, data + y * stride + 4 * x, sizeof p);
            if ((p >> 24) == 255 && near((p >> 16) & 255, c.red) && near((p >> 8) & 255, c.green) &&
                near(p & 255, c.blue)) {
                ++count;
            }
        }
    }
    return count;
}

TEST(PlotArea, WindowShowsTheModel) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    feedDemo(graph.model);
    graph.model.gridLevel = 4;
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(graph.gridSpin), 4);
    resizeWindow(graph, 900, 560);
    fixture.saveScreenshot("plot-window.png");

    ASSERT_EQ(graph.model.graphs.size(), 3u);
    const SurfacePtr picture = drawArea(graph);
    for (const Graph& g : graph.model.graphs)
        EXPECT_GT(pixelsOfColour(picture.get(), g.colour), 50) << g.title;
    // The size change configured both scroll bars to the area and the axis.
    const int width = gtk_widget_get_allocated_width(graph.plot.drawingArea);
    const int height = gtk_widget_get_allocated_height(graph.plot.drawingArea);
    EXPECT_EQ(gtk_adjustment_get_upper(graph.plot.horizontalAdjustment), graph.model.xSize);
    EXPECT_EQ(gtk_adjustment_get_page_size(graph.plot.horizontalAdjustment), width);  // 610 slots fit
    EXPECT_EQ(gtk_adjustment_get_upper(graph.plot.verticalAdjustment), height);
    EXPECT_EQ(gtk_adjustment_get_page_size(graph.plot.verticalAdjustment), height);
    // Every size change replaced the back buffer.
    ASSERT_TRUE(graph.plot.backBuffer);
    EXPECT_EQ(cairo_surface_status(graph.plot.backBuffer.get()), CAIRO_STATUS_SUCCESS);
}

TEST(PlotArea, ShortAxisRaisesTheXZoomAndItsSpinButton) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    graph.model.setXSize(101);
    graph.model.addGraph("");
    const int width = gtk_widget_get_allocated_width(graph.plot.drawingArea);
    const HorizontalView view = syncPlotWidgets(graph.plot).horizontal;
    const int expected = width / 100 - 1;
    ASSERT_GT(expected, 0);
    EXPECT_EQ(view.xZoom, expected);
    EXPECT_EQ(graph.model.xZoom, expected);
    EXPECT_EQ(gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(graph.plot.xZoomSpin)), expected);
    EXPECT_NEAR(gtk_adjustment_get_page_size(graph.plot.horizontalAdjustment), width / (expected + 1.0),
                1e-9);

    // Zoomed out beyond the whole axis: the zoom comes back to the step that shows it all.
    graph.model.setXSize(50001);
    // The spin button's change brings the widgets in line at once.
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(graph.plot.xZoomSpin), -99);
    const HorizontalView out = syncPlotWidgets(graph.plot).horizontal;
    const int step = (50000 + width - 1) / width;
    EXPECT_EQ(out.step, step);
    EXPECT_EQ(gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(graph.plot.xZoomSpin)), 1 - step);
    EXPECT_EQ(graph.model.xZoom, 1 - step);
}

TEST(PlotArea, WheelMovesTheRightScrollBar) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    graph.model.setXSize(20001);
    const struct {
        const char* name;
        int yZoom;
        unsigned state;
        GdkScrollDirection direction;
        double horizontalQuarters, verticalQuarters;
    } rows[] = {
        {"plain wheel without Y zoom", 0, 0, GDK_SCROLL_DOWN, 1, 0},
        {"plain wheel with Y zoom", 2, 0, GDK_SCROLL_DOWN, 0, 1},
        {"plain wheel up with Y zoom", 2, 0, GDK_SCROLL_UP, 0, -1},
        {"Control", 2, GDK_CONTROL_MASK, GDK_SCROLL_UP, -1, 0},
        {"Shift", 2, GDK_SHIFT_MASK, GDK_SCROLL_DOWN, 1, 0},
        {"Alt", 2, GDK_MOD1_MASK, GDK_SCROLL_DOWN, 1, 0},
        {"sideways", 2, 0, GDK_SCROLL_LEFT, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        graph.model.yZoom = r.yZoom;
        syncPlotWidgets(graph.plot);
        gtk_adjustment_set_value(graph.plot.horizontalAdjustment, 5000);
        gtk_adjustment_set_value(graph.plot.verticalAdjustment, 40);  // stays 0 without Y zoom
        const double horizontal = gtk_adjustment_get_value(graph.plot.horizontalAdjustment);
        const double vertical = gtk_adjustment_get_value(graph.plot.verticalAdjustment);
        const double horizontalPage = gtk_adjustment_get_page_increment(graph.plot.horizontalAdjustment);
        const double verticalPage = gtk_adjustment_get_page_increment(graph.plot.verticalAdjustment);

        GdkEvent* event = gdk_event_new(GDK_SCROLL);
        event->scroll.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(graph.plot.drawingArea)));
        event->scroll.direction = r.direction;
        event->scroll.state = r.state;
        gboolean handled = FALSE;
        g_signal_emit_by_name(graph.plot.drawingArea, "scroll-event", event, &handled);
        gdk_event_free(event);
        EXPECT_TRUE(handled);
        EXPECT_DOUBLE_EQ(gtk_adjustment_get_value(graph.plot.horizontalAdjustment),
                         horizontal + r.horizontalQuarters * horizontalPage / 4);
        EXPECT_DOUBLE_EQ(gtk_adjustment_get_value(graph.plot.verticalAdjustment),
                         vertical + r.verticalQuarters * verticalPage / 4);
    }
    drainEvents();
}

TEST(PlotArea, SpinButtonsRejectOutOfRangeValuesButStillRedraw) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    // An axis long enough that no X zoom below 0 shows more than all of it, so none is corrected.
    graph.model.setXSize(1000001);
    const struct {
        const char* name;
        GtkWidget* spin;
        double value;
        const std::int32_t* field;
        std::int32_t expected;
    } rows[] = {
        {"Y zoom below 0", graph.yZoomSpin, -3, &graph.model.yZoom, 0},
        {"Y zoom 4", graph.yZoomSpin, 4, &graph.model.yZoom, 4},
        {"Y zoom 150", graph.yZoomSpin, 150, &graph.model.yZoom, 150},
        {"grid 100", graph.gridSpin, 100, &graph.model.gridLevel, 0},
        {"grid -1", graph.gridSpin, -1, &graph.model.gridLevel, 0},
        {"grid 99", graph.gridSpin, 99, &graph.model.gridLevel, 99},
        {"X zoom -150", graph.plot.xZoomSpin, -150, &graph.model.xZoom, -150},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        // Typed text is limited by the spin button's own range; widen it to reach the handler's checks.
        gtk_spin_button_set_range(GTK_SPIN_BUTTON(r.spin), -1000, 1000);
        drainEvents();
        takeRedrawRequest(graph);
        ASSERT_FALSE(takeRedrawRequest(graph));
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(r.spin), r.value);
        EXPECT_EQ(*r.field, r.expected);
        EXPECT_TRUE(takeRedrawRequest(graph));
    }
}

TEST(PlotArea, WidgetsFollowTheModelWhereItChangesNotWhereItIsDrawn) {
    InputWindow window;
    GraphData& graph = window.graph;
    GdkWindow* areaWindow = gtk_widget_get_window(graph.plot.drawingArea);
    const int width = gtk_widget_get_allocated_width(graph.plot.drawingArea);
    const int height = gtk_widget_get_allocated_height(graph.plot.drawingArea);
    ASSERT_GT(width, 600);
    // Nothing is drawn from here on: whatever the widgets show comes from where the model changed.
    gdk_window_freeze_updates(areaWindow);
    const auto upper = [&] { return gtk_adjustment_get_upper(graph.plot.horizontalAdjustment); };
    const auto page = [&] { return gtk_adjustment_get_page_size(graph.plot.horizontalAdjustment); };

    // A device's lines grow an extendable axis; the scroll bar follows it.
    PseudoTerminal device;
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), graph.io));
    std::string lines = "#$ -no-fixed -no-limits\n";
    for (int i = 0; i < 2000; ++i) lines += std::to_string(i % 7) + "\n";
    writeWhileRunning(device.master, lines);
    ASSERT_TRUE(runUntil([&] { return graph.model.xSize >= 2000; }));
    EXPECT_EQ(upper(), graph.model.xSize);
    EXPECT_EQ(page(), width);
    // An option line in the stream turns Frames mode on: the frame margin leaves less to show.
    writeWhileRunning(device.master, "#$ -frame\n5\n");
    ASSERT_TRUE(runUntil([&] { return graph.model.frames; }));
    EXPECT_EQ(page(), width - 60);
    EXPECT_EQ(upper(), graph.model.xSize);

    // The Y-Zoom spin button: the vertical scroll bar shows a quarter of the stretched displays.
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(graph.yZoomSpin), 3);
    EXPECT_DOUBLE_EQ(gtk_adjustment_get_page_size(graph.plot.verticalAdjustment), height / 4.0);
    // The X-Zoom spin button: two pixels per sample.
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(graph.plot.xZoomSpin), 1);
    EXPECT_DOUBLE_EQ(page(), (width - 60) / 2.0);
    gdk_window_thaw_updates(areaWindow);
}

std::int64_t fakeNow = 0;

// A spike of 100 that has left the ring under 24.8 and 25.2: Ctrl+T fits the range to what is in
// view once; in Fit Y to Visible Data mode the range follows the view frame by frame, and narrows
// only a second (on the area's clock) after the spike went.
TEST(PlotArea, YRangesFitTheSamplesInView) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    PlotModel& model = graph.model;
    graph.plot.clock = [] { return fakeNow; };
    const auto steady = [&](int lines) {
        for (int i = 0; i < lines; ++i) model.processLine(i % 2 ? "25.2" : "24.8");
    };
    for (int i = 0; i < 100; ++i) model.processLine("100");
    steady(200);
    const auto range = [&] { return std::pair{model.displays[0].yMin, model.displays[0].yMax}; };

    steady(610);  // the spike is overwritten, but the range of all received samples keeps it
    model.recomputeYRange(0);
    drawArea(graph);
    EXPECT_EQ(range(), std::pair(24.0, 100.0));
    pressControl(graph, GDK_KEY_t);
    drainEvents();
    EXPECT_EQ(range(), std::pair(24.0, 26.0));

    model.processLine("100");
    model.recomputeYRange(0);
    model.yFit = true;
    fakeNow = 0;
    drawArea(graph);
    EXPECT_EQ(range(), std::pair(24.0, 100.0));
    steady(610);
    fakeNow = 500000;
    drawArea(graph);
    EXPECT_EQ(range(), std::pair(24.0, 100.0));
    EXPECT_NE(graph.plot.narrowTimer, 0u) << "a frame follows while the range waits";
    fakeNow = 1500000;
    drawArea(graph);
    EXPECT_EQ(range(), std::pair(24.0, 26.0));
}

}  // namespace
