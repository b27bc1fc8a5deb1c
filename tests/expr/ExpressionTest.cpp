#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "expr/ExpressionProgram.h"
#include "tests/support/CommaLocale.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double e = 2.7182818284590452354;
constexpr std::nullopt_t rejected = std::nullopt;

struct Case {
    std::string text;
    double x;
    double z;
    std::optional<double> expected;  // rejected: the text does not compile
};

std::string repeat(const std::string& piece, std::size_t count) {
    std::string result;
    for (std::size_t i = 0; i < count; ++i) result += piece;
    return result;
}

// count operands joined by "+".
std::string sumOf(const std::string& operand, std::size_t count) {
    return repeat(operand + "+", count - 1) + operand;
}

std::string nested(std::size_t depth) {
    return repeat("(", depth) + "x" + repeat(")", depth);
}

// Exact, except for a rounding difference in the last digits of a finite result; so the largest
// double and infinity stay apart.
bool sameValue(double actual, double expected) {
    if (actual == expected) return true;
    return std::isfinite(actual) && std::isfinite(expected) &&
           std::fabs(actual - expected) <= 1e-12 * std::fmax(1.0, std::fabs(expected));
}

const Case cases[] = {
    // Arithmetic: precedence and left association.
    {"2+3*4", 0, 0, 14},
    {"(2+3)*4", 0, 0, 20},
    {"2 + 3 * 4", 0, 0, 14},
    {"10-4-3", 0, 0, 3},
    {"2-3+4", 0, 0, 3},
    {"8/2*4", 0, 0, 16},
    {"24/4/2", 0, 0, 3},
    {"2*7%4", 0, 0, 2},
    {"7%3", 0, 0, 1},
    {"-7%3", 0, 0, -1},
    {"7.5%2", 0, 0, 1.5},
    // Power: right association, prefix operators and functions bind tighter, the zero base.
    {"2**3**2", 0, 0, 512},
    {"2*3**2", 0, 0, 18},
    {"-2**2", 0, 0, 4},
    {"2**-1", 0, 0, 0.5},
    {"0**0", 0, 0, 0},
    {"1e-19**-1", 0, 0, 0},
    {"floor 2.5**2", 0, 0, 4},
    // Division and modulus by (almost) zero.
    {"1/0", 0, 0, DBL_MAX},
    {"-1/0", 0, 0, -DBL_MAX},
    {"0/0", 0, 0, DBL_MAX},
    {"1/1e-19", 0, 0, DBL_MAX},
    {"5%0", 0, 0, DBL_MAX},
    {"-5%0", 0, 0, -DBL_MAX},
    // Shifts on 32-bit integers.
    {"5>>1", 0, 0, 2},
    {"-5>>1", 0, 0, -3},
    {"1<<33", 0, 0, 2},
    {"1<<-1", 0, 0, -2147483648.0},
    {"-1<<1", 0, 0, -2},
    {"3000000000>>1", 0, 0, -1073741824},
    {"1+2<<1", 0, 0, 6},
    {"1<<2+1", 0, 0, 8},
    {"1<<2<3", 0, 0, 0},
    // Comparisons, then equality, each level left-associative.
    {"1<2==1", 0, 0, 1},
    {"3>2>1", 0, 0, 0},
    {"1==2==0", 0, 0, 1},
    {"3==3!=0", 0, 0, 1},
    {"1<=1", 0, 0, 1},
    {"2>=3", 0, 0, 0},
    {"0.1+0.2==0.3", 0, 0, 0},
    {"1e-19==0", 0, 0, 1},
    {"1e-19!=0", 0, 0, 0},
    // Bitwise operators: & before ^ before |, all below equality.
    {"6&3", 0, 0, 2},
    {"6^3", 0, 0, 5},
    {"6|3", 0, 0, 7},
    {"2.7&1", 0, 0, 0},
    {"-2.7&-1", 0, 0, -2},
    {"1&2==2", 0, 0, 1},
    {"1^1&0", 0, 0, 1},
    {"1^1|1", 0, 0, 1},
    {"1|1^1", 0, 0, 1},
    // Logical operators on truncated values: | before && before ||.
    {"1|2&&0", 0, 0, 0},
    {"1||0&&0", 0, 0, 1},
    {"2&&3", 0, 0, 1},
    {"0.5&&1", 0, 0, 0},
    {"0.5||0", 0, 0, 0},
    // Prefix operators.
    {"~0", 0, 0, -1},
    {"~5", 0, 0, -6},
    {"~3000000000", 0, 0, 2147483647},
    {"!0", 0, 0, 1},
    {"!0.9", 0, 0, 1},
    {"!2.5", 0, 0, 0},
    {"!0+1", 0, 0, 2},
    {"--3", 0, 0, 3},
    {"2--3", 0, 0, 5},
    {"_3", 0, 0, -3},
    {"+3", 0, 0, 3},
    {"2*+3", 0, 0, 6},
    // Conditional: lowest, right-associative, the condition truncated.
    {"1?2:3", 0, 0, 2},
    {"0?1:2", 0, 0, 2},
    {"1?2:3?4:5", 0, 0, 2},
    {"0?2:1?4:5", 0, 0, 4},
    {"0?2:0?4:5", 0, 0, 5},
    {"1?0?3:4:5", 0, 0, 4},
    {"0.5?1:2", 0, 0, 2},
    {"1+1?2:3", 0, 0, 2},
    {"0?1:2+3", 0, 0, 5},
    {"0||1?5:6", 0, 0, 5},
    {"(0?1:2)*3", 0, 0, 6},
    // Functions and their guards.
    {"fact(5)", 0, 0, 120},
    {"fact(5.9)", 0, 0, 120},
    {"fact 0", 0, 0, 1},
    {"fact(-3)", 0, 0, 1},
    {"fact(170)", 0, 0, std::tgamma(171.0)},
    {"fact(171)", 0, 0, HUGE_VAL},
    {"fact(2147483646)", 0, 0, HUGE_VAL},
    {"fact(3000000000)", 0, 0, DBL_MAX},
    {"sqrt(16)", 0, 0, 4},
    {"sqrt(-4)", 0, 0, 0},
    {"log(0)", 0, 0, 0},
    {"log(-1)", 0, 0, 0},
    {"log(e)", 0, 0, 1},
    {"log10(1000)", 0, 0, 3},
    {"log10(0)", 0, 0, 0},
    {"log2(8)", 0, 0, 3},
    {"log2(0)", 0, 0, 0},
    {"acos(2)", 0, 0, 0},
    {"acos(-1)", 0, 0, pi},
    {"asin(-2)", 0, 0, 0},
    {"asin(1)", 0, 0, pi / 2},
    {"trunc(-2.7)", 0, 0, -2},
    {"trunc(2.7)", 0, 0, 2},
    {"ceil(-2.5)", 0, 0, -2},
    {"floor(-2.5)", 0, 0, -3},
    {"abs(-3)+fabs(-4)", 0, 0, 7},
    {"tan(pi/2)", 0, 0, DBL_MAX},
    {"tan(-pi/2)", 0, 0, -DBL_MAX},
    {"tan(4)", 0, 0, std::tan(4.0)},
    {"atan(1)*4", 0, 0, pi},
    {"cos(0)+cosh(0)+sinh(0)+tanh(0)", 0, 0, 2},
    {"exp(1)", 0, 0, e},
    {"sin(x)", 1, 0, std::sin(1.0)},
    {"sin(x*2*pi*50/1000)", 3, 0, std::sin(3 * 2 * pi * 50 / 1000)},
    // A function takes the operand that follows, with or without parentheses.
    {"sin x*2", 1, 0, std::sin(1.0) * 2},
    {"sin -x", 1, 0, std::sin(-1.0)},
    {"tanh -1", 0, 0, std::tanh(-1.0)},
    {"tanh tanh 1", 0, 0, std::tanh(std::tanh(1.0))},
    {"trunc -2.7", 0, 0, -2},
    {"trunc sqrt 8", 0, 0, 2},
    {"trunc!0", 0, 0, 1},
    {"trunc~1", 0, 0, -2},
    // Variables, named constants and numbers.
    {"X+Z", 2, 3, 5},
    {"x-z", 2, 3, -1},
    {"z*0.5", 0, 3, 1.5},
    {"pi", 0, 0, pi},
    {"2*e", 0, 0, 2 * e},
    {"0.5", 0, 0, 0.5},
    {".25", 0, 0, 0.25},
    {"5.", 0, 0, 5},
    {"1.5e3", 0, 0, 1500},
    {"1e-3", 0, 0, 0.001},
    {"0x10", 0, 0, 16},
    // Texts that do not compile.
    {"PI", 0, 0, rejected},
    {"E", 0, 0, rejected},
    {"Sin(x)", 0, 0, rejected},
    {"SIN(x)", 0, 0, rejected},
    {"2=2", 0, 0, rejected},
    {"1 < = 2", 0, 0, rejected},
    {"1 ? 2", 0, 0, rejected},
    {"1:2", 0, 0, rejected},
    {"1?2:3:4", 0, 0, rejected},
    {"(1?2):3", 0, 0, rejected},
    {"1?(2:3)", 0, 0, rejected},
    {"(1+2", 0, 0, rejected},
    {"1+2)", 0, 0, rejected},
    {"1)+(2", 0, 0, rejected},
    {"()", 0, 0, rejected},
    {"", 0, 0, rejected},
    {"   ", 0, 0, rejected},
    {"1+", 0, 0, rejected},
    {"*2", 0, 0, rejected},
    {"2* *3", 0, 0, rejected},
    {"1!", 0, 0, rejected},
    {"2 3", 0, 0, rejected},
    {"2(3)", 0, 0, rejected},
    {"x)(", 0, 0, rejected},
    {"xy", 0, 0, rejected},
    {"2x", 0, 0, rejected},
    {"2pi", 0, 0, rejected},
    {"e2", 0, 0, rejected},
    {"foo", 0, 0, rejected},
    {"sin", 0, 0, rejected},
    {"sin()", 0, 0, rejected},
    {".", 0, 0, rejected},
    {"1 @ 2", 0, 0, rejected},
    {"x\t+ 1", 0, 0, rejected},
    {"x+\xc3\xa9", 0, 0, rejected},
    // Bounds: 127 constants, 511 code bytes, 512 waiting operators and parentheses.
    {sumOf("1", 127), 0, 0, 127},
    {sumOf("1", 126) + "+pi", 0, 0, 126 + pi},
    {sumOf("1", 128), 0, 0, rejected},
    {sumOf("1", 127) + "+e", 0, 0, rejected},
    {sumOf("x", 256), 1, 0, 256},
    {sumOf("x", 257), 1, 0, rejected},
    {repeat("-", 510) + "x", 1, 0, 1},
    {repeat("-", 511) + "x", 1, 0, rejected},
    {nested(511), 1, 0, 1},
    {nested(512), 1, 0, rejected},
};

