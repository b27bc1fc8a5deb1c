// The program itself, started as "kivrel -" with a pipe for standard input, and started with one
// of its standard descriptors closed.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <glib.h>
#include <gtest/gtest.h>

#include "tests/input/RunningKivrel.h"
#include "tests/support/TempDir.h"

namespace {

TEST(StandardInput, KivrelDashReadsEveryLineAndReportsTheEnd) {
    const std::string program = std::string(KIVREL_BINARY_DIR) + "/kivrel";
    gchar* argv[] = {const_cast<gchar*>(program.c_str()), const_cast<gchar*>("-"), nullptr};
    gchar** environment = g_environ_setenv(g_get_environ(), "KIVREL_REPORT_EOF", "1", TRUE);
    GPid pid = 0;
    gint toKivrel = -1, fromKivrel = -1;
    ASSERT_TRUE(g_spawn_async_with_pipes(nullptr, argv, environment, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                         nullptr, &pid, &toKivrel, nullptr, &fromKivrel, nullptr));
    g_strfreev(environment);
    std::string data;
    for (int i = 0; i < 50000; ++i) data += std::to_string(i) + " 1 2 3 4 5 6 7\n";
    data += "#> done\n\n  \r\n";
    for (std::size_t at = 0; at < data.size();) {
        const ssize_t n = write(toKivrel, data.data() + at, data.size() - at);
        if (n <= 0) break;
        at += static_cast<std::size_t>(n);
    }
    close(toKivrel);

    std::string errors;
    char buffer[4096];
    std::size_t report = std::string::npos;
    while ((report = errors.find("kivrel: end of input:")) == std::string::npos ||
           errors.find('\n', report) == std::string::npos) {
        const ssize_t n = read(fromKivrel, buffer, sizeof buffer);
        if (n <= 0) break;
        errors.append(buffer, static_cast<std::size_t>(n));
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    g_spawn_close_pid(pid);
    close(fromKivrel);
    ASSERT_NE(report, std::string::npos) << errors;
    EXPECT_EQ(errors.substr(report, errors.find(" in ", report) - report),
              "kivrel: end of input: 50001 lines");
}

// A closed standard descriptor is /dev/null to the program: the display connection never takes its
// number, so neither the backup on standard output nor the report on standard error goes into it,
// and "-" reads nothing rather than the display connection.
KivrelStart closing(int descriptor) {
    KivrelStart start;
    start.closedDescriptor = descriptor;
    return start;
}

TEST(StandardInput, ClosedStandardDescriptorsAreOpenedOnDevNull) {
    {
        SCOPED_TRACE("standard input closed");
        RunningKivrel kivrel({"-"}, closing(STDIN_FILENO));
        ASSERT_TRUE(kivrel.ok());
        EXPECT_EQ(reportedLines(kivrel.waitForReport()), 0);
        EXPECT_EQ(kivrel.descriptor(STDIN_FILENO), "/dev/null");
        EXPECT_TRUE(kivrel.running());
    }
    {
        SCOPED_TRACE("standard output closed, the backup written there");
        RunningKivrel kivrel({"-b", "-", "-"}, closing(STDOUT_FILENO));
        ASSERT_TRUE(kivrel.ok());
        kivrel.writeAndClose("1 2\n3 4\n").join();
        EXPECT_EQ(reportedLines(kivrel.waitForReport()), 2);
        EXPECT_EQ(kivrel.descriptor(STDOUT_FILENO), "/dev/null");
        EXPECT_TRUE(kivrel.running());
    }
    {
        SCOPED_TRACE("standard error closed, the report written there");
        TempDir folder;
        ASSERT_TRUE(folder.ok());
        const std::string backup = folder.path("backup.txt");
        RunningKivrel kivrel({"-b", backup, "-"}, closing(STDERR_FILENO));
        ASSERT_TRUE(kivrel.ok());
        kivrel.writeAndClose("1 2\n3 4\n").join();
        // The report follows the last line into standard error.
        for (int attempt = 0; attempt < 3000 && readWholeFile(backup) != "1 2\n3 4\n"; ++attempt)
            g_usleep(10000);
        EXPECT_EQ(readWholeFile(backup), "1 2\n3 4\n");
        EXPECT_EQ(kivrel.descriptor(STDERR_FILENO), "/dev/null");
        EXPECT_TRUE(kivrel.running());
    }
}

}  // namespace
