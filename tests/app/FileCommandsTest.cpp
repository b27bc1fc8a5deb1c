// File-menu commands with their real file choosers, answered by the test as a person would: a
// name typed into the chooser, then Save/Open or Cancel.
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Commands.h"
#include "app/OpenInput.h"
#include "app/PlotLoad.h"
#include "files/PlotFile.h"
#include "input/Backup.h"
#include "input/FileName.h"
#include "input/GlibPtr.h"
#include "input/InputChannel.h"
#include "tests/app/ChooserSteps.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/input/InputTestSupport.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

namespace {

// Types path into the chooser's name field (a full path, as a person may type it) and accepts.
std::function<void(GtkDialog*)> choose(const std::string& path, std::string* title = nullptr,
                                       std::string* offered = nullptr) {
    return [=](GtkDialog* dialog) {
        if (title) *title = gtk_window_get_title(GTK_WINDOW(dialog));
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
        if (offered) {
            gchar* name = gtk_file_chooser_get_current_name(chooser);
            *offered = name ? name : "";
            g_free(name);
        }
        if (gtk_file_chooser_get_action(chooser) == GTK_FILE_CHOOSER_ACTION_SAVE) {
            saveInto(path)(dialog);
        } else {
            pickFile(path)(dialog);
        }
    };
}

// The whole plot as it would be saved: settings, graphs and samples.
std::string plotText(const PlotModel& model) {
    std::ostringstream out;
    writePltOptions(model, out);
    writePltSamples(model, out);
    return out.str();
}

std::function<void(GtkDialog*)> cancel() {
    return [](GtkDialog* dialog) { gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL); };
}

class FileCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(temporary.ok());
        folder = temporary.folder();
        for (int i = 0; i < 3; ++i) model.processLine(("1 " + std::to_string(i)).c_str());
    }
    void TearDown() override { closeInput(graph.io); }

    // Runs a File-menu command as its menu item would.
    void run(void (*command)(GtkMenuItem*, gpointer)) {
        GtkWidget* item = gtk_menu_item_new_with_label("item");
        g_object_ref_sink(item);
        command(GTK_MENU_ITEM(item), &graph.io);
        g_object_unref(item);
        drainEvents();
    }

    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    PlotModel& model = graph.model;
    DialogScript script;
    TempDir temporary;
    std::string folder;
};

TEST_F(FileCommandsTest, SaveCompletesTheNameAndChoosesTheFormat) {
    std::string title, offered;
    script.then(choose(folder + "/run", &title, &offered));
    run(onSave);
    EXPECT_EQ(title, "Save Plot");
    EXPECT_EQ(offered, "untitled.plt");
    EXPECT_EQ(readWholeFile(folder + "/run.plt").rfind("#$", 0), 0u) << "written as PLT";
    EXPECT_EQ(graph.io.lastSavedPlotName, folder + "/run.plt");

    model.samplingRate = 1000;
    script.then(choose(folder + "/run.wxv"));
    run(onSave);
    EXPECT_EQ(readWholeFile(folder + "/run.wxv").rfind("# RIFF", 0), 0u) << "written as WXV";
}

TEST_F(FileCommandsTest, SaveReportsWhatWentWrong) {
    std::string message;
    script.then(choose(folder + "/x.wxv"));
    script.then(recordMessage(message));
    run(onSave);
    EXPECT_EQ(message, "Error: No sampling rate while saving file: " + folder + "/x.wxv");
    EXPECT_EQ(access((folder + "/x.wxv").c_str(), F_OK), -1);
}

