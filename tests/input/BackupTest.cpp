// Recording the lines of a live input (a pseudo-terminal) to a backup file or standard output, and
// what the program does when the backup cannot be written any more.
#include "input/Backup.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "input/FileName.h"
#include "tests/input/InputTestSupport.h"
#include "tests/input/RunningKivrel.h"
#include "tests/support/TempDir.h"

namespace {

class BackupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(temporary.ok());
        folder = temporary.folder();
        ASSERT_TRUE(openSerialDevice(terminal.name.c_str(), window.io));
    }
    void TearDown() override { closeBackup(window.io); }

    bool startBackup(const std::string& path, bool append = false) {
        FileName name;
        name.setFromUtf8(path.c_str());
        return openBackup(name, append, window.io);
    }

    // Sends text through the device and waits until the plot has taken `lines` data lines.
    void send(const std::string& text, std::uint32_t lines) {
        const std::uint32_t target = window.model.writeIndex + lines;
        writeWhileRunning(terminal.master, text);
        runUntil([&] { return window.model.writeIndex >= target; });
    }

    std::string status() const { return gtk_label_get_text(GTK_LABEL(window.io.statusLabel)); }

    bool indicatorShown() const { return gtk_widget_get_visible(window.io.indicatorImage) != FALSE; }

    PseudoTerminal terminal;
    InputWindow window;
    DialogScript script;
    TempDir temporary;
    std::string folder;
};

TEST_F(BackupTest, RecordsEveryLineAsHandedOn) {
    const std::string path = folder + "/log.txt";
    ASSERT_TRUE(startBackup(path));
    EXPECT_TRUE(indicatorShown());
    send("  1 2\r\n\r\n   \n3 4  \r5\n", 3);
    EXPECT_EQ(readWholeFile(path), "1 2\n3 4  \n5\n");
    closeBackup(window.io);
    EXPECT_FALSE(indicatorShown());
    EXPECT_EQ(window.io.backupChannel, nullptr);
}

TEST_F(BackupTest, TheLimitClosesTheBackupOnTheNextLine) {
    window.io.backupLimit = 3;
    const std::string path = folder + "/limited.txt";
    ASSERT_TRUE(startBackup(path));
    send("1\n2\n3\n", 3);
    EXPECT_TRUE(indicatorShown());
    send("4\n5\n", 2);
    EXPECT_EQ(readWholeFile(path), "1\n2\n3\n");
    EXPECT_EQ(window.io.backupChannel, nullptr);
    EXPECT_FALSE(indicatorShown());
    EXPECT_EQ(window.model.graphs[0].samples[4], 5);  // the plot still took them
}

TEST_F(BackupTest, AppendKeepsOldContentAndANewBackupClosesTheOld) {
    const std::string first = folder + "/first.txt";
    std::ofstream(first) << "old\n";
    ASSERT_TRUE(startBackup(first, true));
    send("1\n", 1);
    const std::string second = folder + "/second.txt";
    ASSERT_TRUE(startBackup(second));
    EXPECT_EQ(readWholeFile(first), "old\n1\n");
    send("2\n", 1);
    EXPECT_EQ(readWholeFile(second), "2\n");
    EXPECT_EQ(readWholeFile(first), "old\n1\n");
}

TEST_F(BackupTest, DashRecordsToStandardOutput) {
    const std::string captured = folder + "/stdout.txt";
    std::fflush(stdout);
    const int savedStdout = dup(1);
    const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(dup2(file, 1), 0);
    close(file);
    for (const char* name : {"-", "/some/folder/-"}) {
        ASSERT_TRUE(startBackup(name));
        EXPECT_EQ(window.io.backupKind, BackupKind::standardOutput);
        send(std::string(name) == "-" ? "7 8\n" : "9\n", 1);
        closeBackup(window.io);
    }
    // Closing the backup left standard output usable.
    EXPECT_EQ(write(1, "end\n", 4), 4);
    dup2(savedStdout, 1);
    close(savedStdout);
    EXPECT_EQ(readWholeFile(captured), "7 8\n9\nend\n");
    EXPECT_NE(access((folder + "/-").c_str(), F_OK), 0) << "no file named '-' is made";
}

