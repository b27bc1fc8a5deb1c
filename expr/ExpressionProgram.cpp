#include "expr/ExpressionProgram.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>

namespace {

// The opcode bytes. An operator's position in this table is also its precedence code on the
// operator stack while compiling.
constexpr char opcodeTable[] = " :;?$@|^&\\=}]{[><-+%/*#!~_ABCDEFGHIJKLMNOPQRST";

enum Code : unsigned char {
    openParen = 0,
    pendingQuestion = 2,  // a "?" still waiting for its ":"
    conditional = 3,
    logicalOr,
    logicalAnd,
    bitOr,
    bitXor,
    bitAnd,
    notEqual,
    equal,
    greaterEqual,
    greater,
    lessEqual,
    less,
    shiftRight,
    shiftLeft,
    subtract,
    add,
    modulus,
    divide,
    multiply,
    power,
    logicalNot,
    complement,
    negate,
    callAbs,
    callAcos,
    callAsin,
    callAtan,
    callCeil,
    callCos,
    callCosh,
    callExp,
    callFabs,
    callFact,
    callFloor,
    callLog,
    callLog10,
    callLog2,
    callSin,
    callSinh,
    callSqrt,
    callTan,
    callTanh,
    callTrunc,
};
static_assert(callTrunc + 2 == sizeof opcodeTable, "one opcode per code");

constexpr unsigned char opcode(unsigned char code) {
    return static_cast<unsigned char>(opcodeTable[code]);
}

// Names are searched by bisection, so both lists stay in ascending order.
constexpr std::string_view functionNames[] = {"abs", "acos", "asin", "atan",  "ceil", "cos",   "cosh",
                                              "exp", "fabs", "fact", "floor", "log",  "log10", "log2",
                                              "sin", "sinh", "sqrt", "tan",   "tanh", "trunc"};
static_assert(std::size(functionNames) == callTrunc - callAbs + 1, "one name per function");
constexpr std::string_view constantNames[] = {"e", "pi"};
constexpr double constantValues[] = {2.7182818284590452354, 3.14159265358979323846};

template <std::size_t n>
constexpr bool ascending(const std::string_view (&names)[n]) {
    for (std::size_t i = 1; i < n; ++i) {
        if (!(names[i - 1] < names[i])) return false;
    }
    return true;
}
static_assert(ascending(functionNames) && ascending(constantNames), "bisection needs sorted names");

template <std::size_t n>
int indexOf(const std::string_view (&names)[n], std::string_view name) {
    const auto found = std::lower_bound(std::begin(names), std::end(names), name);
    return found != std::end(names) && *found == name ? static_cast<int>(found - std::begin(names)) : -1;
}

// Before an infix operator (or "?") of a code is pushed, operators are popped while the top's code
// is at least this level. Equal levels give left association; "**" pops only prefix operators and
// functions (23 and up), which makes it right-associative, and so does "?" (3 is never popped).
constexpr unsigned char popLevel[] = {0,  0,  4,  0,  4,  5,  6,  7,  8,  9,  9, 11,
                                      11, 11, 11, 15, 15, 17, 17, 19, 19, 19, 23};
static_assert(std::size(popLevel) == power + 1, "a level for every infix code");

// Symbol tokens, two-character ones first so that they are matched greedily. `infix` is the code
// where an operator is expected, `prefix` where an operand is expected.
constexpr unsigned char notHere = 0xFF;
constexpr unsigned char unaryPlus = 0xFE;  // skipped
constexpr unsigned char colonSymbol = 0xFD;
constexpr unsigned char closeSymbol = 0xFC;
struct Symbol {
    std::string_view text;
    unsigned char infix;
    unsigned char prefix;
};
constexpr Symbol symbols[] = {
    {"**", power, notHere},     {"<<", shiftLeft, notHere},      {">>", shiftRight, notHere},
    {"<=", lessEqual, notHere}, {">=", greaterEqual, notHere},   {"==", equal, notHere},
    {"!=", notEqual, notHere},  {"&&", logicalAnd, notHere},     {"||", logicalOr, notHere},
    {"+", add, unaryPlus},      {"-", subtract, negate},         {"*", multiply, notHere},
    {"/", divide, notHere},     {"%", modulus, notHere},         {"<", less, notHere},
    {">", greater, notHere},    {"&", bitAnd, notHere},          {"|", bitOr, notHere},
    {"^", bitXor, notHere},     {"!", notHere, logicalNot},      {"~", notHere, complement},
    {"_", notHere, negate},     {"?", pendingQuestion, notHere}, {":", colonSymbol, notHere},
    {"(", notHere, openParen},  {")", closeSymbol, notHere},
};

const Symbol* matchSymbol(std::string_view rest) {
    for (const Symbol& symbol : symbols) {
        if (rest.substr(0, symbol.text.size()) == symbol.text) return &symbol;
    }
    return nullptr;
}

// Plain ASCII tests: the classification must not depend on the process locale.
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    const int lower = static_cast<unsigned char>(c) | 0x20;
    return lower >= 'a' && lower <= 'z';
}

