#include "model/PlotModel.h"
#include "tests/support/ProcessSettings.h"

#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

namespace {

// Adds n graphs and stores one value per graph so that their extremes are known.
// Graphs that received 0 and their maximum.
void addGraphsWithMaxima(PlotModel& model, std::initializer_list<double> maxima) {
    for (double m : maxima) {
        const unsigned g = model.addGraph("");
        model.storeSample(g, 0.0);
        model.storeSample(g, m);
    }
}

std::vector<unsigned> assignment(const PlotModel& model) {
    std::vector<unsigned> out;
    for (const Graph& g : model.graphs) out.push_back(g.display);
    return out;
}

// The invariants every operation keeps.
void expectConsistent(const PlotModel& model) {
    std::uint32_t sum = 0;
    for (const Display& d : model.displays) {
        EXPECT_EQ(d.weightOffset, sum);
        sum += d.weight;
    }
    EXPECT_EQ(model.totalWeight, sum);
    std::vector<std::uint32_t> counts(model.displays.size(), 0);
    for (const Graph& g : model.graphs) {
        ASSERT_LT(g.display, model.displays.size());
        EXPECT_EQ(g.slot, counts[g.display]++);
        EXPECT_EQ(g.samples.size(), model.xSize);
    }
    for (std::size_t d = 0; d < model.displays.size(); ++d)
        EXPECT_EQ(model.displays[d].graphCount, counts[d]);
    EXPECT_LT(model.writeIndex, model.xSize);
}

class PlotModelTest : public ::testing::Test {
  protected:
    ProcessSettingsGuard settings;
};

TEST_F(PlotModelTest, FreshModelHasOneAutomaticDisplayAndNoGraphs) {
    PlotModel model;
    ASSERT_EQ(model.displays.size(), 1u);
    EXPECT_EQ(model.totalWeight, 1u);
    EXPECT_TRUE(model.displays[0].autoRange);
    EXPECT_EQ(model.displays[0].gridLevel, -1);
    EXPECT_TRUE(model.graphs.empty());
    EXPECT_EQ(model.xSize, 610u);
    EXPECT_EQ(model.maxXSize, 50000u);
    EXPECT_TRUE(model.independentDisplays);
}

TEST_F(PlotModelTest, NewModelsTakeTheProcessWideIndependentDefault) {
    defaultIndependentDisplays = false;
    PlotModel model;
    EXPECT_FALSE(model.independentDisplays);
    model.independentDisplays = true;
    model.clear();
    EXPECT_FALSE(model.independentDisplays);
}

TEST_F(PlotModelTest, GraphsGetDefaultTitlesAndColours) {
    PlotModel model;
    for (int i = 0; i < 3; ++i) model.addGraph("");
    EXPECT_EQ(model.graphs[0].title, "_0");
    EXPECT_EQ(model.graphs[2].title, "_2");
    model.clear();
    model.sourceName = "data";
    model.addGraph("");
    model.addGraph("named");
    EXPECT_EQ(model.graphs[0].title, "data_0");
    EXPECT_EQ(model.graphs[1].title, "named");
    // graph 0 dark blue, graph 1 red, graph 2 green
    EXPECT_DOUBLE_EQ(model.graphs[0].colour.blue, 0.8);
    EXPECT_DOUBLE_EQ(model.graphs[0].colour.red, 0.05);
    EXPECT_DOUBLE_EQ(model.graphs[1].colour.red, 0.8);
    EXPECT_DOUBLE_EQ(graphColour(2).green, 0.8);
    EXPECT_DOUBLE_EQ(graphColour(63).red, 0.3);  // entry 121
    EXPECT_DOUBLE_EQ(graphColour(63).green, 0.55);
}

TEST_F(PlotModelTest, ColourTableUsesEveryCombinationOnce) {
    std::set<std::tuple<double, double, double>> seen;
    for (unsigned i = 0; i < maxGraphs; ++i) {
        const Colour c = graphColour(i);
        seen.insert({c.red, c.green, c.blue});
        EXPECT_EQ(c.alpha, 1.0);
    }
    EXPECT_EQ(seen.size(), 64u);
}

TEST_F(PlotModelTest, LimitsOf64GraphsAndDisplays) {
    PlotModel model;
    for (unsigned i = 0; i < 64; ++i) EXPECT_EQ(model.addGraph(""), i);
    EXPECT_EQ(model.addGraph("extra"), 0u);
    EXPECT_EQ(model.graphs.size(), 64u);
    EXPECT_EQ(model.displays.size(), 64u);  // independent mode gave each graph a display
    EXPECT_EQ(model.addDisplay(1), 0u);
    EXPECT_EQ(model.displays.size(), 64u);
    expectConsistent(model);
}

TEST_F(PlotModelTest, AutomaticRangeIsRounded) {
    const struct {
        double min, max, scale, expectMin, expectMax;
    } rows[] = {
        {0, 3.14159, 1, 0, 3.2},
        {0, 0.123, 1, 0, 0.13},
        {0, 7.2, 1, 0, 8},
        {-0.123, 0, 1, -0.13, 0},
        {-3.21, 0, 1, -3.3, 0},
        {-7.5, 0, 1, -8, 0},
        {0, 0, 1, -0.5, 0.5},
        {0, 3, 2, 0, 6},
        {0, 5, -1, -5, 0},  // a negative scale flips the graph; the range still holds it
        // Values on one side of 0 keep the range there, rounded by their size.
        {24.8, 25.2, 1, 24, 26},
        {0.456, 0.5, 1, 0.45, 0.5},
        {-3.456, -1.23, 1, -3.5, -1.2},
        // One value: half a unit either side.
        {25, 25, 1, 24.5, 25.5},
        {-2, -2, 1, -2.5, -1.5},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.min << ".." << r.max << " x" << r.scale);
        PlotModel model;
        model.addGraph("");
        model.graphs[0].minValue = r.min;
        model.graphs[0].maxValue = r.max;
        model.graphs[0].extremesKnown = true;
        model.graphs[0].scale = r.scale;
        model.recomputeYRange(0);
        EXPECT_NEAR(model.displays[0].yMin, r.expectMin, 1e-12);
        EXPECT_NEAR(model.displays[0].yMax, r.expectMax, 1e-12);
    }
}

