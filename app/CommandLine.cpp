#include "app/CommandLine.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/GraphData.h"
#include "app/StartupOptions.h"
#include "files/Configuration.h"
#include "input/FileName.h"
#include "model/ParseReal.h"

const char* const versionText = "0.36 [2017/11/30]";

// clang-format off
const char* const usageText =
#include "app/UsageText.inc"
// clang-format on

namespace {

enum class Match { exact, prefix };
// unsigned and real values must look like numbers; optional values may be missing; any takes the
// following argument whatever it holds; next takes the following argument (exact rows).
enum class Value { none, unsignedValue, optionalUnsigned, realValue, any, next };

enum class Option {
    version, help, append, prune, noPrune, bps, indep, noIndep, frame, noFrame, hfreq, noHfreq,
    ysharedmax, noYsharedmax, envelope, noLimits, maxLimit, maxXsize, limit, xsize, fixed, noFixed, srate,
    lw, rlw, fsz, dpy, yauto, y, w, l, t, s, beep, disabled, d, config, backupStdout, backupNext,
    backupAttached, stdinDash, stdinI, inputNext, inputAttached, reconnect
};

struct Row {
    const char* name;
    Match match;
    Value value;
    Option option;
};

// Tried top to bottom; the first row that matches decides, so longer names come first.
constexpr Row rows[] = {
    {"-v", Match::exact, Value::none, Option::version},
    {"-h", Match::exact, Value::none, Option::help},
    {"-a", Match::exact, Value::none, Option::append},
    {"-pd", Match::exact, Value::none, Option::prune},
    {"-npd", Match::exact, Value::none, Option::noPrune},
    {"-reconnect", Match::exact, Value::none, Option::reconnect},
    {"-bps", Match::prefix, Value::unsignedValue, Option::bps},
    {"-indep", Match::exact, Value::none, Option::indep},
    {"-no-indep", Match::exact, Value::none, Option::noIndep},
    {"-frame", Match::exact, Value::none, Option::frame},
    {"-no-frame", Match::exact, Value::none, Option::noFrame},
    {"-hfreq", Match::exact, Value::none, Option::hfreq},
    {"-no-hfreq", Match::exact, Value::none, Option::noHfreq},
    {"-ysharedmax", Match::exact, Value::none, Option::ysharedmax},
    {"-no-ysharedmax", Match::exact, Value::none, Option::noYsharedmax},
    {"-envelope", Match::exact, Value::none, Option::envelope},
    {"-no-limits", Match::exact, Value::none, Option::noLimits},
    {"-max-limit", Match::prefix, Value::unsignedValue, Option::maxLimit},
    {"-max-xsize", Match::prefix, Value::unsignedValue, Option::maxXsize},
    {"-limit", Match::prefix, Value::unsignedValue, Option::limit},
    {"-xsize", Match::prefix, Value::unsignedValue, Option::xsize},
    {"-fixed", Match::prefix, Value::optionalUnsigned, Option::fixed},
    {"-no-fixed", Match::prefix, Value::optionalUnsigned, Option::noFixed},
    {"-srate", Match::prefix, Value::unsignedValue, Option::srate},
    {"-lw", Match::prefix, Value::realValue, Option::lw},
    {"-rlw", Match::prefix, Value::realValue, Option::rlw},
    {"-fsz", Match::prefix, Value::realValue, Option::fsz},
    {"-dpy", Match::prefix, Value::unsignedValue, Option::dpy},
    {"-yauto", Match::exact, Value::none, Option::yauto},
    {"-y", Match::prefix, Value::any, Option::y},
    {"-w", Match::prefix, Value::unsignedValue, Option::w},
    {"-l", Match::prefix, Value::realValue, Option::l},
    {"-t", Match::prefix, Value::any, Option::t},
    {"-s", Match::prefix, Value::realValue, Option::s},
    {"-beep", Match::exact, Value::none, Option::beep},
    {"-disabled", Match::exact, Value::none, Option::disabled},
    {"-d", Match::prefix, Value::unsignedValue, Option::d},
    {"-c", Match::exact, Value::next, Option::config},
    {"-b-", Match::exact, Value::none, Option::backupStdout},
    {"-b", Match::exact, Value::next, Option::backupNext},
    {"-b", Match::prefix, Value::none, Option::backupAttached},
    {"-", Match::exact, Value::none, Option::stdinDash},
    {"-i-", Match::exact, Value::none, Option::stdinI},
    {"-i", Match::exact, Value::next, Option::inputNext},
    {"-i", Match::prefix, Value::none, Option::inputAttached},
};

// Whether an option sets the plot (as option lines and configuration files do) rather than saying
// what to read, where to record or how to start.
bool setsPlot(Option option) {
    switch (option) {
        case Option::version:
        case Option::help:
        case Option::append:
        case Option::prune:
        case Option::noPrune:
        case Option::reconnect:
        case Option::bps:
        case Option::backupStdout:
        case Option::backupNext:
        case Option::backupAttached:
        case Option::stdinDash:
        case Option::stdinI:
        case Option::inputNext:
        case Option::inputAttached: return false;
        default: return true;
    }
}

bool startsWithDigit(const char* text) { return std::isdigit(static_cast<unsigned char>(*text)) != 0; }

bool acceptable(Value kind, const char* text) {
    switch (kind) {
        case Value::unsignedValue:
        case Value::optionalUnsigned: return startsWithDigit(text);
        case Value::realValue: return startsWithDigit(text) || (text[0] == '-' && startsWithDigit(text + 1));
        default: return true;
    }
}

const Row* matchRow(const char* argument) {
    for (const Row& row : rows) {
        const std::size_t length = std::strlen(row.name);
        if (row.match == Match::exact ? std::strcmp(argument, row.name) == 0
                                      : std::strncmp(argument, row.name, length) == 0) {
            return &row;
        }
    }
    return nullptr;
}

unsigned long readUnsigned(const char* text) { return std::strtoul(text, nullptr, 0); }

class Parser {
public:
    Parser(int count, char** arguments, GraphData& record, StartupOptions& startup, bool plotOptionsOnly)
        : argc(count), argv(arguments), graph(record), model(record.model), options(startup),
          plotOnly(plotOptionsOnly) {}

