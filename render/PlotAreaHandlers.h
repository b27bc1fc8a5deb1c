#pragma once
// GTK handlers of the plotting area: drawing, wheel, size changes and the mouse, and the views that
// turn the area's size, the zooms and the scroll bars into picture geometry. user data is the
// GraphData record. Widgets follow the model where it changes (syncPlotWidgets); "draw" only draws.

#include <gtk/gtk.h>

#include "render/Views.h"

struct GraphData;

struct PlotViews {
    HorizontalView horizontal;
    VerticalView vertical;
};

// The views of the drawing area as it stands: its size, the model's zooms and the scroll values.
// Reads the widgets and changes nothing; drawing and export use it.
PlotViews plotViewsOf(const GraphData& graph);

// Brings the widgets in line with the model and the area's size: a corrected X zoom goes to the
// model and the X-Zoom spin button, and both scroll bars are configured to the axis and to what is
// visible. Run wherever the area's size, a zoom or the X axis may have changed; returns the views
// it arrived at.
PlotViews syncPlotWidgets(GraphData& graph);

// After a change of the model: syncPlotWidgets, then a redraw of the area while it exists.
void refreshPlotArea(GraphData& graph);

gboolean onPlotDraw(GtkWidget* area, cairo_t* cr, gpointer data);
gboolean onPlotScroll(GtkWidget* area, GdkEventScroll* event, gpointer data);
gboolean onPlotConfigure(GtkWidget* area, GdkEventConfigure* event, gpointer data);
gboolean onPlotButton(GtkWidget* area, GdkEventButton* event, gpointer data);
gboolean onPlotMotion(GtkWidget* area, GdkEventMotion* event, gpointer data);
