// Option lines: "#>" sets the general title, "#$" starts a configuration, "#~" continues the
// previous one (same base graph) and "#&" starts one and locks out later "#$" and "#~" lines until
// the model is cleared.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "model/ParseReal.h"
#include "model/PlotModel.h"
#include "model/PlotOptions.h"

namespace {

// The first option whose name begins the word, so "-indepxyz" is "-indep", "-w5" is "-w" with 5
// and "-title" is "-t" with the title "itle".
const PlotOption* matchingOption(const char* word) {
    for (std::size_t k = 0; k < plotOptionCount; ++k) {
        const PlotOption& option = plotOptions[k];
        if (understoodIn(option, OptionScope::optionLines) &&
            std::strncmp(word, option.name, std::strlen(option.name)) == 0) {
            return &option;
        }
    }
    return nullptr;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the argument of the option that begins at `word` and whose name ends at `p`. Returns the
// position where reading goes on, or nullptr when the argument is not accepted.
const char* readArgument(OptionArgument kind, const char* word, const char* p, OptionValue& value) {
    const char* q = skipSpace(p);
    char* end = nullptr;
    const char* realEnd = nullptr;
    switch (kind) {
        case OptionArgument::none: return skipWord(word);
        case OptionArgument::unsignedNumber:
        case OptionArgument::optionalUnsigned:
            if (!isDigit(*q)) return kind == OptionArgument::optionalUnsigned ? skipWord(word) : nullptr;
            value.count = std::strtoul(q, &end, 0);  // base 0: "0x1f" and "010" are accepted
            value.given = true;
            return end;
        case OptionArgument::signedNumber:
            if (!startsNumber(q)) return nullptr;
            value.level = std::strtol(q, &end, 0);
            return end;
        case OptionArgument::real:
            if (!startsNumber(q)) return nullptr;
            value.real = parseReal(q, &realEnd);
            return realEnd;
        case OptionArgument::range:
            // "min:max", "min max" or "min : max"; a maximum that is not a number reads as 0.
            if (!startsNumber(q)) return nullptr;
            value.real = parseReal(q, &realEnd);
            q = skipSpace(realEnd);
            if (*q == ':') q = skipSpace(q + 1);
            value.upper = parseReal(q, &realEnd);
            return realEnd;
        case OptionArgument::title:
            if (*q == '"') {
                // Quoted: up to the closing quote or the line end; the closing quote is then read
                // as a word of its own and skipped.
                const char* start = q + 1;
                const char* close = start + std::strcspn(start, "\"\n\r");
                value.text.assign(start, close);
                return close;
            }
            value.text.assign(q, skipWord(q));
            return skipWord(q);
    }
    return nullptr;
}

// "#>": the rest of the line after the prefix and its blanks, spaces and quotes included; a
// carriage return left at the end by a file with CR LF line ends is not part of the title.
void setGeneralTitle(PlotModel& model, const char* rest) {
    const char* start = skipSpace(rest);
    std::size_t length = std::strlen(start);
    while (length > 0 && (start[length - 1] == '\r' || start[length - 1] == '\n')) --length;
    model.generalTitle.assign(start, length);
}

}  // namespace

void PlotModel::processOptionLine(const char* line) {
    if (line == nullptr || line[0] != '#') return;
    switch (line[1]) {
        case '>': setGeneralTitle(*this, line + 2); return;
        case '$':
            if (optionLinesLocked) return;
            baseGraph = -1;
            break;
        case '~':
            if (optionLinesLocked) return;
            break;
        case '&':
            baseGraph = -1;
            optionLinesLocked = true;
            break;
        default: return;  // any other "#" line is a comment
    }
    // Every line starts at display 0 and goes on with the base graph the previous line left.
    OptionTarget target{*this, baseGraph};
    for (const char* p = skipSpace(line + 2); *p != '\0'; p = skipSpace(p)) {
        const PlotOption* option = matchingOption(p);
        if (option == nullptr) {
            p = skipWord(p);
            continue;
        }
        OptionValue value;
        const char* next = readArgument(option->argument, p, p + std::strlen(option->name), value);
        if (next == nullptr) {
            p = skipWord(p);  // only the option word: the rejected text is read as the next word
            continue;
        }
        applyPlotOption(*option, target, value);
        p = next;
    }
}