TEST_F(BackupTest, AFileThatCannotBeCreatedIsReported) {
    std::string message;
    script.then(recordMessage(message));
    EXPECT_FALSE(startBackup(folder + "/missing/dir/log.txt"));
    EXPECT_EQ(message, "Error: Failed backup: " + folder + "/missing/dir/log.txt");
    EXPECT_EQ(window.io.backupKind, BackupKind::none);
    EXPECT_FALSE(indicatorShown());
}

// Lines of 17 bytes with values no other line has: 1000001 -1000001, 1000002 -1000002, ...
std::string markedLines(int first, int count) {
    std::string out;
    for (int i = first; i < first + count; ++i)
        out += std::to_string(1000000 + i) + " " + std::to_string(-1000000 - i) + "\n";
    return out;
}

TEST_F(BackupTest, AFailedWriteStopsTheBackupWithOneMessageAndThePlotGoesOn) {
    struct Row {
        const char* target;  // null: a file in the test's folder, with a size limit of 40 bytes
        int error;
    };
    for (const Row& row : {Row{"/dev/full", ENOSPC}, Row{nullptr, EFBIG}}) {
        const std::string target = row.target ? row.target : folder + "/limited.txt";
        SCOPED_TRACE(target);
        std::string message;
        script.answered = 0;
        script.then(recordMessage(message));
        ASSERT_TRUE(startBackup(target));
        {
            FileSizeLimit limit(row.target ? RLIM_INFINITY : 40);
            ASSERT_TRUE(limit.ok());
            send(markedLines(1, 5), 5);
            runUntil([&] { return !message.empty(); });
        }
        const std::string reason = g_strerror(row.error);
        EXPECT_EQ(message, "Error: Failed writing backup: " + target + ": " + reason);
        EXPECT_EQ(window.io.backupChannel, nullptr);
        EXPECT_FALSE(indicatorShown());
        EXPECT_EQ(status().rfind("backup stopped: " + reason + "; ", 0), 0u) << status();
        if (!row.target) {
            EXPECT_EQ(readWholeFile(target), markedLines(1, 2)) << "whole lines only";
        }

        // The plot took every line and takes more; no second message comes.
        const std::uint32_t before = window.model.writeIndex;
        send(markedLines(6, 3), 3);
        EXPECT_EQ(window.model.graphs[0].samples[before + 2], 1000008);
        EXPECT_EQ(script.answered, 1);
    }
}

// The program itself with a backup that fails: it goes on reading to the end of its input (with
// the message on the screen), and a file it could not finish ends with the last whole line.
TEST(BackupOfTheProgram, AFailingBackupNeitherEndsTheProgramNorCutsALine) {
    TempDir temporary;
    ASSERT_TRUE(temporary.ok());
    const std::string limited = temporary.path("limited.txt");
    struct Row {
        const char* what;
        std::vector<std::string> arguments;
        KivrelStart start;
    };
    const Row rows[] = {
        {"a full device", {"-b", "/dev/full", "-"}, {}},
        {"a file beyond the size limit", {"-b", limited, "-"}, {"", 1000, false, -1, {}}},
        {"standard output whose reader went away", {"-b", "-", "-"}, {"", 0, true, -1, {}}},
    };
    const std::string lines = markedLines(1, 2000);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RunningKivrel kivrel(row.arguments, row.start);
        ASSERT_TRUE(kivrel.ok());
        kivrel.closeOutput();
        const std::string report = kivrel.sendAllAndWaitForReport(lines);
        ASSERT_NE(report, "") << kivrel.standardError();
        EXPECT_EQ(report.substr(0, report.find(" in ")), "kivrel: end of input: 2000 lines");
        EXPECT_TRUE(kivrel.running());
    }
    const std::string recorded = readWholeFile(limited);
    EXPECT_EQ(recorded, lines.substr(0, 1000 / 17 * 17));
}

}  // namespace
