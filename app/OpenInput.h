#pragma once
// Opening an input (standard input, a device, or a plot file that replaces the plot) and merging
// a plot file into the plot, with their messages.

struct FileName;
struct IOData;

// What a name stands for when it is opened as input.
enum class InputTarget { standardInput, device, plotFile };

// "-" and "Standard Input" are standard input; a "/dev/tty" name, a FIFO or a character device
// (a pseudo-terminal, a Bluetooth serial port) is read live; anything else is a plot file.
InputTarget classifyInputName(const char* utf8Name, const char* localName);

// Closes the current input, clears the plot and opens name; true when the input started or the
// file was read. Afterwards the plot is in Fixed X-Axis mode whatever happened. A large text plot
// file is read on in steps from the main loop (app/PlotLoad.h): true then means it opened, and the
// title and the X-axis mode follow once its last line is in.
bool openInput(const FileName& name, IOData& io);

// Reads a plot file into a temporary model and merges it into the plot; refused while a device
// is open but has sent no data line yet.
bool mergePlotFile(const FileName& name, IOData& io);
