#pragma once
// Export of what the plotting area shows, at its size on screen, into a PDF, SVG or PNG file.

struct GraphData;
struct FileName;

// Builds the views exactly as a redraw does (correcting the X zoom and reconfiguring the scroll
// bars), then writes a PDF for a name ending in ".pdf" or ".PDF", an SVG for ".svg" or ".SVG", a PNG
// for ".png" or ".PNG".
// Returns 1 when the file was written; 0 for a name of 4 bytes or fewer, any other ending, or a
// failed write.
int exportDrawing(GraphData& graph, const FileName& name);
