#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <sstream>
#include <vector>

#include "files/NumberText.h"
#include "files/PlotFile.h"
#include "model/PlotModel.h"
#include "tests/support/TempDir.h"

namespace {

void storeLine(PlotModel& model, std::initializer_list<double> values) {
    unsigned g = 0;
    for (double v : values) model.storeSample(g++, v);
    model.advance();
}

// Two graphs "a" and "b" in independent displays, 10 slots, three lines stored.
PlotModel twoGraphModel() {
    PlotModel model;
    model.setIndependentDisplays(true);
    model.setXSize(10);
    model.addGraph("a");
    model.addGraph("b");
    storeLine(model, {1, 10});
    storeLine(model, {2, 20});
    storeLine(model, {3, 30});
    return model;
}

// Every general, display and graph option that a plot file can carry.
PlotModel richModel() {
    PlotModel model;
    model.setIndependentDisplays(false);
    model.generalTitle = "Motor test :: run 3";
    model.lineWidth = 2.5;
    model.refLineWidth = 0.5;
    model.fontSize = 12;
    model.frames = true;
    model.samplingRate = 1000;
    model.highFrequency = true;
    model.sharedYMinMax = true;
    model.setXSize(10);
    for (int i = 0; i < 3; ++i) model.addDisplay(1);
    Display& manual = model.displays[1];
    manual.autoRange = false;
    manual.yMin = -5;
    manual.yMax = 5;
    manual.gridLevel = 2;
    manual.xScaleSize = 100;
    manual.xScaleMin = -1.5;
    manual.xScaleMax = 2.25;
    model.setDisplayWeight(1, 3);
    model.addReferenceLine(1, 1);
    model.addReferenceLine(1, -0.25);
    model.addReferenceLine(3, 2.5);
    model.addGraph("current");
    model.addGraph("shaft speed");
    model.moveGraphToDisplay(1, 1);
    model.graphs[1].scale = 0.001;
    model.graphs[1].beep = true;
    model.addGraph("spare");
    model.moveGraphToDisplay(2, 3);
    model.graphs[2].enabled = false;
    storeLine(model, {3.14159265, 1234567, 0.00001});
    storeLine(model, {-2, 0.5, 1e-7});
    return model;
}

std::string pltText(const PlotModel& model) {
    std::ostringstream out;
    writePltOptions(model, out);
    writePltSamples(model, out);
    return out.str();
}

std::string optionText(const PlotModel& model) {
    std::ostringstream out;
    writePltOptions(model, out);
    return out.str();
}

std::string sixDigits(double value) {
    std::string text;
    appendReal(text, value);
    return text;
}

// The stored values from the oldest slot to the newest, as six-digit text.
std::vector<std::string> ringOrder(const Graph& graph, const PlotModel& model) {
    std::vector<std::string> values;
    for (std::uint32_t f = 0; f + 1 < model.xSize; ++f) {
        values.push_back(sixDigits(graph.samples[(f + model.writeIndex + 1) % model.xSize]));
    }
    return values;
}

// A model as Open File prepares it before reading.
PlotModel openedModel() {
    PlotModel model;
    model.clear();
    model.fixedXAxis = false;
    model.highFrequency = false;
    return model;
}

class PlotFileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }
    TempDir dir;
};

TEST_F(PlotFileTest, WritesTheGoldenFiles) {
    const struct {
        const char* golden;
        std::function<PlotModel()> make;
    } rows[] = {{"two-graphs-independent.plt", twoGraphModel}, {"every-option.plt", richModel}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.golden);
        const std::string name = dir.path(row.golden);
        ASSERT_TRUE(writePlt(row.make(), name.c_str()));
        EXPECT_EQ(readWholeFile(name), readWholeFile(testData(row.golden)));
    }
}

