#include "app/EvalExpression.h"

#include <cmath>

#include <gtest/gtest.h>

#include "model/PlotModel.h"

namespace {

struct Evaluated {
    bool compiled = false;
    PlotModel model;
};

Evaluated evaluate(const PlotModel& live, const char* expression, const char* xMin = "",
                   const char* xMax = "") {
    Evaluated out;
    out.compiled = evaluateExpression(live, expression, xMin, xMax, out.model);
    return out;
}

TEST(EvalExpression, XRunsOverTheSamplePositions) {
    const PlotModel live;
    const Evaluated e = evaluate(live, "x");
    ASSERT_TRUE(e.compiled);
    ASSERT_EQ(e.model.graphs.size(), 1u);
    const Graph& g = e.model.graphs[0];
    EXPECT_EQ(g.title, "x");
    EXPECT_EQ(e.model.xSize, 610u);
    for (unsigned i = 0; i < 609; ++i) ASSERT_EQ(g.samples[i], i);
    EXPECT_EQ(e.model.writeIndex, 609u);
    EXPECT_EQ(e.model.displays[0].xScaleSize, 0u);
}

// The live X axis of 40 million slots was set while there was no graph, and the expression's graph
// cannot be allocated in the tests (tests/AllocationCeiling.cpp). Evaluating used to index the
// graph that was never added; now it adds nothing.
TEST(EvalExpression, NoMemoryForTheGraphAddsNothing) {
    PlotModel live;
    live.processLine("#$ -xsize 40000000");
    const Evaluated e = evaluate(live, "x");
    EXPECT_TRUE(e.compiled);
    EXPECT_TRUE(e.model.graphs.empty());
}

TEST(EvalExpression, ZCarriesThePreviousResult) {
    const Evaluated e = evaluate(PlotModel(), "z+1");
    ASSERT_TRUE(e.compiled);
    for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(e.model.graphs[0].samples[i], i + 1.0);
}

TEST(EvalExpression, RangesSpreadXEvenlyOverBothEnds) {
    const double pi = std::acos(-1.0);
    const struct {
        const char *xMin, *xMax;
        bool ranged;
        double first, last;
    } rows[] = {
        {"0", "2*pi", true, 0, 2 * pi}, {"5", "", false, 0, 608},   {"", "10", true, 0, 10},
        {"3", "1", false, 0, 608},      {"oops(", "4", true, 0, 4},  // a range text that does not compile
                                                                     // counts as 0
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.xMin << ".." << r.xMax);
        const Evaluated e = evaluate(PlotModel(), "x", r.xMin, r.xMax);
        ASSERT_TRUE(e.compiled);
        const Display& d = e.model.displays[0];
        EXPECT_EQ(d.xScaleSize, r.ranged ? 609u : 0u);
        if (r.ranged) {
            EXPECT_DOUBLE_EQ(d.xScaleMin, r.first);
            EXPECT_DOUBLE_EQ(d.xScaleMax, r.last);
        }
        EXPECT_DOUBLE_EQ(e.model.graphs[0].samples[0], r.first);
        EXPECT_NEAR(e.model.graphs[0].samples[608], r.last, 1e-12);
    }
    const Evaluated sine = evaluate(PlotModel(), "sin(x)", "0", "2*pi");
    EXPECT_NEAR(sine.model.graphs[0].samples[152], 1.0, 1e-4);
}

TEST(EvalExpression, FollowsTheLiveAxis) {
    PlotModel live;
    live.setXSize(101);
    live.maxXSize = 5;  // not a limit the temporary model can take
    const Evaluated e = evaluate(live, "x");
    EXPECT_EQ(e.model.xSize, 101u);
    EXPECT_EQ(e.model.maxXSize, 50000u);
    EXPECT_EQ(e.model.graphs[0].samples[99], 99);
    live.maxXSize = noXLimit;
    EXPECT_EQ(evaluate(live, "x").model.maxXSize, noXLimit);
}

TEST(EvalExpression, SyntaxErrorLeavesNoGraph) {
    const Evaluated e = evaluate(PlotModel(), "(1+2");
    EXPECT_FALSE(e.compiled);
    EXPECT_TRUE(e.model.graphs.empty());
}

TEST(EvalExpression, DecimalPointReadsUnderAnyLocale) {
    const Evaluated e = evaluate(PlotModel(), "0.5+x*0");
    ASSERT_TRUE(e.compiled);
    EXPECT_EQ(e.model.graphs[0].samples[3], 0.5);
}

}  // namespace
