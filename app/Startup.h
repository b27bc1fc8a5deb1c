#pragma once
// The program's start-up, main loop and tear-down.

struct GraphData;
struct StartupOptions;

// What the command line asks for once the window is up: the message of a -c file that failed,
// the backup, the input, and the plot files after it (merged in order unless a live input opened).
// firstFile is the index of the first argument the command line left over.
void startInputs(GraphData& graph, const StartupOptions& options, int argc, char** argv, int firstFile);

// Runs Kivrel with the process's arguments; returns the exit status.
int runKivrel(int argc, char** argv);
