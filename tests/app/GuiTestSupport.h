#pragma once
// A real main window for GUI tests, shown on the test display and destroyed afterwards.

#include <string>

#include <gtk/gtk.h>

#include "app/GraphData.h"
#include "app/MainWindow.h"

// Runs the main loop until nothing is pending.
inline void drainEvents() {
    while (gtk_events_pending()) gtk_main_iteration();
}

struct MainWindowFixture {
    GraphData graph;

    MainWindowFixture() {
        buildMainWindow(graph);
        drainEvents();
    }
    ~MainWindowFixture() {
        // The window's "destroy" ends a main loop; none runs here, so disconnect it first.
        g_signal_handlers_disconnect_by_func(graph.mainWindow, reinterpret_cast<gpointer>(gtk_main_quit),
                                             nullptr);
        gtk_widget_destroy(graph.mainWindow);
        if (graph.io.indicatorPixbuf) g_object_unref(graph.io.indicatorPixbuf);
        drainEvents();
    }
    MainWindowFixture(const MainWindowFixture&) = delete;
    MainWindowFixture& operator=(const MainWindowFixture&) = delete;

    // Renders the window into a PNG in the build directory (an artifact for people to look at).
    void saveScreenshot(const std::string& name) const {
        drainEvents();
        const int width = gtk_widget_get_allocated_width(graph.mainWindow);
        const int height = gtk_widget_get_allocated_height(graph.mainWindow);
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(surface);
        gtk_widget_draw(graph.mainWindow, cr);
        cairo_destroy(cr);
        cairo_surface_write_to_png(surface, (std::string(KIVREL_BINARY_DIR) + "/" + name).c_str());
        cairo_surface_destroy(surface);
    }
};
