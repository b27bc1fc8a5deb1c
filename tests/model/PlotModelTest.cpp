#include "model/PlotModel.h"

#include <cmath>
#include <limits>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

namespace {

// Adds n graphs and stores one value per graph so that their extremes are known.
void addGraphsWithMaxima(PlotModel& model, std::initializer_list<double> maxima) {
    for (double m : maxima) {
        const unsigned g = model.addGraph("");
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
    for (std::size_t d = 0; d < model.displays.size(); ++d) EXPECT_EQ(model.displays[d].graphCount, counts[d]);
    EXPECT_LT(model.writeIndex, model.xSize);
}

class PlotModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedIndependent = defaultIndependentDisplays;
        savedPruning = directoryPruning;
    }
    void TearDown() override {
        defaultIndependentDisplays = savedIndependent;
        directoryPruning = savedPruning;
        beepFunction = nullptr;
    }
    bool savedIndependent = true;
    bool savedPruning = true;
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
        {0, 3.14159, 1, 0, 3.2},  {0, 0.123, 1, 0, 0.13},  {0, 7.2, 1, 0, 8},
        {-0.123, 0, 1, -0.13, 0}, {-3.21, 0, 1, -3.3, 0},  {-7.5, 0, 1, -8, 0},
        {0, 0, 1, -0.5, 0.5},     {0, 3, 2, 0, 6},
        {0, 5, -1, -5, 0},  // a negative scale flips the graph; the range still holds it
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.min << ".." << r.max << " x" << r.scale);
        PlotModel model;
        model.addGraph("");
        model.graphs[0].minValue = r.min;
        model.graphs[0].maxValue = r.max;
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
    EXPECT_EQ(model.displays[0].yMax, 50);
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
        {"reference-line width", &PlotModel::setRefLineWidth, &PlotModel::refLineWidth, {0, 9, 0.5}, {-0.01, 9.01, nan}},
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
    for (double scale : {0.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
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
        {true, 19, 8, true, 20, 9},   {true, 20, 8, false, 20, 8},  {true, 10, 9, false, 10, 9},
        {true, 19.5, 2, true, 19.5, 3}, {false, 6, 2, true, 5, 1},    {false, 6, 1, false, 6, 1},
        {false, 5, 3, false, 5, 3},   {false, 5.5, 3, true, 5.5, 2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << (r.enlarge ? "enlarge " : "shrink ") << r.fontSize << " " << r.lineWidth);
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
        {"/home/u/logs/run.txt", true, "run"}, {"/home/u/logs/run.txt", false, "logs/run"},
        {"data", true, "data"},                {"a.b.c", true, "a.b"},
        {"/a/b/c.plt", false, "b/c"},          {"/a.d/run", false, "a"},
        {"run.txt", false, "run"},             {"", true, ""},
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
    EXPECT_EQ(live.graphs[0].samples[999], 3.0);      // padded with the last value
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
void countBeep() { ++beeps; }

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

TEST_F(PlotModelTest, NegativeValuesKeepMaximumZero) {
    PlotModel model;
    model.addGraph("");
    for (double v : {-1.0, -5.0, -3.0}) model.storeSample(0, v);
    EXPECT_EQ(model.graphs[0].maxValue, 0);
    EXPECT_EQ(model.graphs[0].minValue, -5);
    EXPECT_EQ(model.displays[0].yMin, -5);
}

TEST_F(PlotModelTest, DisplayBandGeometry) {
    PlotModel model;
    model.independentDisplays = false;
    model.addDisplay(2);  // weights 1 and 2 in 300 rows
    const struct {
        bool frames;
        double top0, bottom0, top1, bottom1;
    } rows[] = {{false, 0, 98, 100, 298}, {true, 20, 91, 113, 277}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.frames);
        model.frames = r.frames;
        const DisplayBand b0 = model.displayBand(0, 300, 0);
        const DisplayBand b1 = model.displayBand(1, 300, 0);
        EXPECT_EQ(b0.top, r.top0);
        EXPECT_EQ(b0.bottom, r.bottom0);
        EXPECT_EQ(b1.top, r.top1);
        EXPECT_EQ(b1.bottom, r.bottom1);
    }
    model.frames = false;
    model.displays[0].yMin = -1;
    model.displays[0].yMax = 1;
    EXPECT_EQ(model.valueToY(0, 1, 300, 0), 2);
    EXPECT_EQ(model.valueToY(0, -1, 300, 0), 98);
    EXPECT_EQ(model.valueToY(0, 99, 300, 0), 2);  // clamped
    EXPECT_EQ(model.displayAtY(0, 300, 0), 0);
    EXPECT_EQ(model.displayAtY(100, 300, 0), 0);  // the pointer band reaches one row further
    EXPECT_EQ(model.displayAtY(101, 300, 0), 1);
    EXPECT_EQ(model.displayAtY(301, 300, 0), -1);
}

}  // namespace
