#pragma once
// Helpers for GUI tests of the plotting area: bringing the window to a size and seeing whether the
// drawing area was asked to redraw.

#include <gtk/gtk.h>

#include "app/GraphData.h"
#include "tests/app/GuiTestSupport.h"

// Resizes the window and runs the main loop until GTK has laid it out at the new size.
inline void resizeWindow(GraphData& graph, int width, int height) {
    gtk_window_resize(GTK_WINDOW(graph.mainWindow), width, height);
    const gint64 deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
    while (g_get_monotonic_time() < deadline &&
           (gtk_widget_get_allocated_width(graph.mainWindow) != width ||
            gtk_widget_get_allocated_height(graph.mainWindow) != height)) {
        if (!gtk_main_iteration_do(FALSE)) g_usleep(1000);
    }
    drainEvents();
}

// Whether something asked the drawing area to be redrawn since the last call.
inline bool takeRedrawRequest(GraphData& graph) {
    cairo_region_t* area = gdk_window_get_update_area(gtk_widget_get_window(graph.plot.drawingArea));
    if (!area) return false;
    cairo_region_destroy(area);
    return true;
}
