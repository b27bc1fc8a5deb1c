#pragma once
// The program itself, started by a test with pipes for its standard input and standard error.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <glib.h>

// The program started as "kivrel -" with pipes for standard input and standard error, and with
// KIVREL_REPORT_EOF set, so that it reports the end of its input on standard error. One standard
// descriptor can be closed in the program instead (its pipe, if any, then ends at once).
class RunningKivrel {
public:
    explicit RunningKivrel(std::vector<std::string> extraArguments = {}, int closedDescriptor = -1) {
        std::vector<std::string> arguments = {std::string(KIVREL_BINARY_DIR) + "/kivrel"};
        arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
        arguments.push_back("-");
        std::signal(SIGPIPE, SIG_IGN);  // a program that died fails the test instead of killing it
        std::vector<gchar*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        gchar** environment = g_environ_setenv(g_get_environ(), "KIVREL_REPORT_EOF", "1", TRUE);
        // Memory figures should show the program's own peak, not what the address sanitizer keeps
        // of freed blocks to catch late uses.
        const gchar* sanitizerOptions = g_environ_getenv(environment, "ASAN_OPTIONS");
        const std::string options = std::string(sanitizerOptions ? sanitizerOptions : "") + ":quarantine_size_mb=8";
        environment = g_environ_setenv(environment, "ASAN_OPTIONS", options.c_str(), TRUE);
        // Run in the child once its descriptors are set up, just before the program starts.
        const GSpawnChildSetupFunc closeOne = [](gpointer fd) { close(GPOINTER_TO_INT(fd)); };
        started = g_spawn_async_with_pipes(nullptr, argv.data(), environment, G_SPAWN_DO_NOT_REAP_CHILD,
                                           closedDescriptor >= 0 ? closeOne : nullptr,
                                           GINT_TO_POINTER(closedDescriptor), &pid, &toKivrel, nullptr, &fromKivrel,
                                           nullptr);
        g_strfreev(environment);
    }
    ~RunningKivrel() {
        closeInput();
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
        return std::thread([this, text = std::move(data)] {
            for (std::size_t at = 0; at < text.size();) {
                const ssize_t n = write(toKivrel, text.data() + at, text.size() - at);
                if (n <= 0) break;
                at += static_cast<std::size_t>(n);
            }
            closeInput();
        });
    }

    // Reads standard error until the end-of-input report; returns it ("" when the program ended or
    // closed standard error first, or no report came within a generous while).
    std::string waitForReport() {
        char buffer[4096];
        const gint64 giveUp = g_get_monotonic_time() + 60 * G_USEC_PER_SEC;
        for (;;) {
            const std::size_t at = errors.find("kivrel: end of input:");
            if (at != std::string::npos && errors.find('\n', at) != std::string::npos) {
                return errors.substr(at, errors.find('\n', at) - at);
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

    bool running() const { return waitpid(pid, nullptr, WNOHANG) == 0; }

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
            if (line.rfind(field + ":", 0) == 0) return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
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
    void closeInput() {
        if (toKivrel >= 0) close(toKivrel);
        toKivrel = -1;
    }

    bool started = false;
    GPid pid = 0;
    gint toKivrel = -1;
    gint fromKivrel = -1;
    std::string errors;
};

// The number of lines an end-of-input report counts (-1 for no report).
inline long reportedLines(const std::string& report) {
    const std::string start = "kivrel: end of input: ";
    if (report.rfind(start, 0) != 0) return -1;
    return std::strtol(report.c_str() + start.size(), nullptr, 10);
}
