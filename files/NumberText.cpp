#include "files/NumberText.h"

#include <charconv>
#include <cmath>

namespace {

template <class T>
void appendInteger(std::string& out, T value) {
    char text[24];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    out.append(text, end.ptr);
}

}  // namespace

void appendReal(std::string& out, double value) {
    if (std::isnan(value)) {
        out += '0';
        return;
    }
    if (std::isinf(value)) {
        out += value > 0 ? "1e+999" : "-1e+999";
        return;
    }
    // The general format with precision 6 is the "%.6g" conversion of the "C" locale, which is
    // what an output stream's default notation produces.
    char text[32];
    const std::to_chars_result end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    out.append(text, end.ptr);
}

void appendUnsigned(std::string& out, std::uint64_t value) {
    appendInteger(out, value);
}

void appendSigned(std::string& out, std::int64_t value) {
    appendInteger(out, value);
}
