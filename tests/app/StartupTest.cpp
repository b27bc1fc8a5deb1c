// Start-up with a command line: input, backup and plot files after the input, in a real window.
#include "app/Startup.h"

#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/CommandLine.h"
#include "app/StartupOptions.h"
#include "input/Backup.h"
#include "input/InputChannel.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/files/TempDir.h"

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temporary.ok());
        folder = temporary.folder();
        savedPruning = directoryPruning;
    }
    void TearDown() override {
        closeInput(graph.io);
        closeBackup(graph.io);
        directoryPruning = savedPruning;
    }

    std::string write(const std::string& name, const std::string& text) {
        const std::string path = folder + "/" + name;
        std::ofstream(path) << text;
        return path;
    }

    // Parses the arguments as main does and starts what they name.
    void start(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "kivrel");
        storage = arguments;
        std::vector<char*> pointers;
        for (std::string& a : storage) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        StartupOptions options;
        const int argc = static_cast<int>(storage.size());
        const int first = parseCommandLine(argc, pointers.data(), graph, options);
        startInputs(graph, options, argc, pointers.data(), first);
        drainEvents();
    }

    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    DialogScript script;
    TempDir temporary;
    std::string folder;
    std::vector<std::string> storage;
    bool savedPruning = true;
};

TEST_F(StartupTest, FilesAfterTheInputAreMergedInOrderKeepingADirectory) {
    const std::string data = write("data.plt", "#$ -t a\n1\n");
    const std::string extra1 = write("extra1.plt", "#$ -t b\n2\n");
    const std::string extra2 = write("extra2.plt", "#$ -t c\n3\n");
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
    const std::string data = write("data.plt", "#$ -t a\n1\n");
    const std::string good = write("good.plt", "#$ -t g\n2\n");
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
    const std::string extra = write("extra.plt", "#$ -t e\n2\n");
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

}  // namespace
