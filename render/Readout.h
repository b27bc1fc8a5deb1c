#pragma once
// The readout while the left button is held: at the sample under the pointer, its X value and the
// value of every enabled graph of the display under the pointer, in a box beside the point. With a
// first point kept (anchorX, anchorY), each line also gives the change from it to the pointer.

#include <cairo.h>

#include <string>
#include <vector>

#include "model/PlotModel.h"
#include "render/PlotLayout.h"
#include "render/TextLayout.h"
#include "render/Views.h"

// One graph at the readout's point and, with a first point, there.
struct ReadoutValue {
    unsigned graph = 0;
    bool received = false;  // the slot holds a sample (else it has no value)
    double value = 0.0;
    bool anchorReceived = false;
    double anchorValue = 0.0;
};

struct Readout {
    bool shown = false;
    int display = -1;        // the display under the point
    long long position = 0;  // the sample's position on the X axis
    std::size_t slot = 0;    // where the graphs hold it
    bool hasAnchor = false;
    long long anchorPosition = 0;
    std::size_t anchorSlot = 0;
    std::vector<ReadoutValue> values;  // in graph order
};

// The slot shown at position k: Dynamic mode counts back from the newest sample, High Frequency
// mode shows slot k in place.
std::size_t slotAtPosition(const PlotModel& model, long long position);

// The readout for the model's crosshair (or, without one, for the kept first point alone), in a
// plotting area `width` pixels wide showing the horizontal view.
Readout readoutOf(const PlotModel& model, const PlotLayout& layout, const HorizontalView& view, int width);

// The X value of a position as the readout writes it: in the display's X scale when it has one,
// in seconds with a sampling rate, else the sample number.
std::string readoutXText(const PlotModel& model, int display, double position);

// The readout's lines: the X line, then "title: value" per graph (with the changes from the first
// point), as drawn.
std::vector<std::string> readoutLines(const PlotModel& model, const Readout& readout);

// Draws the readout box beside the point, inside the plotting area of the given size.
void drawReadout(cairo_t* cr, const PlotModel& model, const PlotLayout& layout, const HorizontalView& view,
                 int width, int height, double lineWidth, SurfaceKind surfaceKind);
