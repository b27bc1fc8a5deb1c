#pragma once
// An arithmetic expression in x and z compiled once into postfix one-byte instructions over a pool
// of constants, then run for many values of x and z. Running never fails and never reads or writes
// outside the program, whatever its bytes hold.

#include <cstddef>

// Instruction bytes, the final NUL included.
constexpr std::size_t expressionCodeSize = 512;
// Numbers and named constants one expression may hold.
constexpr std::size_t expressionMaxConstants = 127;
// Operators and open parentheses waiting during compilation, the outermost parenthesis included.
constexpr std::size_t expressionOperatorStackSize = 512;

struct ExpressionProgram {
    // NUL-terminated postfix code: byte 128 + k pushes constants[k], 'x' and 'z' push the
    // variables, and every other byte is an operator or a function.
    unsigned char code[expressionCodeSize] = {};
    double constants[expressionMaxConstants] = {};
};

// Returns 1 when the whole text compiled into *program, 0 otherwise (empty or missing text, missing
// program, syntax error, a compiled form beyond the bounds above). A failure leaves *program empty,
// so running it gives 0.
int compileExpression(const char* text, ExpressionProgram* program);

// The value of the program for the given x and z; 0 for a missing or empty program.
double runExpression(const ExpressionProgram* program, double x, double z);

// Compiles and runs the text with x = z = 0; 0 when it does not compile.
double evaluateConstant(const char* text);
