// Demo data source: announces a title and a layout with option lines, then writes a sine, a noisy
// sine and a step as three columns, 50 lines per second, to standard output.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>

int main(int argc, char** argv) {
    // An optional argument limits the number of data lines (0 or none: run until stopped).
    const long lines = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
    std::printf("#> Kivrel demo :: sine, noise and a step\n");
    std::printf("#$ -no-indep -t sine -t \"noisy sine\" -d 0 -t step -d 1 -dpy 1 -w 1 -y -1.5:1.5\n");
    std::printf("#~ -dpy 0 -w 2 -l 0.5 -l -0.5\n");
    std::fflush(stdout);
    std::mt19937 random(12345);
    std::normal_distribution<double> noise(0.0, 0.1);
    const double pi = std::acos(-1.0);
    for (long i = 0; lines == 0 || i < lines; ++i) {
        const double t = static_cast<double>(i) / 50.0;
        const double sine = std::sin(2 * pi * 0.5 * t);
        const double step = (i / 200) % 2 == 0 ? 1.0 : -1.0;
        if (std::printf("%.6g %.6g %.6g\n", sine, 0.8 * std::sin(2 * pi * 0.2 * t) + noise(random), step) <
                0 ||
            std::fflush(stdout) != 0) {
            return 0;  // the plotter has gone away
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}
