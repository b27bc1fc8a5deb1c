// The program itself, started as "kivrel -" with a pipe for standard input, and started with one
// of its standard descriptors closed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include <glib.h>
#include <gtest/gtest.h>

#include "tests/files/TempDir.h"

extern char** environ;

namespace {

TEST(StandardInput, KivrelDashReadsEveryLineAndReportsTheEnd) {
    const std::string program = std::string(KIVREL_BINARY_DIR) + "/kivrel";
    gchar* argv[] = {const_cast<gchar*>(program.c_str()), const_cast<gchar*>("-"), nullptr};
    gchar** environment = g_environ_setenv(g_get_environ(), "KIVREL_REPORT_EOF", "1", TRUE);
    GPid pid = 0;
    gint toKivrel = -1, fromKivrel = -1;
    ASSERT_TRUE(g_spawn_async_with_pipes(nullptr, argv, environment, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr,
                                         &pid, &toKivrel, nullptr, &fromKivrel, nullptr));
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
    EXPECT_EQ(errors.substr(report, errors.find(" in ", report) - report), "kivrel: end of input: 50001 lines");
}

// The program started with the given arguments, KIVREL_REPORT_EOF set and one standard descriptor
// closed; the others are pipes (standard input, standard error) or /dev/null (standard output).
class KivrelWithout {
public:
    KivrelWithout(int closed, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), std::string(KIVREL_BINARY_DIR) + "/kivrel");
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        std::vector<std::string> variables = {"KIVREL_REPORT_EOF=1"};
        for (char** variable = environ; *variable; ++variable) {
            if (std::strncmp(*variable, "KIVREL_REPORT_EOF=", 18) != 0) variables.emplace_back(*variable);
        }
        std::vector<char*> envp;
        for (std::string& variable : variables) envp.push_back(variable.data());
        envp.push_back(nullptr);

        int input[2], errors[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, closed);
        std::signal(SIGPIPE, SIG_IGN);
        started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
        posix_spawn_file_actions_destroy(&actions);
        close(input[0]);
        close(errors[1]);
        toKivrel = input[1];
        fromKivrel = errors[0];
    }
    ~KivrelWithout() {
        closeInput();
        if (fromKivrel >= 0) close(fromKivrel);
        if (started) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    KivrelWithout(const KivrelWithout&) = delete;
    KivrelWithout& operator=(const KivrelWithout&) = delete;

    bool ok() const { return started; }
    bool running() const { return waitpid(pid, nullptr, WNOHANG) == 0; }

    void send(const std::string& data) {
        for (std::size_t at = 0; at < data.size();) {
            const ssize_t n = write(toKivrel, data.data() + at, data.size() - at);
            if (n <= 0) break;
            at += static_cast<std::size_t>(n);
        }
        closeInput();
    }

    // The start of the end-of-input report, up to " in " ("" when none came within a generous
    // while, or the program ended or closed standard error first).
    std::string report() {
        std::string errors;
        char buffer[4096];
        const gint64 giveUp = g_get_monotonic_time() + 60 * G_USEC_PER_SEC;
        for (;;) {
            const std::size_t at = errors.find("kivrel: end of input:");
            if (at != std::string::npos && errors.find(" in ", at) != std::string::npos) {
                return errors.substr(at, errors.find(" in ", at) - at);
            }
            pollfd readable{fromKivrel, POLLIN, 0};
            if (poll(&readable, 1, 100) == 0) {
                if (g_get_monotonic_time() > giveUp) return "";
                continue;
            }
            const ssize_t n = read(fromKivrel, buffer, sizeof buffer);
            if (n <= 0) return "";
            errors.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // What the program's descriptor stands for.
    std::string descriptor(int fd) const {
        const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
        char target[PATH_MAX] = {};
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
    }

private:
    void closeInput() {
        if (toKivrel >= 0) close(toKivrel);
        toKivrel = -1;
    }

    bool started = false;
    pid_t pid = 0;
    int toKivrel = -1;
    int fromKivrel = -1;
};

// A closed standard descriptor is /dev/null to the program: the display connection never takes its
// number, so neither the backup on standard output nor the report on standard error goes into it,
// and "-" reads nothing rather than the display connection.
TEST(StandardInput, ClosedStandardDescriptorsAreOpenedOnDevNull) {
    {
        SCOPED_TRACE("standard input closed");
        KivrelWithout kivrel(STDIN_FILENO, {"-"});
        ASSERT_TRUE(kivrel.ok());
        EXPECT_EQ(kivrel.report(), "kivrel: end of input: 0 lines");
        EXPECT_EQ(kivrel.descriptor(STDIN_FILENO), "/dev/null");
        EXPECT_TRUE(kivrel.running());
    }
    {
        SCOPED_TRACE("standard output closed, the backup written there");
        KivrelWithout kivrel(STDOUT_FILENO, {"-b", "-", "-"});
        ASSERT_TRUE(kivrel.ok());
        kivrel.send("1 2\n3 4\n");
        EXPECT_EQ(kivrel.report(), "kivrel: end of input: 2 lines");
        EXPECT_EQ(kivrel.descriptor(STDOUT_FILENO), "/dev/null");
        EXPECT_TRUE(kivrel.running());
    }
    {
        SCOPED_TRACE("standard error closed, the report written there");
        TempDir folder;
        ASSERT_TRUE(folder.ok());
        const std::string backup = folder.path("backup.txt");
        KivrelWithout kivrel(STDERR_FILENO, {"-b", backup, "-"});
        ASSERT_TRUE(kivrel.ok());
        kivrel.send("1 2\n3 4\n");
        // The report follows the last line into standard error.
        for (int attempt = 0; attempt < 3000 && readWholeFile(backup) != "1 2\n3 4\n"; ++attempt) g_usleep(10000);
        EXPECT_EQ(readWholeFile(backup), "1 2\n3 4\n");
        EXPECT_EQ(kivrel.descriptor(STDERR_FILENO), "/dev/null");
        EXPECT_TRUE(kivrel.running());
    }
}

}  // namespace
