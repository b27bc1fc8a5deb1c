#pragma once
// Numbers as the plot and configuration writers put them into text: the default notation of a
// classic-locale output stream (six significant digits, '.' as decimal point), whatever locale the
// process runs in.

#include <cstdint>
#include <string>

// Appends value with six significant digits, trailing zeros and a trailing point removed, in
// exponent notation ("1.23457e+06", "1e-05") when the decimal exponent is below -4 or 6 or more.
// Values no text line can carry as a number are written so that readers keep their columns:
// infinities as "1e+999" and "-1e+999" (which read back as infinities), NaN as "0".
void appendReal(std::string& out, double value);
void appendUnsigned(std::string& out, std::uint64_t value);
void appendSigned(std::string& out, std::int64_t value);
