// Start-up with a command line: input, backup and plot files after the input, in a real window,
// and the program itself started with plot options and a live input.
#include "app/Startup.h"

#include <poll.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/CommandLine.h"
#include "app/Commands.h"
#include "app/OpenInput.h"
#include "app/PlotLoad.h"
#include "files/Configuration.h"
#include "input/Backup.h"
#include "input/FileName.h"
#include "input/InputChannel.h"
#include "model/StartupOptions.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/input/InputTestSupport.h"
#include "tests/input/RunningKivrel.h"
#include "tests/support/ProcessSettings.h"
#include "tests/support/TempDir.h"

namespace {

// A plot file of many steps' reading: options, four columns, a fifth that starts half-way, comments,
// carriage returns and empty lines, so that reading it touches every kind of line.
std::string largePlot() {
    std::string text = "#> Large\n#$ -xsize 999\n#~ -t one\n";
    for (int i = 0; i < 20000; ++i) {
        text += std::to_string(i) + " " + std::to_string(i) + ".5 -" + std::to_string(i % 7) + " 0.25";
        if (i >= 10000) text += " " + std::to_string(i * 2);
        text += i % 100 == 0 ? " # note\r\n\n" : "\n";
    }
    return text;
}

std::string windowTitle(const GraphData& graph) {
    return gtk_window_get_title(GTK_WINDOW(graph.mainWindow));
}

// Everything a reading leaves in the plot and the window.
void expectSamePlot(const GraphData& actual, const GraphData& expected) {
    const PlotModel& a = actual.model;
    const PlotModel& e = expected.model;
    EXPECT_EQ(a.sourceName, e.sourceName);
    EXPECT_EQ(a.generalTitle, e.generalTitle);
    EXPECT_EQ(a.xSize, e.xSize);
    EXPECT_EQ(a.maxXSize, e.maxXSize);
    EXPECT_EQ(a.writeIndex, e.writeIndex);
    EXPECT_EQ(a.fixedXAxis, e.fixedXAxis);
    EXPECT_EQ(a.highFrequency, e.highFrequency);
    ASSERT_EQ(a.graphs.size(), e.graphs.size());
    for (std::size_t g = 0; g < a.graphs.size(); ++g) {
        SCOPED_TRACE(g);
        EXPECT_EQ(a.graphs[g].title, e.graphs[g].title);
        EXPECT_EQ(a.graphs[g].samples, e.graphs[g].samples);
        EXPECT_EQ(a.graphs[g].minValue, e.graphs[g].minValue);
        EXPECT_EQ(a.graphs[g].maxValue, e.graphs[g].maxValue);
    }
    ASSERT_EQ(a.displays.size(), e.displays.size());
    for (std::size_t d = 0; d < a.displays.size(); ++d) {
        SCOPED_TRACE(d);
        EXPECT_EQ(a.displays[d].yMin, e.displays[d].yMin);
        EXPECT_EQ(a.displays[d].yMax, e.displays[d].yMax);
    }
    EXPECT_EQ(windowTitle(actual), windowTitle(expected));
    EXPECT_EQ(actual.io.currentInputName, expected.io.currentInputName);
}

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(temporary.ok());
        folder = temporary.folder();
    }
    void TearDown() override {
        closeInput(graph.io);
        closeBackup(graph.io);
        stepwiseLoadBytes = savedStepwiseBytes;
    }

    // Parses the arguments as main does and starts what they name; with drain false, a large
    // plot file is still to be read when this returns.
    void start(std::vector<std::string> arguments, bool drain = true) {
        startOn(graph, std::move(arguments), drain);
    }

    void startOn(GraphData& target, std::vector<std::string> arguments, bool drain = true) {
        arguments.insert(arguments.begin(), "kivrel");
        storage = arguments;
        std::vector<char*> pointers;
        for (std::string& a : storage) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        StartupOptions options;
        const int argc = static_cast<int>(storage.size());
        const int first = parseCommandLine(argc, pointers.data(), target, options);
        startInputs(target, options, argc, pointers.data(), first);
        if (drain) drainEvents();
    }

    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    DialogScript script;
    TempDir temporary;
    ProcessSettingsGuard settings;
    std::string folder;
    std::vector<std::string> storage;
    std::uintmax_t savedStepwiseBytes = stepwiseLoadBytes;
};

