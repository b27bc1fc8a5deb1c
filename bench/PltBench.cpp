// Saving and reading a full plot of 64 graphs x 50000 slots as PLT, next to a baseline that writes
// the same numbers with a bare fprintf("%g ") loop and reads them back with a bare strtod loop.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/PlotFile.h"
#include "model/PlotModel.h"

namespace {

constexpr unsigned graphCount = 64;
constexpr std::uint32_t slotCount = 50000;

const PlotModel& fullModel() {
    static const PlotModel model = [] {
        PlotModel m;
        m.setXSize(slotCount);
        for (unsigned g = 0; g < graphCount; ++g) m.addGraph("");
        for (std::uint32_t i = 0; i < slotCount; ++i) {
            for (unsigned g = 0; g < graphCount; ++g) {
                m.storeSample(g, 1000.0 * std::sin(i * 0.001 * (g + 1)) + g * 0.25);
            }
            m.advance();
        }
        return m;
    }();
    return model;
}

std::string benchFile(const char* name) {
    const char* base = std::getenv("TMPDIR");
    return std::string(base && *base ? base : "/tmp") + "/kivrel-bench-" + std::to_string(getpid()) + "-" +
           name;
}

long fileSize(const std::string& name) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) return 0;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    return size;
}

// The data lines of a PLT file with nothing but fprintf: the same slots in the same order.
void writeBaseline(const PlotModel& model, const std::string& name) {
    std::FILE* f = std::fopen(name.c_str(), "w");
    if (!f) return;
    for (std::uint32_t frame = 0; frame + 1 < model.xSize; ++frame) {
        const std::size_t slot = (std::size_t{frame} + model.writeIndex + 1) % model.xSize;
        for (const Graph& g : model.graphs) std::fprintf(f, "%g ", g.samples[slot]);
        std::fputc('\n', f);
    }
    std::fclose(f);
}

void BM_SavePlt(benchmark::State& state) {
    const PlotModel& model = fullModel();
    const std::string name = benchFile("save.plt");
    for (auto _ : state) {
        if (saveFile(model, name.c_str(), name) != 0) state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * fileSize(name));
    std::remove(name.c_str());
}

void BM_SaveBaselineFprintf(benchmark::State& state) {
    const PlotModel& model = fullModel();
    const std::string name = benchFile("baseline.txt");
    for (auto _ : state) writeBaseline(model, name);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * fileSize(name));
    std::remove(name.c_str());
}

void BM_ReadPlt(benchmark::State& state) {
    const std::string name = benchFile("read.plt");
    saveFile(fullModel(), name.c_str(), name);
    for (auto _ : state) {
        PlotModel model;  // as Open File reads: an extendable X axis
        model.fixedXAxis = false;
        if (!readPlotFile(model, name.c_str(), name) || model.graphs.size() != graphCount) {
            state.SkipWithError("read failed");
        }
        benchmark::DoNotOptimize(model.graphs.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * fileSize(name));
    std::remove(name.c_str());
}

void BM_ReadBaselineStrtod(benchmark::State& state) {
    const std::string name = benchFile("baseline-read.txt");
    writeBaseline(fullModel(), name);
    std::vector<double> values(std::size_t{graphCount} * slotCount);
    for (auto _ : state) {
        std::FILE* f = std::fopen(name.c_str(), "r");
        if (!f) {
            state.SkipWithError("open failed");
            break;
        }
        char* line = nullptr;
        std::size_t capacity = 0;
        std::size_t stored = 0;
        while (getline(&line, &capacity, f) > 0) {
            const char* p = line;
            for (;;) {
                char* end = nullptr;
                const double v = std::strtod(p, &end);
                if (end == p) break;
                if (stored < values.size()) values[stored++] = v;
                p = end;
            }
        }
        std::free(line);
        std::fclose(f);
        benchmark::DoNotOptimize(values.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * fileSize(name));
    std::remove(name.c_str());
}

BENCHMARK(BM_SavePlt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBaselineFprintf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPlt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBaselineStrtod)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
