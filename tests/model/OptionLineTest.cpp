#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model/PlotModel.h"

namespace {

// A fresh model reads the lines, then `check` looks at the result.
struct Case {
    std::vector<std::string> lines;
    std::function<void(const PlotModel&)> check;
};

void runCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        std::string trace;
        for (const std::string& line : c.lines) trace += line + " | ";
        SCOPED_TRACE(trace);
        PlotModel model;
        for (const std::string& line : c.lines) model.processLine(line.c_str());
        c.check(model);
    }
}

std::vector<std::string> titles(const PlotModel& model) {
    std::vector<std::string> out;
    for (const Graph& g : model.graphs) out.push_back(g.title);
    return out;
}

std::vector<std::uint32_t> weights(const PlotModel& model) {
    std::vector<std::uint32_t> out;
    for (const Display& d : model.displays) out.push_back(d.weight);
    return out;
}

TEST(OptionLine, TitlesMoveTheBaseGraphAcrossLines) {
    runCases({
        {{"#$ -t \"a b\" -s 2 -t c -beep"},
         [](const PlotModel& m) {
             EXPECT_EQ(titles(m), (std::vector<std::string>{"a b", "c"}));
             EXPECT_EQ(m.graphs[0].scale, 2.0);
             EXPECT_FALSE(m.graphs[0].beep);
             EXPECT_TRUE(m.graphs[1].beep);
             EXPECT_EQ(m.baseGraph, 1);
         }},
        // "#~" continues with the next graph, "#$" starts again at graph 0.
        {{"#$ -t a -t b", "#~ -t d", "#$ -t e"},
         [](const PlotModel& m) {
             EXPECT_EQ(titles(m), (std::vector<std::string>{"e", "b", "d"}));
         }},
        // The closing quote and what follows it form a word that matches nothing.
        {{"#$ -t \"x\"y"}, [](const PlotModel& m) { EXPECT_EQ(titles(m), std::vector<std::string>{"x"}); }},
        {{"#$ -t \"open title"},
         [](const PlotModel& m) { EXPECT_EQ(titles(m), std::vector<std::string>{"open title"}); }},
        // An empty title neither creates a graph nor moves the base graph.
        {{"#$ -t \"\" -t", "#~ -t"},
         [](const PlotModel& m) {
             EXPECT_TRUE(m.graphs.empty());
             EXPECT_EQ(m.baseGraph, -1);
         }},
        // "-t" creates the graphs up to its own, with default titles.
        {{"#$ -t a", "#~ -t b -t c", "#~ -t d -t e"},
         [](const PlotModel& m) { EXPECT_EQ(m.graphs.size(), 5u); }},
        {{"#$ -t a", "1 2 3", "#~ -t \"\" -t x"},
         [](const PlotModel& m) {
             EXPECT_EQ(titles(m), (std::vector<std::string>{"a", "x", "_2"}));
         }},
    });
}

TEST(OptionLine, BaseGraphStopsAtTheLastGraph) {
    PlotModel model;
    std::string line = "#$";
    for (unsigned g = 0; g < 66; ++g) line += " -t t" + std::to_string(g);
    model.processLine(line.c_str());
    ASSERT_EQ(model.graphs.size(), maxGraphs);
    EXPECT_EQ(model.baseGraph, 63);
    EXPECT_EQ(model.graphs[62].title, "t62");
    EXPECT_EQ(model.graphs[63].title, "t65");
}

