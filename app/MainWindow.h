#pragma once
// The single top-level window: menu row, plotting area with its scroll bars, tool row, the style
// sheet and the accelerators.

struct GraphData;

// The window's size when it opens, and the smallest plot area it can shrink to.
constexpr int startWindowWidth = 660;
constexpr int startWindowHeight = 367;
constexpr int minPlotWidth = 250;
constexpr int minPlotHeight = 150;

// Builds and shows the main window for graph, storing the widgets other commands touch in it.
void buildMainWindow(GraphData& graph);
