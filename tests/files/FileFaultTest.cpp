// Saving and opening where the file system says no: a read-only folder, a read-only file, a folder
// or an unreadable file opened as a plot or configuration, a name that vanished. (A full disk is
// covered next to each writer.)
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "files/Configuration.h"
#include "files/PlotFile.h"
#include "model/PlotModel.h"
#include "tests/model/ModelInvariants.h"
#include "tests/support/TempDir.h"

namespace {

constexpr uid_t nobody = 65534;

// Runs check in a child process that cannot bypass file permissions: root, for whom chmod
// protects nothing, becomes the user nobody there. check returns what went wrong, or "".
testing::AssertionResult withoutPrivileges(const std::function<std::string()>& check) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return testing::AssertionFailure() << "no pipe";
    const pid_t child = fork();
    if (child < 0) return testing::AssertionFailure() << "no child process";
    if (child == 0) {
        close(pipeEnds[0]);
        std::string failure;
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)) {
            failure = "could not become the user nobody";
        } else {
            failure = check();
        }
        const ssize_t written = write(pipeEnds[1], failure.data(), failure.size());
        _exit(written == static_cast<ssize_t>(failure.size()) ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string failure;
    char chunk[256];
    for (ssize_t n; (n = read(pipeEnds[0], chunk, sizeof chunk)) > 0;)
        failure.append(chunk, static_cast<std::size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return testing::AssertionFailure() << "the child process failed";
    if (!failure.empty()) return testing::AssertionFailure() << failure;
    return testing::AssertionSuccess();
}

// A folder the unprivileged child may enter but not change, holding read-only files.
class FileFaultTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok());
        // The temporary folder is private to its creator; the child must be able to enter it.
        ASSERT_EQ(chmod(dir.path("").c_str(), 0755), 0);
        ASSERT_EQ(mkdir(folder().c_str(), 0755), 0);
    }
    void TearDown() override { chmod(folder().c_str(), 0755); }  // so that the folder can be removed

    std::string folder() const { return dir.path("read-only"); }
    std::string inFolder(const std::string& name) const { return folder() + "/" + name; }

    // Writes a file into the folder with the given mode.
    void place(const std::string& name, const std::string& text, mode_t mode) const {
        writeWholeFile(inFolder(name), text);
        chmod(inFolder(name).c_str(), mode);
    }
    void makeFolderReadOnly() const { chmod(folder().c_str(), 0555); }

    TempDir dir;
};

PlotModel savableModel() {
    PlotModel model;
    model.samplingRate = 100;
    model.processLine("1 2");
    model.processLine("3 4");
    return model;
}

TEST_F(FileFaultTest, SavingIntoAReadOnlyFolderFailsAndKeepsWhatIsThere) {
    for (const char* name : {"old.plt", "old.wxv", "old.cfg"}) place(name, "original\n", 0444);
    makeFolderReadOnly();
    EXPECT_TRUE(withoutPrivileges([this] {
        const PlotModel model = savableModel();
        std::string failure;
        for (const std::string kind : {"plt", "wxv", "cfg"}) {
            for (const std::string base : {"new", "old"}) {
                const std::string name = base + "." + kind;
                const std::string path = inFolder(name);
                const bool saved = kind == "cfg" ? saveConfiguration(model, path.c_str())
                                                 : saveFile(model, path.c_str(), name) != -1;
                if (saved) failure += name + " was saved; ";
            }
        }
        if (access(inFolder("new.plt").c_str(), F_OK) == 0 ||
            access(inFolder("new.wxv").c_str(), F_OK) == 0 ||
            access(inFolder("new.cfg").c_str(), F_OK) == 0) {
            failure += "a new file appeared; ";
        }
        return failure;
    }));
    for (const char* name : {"old.plt", "old.wxv", "old.cfg"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(readWholeFile(inFolder(name)), "original\n");
    }
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(folder()), std::filesystem::directory_iterator()),
        3);
}

TEST_F(FileFaultTest, OpeningWhatIsNoReadableFileFailsAndLeavesTheModel) {
    place("unreadable.plt", "1 2 3\n", 0);
    place("unreadable.wxv", "# RIFF 15 WAVE fmt 6 1 2 100 400 4 16 data 4\n1 2 3 4\n", 0);
    place("unreadable.cfg", "1\n0\n0\n1\n", 0);
    ASSERT_EQ(mkdir(inFolder("folder.plt").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(inFolder("folder.wxv").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(inFolder("folder.cfg").c_str(), 0755), 0);
    EXPECT_TRUE(withoutPrivileges([this] {
        std::string failure;
        // "vanished" stands for a file chosen in the dialog and removed before it was read.
        for (const std::string base : {"unreadable", "folder", "vanished"}) {
            for (const std::string kind : {"plt", "wxv", "cfg"}) {
                const std::string name = base + "." + kind;
                const std::string path = inFolder(name);
                PlotModel model;
                model.frames = true;
                const bool read = kind == "cfg" ? loadConfiguration(model, path.c_str())
                                                : readPlotFile(model, path.c_str(), name);
                if (read) failure += name + " was read; ";
                if (!model.graphs.empty() || model.xSize != startXSize || !model.frames)
                    failure += name + " changed the model; ";
                const std::string broken = brokenInvariant(model);
                if (!broken.empty()) failure += name + ": " + broken + "; ";
            }
        }
        return failure;
    }));
}

}  // namespace
