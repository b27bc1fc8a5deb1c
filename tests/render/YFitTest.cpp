#include "render/YFit.h"

#include <gtest/gtest.h>

#include <string>

#include "model/PlotModel.h"

namespace {

// The positions first..first+span-1 of the axis.
HorizontalView showing(double first, double span) {
    HorizontalView view;
    view.width = 600;
    view.plotWidth = 600;
    view.first = first;
    view.span = span;
    return view;
}

void stream(PlotModel& model, int lines, const char* line) {
    for (int i = 0; i < lines; ++i) model.processLine(line);
}

// A ring of 610 slots that received 300 lines: 100 of 100, then 200 alternating 24.8 and 25.2. In
// Dynamic mode they stand at positions 309..608: the hundreds at 309..408.
PlotModel spikeThenSteady() {
    PlotModel model;
    stream(model, 100, "100");
    for (int i = 0; i < 200; ++i) model.processLine(i % 2 ? "25.2" : "24.8");
    return model;
}

TEST(FitVisibleRanges, FitsEachAutomaticDisplayToTheReceivedSamplesInView) {
    const struct {
        const char* name;
        double first, span;
        bool highFrequency;
        double low, high;
    } cases[] = {
        {"all of it", 0, 609, false, 24, 100},
        {"the steady part", 409, 200, false, 24, 26},
        {"the part never received, with the spike's end", 0, 310, false, 99.5, 100.5},
        {"High Frequency: the spike in slots 0..99", 0, 100, true, 99.5, 100.5},
        // Slots 300..609 hold no sample: the range stays as it was.
        {"High Frequency: nothing received", 320, 250, true, 24, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlotModel model = spikeThenSteady();
        model.highFrequency = c.highFrequency;
        model.recomputeYRange(0);
        fitVisibleRanges(model, showing(c.first, c.span));
        EXPECT_EQ(model.displays[0].yMin, c.low);
        EXPECT_EQ(model.displays[0].yMax, c.high);
    }
    // A fixed range is the user's.
    PlotModel fixed = spikeThenSteady();
    fixed.setDisplayAutoRange(0, false);
    fixed.displays[0].yMin = -1;
    fixed.displays[0].yMax = 1;
    fitVisibleRanges(fixed, showing(409, 200));
    EXPECT_EQ(fixed.displays[0].yMin, -1);
    EXPECT_EQ(fixed.displays[0].yMax, 1);
}

// Fit Y to Visible Data, frame by frame on a clock of our own: a range widens at once and narrows
// only after the wider values have been out of view for a second.
TEST(FollowVisibleRanges, WidensAtOnceAndNarrowsASecondAfter) {
    PlotModel model = spikeThenSteady();
    RangeFollowing following;
    const HorizontalView steady = showing(409, 200), all = showing(0, 609);
    const auto range = [&] {
        return std::to_string(model.displays[0].yMin) + ".." + std::to_string(model.displays[0].yMax);
    };
    EXPECT_FALSE(followVisibleRanges(model, steady, following, 0));
    EXPECT_EQ(range(), "24.000000..26.000000");
    EXPECT_FALSE(followVisibleRanges(model, all, following, 100000));  // the spike comes into view
    EXPECT_EQ(range(), "24.000000..100.000000");
    EXPECT_TRUE(followVisibleRanges(model, steady, following, 200000));  // and goes
    EXPECT_EQ(range(), "24.000000..100.000000");
    EXPECT_TRUE(followVisibleRanges(model, steady, following, 1199999));
    EXPECT_EQ(range(), "24.000000..100.000000");
    EXPECT_FALSE(followVisibleRanges(model, steady, following, 1200000));
    EXPECT_EQ(range(), "24.000000..26.000000");
    // Wider values back in view within the second start it again.
    EXPECT_FALSE(followVisibleRanges(model, all, following, 1300000));
    EXPECT_TRUE(followVisibleRanges(model, steady, following, 1400000));
    EXPECT_FALSE(followVisibleRanges(model, all, following, 2000000));
    EXPECT_TRUE(followVisibleRanges(model, steady, following, 2100000));
    EXPECT_TRUE(followVisibleRanges(model, steady, following, 3000000));
    EXPECT_EQ(range(), "24.000000..100.000000");
    EXPECT_FALSE(followVisibleRanges(model, steady, following, 3100000));
    EXPECT_EQ(range(), "24.000000..26.000000");
    // Other changes of the model's range do not move the followed one.
    model.recomputeYRange(0);
    followVisibleRanges(model, steady, following, 3200000);
    EXPECT_EQ(range(), "24.000000..26.000000");
}

}  // namespace