TEST(OptionLine, NamesMatchByPrefixInTableOrder) {
    runCases({
        {{"#$ -no-indep", "#$ -indepxyz"}, [](const PlotModel& m) { EXPECT_TRUE(m.independentDisplays); }},
        {{"#$ -title"}, [](const PlotModel& m) { EXPECT_EQ(titles(m), std::vector<std::string>{"itle"}); }},
        {{"#$ -w5"}, [](const PlotModel& m) { EXPECT_EQ(m.displays[0].weight, 5u); }},
        {{"#$ -limit99"}, [](const PlotModel& m) { EXPECT_EQ(m.xSize, 100u); }},
        {{"#$ -lw2 -l3"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.lineWidth, 2.0);
             EXPECT_EQ(m.displays[0].refLines, std::vector<double>{3.0});
         }},
        {{"#$ -srate5 -s7"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.samplingRate, 5u);
             EXPECT_EQ(m.baseGraph, 0);  // "-s" chose graph 0, which does not exist yet
         }},
        {{"#$ -xsize 20 -xsz 7 -xmin -1.5 -xmax 2.5"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.xSize, 21u);
             EXPECT_EQ(m.displays[0].xScaleSize, 7u);
             EXPECT_EQ(m.displays[0].xScaleMin, -1.5);
             EXPECT_EQ(m.displays[0].xScaleMax, 2.5);
         }},
        {{"#$ -hfreq -ysharedmax -frame -rlw 2 -fsz 12", "#$ -no-frame -unknown 5"},
         [](const PlotModel& m) {
             EXPECT_TRUE(m.highFrequency);
             EXPECT_TRUE(m.sharedYMinMax);
             EXPECT_FALSE(m.frames);
             EXPECT_EQ(m.refLineWidth, 2.0);
             EXPECT_EQ(m.fontSize, 12.0);
         }},
        {{"#$ -hfreq -ysharedmax", "#$ -no-hfreq -no-ysharedmax"},
         [](const PlotModel& m) {
             EXPECT_FALSE(m.highFrequency);
             EXPECT_FALSE(m.sharedYMinMax);
         }},
    });
}

TEST(OptionLine, RejectedArgumentsAreReadAsTheNextWord) {
    runCases({
        {{"#$ -lw -frame"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.lineWidth, 1.0);
             EXPECT_TRUE(m.frames);
         }},
        {{"#$ -w -grid 5"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.displays[0].weight, 1u);
             EXPECT_EQ(m.displays[0].gridLevel, 5);
         }},
        {{"#$ -dpy x -w 3"},
         [](const PlotModel& m) { EXPECT_EQ(weights(m), std::vector<std::uint32_t>{3}); }},
        // A value out of range is consumed; what follows the number is read on.
        {{"#$ -lw 12 -fsz 30 -rlw -1 -w 100 -w 0 -frame"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.lineWidth, 1.0);
             EXPECT_EQ(m.fontSize, 10.0);
             EXPECT_EQ(m.refLineWidth, 0.0);
             EXPECT_EQ(m.displays[0].weight, 1u);
             EXPECT_TRUE(m.frames);
         }},
        {{"#$ -lw 2.5x -fsz 7.5"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.lineWidth, 2.5);
             EXPECT_EQ(m.fontSize, 7.5);
         }},
        // Unsigned arguments take no sign; a lone "-" is no number.
        {{"#$ -xsize -100 -grid - 3"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.xSize, 610u);
             EXPECT_EQ(m.displays[0].gridLevel, -1);
         }},
        // Overflowing reals would make settings infinite.
        {{"#$ -lw 1e999 -l 1e999 -l -1e999 -xmin 1e999 -y -1e999:1e999 -s 1e999 -t a"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.lineWidth, 1.0);
             EXPECT_TRUE(m.displays[0].refLines.empty());
             EXPECT_EQ(m.displays[0].xScaleMin, 0.0);
             EXPECT_TRUE(m.displays[0].autoRange);
             EXPECT_EQ(m.graphs[0].scale, 1.0);
         }},
    });
}

TEST(OptionLine, IntegersAreReadInBaseZero) {
    runCases({
        {{"#$ -xsize 0x1f"}, [](const PlotModel& m) { EXPECT_EQ(m.xSize, 32u); }},
        {{"#$ -xsize 020"}, [](const PlotModel& m) { EXPECT_EQ(m.xSize, 17u); }},
        {{"#$ -grid 0x10"}, [](const PlotModel& m) { EXPECT_EQ(m.displays[0].gridLevel, 16); }},
        // "09" is octal 0 followed by the word "9".
        {{"#$ -w 09"}, [](const PlotModel& m) { EXPECT_EQ(m.displays[0].weight, 1u); }},
    });
}