TEST_F(StartupTest, FilesAfterTheInputAreMergedInOrderKeepingADirectory) {
    const std::string data = temporary.write("data.plt", "#$ -t a\n1\n");
    const std::string extra1 = temporary.write("extra1.plt", "#$ -t b\n2\n");
    const std::string extra2 = temporary.write("extra2.plt", "#$ -t c\n3\n");
    start({"-i", data, extra1, extra2});
    ASSERT_EQ(graph.model.graphs.size(), 3u);
    EXPECT_EQ(graph.model.graphs[0].title, "a");
    EXPECT_EQ(graph.model.graphs[1].title, "b");
    EXPECT_EQ(graph.model.graphs[2].title, "c");
    EXPECT_FALSE(directoryPruning);
    const std::string folderName = folder.substr(folder.rfind('/') + 1);
    EXPECT_EQ(graph.model.sourceName.rfind(folderName + "/data", 0), 0u) << graph.model.sourceName;
}

TEST_F(StartupTest, AFailingFileIsReportedAndTheNextOneStillMerged) {
    const std::string data = temporary.write("data.plt", "#$ -t a\n1\n");
    const std::string good = temporary.write("good.plt", "#$ -t g\n2\n");
    std::string message;
    script.then(recordMessage(message));
    start({data, folder + "/missing.plt", good});
    EXPECT_EQ(message, "Error: Failed opening file: " + folder + "/missing.plt");
    ASSERT_EQ(graph.model.graphs.size(), 2u);
    EXPECT_EQ(graph.model.graphs[1].title, "g");
}

TEST_F(StartupTest, AnOpenDeviceSkipsFurtherFilesAndShowsTheIndicatorWithABackup) {
    const std::string fifo = folder + "/device";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    const std::string extra = temporary.write("extra.plt", "#$ -t e\n2\n");
    start({"-b", folder + "/log.txt", "-i", fifo, extra});
    EXPECT_NE(graph.io.inputChannel, nullptr);
    EXPECT_TRUE(graph.model.graphs.empty()) << "the plot file after an open device is ignored";
    EXPECT_TRUE(gtk_widget_get_visible(graph.io.indicatorImage));
    close(writer);
}

TEST_F(StartupTest, AConfigurationFileThatFailsIsReported) {
    std::string message;
    script.then(recordMessage(message));
    start({"-c", folder + "/none.cfg"});
    EXPECT_EQ(message, "Error: Failed opening file: " + folder + "/none.cfg");
}

TEST_F(StartupTest, ALargeFileShowsTheWindowFirstAndEndsAsReadInOneGo) {
    const std::string data = temporary.write("large.plt", largePlot());
    const std::string extra = temporary.write("extra.plt", "#$ -t e\n7\n");
    MainWindowFixture oneGo;
    startOn(oneGo.graph, {"-i", data, extra});
    ASSERT_FALSE(oneGo.graph.load.active());
    ASSERT_EQ(oneGo.graph.model.graphs.size(), 6u);

    stepwiseLoadBytes = 256;
    start({"-i", data, extra}, false);
    // Nothing is read before the main loop runs; the title and the merge wait for the last line.
    EXPECT_TRUE(graph.load.active());
    EXPECT_TRUE(graph.model.graphs.empty());
    EXPECT_FALSE(graph.model.fixedXAxis);
    EXPECT_EQ(windowTitle(graph), "Kivrel");
    drainEvents();
    EXPECT_FALSE(graph.load.active());
    expectSamePlot(graph, oneGo.graph);
    EXPECT_EQ(graph.model.graphs.back().title, "e");
}

