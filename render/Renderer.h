#pragma once
// Paints the plotting area from a PlotModel onto any cairo context: display bands, grids, reference
// lines, frames, crosshair, legend, graphs, title and axis values, at the places PlotLayout gives.
// Reads the model and never changes it. Every coordinate handed to cairo is finite; a display
// without a drawable data area and a view without at least two visible samples draw nothing.

#include <cairo.h>

#include <string>
#include <vector>

#include "model/PlotModel.h"
#include "render/CairoPtr.h"
#include "render/ImageRasteriser.h"
#include "render/Labels.h"
#include "render/PlotLayout.h"
#include "render/SampleExtremes.h"
#include "render/TextLayout.h"
#include "render/Views.h"

// What drawing keeps between the frames of one plot: the min/max summaries of the graphs' samples
// (by graph index; they follow the model's sample counters) and the image rasteriser's coverage
// buffer. Owned by whoever owns the drawing area. labelBoxes holds, after each frame, the boxes of
// the texts and legend squares drawn over the traces.
struct PlotViewCache {
    std::vector<SampleSummary> summaries;
    RasterScratch rasterScratch;
    std::vector<double> lanePoints;  // the points of graphs drawn together
    std::vector<LabelBox> labelBoxes;
    TextExtentsCache textExtents;  // of the texts over the traces
};

// Draws the plot; cache, when given, carries what one frame builds on to the next. The same as
// drawing its parts one after the other.
void drawPlot(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
              const VerticalView& vertical, SurfaceKind surfaceKind, PlotViewCache* cache = nullptr);

// The parts of the picture in the order they are drawn: what stands under the graphs' traces
// (grids, reference lines, frames, the crosshair), the traces, and what stands over them (every
// text on its patch: the title, the legend, the Y values, the values of the lines, the visible
// range; then the readout box). Each part sets up the context itself and leaves it as it found it;
// only the traces and the readout read the samples. The part over the traces sets
// cache->labelBoxes.
enum class PlotPart { underTraces, traces, overTraces };
struct OverTraces;
// laidOut, when given, receives what the part over the traces laid out (empty for other parts).
void drawPlotPart(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
                  const VerticalView& vertical, SurfaceKind surfaceKind, PlotPart part,
                  PlotViewCache* cache = nullptr, OverTraces* laidOut = nullptr);

// The part over the traces but for the readout, laid out: the legend squares, the ticks of the
// Y values and the texts, in the order they are drawn.
struct OverTraces {
    struct Square {
        double x = 0.0, y = 0.0, size = 0.0;
        Colour colour;
        bool filled = false;
    };
    struct Tick {
        double x0 = 0.0, x1 = 0.0, y = 0.0;
    };
    double lineWidth = 0.0;
    double fontSize = 0.0;
    SurfaceKind surfaceKind = SurfaceKind::screen;
    std::vector<Square> squares;
    std::vector<Tick> ticks;
    std::vector<PlacedText> texts;
};

// Lays out the part over the traces as drawPlotPart would draw it, drawing nothing (cr measures
// the texts).
OverTraces layOutOverTraces(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
                            const VerticalView& vertical, SurfaceKind surfaceKind, PlotViewCache* cache);

// Draws what was laid out as drawPlotPart does, and leaves the context in the font of the last
// text. With `within`, squares and texts that reach into no pixel of it are left out; the caller
// clips to it.
void drawOverTraces(cairo_t* cr, const OverTraces& laidOut, const cairo_region_t* within = nullptr);

// The pixels where two layouts of the part over the traces differ: around the squares, ticks and
// texts that one of them has and the other has not, within width x height.
RegionPtr differingPixels(const OverTraces& before, const OverTraces& after, int width, int height);

// Samples between vertical grid lines, at least 1: the grid interval a..b of the display turned
// into as many samples as it is high in pixels (square cells), cut to one significant digit, in
// X-scale units when the display has one, else in seconds when the model has a sampling rate.
// Never closer than 8 pixel columns.
int gridStepX(const PlotLayout& layout, unsigned display, double a, double b, long long first, double last,
              int width);

// A horizontal line across the plot at value v of the display (added to the path), with its value
// in labelColour queued in labels (unless null) when asked (or in Frames mode) and when it keeps
// clear of the band's edges.
void drawHLine(cairo_t* cr, const PlotLayout& layout, unsigned display, double value, int width,
               bool wantLabel, const Colour& labelColour, std::vector<Label>* labels);

// A vertical line through the display's band at sample k of the visible range first..last (added to
// the path), with its X value in labelColour queued in labels (unless null) when asked and when it
// keeps clear of the plot's edges.
void drawVLine(cairo_t* cr, const PlotLayout& layout, unsigned display, long long sampleIndex,
               long long first, double last, int width, bool wantLabel, const Colour& labelColour,
               std::vector<Label>* labels);

// The X value of sample k, for a view of the samples first..last: in the display's X-scale units
// when it has a usable scale, else in seconds ("1.25s") when the model has a sampling rate, else the
// sample number. display may be -1 (none).
std::string xLabelText(const PlotModel& model, int display, long long sampleIndex, double first, double last);
