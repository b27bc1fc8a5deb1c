#pragma once
// The command line: plot options applied to the live model (the option-line vocabulary with the
// command line's own parser), the input and backup names, the serial speed, -c, -v and -h.

struct GraphData;
struct StartupOptions;

// The version line's text after the program path.
extern const char* const versionText;
// The usage text; its one %s is the program path.
extern const char* const usageText;

// Parses argv from index 1 and returns the index of the first argument not consumed. -v and -h
// write their text to standard error and end the process with status 0.
int parseCommandLine(int argc, char** argv, GraphData& graph, StartupOptions& options);

// Applies the plot options of the same command line once more (titles, ranges, reference lines,
// modes, sizes, -c), and nothing else: opening the input named there clears the plot, and the
// command line's options hold for that input as well.
void applyPlotOptions(int argc, char** argv, GraphData& graph);
