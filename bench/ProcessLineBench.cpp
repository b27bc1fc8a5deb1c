// Data lines as a device sends them: processLine next to a bare baseline that only splits the same
// lines and converts every number with strtod into a plain array. The ratio of the two rates is the
// cost of the model's bookkeeping; growing an extendable axis to its 50000-slot limit also counts
// how often the sample arrays move. The same numbers separated by commas under -csv and as
// name:value words under -labels show what those modes cost next to plain lines.
#include <benchmark/benchmark.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "model/PlotModel.h"

namespace {

constexpr unsigned lineCount = 1024;  // a power of two, cycled through

// How the numbers of a line are written: between spaces, between commas, or as "g3:1.5" words.
enum class LineFormat { plain, csv, labels };

// Lines of `columns` numbers with six significant digits across several magnitudes, as "%g"
// writes them ("-12.3457", "0.00123457", "123457").
std::vector<std::string> makeLines(unsigned columns, LineFormat format) {
    std::mt19937 random(columns);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-2, 5);
    std::vector<std::string> lines(lineCount);
    for (std::string& line : lines) {
        for (unsigned c = 0; c < columns; ++c) {
            char number[32];
            std::snprintf(number, sizeof number, "%.6g", mantissa(random) * std::pow(10.0, exponent(random)));
            if (c > 0) line += format == LineFormat::csv ? ',' : ' ';
            if (format == LineFormat::labels) line += "g" + std::to_string(c) + ":";
            line += number;
        }
    }
    return lines;
}

const std::vector<std::string>& linesWith(unsigned columns, LineFormat format = LineFormat::plain) {
    static std::map<std::pair<unsigned, LineFormat>, std::vector<std::string>> cache;
    const std::pair<unsigned, LineFormat> key{columns, format};
    auto found = cache.find(key);
    if (found == cache.end()) found = cache.emplace(key, makeLines(columns, format)).first;
    return found->second;
}

