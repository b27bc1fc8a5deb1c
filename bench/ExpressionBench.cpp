// Runs a compiled expression over a million x positions, as the Eval Expression command does, next to
// the same formula compiled as C++, so that the interpreter's overhead shows as the ratio of the two.
#include <benchmark/benchmark.h>

#include <cmath>

#include "expr/ExpressionProgram.h"

namespace {

constexpr int positions = 1000000;
constexpr double pi = 3.14159265358979323846;

void interpretedFormula(benchmark::State& state) {
    ExpressionProgram program;
    if (compileExpression("sin(x*2*pi*50/1000)*exp(-x/5000)+z*0.5", &program) != 1) {
        state.SkipWithError("the formula does not compile");
        return;
    }
    for (auto _ : state) {
        double z = 0;
        for (int i = 0; i < positions; ++i) z = runExpression(&program, i, z);
        benchmark::DoNotOptimize(z);
    }
    state.SetItemsProcessed(state.iterations() * positions);
}
BENCHMARK(interpretedFormula)->Unit(benchmark::kMillisecond);

void nativeFormula(benchmark::State& state) {
    for (auto _ : state) {
        double z = 0;
        for (int i = 0; i < positions; ++i) {
            const double x = i;
            z = std::sin(x * 2 * pi * 50 / 1000) * std::exp(-x / 5000) + z * 0.5;
        }
        benchmark::DoNotOptimize(z);
    }
    state.SetItemsProcessed(state.iterations() * positions);
}
BENCHMARK(nativeFormula)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
