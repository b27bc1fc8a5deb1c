#include "model/ParseReal.h"

#include <cstdlib>
#include <cstring>
#include <string>

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
