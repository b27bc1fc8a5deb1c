#include "render/YFit.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "render/Renderer.h"
#include "render/SampleExtremes.h"

namespace {

using Slots = std::pair<std::size_t, std::size_t>;  // slots from..to-1

// The slots of `length` slots round a ring of n from `start` on, as one or two runs.
void addRingRun(std::vector<Slots>& runs, std::size_t start, std::size_t length, std::size_t n) {
    if (length >= n) {
        runs.emplace_back(0, n);
    } else if (start + length <= n) {
        runs.emplace_back(start, start + length);
    } else {
        runs.emplace_back(start, n);
        runs.emplace_back(0, start + length - n);
    }
}

// The slots the view shows, in either drawing mode: positions first..end-1, which Dynamic mode
// turns round the ring from the slot after the write position, and High Frequency mode shows in
// place, less the gap after the write position.
std::vector<Slots> shownSlots(const PlotModel& model, const HorizontalView& view) {
    std::vector<Slots> runs;
    const std::size_t n = model.xSize;
    const VisiblePositions visible = visiblePositions(view, model.xSize);
    if (!(visible.last > visible.first)) return runs;
    const auto from = static_cast<std::size_t>(visible.first);
    const auto end = static_cast<std::size_t>(std::ceil(visible.last));
    const std::size_t w = model.writeIndex;
    if (!model.highFrequency) {
        addRingRun(runs, (from + w + 1) % n, end - from, n);
        return runs;
    }
    constexpr std::size_t gap = 20;
    if (from < std::min(end, w)) runs.emplace_back(from, std::min(end, w));
    if (std::max(from, w + gap) < end) runs.emplace_back(std::max(from, w + gap), end);
    return runs;
}

// Widens span by the finite samples of the graph in slots from..to-1.
void takeIn(ValueSpan& span, const Graph& graph, const SampleSummary& summary, std::size_t from,
            std::size_t to) {
    Extremes e = extremesOf(graph, summary, from, to);
    if (!e.finite) {
        // Some sample is not a number or infinite: the finite ones alone.
        e = {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), true};
        for (std::size_t s = from; s < to; ++s) {
            const double v = graph.samples[s];
            if (!std::isfinite(v)) continue;
            e.low = std::min(e.low, v);
            e.high = std::max(e.high, v);
        }
        if (!(e.low <= e.high)) return;
    }
    for (const double v : {scaledExtreme(e.low, graph.scale), scaledExtreme(e.high, graph.scale)}) {
        if (!std::isfinite(v)) continue;
        span.low = std::min(span.low, v);
        span.high = std::max(span.high, v);
    }
}

}  // namespace

ValueSpan visibleSpan(const PlotModel& model, unsigned display, const HorizontalView& view,
                      PlotViewCache* cache) {
    ValueSpan span;
    const std::vector<Slots> shown = shownSlots(model, view);
    const SampleSummary none;
    if (cache) cache->summaries.resize(model.graphs.size());
    for (unsigned g = 0; g < model.graphs.size(); ++g) {
        const Graph& graph = model.graphs[g];
        if (!graph.enabled || graph.receivedCount == 0 || model.effectiveDisplayOf(g) != display) continue;
        const std::size_t n = graph.samples.size();
        std::vector<Slots> received;
        addRingRun(received, graph.receivedStart, graph.receivedCount, n);
        const SampleSummary* summary = &none;
        if (cache && refreshSummary(model, g, cache->summaries[g])) summary = &cache->summaries[g];
        for (const Slots& a : shown) {
            for (const Slots& b : received) {
                const std::size_t from = std::max(a.first, b.first), to = std::min({a.second, b.second, n});
                if (from < to) takeIn(span, graph, *summary, from, to);
            }
        }
    }
    return span;
}

void fitVisibleRanges(PlotModel& model, const HorizontalView& view, PlotViewCache* cache) {
    for (unsigned d = 0; d < model.displays.size(); ++d) {
        if (!model.displays[d].autoRange) continue;
        const ValueSpan span = visibleSpan(model, d, view, cache);
        if (!span.empty()) model.setFittedRange(d, span.low, span.high);
    }
}

bool followVisibleRanges(PlotModel& model, const HorizontalView& view, RangeFollowing& following,
                         std::int64_t now, PlotViewCache* cache) {
    if (following.displays.size() != model.displays.size() ||
        following.sampleRewrites != model.sampleRewrites) {
        following.displays.assign(model.displays.size(), FollowedRange{});
        following.sampleRewrites = model.sampleRewrites;
    }
    bool waiting = false;
    for (unsigned d = 0; d < model.displays.size(); ++d) {
        Display& display = model.displays[d];
        FollowedRange& r = following.displays[d];
        if (!display.autoRange) {
            r = FollowedRange{};
            continue;
        }
        const ValueSpan span = visibleSpan(model, d, view, cache);
        if (span.empty()) {
            if (!r.shown) continue;  // nothing in view yet: the range stays as the model has it
        } else {
            // The range the samples in view need, rounded as every automatic range is.
            model.setFittedRange(d, span.low, span.high);
            const double low = display.yMin, high = display.yMax;
            if (!r.shown) {
                r = FollowedRange{true, low, high, -1, low, high};
            } else {
                r.low = std::min(r.low, low);  // wider values widen at once
                r.high = std::max(r.high, high);
                if (low == r.low && high == r.high) {
                    r.narrowSince = -1;
                } else if (r.narrowSince < 0) {
                    r.narrowSince = now;
                    r.neededLow = low;
                    r.neededHigh = high;
                } else {
                    r.neededLow = std::min(r.neededLow, low);
                    r.neededHigh = std::max(r.neededHigh, high);
                }
                if (r.narrowSince >= 0 && now - r.narrowSince >= narrowDelayMicroseconds) {
                    // Out of view long enough: down to what was needed meanwhile, and from now on
                    // down to what is needed after another while.
                    r.low = r.neededLow;
                    r.high = r.neededHigh;
                    r.narrowSince = low == r.low && high == r.high ? -1 : now;
                    r.neededLow = low;
                    r.neededHigh = high;
                }
            }
        }
        display.yMin = r.low;
        display.yMax = r.high;
        waiting = waiting || r.narrowSince >= 0;
    }
    return waiting;
}
