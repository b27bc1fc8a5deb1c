#pragma once
// The program itself, started with the given arguments and pipes for standard input and standard
// error (and standard output when asked), and with KIVREL_REPORT_EOF, KIVREL_REPORT_FIRST_FRAME
// and KIVREL_SAVE_ON_SIGNAL set, so that it tells on standard error when its window first shows,
// when its input ends and when it saved its plot on SIGUSR1. One standard descriptor can be closed
// in the program instead (its pipe, if any, then ends at once).

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <glib.h>

#include "tests/input/InputTestSupport.h"

struct KivrelStart {
    // Where SIGUSR1 saves the plot; empty: not asked for.
    std::string saveOnSignal;
    // The size limit for files the program writes, as a full disk would set one; 0: none.
    rlim_t fileSizeLimit = 0;
    // Standard output as a pipe the test reads (or closes); otherwise the test's own.
    bool pipeOutput = false;
    // A standard descriptor (0, 1 or 2) closed in the program before it starts; -1: none.
    int closedDescriptor = -1;
    // Further environment variables, such as the test hooks that fake the memory the system has.
    std::vector<std::pair<std::string, std::string>> environment;
};

class RunningKivrel {
  public:
    explicit RunningKivrel(std::vector<std::string> arguments, KivrelStart start = {}) {
        arguments.insert(arguments.begin(), std::string(KIVREL_BINARY_DIR) + "/kivrel");
        std::signal(SIGPIPE, SIG_IGN);  // a program that died fails the test instead of killing it
        std::vector<gchar*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        gchar** environment = g_environ_setenv(g_get_environ(), "KIVREL_REPORT_EOF", "1", TRUE);
        // The usual settings, and none of the person running the tests; a test of the settings
        // turns this off in start.environment.
        environment = g_environ_setenv(environment, "KIVREL_NO_SETTINGS", "1", TRUE);
        environment = g_environ_setenv(environment, "KIVREL_REPORT_FIRST_FRAME", "1", TRUE);
        if (!start.saveOnSignal.empty()) {
            environment =
                g_environ_setenv(environment, "KIVREL_SAVE_ON_SIGNAL", start.saveOnSignal.c_str(), TRUE);
        }
        for (const auto& [name, value] : start.environment) {
            environment = g_environ_setenv(environment, name.c_str(), value.c_str(), TRUE);
        }
        // Memory figures should show the program's own peak, not what the address sanitizer keeps
        // of freed blocks to catch late uses.
        const gchar* sanitizerOptions = g_environ_getenv(environment, "ASAN_OPTIONS");
        const std::string options =
            std::string(sanitizerOptions ? sanitizerOptions : "") + ":quarantine_size_mb=8";
        environment = g_environ_setenv(environment, "ASAN_OPTIONS", options.c_str(), TRUE);
        childSetup = {start.fileSizeLimit, start.closedDescriptor};
        started = g_spawn_async_with_pipes(nullptr, argv.data(), environment, G_SPAWN_DO_NOT_REAP_CHILD,
                                           setUpChild, &childSetup, &pid, &toKivrel,
                                           start.pipeOutput ? &fromOutput : nullptr, &fromKivrel, nullptr);
        g_strfreev(environment);
    }
    ~RunningKivrel() {
        closeInput();
        closeOutput();
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
        return writeFromThread(toKivrel, std::move(data), [this] { closeInput(); });
    }

    // Reads standard error until a line that begins with start has come whole; returns that line
    // ("" when the program ended or closed standard error first, or no such line came within a
    // generous while). Each line is found once, whether it came before or after the lines found
    // so far: messages from the main loop and reports of the input may come in either order.
    std::string waitForLine(const std::string& start) {
        char buffer[4096];
        const gint64 giveUp = g_get_monotonic_time() + 60 * G_USEC_PER_SEC;
        for (;;) {
            for (std::size_t at = errors.find(start); at != std::string::npos;
                 at = errors.find(start, at + 1)) {
                const std::size_t end = errors.find('\n', at);
                if (end == std::string::npos) break;  // not whole yet
                if (std::find(found.begin(), found.end(), at) != found.end()) continue;
                found.push_back(at);
                return errors.substr(at, end - at);
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
    std::string waitForReport() { return waitForLine("kivrel: end of input:"); }
    // Writes data to standard input from a thread, closes it and waits for the end-of-input report
    // (returned, "" when none came); the writer is joined before this returns, whatever came.
    std::string sendAllAndWaitForReport(std::string data) {
        std::thread writer = writeAndClose(std::move(data));
        std::string report = waitForReport();
        writer.join();
        return report;
    }
    // Waits until the window has shown its first frame: the command line's input is open then.
    bool waitForWindow() { return !waitForLine("kivrel: first frame drawn").empty(); }

    // Sends SIGUSR1 and waits until the plot is saved; false when the program could not save it.
    bool savePlot() {
        kill(pid, SIGUSR1);
        return waitForLine("kivrel: plot ").rfind("kivrel: plot saved", 0) == 0;
    }

    bool running() const { return waitpid(pid, nullptr, WNOHANG) == 0; }

    // Closes the test's end of a piped standard output: the program's next write to it fails.
    void closeOutput() {
        if (fromOutput >= 0) close(fromOutput);
        fromOutput = -1;
    }

    // What the program's descriptor stands for (a path, "socket:[...]", "pipe:[...]").
    std::string descriptor(int fd) const {
        const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
        char target[PATH_MAX] = {};
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
    }

    // A field of /proc/<pid>/status in kB, such as VmHWM (the peak resident size).
    long statusKilobytes(const std::string& field) const {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind(field + ":", 0) == 0)
                return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
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
    struct ChildSetup {
        rlim_t fileSizeLimit = 0;
        int closedDescriptor = -1;
    };

    // Runs in the child once its descriptors are set up, just before the program starts. SIGXFSZ
    // keeps its default there: the program has to deal with a file-size limit itself.
    static void setUpChild(gpointer data) {
        const ChildSetup& setup = *static_cast<const ChildSetup*>(data);
        if (setup.fileSizeLimit != 0) {
            struct rlimit limit {};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = setup.fileSizeLimit;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (setup.closedDescriptor >= 0) close(setup.closedDescriptor);
    }

    void closeInput() {
        if (toKivrel >= 0) close(toKivrel);
        toKivrel = -1;
    }

    bool started = false;
    GPid pid = 0;
    ChildSetup childSetup;
    gint toKivrel = -1;
    gint fromKivrel = -1;
    gint fromOutput = -1;
    std::string errors;
    std::vector<std::size_t> found;  // where the lines found so far begin in errors
};

// The number of lines an end-of-input report counts (-1 for no report).
inline long reportedLines(const std::string& report) {
    const std::string start = "kivrel: end of input: ";
    if (report.rfind(start, 0) != 0) return -1;
    return std::strtol(report.c_str() + start.size(), nullptr, 10);
}
