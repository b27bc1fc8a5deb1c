// Standard input that is not what a plotter expects: megabytes of binary garbage (NUL, CR, 0xFF
// and every other byte), and one line of 100 MB without a line feed. In the program's own window
// (where the plot can be looked at) and through the real program started as "kivrel -" (where
// its memory, its liveness and its end-of-input report can be).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <glib.h>
#include <gtest/gtest.h>

#include "tests/files/TempDir.h"
#include "tests/input/InputTestSupport.h"
#include "tests/input/RunningKivrel.h"
#include "tests/model/ModelInvariants.h"

namespace {

// Data lines with values no garbage line gives: graph 0 gets 1000001, 1000002, ...; graph 1 the
// negatives.
std::string markedLines(int count) {
    std::string out;
    for (int i = 1; i <= count; ++i) out += std::to_string(1000000 + i) + " " + std::to_string(-1000000 - i) + "\n";
    return out;
}

double sampleBack(const PlotModel& model, std::size_t graph, std::uint32_t back) {
    return model.graphs[graph].samples[(model.writeIndex + model.xSize - back) % model.xSize];
}

TEST(HostileInput, DataLinesAfterBinaryGarbageStillPlot) {
    InputWindow window;
    GraphData& graph = window.graph;
    PipedStandardInput input;
    ASSERT_TRUE(openStandardInput(graph.io));
    std::thread writer = input.writeAndClose(binaryGarbage(3u << 20) + "\n" + markedLines(20));
    runUntil([&] { return graph.io.inputChannel == nullptr; });
    writer.join();

    EXPECT_EQ(brokenInvariant(graph.model), "");
    ASSERT_GE(graph.model.graphs.size(), 2u);
    for (std::uint32_t back = 1; back <= 5; ++back) {
        SCOPED_TRACE(back);
        const double expected = 1000000.0 + 21 - back;
        EXPECT_EQ(sampleBack(graph.model, 0, back), expected);
        EXPECT_EQ(sampleBack(graph.model, 1, back), -expected);
    }
}


TEST(HostileInput, TheProgramSurvivesBinaryGarbageAndReadsTheLinesAfterIt) {
    TempDir temporary;
    ASSERT_TRUE(temporary.ok());
    const std::string backup = temporary.path("received.txt");
    RunningKivrel kivrel({"-b", backup, "-"});  // the backup records every line handed to the plot
    ASSERT_TRUE(kivrel.ok());
    const std::string lines = markedLines(1000);
    std::thread writer = kivrel.writeAndClose(binaryGarbage(4u << 20) + "\n" + lines);
    const std::string report = kivrel.waitForReport();
    writer.join();
    ASSERT_NE(report, "") << kivrel.standardError();
    EXPECT_TRUE(kivrel.running()) << "still running after its input ended";
    EXPECT_GE(reportedLines(report), 1000);
    const std::string recorded = readWholeFile(backup);
    ASSERT_GE(recorded.size(), lines.size());
    EXPECT_EQ(recorded.substr(recorded.size() - lines.size()), lines) << "the lines after the garbage, whole";
}

TEST(HostileInput, AHundredMegabyteLineKeepsMemoryBoundedAndTheInputEnds) {
    const std::string lines = markedLines(100);
    long baseline = 0;
    {
        RunningKivrel kivrel({"-"});
        ASSERT_TRUE(kivrel.ok());
        std::thread writer = kivrel.writeAndClose(lines);
        ASSERT_NE(kivrel.waitForReport(), "") << kivrel.standardError();
        writer.join();
        baseline = kivrel.statusKilobytes("VmHWM");
    }

    RunningKivrel kivrel({"-"});
    ASSERT_TRUE(kivrel.ok());
    std::string longLine;
    longLine.reserve(100u << 20);
    while (longLine.size() < (100u << 20)) longLine += "12.5 -3 x7 0xff 1e3 ";
    std::thread writer = kivrel.writeAndClose(longLine + "\n" + lines);
    longLine = std::string();
    const std::string report = kivrel.waitForReport();
    writer.join();
    ASSERT_NE(report, "") << kivrel.standardError();
    // The long line is dropped whole: only the lines after it are handed on.
    EXPECT_EQ(reportedLines(report), 100);
    const long peak = kivrel.statusKilobytes("VmHWM");
    RecordProperty("baseline_vmhwm_kb", std::to_string(baseline));
    RecordProperty("long_line_vmhwm_kb", std::to_string(peak));
    std::printf("peak resident size: %ld kB without the long line, %ld kB with it\n", baseline, peak);
    ASSERT_GT(baseline, 0);
    EXPECT_LT(peak - baseline, 32 * 1024) << "a line is never held whole";

    // Once its input has ended the program waits for the user instead of spinning.
    const long before = kivrel.cpuTicks();
    g_usleep(2 * G_USEC_PER_SEC);
    const long used = kivrel.cpuTicks() - before;
    EXPECT_TRUE(kivrel.running());
    EXPECT_LT(used, sysconf(_SC_CLK_TCK) / 2) << "CPU ticks used in two idle seconds";
}

}  // namespace
