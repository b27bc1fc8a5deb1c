#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <locale>
#include <random>
#include <sstream>

#include "files/NumberText.h"
#include "model/ParseReal.h"

namespace {

std::string realText(double value) {
    std::string text;
    appendReal(text, value);
    return text;
}

TEST(NumberText, WritesSixSignificantDigitsInTheShortestNotation) {
    const struct {
        double value;
        const char* text;
    } rows[] = {
        {3.14159265, "3.14159"}, {1234567.0, "1.23457e+06"}, {0.00001, "1e-05"},  {2.0, "2"},
        {-0.5, "-0.5"},          {100000.0, "100000"},       {999999.5, "1e+06"}, {0.0001, "0.0001"},
        {1.001, "1.001"},        {-1e-300, "-1e-300"},       {0.0, "0"},          {1e300, "1e+300"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(realText(row.value), row.text);
    }
}

// Whatever the process locale (the suite also runs under a decimal-comma one), the text is what
// a classic-locale output stream writes by default.
TEST(NumberText, MatchesAClassicLocaleStream) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    for (int i = 0; i < 20000; ++i) {
        const double value = mantissa(random) * std::pow(10.0, exponent(random));
        std::ostringstream stream;
        stream.imbue(std::locale::classic());
        stream << value;
        ASSERT_EQ(realText(value), stream.str()) << "value " << value;
    }
}

// A text line can carry no infinity or NaN word as a number, so those are written as numbers that
// keep the columns of a data line in place.
TEST(NumberText, NonFiniteValuesStayNumbers) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(realText(inf), "1e+999");
    EXPECT_EQ(realText(-inf), "-1e+999");
    EXPECT_EQ(realText(std::nan("")), "0");
    for (double value : {inf, -inf}) {
        const std::string text = realText(value);
        EXPECT_TRUE(startsNumber(text.c_str())) << text;
        EXPECT_EQ(parseReal(text.c_str()), value) << text;
    }
}

TEST(NumberText, WritesIntegersInPlainDecimal) {
    std::string text;
    appendUnsigned(text, 4294967295u);
    text += ' ';
    appendSigned(text, -1);
    text += ' ';
    appendUnsigned(text, 1000000);
    EXPECT_EQ(text, "4294967295 -1 1000000");
}

}  // namespace
