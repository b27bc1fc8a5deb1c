// Sample slots: storing values, moving the write position and resizing the X axis.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <new>
#include <string>

#include "model/PlotModel.h"

AvailableMemoryFunction availableMemoryFunction = systemAvailableMemory;
MemoryRefusalFunction memoryRefusalFunction = nullptr;
const char* const noMemoryForXSize = "Error: Not enough memory for X-axis size: ";
const char* const noMemoryForGraph = "Error: Not enough memory for another graph of X-axis size: ";
const char* const noMemoryToExtend =
    "Error: Not enough memory to extend the X axis; it stays a ring of size: ";

std::uint64_t systemAvailableMemory() {
    std::ifstream meminfo("/proc/meminfo");
    std::string name;
    std::uint64_t kilobytes = 0;
    while (meminfo >> name >> kilobytes) {
        if (name == "MemAvailable:") return kilobytes * 1024;
        meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return std::numeric_limits<std::uint64_t>::max();
}

bool sampleMemoryFits(double heldBytes, double neededBytes) {
    if (!availableMemoryFunction) return true;
    return neededBytes <= (static_cast<double>(availableMemoryFunction()) + heldBytes) * 0.75;
}

void reportMemoryRefusal(const char* text, std::uint64_t size) {
    if (memoryRefusalFunction) memoryRefusalFunction(text, std::to_string(size));
}

namespace {

// Whether the sample arrays of graphCount graphs, holding heldSlots slots each, can grow to toSlots
// slots each. While an array moves to a larger block its old block is still there; the arrays move
// one after the other.
bool sampleGrowthFits(std::size_t graphCount, std::size_t heldSlots, std::size_t toSlots) {
    if (toSlots <= heldSlots) return true;
    const double count = static_cast<double>(graphCount);
    return sampleMemoryFits(
        count * static_cast<double>(heldSlots) * sizeof(double),
        (count * static_cast<double>(toSlots) + static_cast<double>(heldSlots)) * sizeof(double));
}

// Gives every graph room for `slots` plus the spare, so that all arrays reallocate together.
// A graph whose allocation fails stops the step; the caller then grows slot by slot and sees
// that failure itself.
void reserveAll(std::vector<Graph>& graphs, std::size_t slots) {
    try {
        for (Graph& g : graphs) g.samples.reserve(slots + sampleReserve);
    } catch (const std::bad_alloc&) {
    }
}

// The received run of a graph after `extra` slots were inserted at position `at` (0..oldSize) of
// its oldSize slots: slots from `at` on move up, and a run the new slots land inside takes them in.
void insertIntoReceived(Graph& g, std::uint64_t oldSize, std::uint64_t at, std::uint64_t extra) {
    if (g.receivedCount == 0 || oldSize == 0) return;
    const std::uint64_t offset = (at % oldSize + oldSize - g.receivedStart) % oldSize;
    if (offset > 0 && offset < g.receivedCount) g.receivedCount += static_cast<std::uint32_t>(extra);
    if (g.receivedStart >= at) g.receivedStart += static_cast<std::uint32_t>(extra);
}

// The received run of a graph after its slots from newSize on were dropped: what is left of it,
// in one run from its older part on when the drop cut a gap into it.
void truncateReceived(Graph& g, std::uint64_t oldSize, std::uint64_t newSize) {
    if (g.receivedCount == 0 || newSize >= oldSize) return;
    const std::uint64_t start = g.receivedStart;
    const std::uint64_t end = start + g.receivedCount;  // beyond oldSize when the run wraps
    const std::uint64_t wrappedLength = end > oldSize ? std::min(end - oldSize, newSize) : 0;
    if (start < newSize) {
        const std::uint64_t count =
            wrappedLength > 0 ? newSize - start + wrappedLength : std::min(end, newSize) - start;
        g.receivedCount = static_cast<std::uint32_t>(std::min(count, newSize));
    } else {
        g.receivedStart = 0;
        g.receivedCount = static_cast<std::uint32_t>(wrappedLength);
    }
}

// Notes that slot `slot` of the graph received a sample: the run grows to reach it.
void noteReceived(Graph& g, std::uint32_t slot) {
    const auto n = static_cast<std::uint64_t>(g.samples.size());
    if (g.receivedCount == 0) {
        g.receivedStart = slot;
        g.receivedCount = 1;
        return;
    }
    const std::uint64_t offset = (slot + n - g.receivedStart) % n;
    if (g.receivedCount >= n) {
        // A full run starts at its oldest slot, the one after the newest.
        g.receivedStart = static_cast<std::uint32_t>((slot + 1) % n);
    } else if (offset >= g.receivedCount) {
        g.receivedCount = static_cast<std::uint32_t>(offset + 1);
    }
}

}  // namespace

void PlotModel::holdSample(unsigned graph) {
    if (graph >= graphs.size() || heldLines() == 0) return;
    Graph& g = graphs[graph];
    const std::uint32_t previous = (writeIndex == 0 ? xSize : writeIndex) - 1;
    if (!g.received(previous)) {
        storeSample(graph, std::numeric_limits<double>::quiet_NaN());  // nothing to hold: a gap
        return;
    }
    // Written past storeSample: the value is already among the extremes and must not ring again.
    g.samples[writeIndex] = g.samples[previous];
    noteReceived(g, writeIndex);
}

void PlotModel::markAllReceived() {
    for (Graph& g : graphs) {
        g.receivedStart = writeIndex;
        g.receivedCount = static_cast<std::uint32_t>(g.samples.size());
        for (const double v : g.samples) {
            if (!std::isfinite(v)) continue;
            if (!g.extremesKnown || v > g.maxValue) g.maxValue = v;
            if (!g.extremesKnown || v < g.minValue) g.minValue = v;
            g.extremesKnown = true;
        }
    }
}

void PlotModel::storeSample(unsigned graph, double value) {
    if (graph >= graphs.size()) return;
    Graph& g = graphs[graph];
    g.samples[writeIndex] = value;
    noteReceived(g, writeIndex);
    // Every value reaching the largest so far, or 0 before any larger one, rings, equal ones
    // included (NaN compares false).
    if (g.beep && value >= std::max(g.maxValue, 0.0) && beepFunction) beepFunction();
    // An overflowed value (1e999 in the data) keeps its slot but is no extreme: an infinite
    // maximum would hide every later finite value from the Y range.
    if (!std::isfinite(value)) return;
    if (!g.extremesKnown) {
        // The first value: the range of the graph's display starts from it, not from 0.
        g.minValue = g.maxValue = value;
        g.extremesKnown = true;
        recomputeYRange(g.display);
    } else if (value > g.maxValue) {
        g.maxValue = value;
    } else if (value < g.minValue) {
        g.minValue = value;
    } else {
        return;
    }
    // A new extreme only widens the range of the display the graph is shown in; rounding waits
    // for the next recomputation.
    Display& d = displays[effectiveDisplayOf(graph)];
    const double scaled = scaledExtreme(value, g.scale);
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
        if (writeIndex == 0) wrapped = true;
        return;
    }
    if (w + 1 < n) {
        writeIndex = w + 1;
        return;
    }
    if (n >= maxXSize || n == noXLimit || axisGrowthRefused) {
        writeIndex = 0;
        wrapped = true;
        return;
    }
    if (!graphs.empty() && graphs[0].samples.capacity() < std::size_t{w} + 2) {
        // At least the spare of 256 slots, and at least half the present size more: a fixed step
        // alone would copy every array once per 256 lines and make a long run quadratic. When
        // memory is short, only the spare; without memory for that, the axis stops growing.
        const std::size_t grown = graphs[0].samples.capacity() + graphs[0].samples.capacity() / 2;
        std::size_t slots = std::max(std::size_t{w} + 2, grown > sampleReserve ? grown - sampleReserve : 0);
        const std::size_t held = graphs[0].samples.capacity();
        if (!sampleGrowthFits(graphs.size(), held, slots + sampleReserve)) slots = std::size_t{w} + 2;
        if (!sampleGrowthFits(graphs.size(), held, slots + sampleReserve)) {
            axisGrowthRefused = true;
            reportMemoryRefusal(noMemoryToExtend, n - 1);
            writeIndex = 0;
            wrapped = true;
            return;
        }
        reserveAll(graphs, slots);
    }
    for (std::size_t i = 0; i < graphs.size(); ++i) {
        try {
            graphs[i].samples.push_back(graphs[i].samples[w]);
        } catch (const std::bad_alloc&) {
            // Out of memory: keep the size and wrap as at the limit. The graphs that already got
            // the extra slot give it back, so that every graph still holds exactly xSize slots.
            for (std::size_t k = 0; k < i; ++k) graphs[k].samples.pop_back();
            writeIndex = (w + 1) % n;
            wrapped = true;
            return;
        }
    }
    for (Graph& g : graphs) insertIntoReceived(g, n, n, 1);
    xSize = w + 2;
    writeIndex = w + 1;
}