TEST_F(PlotModelTest, NonFiniteValuesNeverMakeTheRangeNonFinite) {
    PlotModel model;
    model.addGraph("");
    model.storeSample(0, std::numeric_limits<double>::infinity());
    model.storeSample(0, -std::numeric_limits<double>::infinity());
    model.storeSample(0, std::nan(""));
    model.storeSample(0, 2.5);
    EXPECT_TRUE(std::isfinite(model.displays[0].yMin));
    EXPECT_TRUE(std::isfinite(model.displays[0].yMax));
    model.recomputeAllYRanges();
    EXPECT_TRUE(std::isfinite(model.displays[0].yMin));
    EXPECT_TRUE(std::isfinite(model.displays[0].yMax));
    EXPECT_LT(model.displays[0].yMin, model.displays[0].yMax);
    // Finite values whose scaled value overflows are left out too.
    model.graphs[0].maxValue = 1e300;
    model.graphs[0].scale = 1e300;
    model.recomputeYRange(0);
    EXPECT_TRUE(std::isfinite(model.displays[0].yMax));
}

TEST_F(PlotModelTest, SharedRangeSpansAllDisplays) {
    PlotModel model;
    addGraphsWithMaxima(model, {2, 10});  // independent: graph 1 alone in display 1
    model.addDisplay(1);                  // display 2 without graphs
    model.sharedYMinMax = true;
    for (unsigned d = 0; d < 3; ++d) model.recomputeYRange(d);
    EXPECT_EQ(model.displays[0].yMax, 10);
    EXPECT_EQ(model.displays[1].yMax, 10);
    EXPECT_EQ(model.displays[2].yMin, 0);
    EXPECT_EQ(model.displays[2].yMax, 0);
    model.recomputeAllYRanges();
    EXPECT_EQ(model.displays[2].yMin, -0.5);
    EXPECT_EQ(model.displays[2].yMax, 0.5);
}

TEST_F(PlotModelTest, ManualRangeIsNeverChanged) {
    PlotModel model;
    model.addGraph("");
    model.setDisplayAutoRange(0, false);
    model.displays[0].yMin = -1;
    model.displays[0].yMax = 1;
    model.storeSample(0, 50);
    model.recomputeAllYRanges();
    EXPECT_EQ(model.displays[0].yMin, -1);
    EXPECT_EQ(model.displays[0].yMax, 1);
    model.setDisplayAutoRange(0, true);
    EXPECT_EQ(model.displays[0].yMin, 49.5);
    EXPECT_EQ(model.displays[0].yMax, 50.5);
}

TEST_F(PlotModelTest, IndependentModeRebuildsDisplaysFromEnabledGraphs) {
    PlotModel model;
    model.independentDisplays = false;
    for (int i = 0; i < 3; ++i) model.addGraph("");
    model.addDisplay(1);
    model.addDisplay(7);
    model.displays[2].refLines = {2.5};
    model.displays[0].gridLevel = 4;
    model.moveGraphToDisplay(0, 2);
    model.graphs[1].enabled = false;
    model.setIndependentDisplays(true);
    ASSERT_EQ(model.displays.size(), 2u);
    EXPECT_EQ(model.displays[0].weight, 7u);  // copy of old display 2
    EXPECT_EQ(model.displays[0].refLines, std::vector<double>{2.5});
    EXPECT_EQ(model.displays[1].gridLevel, 4);  // copy of old display 0
    EXPECT_EQ(assignment(model), (std::vector<unsigned>{0, 0, 1}));
    EXPECT_TRUE(model.independentDisplays);
    expectConsistent(model);
}

TEST_F(PlotModelTest, IndependentModeWithoutEnabledGraphsKeepsDisplayZero) {
    PlotModel model;
    model.independentDisplays = false;
    model.addDisplay(3);
    model.displays[0].weight = 4;
    model.setIndependentDisplays(true);
    ASSERT_EQ(model.displays.size(), 1u);
    EXPECT_EQ(model.totalWeight, 4u);
}