// Cancel, Escape and closing the chooser are the user's "no": no message, no file, no change.
TEST_F(FileCommandsTest, ACancelledChooserDoesNothingAndSaysNothing) {
    const struct {
        const char* name;
        std::function<void(GtkDialog*)> answer;
    } answers[] = {
        {"Cancel", cancel()},
        {"Escape",
         [](GtkDialog* dialog) { pressKey(GTK_WIDGET(dialog), GDK_KEY_Escape, GdkModifierType(0)); }},
        {"closing the window", [](GtkDialog* dialog) { gtk_window_close(GTK_WINDOW(dialog)); }},
    };
    const struct {
        const char* name;
        void (*command)(GtkMenuItem*, gpointer);
    } commands[] = {
        {"Open File", onOpenFile}, {"Merge File", onMergeFile},       {"Save", onSave},
        {"Export", onExport},      {"Backup Device", onBackupDevice},
    };
    const std::string before = plotText(model);
    for (const auto& command : commands) {
        for (const auto& answer : answers) {
            SCOPED_TRACE(std::string(command.name) + " answered by " + answer.name);
            std::string message;
            script.answered = 0;
            script.then(answer.answer);
            script.then(recordMessage(message));
            run(command.command);
            EXPECT_EQ(script.answered, 1);
            EXPECT_EQ(message, "");
            script.steps.clear();
            EXPECT_EQ(plotText(model), before);
            EXPECT_EQ(temporary.entryCount(), 0u);
            EXPECT_EQ(graph.io.backupChannel, nullptr);
            EXPECT_TRUE(graph.io.playing);
        }
    }
}

TEST_F(FileCommandsTest, SavePausesAPlayingInputAndLeavesAPausedOneAlone) {
    bool playingDuringDialog = true;
    script.then([&](GtkDialog* dialog) {
        playingDuringDialog = graph.io.playing;
        gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
    });
    script.then(cancel());
    run(onSave);
    EXPECT_FALSE(playingDuringDialog);
    EXPECT_TRUE(graph.io.playing);

    graph.io.playing = false;
    script.then(cancel());
    script.then(cancel());
    run(onSave);
    EXPECT_FALSE(graph.io.playing);
}

TEST_F(FileCommandsTest, OpenAndMergeFilesThroughTheChooser) {
    const std::string first = folder + "/first.plt";
    const std::string second = folder + "/second.plt";
    std::ofstream(first) << "#$ -t a\n5\n";
    std::ofstream(second) << "#$ -t b\n6\n";
    std::string title;
    script.then(choose(first, &title));
    run(onOpenFile);
    EXPECT_EQ(title, "Open File");
    ASSERT_EQ(model.graphs.size(), 1u);
    EXPECT_EQ(model.graphs[0].title, "a");
    EXPECT_EQ(graph.io.currentInputName, first);

    script.then(choose(second, &title));
    run(onMergeFile);
    EXPECT_EQ(title, "Merge File");
    ASSERT_EQ(model.graphs.size(), 2u);
    EXPECT_EQ(model.graphs[1].title, "b");

    // After opening a file, Save proposes its name with the plot extension.
    std::string offered;
    script.then([&](GtkDialog* dialog) {
        gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog));
        offered = name ? name : "";
        g_free(name);
        gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
    });
    script.then(cancel());
    run(onSave);
    EXPECT_EQ(offered, "first.plt");
}