    int run() {
        options = StartupOptions{};
        if (argc < 2) return 1;
        while (index < argc && argv[index][0] == '-') {
            const char* argument = argv[index++];
            if (const Row* row = matchRow(argument)) apply(*row, argument);
        }
        if (index < argc && !options.inputName && argv[index][0] != '\0') options.inputName = argv[index++];
        return index;
    }

private:
    // The value of a prefix row: the following argument when nothing is attached and it is
    // acceptable, else the attached text when acceptable, else none.
    const char* valueOf(const Row& row, const char* argument) {
        const char* attached = argument + std::strlen(row.name);
        if (*attached == '\0' && index < argc && acceptable(row.value, argv[index])) return argv[index++];
        if (*attached != '\0' && acceptable(row.value, attached)) return attached;
        return nullptr;
    }

    // The following argument of an exact row that needs one.
    const char* nextArgument() { return index < argc ? argv[index++] : nullptr; }

    void apply(const Row& row, const char* argument) {
        const char* value = nullptr;
        if (row.match == Match::prefix && row.value != Value::none) {
            value = valueOf(row, argument);
            if (!value && row.value != Value::optionalUnsigned) return;
        }
        if (row.value == Value::next) {
            value = nextArgument();
            if (!value) return;
        }
        // The arguments an option takes are consumed either way, so the rest is read as before.
        if (plotOnly && !setsPlot(row.option)) return;
        switch (row.option) {
            case Option::version:
                std::fprintf(stderr, "%s version %s\n", argv[0], versionText);
                std::exit(0);
            case Option::help:
                std::fprintf(stderr, usageText, argv[0]);
                std::exit(0);
            case Option::append: options.append = true; break;
            case Option::prune: directoryPruning = true; break;
            case Option::noPrune: directoryPruning = false; break;
            case Option::reconnect: graph.io.reconnectDevice = true; break;
            case Option::bps: options.serialSpeed = readUnsigned(value); break;
            case Option::indep:
                model.setIndependentDisplays(true);
                defaultIndependentDisplays = true;
                break;
            case Option::noIndep:
                model.setIndependentDisplays(false);
                defaultIndependentDisplays = false;
                break;
            case Option::frame: model.frames = true; break;
            case Option::noFrame: model.frames = false; break;
            case Option::hfreq: model.highFrequency = true; break;
            case Option::noHfreq: model.highFrequency = false; break;
            case Option::ysharedmax: model.sharedYMinMax = true; break;
            case Option::noYsharedmax: model.sharedYMinMax = false; break;
            case Option::envelope: model.envelope = true; break;
            case Option::noLimits: model.maxXSize = noXLimit; break;
            case Option::maxLimit:
            case Option::maxXsize: model.applyXLimit(readUnsigned(value)); break;
            case Option::limit:
            case Option::xsize: model.applyXSize(readUnsigned(value)); break;
            case Option::fixed:
                model.fixedXAxis = true;
                if (value) model.applyXSize(readUnsigned(value));
                break;
            case Option::noFixed:
                model.fixedXAxis = false;
                if (value) model.applyXLimit(readUnsigned(value));
                break;
            case Option::srate: model.applySamplingRate(readUnsigned(value)); break;
            case Option::lw: setInRange(model.lineWidth, parseReal(value), 1, 9); break;
            case Option::rlw: setInRange(model.refLineWidth, parseReal(value), 0, 9); break;
            case Option::fsz: setInRange(model.fontSize, parseReal(value), 5, 20); break;
            case Option::dpy: {
                const unsigned long display = readUnsigned(value);
                if (display > 63) break;
                while (model.displays.size() <= display && model.displays.size() < maxDisplays) model.addDisplay(1);
                baseDisplay = static_cast<unsigned>(display);
                break;
            }
            case Option::yauto: model.setDisplayAutoRange(baseDisplay, true); break;
            case Option::y: setYRange(value); break;
            case Option::w: model.setDisplayWeight(baseDisplay, clampToUnsigned(readUnsigned(value))); break;
            case Option::l: model.addReferenceLine(baseDisplay, parseReal(value)); break;
            case Option::t: setTitle(value); break;
            case Option::s: {
                const double scale = parseReal(value);
                if (scale != 0.0 && !std::isnan(scale) && baseGraphExists()) model.graphs[baseGraph()].scale = scale;
                break;
            }
            case Option::beep:
                if (baseGraphExists()) model.graphs[baseGraph()].beep = true;
                break;
            case Option::disabled:
                if (baseGraphExists()) model.graphs[baseGraph()].enabled = false;
                break;
            case Option::d: {
                const unsigned long display = readUnsigned(value);
                if (display > 63) break;
                while (model.displays.size() <= display && model.displays.size() < maxDisplays) model.addDisplay(1);
                if (baseGraphExists()) model.moveGraphToDisplay(baseGraph(), static_cast<unsigned>(display));
                break;
            }
            case Option::config: loadConfigurationFile(value); break;
            case Option::backupStdout: options.backupName = "-"; break;
            case Option::backupNext: options.backupName = value; break;
            case Option::backupAttached: options.backupName = argument + 2; break;
            case Option::stdinDash:
            case Option::stdinI: options.inputName = "-"; break;
            case Option::inputNext: options.inputName = value; break;
            case Option::inputAttached: options.inputName = argument + 2; break;
        }
    }

