#pragma once
// A real main window for GUI tests, shown on the test display and destroyed afterwards; an input
// still open is closed first.

#include <string>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "app/GraphData.h"
#include "app/MainWindow.h"
#include "input/InputChannel.h"
#include "tests/support/DialogScript.h"
#include "tests/support/GtkTestSupport.h"

// Ctrl+key to the main window.
inline void pressControl(GraphData& graph, guint key) {
    pressKey(graph.mainWindow, key, GDK_CONTROL_MASK);
}

struct MainWindowFixture {
    GraphData graph;

    MainWindowFixture() {
        buildMainWindow(graph);
        drainEvents();
    }
    ~MainWindowFixture() {
        closeInput(graph.io);
        // The window's "destroy" ends a main loop; none runs here, so disconnect it first.
        g_signal_handlers_disconnect_by_func(graph.mainWindow, reinterpret_cast<gpointer>(gtk_main_quit),
                                             nullptr);
        destroyTestWindow(graph.mainWindow, {{"GraphData", &graph},
                                             {"IOData", &graph.io},
                                             {"ConfData", &graph.conf},
                                             {"DisplayData", &graph.display},
                                             {"PlotArea", &graph.plot}});
    }
    MainWindowFixture(const MainWindowFixture&) = delete;
    MainWindowFixture& operator=(const MainWindowFixture&) = delete;

    // Renders the window into a PNG in the build directory (an artifact for people to look at).
    void saveScreenshot(const std::string& name) const { saveWidgetScreenshot(graph.mainWindow, name); }
};
