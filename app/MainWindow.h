#pragma once
// The single top-level window: menu row, plotting area with its scroll bars, tool row, the style
// sheet and the accelerators.

struct GraphData;

// The Open Device submenu's entries, in menu order.
extern const char* const deviceMenuEntries[15];

// Builds and shows the main window for graph, storing the widgets other commands touch in it.
void buildMainWindow(GraphData& graph);