// Reads the number at the start of rest; returns its length, 0 when there is none.
std::size_t readNumber(std::string_view rest, double& value) {
    const std::string_view run = rest.substr(0, rest.find(' '));
    std::string copy(run);
    char* end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    if (*end == '.') {
        // Under a locale with a decimal comma strtod stops at the '.', so read once more with a ','
        // in its place.
        *end = ',';
        value = std::strtod(copy.c_str(), &end);
    }
    return static_cast<std::size_t>(end - copy.c_str());
}

class Compiler {
  public:
    explicit Compiler(ExpressionProgram& target) : program(target) { operators[depth++] = openParen; }

    bool compile(std::string_view text) {
        bool expectOperand = true;
        for (;;) {
            const std::size_t start = text.find_first_not_of(' ');
            if (start == std::string_view::npos) break;
            text.remove_prefix(start);
            if (!(expectOperand ? readOperand(text, expectOperand) : readOperator(text, expectOperand))) {
                return false;
            }
        }
        // An operand must come last (this also rejects an empty text), every "?" must have found its
        // ":" and every "(" its ")".
        if (expectOperand || !popWhileAtLeast(conditional)) return false;
        if (depth != 1) return false;
        program.code[codeLength] = 0;
        return true;
    }

  private:
    bool readOperand(std::string_view& text, bool& expectOperand) {
        const char first = text.front();
        if (isDigit(first) || first == '.') {
            double value = 0;
            const std::size_t length = readNumber(text, value);
            if (length == 0) return false;
            text.remove_prefix(length);
            expectOperand = false;
            return emitConstant(value);
        }
        if (isLetter(first)) {
            // x and z in either case are always the variables, even where letters follow.
            const char lower = static_cast<char>(first | 0x20);
            if (lower == 'x' || lower == 'z') {
                text.remove_prefix(1);
                expectOperand = false;
                return emit(static_cast<unsigned char>(lower));
            }
            std::size_t length = 1;
            while (length < text.size() && (isLetter(text[length]) || isDigit(text[length]))) ++length;
            const std::string_view name = text.substr(0, length);
            text.remove_prefix(length);
            const int constant = indexOf(constantNames, name);
            if (constant >= 0) {
                expectOperand = false;
                return emitConstant(constantValues[constant]);
            }
            const int function = indexOf(functionNames, name);
            return function >= 0 && push(static_cast<unsigned char>(callAbs + function));
        }
        const Symbol* symbol = matchSymbol(text);
        if (symbol == nullptr || symbol->prefix == notHere) return false;
        text.remove_prefix(symbol->text.size());
        // Prefix operators, functions and "(" wait on the stack; any infix operator pops the first
        // two, so they bind tighter than every infix operator, "**" included.
        return symbol->prefix == unaryPlus || push(symbol->prefix);
    }

    bool readOperator(std::string_view& text, bool& expectOperand) {
        const Symbol* symbol = matchSymbol(text);
        if (symbol == nullptr || symbol->infix == notHere) return false;
        text.remove_prefix(symbol->text.size());
        if (symbol->infix == closeSymbol) return closeParenthesis();
        expectOperand = true;
        if (symbol->infix == colonSymbol) return completeConditional();
        return popWhileAtLeast(popLevel[symbol->infix]) && push(symbol->infix);
    }

    // ")" emits the operators down to its "(" and drops it; a "?" without ":" inside, or a ")"
    // that would close the outermost level, fails.
    bool closeParenthesis() {
        if (!popWhileAtLeast(conditional)) return false;
        if (operators[depth - 1] != openParen || depth == 1) return false;
        --depth;
        return true;
    }

    // ":" emits the operators of the middle part; the pending "?" becomes the whole conditional.
    bool completeConditional() {
        if (!popWhileAtLeast(conditional)) return false;
        if (operators[depth - 1] != pendingQuestion) return false;  // ":" without its "?"
        operators[depth - 1] = conditional;
        return true;
    }

