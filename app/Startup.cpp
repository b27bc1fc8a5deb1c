#include "app/Startup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtk/gtk.h>

#include "app/CommandLine.h"
#include "app/GraphData.h"
#include "app/MainWindow.h"
#include "app/MemoryRefusals.h"
#include "app/OpenInput.h"
#include "app/PlotLoad.h"
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

// Writes "kivrel: <what> <seconds> s after start" to standard error.
void reportTime(const char* what, gint64 startTime) {
    char seconds[G_ASCII_DTOSTR_BUF_SIZE];
    std::fprintf(stderr, "kivrel: %s %s s after start\n", what,
                 g_ascii_formatd(seconds, sizeof seconds, "%.3f",
                                 static_cast<double>(g_get_monotonic_time() - startTime) / 1e6));
    std::fflush(stderr);
}

// With KIVREL_REPORT_FIRST_FRAME set (to anything but empty or "0"), one line goes to standard
// error once the plot area has been drawn for the first time, so that a script can time the
// start-up and knows when the window shows its first picture.
gboolean reportFirstFrame(GtkWidget*, cairo_t*, gpointer start) {
    static bool reported = false;
    if (!reported) {
        reported = true;
        reportTime("first frame drawn", *static_cast<const gint64*>(start));
    }
    return FALSE;
}

// The start of the process while KIVREL_REPORT_FIRST_FRAME asks for timings, else null.
const gint64* reportedStart = nullptr;

void addFirstFrameReport(GraphData& graph, gint64& startTime) {
    const char* value = std::getenv("KIVREL_REPORT_FIRST_FRAME");
    if (!value || !*value || std::strcmp(value, "0") == 0 || !graph.drawingArea) return;
    reportedStart = &startTime;
    // After the plot's own draw handler, so that the frame is complete when the line is written.
    g_signal_connect_after(graph.drawingArea, "draw", G_CALLBACK(reportFirstFrame), &startTime);
}

// With the first-frame report on, a second line tells when the input file and the plot files
// after it are all in the plot (a large file is read after the first frame).
void reportFilesRead() {
    if (reportedStart) reportTime("start-up files read", *reportedStart);
}

gboolean releaseLoad(gpointer data) {
    releasePlotLoad(*recordFrom<GraphData>(data, __LINE__));
    return G_SOURCE_REMOVE;
}

gboolean releaseLoadAfterFrame(GtkWidget* area, cairo_t*, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    g_signal_handlers_disconnect_by_func(area, reinterpret_cast<gpointer>(releaseLoadAfterFrame), data);
    releasePlotLoad(*graph);
    return FALSE;
}

// A large plot file named on the command line is read from the window's first frame on, so that
// frame comes at once; a window that is not drawn (minimised, on another desktop) starts the
// reading after half a second.
void holdLoadForFirstFrame(GraphData& graph) {
    if (!graph.drawingArea) return;
    graph.load.held = true;
    g_signal_connect_after(graph.drawingArea, "draw", G_CALLBACK(releaseLoadAfterFrame), &graph);
    g_timeout_add(500, releaseLoad, &graph);
}

void tearDown(GraphData& graph) {
    stopPlotLoad(graph);
    closeInput(graph.io);
    closeBackup(graph.io);
    if (graph.io.indicatorPixbuf) {
        g_object_unref(graph.io.indicatorPixbuf);
        graph.io.indicatorPixbuf = nullptr;
    }
}

}  // namespace

void startInputs(GraphData& graph, const StartupOptions& options, int argc, char** argv, int firstFile) {
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
    // Further plot files are merged in order, unless a live input was opened; after the whole
    // input file, which may still be being read.
    std::vector<std::string> files(argv + (firstFile < argc ? firstFile : argc), argv + argc);
    afterPlotLoad(graph, [&graph, files = std::move(files)] {
        for (std::size_t i = 0; i < files.size() && !graph.io.inputChannel; ++i) {
            FileName file;
            file.setFromUtf8(files[i].c_str());
            mergePlotFile(file, graph.io);
        }
        reportFilesRead();
    });
}

int runKivrel(int argc, char** argv) {
    gint64 startTime = g_get_monotonic_time();
    GraphData graph;
    beepFunction = ringBell;
    installMemoryHooks(graph);
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
    addFirstFrameReport(graph, startTime);
    holdLoadForFirstFrame(graph);
    startInputs(graph, options, argc, argv, firstFile);
    gtk_main();
    tearDown(graph);
    return 0;
}
