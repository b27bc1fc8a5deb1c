#include "app/PlotLoad.h"

#include <sys/stat.h>

#include <string>
#include <utility>

#include <glib.h>

#include "app/Commands.h"
#include "app/GraphData.h"
#include "files/PlotFile.h"
#include "render/PlotAreaHandlers.h"

std::uintmax_t stepwiseLoadBytes = 1u << 20;

PlotLoad::~PlotLoad() {
    if (source != 0) g_source_remove(source);
}

namespace {

// One step reads lines for about this long, so a pending redraw or a key waits no longer.
constexpr gint64 stepMicroseconds = 10000;
// Lines read between two looks at the clock.
constexpr std::size_t linesPerBatch = 32;
// The plot is redrawn at most this often while it fills; every frame of a large plot costs time
// that the reading would otherwise have.
constexpr gint64 redrawMicroseconds = 200000;

// How the file changed since the reading began, or "" when it did not. A file read in steps stays
// open, so a file renamed over it or removed leaves the reading whole; it is still told, as the
// plot no longer shows what the name holds. A file removed is not.
std::string changeWhileRead(const PlotLoad& load) {
    struct stat now {};
    if (stat(load.localName.c_str(), &now) != 0) return std::string();
    if (now.st_dev != load.opened.st_dev || now.st_ino != load.opened.st_ino) {
        return "the file was replaced while it was read; the plot shows it as it was";
    }
    if (now.st_size < load.opened.st_size) {
        return "the file was cut short while it was read, from " + std::to_string(load.opened.st_size) +
               " to " + std::to_string(now.st_size) + " bytes";
    }
    if (now.st_size != load.opened.st_size || now.st_mtim.tv_sec != load.opened.st_mtim.tv_sec ||
        now.st_mtim.tv_nsec != load.opened.st_mtim.tv_nsec) {
        return "the file was changed while it was read";
    }
    return std::string();
}

// Ends a reading whose last line is in: the Y ranges as after a reading in one go, then what
// waited for it. The record is emptied first, so that what runs may start another reading.
void complete(GraphData& graph) {
    PlotLoad& load = graph.load;
    const std::string problem = changeWhileRead(load);
    load.reading = false;
    load.file.close();
    load.file.clear();
    std::function<void(const std::string&)> done = std::move(load.done);
    std::function<void()> then = std::move(load.then);
    load.done = nullptr;
    load.then = nullptr;
    recomputeDisplayRanges(graph.model);
    if (done) done(problem);
    if (then) then();
}

gboolean readStep(gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    PlotLoad& load = graph->load;
    const gint64 start = g_get_monotonic_time();
    bool more = true;
    while (more && g_get_monotonic_time() - start < stepMicroseconds) {
        more = graph->model.processTextLines(load.file, linesPerBatch);
    }
    if (!more) {
        load.source = 0;  // removed by returning G_SOURCE_REMOVE
        complete(*graph);
        return G_SOURCE_REMOVE;
    }
    const gint64 now = g_get_monotonic_time();
    if (now - load.lastRedraw >= redrawMicroseconds) {
        load.lastRedraw = now;
        refreshPlotArea(graph->plot);
    }
    return G_SOURCE_CONTINUE;
}

void removeSource(PlotLoad& load) {
    if (load.source != 0) g_source_remove(load.source);
    load.source = 0;
}

void addSource(GraphData& graph) {
    // Below redraws and input events, so that the window keeps drawing and answering.
    graph.load.source = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, readStep, &graph, nullptr);
}

}  // namespace

void startPlotLoad(GraphData& graph, std::ifstream&& file, const char* localName,
                   std::function<void(const std::string& problem)> done) {
    stopPlotLoad(graph);
    PlotLoad& load = graph.load;
    load.file = std::move(file);
    load.localName = localName ? localName : "";
    if (stat(load.localName.c_str(), &load.opened) != 0) load.opened = {};
    load.done = std::move(done);
    load.reading = true;
    load.lastRedraw = g_get_monotonic_time();
    if (!load.held) addSource(graph);
}

void releasePlotLoad(GraphData& graph) {
    PlotLoad& load = graph.load;
    load.held = false;
    if (load.reading && load.source == 0) addSource(graph);
}

void finishPlotLoad(GraphData& graph) {
    PlotLoad& load = graph.load;
    if (!load.active()) return;
    removeSource(load);
    while (graph.model.processTextLines(load.file, 4096)) {
    }
    complete(graph);
}

void stopPlotLoad(GraphData& graph) {
    PlotLoad& load = graph.load;
    if (!load.active()) return;
    removeSource(load);
    load.reading = false;
    load.file.close();
    load.file.clear();
    load.done = nullptr;
    load.then = nullptr;
    graph.model.fixedXAxis = true;
    refreshPlotArea(graph.plot);
}

void afterPlotLoad(GraphData& graph, std::function<void()> work) {
    PlotLoad& load = graph.load;
    if (load.active() && load.then) {
        load.then = [first = std::move(load.then), second = std::move(work)] {
            first();
            if (second) second();
        };
    } else if (load.active()) {
        load.then = std::move(work);
    } else if (work) {
        work();
    }
}