TEST(Expression, CompilesAndRunsTheTable) {
    for (const Case& row : cases) {
        SCOPED_TRACE(row.text.size() > 60 ? row.text.substr(0, 60) + "..." : row.text);
        ExpressionProgram program;
        const int compiled = compileExpression(row.text.c_str(), &program);
        EXPECT_EQ(compiled, row.expected ? 1 : 0);
        if (compiled != 1 || !row.expected) continue;
        const double result = runExpression(&program, row.x, row.z);
        EXPECT_TRUE(sameValue(result, *row.expected)) << result << " instead of " << *row.expected;
    }
}

TEST(Expression, MissingTextOrProgramGivesZero) {
    ExpressionProgram program;
    EXPECT_EQ(compileExpression(nullptr, &program), 0);
    EXPECT_EQ(compileExpression("1", nullptr), 0);
    EXPECT_EQ(runExpression(nullptr, 1, 2), 0);
    EXPECT_EQ(evaluateConstant(nullptr), 0);
}

TEST(Expression, EvaluatesConstantsWithZeroVariables) {
    EXPECT_DOUBLE_EQ(evaluateConstant("2*pi"), 2 * pi);
    EXPECT_EQ(evaluateConstant("x+z+1"), 1);
    EXPECT_EQ(evaluateConstant("(1"), 0);
}