TEST_F(PlotModelTest, MovingGraphsAndDisplays) {
    PlotModel model;
    for (int i = 0; i < 4; ++i) model.addGraph("");
    model.moveGraphToDisplay(3, 3);
    EXPECT_TRUE(model.independentDisplays);
    model.moveGraphToDisplay(3, 1);
    EXPECT_FALSE(model.independentDisplays);
    EXPECT_EQ(assignment(model), (std::vector<unsigned>{0, 1, 2, 1}));
    model.moveGraphToDisplay(9, 0);  // ignored
    model.moveGraphToDisplay(0, 9);
    EXPECT_EQ(assignment(model), (std::vector<unsigned>{0, 1, 2, 1}));
    expectConsistent(model);

    PlotModel three;
    for (int i = 0; i < 3; ++i) three.addGraph("");
    three.displays[0].weight = 5;
    three.moveDisplay(0, 2);
    EXPECT_EQ(assignment(three), (std::vector<unsigned>{2, 0, 1}));
    EXPECT_EQ(three.displays[2].weight, 5u);
    EXPECT_FALSE(three.independentDisplays);
    expectConsistent(three);
    three.moveDisplay(2, 0);
    EXPECT_EQ(assignment(three), (std::vector<unsigned>{0, 1, 2}));
}

TEST_F(PlotModelTest, RemovingTheLastDisplay) {
    PlotModel one;
    one.removeLastDisplay();
    EXPECT_EQ(one.displays.size(), 1u);

    PlotModel model;
    for (int i = 0; i < 3; ++i) model.addGraph("");
    model.removeLastDisplay();
    EXPECT_FALSE(model.independentDisplays);
    EXPECT_EQ(assignment(model), (std::vector<unsigned>{0, 1, 0}));
    expectConsistent(model);
}

TEST_F(PlotModelTest, WeightsAndReferenceLines) {
    PlotModel model;
    model.addDisplay(0);
    EXPECT_EQ(model.displays[1].weight, 1u);
    for (unsigned w : {0u, 100u}) model.setDisplayWeight(1, w);
    EXPECT_EQ(model.displays[1].weight, 1u);
    model.setDisplayWeight(0, 99);
    EXPECT_EQ(model.totalWeight, 100u);
    EXPECT_EQ(model.displays[1].weightOffset, 99u);

    model.addReferenceLine(0, 1.0);
    model.addReferenceLine(0, 1.0000005);
    model.addReferenceLine(0, 1.00001);
    model.addReferenceLine(5, 3.0);
    EXPECT_EQ(model.displays[0].refLines, (std::vector<double>{1.0, 1.00001}));

    // A stream of distinct lines fills a display up to the bound and no further; emptied with
    // "-c", it takes new ones again.
    for (int i = 0; i < 1000; ++i) model.processLine(("#~ -dpy 1 -l " + std::to_string(i)).c_str());
    ASSERT_EQ(model.displays[1].refLines.size(), maxReferenceLines);
    EXPECT_EQ(model.displays[1].refLines.front(), 0.0);
    EXPECT_EQ(model.displays[1].refLines.back(), maxReferenceLines - 1.0);
    model.processLine("#~ -dpy 1 -c -l 5000");
    EXPECT_EQ(model.displays[1].refLines, std::vector<double>{5000.0});
}

// Every setting users give has its bounds in one setter; values at a bound are taken, values just
// outside and NaN are ignored and leave the setting as it was.
TEST_F(PlotModelTest, BoundedSettersTakeTheirLimitsAndNothingBeyond) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        bool (PlotModel::*set)(double);
        double PlotModel::*field;
        std::vector<double> taken, ignored;
    } rows[] = {
        {"font size", &PlotModel::setFontSize, &PlotModel::fontSize, {5, 20, 12.5}, {4.99, 20.01, nan, 0}},
        {"line width", &PlotModel::setLineWidth, &PlotModel::lineWidth, {1, 9, 2.5}, {0.99, 9.01, nan, 0}},
        {"reference-line width",
         &PlotModel::setRefLineWidth,
         &PlotModel::refLineWidth,
         {0, 9, 0.5},
         {-0.01, 9.01, nan}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        PlotModel model;
        for (double value : r.taken) {
            EXPECT_TRUE((model.*r.set)(value)) << value;
            EXPECT_EQ(model.*r.field, value);
        }
        for (double value : r.ignored) {
            EXPECT_FALSE((model.*r.set)(value)) << value;
            EXPECT_EQ(model.*r.field, r.taken.back());
        }
    }

    PlotModel model;
    model.addDisplay(1);
    for (unsigned long weight : {1ul, 99ul}) {
        model.setDisplayWeight(1, weight);
        EXPECT_EQ(model.displays[1].weight, weight);
    }
    for (unsigned long weight : {0ul, 100ul, 4294967297ul}) model.setDisplayWeight(1, weight);
    EXPECT_EQ(model.displays[1].weight, 99u);
    EXPECT_EQ(model.totalWeight, 100u);
    for (long level : {-1l, 99l, 0l}) {
        model.setDisplayGridLevel(1, level);
        EXPECT_EQ(model.displays[1].gridLevel, level);
    }
    for (long level : {-2l, 100l, 4294967296l}) model.setDisplayGridLevel(1, level);
    EXPECT_EQ(model.displays[1].gridLevel, 0);

    model.addGraph("");
    for (double c : {1.0, 0.0}) {
        model.setGraphColour(0, c, c, c);
        EXPECT_EQ(model.graphs[0].colour.red, c);
    }
    model.setGraphColour(0, 1.5, nan, 0.5);
    EXPECT_EQ(model.graphs[0].colour.red, 0.0);
    EXPECT_EQ(model.graphs[0].colour.green, 0.0);
    EXPECT_EQ(model.graphs[0].colour.blue, 0.5);
}

