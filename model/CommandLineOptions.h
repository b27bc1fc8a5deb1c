#pragma once
// The command line read into StartupOptions without acting on anything: the plot options (the
// option-line vocabulary, matched and read by the command line's own rules), the input and backup
// names, the serial speed, -c, -v and -h. The caller applies what was read.

#include <functional>

class PlotModel;
struct StartupOptions;

// The version line's text after the program path.
extern const char* const versionText;
// The usage text; its one %s is the program path.
extern const char* const usageText;

// Reads argv from index 1 into options (cleared first) and returns the index of the first argument
// not read. At -v or -h reading stops and options.exitNow holds the text and the exit status.
int readCommandLine(int argc, char* const* argv, StartupOptions& options);

// Applies the plot options that were read, in their order, to the model; a configuration file
// named with -c is handed to loadConfigurationFile at its place among them.
void applyCommandLinePlotOptions(const StartupOptions& options, PlotModel& model,
                                 const std::function<void(const char* name)>& loadConfigurationFile);