TEST_F(StartupTest, ActionsWhileAFileIsReadLeaveASoundPlot) {
    const std::string data = temporary.write("large.plt", largePlot());
    const std::string other = temporary.write("other.plt", "#$ -t o\n1\n2\n");
    const std::string extra = temporary.write("extra.plt", "#$ -t e\n7\n");
    stepwiseLoadBytes = 256;
    struct Row {
        const char* action;
        void (*act)(GraphData&, const std::string& other, const std::string& extra);
        // Whether the reading stops there: nothing more arrives in the plot afterwards.
        bool stops;
        // The graphs once the loop is idle again (0: as many as were read), the first and the last title.
        std::size_t graphs;
        const char* first;
        const char* last;
    };
    const Row rows[] = {
        // Opening another file stops the reading, and the command line's merge that waited for it.
        {"open another file",
         [](GraphData& g, const std::string& o, const std::string&) {
             FileName name;
             name.setFromUtf8(o.c_str());
             openInput(name, g.io);
         },
         true, 1, "o", "o"},
        // A merge needs the whole plot: the file is read to its end, then the waiting merge, then this one.
        {"merge a file",
         [](GraphData& g, const std::string&, const std::string& e) {
             FileName name;
             name.setFromUtf8(e.c_str());
             mergePlotFile(name, g.io);
         },
         false, 7, "one", "e"},
        {"clear", [](GraphData& g, const std::string&, const std::string&) { onClear(nullptr, &g); }, true, 0,
         nullptr, nullptr},
        // Close Device keeps what was read, without the file's title.
        {"close device",
         [](GraphData& g, const std::string&, const std::string&) {
             GtkWidget* item = g_object_ref_sink(gtk_menu_item_new());
             onCloseDevice(GTK_MENU_ITEM(item), &g.io);
             gtk_widget_destroy(item);
             g_object_unref(item);
         },
         true, 0, "one", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.action);
        MainWindowFixture window;
        GraphData& g = window.graph;
        startOn(g, {"-i", data, extra}, false);
        while (g.model.graphs.empty()) gtk_main_iteration();  // the first step of the reading
        ASSERT_TRUE(g.load.active());
        row.act(g, other, extra);
        const std::size_t graphsAfterAction = g.model.graphs.size();
        const std::uint32_t writeIndexAfterAction = g.model.writeIndex;
        drainEvents();
        EXPECT_FALSE(g.load.active());
        EXPECT_TRUE(g.model.fixedXAxis);
        if (row.stops) {
            EXPECT_EQ(g.model.graphs.size(), graphsAfterAction);
            EXPECT_EQ(g.model.writeIndex, writeIndexAfterAction);
        }
        if (row.graphs != 0) {
            EXPECT_EQ(g.model.graphs.size(), row.graphs);
        }
        if (row.first) {
            ASSERT_FALSE(g.model.graphs.empty());
            EXPECT_EQ(g.model.graphs.front().title, row.first);
        }
        if (row.last) {
            EXPECT_EQ(g.model.graphs.back().title, row.last);
        }
    }
}

TEST_F(StartupTest, QuittingWhileAFileIsReadStopsTheReading) {
    const std::string data = temporary.write("large.plt", largePlot());
    stepwiseLoadBytes = 256;
    // The record goes as main's does after the loop: with the reading still under way.
    auto record = std::make_unique<GraphData>();
    startOn(*record, {data}, false);
    while (record->model.graphs.empty()) gtk_main_iteration();
    ASSERT_TRUE(record->load.active());
    record.reset();
    // A step left in the loop would read into the freed record here (AddressSanitizer).
    drainEvents();
}

TEST_F(StartupTest, ALargeFileThatFailsHalfWayIsReportedAsBefore) {
    // A WXV body with a word in it: the values before it stay, the titles go, the message names the file.
    std::string body = "# RIFF 0 WAVE fmt 6 1 1 1000 2000 2 16 data 0\n";
    for (int i = 0; i < 400; ++i) body += std::to_string(i) + "\n";
    body += "oops\n1\n";
    const std::string data = temporary.write("broken.wxv", body);
    stepwiseLoadBytes = 256;
    std::string message;
    script.then(recordMessage(message));
    start({data});
    EXPECT_EQ(message, "Error: Failed opening file: " + data + "\nline 402: 'oops' is not a number");
    EXPECT_TRUE(graph.model.generalTitle.empty());
    ASSERT_EQ(graph.model.graphs.size(), 1u);
    EXPECT_EQ(graph.model.graphs[0].samples[399], 399.0);
    EXPECT_EQ(graph.model.writeIndex, 400u);
    EXPECT_TRUE(graph.model.fixedXAxis);
    EXPECT_EQ(windowTitle(graph), "Kivrel");
}

