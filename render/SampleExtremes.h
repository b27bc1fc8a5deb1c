#pragma once
// Minimum and maximum of a run of a graph's samples, for the columns of a zoomed-out envelope. The
// graph's SampleSummary holds the extremes of blocks of samples, so that a long run costs a few
// block reads, and at its ends the samples short of a whole block.

#include <cstddef>

#include "model/PlotModel.h"

struct Extremes {
    double low, high;
    bool finite;  // no sample of the run is infinite or not a number
};

// Brings the graph's summary up to date with its samples: the blocks holding slots written since
// the last call, or all of them when the number of slots changed. False when there is no memory
// for it; extremesOf then reads the samples themselves.
bool refreshSummary(const Graph& graph);

// Extremes of the samples in slots from..to-1 (from < to <= the number of slots). The summary is
// used when it is up to date; it is never read otherwise.
Extremes extremesOf(const Graph& graph, std::size_t from, std::size_t to);
