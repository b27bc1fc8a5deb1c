#include "files/Configuration.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "model/PlotModel.h"
#include "tests/support/TempDir.h"

namespace {

// Several displays (manual and automatic, grids, weights, an X scale, reference lines) and graphs
// (titles with spaces, scales, flags, colours) in non-independent mode.
PlotModel richModel() {
    PlotModel model;
    model.setIndependentDisplays(false);
    model.fixedXAxis = false;
    model.highFrequency = true;
    model.frames = true;
    model.samplingRate = 1000;
    model.setXSize(1001);
    model.addDisplay(3);
    model.addDisplay(1);
    model.setDisplayAutoRange(1, false);
    model.displays[1].yMin = -1.25;
    model.displays[1].yMax = 2.5e-7;
    model.displays[2].gridLevel = 7;
    model.displays[2].xScaleSize = 100;
    model.displays[2].xScaleMin = 0;
    model.displays[2].xScaleMax = 6.28319;
    model.addReferenceLine(0, 1.5);
    model.addReferenceLine(0, -3);
    for (const char* title : {"motor current", "speed", "x"}) model.addGraph(title);
    model.moveGraphToDisplay(1, 2);
    model.moveGraphToDisplay(2, 1);
    model.graphs[0].scale = -0.5;
    model.graphs[1].enabled = false;
    model.graphs[2].beep = true;
    model.graphs[2].colour = Colour{0.1, 0.2, 0.3, 1.0};
    return model;
}

TEST(Configuration, RoundTripReproducesTheLayout) {
    const PlotModel source = richModel();
    std::stringstream file;
    ASSERT_TRUE(writeConfiguration(source, file));

    PlotModel target;
    for (int i = 0; i < 3; ++i) target.addGraph("");
    ASSERT_TRUE(readConfiguration(target, file));
    EXPECT_FALSE(target.fixedXAxis);
    EXPECT_TRUE(target.highFrequency);
    EXPECT_TRUE(target.frames);
    EXPECT_FALSE(target.independentDisplays);
    EXPECT_EQ(target.samplingRate, 1000u);
    EXPECT_EQ(target.xSize, 1001u);
    ASSERT_EQ(target.displays.size(), 3u);
    EXPECT_EQ(target.displays[1].weight, 3u);
    EXPECT_FALSE(target.displays[1].autoRange);
    EXPECT_DOUBLE_EQ(target.displays[1].yMin, -1.25);
    EXPECT_DOUBLE_EQ(target.displays[1].yMax, 2.5e-7);
    EXPECT_EQ(target.displays[2].gridLevel, 7);
    EXPECT_EQ(target.displays[2].xScaleSize, 100u);
    EXPECT_DOUBLE_EQ(target.displays[2].xScaleMax, 6.28319);
    EXPECT_EQ(target.displays[0].refLines, (std::vector<double>{1.5, -3}));
    EXPECT_TRUE(target.displays[0].autoRange);
    for (unsigned g = 0; g < 3; ++g) {
        SCOPED_TRACE(g);
        EXPECT_EQ(target.graphs[g].title, source.graphs[g].title);
        EXPECT_EQ(target.graphs[g].display, source.graphs[g].display);
        EXPECT_EQ(target.graphs[g].scale, source.graphs[g].scale);
        EXPECT_EQ(target.graphs[g].enabled, source.graphs[g].enabled);
        EXPECT_EQ(target.graphs[g].beep, source.graphs[g].beep);
        EXPECT_DOUBLE_EQ(target.graphs[g].colour.blue, source.graphs[g].colour.blue);
    }
}

TEST(Configuration, WritesOneClassicLocaleValuePerLine) {
    PlotModel model;
    model.addGraph("  two words");
    model.graphs[0].scale = 0.5;
    std::ostringstream out;
    ASSERT_TRUE(writeConfiguration(model, out));
    EXPECT_EQ(out.str(),
              "1\n0\n1\n0\n0\n609\n1\n"            // modes, rate, X size, one display
              "-0.5\n0.5\n1\n-1\n1\n0\n0\n0\n0\n"  // display 0: automatic, no data yet
              "1\n  two words\n0\n0.5\n1\n0\n0.05\n0.05\n0.8\n");
}

TEST(Configuration, DisplayAndGraphCountsFollowTheFile) {
    PlotModel three = richModel();
    std::stringstream threeDisplays;
    writeConfiguration(three, threeDisplays);
    PlotModel one;
    one.setIndependentDisplays(false);
    ASSERT_TRUE(readConfiguration(one, threeDisplays));
    EXPECT_EQ(one.displays.size(), 3u);
    EXPECT_EQ(one.graphs.size(), 3u);  // the graphs were added with their blocks

    PlotModel four;
    four.setIndependentDisplays(false);
    for (int i = 0; i < 4; ++i) four.addDisplay(1);
    for (int i = 0; i < 2; ++i) four.addGraph("");
    four.moveGraphToDisplay(1, 3);
    std::istringstream oneDisplay("1\n0\n0\n0\n0\n609\n1\n0\n1\n1\n-1\n1\n0\n0\n0\n0\n0\n");
    ASSERT_TRUE(readConfiguration(four, oneDisplay));
    EXPECT_EQ(four.displays.size(), 1u);
    EXPECT_EQ(four.graphs[1].display, 0u);
}

TEST(Configuration, IndependentFlagSurvivesOnlyWithoutGraphs) {
    const std::string file = "1\n0\n1\n0\n0\n609\n1\n0\n1\n1\n-1\n1\n0\n0\n0\n0\n0\n";
    PlotModel empty;
    empty.setIndependentDisplays(false);
    std::istringstream a(file);
    ASSERT_TRUE(readConfiguration(empty, a));
    EXPECT_TRUE(empty.independentDisplays);

    PlotModel two;
    for (int i = 0; i < 2; ++i) two.addGraph("");
    std::istringstream b(file);
    ASSERT_TRUE(readConfiguration(two, b));
    EXPECT_FALSE(two.independentDisplays);
}

TEST(Configuration, TruncatedFileAppliesWhatItHasAndFails) {
    PlotModel model;
    std::istringstream file("0\n1\n0\n1\n0\n99\n2\n0\n1\n1\n-1\n1\n0\n0\n0\n0\n0\n5\n0\n1\n4\n0\n0\n0\n0\n");
    EXPECT_FALSE(readConfiguration(model, file));
    EXPECT_EQ(model.xSize, 100u);
    EXPECT_TRUE(model.frames);
    ASSERT_EQ(model.displays.size(), 2u);
    EXPECT_EQ(model.displays[1].yMax, 5);
    EXPECT_EQ(model.displays[1].weight, 4u);
}

TEST(Configuration, OutOfRangeValuesAndBlankTitlesAreSkipped) {
    PlotModel model;
    model.addGraph("kept");
    const Colour before = model.graphs[0].colour;
    // One graph: a title of blanks, display 9 (no such display), scale 0, red 1.5, grid 100.
    std::istringstream file(
        "1\n0\n0\n0\n0\n5\n1\n0\n1\n1\n100\n150\n0\n0\n0\n0\n1\n   \n9\n0\n1\n0\n1.5\n0.5\n0\n");
    EXPECT_TRUE(readConfiguration(model, file));
    EXPECT_EQ(model.xSize, 610u);  // size 5 is below the minimum
    EXPECT_EQ(model.displays[0].gridLevel, -1);
    EXPECT_EQ(model.displays[0].weight, 1u);
    EXPECT_EQ(model.graphs[0].title, "kept");
    EXPECT_EQ(model.graphs[0].scale, 1.0);
    EXPECT_EQ(model.graphs[0].colour.red, before.red);
    EXPECT_EQ(model.graphs[0].colour.green, 0.5);
}

// The range of an automatic display is computed with the scales the file gives its graphs.
TEST(Configuration, AutomaticRangeFollowsTheScalesRead) {
    PlotModel model;
    model.addGraph("g");
    model.storeSample(0, 0);
    model.storeSample(0, 4);
    std::istringstream file(
        "1\n0\n1\n0\n0\n609\n1\n0\n0\n1\n-1\n1\n0\n0\n0\n0\n1\ng\n0\n2\n1\n0\n0.1\n0.2\n0.3\n");
    EXPECT_TRUE(readConfiguration(model, file));
    EXPECT_EQ(model.graphs[0].scale, 2.0);
    EXPECT_TRUE(model.displays[0].autoRange);
    EXPECT_EQ(model.displays[0].yMax, 8.0);
}

// A save that fails partway (the file-size limit standing in for a full disk) reports failure and
// keeps the configuration that was there; it used to be truncated first.
TEST(Configuration, AFailedSaveKeepsTheOriginalFile) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string name = dir.path("layout.cfg");
    writeWholeFile(name, "original\n");
    PlotModel model;
    for (int g = 0; g < 64; ++g) model.addGraph("a graph title long enough to fill a few hundred bytes");
    {
        const FileSizeLimit limit(200);
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(saveConfiguration(model, name.c_str()));
    }
    EXPECT_EQ(readWholeFile(name), "original\n");
    EXPECT_EQ(dir.entryCount(), 1u);
    EXPECT_TRUE(saveConfiguration(model, name.c_str()));
    EXPECT_EQ(readWholeFile(name).substr(0, 8), "1\n0\n1\n0\n");
}

TEST(Configuration, MissingFileFails) {
    PlotModel model;
    EXPECT_FALSE(loadConfiguration(model, "/nonexistent/dir/x.cfg"));
    EXPECT_FALSE(saveConfiguration(model, "/nonexistent/dir/x.cfg"));
    EXPECT_FALSE(saveConfiguration(model, "/dev/full"));
}

}  // namespace
