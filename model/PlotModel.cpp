#include "model/PlotModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <utility>

#include "model/ValueRange.h"

bool defaultIndependentDisplays = true;
bool directoryPruning = true;
BeepFunction beepFunction = nullptr;

namespace {

// Red, green and blue of each table entry as level digits; every combination occurs once.
constexpr const char* colourLevels[maxGraphs] = {
    "003", "300", "030", "033", "330", "303", "301", "133", "010", "333", "000", "233", "200",
    "023", "310", "032", "302", "130", "203", "020", "313", "031", "100", "323", "002", "331",
    "013", "320", "001", "332", "103", "230", "202", "131", "110", "223", "012", "321", "201",
    "123", "132", "210", "022", "311", "113", "231", "101", "322", "011", "220", "213", "021",
    "102", "232", "120", "312", "122", "211", "111", "222", "112", "221", "212", "121"};

// False for NaN.
bool within(double value, double low, double high) {
    return low <= value && value <= high;
}

double levelValue(char digit) {
    static constexpr double levels[4] = {0.05, 0.3, 0.55, 0.8};
    return levels[digit - '0'];
}

// Both bounds rounded outward so that axis labels come out short: to hundredths below 1 in size, to
// tenths below 5, else to whole numbers.
template <double (*Outward)(double)>
double roundRangeEnd(double v) {
    const double size = std::fabs(v);
    if (size < 1.0) return Outward(v * 100.0) / 100.0;
    if (size < 5.0) return Outward(v * 10.0) / 10.0;
    return Outward(v);
}

double ceilOf(double v) {
    return std::ceil(v);
}

double floorOf(double v) {
    return std::floor(v);
}

}  // namespace

double scaledExtreme(double value, double scale) {
    const double scaled = value * scale;
    // A finite value whose scaled form overflows stands at the edge of the doubles, so that the
    // range still holds it.
    if (std::isinf(scaled) && std::isfinite(value))
        return std::copysign(std::numeric_limits<double>::max(), scaled);
    return scaled;
}

Colour graphColour(unsigned index) {
    const char* levels = colourLevels[index % maxGraphs];
    return Colour{levelValue(levels[0]), levelValue(levels[1]), levelValue(levels[2]), 1.0};
}

PlotModel::PlotModel() {
    addDisplay(1);
}

void PlotModel::recomputeWeightSums() {
    std::uint32_t sum = 0;
    for (Display& d : displays) {
        d.weightOffset = sum;
        sum += d.weight;
    }
    totalWeight = sum;
}

void PlotModel::recountDisplaySlots() {
    for (Display& d : displays) d.graphCount = 0;
    for (Graph& g : graphs) {
        if (g.display >= displays.size()) g.display = 0;
        if (displays.empty()) {
            g.slot = 0;
            continue;
        }
        g.slot = displays[g.display].graphCount++;
    }
}

void PlotModel::clear() {
    noteSamplesRewritten();
    sourceName.clear();
    generalTitle.clear();
    graphs.clear();
    writeIndex = 0;
    wrapped = false;
    axisGrowthRefused = false;
    graphRefused = false;
    displays.clear();
    totalWeight = 0;
    addDisplay(1);
    dragSourceDisplay = dragTargetDisplay = dragGraph = -1;
    crosshairX = crosshairY = -1.0;
    anchorX = anchorY = -1.0;
    recomputeYRange(0);
    optionLinesLocked = false;
    setIndependentDisplays(defaultIndependentDisplays);
    baseGraph = -1;
    keepMissingColumns = false;
    namedGraphs = 0;
    pairGuess = 0;
    samplingRate = 0;
    if (!fixedXAxis) setXSize(startXSize);
    recountDisplaySlots();
    recomputeWeightSums();
}