// A plot file that stops being readable part way says, under the name, what stopped it and where.
TEST_F(FileCommandsTest, ABadPlotFileSaysWhatIsWrongAndWhere) {
    const struct {
        void (*command)(GtkMenuItem*, gpointer);
        const char* file;
        std::string problem;
    } rows[] = {
        {onOpenFile, "wxv-text-in-body.wxv", "line 3: 'x' is not a number"},
        {onOpenFile, "csv-unclosed-quote.csv", "line 3: a quote opened here is not closed"},
        {onMergeFile, "csv-mixed-separators.csv",
         "line 3: field 1 '1,3,4' is not a number; the file separates its fields with ';'"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const std::string path = testData(row.file);
        std::string message;
        script.then(pickFile(path));
        script.then(recordMessage(message));
        run(row.command);
        EXPECT_EQ(message, "Error: Failed opening file: " + path + "\n" + row.problem);
    }
}

// A large plot file is read in steps; one that is cut short, rewritten or replaced meanwhile says
// so once, when its reading ends.
TEST_F(FileCommandsTest, APlotFileChangedWhileItIsReadSaysSoOnce) {
    const std::uintmax_t savedStepBytes = stepwiseLoadBytes;
    stepwiseLoadBytes = 100;
    std::string lines;
    for (int i = 0; i < 2000; ++i) lines += std::to_string(i) + " " + std::to_string(-i) + "\n";
    const std::string path = folder + "/large.plt";
    const struct {
        const char* name;
        std::function<void()> change;
        std::string problem;
    } rows[] = {
        {"untouched", [] {}, ""},
        {"cut short", [&] { ASSERT_EQ(truncate(path.c_str(), 1000), 0); },
         "the file was cut short while it was read, from " + std::to_string(lines.size()) + " to 1000 bytes"},
        {"rewritten", [&] { std::ofstream(path, std::ios::app) << "1 2\n"; },
         "the file was changed while it was read"},
        {"replaced",
         [&] { ASSERT_EQ(rename(temporary.write("other.plt", "1 2\n").c_str(), path.c_str()), 0); },
         "the file was replaced while it was read; the plot shows it as it was"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        writeWholeFile(path, lines);
        std::string message;
        script.answered = 0;
        graph.load.held = true;  // the reading waits until the file has changed
        script.then(pickFile(path));
        run(onOpenFile);
        ASSERT_TRUE(graph.load.active());
        row.change();
        script.then(recordMessage(message));
        releasePlotLoad(graph);
        drainEvents();
        EXPECT_FALSE(graph.load.active());
        EXPECT_EQ(script.answered, row.problem.empty() ? 1 : 2);
        EXPECT_EQ(message,
                  row.problem.empty() ? "" : "Error: Failed opening file: " + path + "\n" + row.problem);
        script.steps.clear();
    }
    stepwiseLoadBytes = savedStepBytes;
}

TEST_F(FileCommandsTest, OpenDeviceStandardInputAndCloseDevice) {
    // The test's standard input becomes the plot's input: a pipe that stays silent.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const int savedStdin = dup(0);
    dup2(fds[0], 0);
    GtkWidget* item = gtk_menu_item_new_with_label("Standard Input");
    g_object_ref_sink(item);
    onOpenDevice(GTK_MENU_ITEM(item), &graph.io);
    g_object_unref(item);
    EXPECT_EQ(graph.io.inputKind, InputKind::standardInput);
    EXPECT_NE(graph.io.inputWatch, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(graph.mainWindow)), "Kivrel: [StdIn]");

    run(onCloseDevice);
    EXPECT_EQ(graph.io.inputChannel, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(graph.mainWindow)), "Kivrel");
    dup2(savedStdin, 0);
    close(savedStdin);
    close(fds[0]);
    close(fds[1]);
}

TEST_F(FileCommandsTest, BackupDeviceStartsANewRecording) {
    std::string title, offered;
    script.then(choose(folder + "/log", &title, &offered));
    run(onBackupDevice);
    EXPECT_EQ(title, "Backup File");
    EXPECT_EQ(offered, "untitled.plt");
    EXPECT_NE(graph.io.backupChannel, nullptr);
    EXPECT_EQ(access((folder + "/log.plt").c_str(), F_OK), 0);
    run(onCloseBackup);
    EXPECT_EQ(graph.io.backupChannel, nullptr);

    script.then(cancel());
    run(onBackupDevice);
    EXPECT_EQ(graph.io.backupChannel, nullptr);
}

// Backup Device naming the FIFO that is being read: writing into it would feed the input its own
// lines. The backup that was running goes on, and so does the input.
TEST_F(FileCommandsTest, BackupDeviceRefusesTheInputBeingReadAndTheRunningBackupGoesOn) {
    const std::string fifo = folder + "/live.plt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    FileName input;
    input.setFromUtf8(fifo.c_str());
    ASSERT_TRUE(openInput(input, graph.io));
    FileName earlier;
    const std::string earlierPath = folder + "/earlier.txt";
    earlier.setFromUtf8(earlierPath.c_str());
    ASSERT_TRUE(openBackup(earlier, false, graph.io));
    GIOChannel* running = graph.io.backupChannel;

    std::string message;
    script.then(replaceInto(fifo));
    script.then(recordMessage(message));
    run(onBackupDevice);
    EXPECT_EQ(message, "Error: Backup file is the input being read: " + fifo);
    EXPECT_EQ(graph.io.backupChannel, running);

    writeWhileRunning(writer, "1\n2\n");
    runUntil([&] { return model.writeIndex >= 2; });
    EXPECT_EQ(readWholeFile(earlierPath), "1\n2\n");
    closeBackup(graph.io);
    close(writer);
}

