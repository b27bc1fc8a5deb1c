#include "render/Readout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/ValueRange.h"
#include "render/CairoPtr.h"

namespace {

// The position under pixel column x of the view; -1 when the view shows no sample.
long long positionAt(const PlotModel& model, const PlotLayout& layout, const HorizontalView& view, int width,
                     double x) {
    const VisiblePositions visible = visiblePositions(view, model.xSize);
    if (!(visible.last > visible.first)) return -1;
    const double left = layout.left();
    const double plotWidth = width - left;
    double s = visible.first;
    if (plotWidth > 0)
        s += (std::clamp(x, left, static_cast<double>(width)) - left) * (visible.last - visible.first) /
             plotWidth;
    // The nearest drawn sample: positions first up to the last one before `last`.
    const double lastDrawn = std::ceil(visible.last) - 1.0;
    return static_cast<long long>(std::clamp(std::round(s), visible.first, lastDrawn));
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

bool hasScale(const Display& d) {
    return d.xScaleSize >= 2 && std::isfinite(d.xScaleMax - d.xScaleMin) && d.xScaleMax != d.xScaleMin;
}

// The X value of a position in the units readoutXText writes.
double xValue(const PlotModel& model, int display, double position) {
    if (display >= 0 && static_cast<unsigned>(display) < model.displays.size() &&
        hasScale(model.displays[static_cast<unsigned>(display)])) {
        const Display& d = model.displays[static_cast<unsigned>(display)];
        return d.xScaleMin + position * (d.xScaleMax - d.xScaleMin) / (d.xScaleSize - 1.0);
    }
    if (model.samplingRate > 0) return position / model.samplingRate;
    return position;
}

std::string unitOf(const PlotModel& model, int display) {
    const bool scaled = display >= 0 && static_cast<unsigned>(display) < model.displays.size() &&
                        hasScale(model.displays[static_cast<unsigned>(display)]);
    return !scaled && model.samplingRate > 0 ? " s" : "";
}

}  // namespace

std::size_t slotAtPosition(const PlotModel& model, long long position) {
    const std::size_t n = model.xSize;
    if (n == 0 || position < 0) return 0;
    const auto k = static_cast<std::size_t>(position);
    return model.highFrequency ? k % n : (k + model.writeIndex + 1) % n;
}

Readout readoutOf(const PlotModel& model, const PlotLayout& layout, const HorizontalView& view, int width) {
    Readout r;
    const bool crosshair = model.crosshairX >= layout.left() && std::isfinite(model.crosshairY);
    const bool anchor = model.anchorX >= layout.left() && std::isfinite(model.anchorY);
    if (model.graphs.empty() || !(crosshair || anchor)) return r;
    const double x = crosshair ? model.crosshairX : model.anchorX;
    const double y = crosshair ? model.crosshairY : model.anchorY;
    r.position = positionAt(model, layout, view, width, x);
    if (r.position < 0) return r;
    r.display = layout.displayAtY(y);
    r.slot = slotAtPosition(model, r.position);
    r.hasAnchor = crosshair && anchor;
    if (r.hasAnchor) {
        r.anchorPosition = positionAt(model, layout, view, width, model.anchorX);
        r.anchorSlot = slotAtPosition(model, r.anchorPosition);
    }
    r.shown = true;
    if (r.display < 0) return r;
    for (unsigned g = 0; g < model.graphs.size(); ++g) {
        const Graph& graph = model.graphs[g];
        if (!graph.enabled || model.effectiveDisplayOf(g) != static_cast<unsigned>(r.display)) continue;
        ReadoutValue v;
        v.graph = g;
        v.received = graph.received(r.slot);
        if (v.received) v.value = graph.samples[r.slot];
        if (r.hasAnchor) {
            v.anchorReceived = graph.received(r.anchorSlot);
            if (v.anchorReceived) v.anchorValue = graph.samples[r.anchorSlot];
        }
        r.values.push_back(v);
    }
    return r;
}

std::string readoutXText(const PlotModel& model, int display, double position) {
    return number(xValue(model, display, position)) + unitOf(model, display);
}

std::vector<std::string> readoutLines(const PlotModel& model, const Readout& readout) {
    std::vector<std::string> lines;
    if (!readout.shown) return lines;
    const auto position = static_cast<double>(readout.position);
    std::string x = "X: " + readoutXText(model, readout.display, position);
    if (readout.hasAnchor) {
        const double change = xValue(model, readout.display, position) -
                              xValue(model, readout.display, static_cast<double>(readout.anchorPosition));
        x += "  \u0394X: " + number(change) + unitOf(model, readout.display);
    }
    lines.push_back(x);
    for (const ReadoutValue& v : readout.values) {
        std::string line = model.graphs[v.graph].title + ": " + (v.received ? number(v.value) : "-");
        if (readout.hasAnchor) {
            line += "  \u0394Y: ";
            line += v.received && v.anchorReceived ? number(v.value - v.anchorValue) : "-";
        }
        lines.push_back(line);
    }
    return lines;
}

void drawReadout(cairo_t* cr, const PlotModel& model, const PlotLayout& layout, const HorizontalView& view,
                 int width, int height, double lineWidth, SurfaceKind surfaceKind) {
    const Readout readout = readoutOf(model, layout, view, width);
    const std::vector<std::string> lines = readoutLines(model, readout);
    if (lines.empty()) return;
    CairoSaveGuard saved(cr);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    const double row = std::ceil(font.ascent + font.descent);
    constexpr double padding = 4.0;
    // The box is as wide as the longest line in characters of the font's widest advance: the
    // monospace font gives every character that advance, and measuring each line's text costs a
    // good part of a frame.
    std::size_t characters = 0;
    for (const std::string& line : lines) {
        const auto continuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
        characters = std::max<std::size_t>(
            characters,
            line.size() - static_cast<std::size_t>(std::count_if(line.begin(), line.end(), continuation)));
    }
    const double textWidth = static_cast<double>(characters) * font.max_x_advance;
    const bool crosshair = model.crosshairX >= layout.left();
    const double px = crosshair ? model.crosshairX : model.anchorX;
    const double py = crosshair ? model.crosshairY : model.anchorY;
    const PlotLayout::Box box =
        layout.readoutBox(px, py, std::ceil(textWidth) + 2 * padding,
                          row * static_cast<double>(lines.size()) + 2 * padding, width, height);
    if (readout.hasAnchor || !crosshair) {
        // The kept first point: a small cross.
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_set_line_width(cr, lineWidth);
        cairo_move_to(cr, model.anchorX - 4, model.anchorY);
        cairo_line_to(cr, model.anchorX + 4, model.anchorY);
        cairo_move_to(cr, model.anchorX, model.anchorY - 4);
        cairo_line_to(cr, model.anchorX, model.anchorY + 4);
        cairo_stroke(cr);
    }
    // The plot's background shows through a little, the text stays legible over any trace.
    cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, lineWidth);
    cairo_stroke(cr);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == 0) {
            cairo_set_source_rgb(cr, 0, 0, 0);
        } else {
            const Colour& c = model.graphs[readout.values[i - 1].graph].colour;
            cairo_set_source_rgb(cr, c.red, c.green, c.blue);
        }
        placeText(cr, box.x + padding, box.y + padding + row * static_cast<double>(i) + font.ascent, lines[i],
                  TextAlignment::leftBaseline, surfaceKind);
    }
}
