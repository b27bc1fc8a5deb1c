#pragma once
// Export of what the plotting area shows, at its size on screen, into a PDF, SVG or PNG file.

#include <string>

struct PlotArea;

// Draws what the area shows, with the views a redraw uses, into the file localName (the file
// system's form of utf8Name): a PDF for a name ending in ".pdf" or ".PDF", an SVG for ".svg" or
// ".SVG", a PNG for ".png" or ".PNG". Changes no widget. Returns 1 when the file was written; 0 for
// a UTF-8 name of 4 bytes or fewer, any other ending, or a failed write.
int exportDrawing(const PlotArea& plot, const std::string& utf8Name, const char* localName);