TEST_F(FileCommandsTest, ExportProposesANameWritesTheFileAndResumesInput) {
    graph.io.currentInputName = "/data/log.plt";
    ASSERT_TRUE(graph.io.playing);
    std::string proposed, title;
    bool playingMeanwhile = true;
    script.then([&](GtkDialog* dialog) {
        GCharPtr name{gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog))};
        proposed = name ? name.get() : "";
        title = gtk_window_get_title(GTK_WINDOW(dialog));
        playingMeanwhile = graph.io.playing;
        saveInto(temporary.path("picture.svg"))(dialog);
    });
    onExport(nullptr, &graph.io);
    EXPECT_EQ(script.answered, 1);  // no error dialog
    EXPECT_EQ(title, "Export to PDF/SVG");
    EXPECT_EQ(proposed, "log.pdf");
    EXPECT_FALSE(playingMeanwhile);
    EXPECT_TRUE(graph.io.playing);
    const std::string svg = commandOutput("head -c 400 '" + temporary.path("picture.svg") + "'");
    const int width = gtk_widget_get_allocated_width(graph.plot.drawingArea) + 6;
    EXPECT_NE(svg.find("width=\"" + std::to_string(width) + "pt\""), std::string::npos) << svg;
}

// An export that cannot be written - a full disk, a folder that refuses new files - is reported,
// and the file the user chose to replace keeps its old content.
TEST_F(FileCommandsTest, AFailedExportIsReportedAndKeepsTheOldFile) {
    const std::string old = "the picture exported before\n";
    const std::string readOnly = temporary.path("read-only");
    ASSERT_EQ(mkdir(readOnly.c_str(), 0755), 0);
    writeWholeFile(readOnly + "/plot.pdf", old);
    ASSERT_EQ(chmod((readOnly + "/plot.pdf").c_str(), 0444), 0);
    ASSERT_EQ(chmod(readOnly.c_str(), 0555), 0);
    const struct {
        const char* name;
        std::string path;
        bool fullDisk;
    } rows[] = {
        {"full disk, PDF", temporary.path("plot.pdf"), true},
        {"full disk, SVG", temporary.path("plot.svg"), true},
        {"read-only folder", readOnly + "/plot.pdf", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        if (r.fullDisk) writeWholeFile(r.path, old);
        std::string message;
        script.then(replaceInto(r.path));
        script.then(recordMessage(message));
        {
            std::optional<FileSizeLimit> full;
            if (r.fullDisk) full.emplace(200);  // the picture is larger
            ASSERT_TRUE(!full || full->ok());
            WithoutPermissionOverride asUser;
            onExport(nullptr, &graph.io);
        }
        EXPECT_EQ(message, "Error: Invalid file: " + r.path);
        EXPECT_EQ(readWholeFile(r.path), old);
    }
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 3);
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(readOnly), std::filesystem::directory_iterator()),
        1);
    chmod(readOnly.c_str(), 0755);
}

TEST_F(FileCommandsTest, ExportReportsInvalidNamesAndFiles) {
    graph.io.currentInputName.clear();
    const struct {
        const char* name;
        std::function<void(GtkDialog*)> answer;
        std::string message;
    } rows[] = {
        {"another picture ending", saveInto(temporary.path("plot.gif")),
         "Error: Invalid file: " + (temporary.path("plot.gif"))},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string proposed, message;
        script.then([&](GtkDialog* dialog) {
            GCharPtr name{gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog))};
            proposed = name ? name.get() : "";
            r.answer(dialog);
        });
        script.then(recordMessage(message));
        graph.io.playing = false;
        onExport(nullptr, &graph.io);
        EXPECT_EQ(proposed, "untitled.pdf");
        EXPECT_EQ(message, r.message);
        EXPECT_FALSE(graph.io.playing);  // paused input stays paused
    }
}

}  // namespace
