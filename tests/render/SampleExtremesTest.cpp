#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "render/SampleExtremes.h"

namespace {

// Extremes of slots from..to-1 read one by one.
Extremes slowly(const Graph& g, std::size_t from, std::size_t to) {
    Extremes e{HUGE_VAL, -HUGE_VAL, true};
    for (std::size_t k = from; k < to; ++k) {
        const double v = g.samples[k];
        if (!std::isfinite(v)) e.finite = false;
        if (std::isfinite(v)) {
            e.low = std::min(e.low, v);
            e.high = std::max(e.high, v);
        }
    }
    return e;
}

// Feeds a model line by line as a device would and checks the extremes of many runs of slots,
// long and short, aligned to blocks and not, against reading the samples one by one.
class SampleExtremesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        model.setXSize(5000);
        model.processLine("0");
    }
    void feed(int lines) {
        for (int i = 0; i < lines; ++i) {
            seed = seed * 1103515245u + 12345u;
            model.processLine(std::to_string(static_cast<int>(seed >> 16) % 2000 - 1000).c_str());
        }
    }
    void expectRight() {
        const Graph& g = model.graphs[0];
        ASSERT_TRUE(refreshSummary(model, 0, summary));
        ASSERT_EQ(summary.slots, g.samples.size());
        const std::size_t n = g.samples.size();
        std::vector<std::pair<std::size_t, std::size_t>> runs = {
            {0, n}, {1, n - 1}, {64, 128}, {63, 1090}, {n - 700, n}, {n / 2, n / 2 + 1}};
        for (int i = 0; i < 300; ++i) {
            seed = seed * 1103515245u + 12345u;
            const std::size_t from = (seed >> 8) % n;
            runs.push_back({from, std::min(n, from + 1 + (seed >> 4) % 3000)});
        }
        for (const auto& [from, to] : runs) {
            const Extremes fast = extremesOf(g, summary, from, to), slow = slowly(g, from, to);
            ASSERT_EQ(fast.finite, slow.finite) << from << ".." << to;
            if (!slow.finite) continue;
            ASSERT_EQ(fast.low, slow.low) << from << ".." << to;
            ASSERT_EQ(fast.high, slow.high) << from << ".." << to;
        }
    }
    PlotModel model;
    SampleSummary summary;
    std::uint32_t seed = 7;
};

TEST_F(SampleExtremesTest, FollowTheSamplesThroughRingWrapsAndGrowth) {
    feed(3000);
    expectRight();
    // The ring wraps and overwrites the oldest samples, a spike and a gap among them.
    feed(2500);
    model.processLine("5000");
    model.processLine("1e999");  // overflows: infinite
    feed(1500);
    expectRight();
    model.processLine("-7000");
    expectRight();
    // An extendable axis grows its arrays by whole lines, then the X-axis size shrinks and grows
    // again, which fills the new slots with the last sample.
    model.fixedXAxis = false;
    model.maxXSize = noXLimit;
    model.writeIndex = model.xSize - 1;
    feed(4321);
    EXPECT_EQ(model.xSize, 5000u + 4321u);
    expectRight();
    model.setXSize(3000);
    expectRight();
    model.setXSize(6000);
    expectRight();
    model.fixedXAxis = true;
    model.writeIndex = 3999;
    model.processLine("12345");
    expectRight();
    model.setXSize(4000);
    model.setXSize(6000);  // the same number of slots as before, the last 2000 now 12345
    expectRight();
}

TEST_F(SampleExtremesTest, WritersNoteWhatTheyChange) {
    feed(4000);
    expectRight();
    // The blocks answer for the samples: a write the summary is not told of is not seen...
    Graph& g = model.graphs[0];
    g.samples[2500] = 1e6;
    EXPECT_LT(extremesOf(g, summary, 0, 5000).high, 1e6);
    // ...until it is noted.
    model.noteSamplesRewritten();
    expectRight();
    EXPECT_EQ(extremesOf(g, summary, 0, 5000).high, 1e6);
}

}  // namespace
