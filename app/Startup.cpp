#include "app/Startup.h"

#include <cstdio>

#include <gtk/gtk.h>

#include "app/CommandLine.h"
#include "app/GraphData.h"
#include "app/MainWindow.h"
#include "app/OpenInput.h"
#include "app/StartupOptions.h"
#include "input/Backup.h"
#include "input/FileName.h"
#include "input/InputChannel.h"
#include "input/Messages.h"

namespace {

// The desktop bell of the default display (what gdk_beep rings).
void ringBell() {
    if (GdkDisplay* display = gdk_display_get_default()) gdk_display_beep(display);
}

void tearDown(GraphData& graph) {
    closeInput(graph.io);
    closeBackup(graph.io);
    if (graph.io.indicatorPixbuf) {
        g_object_unref(graph.io.indicatorPixbuf);
        graph.io.indicatorPixbuf = nullptr;
    }
}

}  // namespace

int runKivrel(int argc, char** argv) {
    GraphData graph;
    beepFunction = ringBell;
    // GTK's own options are taken out and the locale is set without opening the display, so that
    // -h and -v answer in a terminal that has none.
    gtk_parse_args(&argc, &argv);
    StartupOptions options;
    const int firstFile = parseCommandLine(argc, argv, graph, options);
    if (options.serialSpeed > 0) {
        graph.serialSpeed = static_cast<std::int32_t>(options.serialSpeed > 0x7FFFFFFF ? 0x7FFFFFFF : options.serialSpeed);
    }
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "kivrel: cannot open the display (is DISPLAY set?)\n");
        return 1;
    }
    buildMainWindow(graph);
    if (options.failedConfigFile) {
        showErrorDialog(graph.mainWindow, "Error: Failed opening file: ", options.failedConfigFile);
    }
    if (options.backupName) {
        FileName backup;
        backup.setFromUtf8(options.backupName);
        if (!backup.empty()) openBackup(backup, options.append, graph.io);
    }
    if (options.inputName && *options.inputName) {
        FileName input;
        input.setFromUtf8(options.inputName);
        // Plot files named after the input keep a directory in their titles, to tell them apart.
        if (firstFile < argc) directoryPruning = false;
        openInput(input, graph.io);
    }
    // Further plot files are merged in order, unless a live input was opened.
    for (int i = firstFile; i < argc && !graph.io.inputChannel; ++i) {
        FileName file;
        file.setFromUtf8(argv[i]);
        mergePlotFile(file, graph.io);
    }
    gtk_main();
    tearDown(graph);
    return 0;
}