TEST(OptionLine, XAxisSizeLimitAndSamplingRate) {
    runCases({
        {{"#$ -no-indep -indep -xsize 1000"},
         [](const PlotModel& m) {
             EXPECT_TRUE(m.independentDisplays);
             EXPECT_EQ(m.xSize, 1001u);
         }},
        {{"#$ -xsize 5"}, [](const PlotModel& m) { EXPECT_EQ(m.xSize, 610u); }},
        {{"#$ -xsize 9"}, [](const PlotModel& m) { EXPECT_EQ(m.xSize, 10u); }},
        {{"#$ -xsize 4294967295"}, [](const PlotModel& m) { EXPECT_EQ(m.xSize, 610u); }},
        {{"#$ -max-xsize 100"}, [](const PlotModel& m) { EXPECT_EQ(m.maxXSize, 50000u); }},
        {{"#$ -max-xsize 0"}, [](const PlotModel& m) { EXPECT_EQ(m.maxXSize, noXLimit); }},
        {{"#$ -max-limit 70000"}, [](const PlotModel& m) { EXPECT_EQ(m.maxXSize, 70000u); }},
        {{"#$ -no-limits"}, [](const PlotModel& m) { EXPECT_EQ(m.maxXSize, noXLimit); }},
        {{"#$ -no-fixed", "#$ -fixed 200"},
         [](const PlotModel& m) {
             EXPECT_TRUE(m.fixedXAxis);
             EXPECT_EQ(m.xSize, 201u);
         }},
        {{"#$ -no-fixed", "#$ -fixed -xsize 99"},
         [](const PlotModel& m) {
             EXPECT_TRUE(m.fixedXAxis);
             EXPECT_EQ(m.xSize, 100u);
         }},
        {{"#$ -no-fixed 100000"},
         [](const PlotModel& m) {
             EXPECT_FALSE(m.fixedXAxis);
             EXPECT_EQ(m.maxXSize, 100000u);
             EXPECT_EQ(m.xSize, 610u);
         }},
        {{"#$ -srate 1000", "#$ -srate 500"}, [](const PlotModel& m) { EXPECT_EQ(m.samplingRate, 0u); }},
        {{"#$ -srate 1000", "#$ -srate 0"}, [](const PlotModel& m) { EXPECT_EQ(m.samplingRate, 1000u); }},
        {{"#$ -srate 1000", "#$ -srate 1000"}, [](const PlotModel& m) { EXPECT_EQ(m.samplingRate, 1000u); }},
    });
}

TEST(OptionLine, DisplayOptionsActOnTheLinesBaseDisplay) {
    runCases({
        // "-dpy" adds the displays it needs; the next line starts at display 0 again.
        {{"#$ -no-indep", "#~ -dpy 3 -w 5", "#~ -w 7"},
         [](const PlotModel& m) {
             EXPECT_EQ(weights(m), (std::vector<std::uint32_t>{7, 1, 1, 5}));
             EXPECT_EQ(m.totalWeight, 14u);
         }},
        {{"#$ -dpy 64 -d 64 -w 3"},
         [](const PlotModel& m) {
             EXPECT_EQ(weights(m), std::vector<std::uint32_t>{3});
             EXPECT_EQ(m.baseGraph, -1);
         }},
        {{"#$ -dpy 63"}, [](const PlotModel& m) { EXPECT_EQ(m.displays.size(), maxDisplays); }},
        {{"#$ -grid 5", "#$ -grid -1"}, [](const PlotModel& m) { EXPECT_EQ(m.displays[0].gridLevel, -1); }},
        {{"#$ -grid 5", "#$ -grid -2 -grid 100"},
         [](const PlotModel& m) { EXPECT_EQ(m.displays[0].gridLevel, 5); }},
        {{"#$ -dpy 1 -l 1 -l 1 -l 2 -l 1.0000005"},
         [](const PlotModel& m) {
             EXPECT_TRUE(m.displays[0].refLines.empty());
             EXPECT_EQ(m.displays[1].refLines, (std::vector<double>{1, 2}));
         }},
        {{"#$ -l 1 -l 2", "#$ -c -l 3"},
         [](const PlotModel& m) { EXPECT_EQ(m.displays[0].refLines, std::vector<double>{3}); }},
    });
}

