#pragma once
// Plot files dropped onto the main window from a file manager (a text/uri-list): the first opens
// and the rest are merged into it, as with plot files named on the command line; with Ctrl held
// all of them are merged into the plot shown.

#include <string>
#include <vector>

struct GraphData;

// The UTF-8 names of the local plot files (.plt, .wxv, .csv, in any letter case) among uris, in
// their order; other files and locations without a local name are left out.
std::vector<std::string> droppedPlotFiles(const char* const* uris);

// Opens the first of names and merges the others in order after it has been read; with mergeAll,
// merges every one into the plot as it is.
void openDroppedFiles(GraphData& graph, const std::vector<std::string>& names, bool mergeAll);

// Makes the main window a drop target for files.
void acceptFileDrops(GraphData& graph);
