#include "app/Startup.h"

#include <gtk/gtk.h>

#include "app/GraphData.h"
#include "app/MainWindow.h"

namespace {

// The desktop bell of the default display (what gdk_beep rings).
void ringBell() {
    if (GdkDisplay* display = gdk_display_get_default()) gdk_display_beep(display);
}

void tearDown(GraphData& graph) {
    if (graph.io.indicatorPixbuf) {
        g_object_unref(graph.io.indicatorPixbuf);
        graph.io.indicatorPixbuf = nullptr;
    }
}

}  // namespace

int runKivrel(int argc, char** argv) {
    GraphData graph;
    beepFunction = ringBell;
    if (!gtk_init_check(&argc, &argv)) {
        g_printerr("kivrel: cannot open the display\n");
        return 1;
    }
    buildMainWindow(graph);
    gtk_main();
    tearDown(graph);
    return 0;
}
