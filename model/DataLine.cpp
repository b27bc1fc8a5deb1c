// Data lines: white-space separated numbers, one per graph in column order, and text plot files
// read through them line by line. With -csv commas and semicolons separate fields too, and with
// -labels "name:value" words go to the graph of that name.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <system_error>

#include "model/LineHint.h"
#include "model/ParseReal.h"
#include "model/PlotModel.h"

namespace {

bool isFieldSeparator(char c) {
    return c == ',' || c == ';';
}

bool isBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The end of the word at text: white space ends it, and with -csv also ',' and ';'.
const char* fieldEnd(const char* text, bool commaSeparated) {
    if (!commaSeparated) return skipWord(text);
    while (*text != '\0' && !isBlank(*text) && !isFieldSeparator(*text)) ++text;
    return text;
}

// A number that starts a field under -csv: '.' is its only decimal point whatever the locale, and
// it ends with the field, so a ',' after it is never taken for a decimal comma.
double readFieldNumber(const char* text, const char* end, const char** numberEnd) {
    const char* digits = text[0] == '-' ? text + 1 : text;
    if (!(digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))) {
        double value = 0.0;
        const std::from_chars_result read = std::from_chars(text, end, value);
        if (read.ec == std::errc()) {
            *numberEnd = read.ptr;
            return value;
        }
    }
    // Hexadecimal, and values out of range (which strtod makes infinite or 0): parseReal of the
    // field alone.
    const std::string copy(text, end);
    const char* copyEnd = copy.c_str();
    const double value = parseReal(copy.c_str(), &copyEnd);
    *numberEnd = text + (copyEnd - copy.c_str());
    return value;
}

// A word "name:value" or "name=value" at text (a field under -csv): the name does not begin a
// number and is not empty without its double quotes; the value begins one. Sets name and the
// value's start.
bool namedValueAt(const char* text, bool commaSeparated, std::string_view& name, const char** value) {
    if (startsNumber(text)) return false;
    for (const char* p = text + 1; *p != '\0' && !isBlank(*p) && !(commaSeparated && isFieldSeparator(*p));
         ++p) {
        if (*p != ':' && *p != '=') continue;
        if (!startsNumber(p + 1)) return false;
        name = std::string_view(text, static_cast<std::size_t>(p - text));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
            name = name.substr(1, name.size() - 2);
        *value = p + 1;
        return !name.empty();
    }
    return false;
}

constexpr std::uint64_t bit(unsigned graph) {
    return std::uint64_t{1} << graph;
}

}  // namespace

unsigned PlotModel::processLine(const char* line) {
    if (line == nullptr || line[0] == '\0' || line[0] == '\n' || line[0] == '\r') return 0;
    if (line[0] == '#') {
        processOptionLine(line);
        return 0;
    }
    if (commaSeparated || namedValues) return processFieldLine(line);
    const bool pointOrComma = pointOrCommaLocale();
    unsigned column = 0;
    for (const char* p = skipSpace(line); *p != '\0'; p = skipSpace(p)) {
        if (*p == '#') break;  // a comment ends the line
        if (!startsNumber(p)) {
            p = skipWord(p);  // "+5", ".5", "nan" and other words are not columns
            continue;
        }
        if (column >= graphs.size() && graphs.size() < maxGraphs) addGraph(std::string());
        const char* numberEnd = p;
        const double value = readNumber(p, &numberEnd, pointOrComma);
        // Columns beyond the 64th graph still count, so that missing-column filling starts after
        // the whole line.
        if (column < graphs.size()) storeSample(column, value);
        ++column;
        p = skipWord(numberEnd);  // text glued to the number ("12abc") is ignored
    }
    if (column == 0) return 0;  // no number: nothing stored and the position stays
    // Graphs this line has no column for get 0, unless another plot was merged in: then they
    // belong to that plot and keep whatever their slot holds.
    if (!keepMissingColumns) {
        for (unsigned g = column; g < graphs.size(); ++g) storeSample(g, 0.0);
    }
    advance();
    return column;
}

