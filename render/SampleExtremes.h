#pragma once
// Minimum and maximum of a run of a graph's samples, for the columns of a zoomed-out envelope. A
// SampleSummary of the graph holds the extremes of blocks of samples, so that a long run costs a
// few block reads, and at its ends the samples short of a whole block.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/PlotModel.h"

// Minimum and maximum of blocks of one graph's samples, levels of ever larger blocks, and the
// model's sample counters when they were last brought up to date, from which the next update
// knows which slots changed since.
struct SampleSummary {
    std::vector<std::vector<double>> low, high;  // per level and block; NaN for non-finite samples
    std::size_t slots = 0;                       // samples the blocks were built from
    std::uint64_t linesAdvanced = 0;
    std::uint64_t sampleRewrites = 0;
    std::uint32_t writeIndex = 0;
};

struct Extremes {
    double low, high;
    bool finite;  // no sample of the run is infinite or not a number
};

// Brings the summary of the model's graph up to date with its samples: the blocks holding slots
// stored since the last call (and the slot at the write position, which may have been stored
// without a line's advance), those beyond the old end when the number of slots changed, or all of
// them after a rewrite. False when there is no memory for it; extremesOf then reads the samples
// themselves.
bool refreshSummary(const PlotModel& model, unsigned graph, SampleSummary& summary);

// Extremes of the graph's samples in slots from..to-1 (from < to <= the number of slots). The
// summary is used when it was built for as many slots; it is never read otherwise.
Extremes extremesOf(const Graph& graph, const SampleSummary& summary, std::size_t from, std::size_t to);
