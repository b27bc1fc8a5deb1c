// Sample slots: storing values, moving the write position and resizing the X axis.
#include <algorithm>
#include <cmath>
#include <new>

#include "model/PlotModel.h"

namespace {

// Gives every graph room for `slots` plus the spare, so that all arrays reallocate together.
// A graph whose allocation fails stops the step; the caller then grows slot by slot and sees
// that failure itself.
void reserveAll(std::vector<Graph>& graphs, std::size_t slots) {
    try {
        for (Graph& g : graphs) g.samples.reserve(slots + sampleReserve);
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace

void PlotModel::storeSample(unsigned graph, double value) {
    if (graph >= graphs.size()) return;
    Graph& g = graphs[graph];
    g.samples[writeIndex] = value;
    // Every value reaching the largest so far rings, equal ones included (NaN compares false).
    if (g.beep && value >= g.maxValue && beepFunction) beepFunction();
    // An overflowed value (1e999 in the data) keeps its slot but is no extreme: an infinite
    // maximum would hide every later finite value from the Y range.
    if (!std::isfinite(value)) return;
    if (value > g.maxValue) {
        g.maxValue = value;
    } else if (value < g.minValue) {
        g.minValue = value;
    } else {
        return;
    }
    // A new extreme only widens the range of the display the graph is shown in; rounding waits
    // for the next recomputation.
    Display& d = displays[effectiveDisplayOf(graph)];
    const double scaled = value * g.scale;
    if (d.autoRange && std::isfinite(scaled)) {
        if (scaled > d.yMax) d.yMax = scaled;
        if (scaled < d.yMin) d.yMin = scaled;  // either end: a negative scale swaps them
    }
}

void PlotModel::advance() {
    ++linesAdvanced;
    const std::uint32_t w = writeIndex;
    const std::uint32_t n = xSize;
    if (fixedXAxis) {
        writeIndex = (w + 1) % n;
        return;
    }
    if (w + 1 < n) {
        writeIndex = w + 1;
        return;
    }
    if (n >= maxXSize || n == noXLimit) {
        writeIndex = 0;
        return;
    }
    if (!graphs.empty() && graphs[0].samples.capacity() < std::size_t{w} + 2) {
        // At least the spare of 256 slots, and at least half the present size more: a fixed step
        // alone would copy every array once per 256 lines and make a long run quadratic.
        const std::size_t grown = graphs[0].samples.capacity() + graphs[0].samples.capacity() / 2;
        reserveAll(graphs, std::max(std::size_t{w} + 2, grown > sampleReserve ? grown - sampleReserve : 0));
    }
    for (std::size_t i = 0; i < graphs.size(); ++i) {
        try {
            graphs[i].samples.push_back(graphs[i].samples[w]);
        } catch (const std::bad_alloc&) {
            // Out of memory: keep the size and wrap as at the limit. The graphs that already got
            // the extra slot give it back, so that every graph still holds exactly xSize slots.
            for (std::size_t k = 0; k < i; ++k) graphs[k].samples.pop_back();
            writeIndex = (w + 1) % n;
            return;
        }
    }
    xSize = w + 2;
    writeIndex = w + 1;
}

void PlotModel::setXSize(std::uint32_t slots) {
    if (slots < minXSize) return;
    if (!graphs.empty() && slots > graphs[0].samples.capacity()) reserveAll(graphs, slots);
    try {
        for (Graph& g : graphs) {
            const double last = g.samples.empty() ? 0.0 : g.samples.back();
            g.samples.resize(slots, last);
        }
    } catch (const std::bad_alloc&) {
        // Graphs already resized keep their new length only up to xSize being read; make them
        // consistent with the unchanged size again.
        for (Graph& g : graphs) {
            if (g.samples.size() > xSize) g.samples.resize(xSize);
        }
        return;
    }
    noteSamplesRewritten();
    xSize = slots;
    writeIndex %= slots;
    if (maxXSize < slots) maxXSize = slots;
}

void PlotModel::applyXSize(unsigned long value) {
    if (value >= noXLimit) return;  // the number of slots would not fit 32 bits
    setXSize(static_cast<std::uint32_t>(value + 1));
}

void PlotModel::applyXLimit(unsigned long value) {
    if (value == 0) {
        maxXSize = noXLimit;
    } else if (value >= minXSize && value >= xSize) {
        maxXSize = value > noXLimit ? noXLimit : static_cast<std::uint32_t>(value);
    }
}

void PlotModel::applySamplingRate(unsigned long value) {
    if (value == 0) return;
    if (samplingRate == 0) {
        samplingRate = value > 4294967295ul ? 4294967295u : static_cast<std::uint32_t>(value);
    } else if (samplingRate != value) {
        samplingRate = 0;
    }
}
