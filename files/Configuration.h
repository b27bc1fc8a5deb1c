#pragma once
// Configuration files (".cfg"): the layout of a plot without its samples, one value per line —
// modes, sampling rate, X size, every display's settings and every graph's title, display,
// scale, flags and colour. Numbers are written and read in the classic locale.

#include <iosfwd>

class PlotModel;

// Writes the configuration of model; false when the stream reported an error.
bool writeConfiguration(const PlotModel& model, std::ostream& out);
// Applies a configuration read from in; values before a missing or unreadable one stay applied
// and the result is false.
bool readConfiguration(PlotModel& model, std::istream& in);

// The same on a file named in the local file-name encoding; false when it cannot be opened.
bool saveConfiguration(const PlotModel& model, const char* localName);
bool loadConfiguration(PlotModel& model, const char* localName);
