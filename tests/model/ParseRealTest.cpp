#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/ParseReal.h"
#include "tests/support/CommaLocale.h"

namespace {

struct Reading {
    std::string text;
    double value;
    std::size_t end;  // offset of the end of the number
};

void expectReadings(const std::vector<Reading>& rows) {
    for (const Reading& r : rows) {
        SCOPED_TRACE(r.text.size() > 40 ? r.text.substr(0, 40) + "..." : r.text);
        const char* end = nullptr;
        EXPECT_DOUBLE_EQ(parseReal(r.text.c_str(), &end), r.value);
        EXPECT_EQ(static_cast<std::size_t>(end - r.text.c_str()), r.end);
    }
}

// Words of the same shape in either locale.
const std::vector<Reading> anyLocale = {
    {"1.5", 1.5, 3},  {"-2.25e3", -2250, 7}, {"12abc", 12, 2},  {"0x10", 16, 4},
    {"  .5", 0.5, 4}, {"-.5", -0.5, 3},      {"1.5.7", 1.5, 3}, {"abc", 0, 0},
    {"", 0, 0},       {"7 8", 7, 1},         {"1.5 2", 1.5, 3},
};

TEST(ParseReal, ReadsPointInTheProcessLocale) {
    expectReadings(anyLocale);
}

TEST(ParseReal, ReadsPointAndCommaUnderADecimalCommaLocale) {
    CommaLocale comma;
    if (!comma.active) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    expectReadings(anyLocale);
    expectReadings({{"2,5", 2.5, 3}, {"-0.125", -0.125, 6}, {"1e-3.5", 1e-3, 4}});
}

TEST(ParseReal, LongWordsAreReadWholeAndStayInsideTheCopy) {
    CommaLocale comma;
    if (!comma.active) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    // The point just inside, at and well beyond the 128th byte, and digits running past it. The
    // expected value is what the locale itself reads from the same word written with a comma.
    const std::string ones(126, '1');
    for (const std::string& word : {ones + ".5", ones + "1.5", "1" + std::string(300, '0') + ".5",
                                    "0." + std::string(200, '0') + "1"}) {
        std::string withComma = word;
        withComma[withComma.find('.')] = ',';
        expectReadings({{word + " x", std::strtod(withComma.c_str(), nullptr), word.size()}});
    }
}

// Data lines read their numbers with readNumber: it must give parseReal's value and end for every
// word that begins a number, in a point and in a comma locale.
void expectReadNumberAsParseReal() {
    std::vector<std::string> words = {"0.1",
                                      "-2.5e-3",
                                      "1.",
                                      "1.e5",
                                      "1.5.3",
                                      "1,5",
                                      "1,5,3",
                                      "0x1p3",
                                      "-0X10",
                                      "00x1",
                                      "0x",
                                      "1e999",
                                      "-1e999",
                                      "1e-400",
                                      "4.9e-324",
                                      "2.2250738585072011e-308",
                                      "9007199254740993",
                                      "0.30000000000000004",
                                      "1e",
                                      "1e+",
                                      "7abc",
                                      "-0",
                                      "12 34"};
    words.push_back("1" + std::string(300, '0') + ".5");
    for (const std::string& word : words) {
        SCOPED_TRACE(word.substr(0, 40));
        const char* expectedEnd = nullptr;
        const double expected = parseReal(word.c_str(), &expectedEnd);
        const char* end = nullptr;
        const double value = readNumber(word.c_str(), &end, pointOrCommaLocale());
        EXPECT_TRUE(value == expected || (std::isnan(value) && std::isnan(expected)))
            << value << " " << expected;
        EXPECT_EQ(std::signbit(value), std::signbit(expected));
        EXPECT_EQ(end, expectedEnd);
    }
}

TEST(ParseReal, ReadNumberReadsAsParseReal) {
    expectReadNumberAsParseReal();
    CommaLocale comma;
    if (!comma.active) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    EXPECT_TRUE(pointOrCommaLocale());
    expectReadNumberAsParseReal();
}

}  // namespace
