#pragma once
// The program's start-up, main loop and tear-down.

// Runs Kivrel with the process's arguments; returns the exit status.
int runKivrel(int argc, char** argv);