    // Levels are at least 3, so no "(" and no pending "?" is ever popped here.
    bool popWhileAtLeast(unsigned char level) {
        while (operators[depth - 1] >= level) {
            if (!emit(opcode(operators[depth - 1]))) return false;
            --depth;
        }
        return true;
    }

    bool push(unsigned char code) {
        if (depth == expressionOperatorStackSize) return false;
        operators[depth++] = code;
        return true;
    }

    // The last byte of the code area is kept for the terminating NUL.
    bool emit(unsigned char byte) {
        if (codeLength + 1 >= expressionCodeSize) return false;
        program.code[codeLength++] = byte;
        return true;
    }

    bool emitConstant(double value) {
        if (constantCount == expressionMaxConstants) return false;
        program.constants[constantCount] = value;
        return emit(static_cast<unsigned char>(128 + constantCount++));
    }

    ExpressionProgram& program;
    std::size_t codeLength = 0;
    std::size_t constantCount = 0;
    unsigned char operators[expressionOperatorStackSize] = {};
    std::size_t depth = 0;
};

constexpr double largest = DBL_MAX;  // 1.7976931348623157e308
constexpr double nearZero = 1e-18;
constexpr double pi = 3.14159265358979323846;

// Truncation toward zero; values outside the 32-bit range, and NaN, become the lowest integer.
std::int32_t toInt(double v) {
    return v > -2147483649.0 && v < 2147483648.0 ? static_cast<std::int32_t>(v) : INT32_MIN;
}

double truth(bool condition) {
    return condition ? 1.0 : 0.0;
}

// Dividing by (almost) zero gives the largest double with the dividend's sign.
double overflowFor(double a) {
    return a >= 0 ? largest : -largest;
}
double guardedDivide(double a, double b) {
    return std::fabs(b) < nearZero ? overflowFor(a) : a / b;
}
double guardedModulus(double a, double b) {
    return std::fabs(b) < nearZero ? overflowFor(a) : std::fmod(a, b);
}
double guardedPower(double a, double b) {
    return std::fabs(a) < nearZero ? 0.0 : std::pow(a, b);
}

std::uint32_t shiftCount(double b) {
    return static_cast<std::uint32_t>(toInt(b)) & 31u;
}
double shiftedLeft(double a, double b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt(a)) << shiftCount(b));
}
// Arithmetic shift written out, so that negative values keep their sign on every compiler.
double shiftedRight(double a, double b) {
    const std::int32_t v = toInt(a);
    return v >= 0 ? v >> shiftCount(b) : ~(~v >> shiftCount(b));
}

double tangent(double v) {
    if (std::fabs(v) > pi) v = std::fmod(v, pi);
    if (std::fabs(v - pi / 2) < nearZero) return largest;
    if (std::fabs(v + pi / 2) < nearZero) return -largest;
    return std::tan(v);
}

double factorial(double v) {
    if (v >= 2147483647.0) return largest;
    const std::int32_t n = toInt(v);
    // 171! is beyond the largest double; stopping here also keeps the long double product in range.
    if (n > 170) return HUGE_VAL;
    long double product = 1;
    for (std::int32_t i = 2; i <= n; ++i) product *= i;
    return static_cast<double>(product);
}

double truncateTowardZero(double v) {
    return v < 0 ? std::ceil(v) : std::floor(v);
}

}  // namespace

int compileExpression(const char* text, ExpressionProgram* program) {
    if (program == nullptr) return 0;
    *program = ExpressionProgram{};
    if (text == nullptr) return 0;
    Compiler compiler(*program);
    if (compiler.compile(text)) return 1;
    *program = ExpressionProgram{};
    return 0;
}

