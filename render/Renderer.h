#pragma once
// Paints the plotting area from a PlotModel onto any cairo context: display bands, grids, reference
// lines, frames, crosshair, legend, graphs, title and axis values. Reads the model and never changes
// it. Every coordinate handed to cairo is finite; a display without a drawable data area and a view
// without at least two visible samples draw nothing.

#include <cairo.h>

#include "model/PlotModel.h"
#include "render/Views.h"

void drawPlot(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
              const VerticalView& vertical, int surfaceKind);

// Whether display i has a finite range with yMax > yMin and a data area of at least one row that
// overlaps the area's rows 0..height.
bool isDisplayVisible(const PlotModel& model, unsigned display, int height, int virtualHeight,
                      double yOrigin);

// Samples between vertical grid lines, at least 1: the grid interval a..b of the display turned
// into as many samples as it is high in pixels (square cells), cut to one significant digit, in
// X-scale units when the display has one. Never denser than one line per pixel column.
int gridStepX(const PlotModel& model, unsigned display, double a, double b, long long first, double last,
              int width, int virtualHeight, double yOrigin);

// A horizontal line across the plot at value v of the display, with its value when asked (or in
// Frames mode) and when it keeps clear of the band's edges.
void drawHLine(cairo_t* cr, const PlotModel& model, unsigned display, double value, int width,
               int virtualHeight, double yOrigin, bool wantLabel, int surfaceKind);

// A vertical line through the display's band at sample k of the visible range first..last, with its
// X value when asked and when it keeps clear of the plot's edges.
void drawVLine(cairo_t* cr, const PlotModel& model, unsigned display, long long sampleIndex, long long first,
               double last, int width, int virtualHeight, double yOrigin, bool wantLabel, int surfaceKind);

// The X value of sample k at (x, y): in the display's X-scale units when it has a usable scale,
// else the sample number. display may be -1 (none).
void drawXLabel(cairo_t* cr, const PlotModel& model, int display, double x, double y, long long sampleIndex,
                unsigned alignment, int surfaceKind);

// The legend row of a graph: the baseline of its title, whose 8 x 8 square stands just above it at
// legendSquareX and whose title starts 10 further right. Rows follow the graph's slot in its stored
// display (not a drag's preview); in display 0 they start below the title unless Frames mode gives
// the title its own margin.
double legendSquareX(const PlotModel& model);
double legendBaseline(const PlotModel& model, unsigned graph, int virtualHeight, double yOrigin);

// The value under pixel row y: taken from the first display with a range whose data area holds the
// row, 0 when none does.
double valueAtY(const PlotModel& model, double y, int virtualHeight, double yOrigin);
