#include "model/ParseReal.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

double parseReal(const char* text, const char** end) {
    char* stop = nullptr;
    double value = std::strtod(text, &stop);
    const char* finish = stop;
    const char* point = stop;
    if (finish == text) {
        // Nothing converted: under a decimal-comma locale "-.5" and " .5" stop before the sign
        // or the blanks, so look where the digits would have begun.
        point = skipSpace(text);
        if (*point == '+' || *point == '-') ++point;
    }
    if (*point == '.') {
        // Convert a copy with the point replaced by a comma. Nothing strtod accepts after the
        // point is white space, so the copy runs to the end of that word; short words (all real
        // ones) use the stack, longer ones a heap copy, and the copy always holds the point.
        const auto length = static_cast<std::size_t>(skipWord(point) - text);
        char shortCopy[128];
        std::string longCopy;
        char* copy = shortCopy;
        if (length < sizeof shortCopy) {
            std::memcpy(shortCopy, text, length);
            shortCopy[length] = '\0';
        } else {
            longCopy.assign(text, length);
            copy = longCopy.data();
        }
        copy[point - text] = ',';
        char* copyStop = nullptr;
        const double retried = std::strtod(copy, &copyStop);
        // Under a decimal-point locale the comma ends the number earlier: keep the first reading.
        if (copyStop - copy > finish - text) {
            value = retried;
            finish = text + (copyStop - copy);
        }
    }
    if (end != nullptr) *end = finish;
    return value;
}

bool pointOrCommaLocale() {
    const char* point = std::localeconv()->decimal_point;
    return point != nullptr && (point[0] == '.' || point[0] == ',') && point[1] == '\0';
}

double readNumber(const char* text, const char** end, bool pointOrComma) {
    // from_chars reads decimal numbers with a '.' point whatever the locale. In a locale whose point
    // is '.' or ',' that is what parseReal reads too, except for hexadecimal numbers, a ',' point,
    // values out of range, and words that go on with a second point: those go to parseReal.
    const char* digits = text[0] == '-' ? text + 1 : text;
    const bool hexadecimal = digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    if (pointOrComma && !hexadecimal) {
        double value = 0.0;
        const std::from_chars_result read = std::from_chars(text, skipWord(text), value);
        if (read.ec == std::errc() && *read.ptr != '.' && *read.ptr != ',') {
            if (end != nullptr) *end = read.ptr;
            return value;
        }
    }
    return parseReal(text, end);
}