unsigned PlotModel::processFieldLine(const char* line) {
    const bool csv = commaSeparated;
    const bool pointOrComma = pointOrCommaLocale();
    std::uint64_t given = 0;  // graphs this line stored a value in
    std::uint64_t unset = 0;  // graphs whose field holds no number: no sample for this line
    unsigned numbers = 0;
    unsigned cursor = 0;    // where the next unnamed column looks for its graph
    unsigned deferred = 0;  // fields without a number past the last graph, added only if a number follows
    // The graph of the next unnamed column: the next one no name took, added when there is none;
    // maxGraphs when no graph can be added.
    const auto columnGraph = [this, &cursor]() -> unsigned {
        while (cursor < graphs.size() && (namedGraphs & bit(cursor)) != 0) ++cursor;
        if (cursor >= graphs.size()) {
            const std::size_t before = graphs.size();
            if (before >= maxGraphs) return maxGraphs;
            addGraph(std::string());
            if (graphs.size() == before) return maxGraphs;
        }
        return cursor++;
    };
    const auto store = [this, &given, &numbers](unsigned graph, double value) {
        ++numbers;
        if (graph >= graphs.size()) return;  // beyond the graph limit
        storeSample(graph, value);
        given |= bit(graph);
    };
    bool first = true;
    const char* p = line;
    for (;;) {
        unsigned separators = 0;
        while (isBlank(*p) || (csv && isFieldSeparator(*p))) separators += isFieldSeparator(*p++) ? 1 : 0;
        if (*p == '\0' || *p == '#') break;  // separators at the end open no field
        // Between two fields one separator is expected; each further one, and each before the
        // first field, stands for an empty field.
        unsigned empty = first ? separators : (separators > 0 ? separators - 1 : 0);
        first = false;
        // Without -csv the word's end is found after its number, as for plain lines.
        const char* end = csv ? fieldEnd(p, true) : nullptr;
        const char* numberEnd = p;
        std::string_view name;
        const char* value = nullptr;
        if (startsNumber(p)) {
            const double number =
                csv ? readFieldNumber(p, end, &numberEnd) : readNumber(p, &numberEnd, pointOrComma);
            // The fields without a number before it get their graphs now, in column order.
            for (unsigned k = deferred + empty; k > 0; --k) {
                const unsigned graph = columnGraph();
                if (graph < maxGraphs) unset |= bit(graph);
            }
            deferred = empty = 0;
            store(columnGraph(), number);
        } else if (namedValues && namedValueAt(p, csv, name, &value)) {
            const double number =
                csv ? readFieldNumber(value, end, &numberEnd) : readNumber(value, &numberEnd, pointOrComma);
            store(graphNamed(name), number);
        } else if (csv) {
            ++empty;  // a field of text is a column without a number
        }
        // A field without a number takes the graph of its column when it exists; past the last
        // graph it waits for a number after it.
        for (; empty > 0; --empty) {
            if (deferred == 0) {
                while (cursor < graphs.size() && (namedGraphs & bit(cursor)) != 0) ++cursor;
                if (cursor < graphs.size()) {
                    unset |= bit(cursor++);
                    continue;
                }
            }
            ++deferred;
        }
        p = csv ? end : skipWord(numberEnd);
    }
    if (numbers == 0) {
        if (csv && heldLines() == 0) titleGraphsFromHeader(line);
        return 0;  // no number: nothing stored and the position stays
    }
    const double noSample = std::numeric_limits<double>::quiet_NaN();
    for (unsigned g = 0; g < graphs.size(); ++g) {
        if ((given & bit(g)) != 0) continue;
        if ((unset & bit(g)) != 0) {
            storeSample(g, noSample);  // drawn as a gap
        } else if ((namedGraphs & bit(g)) != 0) {
            holdSample(g);  // a device that names one value per line draws each as a step, not a dive to 0
        } else if (!keepMissingColumns) {
            storeSample(g, 0.0);
        }
    }
    advance();
    return numbers;
}

unsigned PlotModel::graphNamed(std::string_view name) {
    const auto count = static_cast<unsigned>(graphs.size());
    if (pairGuess > count) pairGuess = 0;
    // Lines name their graphs in the same order, so the graph after the last one named is tried first.
    for (unsigned k = 0; k < count; ++k) {
        const unsigned g = pairGuess + k < count ? pairGuess + k : pairGuess + k - count;
        if (graphs[g].title == name) {
            namedGraphs |= bit(g);
            pairGuess = g + 1;
            return g;
        }
    }
    if (count >= maxGraphs) return maxGraphs;
    addGraph(std::string(name));
    if (graphs.size() == count) return maxGraphs;
    namedGraphs |= bit(count);
    pairGuess = count + 1;
    return count;
}

