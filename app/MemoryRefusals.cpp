#include "app/MemoryRefusals.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include <glib.h>

#include "app/GraphData.h"
#include "input/Messages.h"
#include "model/PlotModel.h"

namespace {

GraphData* owner = nullptr;
bool waiting = false;
std::string waitingText, waitingDetail;
std::uint64_t givenAvailable = 0;

gboolean showRefusal(gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    showErrorDialog(graph->mainWindow, waitingText.c_str(), waitingDetail.c_str());
    waiting = false;
    return G_SOURCE_REMOVE;
}

void refuse(const char* text, const std::string& detail) {
    if (waiting || !owner) return;
    waiting = true;
    waitingText = text;
    waitingDetail = detail;
    g_idle_add(showRefusal, owner);
}

// The given figure stands for the memory free before the plot held any samples: what the live
// plot's sample arrays hold now is no longer available.
std::uint64_t givenAvailableMemory() {
    std::uint64_t held = 0;
    if (owner) {
        for (const Graph& g : owner->model.graphs) held += g.samples.capacity() * sizeof(double);
    }
    return held < givenAvailable ? givenAvailable - held : 0;
}

}  // namespace

void installMemoryHooks(GraphData& graph) {
    owner = &graph;
    memoryRefusalFunction = refuse;
    const char* given = std::getenv("KIVREL_AVAILABLE_MEMORY_MB");
    if (given && *given) {
        givenAvailable = std::strtoull(given, nullptr, 10) << 20;
        availableMemoryFunction = givenAvailableMemory;
    } else {
        availableMemoryFunction = systemAvailableMemory;
    }
}
