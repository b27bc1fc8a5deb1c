#pragma once
// The picture of a live plot as two kept images and the traces between them: what stands under the
// traces and what stands over them change only with the size, the view and the settings, while the
// traces change with every sample. Each image is drawn anew when its key (everything that part is
// drawn from) differs from the one it was drawn with (only where its layout changed, when only
// displays' ranges moved), and only where it has ink is it painted.

#include <cairo.h>

#include <memory>
#include <string>

#include "model/PlotModel.h"
#include "render/CairoPtr.h"
#include "render/ImageRasteriser.h"
#include "render/Renderer.h"
#include "render/Views.h"

// What the parts under and over the traces are drawn from: the views, and the model without its
// samples and its write position (with them while the readout over the traces shows values). Equal
// keys draw equal pictures of those parts; a setting that either part reads has to be in it.
std::string staticPartsKey(const PlotModel& model, const HorizontalView& horizontal,
                           const VerticalView& vertical);

// One kept part: its image (transparent where the part has no ink), the tiles that hold its ink,
// and the key it was drawn with.
struct PlotLayer {
    SurfacePtr image;
    RegionPtr ink;
    std::string key;
};

struct PlotLayers {
    PlotLayer under;
    PlotLayer over;
    // The layout `over` was drawn from, and the key of both without the displays' ranges: when only
    // ranges move, `over` is redrawn only where its layout changed.
    OverTraces overLaidOut;
    std::string rangeFreeKey;
    SurfacePtr scratch;  // where `over` is redrawn in part
    // Times the layers were brought up to date (both at once), and of those the times only ranges
    // had moved, for tests and benches.
    unsigned long rebuilds = 0;
    unsigned long partialRebuilds = 0;
    // The picture updatePlotImage last drew into an image: its key (empty when none, or when the
    // image may have been replaced since) and the tiles its traces wrote to.
    std::string frameKey;
    InkTiles traceInk;
};

// Draws the plot as drawPlot does, with the parts under and over the traces taken from the kept
// layers (drawn anew first when their key changed). Only onto a target that drawPlot would
// draw on in whole pixels: an image surface with a device scale of 1 and a context moved by whole
// pixels at most. Elsewhere, or when there is no memory for the layers, it draws with drawPlot.
// The picture equals drawPlot's but for a rounding of colour channels by one under the texts over
// the traces (their translucent patches included).
void drawPlotLayered(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
                     const VerticalView& vertical, PlotViewCache& cache, PlotLayers& layers);

// Brings image, an ARGB32 image of the area's size that holds the picture this function drew into
// it last (or anything, after frameKey was cleared), to drawPlotLayered's picture of the plot as it
// is now. It redoes only the tiles its traces wrote to last time, with the layers' ink over the
// traces, and returns the region whose pixels changed: empty when the plot and the view are as they
// were, everything when the layers or the image are new.
RegionPtr updatePlotImage(const PlotModel& model, cairo_surface_t* image, const HorizontalView& horizontal,
                          const VerticalView& vertical, PlotViewCache& cache, PlotLayers& layers);
