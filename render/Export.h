#pragma once
// Export of what the plotting area shows, at its size on screen, into a PDF, SVG or PNG file.

struct PlotArea;
struct FileName;

// Draws what the area shows, with the views a redraw uses, into a PDF for a name ending in ".pdf"
// or ".PDF", an SVG for ".svg" or ".SVG", a PNG for ".png" or ".PNG". Changes no widget.
// Returns 1 when the file was written; 0 for a name of 4 bytes or fewer, any other ending, or a
// failed write.
int exportDrawing(const PlotArea& plot, const FileName& name);
