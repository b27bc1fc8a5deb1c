#pragma once
// Automatic Y ranges fitted to the samples in view: once on command, or frame by frame in Fit Y to
// Visible Data mode, where a range widens at once and narrows only after the wider values have
// been out of view for narrowDelay, so that the axis does not jump with every sample. Only received
// samples of enabled graphs count; displays with a fixed range are never touched.

#include <cstdint>
#include <limits>
#include <vector>

#include "model/PlotModel.h"
#include "render/Views.h"

struct PlotViewCache;

// The smallest and largest of some values; low > high while it holds none.
struct ValueSpan {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    bool empty() const { return !(low <= high); }
};

// The finite received samples (times their graphs' scales) of the enabled graphs shown in the
// display, at the positions the view shows. cache, when given, lends its min/max summaries.
ValueSpan visibleSpan(const PlotModel& model, unsigned display, const HorizontalView& view,
                      PlotViewCache* cache = nullptr);

// Sets every automatic display's range once to what it shows, rounded outward as automatic
// ranges are; a display that shows no sample keeps its range.
void fitVisibleRanges(PlotModel& model, const HorizontalView& view, PlotViewCache* cache = nullptr);

// How long values must have been out of view before the range they widened narrows again.
constexpr std::int64_t narrowDelayMicroseconds = 1000000;

// What Fit Y to Visible Data keeps between frames for each display: the range in force, and since
// when it has been wider than what is in view, with the span needed since then.
struct FollowedRange {
    bool shown = false;
    double low = 0.0, high = 0.0;
    std::int64_t narrowSince = -1;  // -1 while the range is what the view needs
    double neededLow = 0.0, neededHigh = 0.0;
};

struct RangeFollowing {
    std::vector<FollowedRange> displays;
    std::uint64_t sampleRewrites = 0;  // a clear or merge starts afresh
};

// One frame of Fit Y to Visible Data at time now (microseconds of a steady clock). True while a
// range waits to narrow: the caller draws again later, so that it narrows without new data.
bool followVisibleRanges(PlotModel& model, const HorizontalView& view, RangeFollowing& following,
                         std::int64_t now, PlotViewCache* cache = nullptr);