TEST(OptionLine, ManualYRange) {
    struct Row {
        const char* line;
        bool manual;
        double yMin, yMax;
    };
    const Row rows[] = {
        {"#$ -y -5:5", true, -5, 5}, {"#$ -y -5 5", true, -5, 5},         {"#$ -y -5 : 5", true, -5, 5},
        {"#$ -y -5:", true, -5, 0},  {"#$ -y 1.5:2.25", true, 1.5, 2.25}, {"#$ -y 5:1", false, 0, 0},
        {"#$ -y 5:5", false, 0, 0},  {"#$ -y x:5", false, 0, 0},          {"#$ -y -5:5 -yauto", false, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        PlotModel model;
        model.processLine(r.line);
        EXPECT_EQ(!model.displays[0].autoRange, r.manual);
        EXPECT_EQ(model.displays[0].yMin, r.yMin);
        EXPECT_EQ(model.displays[0].yMax, r.yMax);
    }
    // A maximum that is no number reads as 0 and the word is read on.
    PlotModel model;
    model.processLine("#$ -y -2 -frame");
    EXPECT_EQ(model.displays[0].yMax, 0.0);
    EXPECT_TRUE(model.frames);
}

TEST(OptionLine, GraphOptionsActOnTheBaseGraph) {
    runCases({
        // Before any "-t" the graph options act on graph 0.
        {{"1 2", "#$ -s 4 -beep -disabled"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.graphs[0].scale, 4.0);
             EXPECT_TRUE(m.graphs[0].beep);
             EXPECT_FALSE(m.graphs[0].enabled);
             EXPECT_TRUE(m.graphs[1].enabled);
         }},
        {{"1 2", "#$ -s 0 -t a -s -2"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.graphs[0].scale, -2.0);
             EXPECT_EQ(m.graphs[1].scale, 1.0);
         }},
        // A new scale recomputes the range of the graph's display.
        {{"#$ -no-indep", "0", "2", "#$ -s 3"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.displays[0].yMin, 0.0);
             EXPECT_EQ(m.displays[0].yMax, 6.0);
         }},
        // "-d" adds the displays it needs and moves the base graph.
        {{"#$ -no-indep -t a -t b -d 2", "#$ -d 1"},
         [](const PlotModel& m) {
             EXPECT_EQ(m.displays.size(), 3u);
             EXPECT_EQ(m.graphs[0].display, 1u);
             EXPECT_EQ(m.graphs[1].display, 2u);
             EXPECT_FALSE(m.independentDisplays);
         }},
        // In independent mode, moving graph i to display i keeps the mode.
        {{"#$ -t a -t b -d 1"}, [](const PlotModel& m) { EXPECT_TRUE(m.independentDisplays); }},
        {{"#$ -t a -t b -d 0"},
         [](const PlotModel& m) {
             EXPECT_FALSE(m.independentDisplays);
             EXPECT_EQ(m.graphs[1].display, 0u);
         }},
    });
}

TEST(OptionLine, LockingAndPrefixes) {
    PlotModel model;
    model.processLine("#& -frame -t a");
    model.processLine("#$ -no-frame -t b");
    model.processLine("#~ -t c");
    model.processLine("#> Locked but titled");
    EXPECT_TRUE(model.optionLinesLocked);
    EXPECT_TRUE(model.frames);
    EXPECT_EQ(titles(model), std::vector<std::string>{"a"});
    EXPECT_EQ(model.generalTitle, "Locked but titled");
    model.processLine("#& -t d");  // a further locking line starts at graph 0 again
    EXPECT_EQ(titles(model), std::vector<std::string>{"d"});

    model.clear();
    model.processLine("#$ -no-frame");
    EXPECT_FALSE(model.frames);
    EXPECT_FALSE(model.optionLinesLocked);
}

TEST(OptionLine, GeneralTitleAndComments) {
    runCases({
        {{"#>   Volts \"in\"  mV  "},
         [](const PlotModel& m) { EXPECT_EQ(m.generalTitle, "Volts \"in\"  mV  "); }},
        {{"#> first", "#>"}, [](const PlotModel& m) { EXPECT_EQ(m.generalTitle, ""); }},
        {{"#x -frame -t a", "#", "#-frame", "#$", "#$   "},
         [](const PlotModel& m) {
             EXPECT_FALSE(m.frames);
             EXPECT_TRUE(m.graphs.empty());
             EXPECT_EQ(m.writeIndex, 0u);
         }},
    });
}

}  // namespace
