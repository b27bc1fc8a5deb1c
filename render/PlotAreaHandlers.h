#pragma once
// GTK handlers of the plotting area: drawing, wheel, size changes and the mouse. user data is the
// GraphData record.

#include <gtk/gtk.h>

gboolean onPlotDraw(GtkWidget* area, cairo_t* cr, gpointer data);
gboolean onPlotScroll(GtkWidget* area, GdkEventScroll* event, gpointer data);
gboolean onPlotConfigure(GtkWidget* area, GdkEventConfigure* event, gpointer data);
gboolean onPlotButton(GtkWidget* area, GdkEventButton* event, gpointer data);
gboolean onPlotMotion(GtkWidget* area, GdkEventMotion* event, gpointer data);
