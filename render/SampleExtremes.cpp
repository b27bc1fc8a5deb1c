#include "render/SampleExtremes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace {

// Samples per block of the lowest level, and blocks per block of each level above it.
constexpr std::size_t blockSamples = 64;
constexpr std::size_t fanOut = 8;

bool isUpToDate(const Graph& graph, const SampleSummary& s) {
    return s.slots == graph.samples.size() && !s.low.empty();
}

Extremes none() {
    return {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), true};
}

Extremes merged(const Extremes& a, const Extremes& b) {
    return {std::min(a.low, b.low), std::max(a.high, b.high), a.finite && b.finite};
}

// Four independent lanes let the comparisons of neighbouring samples overlap instead of each
// waiting for the one before; infinite values show in the result, values that are not a number
// in a flag of their own (a comparison with them is false, so min and max skip them).
Extremes scan(const double* values, std::size_t n) {
    if (n == 0) return none();
    constexpr std::size_t lanes = 4;
    double low[lanes], high[lanes];
    unsigned notNumber = 0;
    for (std::size_t j = 0; j < lanes; ++j) low[j] = high[j] = values[0];
    std::size_t i = 0;
    for (; i + lanes <= n; i += lanes) {
        for (std::size_t j = 0; j < lanes; ++j) {
            const double v = values[i + j];
            low[j] = std::min(low[j], v);
            high[j] = std::max(high[j], v);
            notNumber |= static_cast<unsigned>(std::isnan(v));
        }
    }
    for (; i < n; ++i) {
        low[0] = std::min(low[0], values[i]);
        high[0] = std::max(high[0], values[i]);
        notNumber |= static_cast<unsigned>(std::isnan(values[i]));
    }
    const double lowest = *std::min_element(low, low + lanes);
    const double highest = *std::max_element(high, high + lanes);
    return {lowest, highest, notNumber == 0 && std::isfinite(lowest) && std::isfinite(highest)};
}

// Blocks from..to-1 of one level; a block with a sample that is not finite holds NaN.
Extremes scanBlocks(const SampleSummary& s, std::size_t level, std::size_t from, std::size_t to) {
    Extremes e = none();
    const double* low = s.low[level].data();
    const double* high = s.high[level].data();
    for (std::size_t b = from; b < to; ++b) {
        e.low = std::min(e.low, low[b]);
        e.high = std::max(e.high, high[b]);
        e.finite = e.finite && !std::isnan(low[b]);
    }
    return e;
}

void store(SampleSummary& s, std::size_t level, std::size_t block, const Extremes& e) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    s.low[level][block] = e.finite ? e.low : nan;
    s.high[level][block] = e.finite ? e.high : nan;
}

}  // namespace

bool refreshSummary(const PlotModel& model, unsigned graphIndex, SampleSummary& s) {
    if (graphIndex >= model.graphs.size()) return false;
    const Graph& graph = model.graphs[graphIndex];
    const std::size_t n = graph.samples.size();
    // Slots to rebuild: lines were stored from the old write position on, one per line advanced,
    // and the slot at the write position now may hold a value stored before its line's advance.
    const std::uint64_t lines = model.linesAdvanced - s.linesAdvanced;
    const std::size_t w = model.writeIndex;
    std::size_t from = 0, to = n;
    if (!s.low.empty() && s.sampleRewrites == model.sampleRewrites && s.writeIndex + lines < n) {
        from = std::min<std::size_t>(s.writeIndex, w);
        to = std::min(n, std::max<std::size_t>(static_cast<std::size_t>(s.writeIndex + lines), w) + 1);
        // A changed number of slots also rebuilds from the end of the shorter length on (the last
        // block of the old length may have been partial).
        if (s.slots != n) {
            from = std::min(from, std::min(s.slots, n));
            to = n;
        }
    }
    try {
        // Level 0 holds blocks of samples; each level above has a block per fanOut blocks below,
        // as long as the level below has enough blocks for a read to skip some.
        std::size_t blocks = (n + blockSamples - 1) / blockSamples;
        std::size_t levels = 0;
        for (std::size_t b = blocks;; b = (b + fanOut - 1) / fanOut) {
            ++levels;
            if (b < 2 * fanOut) break;
        }
        std::vector<std::size_t> oldSizes;
        for (const auto& level : s.low) oldSizes.push_back(level.size());
        s.low.resize(levels);
        s.high.resize(levels);
        std::size_t lower = 0;  // blocks of the level below
        for (std::size_t level = 0; level < levels; ++level) {
            const std::size_t size = level == 0 ? blocks : (lower + fanOut - 1) / fanOut;
            s.low[level].resize(size);
            s.high[level].resize(size);
            std::size_t first, end;
            if (level == 0) {
                first = from / blockSamples;
                end = (to + blockSamples - 1) / blockSamples;
            } else {
                first = from / fanOut;
                end = (to + fanOut - 1) / fanOut;
            }
            if (level >= oldSizes.size() || oldSizes[level] == 0) first = 0;  // a new level: all of it
            if (level > 0 && (level >= oldSizes.size() || oldSizes[level] != size)) end = size;
            end = std::min(end, size);
            for (std::size_t b = first; b < end; ++b) {
                if (level == 0) {
                    const std::size_t start = b * blockSamples;
                    store(s, 0, b, scan(graph.samples.data() + start, std::min(blockSamples, n - start)));
                } else {
                    store(s, level, b,
                          scanBlocks(s, level - 1, b * fanOut, std::min((b + 1) * fanOut, lower)));
                }
            }
            from = first;
            to = end;
            lower = size;
        }
    } catch (const std::bad_alloc&) {
        s = SampleSummary{};  // rebuilt whole when memory allows
        return false;
    }
    s.slots = n;
    s.linesAdvanced = model.linesAdvanced;
    s.sampleRewrites = model.sampleRewrites;
    s.writeIndex = model.writeIndex;
    return true;
}

Extremes extremesOf(const Graph& graph, const SampleSummary& s, std::size_t from, std::size_t to) {
    const double* samples = graph.samples.data();
    if (!isUpToDate(graph, s) || to - from < 2 * blockSamples) return scan(samples + from, to - from);
    // The samples short of whole blocks at both ends, then whole blocks, taking the larger blocks
    // of the level above wherever they fit.
    std::size_t a = (from + blockSamples - 1) / blockSamples, b = to / blockSamples;
    // The columns of a graph are read from left to right in runs of one length, and the samples
    // short of whole blocks are scattered far apart in memory: ask for those of the next run now,
    // so that they arrive while this one is read.
    const std::size_t next = to + (to - from);
    if (next < graph.samples.size()) {
        const std::size_t start = next / blockSamples * blockSamples;
        for (std::size_t k = start; k < std::min(start + blockSamples, graph.samples.size()); k += 8) {
            __builtin_prefetch(samples + k);
        }
    }
    Extremes e = merged(scan(samples + from, a * blockSamples - from),
                        scan(samples + b * blockSamples, to - b * blockSamples));
    for (std::size_t level = 0;; ++level) {
        if (b - a < 2 * fanOut || level + 1 == s.low.size()) return merged(e, scanBlocks(s, level, a, b));
        const std::size_t upperA = (a + fanOut - 1) / fanOut, upperB = b / fanOut;
        e = merged(
            e, merged(scanBlocks(s, level, a, upperA * fanOut), scanBlocks(s, level, upperB * fanOut, b)));
        a = upperA;
        b = upperB;
    }
}