// A scale is never 0 nor infinite, and an automatic range follows a new scale at once.
TEST_F(PlotModelTest, GraphScaleRecomputesTheAutomaticRange) {
    PlotModel model;
    addGraphsWithMaxima(model, {4});
    ASSERT_EQ(model.displays[0].yMax, 4.0);
    model.setGraphScale(0, -2.5);
    EXPECT_EQ(model.graphs[0].scale, -2.5);
    EXPECT_EQ(model.displays[0].yMin, -10.0);
    EXPECT_EQ(model.displays[0].yMax, 0.0);
    for (double scale :
         {0.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
        model.setGraphScale(0, scale);
    EXPECT_EQ(model.graphs[0].scale, -2.5);
    model.setGraphScale(3, 2.0);  // no such graph
}

// Ctrl+plus and Ctrl+minus move font size and line width together, only while neither is at its
// bound, and then give the reference lines half the line width.
TEST_F(PlotModelTest, SizeStepsStopAtTheBounds) {
    const struct {
        bool enlarge;
        double fontSize, lineWidth;
        bool changed;
        double fontAfter, widthAfter;
    } rows[] = {
        {true, 19, 8, true, 20, 9},     {true, 20, 8, false, 20, 8},   {true, 10, 9, false, 10, 9},
        {true, 19.5, 2, true, 19.5, 3}, {false, 6, 2, true, 5, 1},     {false, 6, 1, false, 6, 1},
        {false, 5, 3, false, 5, 3},     {false, 5.5, 3, true, 5.5, 2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << (r.enlarge ? "enlarge " : "shrink ") << r.fontSize << " " << r.lineWidth);
        PlotModel model;
        model.fontSize = r.fontSize;
        model.lineWidth = r.lineWidth;
        model.refLineWidth = 3;
        EXPECT_EQ(r.enlarge ? model.enlargeSizes() : model.shrinkSizes(), r.changed);
        EXPECT_EQ(model.fontSize, r.fontAfter);
        EXPECT_EQ(model.lineWidth, r.widthAfter);
        EXPECT_EQ(model.refLineWidth, r.changed ? 0.0 : 3.0);
    }
}

TEST_F(PlotModelTest, DragPreviewRemapsDisplays) {
    PlotModel model;
    model.independentDisplays = false;
    for (int i = 0; i < 4; ++i) model.addGraph("");
    for (int i = 0; i < 3; ++i) model.addDisplay(1);
    for (unsigned g = 0; g < 4; ++g) model.moveGraphToDisplay(g, g);
    // Display 0 dragged onto display 2: what moveDisplay(0, 2) will do.
    model.dragSourceDisplay = 0;
    model.dragTargetDisplay = 2;
    const unsigned expected[] = {2, 0, 1, 3};
    for (unsigned g = 0; g < 4; ++g) EXPECT_EQ(model.effectiveDisplayOf(g), expected[g]);
    model.dragSourceDisplay = 3;
    model.dragTargetDisplay = 1;
    const unsigned back[] = {0, 2, 3, 1};
    for (unsigned g = 0; g < 4; ++g) EXPECT_EQ(model.effectiveDisplayOf(g), back[g]);
    // A dragged graph shows in the display under the pointer; the others stay.
    model.dragSourceDisplay = -2;
    model.dragGraph = 0;
    EXPECT_EQ(model.effectiveDisplayOf(0), 1u);
    EXPECT_EQ(model.effectiveDisplayOf(2), 2u);
    model.dragTargetDisplay = 9;  // not a display: no preview
    EXPECT_EQ(model.effectiveDisplayOf(0), 0u);
}

TEST_F(PlotModelTest, ClearKeepsModesAndFixedSize) {
    PlotModel model;
    model.frames = true;
    model.lineWidth = 3;
    model.setXSize(100);
    model.sourceName = "x";
    model.generalTitle = "t";
    model.addGraph("");
    model.samplingRate = 5;
    model.optionLinesLocked = true;
    model.clear();
    EXPECT_TRUE(model.graphs.empty());
    EXPECT_EQ(model.displays.size(), 1u);
    EXPECT_TRUE(model.sourceName.empty());
    EXPECT_TRUE(model.generalTitle.empty());
    EXPECT_TRUE(model.frames);
    EXPECT_EQ(model.lineWidth, 3);
    EXPECT_EQ(model.xSize, 100u);
    EXPECT_EQ(model.samplingRate, 0u);
    EXPECT_FALSE(model.optionLinesLocked);
    model.fixedXAxis = false;
    model.clear();
    EXPECT_EQ(model.xSize, 610u);
}

TEST_F(PlotModelTest, SourceBaseNames) {
    const struct {
        const char* path;
        bool pruning;
        const char* expected;
    } rows[] = {
        {"/home/u/logs/run.txt", true, "run"},
        {"/home/u/logs/run.txt", false, "logs/run"},
        {"data", true, "data"},
        {"a.b.c", true, "a.b"},
        {"/a/b/c.plt", false, "b/c"},
        {"/a.d/run", false, "a"},
        {"run.txt", false, "run"},
        {"", true, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.path);
        directoryPruning = r.pruning;
        EXPECT_EQ(sourceBaseName(r.path), r.expected);
    }
}

TEST_F(PlotModelTest, MergeIntoEmptyModelTakesTheOtherLayout) {
    PlotModel live;
    live.samplingRate = 0;
    PlotModel other;
    other.sourceName = "/tmp/dir/run.plt";
    other.generalTitle = "Run";
    other.samplingRate = 500;
    other.setIndependentDisplays(false);
    for (int i = 0; i < 3; ++i) other.addGraph("g");
    other.addDisplay(4);
    other.moveGraphToDisplay(2, 1);
    other.storeSample(2, 7.0);
    other.advance();
    live.merge(other);
    EXPECT_TRUE(live.keepMissingColumns);
    EXPECT_EQ(live.sourceName, "run");
    EXPECT_EQ(live.generalTitle, "Run");
    EXPECT_EQ(live.samplingRate, 500u);
    EXPECT_FALSE(live.independentDisplays);
    ASSERT_EQ(live.displays.size(), 2u);
    EXPECT_EQ(live.displays[1].weight, 4u);
    EXPECT_EQ(assignment(live), (std::vector<unsigned>{0, 0, 1}));
    EXPECT_EQ(live.graphs[2].samples[0], 7.0);
    EXPECT_EQ(live.writeIndex, 1u);
    expectConsistent(live);
}

TEST_F(PlotModelTest, MergeIntoPopulatedModelAppends) {
    PlotModel live;
    live.sourceName = "a";
    live.generalTitle = "A";
    live.samplingRate = 1000;
    live.addGraph("");
    live.storeSample(0, 1);
    live.graphs[0].samples.back() = 3;
    PlotModel other;
    other.sourceName = "b.txt";
    other.generalTitle = "B";
    other.samplingRate = 500;
    other.setXSize(1000);
    other.addGraph("x");
    other.storeSample(0, -2);
    live.merge(other);
    EXPECT_EQ(live.sourceName, "a::b");
    EXPECT_EQ(live.generalTitle, "A :: B");
    EXPECT_EQ(live.samplingRate, 0u);
    EXPECT_EQ(live.xSize, 1000u);
    ASSERT_EQ(live.graphs.size(), 2u);
    EXPECT_EQ(live.graphs[1].title, "x");
    EXPECT_EQ(live.graphs[1].minValue, -2);
    EXPECT_DOUBLE_EQ(live.graphs[1].colour.red, 0.8);  // colour of its new index
    EXPECT_EQ(live.graphs[0].samples[999], 3.0);       // padded with the last value
    expectConsistent(live);
}

TEST_F(PlotModelTest, MergeBeyond64GraphsDropsTheSurplus) {
    PlotModel live;
    for (int i = 0; i < 60; ++i) live.addGraph("");
    PlotModel other;
    for (int i = 0; i < 8; ++i) {
        other.addGraph("o");
        other.storeSample(static_cast<unsigned>(i), 100.0 + i);
    }
    live.merge(other);
    ASSERT_EQ(live.graphs.size(), 64u);
    EXPECT_EQ(live.graphs[0].samples[0], 0.0);
    EXPECT_EQ(live.graphs[0].maxValue, 0.0);
    EXPECT_EQ(live.graphs[63].samples[0], 103.0);
    EXPECT_LE(live.displays.size(), 64u);
    expectConsistent(live);
}

// Found by fuzzing: the X axis of 61 million slots (490 MB a graph) cannot be allocated in the
// tests (tests/AllocationCeiling.cpp), so no graph of the other plot can be added; the merge used
// to take graph 0 of an empty list then.
TEST_F(PlotModelTest, MergeWithoutMemoryForTheGraphsDropsThem) {
    PlotModel live;
    live.processLine("#$-xsize61294961");  // no graph yet, so nothing is allocated
    PlotModel other;
    other.addGraph("o");
    other.storeSample(0, 5.0);
    live.merge(other);
    EXPECT_TRUE(live.graphs.empty());
    expectConsistent(live);
}

// One graph's values in the order the plot shows and saves them: from the slot after writeIndex
// round to the slot before it.
std::vector<double> shownOrder(const PlotModel& model, unsigned graph) {
    std::vector<double> out;
    for (std::uint32_t k = 0; k + 1 < model.xSize; ++k) {
        out.push_back(model.graphs[graph].samples[(model.writeIndex + 1 + k) % model.xSize]);
    }
    return out;
}

// The values of the slots the graph received, in the order shownOrder gives.
std::vector<double> receivedInShownOrder(const PlotModel& model, unsigned graph) {
    std::vector<double> out;
    for (std::uint32_t k = 0; k + 1 < model.xSize; ++k) {
        const std::uint32_t slot = (model.writeIndex + 1 + k) % model.xSize;
        if (model.graphs[graph].received(slot)) out.push_back(model.graphs[graph].samples[slot]);
    }
    return out;
}

std::vector<double> run(double first, double last) {
    std::vector<double> out;
    for (double v = first; v <= last; ++v) out.push_back(v);
    return out;
}

void streamCounter(PlotModel& model, int from, int to) {
    for (int line = from; line <= to; ++line) model.processLine(std::to_string(line).c_str());
}

// Where the lines first..last stand, one after the other, in `shown`; -1 when they do not. Only
// filler stands before them: zeros of slots never written, or copies of the first line.
long positionOfLines(const std::vector<double>& shown, double first, double last) {
    std::size_t at = 0;
    while (at < shown.size() && shown[at] != first) ++at;
    while (at + 1 < shown.size() && shown[at + 1] == first) ++at;  // copies before the line itself
    if (at == shown.size()) return -1;
    for (std::size_t k = 0; k < at; ++k) {
        if (shown[k] != 0 && shown[k] != first) return -1;
    }
    for (double line = first; line <= last; ++line, ++at) {
        if (at >= shown.size() || shown[at] != line) return -1;
    }
    return static_cast<long>(at - static_cast<std::size_t>(last - first + 1));
}

TEST_F(PlotModelTest, MergesKeepTheLiveLinesInArrivalOrder) {
    // A counter arrives, an expression "x" and then a file of counted lines are merged in, and more
    // of the counter follows. The counter's graph must still read (and save) as the lines arrived,
    // the expression must read 0, 1, 2, ... from the left edge, and the file's lines stand in order,
    // its first line beside the counter's first or at the left edge.
    const struct {
        const char* name;
        bool fixed;
        int received, fileLines, after;
        long filePosition;  // in the order shown right after the merge
        int firstKept;      // the oldest counter line still held at the end
    } cases[] = {
        {"ring that came round", true, 891, 100, 9, 0, 292},
        {"ring not yet full", true, 300, 100, 5, 309, 1},
        {"ring grown by a longer file", true, 891, 1000, 9, 0, 283},
        {"extendable axis", false, 1000, 100, 10, 0, 1},
        {"extendable axis not yet full", false, 300, 100, 5, 309, 1},
        {"extendable axis at its limit", false, 70000, 100, 10, 0, 20012},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlotModel live;
        live.fixedXAxis = c.fixed;
        streamCounter(live, 1, c.received);

        PlotModel expression;  // as Eval Expression builds it
        expression.setXSize(live.xSize);
        expression.addGraph("x");
        for (std::uint32_t i = 0; i + 1 < live.xSize; ++i) {
            expression.storeSample(0, i);
            expression.advance();
        }
        live.merge(expression);
        const std::vector<double> evaluated = shownOrder(live, 1);
        for (std::size_t k = 0; k < evaluated.size(); ++k) ASSERT_EQ(evaluated[k], k) << k;
        EXPECT_EQ(receivedInShownOrder(live, 1), evaluated);

        PlotModel file;  // as Merge File reads it
        file.fixedXAxis = false;
        streamCounter(file, 1000001, 1000000 + c.fileLines);
        file.fixedXAxis = true;
        live.merge(file);
        EXPECT_EQ(positionOfLines(shownOrder(live, 2), 1000001, 1000000 + c.fileLines), c.filePosition);
        // The filler around the lines (zeros, copies made while the axis grew) is not received.
        EXPECT_EQ(receivedInShownOrder(live, 2), run(1000001, 1000000 + c.fileLines));

        streamCounter(live, c.received + 1, c.received + c.after);
        EXPECT_NE(positionOfLines(shownOrder(live, 0), c.firstKept, c.received + c.after), -1);
        EXPECT_EQ(receivedInShownOrder(live, 0), run(c.firstKept, c.received + c.after));
        expectConsistent(live);
    }
}

// The system's memory as the next test sets it: `memoryTotal` bytes free before the model held
// samples, less what its sample arrays hold; and the refusals the model tells.
std::uint64_t memoryTotal = 0;
const PlotModel* memoryUser = nullptr;
std::vector<std::string> refusals;

std::uint64_t testAvailableMemory() {
    std::uint64_t held = 0;
    for (const Graph& g : memoryUser->graphs) held += g.samples.capacity() * sizeof(double);
    return held < memoryTotal ? memoryTotal - held : 0;
}

void recordRefusal(const char* text, const std::string& detail) {
    refusals.push_back(text + detail);
}

TEST_F(PlotModelTest, GrowthBeyondTheMemoryIsRefusedAndToldOnce) {
    PlotModel model;
    memoryUser = &model;
    memoryTotal = 2u << 20;
    refusals.clear();
    availableMemoryFunction = testAvailableMemory;
    memoryRefusalFunction = recordRefusal;

    // A size that does not fit is refused and named; the plot keeps its size. One that fits is taken.
    model.processLine("#$ -xsize 2000000000");
    EXPECT_EQ(model.xSize, 610u);
    model.processLine("#$ -xsize 99999");  // 800 kB for the graph the first data line makes
    EXPECT_EQ(model.xSize, 100000u);
    EXPECT_EQ(refusals, std::vector<std::string>{"Error: Not enough memory for X-axis size: 2000000000"});

    // An extendable axis without a limit grows while four graphs fit in three quarters of the
    // memory, then goes on as a ring of what it holds, and says so once.
    refusals.clear();
    model.processLine("#$ -xsize 609 -no-fixed -no-limits");
    for (int line = 1; line <= 100000; ++line) model.processLine(("1 2 3 " + std::to_string(line)).c_str());
    ASSERT_EQ(refusals.size(), 1u);
    const std::string ring = "Error: Not enough memory to extend the X axis; it stays a ring of size: ";
    EXPECT_EQ(refusals[0], ring + std::to_string(model.xSize - 1));
    EXPECT_GT(model.xSize, 20000u);
    EXPECT_LE(4 * model.graphs[0].samples.capacity() * sizeof(double), memoryTotal / 4 * 3);
    EXPECT_EQ(model.graphs[3].samples[(model.writeIndex + model.xSize - 1) % model.xSize], 100000.0);
    expectConsistent(model);

    // Other programs took memory meanwhile: a fifth column gets no graph, and that is told once.
    refusals.clear();
    memoryTotal = 1u << 20;
    for (int line = 0; line < 3; ++line) model.processLine("1 2 3 4 5");
    EXPECT_EQ(model.graphs.size(), 4u);
    EXPECT_EQ(refusals,
              std::vector<std::string>{"Error: Not enough memory for another graph of X-axis size: " +
                                       std::to_string(model.xSize - 1)});

    availableMemoryFunction = systemAvailableMemory;
    memoryRefusalFunction = nullptr;
}

TEST_F(PlotModelTest, FixedRingKeepsTheLastLines) {
    PlotModel model;
    model.setXSize(10);
    model.addGraph("");
    for (int line = 1; line <= 25; ++line) {
        model.storeSample(0, line);
        model.advance();
    }
    EXPECT_EQ(model.writeIndex, 5u);
    for (unsigned s = 0; s < 10; ++s) {
        EXPECT_EQ(model.graphs[0].samples[s], s < 5 ? 21.0 + s : 11.0 + s);
    }
}

TEST_F(PlotModelTest, ExtendableAxisGrowsToItsLimitThenWraps) {
    PlotModel model;
    model.fixedXAxis = false;
    model.setXSize(10);
    model.maxXSize = 12;
    model.addGraph("");
    const struct {
        int lines;
        unsigned size, write;
    } steps[] = {{10, 11, 10}, {11, 12, 11}, {12, 12, 0}};
    int stored = 0;
    for (const auto& s : steps) {
        while (stored < s.lines) {
            model.storeSample(0, ++stored);
            model.advance();
        }
        SCOPED_TRACE(s.lines);
        EXPECT_EQ(model.xSize, s.size);
        EXPECT_EQ(model.writeIndex, s.write);
        expectConsistent(model);
    }
    EXPECT_EQ(model.graphs[0].samples[11], 12.0);
}

TEST_F(PlotModelTest, ExtendableAxisReallocatesOncePer256Lines) {
    PlotModel model;
    model.fixedXAxis = false;
    for (int i = 0; i < 4; ++i) model.addGraph("");
    int reallocations = 0;
    const double* before = model.graphs[3].samples.data();
    for (int line = 0; line < 5000; ++line) {
        for (unsigned g = 0; g < 4; ++g) model.storeSample(g, line);
        model.advance();
        if (model.graphs[3].samples.data() != before) {
            ++reallocations;
            before = model.graphs[3].samples.data();
        }
    }
    EXPECT_EQ(model.xSize, 5001u);
    EXPECT_LE(reallocations, (5000 - 610) / 256 + 1);
    for (const Graph& g : model.graphs) EXPECT_EQ(g.samples.capacity(), model.graphs[0].samples.capacity());
}

TEST_F(PlotModelTest, SetXSizePadsFoldsAndRaisesTheLimit) {
    PlotModel model;
    model.addGraph("");
    model.addGraph("");
    model.setXSize(9);
    EXPECT_EQ(model.xSize, 610u);
    model.writeIndex = 605;
    model.setXSize(10);
    EXPECT_EQ(model.xSize, 10u);
    EXPECT_EQ(model.writeIndex, 5u);
    model.graphs[0].samples[9] = 7;
    model.graphs[1].samples[9] = -1;
    model.setXSize(20);
    for (unsigned s = 10; s < 20; ++s) {
        EXPECT_EQ(model.graphs[0].samples[s], 7);
        EXPECT_EQ(model.graphs[1].samples[s], -1);
    }
    model.setXSize(60000);
    EXPECT_EQ(model.maxXSize, 60000u);
    expectConsistent(model);
}

TEST_F(PlotModelTest, LimitAndSamplingRateRules) {
    PlotModel model;
    model.applyXLimit(5);
    EXPECT_EQ(model.maxXSize, 50000u);
    model.applyXLimit(300);  // below the 610 slots in use
    EXPECT_EQ(model.maxXSize, 50000u);
    model.applyXLimit(1000);
    EXPECT_EQ(model.maxXSize, 1000u);
    model.applyXLimit(0);
    EXPECT_EQ(model.maxXSize, noXLimit);

    model.applySamplingRate(1000);
    model.applySamplingRate(0);
    EXPECT_EQ(model.samplingRate, 1000u);
    model.applySamplingRate(1000);
    EXPECT_EQ(model.samplingRate, 1000u);
    model.applySamplingRate(500);
    EXPECT_EQ(model.samplingRate, 0u);
}

int beeps = 0;
void countBeep() {
    ++beeps;
}

TEST_F(PlotModelTest, BeepRingsOnEveryValueReachingTheMaximum) {
    PlotModel model;
    model.addGraph("");
    model.graphs[0].beep = true;
    beepFunction = countBeep;
    beeps = 0;
    const double values[] = {0, 0, 2, 1, 2};
    const int expected[] = {1, 2, 3, 3, 4};
    for (int i = 0; i < 5; ++i) {
        model.storeSample(0, values[i]);
        EXPECT_EQ(beeps, expected[i]) << "after value " << i;
    }
    model.storeSample(0, std::nan(""));
    EXPECT_EQ(beeps, 4);
}

// The extremes are those of the values received: the zeros a graph starts with are none of them.
TEST_F(PlotModelTest, NegativeValuesKeepTheRangeBelowZero) {
    PlotModel model;
    model.addGraph("");
    for (double v : {-1.0, -5.0, -3.0}) model.storeSample(0, v);
    EXPECT_EQ(model.graphs[0].maxValue, -1);
    EXPECT_EQ(model.graphs[0].minValue, -5);
    EXPECT_EQ(model.displays[0].yMin, -5);
    EXPECT_LT(model.displays[0].yMax, 0);
    model.recomputeYRange(0);
    EXPECT_EQ(model.displays[0].yMin, -5);
    EXPECT_EQ(model.displays[0].yMax, -1);
}

// A stream that starts in an empty ring: the slots it has not reached yet, and those before a
// column that appeared later, are no samples. They count for no range, so 25 +- 0.2 never shows 0.
TEST_F(PlotModelTest, SlotsNeverReceivedCountForNoRange) {
    PlotModel model;
    for (int line = 0; line < 100; ++line) {
        model.processLine(line < 50 ? (line % 2 ? "25.2" : "24.8") : (line % 2 ? "25.2 -3" : "24.8 -3"));
        ASSERT_GT(model.displays[0].yMin, 0.0) << line;
    }
    const Graph& first = model.graphs[0];
    const Graph& later = model.graphs[1];
    EXPECT_EQ(first.receivedCount, 100u);
    EXPECT_TRUE(first.received(0) && first.received(99));
    EXPECT_FALSE(first.received(100) || first.received(609));
    EXPECT_FALSE(later.received(49));
    EXPECT_TRUE(later.received(50) && later.received(99));
    EXPECT_EQ(model.displays[0].yMin, 24.0);
    EXPECT_EQ(model.displays[0].yMax, 26.0);
    EXPECT_EQ(model.displays[1].yMin, -3.5);
    EXPECT_EQ(model.displays[1].yMax, -2.5);
    // Clearing forgets them; the next stream starts afresh.
    model.clear();
    model.processLine("-7");
    EXPECT_EQ(model.graphs[0].receivedCount, 1u);
    EXPECT_EQ(model.displays[0].yMax, -6.5);
}

// Slots an axis gains by a new size hold copies, not samples; a smaller size keeps what is left.
TEST_F(PlotModelTest, ResizedAxesKeepTheirReceivedSlots) {
    const struct {
        const char* name;
        std::uint32_t slots;
        int lines;
        std::uint32_t newSlots;
        const char* received;  // per slot after the resize
    } cases[] = {
        {"ring not yet full, grown", 10, 5, 12, "111110000000"},
        // The new slots land between the newest and the oldest line; one run keeps them in.
        {"ring come round, grown", 10, 25, 12, "111111111111"},
        {"ring not yet full, shrunk", 12, 11, 10, "1111111111"},
        {"ring come round, shrunk", 12, 15, 10, "1111111111"},
        {"ring a third full, shrunk", 15, 5, 10, "1111100000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlotModel model;
        model.setXSize(c.slots);
        for (int line = 1; line <= c.lines; ++line) model.processLine(std::to_string(line).c_str());
        model.setXSize(c.newSlots);
        std::string received;
        for (std::uint32_t s = 0; s < model.xSize; ++s) received += model.graphs[0].received(s) ? '1' : '0';
        EXPECT_EQ(received, c.received);
    }
}

}  // namespace
