#pragma once
// What the command line asks for: where to read and record, how to start, and the plot options to
// apply to the plot in the order they were given. Names point into the argument vector (or to the
// constant "-"); nothing is copied.

#include <optional>
#include <string>
#include <vector>

#include "model/PlotOptions.h"

// One plot setting of the command line: a row of the plot options with its value, or (no row) a
// configuration file to load, which sets the plot at that point of the arguments.
struct CommandLinePlotOption {
    const PlotOption* option = nullptr;
    OptionValue value;
    const char* configFile = nullptr;
};

// -v and -h: what to write to standard error before ending with the status.
struct CommandLineExit {
    std::string text;
    int status = 0;
};

struct StartupOptions {
    const char* inputName = nullptr;
    const char* backupName = nullptr;
    bool append = false;
    unsigned long serialSpeed = 0;  // 0 = none given
    bool reconnect = false;
    std::optional<bool> directoryPruning;  // -pd or -npd, the last one given
    std::vector<CommandLinePlotOption> plotOptions;
    // Set by -v and -h: nothing else is to be done.
    std::optional<CommandLineExit> exitNow;
    // A configuration file named by -c that could not be loaded, reported once the window is up.
    const char* failedConfigFile = nullptr;
};
