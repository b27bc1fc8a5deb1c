#include "app/Startup.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <glib-unix.h>
#include <gtk/gtk.h>

#include "app/CommandLine.h"
#include "app/Commands.h"
#include "app/GraphData.h"
#include "app/MainWindow.h"
#include "app/MemoryRefusals.h"
#include "app/OpenInput.h"
#include "app/PlotLoad.h"
#include "app/Settings.h"
#include "files/PlotFile.h"
#include "input/Backup.h"
#include "input/FileName.h"
#include "input/InputChannel.h"
#include "input/Messages.h"
#include "model/StartupOptions.h"
#include "render/PlotAreaHandlers.h"

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
    if (!value || !*value || std::strcmp(value, "0") == 0 || !graph.plot.drawingArea) return;
    reportedStart = &startTime;
    // After the plot's own draw handler, so that the frame is complete when the line is written.
    g_signal_connect_after(graph.plot.drawingArea, "draw", G_CALLBACK(reportFirstFrame), &startTime);
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
    if (!graph.plot.drawingArea) return;
    graph.load.held = true;
    g_signal_connect_after(graph.plot.drawingArea, "draw", G_CALLBACK(releaseLoadAfterFrame), &graph);
    g_timeout_add(500, releaseLoad, &graph);
}

// With KIVREL_SAVE_ON_SIGNAL naming a file, SIGUSR1 saves the plot there as Save would (the format
// chosen by the name's ending) and writes "kivrel: plot saved to <file>" to standard error, or
// "kivrel: plot not saved to <file>": scripts and tests look at what a running program plots.
const char* signalSaveName() {
    const char* name = std::getenv("KIVREL_SAVE_ON_SIGNAL");
    return name && *name ? name : nullptr;
}

gboolean onSaveSignal(gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    finishPlotLoad(*graph);
    FileName name;
    name.setFromUtf8(signalSaveName());
    const bool saved = saveFile(graph->model, name.local(), name.utf8Name) == 0;
    std::fprintf(stderr, "kivrel: plot %s to %s\n", saved ? "saved" : "not saved", name.utf8Name.c_str());
    std::fflush(stderr);
    return G_SOURCE_CONTINUE;
}

guint addSaveSignal(GraphData& graph) {
    return signalSaveName() ? g_unix_signal_add(SIGUSR1, onSaveSignal, &graph) : 0;
}

// The local names of the files the command line reads: the input ("-" for standard input) and
// the plot files after it.
std::vector<std::string> namesToRead(const StartupOptions& options, int argc, char** argv, int firstFile) {
    std::vector<std::string> names;
    auto add = [&names](const char* text) {
        if (std::strcmp(text, "-") == 0 || std::strcmp(text, "Standard Input") == 0) {
            names.emplace_back("-");
            return;
        }
        FileName name;
        name.setFromUtf8(text);
        if (name.local()) names.emplace_back(name.local());
    };
    if (options.inputName && *options.inputName) add(options.inputName);
    for (int i = firstFile; i < argc; ++i) add(argv[i]);
    return names;
}

// Opening a live input cleared the plot (as it must when File > Open Device opens one), but the
// titles, ranges and modes the command line gave are meant for the input it names: they are given
// again to the plot, cleared once more in case the opening failed and left it as it was. The
// source's name stays as the opening set it.
void applyOptionsToLiveInput(GraphData& graph, const StartupOptions& options) {
    PlotModel& model = graph.model;
    std::string sourceName = std::move(model.sourceName);
    std::string generalTitle = std::move(model.generalTitle);
    model.clear();
    model.sourceName = std::move(sourceName);
    model.generalTitle = std::move(generalTitle);
    applyPlotOptions(options, graph);
    refreshPlotArea(graph.plot);
}

void tearDown(GraphData& graph, guint saveSignal) {
    if (saveSignal != 0) g_source_remove(saveSignal);
    // Before the input closes, so that the device in use is the one remembered.
    saveSettings(graph);
    chooserMemory = nullptr;
    stopPlotLoad(graph);
    closeInput(graph.io);
    closeBackup(graph.io);
    dropBackupFailureMessage(graph.io);
}

}  // namespace

void startInputs(GraphData& graph, const StartupOptions& options, int argc, char** argv, int firstFile) {
    if (options.failedConfigFile) {
        showErrorDialog(graph.mainWindow, "Error: Failed opening file: ", options.failedConfigFile);
    }
    if (options.backupName) {
        FileName backup;
        backup.setFromUtf8(options.backupName);
        // A backup onto a file about to be read would empty it first; it is refused instead.
        if (!backup.empty())
            openBackup(backup, options.append, graph.io, namesToRead(options, argc, argv, firstFile));
    }
    if (options.inputName && *options.inputName) {
        FileName input;
        input.setFromUtf8(options.inputName);
        // Plot files named after the input keep a directory in their titles, to tell them apart.
        if (firstFile < argc) directoryPruning = false;
        const bool live = classifyInputName(input.utf8Name.c_str(), input.local()) != InputTarget::plotFile;
        openInput(input, graph.io);
        if (live) applyOptionsToLiveInput(graph, options);
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
    // A backup to standard output whose reader went away, or a file beyond the size limit, must
    // fail its write (and be reported) instead of ending the program.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    GraphData graph;
    beepFunction = ringBell;
    installMemoryHooks(graph);
    // GTK's own options are taken out and the locale is set without opening the display, so that
    // -h and -v answer in a terminal that has none.
    gtk_parse_args(&argc, &argv);
    // What the last run left is the starting point; the command line then overrides it.
    graph.settings.path = settingsPath();
    const std::string settingsProblem = loadSettings(graph);
    StartupOptions options;
    const int firstFile = parseCommandLine(argc, argv, graph, options);
    if (options.exitNow) {
        std::fputs(options.exitNow->text.c_str(), stderr);
        return options.exitNow->status;
    }
    if (!settingsProblem.empty()) std::fprintf(stderr, "kivrel: %s\n", settingsProblem.c_str());
    if (options.serialSpeed > 0) {
        graph.io.serialSpeed =
            static_cast<std::int32_t>(options.serialSpeed > 0x7FFFFFFF ? 0x7FFFFFFF : options.serialSpeed);
    }
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "kivrel: cannot open the display (is DISPLAY set?)\n");
        return 1;
    }
    buildMainWindow(graph);
    addFirstFrameReport(graph, startTime);
    holdLoadForFirstFrame(graph);
    const guint saveSignal = addSaveSignal(graph);
    startInputs(graph, options, argc, argv, firstFile);
    // A device and speed named on the command line are the last ones used from now on.
    saveSettings(graph);
    gtk_main();
    tearDown(graph, saveSignal);
    return 0;
}
