// The limits of 64 graphs and 64 displays reached, and pushed against, from every way graphs and
// displays come into the plot: data lines, option lines, the command line, merging a plot file,
// a configuration file and an evaluated expression. The plot keeps at most 64 of each, and every
// graph stays in a display that exists.
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "app/EvalExpression.h"
#include "app/GraphData.h"
#include "files/Configuration.h"
#include "model/PlotModel.h"
#include "model/StartupOptions.h"
#include "tests/model/ModelInvariants.h"
#include "tests/support/ProcessSettings.h"

namespace {

// A data line of n columns: 1 2 3 ... n.
std::string columns(unsigned n) {
    std::string line;
    for (unsigned i = 1; i <= n; ++i) line += std::to_string(i) + " ";
    return line;
}

void parse(GraphData& graph, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "kivrel");
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    StartupOptions options;
    parseCommandLine(static_cast<int>(arguments.size()), argv.data(), graph, options);
}

// A configuration file of the given counts: every display weight 2 with one reference line,
// every graph titled "c<index>" and shown in display <index>.
std::string configuration(unsigned displays, unsigned graphs) {
    std::ostringstream text;
    text << "0\n0\n0\n0\n0\n609\n" << displays << "\n";
    for (unsigned d = 0; d < displays; ++d) text << "-1\n1\n1\n-1\n2\n0\n0\n0\n1\n" << d << "\n";
    text << graphs << "\n";
    for (unsigned g = 0; g < graphs; ++g) text << "c" << g << "\n" << g << "\n1\n1\n0\n0.5\n0.5\n0.5\n";
    return text.str();
}

void mergeGraphs(PlotModel& live, unsigned graphs, bool independent) {
    PlotModel other;
    other.setIndependentDisplays(independent);
    other.processLine(columns(graphs).c_str());
    live.merge(other);
}

class GraphLimitsTest : public testing::Test {
  protected:
    ProcessSettingsGuard settings;
};

TEST_F(GraphLimitsTest, EveryEntryPointStopsAt64GraphsAnd64Displays) {
    const struct {
        const char* name;
        std::function<void(GraphData&)> push;
        std::size_t graphs, displays;
    } rows[] = {
        {"data line, a display per graph", [](GraphData& g) { g.model.processLine(columns(70).c_str()); }, 64,
         64},
        {"data line, shared displays",
         [](GraphData& g) {
             g.model.processLine("#$ -no-indep");
             g.model.processLine(columns(70).c_str());
             g.model.processLine(columns(65).c_str());
         },
         64, 1},
        {"option lines",
         [](GraphData& g) {
             std::string titles = "#$ -no-indep -dpy 63 -dpy 64 -w 5";
             for (int i = 0; i < 70; ++i) titles += " -t t" + std::to_string(i);
             g.model.processLine(titles.c_str());
             g.model.processLine("#~ -d 63 -d 64 -d 4294967296 -t again -d 62");
         },
         64, 64},
        {"command line",
         [](GraphData& g) {
             std::vector<std::string> arguments{"-no-indep", "-dpy", "63", "-dpy", "64", "-w", "5"};
             for (int i = 0; i < 70; ++i) arguments.insert(arguments.end(), {"-t", "t" + std::to_string(i)});
             arguments.insert(arguments.end(), {"-d", "63", "-d", "64", "-d", "99999999999"});
             parse(g, arguments);
         },
         64, 64},
        {"merging plots with a display per graph",
         [](GraphData& g) {
             g.model.processLine(columns(60).c_str());
             mergeGraphs(g.model, 10, true);
             mergeGraphs(g.model, 10, true);
         },
         64, 64},
        {"merging plots with shared displays",
         [](GraphData& g) {
             g.model.processLine("#$ -no-indep -dpy 62");
             g.model.processLine(columns(60).c_str());
             mergeGraphs(g.model, 10, false);
         },
         64, 64},
        {"configuration file",
         [](GraphData& g) {
             std::istringstream file(configuration(70, 70));
             readConfiguration(g.model, file);
         },
         64, 64},
        {"configuration file after a full plot",
         [](GraphData& g) {
             g.model.processLine(columns(64).c_str());
             std::istringstream file(configuration(2, 70));
             readConfiguration(g.model, file);
         },
         64, 2},
        {"expression",
         [](GraphData& g) {
             g.model.processLine(columns(64).c_str());
             PlotModel result;
             ASSERT_TRUE(evaluateExpression(g.model, "x * 2", "", "", result));
             g.model.merge(result);
         },
         64, 64},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        defaultIndependentDisplays = true;
        GraphData graph;
        row.push(graph);
        const PlotModel& model = graph.model;
        EXPECT_EQ(model.graphs.size(), row.graphs);
        EXPECT_EQ(model.displays.size(), row.displays);
        EXPECT_EQ(brokenInvariant(model), "");
        // The plot still takes data lines, and the 64th graph still gets its column.
        graph.model.processLine(columns(66).c_str());
        ASSERT_EQ(model.graphs.size(), row.graphs);
        const std::uint32_t last = (model.writeIndex + model.xSize - 1) % model.xSize;
        EXPECT_EQ(model.graphs.back().samples[last], static_cast<double>(row.graphs));
        EXPECT_EQ(brokenInvariant(model), "");
    }
}

}  // namespace
