// Opening inputs and merging plot files in a real window; error dialogs are answered by the test.
#include "app/OpenInput.h"

#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Commands.h"
#include "input/FileName.h"
#include "input/InputChannel.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/input/InputTestSupport.h"
#include "tests/support/ProcessSettings.h"
#include "tests/support/TempDir.h"

namespace {

class OpenInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(temporary.ok());
        folder = temporary.folder();
    }

    static FileName named(const std::string& text) {
        FileName name;
        name.setFromUtf8(text.c_str());
        return name;
    }

    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    PlotModel& model = graph.model;
    DialogScript script;
    TempDir temporary;
    ProcessSettingsGuard settings;
    std::string folder;
};

TEST_F(OpenInputTest, NamesAreClassifiedByWhatTheyAre) {
    const std::string plain = temporary.write("run.plt", "1 2\n");
    const std::string fifo = folder + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string name;
        InputTarget expected;
    } rows[] = {
        {"-", InputTarget::standardInput},
        {"Standard Input", InputTarget::standardInput},
        {"/dev/ttyUSB0", InputTarget::device},
        {"/dev/null", InputTarget::device},
        {fifo, InputTarget::device},
        {plain, InputTarget::plotFile},
        {folder + "/missing.plt", InputTarget::plotFile},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(classifyInputName(r.name.c_str(), r.name.c_str()), r.expected);
    }
}

TEST_F(OpenInputTest, AFifoIsReadLiveInsteadOfAsAFile) {
    const std::string fifo = folder + "/stream";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK);  // keeps a writer for the reader
    ASSERT_GE(writer, 0);
    EXPECT_TRUE(openInput(named(fifo), graph.io));
    EXPECT_EQ(graph.io.inputKind, InputKind::serialDevice);
    EXPECT_TRUE(model.fixedXAxis);
    writeWhileRunning(writer, "1 2\n3 4\n");
    runUntil([&] { return model.writeIndex == 2; });
    EXPECT_EQ(model.graphs[1].samples[1], 4);
    closeInput(graph.io);
    close(writer);
}

TEST_F(OpenInputTest, OpeningAPlotFileReplacesThePlot) {
    model.addGraph("old");
    model.highFrequency = true;
    const std::string path = temporary.write("run.plt", "#$ -t a -t b\n1 2\n3 4\n");
    EXPECT_TRUE(openInput(named(path), graph.io));
    ASSERT_EQ(model.graphs.size(), 2u);
    EXPECT_EQ(model.graphs[1].title, "b");
    EXPECT_EQ(model.sourceName, "run");
    EXPECT_TRUE(model.fixedXAxis);
    EXPECT_FALSE(model.highFrequency);
    EXPECT_EQ(graph.io.currentInputName, path);
    EXPECT_EQ(std::string(gtk_window_get_title(GTK_WINDOW(graph.mainWindow))), "Kivrel: [" + path + "]");
    EXPECT_EQ(script.answered, 0);
}

TEST_F(OpenInputTest, ANameThatDoesNotOpenKeepsThePlotAndItsInput) {
    // A pipe stands in for the live input that a mistyped name must not close.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    graph.io.inputChannel = g_io_channel_unix_new(fds[0]);
    model.processLine("#$ -t old");
    model.processLine("5");
    model.generalTitle = "live";
    std::string message;
    for (const std::string& path : {folder + "/missing.plt", folder, folder + "/missing.wxv"}) {
        SCOPED_TRACE(path);
        script.then(recordMessage(message));
        EXPECT_FALSE(openInput(named(path), graph.io));
        EXPECT_EQ(message, "Error: Failed opening file: " + path);
        ASSERT_EQ(model.graphs.size(), 1u);
        EXPECT_EQ(model.graphs[0].title, "old");
        EXPECT_EQ(model.generalTitle, "live");
        EXPECT_NE(graph.io.inputChannel, nullptr) << "the live input stays open";
    }
    g_io_channel_unref(graph.io.inputChannel);
    graph.io.inputChannel = nullptr;
    close(fds[0]);
    close(fds[1]);

    script.then(recordMessage(message));
    EXPECT_FALSE(openInput(FileName(), graph.io));
    EXPECT_EQ(message, "Error: Failed opening file: Empty file name");
    EXPECT_EQ(model.graphs.size(), 1u);
}

TEST_F(OpenInputTest, AFileThatOpensButFailsToReadHasReplacedThePlotAndSaysSo) {
    model.addGraph("old");
    std::string message;
    script.then(recordMessage(message));
    const std::string path = temporary.write("broken.wxv", "junk\n1 2 three\n");
    EXPECT_FALSE(openInput(named(path), graph.io));
    EXPECT_EQ(message, "Error: Failed opening file: " + path + "\nline 2: 'three' is not a number");
    // What the file gave before its bad word stays; the old plot is gone.
    ASSERT_EQ(model.graphs.size(), 1u);
    EXPECT_EQ(model.graphs[0].title, "broken_0");
    EXPECT_TRUE(model.sourceName.empty());
    EXPECT_TRUE(model.generalTitle.empty());
    EXPECT_TRUE(model.fixedXAxis);
}

