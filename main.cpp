// Kivrel: plots numbers live as text lines arrive from a serial device, standard input or a file.
#include "app/Startup.h"

int main(int argc, char** argv) { return runKivrel(argc, argv); }
