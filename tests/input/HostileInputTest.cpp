// Standard input that is not what a plotter expects: megabytes of binary garbage (NUL, CR, 0xFF
// and every other byte), and one line of 100 MB without a line feed. In the program's own window
// (where the plot can be looked at) and through the real program started as "kivrel -" (where
// its memory, its liveness and its end-of-input report can be).
#include <poll.h>
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

#include "tests/input/InputTestSupport.h"
#include "tests/input/RunningKivrel.h"
#include "tests/model/ModelInvariants.h"
#include "tests/support/TempDir.h"

namespace {

// Data lines with values no garbage line gives: graph 0 gets 1000001, 1000002, ...; graph 1 the
// negatives.
std::string markedLines(int count) {
    std::string out;
    for (int i = 1; i <= count; ++i)
        out += std::to_string(1000000 + i) + " " + std::to_string(-1000000 - i) + "\n";
    return out;
}

double sampleBack(const PlotModel& model, std::size_t graph, std::uint32_t back) {
    return model.graphs[graph].samples[(model.writeIndex + model.xSize - back) % model.xSize];
}

TEST(HostileInput, DataLinesAfterBinaryGarbageStillPlot) {
    InputWindow window;
    PipedStandardInput input;
    ASSERT_TRUE(openStandardInput(window.io));
    std::thread writer = input.writeAndClose(binaryGarbage(3u << 20) + "\n" + markedLines(20));
    runUntil([&] { return window.io.inputChannel == nullptr; });
    writer.join();

    EXPECT_EQ(brokenInvariant(window.model), "");
    ASSERT_GE(window.model.graphs.size(), 2u);
    for (std::uint32_t back = 1; back <= 5; ++back) {
        SCOPED_TRACE(back);
        const double expected = 1000000.0 + 21 - back;
        EXPECT_EQ(sampleBack(window.model, 0, back), expected);
        EXPECT_EQ(sampleBack(window.model, 1, back), -expected);
    }
}

TEST(HostileInput, TheProgramSurvivesBinaryGarbageAndReadsTheLinesAfterIt) {
    TempDir temporary;
    ASSERT_TRUE(temporary.ok());
    const std::string backup = temporary.path("received.txt");
    RunningKivrel kivrel({"-b", backup, "-"});  // the backup records every line handed to the plot
    ASSERT_TRUE(kivrel.ok());
    const std::string lines = markedLines(1000);
    const std::string report = kivrel.sendAllAndWaitForReport(binaryGarbage(4u << 20) + "\n" + lines);
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
        ASSERT_NE(kivrel.sendAllAndWaitForReport(lines), "") << kivrel.standardError();
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

// Sizes the machine cannot hold: an X axis of two billion slots (16 GB a graph) asked for by an
// option line or on the command line, and an extendable axis without a limit fed fast. The program
// is told it has 8 MB for samples (it cannot be limited otherwise under the address sanitizer,
// which reserves terabytes of address space): it refuses what does not fit with one error dialog,
// keeps running and keeps its memory.
TEST(HostileInput, SizesBeyondTheMemoryAreRefusedWithOneMessage) {
    KivrelStart start;
    start.environment = {{"KIVREL_AVAILABLE_MEMORY_MB", "8"}, {"KIVREL_REPORT_ERRORS", "1"}};
    std::string wide;  // 16 graphs of 8 bytes a slot
    for (int i = 0; i < 400000; ++i)
        wide += "1 2 3 4 5 6 7 8 9 10 11 12 13 14 " + std::to_string(i) + " -1\n";
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string input;
        std::string message;
    } cases[] = {
        {"option line",
         {},
         "#$ -xsize 2000000000\n" + markedLines(100),
         "Error: Not enough memory for X-axis size: 2000000000"},
        {"command line",
         {"-xsize", "2000000000"},
         markedLines(100),
         "Error: Not enough memory for X-axis size: 2000000000"},
        {"extendable axis without a limit",
         {},
         "#$ -no-fixed -no-limits\n" + wide,
         "Error: Not enough memory to extend the X axis; it stays a ring of size: "},
    };
    long baseline = 0;
    {
        RunningKivrel kivrel({"-"}, start);
        ASSERT_TRUE(kivrel.ok());
        ASSERT_NE(kivrel.sendAllAndWaitForReport(markedLines(100)), "") << kivrel.standardError();
        baseline = kivrel.statusKilobytes("VmHWM");
        ASSERT_GT(baseline, 0);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back("-");
        RunningKivrel kivrel(arguments, start);
        ASSERT_TRUE(kivrel.ok());
        const std::string report = kivrel.sendAllAndWaitForReport(c.input);
        ASSERT_NE(report, "") << kivrel.standardError();
        // The dialog waits for the main loop: it may come after the last line.
        const std::string shown = "kivrel: error dialog: " + c.message;
        ASSERT_NE(kivrel.waitForLine(shown), "") << kivrel.standardError();
        EXPECT_TRUE(kivrel.running());
        const std::string& errors = kivrel.standardError();
        const std::size_t at = errors.find(shown);
        EXPECT_EQ(errors.find("error dialog", at + shown.size()), std::string::npos) << "one message only";
        if (c.message.back() == ' ') {
            // The ring it stays: 16 graphs within the 8 MB.
            const long slots = std::strtol(errors.c_str() + at + shown.size(), nullptr, 10);
            EXPECT_GT(slots, 10000);
            EXPECT_LE(slots * 16 * 8, 8l << 20);
        }
        const long peak = kivrel.statusKilobytes("VmHWM");
        RecordProperty(std::string(c.name) + " vmhwm_kb", std::to_string(peak));
        // Samples held whole would take 16 GB, or 51 MB for the 400 000 lines of the extendable axis.
        EXPECT_LT(peak - baseline, 40 * 1024) << "peak resident size in kB beyond that of 100 lines";
    }
}

}  // namespace
