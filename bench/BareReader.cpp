// Baseline of the ingest bench: the least a reader of the stream must do. Reads standard input in
// 64 KiB blocks, cuts it into lines at line feeds and converts every number with strtod. Prints
// "<lines> lines in <seconds> s (<lines/s> lines/s), peak RSS <KiB> KiB", timed from the first byte
// to the end.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

int main() {
    static char block[64 * 1024];
    std::string line;
    long long lines = 0;
    double sum = 0.0;
    std::chrono::steady_clock::time_point start;
    bool started = false;
    const auto convert = [&](std::string& text) {
        const char* p = text.c_str();
        while (*p) {
            char* end = nullptr;
            const double value = std::strtod(p, &end);
            if (end == p) {
                ++p;  // white space or a word: not a number
                continue;
            }
            sum += value;
            p = end;
        }
        ++lines;
    };
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, block, sizeof block);
        if (got <= 0) break;
        if (!started) {
            start = std::chrono::steady_clock::now();
            started = true;
        }
        const char* p = block;
        const char* const end = block + got;
        while (p < end) {
            const char* feed =
                static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            if (!feed) {
                line.append(p, end);
                break;
            }
            line.append(p, feed);
            convert(line);
            line.clear();
            p = feed + 1;
        }
    }
    if (!line.empty()) convert(line);
    const double seconds =
        started ? std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() : 0.0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%lld lines in %.3f s (%.0f lines/s), peak RSS %ld KiB\n", lines, seconds,
                seconds > 0 ? static_cast<double>(lines) / seconds : 0.0, usage.ru_maxrss);
    std::fprintf(stderr, "checksum %g\n", sum);
    return 0;
}