TEST_F(PlotFileTest, GeneralOptionsDepartingByLessThanTheToleranceAreNotWritten) {
    const struct {
        const char* name;
        std::function<void(PlotModel&)> set;
        const char* line;
    } rows[] = {
        {"line width barely above 1", [](PlotModel& m) { m.lineWidth = 1.0000000001; },
         "#$ -indep -xsize 609\n"},
        {"line width 1.001", [](PlotModel& m) { m.lineWidth = 1.001; }, "#$ -indep -lw 1.001 -xsize 609\n"},
        {"reference width barely above 0", [](PlotModel& m) { m.refLineWidth = 1e-10; },
         "#$ -indep -xsize 609\n"},
        {"font size barely below 10", [](PlotModel& m) { m.fontSize = 9.9999999995; },
         "#$ -indep -xsize 609\n"},
        {"font size 9.5", [](PlotModel& m) { m.fontSize = 9.5; }, "#$ -indep -fsz 9.5 -xsize 609\n"},
        {"no independent displays", [](PlotModel& m) { m.setIndependentDisplays(false); },
         "#$ -no-indep -xsize 609\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PlotModel model;
        model.setIndependentDisplays(true);
        row.set(model);
        EXPECT_EQ(optionText(model), row.line);
    }
}

TEST_F(PlotFileTest, DisplayLinesSkipDefaultDisplaysAndKeepTheirIndex) {
    const struct {
        const char* name;
        std::function<void(Display&)> set;
        const char* line;  // of display 1; empty when it is not written
    } rows[] = {
        {"default", [](Display&) {}, ""},
        {"only a reference line", [](Display& d) { d.refLines = {2.5}; }, "#~ -dpy 1 -l 2.5\n"},
        {"weight 0 and grid -1 count as default", [](Display& d) { d.weight = 0; }, ""},
        {"grid level 0", [](Display& d) { d.gridLevel = 0; }, "#~ -dpy 1 -grid 0\n"},
        {"X scale without a range", [](Display& d) { d.xScaleSize = 5, d.xScaleMin = 2, d.xScaleMax = 2; },
         "#~ -dpy 1\n"},
        {"manual range", [](Display& d) { d.autoRange = false, d.yMin = 0.001, d.yMax = 1e6; },
         "#~ -dpy 1 -y 0.001:1e+06\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PlotModel model;
        model.setIndependentDisplays(false);
        model.addDisplay(1);
        row.set(model.displays[1]);
        EXPECT_EQ(optionText(model), std::string("#$ -no-indep -xsize 609\n") + row.line);
    }
}

TEST_F(PlotFileTest, GraphLinesCarryTheShownDisplayWithoutIndependentDisplays) {
    PlotModel model;
    model.setIndependentDisplays(false);
    model.addDisplay(1);
    model.addDisplay(1);
    model.addGraph("a b");
    model.addGraph("say \"hi\"");
    model.moveGraphToDisplay(1, 2);
    model.graphs[0].scale = -2;
    const std::string general = "#$ -no-indep -xsize 609\n";
    EXPECT_EQ(optionText(model), general +
                                     "#~ -t \"a b\" -d 0 -s -2\n"
                                     "#~ -t \"say \"hi\"\" -d 2\n");
    // While graph 1 is dragged over display 1, it is drawn there.
    model.dragGraph = 1;
    model.dragTargetDisplay = 1;
    EXPECT_EQ(optionText(model), general +
                                     "#~ -t \"a b\" -d 0 -s -2\n"
                                     "#~ -t \"say \"hi\"\" -d 1\n");
}

TEST_F(PlotFileTest, DataLinesRunFromTheOldestSlotToTheNewest) {
    PlotModel ring;
    ring.setXSize(10);
    ring.addGraph("");
    for (int line = 1; line <= 12; ++line) storeLine(ring, {double(line)});
    std::ostringstream ringOut;
    writePltSamples(ring, ringOut);
    EXPECT_EQ(ringOut.str(), "4 \n5 \n6 \n7 \n8 \n9 \n10 \n11 \n12 \n");

    PlotModel fresh;  // Fixed X-Axis mode with the start size of 610 slots
    fresh.addGraph("");
    for (int line = 1; line <= 3; ++line) storeLine(fresh, {double(line)});
    std::ostringstream freshOut;
    writePltSamples(fresh, freshOut);
    std::string expected;
    for (int i = 0; i < 606; ++i) expected += "0 \n";
    EXPECT_EQ(freshOut.str(), expected + "1 \n2 \n3 \n");
}

TEST_F(PlotFileTest, SavingChoosesTheFormatByTheExactWxvEnding) {
    const struct {
        const char* name;
        const char* start;
    } rows[] = {{"plot.wxv", "# RIFF "},
                {"plot.WXV", "#$ "},
                {"plot.wxv.plt", "#$ "},
                {".wxv", "#$ "},
                {"plot", "#$ "}};
    PlotModel model = twoGraphModel();
    model.samplingRate = 100;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string name = dir.path(row.name);
        EXPECT_EQ(saveFile(model, name.c_str(), row.name), 0);
        EXPECT_EQ(readWholeFile(name).rfind(row.start, 0), 0u);
    }
}

TEST_F(PlotFileTest, SavingFailsWithoutCreatingAFile) {
    PlotModel empty;
    empty.samplingRate = 100;
    PlotModel noRate = twoGraphModel();
    const struct {
        const char* name;
        const PlotModel& model;
        std::int32_t result;
    } rows[] = {{"empty.plt", empty, -1}, {"empty.wxv", empty, -1}, {"no-rate.wxv", noRate, -2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(saveFile(row.model, dir.path(row.name).c_str(), row.name), row.result);
    }
    EXPECT_EQ(dir.entryCount(), 0u);
    EXPECT_EQ(saveFile(noRate, dir.path("missing/plot.plt").c_str(), "plot.plt"), -1);
}

TEST_F(PlotFileTest, AFullDiskIsAFailure) {
    PlotModel model = twoGraphModel();
    model.samplingRate = 100;
    EXPECT_EQ(saveFile(model, "/dev/full", "/dev/full"), -1);
    EXPECT_EQ(saveFile(model, "/dev/full", "full.wxv"), -1);
}

// A write that fails partway (here the process's file-size limit, as a full disk would) reports
// failure and leaves the file that was there before as it was.
TEST_F(PlotFileTest, AFailedSaveKeepsTheOriginalFile) {
    const std::string name = dir.path("plot.plt");
    writeWholeFile(name, "original\n");
    PlotModel model;
    for (int g = 0; g < 64; ++g) model.addGraph("");
    for (std::uint32_t line = 0; line < model.xSize; ++line) {
        for (unsigned g = 0; g < 64; ++g) model.storeSample(g, line * 1.23456 + g);
        model.advance();
    }
    {
        const FileSizeLimit limit(100000);
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(writePlt(model, name.c_str()));
    }
    EXPECT_EQ(readWholeFile(name), "original\n");
    EXPECT_EQ(dir.entryCount(), 1u);
}

TEST_F(PlotFileTest, ASavedPlotReadsBackWithItsSettingsAndSamples) {
    const PlotModel saved = richModel();
    const std::string name = dir.path("rich.plt");
    ASSERT_EQ(saveFile(saved, name.c_str(), "rich.plt"), 0);
    PlotModel read = openedModel();
    ASSERT_TRUE(readPlotFile(read, name.c_str(), "rich.plt"));

    EXPECT_EQ(read.generalTitle, saved.generalTitle);
    EXPECT_FALSE(read.independentDisplays);
    EXPECT_EQ(read.lineWidth, 2.5);
    EXPECT_EQ(read.refLineWidth, 0.5);
    EXPECT_EQ(read.fontSize, 12);
    EXPECT_TRUE(read.frames);
    EXPECT_EQ(read.samplingRate, 1000u);
    EXPECT_TRUE(read.highFrequency);
    EXPECT_TRUE(read.sharedYMinMax);
    EXPECT_EQ(read.xSize, saved.xSize);
    ASSERT_EQ(read.displays.size(), saved.displays.size());
    for (std::size_t d = 0; d < saved.displays.size(); ++d) {
        SCOPED_TRACE(d);
        const Display& want = saved.displays[d];
        const Display& got = read.displays[d];
        EXPECT_EQ(got.autoRange, want.autoRange);
        if (!want.autoRange) {
            EXPECT_EQ(got.yMin, want.yMin);
            EXPECT_EQ(got.yMax, want.yMax);
        }
        EXPECT_EQ(got.weight, want.weight);
        EXPECT_EQ(got.gridLevel, want.gridLevel);
        EXPECT_EQ(got.xScaleSize, want.xScaleSize);
        EXPECT_EQ(got.xScaleMin, want.xScaleMin);
        EXPECT_EQ(got.xScaleMax, want.xScaleMax);
        EXPECT_EQ(got.refLines, want.refLines);
    }
    ASSERT_EQ(read.graphs.size(), saved.graphs.size());
    for (unsigned g = 0; g < saved.graphs.size(); ++g) {
        SCOPED_TRACE(saved.graphs[g].title);
        const Graph& want = saved.graphs[g];
        const Graph& got = read.graphs[g];
        EXPECT_EQ(got.title, want.title);
        EXPECT_EQ(got.display, want.display);
        EXPECT_EQ(got.scale, want.scale);
        EXPECT_EQ(got.beep, want.beep);
        EXPECT_EQ(got.enabled, want.enabled);
        EXPECT_EQ(ringOrder(got, read), ringOrder(want, saved));
    }
    // Saving what was read gives the same file again.
    EXPECT_EQ(pltText(read), readWholeFile(name));
}

// Slots a stream has not reached are not drawn, yet saved as always: 100 lines into the start ring
// save 609 rows. A plot read from a file shows every slot it holds.
TEST_F(PlotFileTest, SavingWritesEverySlotAndReadingCountsEveryOneAsReceived) {
    PlotModel live;
    for (int line = 1; line <= 100; ++line) live.processLine(std::to_string(line).c_str());
    ASSERT_EQ(live.graphs[0].receivedCount, 100u);
    const std::string name = dir.path("stream.plt");
    ASSERT_EQ(saveFile(live, name.c_str(), "stream.plt"), 0);
    std::istringstream saved(readWholeFile(name));
    int rows = 0;
    for (std::string line; std::getline(saved, line);) rows += line[0] != '#';
    EXPECT_EQ(rows, 609);

    PlotModel read = openedModel();
    ASSERT_TRUE(readPlotFile(read, name.c_str(), "stream.plt"));
    for (std::uint32_t s = 0; s < read.xSize; ++s) ASSERT_TRUE(read.graphs[0].received(s)) << s;
    EXPECT_EQ(read.displays[0].yMin, 0.0);  // the zeros the file holds count
    EXPECT_EQ(pltText(read), readWholeFile(name));
}

TEST_F(PlotFileTest, ReadsIndependentDisplaysBack) {
    const std::string name = dir.path("two.plt");
    ASSERT_TRUE(writePlt(twoGraphModel(), name.c_str()));
    PlotModel read = openedModel();
    read.setIndependentDisplays(false);
    ASSERT_TRUE(readPlotFile(read, name.c_str(), "two.plt"));
    EXPECT_TRUE(read.independentDisplays);
    ASSERT_EQ(read.graphs.size(), 2u);
    EXPECT_EQ(read.graphs[1].display, 1u);
    EXPECT_EQ(pltText(read), readWholeFile(name));
}

TEST_F(PlotFileTest, ChoosesTheReaderByTheExactWxvEnding) {
    const struct {
        const char* name;
        std::size_t graphs;
        std::uint32_t lines;
    } rows[] = {
        {"plot.wxv", 1, 2},  // no header: the first line is skipped, one channel
        {".wxv", 2, 2},      // too short to have the ending: read as text
        {"plot.WXV", 2, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string name = dir.path(row.name);
        writeWholeFile(name, "5 6\n7 8\n");
        PlotModel model = openedModel();
        EXPECT_TRUE(readPlotFile(model, name.c_str(), row.name));
        EXPECT_EQ(model.graphs.size(), row.graphs);
        EXPECT_EQ(model.writeIndex, row.lines);
    }
}

TEST_F(PlotFileTest, RecomputesTheYRangesAfterReading) {
    const std::string name = dir.path("small.plt");
    writeWholeFile(name, "0.123 -3.21\n");
    PlotModel model = openedModel();
    ASSERT_TRUE(readPlotFile(model, name.c_str(), "small.plt"));
    ASSERT_EQ(model.displays.size(), 2u);
    EXPECT_DOUBLE_EQ(model.displays[0].yMax, 0.13);
    EXPECT_DOUBLE_EQ(model.displays[1].yMin, -3.3);
    EXPECT_FALSE(readPlotFile(model, dir.path("missing.plt").c_str(), "missing.plt"));
}

// A file that cannot be read on from says what stopped it and on which line; the values before
// that place stay. A file that reads whole, or does not open at all, has nothing to add.
TEST_F(PlotFileTest, AReadingThatStopsSaysWhatAndWhere) {
    const struct {
        const char* file;
        std::string problem;
        std::vector<double> firstGraph;
    } rows[] = {
        {"wxv-text-in-body.wxv", "line 3: 'x' is not a number", {1, 3}},
        {"csv-unclosed-quote.csv", "line 3: a quote opened here is not closed", {1}},
        {"csv-mixed-separators.csv",
         "line 3: field 1 '1,3,4' is not a number; the file separates its fields with ';'",
         {1.5}},
        {"wxv-fractions.wxv", "", {1.5, 300}},
        {"missing.csv", "", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        PlotModel model;
        model.fixedXAxis = false;
        std::string problem;
        EXPECT_EQ(readPlotFile(model, testData(row.file).c_str(), row.file, &problem),
                  row.problem.empty() && !row.firstGraph.empty());
        EXPECT_EQ(problem, row.problem);
        if (row.firstGraph.empty()) continue;
        ASSERT_FALSE(model.graphs.empty());
        const std::vector<double> first(
            model.graphs[0].samples.begin(),
            model.graphs[0].samples.begin() + static_cast<long>(row.firstGraph.size()));
        EXPECT_EQ(first, row.firstGraph);
    }
}

}  // namespace