TEST_F(OpenInputTest, MergingAddsGraphsAndKeepsADirectoryWithoutPruning) {
    directoryPruning = false;
    EXPECT_TRUE(openInput(named(temporary.write("data.plt", "#$ -t a\n1\n2\n")), graph.io));
    EXPECT_TRUE(mergePlotFile(named(temporary.write("extra1.plt", "#$ -t b\n5\n")), graph.io));
    EXPECT_TRUE(mergePlotFile(named(temporary.write("extra2.plt", "#$ -t c\n7\n")), graph.io));
    ASSERT_EQ(model.graphs.size(), 3u);
    EXPECT_EQ(model.graphs[1].title, "b");
    EXPECT_EQ(model.graphs[2].title, "c");
    const std::string folderName = folder.substr(folder.rfind('/') + 1);
    EXPECT_EQ(model.sourceName, folderName + "/data::extra1::extra2");
    EXPECT_TRUE(model.keepMissingColumns);
    EXPECT_TRUE(graph.io.playing);
}

TEST_F(OpenInputTest, MergeIsRefusedBeforeADevicesFirstLine) {
    // A pipe stands in for a device that is open but silent.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    graph.io.inputChannel = g_io_channel_unix_new(fds[0]);
    std::string message;
    script.then(recordMessage(message));
    const std::string path = temporary.write("extra.plt", "1\n");
    EXPECT_FALSE(mergePlotFile(named(path), graph.io));
    EXPECT_EQ(message, "Input from device has not started yet: " + path);
    EXPECT_TRUE(model.graphs.empty());
    g_io_channel_unref(graph.io.inputChannel);
    graph.io.inputChannel = nullptr;
    close(fds[0]);
    close(fds[1]);

    script.then(recordMessage(message));
    EXPECT_FALSE(mergePlotFile(named(folder + "/none.plt"), graph.io));
    EXPECT_EQ(message, "Error: Failed opening file: " + folder + "/none.plt");
}

// Open Device, as the menu item does it.
void openDevice(GraphData& graph, const std::string& label) {
    GtkWidget* item = gtk_menu_item_new_with_label(label.c_str());
    g_object_ref_sink(item);
    onOpenDevice(GTK_MENU_ITEM(item), &graph.io);
    g_object_unref(item);
}

std::string titleOf(const GraphData& graph) {
    return gtk_window_get_title(GTK_WINDOW(graph.mainWindow));
}

// A device that does not open replaces nothing: the live input reads on into the same plot, under
// the same title.
TEST(OpenDevice, AFailureKeepsThePlotTheInputAndTheTitle) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    PseudoTerminal live;
    openDevice(graph, live.name);
    ASSERT_EQ(graph.io.inputKind, InputKind::serialDevice);
    writeWhileRunning(live.master, "#> live\n1 2\n3 4\n");
    runUntil([&] { return graph.model.writeIndex == 2; });
    const std::string title = titleOf(graph);
    const GIOChannel* channel = graph.io.inputChannel;

    PseudoTerminal held, refusing;
    const int holder = open(held.name.c_str(), O_RDONLY | O_NOCTTY);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    PipedStandardInput input;
    const int inputHolder = open("/proc/self/fd/0", O_RDONLY);
    ASSERT_EQ(flock(inputHolder, LOCK_EX | LOCK_NB), 0);
    const SerialLineSetter saved = serialLineSetter;
    const struct {
        std::string label;
        std::string message;
        SerialLineSetter setter;
    } rows[] = {
        {"/dev/ttyKivrelMissing", "Serial port error: /dev/ttyKivrelMissing\nNo such file or directory",
         saved},
        {held.name, "Serial port is being used: " + held.name, saved},
        {"Standard Input", "StdIn is being used", saved},
        {refusing.name, "Serial port speed not supported: " + refusing.name + " at 9600 bits/s",
         [](int, std::int32_t) { return false; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        serialLineSetter = row.setter;
        DialogScript script;
        std::string shown;
        script.then(recordMessage(shown));
        openDevice(graph, row.label);
        EXPECT_EQ(shown, row.message);
        EXPECT_EQ(graph.io.inputChannel, channel) << "the live input stays open";
        EXPECT_EQ(titleOf(graph), title);
        EXPECT_EQ(graph.model.generalTitle, "live");
        EXPECT_EQ(graph.model.writeIndex, 2u);
    }
    serialLineSetter = saved;
    writeWhileRunning(live.master, "5 6\n");
    runUntil([&] { return graph.model.writeIndex == 3; });
    ASSERT_EQ(graph.model.graphs.size(), 2u);
    EXPECT_EQ(graph.model.graphs[1].samples[0], 2.0);
    EXPECT_EQ(graph.model.graphs[1].samples[2], 6.0);
    close(inputHolder);
    close(holder);
}

// Opening the device that is being read starts it afresh instead of finding it busy.
TEST(OpenDevice, TheDeviceBeingReadStartsAfresh) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    PseudoTerminal device;
    openDevice(graph, device.name);
    writeWhileRunning(device.master, "1\n2\n");
    runUntil([&] { return graph.model.writeIndex == 2; });
    DialogScript script;
    openDevice(graph, device.name);
    EXPECT_EQ(script.answered, 0) << "no message";
    EXPECT_EQ(graph.io.inputKind, InputKind::serialDevice);
    EXPECT_EQ(graph.model.writeIndex, 0u) << "a fresh plot";
    writeWhileRunning(device.master, "7\n");
    runUntil([&] { return graph.model.writeIndex == 1; });
    EXPECT_EQ(graph.model.graphs[0].samples[0], 7.0);
}

}  // namespace