unsigned PlotModel::addDisplay(unsigned weight) {
    if (displays.size() >= maxDisplays) return 0;
    Display d;
    d.weight = weight == 0 ? 1 : weight;
    d.weightOffset = totalWeight;
    displays.push_back(std::move(d));
    totalWeight += displays.back().weight;
    recountDisplaySlots();
    return static_cast<unsigned>(displays.size() - 1);
}

void PlotModel::removeLastDisplay() {
    if (displays.size() < 2) return;
    if (independentDisplays) setIndependentDisplays(false);
    const auto removed = static_cast<std::uint32_t>(displays.size() - 1);
    totalWeight -= displays.back().weight;
    displays.pop_back();
    for (Graph& g : graphs) {
        if (g.display == removed) g.display = 0;
    }
    recomputeYRange(0);
    recomputeWeightSums();
    recountDisplaySlots();
}

unsigned PlotModel::addGraph(const std::string& title) {
    if (graphs.size() >= maxGraphs) return 0;
    const auto n = static_cast<unsigned>(graphs.size());
    try {
        Graph g;
        if (!title.empty()) {
            g.title = title;
        } else {
            char number[16];
            std::snprintf(number, sizeof number, "_%u", n);
            g.title = sourceName + number;
        }
        g.colour = graphColour(n);
        // Reserve like the other arrays so that all graphs keep growing together.
        const std::size_t capacity =
            std::max<std::size_t>(graphs.empty() ? xSize : graphs[0].samples.capacity(), xSize);
        const double arrayBytes = static_cast<double>(capacity) * sizeof(double);
        if (!sampleMemoryFits(static_cast<double>(n) * arrayBytes, static_cast<double>(n + 1) * arrayBytes)) {
            if (!graphRefused) reportMemoryRefusal(noMemoryForGraph, xSize - 1u);
            graphRefused = true;
            return 0;
        }
        g.samples.reserve(capacity);
        g.samples.assign(xSize, 0.0);
        graphs.push_back(std::move(g));
        noteSamplesRewritten();
    } catch (const std::bad_alloc&) {
        if (graphs.size() > n) graphs.pop_back();
        recountDisplaySlots();
        return 0;
    }
    if (independentDisplays) {
        while (displays.size() < graphs.size() && displays.size() < maxDisplays) addDisplay(1);
        if (n < displays.size() && graphs[n].display != n) {
            const std::uint32_t old = graphs[n].display;
            graphs[n].display = n;
            recomputeYRange(n);
            recomputeYRange(old);
            recountDisplaySlots();
        }
    }
    recomputeYRange(graphs[n].display);
    recountDisplaySlots();
    return n;
}

void PlotModel::setGraphTitle(unsigned graph, const std::string& title) {
    if (graph >= graphs.size() || title.empty()) return;
    graphs[graph].title = title;
}

void PlotModel::moveGraphToDisplay(unsigned graph, unsigned display) {
    if (graph >= graphs.size() || display >= displays.size()) return;
    if (independentDisplays && display != graph) setIndependentDisplays(false);
    const std::uint32_t old = graphs[graph].display;
    if (old == display) return;
    graphs[graph].display = display;
    recomputeYRange(display);
    recomputeYRange(old);
    recountDisplaySlots();
}

void PlotModel::moveDisplay(unsigned from, unsigned to) {
    if (from >= displays.size() || to >= displays.size() || from == to) return;
    Display moving = std::move(displays[from]);
    displays.erase(displays.begin() + from);
    displays.insert(displays.begin() + to, std::move(moving));
    for (Graph& g : graphs) {
        if (g.display == from) {
            g.display = to;
        } else if (from < to && g.display > from && g.display <= to) {
            --g.display;
        } else if (from > to && g.display >= to && g.display < from) {
            ++g.display;
        }
    }
    setIndependentDisplays(false);
    recountDisplaySlots();
    for (unsigned d = 0; d < displays.size(); ++d) recomputeYRange(d);
    recomputeWeightSums();
}