void PlotModel::titleGraphsFromHeader(const char* line) {
    // Names are separated by ',' or ';' when the line holds one outside double quotes, else by
    // white space; quotes keep separators and blanks in a name and are not part of it.
    bool quoted = false;
    bool commas = false;
    for (const char* p = line; *p != '\0'; ++p) {
        if (*p == '"') quoted = !quoted;
        if (!quoted && isFieldSeparator(*p)) commas = true;
    }
    const auto separates = [commas](char c) { return commas ? isFieldSeparator(c) : isBlank(c); };
    unsigned column = 0;
    const char* p = line;
    while (*p != '\0' && column < maxGraphs) {
        std::string name;
        std::size_t kept = 0;  // the name's length up to its last quoted or non-blank character
        quoted = false;
        for (; *p != '\0' && (quoted || !separates(*p)); ++p) {
            if (*p == '"') {
                quoted = !quoted;
                kept = name.size();
            } else if (quoted || !isBlank(*p) || !name.empty()) {
                name += *p;
                if (quoted || !isBlank(*p)) kept = name.size();
            }
        }
        name.resize(kept);
        if (*p != '\0') ++p;
        if (!commas && name.empty()) continue;  // a run of blanks is one separator
        if (!name.empty()) {
            while (graphs.size() <= column) {
                const std::size_t before = graphs.size();
                addGraph(std::string());
                if (graphs.size() == before) return;
            }
            setGraphTitle(column, name);
        }
        ++column;
    }
}

LineHint dataLineHint(const char* line, bool commaSeparated, bool namedValues) {
    if (line == nullptr || line[0] == '#') return LineHint::none;
    const bool pointOrComma = pointOrCommaLocale();
    bool pairs = false;
    bool commas = false;
    bool textFirst = false;
    bool first = true;
    for (const char* p = skipSpace(line); *p != '\0' && *p != '#'; p = skipSpace(p)) {
        const char* end = fieldEnd(p, commaSeparated);
        const char* rest = p;  // what of the word is not read as a number
        std::string_view name;
        const char* value = nullptr;
        if (startsNumber(p)) {
            readNumber(p, &rest, pointOrComma);
        } else if (namedValueAt(p, commaSeparated, name, &value)) {
            pairs = pairs || !namedValues;
            rest = value;
            while (rest < end && !isFieldSeparator(*rest)) ++rest;
        } else if (first) {
            textFirst = std::find_if(p, end, [](char c) { return c >= '0' && c <= '9'; }) != end;
        }
        // A separator the reading left in a word, with a digit after it: the numbers stick together.
        const char* separator = std::find_if(rest, end, isFieldSeparator);
        if (!commaSeparated && separator != end &&
            std::find_if(separator, end, [](char c) { return c >= '0' && c <= '9'; }) != end) {
            commas = true;
        }
        first = false;
        p = end;
        if (*p != '\0' && commaSeparated && isFieldSeparator(*p)) ++p;
    }
    if (pairs) return LineHint::pairs;
    if (commas) return LineHint::commas;
    return textFirst ? LineHint::textFirst : LineHint::none;
}

bool openTextFile(const char* localName, std::ifstream& file) {
    if (localName == nullptr) return false;
    // A directory opens like a file on Linux and then reads as nothing; it is not a plot file.
    std::error_code error;
    if (std::filesystem::is_directory(localName, error)) return false;
    file.open(localName, std::ios::binary);
    return file.is_open();
}

bool PlotModel::processTextLines(std::istream& in, std::size_t maxLines) {
    // Lines end at the line feed; a carriage return before it stays and reads as white space.
    std::string line;
    for (std::size_t n = 0; n < maxLines; ++n) {
        if (!std::getline(in, line)) return false;
        if (!line.empty()) processLine(line.c_str());
    }
    return static_cast<bool>(in);
}

bool PlotModel::loadTextFile(const char* localName) {
    std::ifstream file;
    if (!openTextFile(localName, file)) return false;
    while (processTextLines(file, 4096)) {
    }
    return true;
}
