// Option lines: "#>" sets the general title, "#$" starts a configuration, "#~" continues the
// previous one (same base graph) and "#&" starts one and locks out later "#$" and "#~" lines until
// the model is cleared.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "model/ParseReal.h"
#include "model/PlotModel.h"

namespace {

enum class Argument { none, unsignedNumber, optionalUnsigned, signedNumber, real, range, title };

// The argument read for one option.
struct Value {
    bool given = false;       // an optional argument was present
    unsigned long count = 0;  // unsignedNumber, optionalUnsigned
    long level = 0;           // signedNumber
    double real = 0.0;        // real, and the minimum of a range
    double upper = 0.0;       // the maximum of a range
    std::string text;         // title
};

// What the options of one line act on: the model, and the display "-dpy" chose for the rest of
// the line (every line starts at display 0).
struct LineState {
    PlotModel& model;
    unsigned baseDisplay = 0;
};

struct Option {
    const char* name;
    Argument argument;
    void (*apply)(LineState& line, const Value& value);
};

Display* baseDisplay(LineState& line) {
    if (line.baseDisplay >= line.model.displays.size()) return nullptr;
    return &line.model.displays[line.baseDisplay];
}

// The index of the graph graph options act on; when none has been chosen on this configuration
// it is graph 0, which then becomes the base.
unsigned chooseBaseGraph(PlotModel& model) {
    if (model.baseGraph < 0) model.baseGraph = 0;
    return static_cast<unsigned>(model.baseGraph);
}

Graph* baseGraph(PlotModel& model) {
    const unsigned index = chooseBaseGraph(model);
    return index < model.graphs.size() ? &model.graphs[index] : nullptr;
}

void addDisplaysUpTo(PlotModel& model, unsigned long index) {
    while (model.displays.size() <= index && model.displays.size() < maxDisplays) model.addDisplay(1);
}

// False when a graph could not be added (out of memory).
bool addGraphsUpTo(PlotModel& model, unsigned index) {
    while (model.graphs.size() <= index) {
        const std::size_t before = model.graphs.size();
        model.addGraph(std::string());
        if (model.graphs.size() == before) return false;
    }
    return true;
}

bool within(double v, double low, double high) {
    return low <= v && v <= high;
}

void setTitle(LineState& line, const Value& value) {
    PlotModel& model = line.model;
    if (value.text.empty()) return;  // "" or a bare "-t": the base graph stays
    if (model.baseGraph < static_cast<std::int32_t>(maxGraphs) - 1) ++model.baseGraph;
    const auto graph = static_cast<unsigned>(model.baseGraph);
    if (addGraphsUpTo(model, graph)) model.setGraphTitle(graph, value.text);
}

void setYRange(LineState& line, const Value& value) {
    Display* display = baseDisplay(line);
    if (display == nullptr || !(value.upper > value.real)) return;
    display->yMin = value.real;
    display->yMax = value.upper;
    display->autoRange = false;
}

// Matched in this order against the start of each word, so "-indepxyz" is "-indep", "-w5" is
// "-w" with 5 and "-title" is "-t" with the title "itle".
const Option options[] = {
    {"-indep", Argument::none, [](LineState& l, const Value&) { l.model.setIndependentDisplays(true); }},
    {"-no-indep", Argument::none, [](LineState& l, const Value&) { l.model.setIndependentDisplays(false); }},
    {"-hfreq", Argument::none, [](LineState& l, const Value&) { l.model.highFrequency = true; }},
    {"-no-hfreq", Argument::none, [](LineState& l, const Value&) { l.model.highFrequency = false; }},
    // The ranges follow at their next recomputation.
    {"-ysharedmax", Argument::none, [](LineState& l, const Value&) { l.model.sharedYMinMax = true; }},
    {"-no-ysharedmax", Argument::none, [](LineState& l, const Value&) { l.model.sharedYMinMax = false; }},
    {"-frame", Argument::none, [](LineState& l, const Value&) { l.model.frames = true; }},
    {"-no-frame", Argument::none, [](LineState& l, const Value&) { l.model.frames = false; }},
    {"-no-limits", Argument::none, [](LineState& l, const Value&) { l.model.maxXSize = noXLimit; }},
    {"-max-limit", Argument::unsignedNumber,
     [](LineState& l, const Value& v) { l.model.applyXLimit(v.count); }},
    {"-max-xsize", Argument::unsignedNumber,
     [](LineState& l, const Value& v) { l.model.applyXLimit(v.count); }},
    {"-limit", Argument::unsignedNumber, [](LineState& l, const Value& v) { l.model.applyXSize(v.count); }},
    {"-xsize", Argument::unsignedNumber, [](LineState& l, const Value& v) { l.model.applyXSize(v.count); }},
    {"-fixed", Argument::optionalUnsigned,
     [](LineState& l, const Value& v) {
         l.model.fixedXAxis = true;
         if (v.given) l.model.applyXSize(v.count);
     }},
    {"-no-fixed", Argument::optionalUnsigned,
     [](LineState& l, const Value& v) {
         l.model.fixedXAxis = false;
         if (v.given) l.model.applyXLimit(v.count);
     }},
    {"-srate", Argument::unsignedNumber,
     [](LineState& l, const Value& v) { l.model.applySamplingRate(v.count); }},
    {"-lw", Argument::real,
     [](LineState& l, const Value& v) {
         if (within(v.real, 1, 9)) l.model.lineWidth = v.real;
     }},
    {"-rlw", Argument::real,
     [](LineState& l, const Value& v) {
         if (within(v.real, 0, 9)) l.model.refLineWidth = v.real;
     }},
    {"-fsz", Argument::real,
     [](LineState& l, const Value& v) {
         if (within(v.real, 5, 20)) l.model.fontSize = v.real;
     }},
    {"-dpy", Argument::unsignedNumber,
     [](LineState& l, const Value& v) {
         if (v.count >= maxDisplays) return;
         addDisplaysUpTo(l.model, v.count);
         l.baseDisplay = static_cast<unsigned>(v.count);
     }},
    {"-yauto", Argument::none,
     [](LineState& l, const Value&) { l.model.setDisplayAutoRange(l.baseDisplay, true); }},
    {"-y", Argument::range, setYRange},
    {"-w", Argument::unsignedNumber,
     [](LineState& l, const Value& v) {
         if (v.count <= 99) l.model.setDisplayWeight(l.baseDisplay, static_cast<unsigned>(v.count));
     }},
    {"-grid", Argument::signedNumber,
     [](LineState& l, const Value& v) {
         Display* display = baseDisplay(l);
         if (display != nullptr && v.level >= -1 && v.level <= 99) {
             display->gridLevel = static_cast<std::int32_t>(v.level);
         }
     }},
    {"-xsz", Argument::unsignedNumber,
     [](LineState& l, const Value& v) {
         Display* display = baseDisplay(l);
         if (display != nullptr && v.count <= UINT32_MAX)
             display->xScaleSize = static_cast<std::uint32_t>(v.count);
     }},
    {"-xmin", Argument::real,
     [](LineState& l, const Value& v) {
         if (Display* display = baseDisplay(l)) display->xScaleMin = v.real;
     }},
    {"-xmax", Argument::real,
     [](LineState& l, const Value& v) {
         if (Display* display = baseDisplay(l)) display->xScaleMax = v.real;
     }},
    {"-c", Argument::none,
     [](LineState& l, const Value&) {
         if (Display* display = baseDisplay(l)) display->refLines.clear();
     }},
    {"-l", Argument::real,
     [](LineState& l, const Value& v) { l.model.addReferenceLine(l.baseDisplay, v.real); }},
    {"-t", Argument::title, setTitle},
    {"-s", Argument::real,
     [](LineState& l, const Value& v) {
         if (v.real == 0.0) return;  // a graph's scale is never 0
         if (Graph* graph = baseGraph(l.model)) {
             graph->scale = v.real;
             l.model.recomputeYRange(graph->display);
         }
     }},
    {"-beep", Argument::none,
     [](LineState& l, const Value&) {
         if (Graph* graph = baseGraph(l.model)) graph->beep = true;
     }},
    // A disabled graph keeps its place in the ranges until they are recomputed.
    {"-disabled", Argument::none,
     [](LineState& l, const Value&) {
         if (Graph* graph = baseGraph(l.model)) graph->enabled = false;
     }},
    {"-d", Argument::unsignedNumber,
     [](LineState& l, const Value& v) {
         if (v.count >= maxDisplays) return;
         addDisplaysUpTo(l.model, v.count);
         l.model.moveGraphToDisplay(chooseBaseGraph(l.model), static_cast<unsigned>(v.count));
     }},
};

const Option* matchingOption(const char* word) {
    for (const Option& option : options) {
        if (std::strncmp(word, option.name, std::strlen(option.name)) == 0) return &option;
    }
    return nullptr;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the argument of the option that begins at `word` and whose name ends at `p`. Returns the
// position where reading goes on, or nullptr when the argument is not accepted.
const char* readArgument(Argument kind, const char* word, const char* p, Value& value) {
    const char* q = skipSpace(p);
    char* end = nullptr;
    const char* realEnd = nullptr;
    switch (kind) {
        case Argument::none:
            return skipWord(word);
        case Argument::unsignedNumber:
        case Argument::optionalUnsigned:
            if (!isDigit(*q)) return kind == Argument::optionalUnsigned ? skipWord(word) : nullptr;
            value.count = std::strtoul(q, &end, 0);  // base 0: "0x1f" and "010" are accepted
            value.given = true;
            return end;
        case Argument::signedNumber:
            if (!startsNumber(q)) return nullptr;
            value.level = std::strtol(q, &end, 0);
            return end;
        case Argument::real:
            if (!startsNumber(q)) return nullptr;
            value.real = parseReal(q, &realEnd);
            return realEnd;
        case Argument::range:
            // "min:max", "min max" or "min : max"; a maximum that is not a number reads as 0.
            if (!startsNumber(q)) return nullptr;
            value.real = parseReal(q, &realEnd);
            q = skipSpace(realEnd);
            if (*q == ':') q = skipSpace(q + 1);
            value.upper = parseReal(q, &realEnd);
            return realEnd;
        case Argument::title:
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

// An overflowing real argument (1e999) is consumed and ignored like any value out of range, so
// that no setting becomes infinite.
bool isFinite(Argument kind, const Value& value) {
    if (kind == Argument::real) return std::isfinite(value.real);
    if (kind == Argument::range) return std::isfinite(value.real) && std::isfinite(value.upper);
    return true;
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
        case '>':
            setGeneralTitle(*this, line + 2);
            return;
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
        default:
            return;  // any other "#" line is a comment
    }
    LineState state{*this};
    for (const char* p = skipSpace(line + 2); *p != '\0'; p = skipSpace(p)) {
        const Option* option = matchingOption(p);
        if (option == nullptr) {
            p = skipWord(p);
            continue;
        }
        Value value;
        const char* next = readArgument(option->argument, p, p + std::strlen(option->name), value);
        if (next == nullptr) {
            p = skipWord(p);  // only the option word: the rejected text is read as the next word
            continue;
        }
        if (isFinite(option->argument, value)) option->apply(state, value);
        p = next;
    }
}