void PlotModel::setXSize(std::uint32_t slots) {
    if (slots < minXSize) return;
    // Without graphs nothing is allocated yet, but the first data line will make one this long.
    const std::size_t held = graphs.empty() ? 0 : graphs[0].samples.capacity();
    if (!sampleGrowthFits(std::max<std::size_t>(graphs.size(), 1), held, slots)) {
        reportMemoryRefusal(noMemoryForXSize, slots - 1u);
        return;
    }
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
    for (Graph& g : graphs) {
        if (slots > xSize) {
            insertIntoReceived(g, xSize, xSize, slots - xSize);
        } else {
            truncateReceived(g, xSize, slots);
        }
    }
    xSize = slots;
    if (writeIndex >= slots) wrapped = true;
    writeIndex %= slots;
    if (maxXSize < slots) maxXSize = slots;
}

bool PlotModel::growKeepingOrder(std::uint32_t slots) {
    if (slots <= xSize) return true;
    if (!wrapped) {
        // The lines fill slots 0 to writeIndex - 1: slots added at the end come after them.
        setXSize(slots);
        return xSize == slots;
    }
    // The oldest line shown is in the slot after writeIndex; the new slots go in before it.
    if (!graphs.empty() && !sampleGrowthFits(graphs.size(), graphs[0].samples.capacity(), slots)) {
        reportMemoryRefusal(noMemoryForXSize, slots - 1u);
        return false;
    }
    const std::uint32_t at = writeIndex + 1;
    const std::uint32_t extra = slots - xSize;
    if (!graphs.empty() && slots > graphs[0].samples.capacity()) reserveAll(graphs, slots);
    std::size_t grown = 0;
    try {
        for (; grown < graphs.size(); ++grown) {
            std::vector<double>& samples = graphs[grown].samples;
            const double oldest = samples[at % xSize];
            samples.insert(samples.begin() + at, extra, oldest);
        }
    } catch (const std::bad_alloc&) {
        for (std::size_t g = 0; g < grown; ++g) {
            std::vector<double>& samples = graphs[g].samples;
            samples.erase(samples.begin() + at, samples.begin() + at + extra);
        }
        return false;
    }
    noteSamplesRewritten();
    for (Graph& g : graphs) {
        // The slot at writeIndex, the oldest of a full ring, is the next to be overwritten and is
        // not shown: it leaves a full run, so that the copies inserted after it stay outside.
        if (g.receivedCount >= xSize) {
            g.receivedStart = (writeIndex + 1) % xSize;
            g.receivedCount = xSize - 1;
        }
        insertIntoReceived(g, xSize, at, extra);
    }
    xSize = slots;
    if (maxXSize < slots) maxXSize = slots;
    return true;
}

void PlotModel::applyXSize(unsigned long value) {
    if (value >= noXLimit) {  // the number of slots would not fit 32 bits, nor the memory
        reportMemoryRefusal(noMemoryForXSize, value);
        return;
    }
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