void PlotModel::setIndependentDisplays(bool on) {
    if (!on || independentDisplays) {
        independentDisplays = on;
        return;
    }
    std::vector<Display> rebuilt;
    for (Graph& g : graphs) {
        if (!g.enabled) {
            g.display = 0;
            continue;
        }
        const std::size_t source = g.display < displays.size() ? g.display : 0;
        if (source < displays.size()) {
            rebuilt.push_back(displays[source]);
        } else {
            rebuilt.emplace_back();
        }
        g.display = static_cast<std::uint32_t>(rebuilt.size() - 1);
    }
    if (rebuilt.empty()) {
        if (!displays.empty()) {
            rebuilt.push_back(displays[0]);
        }
    }
    displays = std::move(rebuilt);
    if (displays.empty()) {
        totalWeight = 0;
        addDisplay(1);
    }
    // More than 64 enabled graphs cannot exist, so the list never exceeds the display limit.
    recomputeWeightSums();
    recountDisplaySlots();
    for (unsigned d = 0; d < displays.size(); ++d) recomputeYRange(d);
    recountDisplaySlots();
    independentDisplays = true;
}

void PlotModel::setDisplayAutoRange(unsigned display, bool on) {
    if (display >= displays.size()) return;
    if (on) {
        if (!displays[display].autoRange) {
            displays[display].autoRange = true;
            recomputeYRange(display);
        }
    } else {
        displays[display].autoRange = false;
    }
}

void PlotModel::setDisplayWeight(unsigned display, unsigned long weight) {
    if (display >= displays.size() || weight < 1 || weight > maxDisplayWeight) return;
    displays[display].weight = static_cast<std::uint32_t>(weight);
    recomputeWeightSums();
}

void PlotModel::setDisplayGridLevel(unsigned display, long level) {
    if (display >= displays.size() || level < -1 || level > maxGridLevel) return;
    displays[display].gridLevel = static_cast<std::int32_t>(level);
}

void PlotModel::addReferenceLine(unsigned display, double value) {
    if (display >= displays.size()) return;
    std::vector<double>& lines = displays[display].refLines;
    if (lines.size() >= maxReferenceLines) return;  // keeps each addition a bounded scan
    for (double existing : lines) {
        if (std::fabs(existing - value) <= 1e-6) return;
    }
    lines.push_back(value);
}