// Standard input reads a file while this exists.
struct StandardInputFrom {
    int saved = dup(STDIN_FILENO);
    explicit StandardInputFrom(const std::string& path) {
        const int fd = open(path.c_str(), O_RDONLY);
        dup2(fd, STDIN_FILENO);
        close(fd);
    }
    ~StandardInputFrom() {
        dup2(saved, STDIN_FILENO);
        close(saved);
    }
    StandardInputFrom(const StandardInputFrom&) = delete;
    StandardInputFrom& operator=(const StandardInputFrom&) = delete;
};

TEST_F(StartupTest, ABackupOntoAFileToBeReadIsRefusedAndTheFileReadWhole) {
    const std::string run = temporary.write("run.plt", "#$ -t r\n1\n2\n");
    const std::string data = temporary.write("data.plt", "#$ -t d\n3\n");
    const std::string extra = temporary.write("extra.plt", "#$ -t e\n4\n");
    struct Row {
        const char* what;
        std::vector<std::string> arguments;
        std::string backup;
        bool standardInput;
        const char* lastTitle;
    };
    const Row rows[] = {
        {"the input", {"-b", run, run}, run, false, "r"},
        {"a plot file merged after the input", {"-a", "-b", extra, data, extra}, extra, false, "e"},
        {"standard input redirected from it", {"-b", run, "-"}, run, true, "r"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string before = readWholeFile(row.backup);
        std::unique_ptr<StandardInputFrom> input;
        if (row.standardInput) input = std::make_unique<StandardInputFrom>(row.backup);
        MainWindowFixture window;
        std::string message;
        script.then(recordMessage(message));
        startOn(window.graph, row.arguments);
        runUntil([&] { return window.graph.io.inputChannel == nullptr; });
        closeInput(window.graph.io);
        EXPECT_EQ(message, "Error: Backup file is the input being read: " + row.backup);
        EXPECT_EQ(window.graph.io.backupChannel, nullptr);
        EXPECT_EQ(readWholeFile(row.backup), before);
        ASSERT_FALSE(window.graph.model.graphs.empty());
        EXPECT_EQ(window.graph.model.graphs.back().title, row.lastTitle);
    }
}

// The option lines of a saved plot after its title line (which names the source).
std::vector<std::string> savedOptionLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream text(readWholeFile(path));
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("#$", 0) == 0 || line.rfind("#~", 0) == 0) lines.push_back(line);
    }
    return lines;
}

// Writes all of data to a pseudo-terminal's non-blocking master.
void writeToTerminal(int master, const std::string& data) {
    for (std::size_t at = 0; at < data.size();) {
        const ssize_t n = write(master, data.data() + at, data.size() - at);
        if (n > 0) {
            at += static_cast<std::size_t>(n);
        } else {
            pollfd wait{master, POLLOUT, 0};
            poll(&wait, 1, 1000);
        }
    }
}