void processLines(benchmark::State& state, unsigned columns, bool extendable, LineFormat format) {
    const std::vector<std::string>& lines = linesWith(columns, format);
    PlotModel model;
    model.fixedXAxis = !extendable;
    model.commaSeparated = format == LineFormat::csv;
    model.namedValues = format == LineFormat::labels;
    unsigned next = 0;
    for (auto _ : state) {
        model.processLine(lines[next].c_str());
        next = (next + 1) & (lineCount - 1);
        if (extendable && model.xSize >= model.maxXSize && model.writeIndex == 0) {
            // The axis reached its limit and became a ring: start growing again from empty.
            state.PauseTiming();
            model.clear();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * columns);
}

// The least a data line costs: split at white space, keep number words, strtod each into an array.
void strtodBaseline(benchmark::State& state, unsigned columns) {
    const std::vector<std::string>& lines = linesWith(columns);
    double values[maxGraphs] = {};
    unsigned next = 0;
    for (auto _ : state) {
        unsigned c = 0;
        const char* p = lines[next].c_str();
        for (;;) {
            while (std::isspace(static_cast<unsigned char>(*p))) ++p;
            if (*p == '\0' || *p == '#') break;
            if (std::isdigit(static_cast<unsigned char>(*p)) ||
                (*p == '-' && std::isdigit(static_cast<unsigned char>(p[1])))) {
                char* end = nullptr;
                values[c < maxGraphs ? c : maxGraphs - 1] = std::strtod(p, &end);
                ++c;
                p = end;
            }
            while (*p != '\0' && !std::isspace(static_cast<unsigned char>(*p))) ++p;
        }
        benchmark::DoNotOptimize(values);
        benchmark::ClobberMemory();
        next = (next + 1) & (lineCount - 1);
    }
    state.SetItemsProcessed(state.iterations() * columns);
}

// One run grows an extendable axis from empty to its 50000-slot limit with 64 graphs and counts,
// per graph, how often its sample array moved and the fewest lines between two moves of one array
// (at least 256 when every array moves at most once per 256 lines).
void extendableGrowth(benchmark::State& state) {
    const std::vector<std::string>& lines = linesWith(maxGraphs);
    double moves = 0;
    double fewestLinesBetweenMoves = 1e300;
    double grownLines = 0;
    for (auto _ : state) {
        PlotModel model;
        model.fixedXAxis = false;
        model.processLine(lines[0].c_str());
        std::vector<const double*> where(maxGraphs);
        std::vector<long> lastMove(maxGraphs, -1);
        for (unsigned g = 0; g < maxGraphs; ++g) where[g] = model.graphs[g].samples.data();
        long line = 1;
        while (!(model.xSize >= model.maxXSize && model.writeIndex == 0)) {
            model.processLine(lines[static_cast<unsigned long>(line) & (lineCount - 1)].c_str());
            for (unsigned g = 0; g < maxGraphs; ++g) {
                const double* now = model.graphs[g].samples.data();
                if (now == where[g]) continue;
                where[g] = now;
                moves += 1;
                if (lastMove[g] >= 0) {
                    fewestLinesBetweenMoves =
                        std::min(fewestLinesBetweenMoves, static_cast<double>(line - lastMove[g]));
                }
                lastMove[g] = line;
            }
            ++line;
        }
        grownLines += static_cast<double>(line) - startXSize;
        benchmark::DoNotOptimize(model.graphs[0].samples.data());
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["moves_per_graph"] = moves / maxGraphs / runs;
    state.counters["lines_grown"] = grownLines / runs;
    state.counters["fewest_lines_between_moves"] = fewestLinesBetweenMoves;
}

// Prints, after the table, each processLine rate as a share of the baseline rate for the same
// lines (the median when the runs were repeated).
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (rate == run.counters.end()) continue;
            if (run.run_type == Run::RT_Iteration) {
                rates[run.run_name.str()] = rate->second.value;
            } else if (run.aggregate_name == "median") {
                medians[run.run_name.str()] = rate->second.value;
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& [name, value] : medians) rates[name] = value;
        for (const auto& [name, rate] : rates) {
            // "processLine/8_columns/fixed_ring" pairs with "strtodBaseline/8_columns".
            const std::string prefix = "processLine/";
            if (name.compare(0, prefix.size(), prefix) != 0) continue;
            const std::string lines =
                name.substr(prefix.size(), name.find('/', prefix.size()) - prefix.size());
            const auto baseline = rates.find("strtodBaseline/" + lines);
            if (baseline == rates.end()) continue;
            std::printf("%-40s %6.2f M values/s, baseline %6.2f M values/s, ratio %.2f\n", name.c_str(),
                        rate / 1e6, baseline->second / 1e6, rate / baseline->second);
        }
    }

  private:
    std::map<std::string, double> rates;
    std::map<std::string, double> medians;
};

}  // namespace

int main(int argc, char** argv) {
    for (unsigned columns : {8u, 64u}) {
        const std::string lines = "/" + std::to_string(columns) + "_columns";
        benchmark::RegisterBenchmark(("strtodBaseline" + lines).c_str(), strtodBaseline, columns);
        benchmark::RegisterBenchmark(("processLine" + lines + "/fixed_ring").c_str(), processLines, columns,
                                     false, LineFormat::plain);
        benchmark::RegisterBenchmark(("processLine" + lines + "/extendable_axis").c_str(), processLines,
                                     columns, true, LineFormat::plain);
        // Fixed ring, as "processLine/<n>_columns/fixed_ring" that they are compared with.
        benchmark::RegisterBenchmark(("processLine" + lines + "/csv").c_str(), processLines, columns, false,
                                     LineFormat::csv);
        benchmark::RegisterBenchmark(("processLine" + lines + "/labels").c_str(), processLines, columns,
                                     false, LineFormat::labels);
    }
    benchmark::RegisterBenchmark("extendableGrowth/64_columns_to_50000_slots", extendableGrowth)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
