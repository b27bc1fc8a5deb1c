#include "model/CommandLineOptions.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "model/ParseReal.h"
#include "model/PlotModel.h"
#include "model/PlotOptions.h"
#include "model/StartupOptions.h"

const char* const versionText = "0.36 [2017/11/30]";

// clang-format off
const char* const usageText =
#include "model/UsageText.inc"
    ;
// clang-format on

namespace {

enum class Match { exact, prefix };
// unsigned values must begin with a digit, signed and real ones with a digit or "-" and a digit;
// optional values may be missing; any takes the following argument whatever it holds; next takes
// the following argument (exact rows).
enum class Value { none, unsignedValue, optionalUnsigned, signedValue, realValue, any, next };

enum class Action {
    version,
    help,
    append,
    prune,
    noPrune,
    reconnect,
    bps,
    plot,
    config,
    backupStdout,
    backupNext,
    backupAttached,
    stdinDash,
    stdinI,
    inputNext,
    inputAttached
};

struct Row {
    const char* name;
    Match match;
    Value value;
    Action action;
    const PlotOption* plot;
};

// The command line's own options that are tried before the plot options...
constexpr Row leadingRows[] = {
    {"-v", Match::exact, Value::none, Action::version, nullptr},
    {"-h", Match::exact, Value::none, Action::help, nullptr},
    {"-a", Match::exact, Value::none, Action::append, nullptr},
    {"-pd", Match::exact, Value::none, Action::prune, nullptr},
    {"-npd", Match::exact, Value::none, Action::noPrune, nullptr},
    {"-reconnect", Match::exact, Value::none, Action::reconnect, nullptr},
    {"-bps", Match::prefix, Value::unsignedValue, Action::bps, nullptr},
};

// ...and after them, so that "-indep", "-beep" and "-bps" are not taken by "-i" and "-b".
constexpr Row trailingRows[] = {
    {"-c", Match::exact, Value::next, Action::config, nullptr},
    {"-b-", Match::exact, Value::none, Action::backupStdout, nullptr},
    {"-b", Match::exact, Value::next, Action::backupNext, nullptr},
    {"-b", Match::prefix, Value::none, Action::backupAttached, nullptr},
    {"-", Match::exact, Value::none, Action::stdinDash, nullptr},
    {"-i-", Match::exact, Value::none, Action::stdinI, nullptr},
    {"-i", Match::exact, Value::next, Action::inputNext, nullptr},
    {"-i", Match::prefix, Value::none, Action::inputAttached, nullptr},
};

// A plot option on the command line: a switch must be the whole argument; an option with a value
// takes it attached ("-xsize1000") or as the following argument.
Row plotRow(const PlotOption& option) {
    Value value = Value::any;  // a range ("min:max") or a title
    switch (option.argument) {
        case OptionArgument::none: value = Value::none; break;
        case OptionArgument::unsignedNumber: value = Value::unsignedValue; break;
        case OptionArgument::optionalUnsigned: value = Value::optionalUnsigned; break;
        case OptionArgument::signedNumber: value = Value::signedValue; break;
        case OptionArgument::real: value = Value::realValue; break;
        case OptionArgument::range:
        case OptionArgument::title: break;
    }
    const Match match = value == Value::none ? Match::exact : Match::prefix;
    return Row{option.name, match, value, Action::plot, &option};
}

// Tried top to bottom; the first row that matches decides.
const std::vector<Row>& rows() {
    static const std::vector<Row> all = [] {
        std::vector<Row> list(std::begin(leadingRows), std::end(leadingRows));
        for (std::size_t k = 0; k < plotOptionCount; ++k) {
            if (understoodIn(plotOptions[k], OptionScope::commandLine)) {
                list.push_back(plotRow(plotOptions[k]));
            }
        }
        list.insert(list.end(), std::begin(trailingRows), std::end(trailingRows));
        return list;
    }();
    return all;
}

const Row* matchRow(const char* argument) {
    for (const Row& row : rows()) {
        if (row.match == Match::exact ? std::strcmp(argument, row.name) == 0
                                      : std::strncmp(argument, row.name, std::strlen(row.name)) == 0) {
            return &row;
        }
    }
    return nullptr;
}

bool startsWithDigit(const char* text) {
    return std::isdigit(static_cast<unsigned char>(*text)) != 0;
}

bool acceptable(Value kind, const char* text) {
    switch (kind) {
        case Value::unsignedValue:
        case Value::optionalUnsigned: return startsWithDigit(text);
        case Value::signedValue:
        case Value::realValue: return startsWithDigit(text) || (text[0] == '-' && startsWithDigit(text + 1));
        default: return true;
    }
}

// The value of a plot option from its text (null: an optional value that is missing). Integers
// are read in base 0, so "0x" hexadecimal and leading-zero octal are accepted.
OptionValue plotValue(const PlotOption& option, const char* text) {
    OptionValue value;
    if (!text) return value;
    value.given = true;
    switch (option.argument) {
        case OptionArgument::none: break;
        case OptionArgument::unsignedNumber:
        case OptionArgument::optionalUnsigned: value.count = std::strtoul(text, nullptr, 0); break;
        case OptionArgument::signedNumber: value.level = std::strtol(text, nullptr, 0); break;
        case OptionArgument::real: value.real = parseReal(text); break;
        case OptionArgument::range: {
            // "min:max" with any one separator character; a missing maximum reads as 0.
            const char* end = text;
            value.real = parseReal(text, &end);
            value.upper = parseReal(*end != '\0' ? end + 1 : end);
            break;
        }
        case OptionArgument::title: value.text = text; break;
    }
    return value;
}

std::string usageFor(const char* program) {
    std::string text = usageText;
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, program);
    return text;
}