// The program started with plot options and a live input (standard input, or a pseudo-terminal
// as a serial device): the input opened at start-up is plotted as the options say.
TEST(StartupOfTheProgram, PlotOptionsOfTheCommandLineHoldForTheLiveInput) {
    TempDir temporary;
    ASSERT_TRUE(temporary.ok());
    const std::string configuration = temporary.path("layout.cfg");
    {
        PlotModel layout;
        layout.frames = true;
        layout.addGraph("from cfg");
        layout.setXSize(300);
        layout.displays[0].autoRange = false;
        layout.displays[0].yMin = -1;
        layout.displays[0].yMax = 1;
        ASSERT_TRUE(saveConfiguration(layout, configuration.c_str()));
    }
    std::string rising, pairs, single;
    for (int i = 1; i <= 1000; ++i) rising += std::to_string(i) + " 5\n";
    for (int i = 1; i <= 200; ++i) pairs += std::to_string(i) + " " + std::to_string(-i) + "\n";
    for (int i = 1; i <= 200; ++i) single += std::to_string(i % 2) + "\n";
    struct Row {
        const char* what;
        std::vector<std::string> options;
        const std::string& data;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"titles, range, reference line, growing axis, sizes",
         {"-t", "temp", "-t", "shaft speed", "-y", "0:1000", "-l", "25", "-no-fixed", "-fsz", "14", "-lw",
          "3", "-rlw", "2"},
         rising,
         {"#$ -indep -lw 3 -rlw 2 -fsz 14 -xsize 1000", "#~ -dpy 0 -y 0:1000 -l 25", "#~ -t \"temp\"",
          "#~ -t \"shaft speed\""}},
        {"display modes, fixed size, displays and graph options",
         {"-no-indep", "-frame", "-hfreq", "-ysharedmax", "-srate", "1000", "-xsize", "99",
          "-dpy",      "1",      "-w",     "3",           "-y",     "5:9",  "-t",     "a",
          "-t",        "b",      "-d",     "1",           "-s",     "2",    "-beep"},
         pairs,
         {"#$ -no-indep -frame -srate 1000 -hfreq -ysharedmax -xsize 99", "#~ -dpy 1 -y 5:9 -w 3",
          "#~ -t \"a\" -d 0", "#~ -t \"b\" -d 1 -s 2 -beep"}},
        {"a configuration file",
         {"-c", configuration},
         single,
         {"#$ -indep -frame -xsize 299", "#~ -dpy 0 -y -1:1", "#~ -t \"from cfg\""}},
    };
    for (const bool device : {false, true}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(device ? "serial device: " : "standard input: ") + row.what);
            const std::string saved = temporary.path("saved.plt");
            std::remove(saved.c_str());
            PseudoTerminal terminal;
            std::vector<std::string> arguments = row.options;
            // The backup shows how far the device has been read: each line is recorded before the
            // plot takes it.
            const std::string received = temporary.path("received.txt");
            if (device) {
                arguments.insert(arguments.end(), {"-b", received, "-i", terminal.name});
            } else {
                arguments.push_back("-");
            }
            RunningKivrel kivrel(arguments, {saved, 0, false, -1, {}});
            ASSERT_TRUE(kivrel.ok());
            std::thread writer;
            if (device) {
                // The device is open once the window shows; what came before would be flushed.
                ASSERT_TRUE(kivrel.waitForWindow()) << kivrel.standardError();
                writeToTerminal(terminal.master, row.data);
                // A hang-up drops what the device still holds: it comes once everything was read.
                while (readWholeFile(received).size() < row.data.size()) g_usleep(10000);
                terminal.closeMaster();
            } else {
                writer = kivrel.writeAndClose(row.data);
            }
            const std::string report = kivrel.waitForReport();
            if (writer.joinable()) writer.join();
            ASSERT_NE(report, "") << kivrel.standardError();
            const std::string lines =
                std::to_string(std::count(row.data.begin(), row.data.end(), '\n')) + " lines";
            EXPECT_EQ(report.substr(0, report.find(" in ")), "kivrel: end of input: " + lines);
            ASSERT_TRUE(kivrel.savePlot()) << kivrel.standardError();
            EXPECT_EQ(savedOptionLines(saved), row.expected);
        }
    }
}

// The program itself asked to back up onto the plot file it is to read: the file stays whole
// (the message about the refusal waits for the user before the file is read).
TEST(StartupOfTheProgram, ABackupOntoItsInputFileLeavesTheFileWhole) {
    TempDir temporary;
    ASSERT_TRUE(temporary.ok());
    const std::string run = temporary.write("run.plt", "#$ -t r\n1\n2\n");
    RunningKivrel kivrel({"-b", run, run});
    ASSERT_TRUE(kivrel.ok());
    ASSERT_TRUE(kivrel.waitForWindow()) << kivrel.standardError();
    EXPECT_EQ(readWholeFile(run), "#$ -t r\n1\n2\n");
}

}  // namespace
