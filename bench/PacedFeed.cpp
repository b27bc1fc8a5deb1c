// Generator of the live bench: writes data lines of <columns> numbers at <rate> lines per second for
// <seconds> seconds to standard output, paced against the monotonic clock, as a device that sends
// at a steady rate would. Every few milliseconds it writes the lines that are due by then in one
// write, so the reader sees small bursts. Every value changes from one line to the next.
// When the reader is slower than the pace, writes block and the lines due meanwhile follow at once;
// the lag is reported. At the end it writes "<lines> lines in <seconds> s, largest lag <ms> ms" to
// standard error.
//
//   kivrel_paced_feed <columns> <lines per second> <seconds>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto burstPeriod = std::chrono::milliseconds(2);

long positiveArgument(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value > 0 ? value : 0;
}

// Writes all of text; false when the reader has gone.
bool writeAll(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// One line: slow sine waves, one per column with its own phase and offset, and a small ramp
// that changes the last digits of every value on every line.
void appendLine(std::string& out, long line, long columns) {
    char number[32];
    for (long c = 0; c < columns; ++c) {
        const double value = std::sin(static_cast<double>(line) * 0.002 + static_cast<double>(c)) * 100.0 +
                             static_cast<double>(c * 10) + static_cast<double>(line % 1000) * 0.001;
        const int length = std::snprintf(number, sizeof number, c == 0 ? "%.3f" : " %.3f", value);
        out.append(number, static_cast<std::size_t>(length));
    }
    out += '\n';
}

}  // namespace

int main(int argc, char** argv) {
    const long columns = argc == 4 ? positiveArgument(argv[1]) : 0;
    const long rate = argc == 4 ? positiveArgument(argv[2]) : 0;
    const long seconds = argc == 4 ? positiveArgument(argv[3]) : 0;
    if (columns == 0 || rate == 0 || seconds == 0) {
        std::fprintf(stderr, "usage: %s <columns> <lines per second> <seconds>\n", argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);  // a reader that goes away ends the run through write's error
    const long total = rate * seconds;
    const Clock::time_point start = Clock::now();
    long written = 0;
    Clock::duration largestLag{};
    std::string burst;
    while (written < total) {
        const Clock::time_point now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - start).count();
        const long due = std::min(total, static_cast<long>(elapsed * static_cast<double>(rate)) + 1);
        if (due > written) {
            // How late the oldest of these lines is: more than a burst period means the reader held us up.
            const double dueSeconds = static_cast<double>(written) / static_cast<double>(rate);
            const auto dueAfter = std::chrono::duration<double>(dueSeconds);
            const auto dueAt = start + std::chrono::duration_cast<Clock::duration>(dueAfter);
            largestLag = std::max(largestLag, now - dueAt);
            burst.clear();
            for (long line = written; line < due; ++line) appendLine(burst, line, columns);
            if (!writeAll(burst)) break;
            written = due;
        }
        std::this_thread::sleep_until(now + burstPeriod);
    }
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    std::fprintf(stderr, "%ld lines in %.3f s, largest lag %.1f ms\n", written, took,
                 std::chrono::duration<double, std::milli>(largestLag).count());
    return written == total ? 0 : 1;
}