double runExpression(const ExpressionProgram* program, double x, double z) {
    if (program == nullptr) return 0.0;
    // Every byte pushes at most one value, so a stack as long as the code area cannot overflow.
    double stack[expressionCodeSize];
    std::size_t depth = 0;
    const auto push = [&](double v) { stack[depth++] = v; };
    // Compiled code never runs short of operands; a program filled by other means reads 0.
    const auto pop = [&]() { return depth > 0 ? stack[--depth] : 0.0; };
    const auto binary = [&](auto operation) {
        const double b = pop();
        const double a = pop();
        push(operation(a, b));
    };
    const auto unary = [&](auto function) { push(function(pop())); };

    for (const unsigned char byte : program->code) {
        if (byte == 0) break;
        if (byte >= 128) {
            const std::size_t k = byte - 128u;
            push(k < expressionMaxConstants ? program->constants[k] : 0.0);
            continue;
        }
        switch (byte) {
            case ' ': break;
            case 'x': push(x); break;
            case 'z': push(z); break;
            case opcode(conditional): {
                // Both branches have already been evaluated; the condition only chooses.
                const double c = pop();
                const double b = pop();
                push(toInt(pop()) != 0 ? b : c);
                break;
            }
            case opcode(logicalOr):
                binary([](double a, double b) { return truth(toInt(a) != 0 || toInt(b) != 0); });
                break;
            case opcode(logicalAnd):
                binary([](double a, double b) { return truth(toInt(a) != 0 && toInt(b) != 0); });
                break;
            case opcode(bitOr):
                binary([](double a, double b) { return static_cast<double>(toInt(a) | toInt(b)); });
                break;
            case opcode(bitXor):
                binary([](double a, double b) { return static_cast<double>(toInt(a) ^ toInt(b)); });
                break;
            case opcode(bitAnd):
                binary([](double a, double b) { return static_cast<double>(toInt(a) & toInt(b)); });
                break;
            case opcode(notEqual):
                binary([](double a, double b) { return truth(!(std::fabs(a - b) < nearZero)); });
                break;
            case opcode(equal):
                binary([](double a, double b) { return truth(std::fabs(a - b) < nearZero); });
                break;
            case opcode(greaterEqual): binary([](double a, double b) { return truth(a >= b); }); break;
            case opcode(greater): binary([](double a, double b) { return truth(a > b); }); break;
            case opcode(lessEqual): binary([](double a, double b) { return truth(a <= b); }); break;
            case opcode(less): binary([](double a, double b) { return truth(a < b); }); break;
            case opcode(shiftRight): binary(shiftedRight); break;
            case opcode(shiftLeft): binary(shiftedLeft); break;
            case opcode(subtract): binary([](double a, double b) { return a - b; }); break;
            case opcode(add): binary([](double a, double b) { return a + b; }); break;
            case opcode(modulus): binary(guardedModulus); break;
            case opcode(divide): binary(guardedDivide); break;
            case opcode(multiply): binary([](double a, double b) { return a * b; }); break;
            case opcode(power): binary(guardedPower); break;
            case opcode(logicalNot): unary([](double v) { return truth(toInt(v) == 0); }); break;
            case opcode(complement): unary([](double v) { return static_cast<double>(~toInt(v)); }); break;
            case opcode(negate): unary([](double v) { return -v; }); break;
            case opcode(callAbs):
            case opcode(callFabs): unary([](double v) { return std::fabs(v); }); break;
            case opcode(callAcos):
                unary([](double v) { return v >= -1 && v <= 1 ? std::acos(v) : 0.0; });
                break;
            case opcode(callAsin):
                unary([](double v) { return v >= -1 && v <= 1 ? std::asin(v) : 0.0; });
                break;
            case opcode(callAtan): unary([](double v) { return std::atan(v); }); break;
            case opcode(callCeil): unary([](double v) { return std::ceil(v); }); break;
            case opcode(callCos): unary([](double v) { return std::cos(v); }); break;
            case opcode(callCosh): unary([](double v) { return std::cosh(v); }); break;
            case opcode(callExp): unary([](double v) { return std::exp(v); }); break;
            case opcode(callFact): unary(factorial); break;
            case opcode(callFloor): unary([](double v) { return std::floor(v); }); break;
            case opcode(callLog): unary([](double v) { return v > 0 ? std::log(v) : 0.0; }); break;
            case opcode(callLog10): unary([](double v) { return v > 0 ? std::log10(v) : 0.0; }); break;
            case opcode(callLog2):
                unary([](double v) { return v > 0 ? std::log10(v) / 0.3010299956639812 : 0.0; });
                break;
            case opcode(callSin): unary([](double v) { return std::sin(v); }); break;
            case opcode(callSinh): unary([](double v) { return std::sinh(v); }); break;
            case opcode(callSqrt): unary([](double v) { return v > 0 ? std::sqrt(v) : 0.0; }); break;
            case opcode(callTan): unary(tangent); break;
            case opcode(callTanh): unary([](double v) { return std::tanh(v); }); break;
            case opcode(callTrunc): unary(truncateTowardZero); break;
            default:  // no opcode, including ':' and ';', which only ever live on the operator stack
                push(0.0);
                break;
        }
    }
    return depth > 0 ? stack[depth - 1] : 0.0;
}

double evaluateConstant(const char* text) {
    ExpressionProgram program;
    return compileExpression(text, &program) != 0 ? runExpression(&program, 0.0, 0.0) : 0.0;
}
