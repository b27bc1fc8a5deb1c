#pragma once
// GTK handlers of the plotting area: drawing, wheel, size changes and the mouse, and the views that
// turn the area's size, the zooms and the scroll bars into picture geometry. user data is the
// PlotArea record. Widgets follow the model where it changes (syncPlotWidgets); "draw" only draws.

#include <cstdint>

#include <gtk/gtk.h>

#include "model/PlotModel.h"
#include "model/RecordTag.h"
#include "render/CairoPtr.h"
#include "render/PlotLayers.h"
#include "render/Renderer.h"
#include "render/Views.h"
#include "render/YFit.h"

// The plotting area's record: the plot it shows, its widgets and what drawing keeps between frames.
struct PlotArea {
    static constexpr std::int32_t tagValue = plotAreaTag;
    static constexpr const char* typeName = "PlotArea";

    std::int32_t tag = plotAreaTag;
    PlotModel* model = nullptr;
    // Nulled by GTK when the widget is destroyed; test before queueing a redraw.
    GtkWidget* drawingArea = nullptr;
    GtkWidget* xZoomSpin = nullptr;
    GtkAdjustment* horizontalAdjustment = nullptr;
    GtkAdjustment* verticalAdjustment = nullptr;
    // Back buffer of the drawing area's size, an image replaced on every "configure-event"; the
    // "draw" handler draws the picture into it and paints it onto a context that is not an image.
    SurfacePtr backBuffer;
    // What drawing the area keeps from frame to frame.
    PlotViewCache viewCache;
    PlotLayers layers;
    // The tick callback that refreshes the area on its frames while changes keep coming (0 when
    // none runs), and whether a change came since its last frame.
    guint frameTick = 0;
    bool frameWanted = false;
    // Fit Y to Visible Data: the ranges it keeps, its clock (microseconds; tests set their own) and
    // the timer that draws again while a range waits to narrow.
    RangeFollowing following;
    std::int64_t (*clock)() = g_get_monotonic_time;
    guint narrowTimer = 0;

    explicit PlotArea(PlotModel& shown) : model(&shown) {}
    ~PlotArea();
    void stopNarrowTimer() {
        if (narrowTimer != 0) g_source_remove(narrowTimer);
        narrowTimer = 0;
    }
    PlotArea(const PlotArea&) = delete;
    PlotArea& operator=(const PlotArea&) = delete;
};

struct PlotViews {
    HorizontalView horizontal;
    VerticalView vertical;
};

// The views of the drawing area as it stands: its size, the model's zooms and the scroll values.
// Reads the widgets and changes nothing; drawing and export use it.
PlotViews plotViewsOf(const PlotArea& plot);

// Brings the widgets in line with the model and the area's size: a corrected X zoom goes to the
// model and the X-Zoom spin button, and both scroll bars are configured to the axis and to what is
// visible. Run wherever the area's size, a zoom or the X axis may have changed; returns the views
// it arrived at.
PlotViews syncPlotWidgets(PlotArea& plot);

// After a change of the model: syncPlotWidgets, then a redraw of the area while it exists.
void refreshPlotArea(PlotArea& plot);

// After samples arrived: syncPlotWidgets at once, and the picture on the area's next frame, once
// however many changes come before it (streaming input wakes the program many times a frame). The
// frame brings the back buffer up to date and repaints only the region that changed. Nothing
// happens while the area does not exist; the picture waits while the area is not mapped.
void refreshPlotOnNextFrame(PlotArea& plot);

// Connects the handlers below to plot.drawingArea and asks for the events they need. GTK nulls the
// field when the area is destroyed, so later redraw requests can test it.
void connectPlotArea(PlotArea& plot);

gboolean onPlotDraw(GtkWidget* area, cairo_t* cr, gpointer data);
// "destroy" of the drawing area: no timer of the area outlives it.
void onPlotDestroy(GtkWidget* area, gpointer data);
gboolean onPlotScroll(GtkWidget* area, GdkEventScroll* event, gpointer data);
gboolean onPlotConfigure(GtkWidget* area, GdkEventConfigure* event, gpointer data);
gboolean onPlotButton(GtkWidget* area, GdkEventButton* event, gpointer data);
gboolean onPlotMotion(GtkWidget* area, GdkEventMotion* event, gpointer data);
// "query-tooltip": the title of the legend square under the pointer when the legend shows it cut or
// not at all.
gboolean onPlotQueryTooltip(GtkWidget* area, gint x, gint y, gboolean keyboardMode, GtkTooltip* tooltip,
                            gpointer data);
