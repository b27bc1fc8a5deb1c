#include "render/PlotAreaHandlers.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "render/CairoPtr.h"
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
SurfacePtr drawArea(const PlotAreaWindow& window) {
    SurfacePtr surface{
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, window.areaWidth(), window.areaHeight())};
    CairoPtr cr{cairo_create(surface.get())};
    gtk_widget_draw(window.plot.drawingArea, cr.get());
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
    PlotAreaWindow window;
    PlotModel& model = window.model;
    PlotArea& plot = window.plot;
    feedDemo(model);
    model.gridLevel = 4;
    resizeWindow(window.toplevel, 900, 560);
    saveWidgetScreenshot(window.toplevel, "plot-window.png");

    ASSERT_EQ(model.graphs.size(), 3u);
    const SurfacePtr picture = drawArea(window);
    for (const Graph& g : model.graphs) EXPECT_GT(pixelsOfColour(picture.get(), g.colour), 50) << g.title;
    // The size change configured both scroll bars to the area and the axis.
    const int width = window.areaWidth();
    const int height = window.areaHeight();
    EXPECT_EQ(gtk_adjustment_get_upper(plot.horizontalAdjustment), model.xSize);
    EXPECT_EQ(gtk_adjustment_get_page_size(plot.horizontalAdjustment), width);  // 610 slots fit
    EXPECT_EQ(gtk_adjustment_get_upper(plot.verticalAdjustment), height);
    EXPECT_EQ(gtk_adjustment_get_page_size(plot.verticalAdjustment), height);
    // Every size change replaced the back buffer.
    ASSERT_TRUE(plot.backBuffer);
    EXPECT_EQ(cairo_surface_status(plot.backBuffer.get()), CAIRO_STATUS_SUCCESS);
}

TEST(PlotArea, ShortAxisRaisesTheXZoomAndItsSpinButton) {
    PlotAreaWindow window;
    PlotModel& model = window.model;
    PlotArea& plot = window.plot;
    model.setXSize(101);
    model.addGraph("");
    const int width = window.areaWidth();
    const HorizontalView view = syncPlotWidgets(plot).horizontal;
    const int expected = width / 100 - 1;
    ASSERT_GT(expected, 0);
    EXPECT_EQ(view.xZoom, expected);
    EXPECT_EQ(model.xZoom, expected);
    EXPECT_EQ(gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(plot.xZoomSpin)), expected);
    EXPECT_NEAR(gtk_adjustment_get_page_size(plot.horizontalAdjustment), width / (expected + 1.0), 1e-9);

    // Zoomed out beyond the whole axis: the zoom comes back to the step that shows it all.
    model.setXSize(50001);
    model.xZoom = -99;
    const HorizontalView out = syncPlotWidgets(plot).horizontal;
    const int step = (50000 + width - 1) / width;
    EXPECT_EQ(out.step, step);
    EXPECT_EQ(gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(plot.xZoomSpin)), 1 - step);
    EXPECT_EQ(model.xZoom, 1 - step);
}

TEST(PlotArea, WheelMovesTheRightScrollBar) {
    PlotAreaWindow window;
    PlotModel& model = window.model;
    PlotArea& plot = window.plot;
    model.setXSize(20001);
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
        model.yZoom = r.yZoom;
        syncPlotWidgets(plot);
        gtk_adjustment_set_value(plot.horizontalAdjustment, 5000);
        gtk_adjustment_set_value(plot.verticalAdjustment, 40);  // stays 0 without Y zoom
        const double horizontal = gtk_adjustment_get_value(plot.horizontalAdjustment);
        const double vertical = gtk_adjustment_get_value(plot.verticalAdjustment);
        const double horizontalPage = gtk_adjustment_get_page_increment(plot.horizontalAdjustment);
        const double verticalPage = gtk_adjustment_get_page_increment(plot.verticalAdjustment);

        GdkEvent* event = gdk_event_new(GDK_SCROLL);
        event->scroll.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(plot.drawingArea)));
        event->scroll.direction = r.direction;
        event->scroll.state = r.state;
        gboolean handled = FALSE;
        g_signal_emit_by_name(plot.drawingArea, "scroll-event", event, &handled);
        gdk_event_free(event);
        EXPECT_TRUE(handled);
        EXPECT_DOUBLE_EQ(gtk_adjustment_get_value(plot.horizontalAdjustment),
                         horizontal + r.horizontalQuarters * horizontalPage / 4);
        EXPECT_DOUBLE_EQ(gtk_adjustment_get_value(plot.verticalAdjustment),
                         vertical + r.verticalQuarters * verticalPage / 4);
    }
    drainEvents();
}

}  // namespace
