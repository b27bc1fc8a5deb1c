#pragma once
// Saving and reading whole plots. A PLT file is option lines (settings, displays, graphs) followed
// by one data line per stored slot in ring order, so it reads back through PlotModel::processLine.
// Files are opened by their local (file-system encoded) name; the format is chosen by the UTF-8
// name: exactly ".wxv" at the end means WXV, exactly ".csv" CSV, anything else PLT.

#include <cstdint>
#include <ostream>
#include <string>

class PlotModel;

// 0 on success, -1 on failure, -2 when WXV was asked for and the model has no sampling rate.
std::int32_t saveFile(const PlotModel& model, const char* localName, const std::string& utf8Name);

// Writes the whole plot as PLT. False (and nothing created) without graphs, false when the file
// cannot be created or a write fails; an existing file is then left as it was.
bool writePlt(const PlotModel& model, const char* localName);

// The option lines of a PLT file: title, general options, displays that are not in their default
// state and one line per graph. Every line is flushed.
void writePltOptions(const PlotModel& model, std::ostream& out);

// The xSize - 1 data lines of a PLT file, from the slot after writeIndex round to the slot before
// it, so the newest values come last. Stops at the first stream error.
void writePltSamples(const PlotModel& model, std::ostream& out);

// Reads a PLT (or any text), WXV or CSV file into model and, after a successful read, recomputes the Y
// range of every display. False when the file cannot be opened, or when a WXV or CSV file holds
// something it cannot read on from (the values before it stay); *problem then says what and on
// which line ("line 3: 'abc' is not a number"), and stays empty for a file that does not open.
bool readPlotFile(PlotModel& model, const char* localName, const std::string& utf8Name,
                  std::string* problem = nullptr);

// What readPlotFile does after a successful read: every slot counts as received (a file holds what
// it shows), then the Y range of every display from its samples, in display order. A file read in
// steps calls it once the last line is in.
void recomputeDisplayRanges(PlotModel& model);
