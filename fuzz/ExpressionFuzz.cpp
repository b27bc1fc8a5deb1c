// The expression compiler and evaluator. The first byte chooses the mode: even, the rest is an
// expression text that is compiled and run for a few x and z; odd, the rest is taken as the bytes
// of a compiled program, which running must survive whatever they hold. A text that does not
// compile must leave an empty program that runs to 0.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "expr/ExpressionProgram.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr double samples[] = {0.0,
                              -1.5,
                              3.0,
                              1e300,
                              -1e-300,
                              std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()};

void runEverywhere(const ExpressionProgram& program) {
    double z = 0.0;
    for (double x : samples) z = runExpression(&program, x, z);
}

void compileText(const std::uint8_t* data, std::size_t size) {
    // The text ends at its first NUL, as the dialog's text would.
    const std::string text(reinterpret_cast<const char*>(data), size);
    ExpressionProgram program;
    if (compileExpression(text.c_str(), &program) != 0) {
        runEverywhere(program);
        return;
    }
    static const ExpressionProgram empty{};
    if (std::memcmp(&program, &empty, sizeof program) != 0 || runExpression(&program, 2.0, 3.0) != 0.0) {
        std::fprintf(stderr, "a text that did not compile left a program behind\n");
        std::abort();
    }
}

void runBytes(const std::uint8_t* data, std::size_t size) {
    ExpressionProgram program;
    std::memcpy(program.code, data, std::min(size, sizeof program.code));
    if (size > sizeof program.code) {
        std::memcpy(program.constants, data + sizeof program.code,
                    std::min(size - sizeof program.code, sizeof program.constants));
    }
    runEverywhere(program);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const AllocationCeilingScope ceiling;
    if (size == 0) return 0;
    if ((data[0] & 1u) == 0) {
        compileText(data + 1, size - 1);
    } else {
        runBytes(data + 1, size - 1);
    }
    return 0;
}