void PlotModel::recomputeYRange(unsigned display) {
    if (display >= displays.size() || !displays[display].autoRange) return;
    Display& d = displays[display];
    bool own = false;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const Graph& g : graphs) {
        if (!g.enabled) continue;
        if (g.display == display) own = true;
        if (g.display != display && !sharedYMinMax) continue;
        if (!g.extremesKnown) continue;  // nothing received: no extreme to take in
        // An overflowed value (1e999 in the data) must not make the range infinite: non-finite
        // extremes do not widen it. A negative scale swaps the ends.
        for (const double v : {scaledExtreme(g.maxValue, g.scale), scaledExtreme(g.minValue, g.scale)}) {
            if (!std::isfinite(v)) continue;
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    if (!own) {
        d.yMin = d.yMax = 0.0;
        return;
    }
    setFittedRange(display, low, high);
}

void PlotModel::setFittedRange(unsigned display, double low, double high) {
    if (display >= displays.size()) return;
    Display& d = displays[display];
    if (!(low <= high)) {  // no value: a range around 0
        d.yMin = -0.5;
        d.yMax = 0.5;
        return;
    }
    if (std::fabs(high - low) < 1e-9) {
        // One value: half a unit either side of it, or a millionth of it where that is more.
        const double half = std::max(0.5, std::fabs(high) * 1e-6);
        d.yMin = low - half;
        d.yMax = high + half;
        return;
    }
    d.yMax = roundRangeEnd<ceilOf>(high);
    d.yMin = roundRangeEnd<floorOf>(low);
}

void PlotModel::recomputeAllYRanges() {
    for (unsigned d = 0; d < displays.size(); ++d) recomputeYRange(d);
    for (Display& d : displays) {
        if (d.autoRange && std::fabs(d.yMin - d.yMax) < 1e-9) {
            d.yMin = -0.5;
            d.yMax = 0.5;
        }
    }
}

unsigned PlotModel::effectiveDisplayOf(unsigned graph) const {
    const auto n = static_cast<std::int64_t>(displays.size());
    std::int64_t r = 0;
    if (graph < graphs.size() && graphs[graph].display < displays.size()) r = graphs[graph].display;
    const std::int64_t t = dragTargetDisplay;
    if (t < 0 || t >= n) return static_cast<unsigned>(r);
    if (dragGraph >= 0 && static_cast<unsigned>(dragGraph) == graph && graph < graphs.size()) {
        return static_cast<unsigned>(t);
    }
    const std::int64_t s = dragSourceDisplay;
    if (s < 0 || s >= n) return static_cast<unsigned>(r);
    if (r == s) return static_cast<unsigned>(t);
    if (s < t && s < r && r <= t) return static_cast<unsigned>(r - 1);
    if (s > t && t <= r && r < s) return static_cast<unsigned>(r + 1);
    return static_cast<unsigned>(r);
}

void PlotModel::setGraphScale(unsigned graph, double scale) {
    if (graph >= graphs.size() || scale == 0.0 || !std::isfinite(scale)) return;
    if (scale == graphs[graph].scale) return;  // unchanged: the range stays as it is
    graphs[graph].scale = scale;
    recomputeYRange(graphs[graph].display);
}

void PlotModel::setGraphColour(unsigned graph, double red, double green, double blue) {
    if (graph >= graphs.size()) return;
    Colour& colour = graphs[graph].colour;
    for (auto [from, to] :
         {std::pair{red, &colour.red}, std::pair{green, &colour.green}, std::pair{blue, &colour.blue}}) {
        if (within(from, 0.0, 1.0)) *to = from;
    }
}

bool PlotModel::setFontSize(double size) {
    if (!within(size, minFontSize, maxFontSize)) return false;
    fontSize = size;
    return true;
}

bool PlotModel::setLineWidth(double width) {
    if (!within(width, minLineWidth, maxLineWidth)) return false;
    lineWidth = width;
    return true;
}

bool PlotModel::setRefLineWidth(double width) {
    if (!within(width, 0.0, maxRefLineWidth)) return false;
    refLineWidth = width;
    return true;
}

bool PlotModel::enlargeSizes() {
    if (!(fontSize < maxFontSize && lineWidth < maxLineWidth)) return false;
    setFontSize(fontSize + 1);
    setLineWidth(lineWidth + 1);
    refLineWidth = 0.0;
    return true;
}

bool PlotModel::shrinkSizes() {
    if (!(fontSize > minFontSize && lineWidth > minLineWidth)) return false;
    setFontSize(fontSize - 1);
    setLineWidth(lineWidth - 1);
    refLineWidth = 0.0;
    return true;
}

void PlotModel::merge(PlotModel& other) {
    noteSamplesRewritten();
    keepMissingColumns = true;
    if (other.maxXSize > maxXSize && other.maxXSize >= minXSize && other.maxXSize >= xSize) {
        maxXSize = other.maxXSize;
    }
    const std::uint32_t held = heldLines();
    const std::uint32_t otherHeld = other.heldLines();
    if (xSize < other.xSize) {
        growKeepingOrder(other.xSize);
    } else if (other.xSize < xSize) {
        other.growKeepingOrder(xSize);
    }
    // The other's lines are turned round the ring so that they read in order from the slot after
    // writeIndex, as this model's own lines do; writeIndex stays, so that lines still arriving
    // follow this model's newest. The other's oldest line goes beside this model's oldest, or
    // further left when it holds more lines than fit after that.
    std::uint32_t turn = 0;
    if (graphs.empty()) {
        if (other.writeIndex < xSize) writeIndex = other.writeIndex;
        wrapped = other.wrapped;
    } else if (other.xSize == xSize) {
        const std::uint64_t n = xSize;
        const std::uint64_t start = n - 1 - held;
        const std::uint64_t otherStart = std::min<std::uint64_t>(start, n - 1 - otherHeld);
        const std::uint64_t shift = (n - 1 - otherHeld) - otherStart;
        turn = static_cast<std::uint32_t>((writeIndex + 2 * n - other.writeIndex - shift) % n);
    }
    if (samplingRate == 0) {
        samplingRate = other.samplingRate;
    } else if (other.samplingRate != 0 && other.samplingRate != samplingRate) {
        samplingRate = 0;
    }
    if (sourceName.empty()) {
        sourceName = other.sourceName.empty() ? std::string() : sourceBaseName(other.sourceName);
    } else if (!other.sourceName.empty()) {
        sourceName += "::" + sourceBaseName(other.sourceName);
    }
    if (generalTitle.empty()) {
        generalTitle = other.generalTitle;
    } else if (!other.generalTitle.empty()) {
        generalTitle += " :: " + other.generalTitle;
    }
    if (graphs.empty()) {
        displays.clear();
        totalWeight = 0;
    }
    if (!other.independentDisplays) setIndependentDisplays(false);
    const auto firstMerged = static_cast<unsigned>(displays.size());
    for (const Display& d : other.displays) {
        if (displays.size() >= maxDisplays) break;
        displays.push_back(d);
        displays.back().weightOffset = totalWeight;
        totalWeight += d.weight;
    }
    if (displays.empty()) addDisplay(1);  // the other model had no display either
    recountDisplaySlots();
    for (unsigned k = 0; k < other.graphs.size(); ++k) {
        // Graphs beyond the limit are dropped: addGraph would answer 0 and graph 0 must not
        // receive their values.
        if (graphs.size() >= maxGraphs) break;
        Graph& source = other.graphs[k];
        const std::size_t before = graphs.size();
        const unsigned b = addGraph(source.title);
        if (graphs.size() == before) break;  // out of memory: the rest of the other plot is dropped
        Graph& target = graphs[b];
        if (source.scale != 0.0) target.scale = source.scale;
        target.enabled = source.enabled;
        target.beep = source.beep;
        target.minValue = source.minValue;
        target.maxValue = source.maxValue;
        target.extremesKnown = source.extremesKnown;
        if (source.samples.size() == target.samples.size()) {
            std::rotate(source.samples.begin(), source.samples.end() - turn, source.samples.end());
            target.samples.swap(source.samples);
            target.receivedStart = static_cast<std::uint32_t>((std::uint64_t{source.receivedStart} + turn) %
                                                              target.samples.size());
            target.receivedCount = source.receivedCount;
        } else {
            // One of the two could not be resized (out of memory): copy what fits into the slots
            // addGraph gave the new graph, which needs no further allocation.
            const std::size_t copied = std::min(source.samples.size(), target.samples.size());
            std::copy_n(source.samples.begin(), copied, target.samples.begin());
            target.receivedStart = 0;
            target.receivedCount = source.receivedCount > 0 ? static_cast<std::uint32_t>(copied) : 0;
        }
        if (!independentDisplays) {
            const unsigned shown = firstMerged + other.effectiveDisplayOf(k);
            if (shown < displays.size() && target.display != shown) {
                const std::uint32_t old = target.display;
                target.display = shown;
                recomputeYRange(shown);
                recomputeYRange(old);
                recountDisplaySlots();
            }
        }
    }
    for (unsigned d = 0; d < displays.size(); ++d) recomputeYRange(d);
    recountDisplaySlots();
    recomputeWeightSums();
}

std::string sourceBaseName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (!directoryPruning && slash != std::string::npos && slash > 0) {
        const std::size_t before = path.rfind('/', slash - 1);
        if (before != std::string::npos) slash = before;
    }
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}
