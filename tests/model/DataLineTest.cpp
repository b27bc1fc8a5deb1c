#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "model/PlotModel.h"
#include "tests/model/CommaLocale.h"
#include "tests/support/ProcessSettings.h"

namespace {

// The values of the newest line, one per graph.
std::vector<double> newestValues(const PlotModel& model) {
    std::vector<double> out;
    const std::uint32_t slot = (model.writeIndex + model.xSize - 1) % model.xSize;
    for (const Graph& g : model.graphs) out.push_back(g.samples[slot]);
    return out;
}

struct Tokens {
    const char* line;
    std::vector<double> columns;  // empty: the line is ignored and the position stays
};

void expectColumns(const std::vector<Tokens>& rows) {
    for (const Tokens& row : rows) {
        SCOPED_TRACE(row.line);
        PlotModel model;
        model.processLine(row.line);
        EXPECT_EQ(model.graphs.size(), row.columns.size());
        EXPECT_EQ(model.writeIndex, row.columns.empty() ? 0u : 1u);
        if (!row.columns.empty()) {
            EXPECT_EQ(newestValues(model), row.columns);
        }
    }
}

TEST(DataLine, SplitsWordsIntoNumberColumns) {
    expectColumns({
        {"1 2 3", {1, 2, 3}},
        {"  5   -6\t7 ", {5, -6, 7}},
        {"1\v2\f3\r", {1, 2, 3}},
        {"5 abc 6", {5, 6}},
        {"5 # 6 7", {5}},
        {"5 #6", {5}},
        {"- -x +3 .5 -.5 nan inf -3", {-3}},
        {"3e2 0x10 12abc -0", {300, 16, 12, 0}},
        {"1.25 2.5", {1.25, 2.5}},
        {"", {}},
        {"# just a comment", {}},
        {"hello world", {}},
        {"\r5", {}},
        {"\n5", {}},
    });
}

TEST(DataLine, ReadsPointAndCommaUnderADecimalCommaLocale) {
    CommaLocale comma;
    if (!comma.active) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    expectColumns({
        {"1.25 2,5 -0.5e1", {1.25, 2.5, -5}},
        {("0." + std::string(300, '0') + "1 7").c_str(), {1e-301, 7}},
    });
}

TEST(DataLine, ColumnsCreateGraphsWithDefaultTitles) {
    PlotModel model;
    model.sourceName = "data";
    model.processLine("1 2 3");
    ASSERT_EQ(model.graphs.size(), 3u);
    EXPECT_EQ(model.graphs[0].title, "data_0");
    EXPECT_EQ(model.graphs[2].title, "data_2");
    model.processLine("4 5 6 7");
    EXPECT_EQ(model.graphs[3].title, "data_3");
    EXPECT_EQ(model.graphs[3].samples[0], 0.0);  // the new graph starts with zeros
    EXPECT_EQ(model.graphs[3].samples[1], 7.0);
    EXPECT_EQ(model.writeIndex, 2u);
}

int beeps = 0;
void countBeep() {
    ++beeps;
}

TEST(DataLine, MissingColumnsGetZeroUnlessAPlotWasMergedIn) {
    const ProcessSettingsGuard settings;
    beepFunction = countBeep;
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        PlotModel model;
        model.processLine("1 2 -3");
        model.graphs[2].samples[1] = 9.0;
        model.graphs[2].beep = true;  // its maximum is still 0, so a stored 0 rings
        model.keepMissingColumns = keep;
        beeps = 0;
        model.processLine("1 2");
        EXPECT_EQ(model.graphs[2].samples[1], keep ? 9.0 : 0.0);
        EXPECT_EQ(beeps, keep ? 0 : 1);
        EXPECT_EQ(model.writeIndex, 2u);
    }
}

TEST(DataLine, ColumnsBeyondTheGraphLimitAreDropped) {
    PlotModel model;
    std::string line;
    for (int c = 1; c <= 65; ++c) line += std::to_string(c) + " ";
    model.processLine(line.c_str());
    model.processLine(line.c_str());
    ASSERT_EQ(model.graphs.size(), maxGraphs);
    EXPECT_EQ(model.graphs[63].samples[1], 64.0);
    EXPECT_EQ(model.graphs[0].samples[1], 1.0);
    EXPECT_EQ(model.writeIndex, 2u);
}

TEST(DataLine, OverflowingValuesAreStoredButKeepRangesFinite) {
    PlotModel model;
    model.processLine("1e999 -1e999 2");
    model.processLine("3 -1 1e999");
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(model.graphs[0].samples[0], inf);
    EXPECT_EQ(model.graphs[1].samples[0], -inf);
    EXPECT_EQ(model.graphs[2].samples[1], inf);
    // The finite values still set the extremes and widen the ranges.
    EXPECT_EQ(model.graphs[0].maxValue, 3.0);
    EXPECT_EQ(model.graphs[1].minValue, -1.0);
    model.recomputeAllYRanges();
    // Each graph received one finite value, which its display's range holds.
    const double finite[] = {3.0, -1.0, 2.0};
    for (unsigned d = 0; d < 3; ++d) {
        const Display& display = model.displays[d];
        EXPECT_TRUE(std::isfinite(display.yMin) && std::isfinite(display.yMax));
        EXPECT_LT(display.yMin, finite[d]);
        EXPECT_GT(display.yMax, finite[d]);
    }
}

TEST(DataLine, LinesStartingWithHashAreOptionLines) {
    PlotModel model;
    model.processLine("#> Plot of 1 2 3");
    model.processLine("#$ -t volts");
    model.processLine("#~ 4 5");
    EXPECT_EQ(model.generalTitle, "Plot of 1 2 3");
    ASSERT_EQ(model.graphs.size(), 1u);
    EXPECT_EQ(model.graphs[0].title, "volts");
    EXPECT_EQ(model.writeIndex, 0u);
}

TEST(LoadTextFile, ReadsLinesEndingInCarriageReturnAndLineFeed) {
    PlotModel model;
    ASSERT_TRUE(model.loadTextFile(KIVREL_TEST_DATA "/model/crlf-line-ends.plt"));
    EXPECT_EQ(model.generalTitle, "Two sensors");
    ASSERT_EQ(model.graphs.size(), 2u);
    EXPECT_EQ(model.graphs[0].title, "left");
    EXPECT_EQ(model.graphs[1].title, "right");
    EXPECT_EQ(model.xSize, 101u);
    EXPECT_EQ(model.writeIndex, 3u);                            // the empty line between is skipped
    const double expected[3][2] = {{1.5, -2}, {3, 4}, {5, 6}};  // the last line has no line feed
    for (unsigned s = 0; s < 3; ++s) {
        EXPECT_EQ(model.graphs[0].samples[s], expected[s][0]);
        EXPECT_EQ(model.graphs[1].samples[s], expected[s][1]);
    }
}

TEST(LoadTextFile, FailsOnlyWhenTheFileCannotBeOpened) {
    PlotModel model;
    EXPECT_FALSE(model.loadTextFile(KIVREL_TEST_DATA "/model/no-such-file.plt"));
    EXPECT_FALSE(model.loadTextFile(KIVREL_TEST_DATA "/model"));  // a directory is no plot file
    EXPECT_TRUE(model.loadTextFile(KIVREL_TEST_DATA "/model/empty.plt"));
    EXPECT_TRUE(model.graphs.empty());
}

}  // namespace
