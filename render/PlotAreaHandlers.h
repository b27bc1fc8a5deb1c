#pragma once
// GTK handlers of the plotting area: drawing, wheel, size changes and the mouse, and the views that
// turn the area's size, the zooms and the scroll bars into picture geometry. user data is the
// GraphData record.

#include <gtk/gtk.h>

#include "render/Views.h"

struct GraphData;

// The horizontal view for the drawing area's current width. Reconfigures the horizontal scroll bar
// to the axis and the visible span, and writes a corrected X zoom back to the model and the X-Zoom
// spin button.
HorizontalView makeHorizontalView(GraphData& graph);
// The vertical view for the drawing area's current height; reconfigures the vertical scroll bar.
VerticalView makeVerticalView(GraphData& graph);

gboolean onPlotDraw(GtkWidget* area, cairo_t* cr, gpointer data);
gboolean onPlotScroll(GtkWidget* area, GdkEventScroll* event, gpointer data);
gboolean onPlotConfigure(GtkWidget* area, GdkEventConfigure* event, gpointer data);
gboolean onPlotButton(GtkWidget* area, GdkEventButton* event, gpointer data);
gboolean onPlotMotion(GtkWidget* area, GdkEventMotion* event, gpointer data);
