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

#include "tests/files/TempDir.h"
#include "tests/input/InputTestSupport.h"
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

// The program started as "kivrel -" with pipes for standard input and standard error, and with
// KIVREL_REPORT_EOF set, so that it reports the end of its input on standard error.
class RunningKivrel {
public:
    explicit RunningKivrel(std::vector<std::string> extraArguments = {},
                           const std::vector<std::pair<std::string, std::string>>& extraEnvironment = {}) {
        std::vector<std::string> arguments = {std::string(KIVREL_BINARY_DIR) + "/kivrel"};
        arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
        arguments.push_back("-");
        std::signal(SIGPIPE, SIG_IGN);  // a program that died fails the test instead of killing it
        std::vector<gchar*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        gchar** environment = g_environ_setenv(g_get_environ(), "KIVREL_REPORT_EOF", "1", TRUE);
        // Memory figures should show the program's own peak, not what the address sanitizer keeps
        // of freed blocks to catch late uses.
        const gchar* sanitizerOptions = g_environ_getenv(environment, "ASAN_OPTIONS");
        const std::string options = std::string(sanitizerOptions ? sanitizerOptions : "") + ":quarantine_size_mb=8";
        environment = g_environ_setenv(environment, "ASAN_OPTIONS", options.c_str(), TRUE);
        for (const auto& [name, value] : extraEnvironment) {
            environment = g_environ_setenv(environment, name.c_str(), value.c_str(), TRUE);
        }
        started = g_spawn_async_with_pipes(nullptr, argv.data(), environment, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                           nullptr, &pid, &toKivrel, nullptr, &fromKivrel, nullptr);
        g_strfreev(environment);
    }
    ~RunningKivrel() {
        closeInput();
        if (started) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            g_spawn_close_pid(pid);
            close(fromKivrel);
        }
    }
    RunningKivrel(const RunningKivrel&) = delete;
    RunningKivrel& operator=(const RunningKivrel&) = delete;

    bool ok() const { return started; }

    // Writes data from another thread (the program reads while the pipe fills), then ends the input.
    std::thread writeAndClose(std::string data) {
        return std::thread([this, text = std::move(data)] {
            for (std::size_t at = 0; at < text.size();) {
                const ssize_t n = write(toKivrel, text.data() + at, text.size() - at);
                if (n <= 0) break;
                at += static_cast<std::size_t>(n);
            }
            closeInput();
        });
    }

    // Reads standard error until the end-of-input report; returns it ("" when the program ended or
    // closed standard error first).
    std::string waitForReport() {
        char buffer[4096];
        for (;;) {
            const std::size_t at = errors.find("kivrel: end of input:");
            if (at != std::string::npos && errors.find('\n', at) != std::string::npos) {
                return errors.substr(at, errors.find('\n', at) - at);
            }
            const ssize_t n = read(fromKivrel, buffer, sizeof buffer);
            if (n <= 0) return "";
            errors.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // Reads standard error until text has arrived after the end-of-input report, for at most the
    // given seconds; true when it has.
    bool waitForText(const std::string& text, int seconds) {
        const gint64 end = g_get_monotonic_time() + seconds * G_USEC_PER_SEC;
        char buffer[4096];
        while (errors.find(text) == std::string::npos) {
            const gint64 left = end - g_get_monotonic_time();
            pollfd readable{fromKivrel, POLLIN, 0};
            if (left <= 0 || poll(&readable, 1, static_cast<int>(left / 1000)) <= 0) return false;
            const ssize_t n = read(fromKivrel, buffer, sizeof buffer);
            if (n <= 0) return false;
            errors.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }

    bool running() const { return waitpid(pid, nullptr, WNOHANG) == 0; }

    // A field of /proc/<pid>/status in kB, such as VmHWM (the peak resident size).
    long statusKilobytes(const std::string& field) const {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind(field + ":", 0) == 0) return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
        return -1;
    }

    // User and system time used so far, in clock ticks.
    long cpuTicks() const {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const std::size_t end = text.rfind(')');  // the command name may hold spaces
        if (end == std::string::npos) return -1;
        std::vector<std::string> fields;
        std::size_t at = end + 2;
        while (at < text.size()) {
            const std::size_t next = text.find(' ', at);
            fields.push_back(text.substr(at, next - at));
            if (next == std::string::npos) break;
            at = next + 1;
        }
        // After the name: state is field 3, utime 14, stime 15.
        if (fields.size() < 13) return -1;
        return std::strtol(fields[11].c_str(), nullptr, 10) + std::strtol(fields[12].c_str(), nullptr, 10);
    }

    const std::string& standardError() const { return errors; }

private:
    void closeInput() {
        if (toKivrel >= 0) close(toKivrel);
        toKivrel = -1;
    }

    bool started = false;
    GPid pid = 0;
    gint toKivrel = -1;
    gint fromKivrel = -1;
    std::string errors;
};

// The number of lines an end-of-input report counts.
long reportedLines(const std::string& report) {
    return std::strtol(report.c_str() + std::string("kivrel: end of input: ").size(), nullptr, 10);
}

TEST(HostileInput, TheProgramSurvivesBinaryGarbageAndReadsTheLinesAfterIt) {
    TempDir temporary;
    ASSERT_TRUE(temporary.ok());
    const std::string backup = temporary.path("received.txt");
    RunningKivrel kivrel({"-b", backup});  // the backup records every line handed to the plot
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
        RunningKivrel kivrel;
        ASSERT_TRUE(kivrel.ok());
        std::thread writer = kivrel.writeAndClose(lines);
        ASSERT_NE(kivrel.waitForReport(), "") << kivrel.standardError();
        writer.join();
        baseline = kivrel.statusKilobytes("VmHWM");
    }

    RunningKivrel kivrel;
    ASSERT_TRUE(kivrel.ok());
    std::string longLine;
    longLine.reserve(100u << 20);
    while (longLine.size() < (100u << 20)) longLine += "12.5 -3 x7 0xff 1e3 ";
    std::thread writer = kivrel.writeAndClose(longLine + "\n" + lines);
    longLine = std::string();
    const std::string report = kivrel.waitForReport();
    writer.join();
    ASSERT_NE(report, "") << kivrel.standardError();
    // The long line arrives in pieces of at most 2047 bytes, each a line of its own.
    EXPECT_GE(reportedLines(report), (100 << 20) / 2047 + 100);
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
    const std::vector<std::pair<std::string, std::string>> environment = {{"KIVREL_AVAILABLE_MEMORY_MB", "8"},
                                                                          {"KIVREL_REPORT_ERRORS", "1"}};
    std::string wide;  // 16 graphs of 8 bytes a slot
    for (int i = 0; i < 400000; ++i) wide += "1 2 3 4 5 6 7 8 9 10 11 12 13 14 " + std::to_string(i) + " -1\n";
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string input;
        std::string message;
    } cases[] = {
        {"option line", {}, "#$ -xsize 2000000000\n" + markedLines(100),
         "Error: Not enough memory for X-axis size: 2000000000"},
        {"command line", {"-xsize", "2000000000"}, markedLines(100),
         "Error: Not enough memory for X-axis size: 2000000000"},
        {"extendable axis without a limit", {}, "#$ -no-fixed -no-limits\n" + wide,
         "Error: Not enough memory to extend the X axis; it stays a ring of size: "},
    };
    long baseline = 0;
    {
        RunningKivrel kivrel({}, environment);
        ASSERT_TRUE(kivrel.ok());
        std::thread writer = kivrel.writeAndClose(markedLines(100));
        ASSERT_NE(kivrel.waitForReport(), "") << kivrel.standardError();
        writer.join();
        baseline = kivrel.statusKilobytes("VmHWM");
        ASSERT_GT(baseline, 0);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunningKivrel kivrel(c.arguments, environment);
        ASSERT_TRUE(kivrel.ok());
        std::thread writer = kivrel.writeAndClose(c.input);
        const std::string report = kivrel.waitForReport();
        writer.join();
        ASSERT_NE(report, "") << kivrel.standardError();
        // The dialog waits for the main loop: it may come after the last line.
        const std::string shown = "kivrel: error dialog: " + c.message;
        ASSERT_TRUE(kivrel.waitForText(shown, 20)) << kivrel.standardError();
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
