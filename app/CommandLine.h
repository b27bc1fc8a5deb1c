#pragma once
// The command line applied to the application: directory pruning, the reconnect flag and the plot
// options (configuration files named with -c included) on the live model.

struct GraphData;
struct StartupOptions;

// Reads argv from index 1 into options and, unless -v or -h asked to end at once (options.exitNow),
// applies what it sets. Returns the index of the first argument not read.
int parseCommandLine(int argc, char** argv, GraphData& graph, StartupOptions& options);

// Applies the plot options of the command line once more (titles, ranges, reference lines, modes,
// sizes, -c), and nothing else: opening the input named there clears the plot, and the command
// line's options hold for that input as well.
void applyPlotOptions(const StartupOptions& options, GraphData& graph);
