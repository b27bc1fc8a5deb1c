#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/OutputFile.h"
#include "tests/support/TempDir.h"

namespace {

bool save(const std::string& name, const std::string& text) {
    OutputFile file(name.c_str());
    file.stream() << text;
    return file.commit();
}

mode_t permissionsOf(const std::string& name) {
    struct stat info {};
    stat(name.c_str(), &info);
    return info.st_mode & 07777;
}

class OutputFileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }
    TempDir dir;
};

TEST_F(OutputFileTest, ReplacesAFileKeepingItsPermissions) {
    const std::string name = dir.path("plot.plt");
    writeWholeFile(name, "old content that is longer\n");
    ASSERT_EQ(chmod(name.c_str(), 0640), 0);
    EXPECT_TRUE(save(name, "new\n"));
    EXPECT_EQ(readWholeFile(name), "new\n");
    EXPECT_EQ(permissionsOf(name), 0640u);
    EXPECT_EQ(dir.entryCount(), 1u);
}

TEST_F(OutputFileTest, NewFilesFollowTheUmask) {
    const mode_t previous = umask(027);
    const std::string name = dir.path("new.plt");
    EXPECT_TRUE(save(name, "x\n"));
    umask(previous);
    EXPECT_EQ(permissionsOf(name), 0640u);
}

TEST_F(OutputFileTest, AnAbandonedWriteLeavesTheOriginalAndNoTemporaryFile) {
    const std::string name = dir.path("plot.plt");
    writeWholeFile(name, "original\n");
    {
        OutputFile file(name.c_str());
        ASSERT_TRUE(file.isOpen());
        file.stream() << "half of a plot";
        file.stream().flush();
        EXPECT_EQ(readWholeFile(name), "original\n");
    }
    EXPECT_EQ(readWholeFile(name), "original\n");
    EXPECT_EQ(dir.entryCount(), 1u);
}

TEST_F(OutputFileTest, WritesThroughALinkAndKeepsTheLink) {
    const std::string target = dir.path("target.plt");
    const std::string link = dir.path("link.plt");
    writeWholeFile(target, "old\n");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_TRUE(save(link, "new\n"));
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readWholeFile(target), "new\n");
    EXPECT_EQ(dir.entryCount(), 2u);
}

// Renaming would split a file with several names; it is written in place so every name sees it.
TEST_F(OutputFileTest, WritesAHardLinkedFileInPlace) {
    const std::string first = dir.path("first.plt");
    const std::string second = dir.path("second.plt");
    writeWholeFile(first, "old\n");
    ASSERT_EQ(link(first.c_str(), second.c_str()), 0);
    EXPECT_TRUE(save(first, "new\n"));
    EXPECT_EQ(readWholeFile(second), "new\n");
}

TEST_F(OutputFileTest, FailsWhereNoFileCanBeMade) {
    for (const std::string& name : {dir.path("missing/plot.plt"), dir.path("")}) {
        SCOPED_TRACE(name);
        OutputFile file(name.c_str());
        EXPECT_FALSE(file.isOpen());
        EXPECT_FALSE(file.commit());
    }
    EXPECT_EQ(dir.entryCount(), 0u);
}

TEST_F(OutputFileTest, AFullDeviceIsAFailure) {
    OutputFile file("/dev/full");
    ASSERT_TRUE(file.isOpen());
    file.stream() << "one short line\n";
    EXPECT_FALSE(file.commit());
}

}  // namespace