TEST(Expression, FailedCompilationLeavesAnEmptyProgram) {
    ExpressionProgram program;
    ASSERT_EQ(compileExpression("x+1", &program), 1);
    EXPECT_EQ(runExpression(&program, 2, 0), 3);
    EXPECT_EQ(compileExpression("x+", &program), 0);
    EXPECT_EQ(runExpression(&program, 2, 0), 0);
}

// The program is a plain record, so its bytes may come from elsewhere; running must stay within the
// code area, the constant pool and its own stack (the sanitizer build checks the memory accesses).
TEST(Expression, RunsAnyProgramBytesSafely) {
    struct Raw {
        std::string code;
        double expected;
    };
    const Raw raws[] = {
        {"+", 0},                                        // operands missing: read as 0
        {"?x", 2},                                       // likewise for the conditional
        {" x", 2},                                       // a space is skipped
        {"xp+", 2},                                      // a byte without meaning pushes 0
        {"x\xff+", 2},                                   // constant slot beyond the pool reads 0
        {repeat("x", expressionCodeSize), 2},            // no terminating NUL
        {repeat("x", expressionCodeSize - 1) + "+", 4},  // deepest possible stack
    };
    for (const Raw& raw : raws) {
        SCOPED_TRACE(raw.code.substr(0, 8));
        ExpressionProgram program;
        std::memcpy(program.code, raw.code.data(), std::min(raw.code.size(), expressionCodeSize));
        EXPECT_EQ(runExpression(&program, 2, 0), raw.expected);
    }
}

// The texts use '.' whatever the process locale says; strtod alone would stop at it under de_DE.
TEST(Expression, ReadsDecimalPointUnderDecimalCommaLocale) {
    CommaLocale comma;
    if (!comma.active) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    EXPECT_EQ(evaluateConstant("0.5"), 0.5);
    EXPECT_EQ(evaluateConstant(".25+1.5e3"), 1500.25);
    EXPECT_EQ(evaluateConstant("2.5*2"), 5);
}

}  // namespace
