#pragma once
// Paints the plotting area from a PlotModel onto any cairo context: display bands, grids, reference
// lines, frames, crosshair, legend, graphs, title and axis values, at the places PlotLayout gives.
// Reads the model and never changes it. Every coordinate handed to cairo is finite; a display
// without a drawable data area and a view without at least two visible samples draw nothing.

#include <cairo.h>

#include <vector>

#include "model/PlotModel.h"
#include "render/ImageRasteriser.h"
#include "render/PlotLayout.h"
#include "render/SampleExtremes.h"
#include "render/TextLayout.h"
#include "render/Views.h"

// What drawing keeps between the frames of one plot: the min/max summaries of the graphs' samples
// (by graph index; they follow the model's sample counters) and the image rasteriser's coverage
// buffer. Owned by whoever owns the drawing area.
struct PlotViewCache {
    std::vector<SampleSummary> summaries;
    RasterScratch rasterScratch;
};

// Draws the plot; cache, when given, carries what one frame builds on to the next. The same as
// drawing its parts one after the other.
void drawPlot(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
              const VerticalView& vertical, SurfaceKind surfaceKind, PlotViewCache* cache = nullptr);

// The parts of the picture in the order they are drawn: what stands under the graphs' traces
// (grids, reference lines, frames, the crosshair, the legend), the traces, and what stands over
// them (the title, the Y values, the visible range). Each part sets up the context itself and
// leaves it as it found it; only the traces read the samples.
enum class PlotPart { underTraces, traces, overTraces };
void drawPlotPart(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
                  const VerticalView& vertical, SurfaceKind surfaceKind, PlotPart part,
                  PlotViewCache* cache = nullptr);

// Samples between vertical grid lines, at least 1: the grid interval a..b of the display turned
// into as many samples as it is high in pixels (square cells), cut to one significant digit, in
// X-scale units when the display has one. Never denser than one line per pixel column.
int gridStepX(const PlotLayout& layout, unsigned display, double a, double b, long long first, double last,
              int width);

// A horizontal line across the plot at value v of the display, with its value when asked (or in
// Frames mode) and when it keeps clear of the band's edges.
void drawHLine(cairo_t* cr, const PlotLayout& layout, unsigned display, double value, int width,
               bool wantLabel, SurfaceKind surfaceKind);

// A vertical line through the display's band at sample k of the visible range first..last, with its
// X value when asked and when it keeps clear of the plot's edges.
void drawVLine(cairo_t* cr, const PlotLayout& layout, unsigned display, long long sampleIndex,
               long long first, double last, int width, bool wantLabel, SurfaceKind surfaceKind);

// The X value of sample k at (x, y): in the display's X-scale units when it has a usable scale,
// else the sample number. display may be -1 (none).
void drawXLabel(cairo_t* cr, const PlotModel& model, int display, double x, double y, long long sampleIndex,
                TextAlignment alignment, SurfaceKind surfaceKind);
