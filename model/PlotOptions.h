#pragma once
// The plot options: one table of names, argument kinds and effects on a PlotModel, read by option
// lines and by the command line. Each reader matches and reads arguments by its own rules and then
// applies the row; the bounds of the values live in the model's setters.

#include <cstddef>
#include <cstdint>
#include <string>

class PlotModel;

// What an option takes after its name.
enum class OptionArgument {
    none,
    unsignedNumber,    // base 0, so "0x1f" and "010" are accepted
    optionalUnsigned,  // an unsigned number that may be missing
    signedNumber,
    real,
    range,  // a minimum and a maximum
    title,
};

// Where an option is understood. Option lines also carry the X-scale settings that plot files
// hold and "-c" (clear the reference lines); the command line has "-c" for a configuration file.
enum class OptionScope { everywhere, optionLines, commandLine };

// The argument read for one option.
struct OptionValue {
    bool given = false;       // an optionalUnsigned argument was present
    unsigned long count = 0;  // unsignedNumber, optionalUnsigned
    long level = 0;           // signedNumber
    double real = 0.0;        // real, and the minimum of a range
    double upper = 0.0;       // the maximum of a range
    std::string text;         // title
};

// What a run of options acts on. Option lines start one at every line, on the model's base graph;
// the command line starts one for all its arguments, with a base graph of its own.
struct OptionTarget {
    PlotModel& model;
    std::int32_t& baseGraph;  // the graph graph options act on; -1 before the first "-t"
    // Option lines: graph options before any "-t" act on graph 0, which becomes the base graph.
    // The command line: they act on no graph.
    bool firstGraphByDefault = true;
    // The command line: "-indep" and "-no-indep" also set the mode of every model made afterwards.
    bool setsDefaults = false;
    unsigned baseDisplay = 0;  // "-dpy" chooses it for the options after it
};

struct PlotOption {
    const char* name;
    OptionArgument argument;
    OptionScope scope;
    void (*apply)(OptionTarget& target, const OptionValue& value);
};

// The rows in matching order: where one name begins another ("-y" and "-yauto"), the longer
// comes first, so that a reader taking the first row whose name begins its text finds it.
extern const PlotOption plotOptions[];
extern const std::size_t plotOptionCount;

// Whether readers of the given scope understand the option.
bool understoodIn(const PlotOption& option, OptionScope reader);

// Applies one option; a real argument that overflowed (1e999) is ignored like any value out of
// range, so that no setting becomes infinite.
void applyPlotOption(const PlotOption& option, OptionTarget& target, const OptionValue& value);