    static unsigned clampToUnsigned(unsigned long v) { return v > 0xFFFFFFFFul ? 0xFFFFFFFFu : static_cast<unsigned>(v); }

    static void setInRange(double& field, double value, double low, double high) {
        if (value >= low && value <= high) field = value;
    }

    // "min:max" with any one separator character; a missing max reads as 0.
    void setYRange(const char* text) {
        const char* end = text;
        const double low = parseReal(text, &end);
        const char* rest = *end != '\0' ? end + 1 : end;
        const double high = parseReal(rest);
        if (high > low && baseDisplay < model.displays.size()) {
            Display& d = model.displays[baseDisplay];
            d.yMin = low;
            d.autoRange = false;
            d.yMax = high;
        }
    }

    void setTitle(const char* text) {
        if (*text == '\0') return;
        if (baseGraphIndex < static_cast<int>(maxGraphs) - 1) ++baseGraphIndex;
        while (static_cast<int>(model.graphs.size()) <= baseGraphIndex) {
            const std::size_t before = model.graphs.size();
            model.addGraph("");
            // Out of memory (an X axis of billions of slots): there is no graph to title.
            if (model.graphs.size() == before) return;
        }
        model.setGraphTitle(baseGraph(), text);
    }

    void loadConfigurationFile(const char* name) {
        FileName file;
        file.setFromUtf8(name);
        if (loadConfiguration(model, file.local())) {
            graph.conf.lastConfigFile = file.utf8Name;
        } else {
            options.failedConfigFile = name;
        }
    }

    bool baseGraphExists() const {
        return baseGraphIndex >= 0 && static_cast<std::size_t>(baseGraphIndex) < model.graphs.size();
    }
    unsigned baseGraph() const { return static_cast<unsigned>(baseGraphIndex); }

    int argc;
    char** argv;
    GraphData& graph;
    PlotModel& model;
    StartupOptions& options;
    bool plotOnly;
    int index = 1;
    unsigned baseDisplay = 0;
    int baseGraphIndex = -1;
};

}  // namespace

int parseCommandLine(int argc, char** argv, GraphData& graph, StartupOptions& options) {
    return Parser(argc, argv, graph, options, false).run();
}

void applyPlotOptions(int argc, char** argv, GraphData& graph) {
    StartupOptions ignored;
    Parser(argc, argv, graph, ignored, true).run();
}
