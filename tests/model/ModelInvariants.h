#pragma once
// The invariants every PlotModel operation keeps, checked from outside: the tests assert on them
// after faults and limits, and the fuzz targets abort on them after every input.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/PlotModel.h"

// The first broken invariant in words; empty when the model is consistent.
inline std::string brokenInvariant(const PlotModel& model) {
    const auto text = [](const char* what, std::size_t index) {
        return std::string(what) + " " + std::to_string(index);
    };
    if (model.displays.empty()) return "no display";
    if (model.displays.size() > maxDisplays) return "more than 64 displays";
    if (model.graphs.size() > maxGraphs) return "more than 64 graphs";
    if (model.xSize < minXSize) return "fewer than 10 slots";
    if (model.writeIndex >= model.xSize) return "writeIndex outside the slots";
    if (model.baseGraph < -1 || model.baseGraph >= static_cast<std::int32_t>(maxGraphs))
        return "baseGraph out of range";
    std::uint64_t weights = 0;
    std::vector<std::uint32_t> counts(model.displays.size(), 0);
    for (std::size_t d = 0; d < model.displays.size(); ++d) {
        const Display& display = model.displays[d];
        if (display.weight < 1 || display.weight > 99) return text("weight out of 1..99 on display", d);
        if (display.weightOffset != weights) return text("weightOffset is not the sum above display", d);
        weights += display.weight;
    }
    if (model.totalWeight != weights) return "totalWeight is not the sum of the weights";
    for (std::size_t g = 0; g < model.graphs.size(); ++g) {
        const Graph& graph = model.graphs[g];
        if (graph.display >= model.displays.size()) return text("display index out of range on graph", g);
        if (graph.samples.size() != model.xSize) return text("sample count differs from xSize on graph", g);
        if (graph.receivedCount > graph.samples.size() ||
            (graph.receivedCount > 0 && graph.receivedStart >= graph.samples.size()))
            return text("received slots outside the samples on graph", g);
        if (graph.slot != counts[graph.display]++)
            return text("slot disagrees with the assignment on graph", g);
        if (model.effectiveDisplayOf(static_cast<unsigned>(g)) >= model.displays.size()) {
            return text("effective display out of range on graph", g);
        }
    }
    for (std::size_t d = 0; d < model.displays.size(); ++d) {
        if (model.displays[d].graphCount != counts[d]) return text("graphCount wrong on display", d);
    }
    return std::string();
}
