#pragma once
// A real main window for GUI tests, shown on the test display and destroyed afterwards.

#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "app/GraphData.h"
#include "app/MainWindow.h"
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
        // The window's "destroy" ends a main loop; none runs here, so disconnect it first.
        g_signal_handlers_disconnect_by_func(graph.mainWindow, reinterpret_cast<gpointer>(gtk_main_quit),
                                             nullptr);
        gtk_widget_destroy(graph.mainWindow);
        drainEvents();
        // A timer or watch still holding one of the records would write into whatever takes this
        // memory next (the next test's window, as often as not).
        const std::pair<const char*, void*> records[] = {{"GraphData", &graph},
                                                         {"IOData", &graph.io},
                                                         {"ConfData", &graph.conf},
                                                         {"DisplayData", &graph.display},
                                                         {"PlotArea", &graph.plot}};
        for (const auto& [name, record] : records) {
            EXPECT_EQ(g_main_context_find_source_by_user_data(nullptr, record), nullptr)
                << "a main-loop source outlives the " << name << " it was given";
        }
    }
    MainWindowFixture(const MainWindowFixture&) = delete;
    MainWindowFixture& operator=(const MainWindowFixture&) = delete;

    // Renders the window into a PNG in the build directory (an artifact for people to look at).
    void saveScreenshot(const std::string& name) const { saveWidgetScreenshot(graph.mainWindow, name); }
};