class Reader {
  public:
    Reader(int count, char* const* arguments, StartupOptions& startup)
        : argc(count), argv(arguments), options(startup) {}

    int run() {
        options = StartupOptions{};
        if (argc < 2) return 1;
        while (index < argc && argv[index][0] == '-') {
            const char* argument = argv[index++];
            if (const Row* row = matchRow(argument)) read(*row, argument);
            if (options.exitNow) return index;
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

    void read(const Row& row, const char* argument) {
        const char* value = nullptr;
        if (row.match == Match::prefix && row.value != Value::none) {
            value = valueOf(row, argument);
            if (!value && row.value != Value::optionalUnsigned) return;  // the option has no effect
        }
        if (row.value == Value::next) {
            if (index >= argc) return;
            value = argv[index++];
        }
        switch (row.action) {
            case Action::version:
                options.exitNow = CommandLineExit{std::string(argv[0]) + " version " + versionText + "\n", 0};
                break;
            case Action::help: options.exitNow = CommandLineExit{usageFor(argv[0]), 0}; break;
            case Action::append: options.append = true; break;
            case Action::prune: options.directoryPruning = true; break;
            case Action::noPrune: options.directoryPruning = false; break;
            case Action::reconnect: options.reconnect = true; break;
            case Action::bps: options.serialSpeed = std::strtoul(value, nullptr, 0); break;
            case Action::plot:
                options.plotOptions.push_back({row.plot, plotValue(*row.plot, value), nullptr});
                break;
            case Action::config: options.plotOptions.push_back({nullptr, OptionValue{}, value}); break;
            case Action::backupStdout: options.backupName = "-"; break;
            case Action::backupNext: options.backupName = value; break;
            case Action::backupAttached: options.backupName = argument + 2; break;
            case Action::stdinDash:
            case Action::stdinI: options.inputName = "-"; break;
            case Action::inputNext: options.inputName = value; break;
            case Action::inputAttached: options.inputName = argument + 2; break;
        }
    }

    int argc;
    char* const* argv;
    StartupOptions& options;
    int index = 1;
};

}  // namespace

int readCommandLine(int argc, char* const* argv, StartupOptions& options) {
    return Reader(argc, argv, options).run();
}

void applyCommandLinePlotOptions(const StartupOptions& options, PlotModel& model,
                                 const std::function<void(const char* name)>& loadConfigurationFile) {
    // The command line's base graph is its own: graph options before the first -t act on no graph.
    std::int32_t baseGraph = -1;
    OptionTarget target{model, baseGraph, false, true};
    for (const CommandLinePlotOption& step : options.plotOptions) {
        if (step.option) {
            applyPlotOption(*step.option, target, step.value);
        } else if (loadConfigurationFile) {
            loadConfigurationFile(step.configFile);
        }
    }
}
