#include "render/Renderer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>

#include "model/ValueRange.h"
#include "render/CairoPtr.h"
#include "render/ImageRasteriser.h"
#include "render/Readout.h"
#include "render/SampleExtremes.h"
#include "render/TextLayout.h"

namespace {

constexpr double tickLength = 10.0;
// Grid lines stand at least this many pixels apart.
constexpr double minGridSpacing = 8.0;
constexpr long long highFrequencyGap = 20;
// A graph is stroked in runs of at most this many segments and this much vertical travel in pixels
// (see RunStroker): long runs for smooth data, short ones for noise.
constexpr int segmentsPerStroke = 64;
constexpr double travelPerStroke = 100.0;

double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

const Colour black{0.0, 0.0, 0.0, 1.0};
const Colour gridColour{1.0, 0.5, 0.5, 1.0};

// An X scale labels the axis only with two samples at least and a finite, non-empty range.
bool hasXScale(const Display& d) {
    return d.xScaleSize >= 2 && std::isfinite(d.xScaleMax - d.xScaleMin) && d.xScaleMax != d.xScaleMin;
}

const Display* xScaleOf(const PlotModel& model, int display) {
    if (display < 0 || static_cast<unsigned>(display) >= model.displays.size()) return nullptr;
    const Display& d = model.displays[static_cast<unsigned>(display)];
    return hasXScale(d) ? &d : nullptr;
}

// v cut to one significant digit toward zero; 0 for values that are not positive and finite.
double oneSignificantDigit(double v) {
    if (!(v > 1e-300) || !std::isfinite(v)) return 0.0;
    double k = 1.0;
    while (v > k) k *= 10.0;
    while (v < k) k /= 10.0;
    return k * std::trunc(v / k + 1e-9);  // 0.3 / 0.1 is a hair below 3
}

void setColour(cairo_t* cr, const Colour& c) {
    cairo_set_source_rgb(cr, c.red, c.green, c.blue);
}

void setBlack(cairo_t* cr) {
    setColour(cr, black);
}

void setDash(cairo_t* cr) {
    const double dash = 5.0;
    cairo_set_dash(cr, &dash, 1, 0.0);
}

void selectFont(cairo_t* cr, const char* family, double size) {
    cairo_select_font_face(cr, family, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

// Strokes a polyline in runs of a few segments. Antialiased cairo spends time on one stroke that
// grows much faster than its length when the path crosses itself, as noisy data does at nearly
// every pixel column, so a run ends after a bounded number of segments or of rows travelled. Each
// run starts with a sliver of the last segment of the run before, so that
// the join at the shared point is drawn whole, exactly as in one long path, while the two strokes
// overlap too little to darken the edge pixels there.
class RunStroker final : public PolylineSink {
  public:
    // Vector surfaces (PDF, SVG) get one path per polyline: they do not rasterize.
    RunStroker(cairo_t* context, bool inRuns) : cr(context), runs(inRuns) {}
    RunStroker(const RunStroker&) = delete;
    RunStroker& operator=(const RunStroker&) = delete;
    ~RunStroker() override { finish(); }

    void colour(const Colour& c) override { cairo_set_source_rgb(cr, c.red, c.green, c.blue); }
    void point(double x, double y) override {
        if (!open) {
            cairo_move_to(cr, x, y);
            open = true;
            segments = 0;
            travel = 0.0;
        } else {
            if (runs && (segments == segmentsPerStroke || travel > travelPerStroke)) {
                cairo_stroke(cr);
                startWithSliver();
                segments = 1;
                travel = 0.0;
            }
            cairo_line_to(cr, x, y);
            ++segments;
            travel += std::fabs(y - lastY);
        }
        previousX = lastX;
        previousY = lastY;
        lastX = x;
        lastY = y;
    }
    // Ends the current polyline; the next point starts a new one.
    void finish() override {
        if (open) cairo_stroke(cr);
        open = false;
    }
    bool isOpen() const override { return open; }
    double x() const override { return lastX; }
    double y() const override { return lastY; }

  private:
    // Begins a run on the last segment, a sliver before its end point, in the segment's direction.
    void startWithSliver() {
        const double sliver = 0.125;  // pixels; long enough for cairo's fixed point to keep the direction
        const double dx = lastX - previousX, dy = lastY - previousY;
        const double length = std::hypot(dx, dy);
        if (length > sliver) {
            cairo_move_to(cr, lastX - dx * sliver / length, lastY - dy * sliver / length);
        } else {
            cairo_move_to(cr, previousX, previousY);
        }
        cairo_line_to(cr, lastX, lastY);
    }

    cairo_t* cr;
    bool runs;
    bool open = false;
    int segments = 0;
    double travel = 0.0;
    double previousX = 0.0, previousY = 0.0, lastX = 0.0, lastY = 0.0;
};

// Quantities shared by the steps of one drawPlot call.
struct Frame {
    const PlotModel& model;
    PlotLayout layout;
    cairo_t* cr;
    int width;
    int height;
    double left;
    long long first;  // first visible sample
    double span;      // visible samples
    double last;      // end of the visible range: min(first + span, X size - 1)
    long long step;
    SurfaceKind surfaceKind;
    double lineWidth;
    double refWidth;
    double fontSize;
    // Values of the grid and reference lines and X values under the frames, drawn after the traces;
    // null where they are not drawn.
    std::vector<Label>* lineLabels;
    // False where only the values of the lines are wanted: their paths are dropped, not stroked.
    bool paintLines;
};

// Strokes the lines built so far, or drops them when the frame paints no lines.
void endLines(const Frame& f) {
    if (f.paintLines) {
        cairo_stroke(f.cr);
    } else {
        cairo_new_path(f.cr);
    }
}

// X values stand under a frame only while its band keeps the whole room for them; in a band that gave
// it up they would cover the traces of the band below.
bool hasRoomForXValues(const Frame& f, unsigned i) {
    const DisplayBand b = f.layout.band(i);
    return b.top + b.span - b.frameBottom > PlotLayout::frameBottomReserve - 0.5;
}

void drawGrid(const Frame& f, unsigned i, int level) {
    const Display& d = f.model.displays[i];
    // No more levels than keep the horizontal lines minGridSpacing rows apart.
    const DisplayBand band = f.layout.band(i);
    const double fitting = std::floor((band.bottom - band.dataTop) / minGridSpacing);
    if (level > fitting) level = std::max(1, static_cast<int>(fitting));
    const auto line = [&](double value) {
        drawHLine(f.cr, f.layout, i, value, f.width, false, gridColour, f.lineLabels);
    };
    line(d.yMin);
    line(d.yMax);
    // The reference interval a..b is one grid cell high; the X step makes the cells square.
    double a = d.yMin, b = d.yMax;
    if (d.yMin * d.yMax < 0) {
        line(0.0);
        a = 0.0;
        if (level == 1) {
            b = d.yMax;
        } else {
            const double s = std::max(d.yMax / level, -d.yMin / level);
            for (int j = 1; j <= level && j * s < d.yMax; ++j) line(j * s);
            for (int j = 1; j <= level && -j * s > d.yMin; ++j) line(-j * s);
            b = s;
        }
    } else if (level != 1) {
        // Both ends on one side of zero: their difference cannot overflow.
        const double s = (d.yMax - d.yMin) / level;
        for (int j = 1; j <= level && d.yMin + j * s < d.yMax; ++j) line(d.yMin + j * s);
        b = d.yMin + s;
    }

    if (!(f.last > static_cast<double>(f.first)) || f.width <= f.left) return;
    const long long k = gridStepX(f.layout, i, a, b, f.first, f.last, f.width);
    long long start = k * (f.first / k + 1);
    if (hasXScale(d) && d.xScaleMin < 0 && 0 < d.xScaleMax) {
        // Anchor the lines at the sample where X is 0.
        const double e = (d.xScaleSize - 1.0) * (0.0 - d.xScaleMin) / (d.xScaleMax - d.xScaleMin);
        const double first = static_cast<double>(f.first);
        if (first >= e) {
            const auto cells = static_cast<long long>(std::trunc(first - e)) / k + 1;
            start = static_cast<long long>(std::trunc(e + static_cast<double>(k * cells)));
        } else {
            const auto cells = static_cast<long long>(std::trunc(e - first)) / k;
            start = static_cast<long long>(std::trunc(e - static_cast<double>(k * cells)));
        }
    }
    const long long labelPeriod = 30 / k + 1;
    const bool values = f.model.frames && hasRoomForXValues(f, i);
    long long n = 1;
    for (long long s = start; static_cast<double>(s) < f.last; s += k, ++n) {
        drawVLine(f.cr, f.layout, i, s, f.first, f.last, f.width, values && n % labelPeriod == 0, gridColour,
                  f.lineLabels);
    }
}

void drawFrame(const Frame& f, unsigned i) {
    const double frameTop = f.layout.band(i).top;
    const double frameBottom = f.layout.frameBottom(i);
    const double right = f.width - 1;
    cairo_move_to(f.cr, f.left, frameTop);
    cairo_line_to(f.cr, right, frameTop);
    cairo_line_to(f.cr, right, frameBottom);
    cairo_line_to(f.cr, f.left, frameBottom);
    cairo_close_path(f.cr);
    if (!f.lineLabels || !hasRoomForXValues(f, i)) return;
    const int display = static_cast<int>(i);
    const auto first = static_cast<double>(f.first);
    f.lineLabels->push_back({xLabelText(f.model, display, f.first, first, f.last), f.left, frameBottom,
                             TextAlignment::rightTop, black});
    const auto lastShown = static_cast<long long>(f.last - 1.0);
    f.lineLabels->push_back({xLabelText(f.model, display, lastShown, first, f.last), right, frameBottom,
                             TextAlignment::rightTop, black});
}

void drawCrosshair(const Frame& f) {
    const double cx = f.model.crosshairX;
    const double cy = f.model.crosshairY;
    if (!std::isfinite(cx) || !std::isfinite(cy)) return;
    const double plotWidth = f.width - f.left;
    const auto first = static_cast<double>(f.first);
    double s = first;
    if (plotWidth > 0)
        s += (std::clamp(cx, f.left, static_cast<double>(f.width)) - f.left) * (f.last - first) / plotWidth;
    const double v = f.layout.valueAtY(cy);
    const int display = f.layout.displayAtY(cy);
    const double yMin = display >= 0 ? f.model.displays[static_cast<unsigned>(display)].yMin : 0.0;
    const double yMax = display >= 0 ? f.model.displays[static_cast<unsigned>(display)].yMax : 0.0;

    cairo_set_line_width(f.cr, f.refWidth);
    setBlack(f.cr);
    cairo_move_to(f.cr, f.left, cy);
    cairo_line_to(f.cr, f.width, cy);
    if (v != 0) {
        const std::string text = formatAxisValue(v, yMin, yMax);
        if (f.fontSize + 5 > cy) {
            placeText(f.cr, f.width - 13, cy, text, TextAlignment::rightTop, f.surfaceKind);
        } else {
            placeText(f.cr, f.width - 13, cy - 3, text, TextAlignment::rightBaseline, f.surfaceKind);
        }
    }
    cairo_move_to(f.cr, cx, 0);
    cairo_line_to(f.cr, cx, f.height);
    const std::string sample = xLabelText(f.model, display, static_cast<long long>(s), first, f.last);
    if (cx > f.width - 5 * f.fontSize) {
        placeText(f.cr, cx - 3, f.height - 5, sample, TextAlignment::rightBaseline, f.surfaceKind);
    } else {
        placeText(f.cr, cx + 3, f.height - 5, sample, TextAlignment::leftBaseline, f.surfaceKind);
    }
    cairo_stroke(f.cr);
}

// The legend squares where the layout puts them (the mouse finds them there), then the titles that
// have room beside them, cut to their cells.
void layOutLegend(const Frame& f, LabelPlacer& labels, std::vector<OverTraces::Square>& squares) {
    const PlotModel& model = f.model;
    std::vector<LegendEntry> entries(model.graphs.size());
    for (std::size_t g = 0; g < model.graphs.size(); ++g) {
        const Graph& graph = model.graphs[g];
        const LegendEntry& e = entries[g] = f.layout.legendEntry(static_cast<unsigned>(g));
        if (!e.shown) continue;
        squares.push_back({e.squareX, e.squareTop, e.squareSize, graph.colour, graph.enabled});
        labels.reserve({e.squareX, e.squareTop, e.squareX + e.squareSize, e.baseline});
    }
    selectFont(f.cr, "sans-serif", f.fontSize);
    for (std::size_t g = 0; g < model.graphs.size(); ++g) {
        const LegendEntry& e = entries[g];
        if (!e.shown || !(e.titleWidth > 0)) continue;
        const Graph& graph = model.graphs[g];
        const std::string title =
            std::isfinite(e.titleWidth) ? fitText(f.cr, graph.title, e.titleWidth) : graph.title;
        labels.place({title, e.titleX, e.baseline, TextAlignment::leftBaseline, graph.colour},
                     LabelFont::sans);
    }
}

// Whether a sample's value, scaled for its row, has a row: a value that is not a number or infinite
// has none. Without a branch, for the vector loop of scaleRun.
bool hasRow(double value, double scaled) {
    return std::isfinite(value) & !std::isnan(scaled);
}

// Where the samples of one graph stand: sample k of the visible range at its column, its value at
// its row.
class TracePoints {
  public:
    TracePoints(const Frame& frame, const Graph& g, unsigned shownDisplay, double lastSample)
        : f(frame), graph(g), rowOf(frame.layout.valueRows(shownDisplay)), last(lastSample) {}

    // The row of the sample in a slot; false where it has none to show: a slot that never received
    // a sample (the trace starts at the first one), or a value that is not a number or infinite.
    bool rowAt(std::size_t slot, double& y) const {
        if (!valueAt(slot, y)) return false;
        y = rowOf(y);
        return true;
    }
    // The value of the sample in a slot as scaled for its row, where it has a row.
    bool valueAt(std::size_t slot, double& scaled) const {
        if (!graph.received(slot)) return false;
        const double value = graph.samples[slot];
        scaled = graph.scale * value;
        return hasRow(value, scaled);
    }
    double xOf(long long k) const {
        return f.left +
               static_cast<double>(k - f.first) * (f.width - f.left) / (last - static_cast<double>(f.first));
    }

    const Frame& f;
    const Graph& graph;
    const ValueRows rowOf;

  private:
    double last;
};

// The points of one graph, with a gap where the value is not a number or infinite.
class Trace {
  public:
    Trace(const Frame& frame, const Graph& g, const SampleSummary& blocks, unsigned shownDisplay,
          double lastSample, PolylineSink& sink)
        : at(frame, g, shownDisplay, lastSample), graph(g), summary(blocks), rowOf(at.rowOf), stroker(sink) {
        stroker.colour(graph.colour);
    }
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;
    ~Trace() { stroker.finish(); }

    void point(long long k, std::size_t slot) {
        double y = 0.0;
        if (rowAt(slot, y)) {
            stroker.point(xOf(k), y);
        } else {
            stroker.finish();
        }
    }
    // The points of positions k = from, from + step, ... before end, position k showing the slot
    // k + offset round the ring (offset below the slot count). They are worked out a batch at a
    // time, so that the divisions of neighbouring points overlap, and then handed on in order.
    void points(long long from, double end, long long step, std::size_t offset) {
        constexpr int batch = 64;
        const std::size_t count = graph.samples.size();
        double xs[batch], ys[batch];
        bool shown[batch];
        long long k = from;
        while (static_cast<double>(k) < end) {
            int n = 0;
            for (; n < batch && static_cast<double>(k) < end; ++n, k += step) {
                const std::size_t slot = static_cast<std::size_t>(k) + offset;  // wraps at most once
                shown[n] = rowAt(slot >= count ? slot - count : slot, ys[n]);
                xs[n] = xOf(k);
            }
            for (int i = 0; i < n; ++i) {
                if (shown[i]) {
                    stroker.point(xs[i], ys[i]);
                } else {
                    stroker.finish();
                }
            }
        }
    }
    // The column of sample k spanning the samples at positions k..end-1 (slot of position p:
    // (p + offset) mod the sample count), from the row of their minimum to that of their maximum.
    // A column holding a value that is not a number or infinite is a gap, as such a point is.
    void column(long long k, long long end, std::size_t offset) {
        const std::size_t count = graph.samples.size();
        // Only received slots count; they form one run, so the column loses unreceived ends only.
        const auto receivedAt = [&](long long p) {
            return graph.received((static_cast<std::size_t>(p) + offset) % count);
        };
        long long start = k;
        while (start < end && !receivedAt(start)) ++start;
        while (end > start && !receivedAt(end - 1)) --end;
        if (start == end) {
            stroker.finish();
            return;
        }
        const auto length = static_cast<std::size_t>(end - start);
        const std::size_t from = (static_cast<std::size_t>(start) + offset) % count;
        // The positions wrap around the ring at most once: two runs of slots.
        const std::size_t head = std::min(length, count - from);
        Extremes e = extremesOf(graph, summary, from, from + head);
        if (head < length) {
            const Extremes wrapped = extremesOf(graph, summary, 0, length - head);
            e = {std::min(e.low, wrapped.low), std::max(e.high, wrapped.high), e.finite && wrapped.finite};
        }
        const double low = graph.scale * e.low, high = graph.scale * e.high;
        if (!e.finite || std::isnan(low) || std::isnan(high)) {
            stroker.finish();
            return;
        }
        const double x = xOf(k);
        const double yLow = rowOf(low);
        const double yHigh = rowOf(high);
        // The column starts at the end nearer the trace's last point, so that the line joining the
        // columns stays short.
        const bool lowFirst =
            !stroker.isOpen() || std::fabs(yLow - stroker.y()) <= std::fabs(yHigh - stroker.y());
        stroker.point(x, lowFirst ? yLow : yHigh);
        if (yLow != yHigh) stroker.point(x, lowFirst ? yHigh : yLow);
    }
    void gap() { stroker.finish(); }
    // The newest sample's marker, a small diamond hanging right of the polyline's last point.
    void marker() {
        if (!stroker.isOpen()) return;
        const double x = stroker.x(), y = stroker.y();
        stroker.point(x + 5, y + 5);
        stroker.point(x + 10, y);
        stroker.point(x + 5, y - 5);
        stroker.point(x, y);
    }

  private:
    bool rowAt(std::size_t slot, double& y) const { return at.rowAt(slot, y); }
    double xOf(long long k) const { return at.xOf(k); }

    const TracePoints at;
    const Graph& graph;
    const SampleSummary& summary;
    const ValueRows& rowOf;
    PolylineSink& stroker;
};

// The end of the visible positions of a graph of so many samples.
double lastPosition(const Frame& f, std::size_t samples) {
    return std::min(static_cast<double>(samples) - 1.0, static_cast<double>(f.first) + f.span);
}

// Where the trace scrolls, position k shows the slot k + this offset round the ring: the sample that
// arrived X size - 2 - k lines before the newest one.
std::size_t scrollingOffset(const PlotModel& model, std::size_t samples) {
    return (static_cast<std::size_t>(model.writeIndex) + 1) % samples;
}

// summary: the graph's min/max summary, brought up to date here when the envelope is drawn.
void drawGraph(const Frame& f, unsigned g, SampleSummary& summary, unsigned display, PolylineSink& sink) {
    const Graph& graph = f.model.graphs[g];
    const std::size_t count = graph.samples.size();
    const long long first = f.first;
    const double last = lastPosition(f, count);
    if (!(last > static_cast<double>(first))) return;  // a single visible sample has no width
    const long long step = f.step;
    const auto before = [&](long long k, double end) { return static_cast<double>(k) < end; };
    Trace trace(f, graph, summary, display, last, sink);
    // Positions k < end are drawn; zoomed out in Min/Max Envelope mode each drawn point stands for
    // the samples up to the next one, otherwise for its own sample only.
    const bool envelope = f.model.envelope && step > 1;
    if (envelope) refreshSummary(f.model, g, summary);
    // Positions from, from + step, ... before end.
    const auto draw = [&](long long from, double end, std::size_t offset) {
        if (!envelope) {
            trace.points(from, end, step, offset);
            return;
        }
        const auto endPosition = static_cast<long long>(std::ceil(end));
        for (long long k = from; before(k, end); k += step)
            trace.column(k, std::min(k + step, endPosition), offset);
    };
    if (!f.model.highFrequency) {
        draw(first, last, scrollingOffset(f.model, count));
        return;
    }
    // The trace stays in place and the write position sweeps across it, with a gap after it.
    const double w = std::min(last, static_cast<double>(f.model.writeIndex));
    const bool rest = w + static_cast<double>(step + highFrequencyGap) < last;
    if (static_cast<double>(first + step) < w) {
        draw(first, w, 0);
        if (rest) trace.marker();
    }
    if (!rest) return;
    trace.gap();
    const auto writeIndex = static_cast<long long>(w);  // w < last here, so w is the write index
    const long long restStart = std::max(writeIndex + highFrequencyGap, first);
    const long long from =
        writeIndex + highFrequencyGap < first ? first + step : writeIndex + step + highFrequencyGap;
    if (envelope) {
        trace.column(restStart, std::min(from, static_cast<long long>(std::ceil(last))), 0);
    } else {
        trace.point(restStart, static_cast<std::size_t>(restStart));
    }
    draw(from, last, 0);
}

void drawTitle(const Frame& f, LabelPlacer& labels) {
    const TitleLines lines = splitTitle(f.model.generalTitle);
    const double x = f.layout.legendSquareX();  // the title stands over the legend
    const bool placed = labels.place(
        {lines.first, x, PlotLayout::titleBaseline, TextAlignment::leftBaseline, black}, LabelFont::sans);
    labels.place({lines.second, x, PlotLayout::secondTitleBaseline, TextAlignment::leftBaseline, black},
                 LabelFont::sans, placed);
}

// The display's Y maximum, 0 when inside the range, and Y minimum, each with its tick.
void layOutYValues(const Frame& f, unsigned i, LabelPlacer& labels, std::vector<OverTraces::Tick>& ticks) {
    const Display& d = f.model.displays[i];
    const double x0 = f.model.frames ? f.left : f.width;
    const auto rowOf = [&](double value) { return f.layout.valueToY(i, value); };
    const auto tick = [&](double y) { ticks.push_back({x0 - tickLength, x0, y}); };
    const double top = rowOf(d.yMax);
    labels.place({formatAxisValue(d.yMax, d.yMin, d.yMax), x0 - 3, top, TextAlignment::rightTop, black},
                 LabelFont::monospace);
    tick(top);
    if (d.yMin * d.yMax < 0) {
        char zero[16];
        std::snprintf(zero, sizeof zero, "%.4g", 0.0);
        const double y = rowOf(0.0);
        labels.place({zero, x0 - 3, y, TextAlignment::rightBaseline, black}, LabelFont::monospace);
        tick(y);
    }
    const double bottom = rowOf(d.yMin);
    labels.place(
        {formatAxisValue(d.yMin, d.yMin, d.yMax), x0 - 3, bottom - 3, TextAlignment::rightBaseline, black},
        LabelFont::monospace);
    tick(bottom);
}

// Everything written over the traces, in order of importance: a text that would overlap one placed
// before it is left out. The legend squares stand where the layout puts them whatever else is there.
OverTraces layOutLabels(const Frame& f, PlotViewCache* cache) {
    OverTraces laidOut;
    laidOut.lineWidth = f.refWidth;
    laidOut.fontSize = f.fontSize;
    laidOut.surfaceKind = f.surfaceKind;
    LabelPlacer labels(f.cr, f.fontSize, f.surfaceKind, cache ? &cache->textExtents : nullptr);
    drawTitle(f, labels);
    layOutLegend(f, labels, laidOut.squares);
    for (unsigned i = 0; i < f.model.displays.size(); ++i) {
        if (f.layout.isDisplayVisible(i, f.height)) layOutYValues(f, i, labels, laidOut.ticks);
    }
    for (const Label& label : *f.lineLabels) labels.place(label, LabelFont::monospace);
    if (!f.model.frames) {
        const std::string range =
            std::to_string(f.first) + ":" + std::to_string(static_cast<long long>(f.last - 1.0));
        labels.place({range, 0, f.height - 5.0, TextAlignment::leftBaseline, black}, LabelFont::monospace);
    }
    if (cache) cache->labelBoxes = labels.boxes();
    laidOut.texts = labels.takeTexts();
    return laidOut;
}

// The pixels a legend square or a tick may write: its box with the line width (more than the
// mitred corners reach) and a margin for antialiasing.
double strokeMargin(double lineWidth) {
    return (std::isfinite(lineWidth) ? std::fabs(lineWidth) : 1e8) + 2.0;
}

cairo_rectangle_int_t pixelsOf(const OverTraces::Square& s, double lineWidth) {
    return pixelsAround({s.x, s.y, s.x + s.size, s.y + s.size}, strokeMargin(lineWidth));
}

cairo_rectangle_int_t pixelsOf(const OverTraces::Tick& t, double lineWidth) {
    return pixelsAround({t.x0, t.y, t.x1, t.y}, strokeMargin(lineWidth));
}

bool reaches(const cairo_region_t* within, const cairo_rectangle_int_t& pixels) {
    return !within || cairo_region_contains_rectangle(within, &pixels) != CAIRO_REGION_OVERLAP_OUT;
}

bool operator==(const OverTraces::Square& a, const OverTraces::Square& b) {
    return a.x == b.x && a.y == b.y && a.size == b.size && a.filled == b.filled && a.colour == b.colour;
}

bool operator==(const OverTraces::Tick& a, const OverTraces::Tick& b) {
    return a.x0 == b.x0 && a.x1 == b.x1 && a.y == b.y;
}

// Adds to `region` the pixels of the items at the same index in both lists that differ, and of the
// items only one of them has.
template <class Item>
void addDiffering(cairo_region_t* region, const std::vector<Item>& before, const std::vector<Item>& after,
                  double widthBefore, double widthAfter) {
    for (std::size_t i = 0; i < std::max(before.size(), after.size()); ++i) {
        if (i < before.size() && i < after.size() && before[i] == after[i] && widthBefore == widthAfter)
            continue;
        for (const auto* items : {&before, &after}) {
            if (i >= items->size()) continue;
            const cairo_rectangle_int_t pixels =
                pixelsOf((*items)[i], items == &before ? widthBefore : widthAfter);
            cairo_region_union_rectangle(region, &pixels);
        }
    }
}

// Adds to `region` the pixels of the texts of `texts` that `others` does not have.
void addUnmatched(cairo_region_t* region, const std::vector<PlacedText>& texts,
                  const std::vector<PlacedText>& others) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const PlacedText& t = texts[i];
        // Most texts keep their place in the list: look there first.
        if (i < others.size() && t.sameAs(others[i])) continue;
        if (std::any_of(others.begin(), others.end(), [&](const PlacedText& o) { return t.sameAs(o); }))
            continue;
        const cairo_rectangle_int_t pixels = t.pixels();
        cairo_region_union_rectangle(region, &pixels);
    }
}

// The display's grid, reference lines and frame, whose values wait in f.lineLabels.
void drawDisplayLines(const Frame& f, unsigned i) {
    cairo_t* cr = f.cr;
    const Display& d = f.model.displays[i];
    const int level = d.gridLevel < 0 ? f.model.gridLevel : d.gridLevel;
    if (level > 0) {
        setColour(cr, gridColour);
        setDash(cr);
        drawGrid(f, i, level);
        endLines(f);
        cairo_set_dash(cr, nullptr, 0, 0.0);
        setBlack(cr);
    }
    if (!d.refLines.empty()) {
        setDash(cr);
        for (const double value : d.refLines) {
            if (d.yMin < value && value < d.yMax)
                drawHLine(cr, f.layout, i, value, f.width, true, black, f.lineLabels);
        }
        endLines(f);
        cairo_set_dash(cr, nullptr, 0, 0.0);
    }
    if (f.model.frames) drawFrame(f, i);
    endLines(f);
}

// Whether graph g has a trace to draw.
bool hasTrace(const Frame& f, unsigned g) {
    const Graph& graph = f.model.graphs[g];
    return graph.enabled && graph.samples.size() > 1 &&
           f.layout.isDisplayVisible(f.model.effectiveDisplayOf(g), f.height);
}

// The values from, from + step, ... (count of them) times scale into out; false where a value is not
// finite or its scaled value not a number (hasRow). Apart, and with the answer kept
// in a double, so that the compiler works the loop in vector registers.
[[gnu::noinline]] bool scaleRun(const double* from, std::size_t step, std::size_t count, double scale,
                                double* out) {
    double unshown = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double value = from[i * step];
        const double scaled = scale * value;
        out[i] = scaled;
        unshown = hasRow(value, scaled) ? unshown : 1.0;
    }
    return unshown == 0.0;
}

// The scaled values of a graph's samples in count slots from slot on, step apart round the ring,
// into out; false where one of them has no value to show (as TracePoints::valueAt). The slots are
// read in runs up to where they wrap.
bool scaledValues(const Graph& graph, std::size_t slot, std::size_t step, std::size_t count, double* out) {
    const std::size_t samples = graph.samples.size();
    const bool allReceived = graph.receivedCount >= samples;
    for (std::size_t i = 0; i < count;) {
        const std::size_t run = std::min(count - i, (samples - slot + step - 1) / step);
        for (std::size_t j = 0; !allReceived && j < run; ++j) {
            if (!graph.received(slot + j * step)) return false;
        }
        if (!scaleRun(graph.samples.data() + slot, step, run, graph.scale, out + i)) return false;
        i += run;
        slot += run * step;
        if (slot >= samples) slot -= samples;
    }
    return true;
}

// Draws the traces of graphs (count of them, in this order, at most the rasteriser's lanes) that
// hold the same number of samples, so that their points share the columns, together; false, having
// drawn nothing, where one has a gap or a segment the rasteriser does not draw together.
bool drawTogether(const Frame& f, const unsigned* graphs, int count, ImageRasteriser& rasteriser,
                  std::vector<double>& points) {
    const PlotModel& model = f.model;
    const std::size_t samples = model.graphs[graphs[0]].samples.size();
    const long long first = f.first, step = f.step;
    const double last = lastPosition(f, samples);
    if (!(last > static_cast<double>(first))) return true;  // a single visible sample has no width
    // The positions first, first + step, ... before last.
    auto n =
        static_cast<std::size_t>(std::ceil((last - static_cast<double>(first)) / static_cast<double>(step)));
    while (n > 0 && !(static_cast<double>(first + static_cast<long long>(n - 1) * step) < last)) --n;
    points.resize(n * static_cast<std::size_t>(count + 1));
    double* const xs = points.data();
    const double* ys[ImageRasteriser::laneCount];
    Colour colours[ImageRasteriser::laneCount];
    std::size_t slot = static_cast<std::size_t>(first) + scrollingOffset(model, samples);
    if (slot >= samples) slot -= samples;
    for (int lane = 0; lane < count; ++lane) {
        const Graph& graph = model.graphs[graphs[lane]];
        const TracePoints at(f, graph, model.effectiveDisplayOf(graphs[lane]), last);
        double* const rows = xs + n * static_cast<std::size_t>(lane + 1);
        if (!scaledValues(graph, slot, static_cast<std::size_t>(step), n, rows)) return false;
        at.rowOf.inPlace(rows, n);
        if (lane == 0) {
            for (std::size_t i = 0; i < n; ++i) xs[i] = at.xOf(first + static_cast<long long>(i) * step);
        }
        ys[lane] = rows;
        colours[lane] = graph.colour;
    }
    return rasteriser.drawLanes(xs, ys, colours, count, static_cast<int>(n));
}

// Every enabled graph in the display it is shown in, graph 0 last so that it ends on top.
void drawTraces(const Frame& f, PlotViewCache* cache) {
    const PlotModel& model = f.model;
    cairo_t* cr = f.cr;
    cairo_set_line_width(cr, f.lineWidth);
    // cairo's fast antialiasing samples each pixel on a coarser grid than the default: thin lines
    // look the same and rasterize about three times faster. Faster still, on an image the graphs'
    // pixels are written directly.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_FAST);
    {
        // Without a cache of its own, a frame builds what it needs and lets it go.
        PlotViewCache frameCache;
        PlotViewCache& kept = cache ? *cache : frameCache;
        kept.summaries.resize(model.graphs.size());
        const std::unique_ptr<ImageRasteriser> rasteriser =
            ImageRasteriser::forContext(cr, f.lineWidth, kept.rasterScratch);
        RunStroker stroker(cr, f.surfaceKind == SurfaceKind::screen);
        PolylineSink& sink = rasteriser ? static_cast<PolylineSink&>(*rasteriser) : stroker;
        // Where cairo strokes, which pixels it writes is not known.
        if (!rasteriser && kept.rasterScratch.ink) kept.rasterScratch.ink->markAll();
        const auto draw = [&](unsigned g) {
            drawGraph(f, g, kept.summaries[g], model.effectiveDisplayOf(g), sink);
        };
        // Plain polylines (no envelope, no sweep) of neighbouring graphs are drawn a few at a time.
        const bool together = rasteriser && !(model.envelope && f.step > 1) && !model.highFrequency;
        for (auto g = static_cast<unsigned>(model.graphs.size()); g-- > 0;) {
            if (!hasTrace(f, g)) continue;
            if (!together) {
                draw(g);
                continue;
            }
            // This graph and the next ones with a trace and as many samples.
            unsigned graphs[ImageRasteriser::laneCount];
            int count = 0;
            for (unsigned h = g + 1; h-- > 0 && count < ImageRasteriser::laneCount;) {
                if (!hasTrace(f, h)) continue;
                if (model.graphs[h].samples.size() != model.graphs[g].samples.size()) break;
                graphs[count++] = h;
            }
            if (!drawTogether(f, graphs, count, *rasteriser, kept.lanePoints)) {
                for (int lane = 0; lane < count; ++lane) draw(graphs[lane]);
            }
            g = graphs[count - 1];
        }
    }
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
}

}  // namespace

int gridStepX(const PlotLayout& layout, unsigned display, double a, double b, long long first, double last,
              int width) {
    const PlotModel& model = layout.plotModel();
    const double left = layout.left();
    const double plotWidth = width - left;
    const double samples = last - static_cast<double>(first);
    if (display >= model.displays.size() || !(plotWidth > 0) || !(samples > 0)) return 1;
    const double d = std::fabs(layout.valueToY(display, a) - layout.valueToY(display, b));
    const double interval = samples * std::clamp(d, 0.0, plotWidth) / plotWidth;
    const Display& scale = model.displays[display];
    double unitsPerSample = 0.0;
    if (hasXScale(scale)) {
        unitsPerSample = std::fabs(scale.xScaleMax - scale.xScaleMin) / (scale.xScaleSize - 1.0);
    } else if (model.samplingRate > 0) {
        unitsPerSample = 1.0 / model.samplingRate;  // seconds
    }
    double k = 0.0;
    if (unitsPerSample > 0) {
        k = std::trunc(oneSignificantDigit(interval * unitsPerSample) / unitsPerSample + 0.5);
    } else {
        k = oneSignificantDigit(interval);
    }
    // Lines closer together would only fill the plot, as in the short bands of many displays.
    k = std::max(k, std::ceil(minGridSpacing * samples / plotWidth));
    if (!(k >= 1)) return 1;
    return k >= INT_MAX ? INT_MAX : static_cast<int>(k);
}

void drawHLine(cairo_t* cr, const PlotLayout& layout, unsigned display, double value, int width,
               bool wantLabel, const Colour& labelColour, std::vector<Label>* labels) {
    const PlotModel& model = layout.plotModel();
    if (display >= model.displays.size()) return;
    const Display& d = model.displays[display];
    const double y = layout.valueToY(display, value);
    if (!std::isfinite(y)) return;
    const double left = layout.left();
    cairo_move_to(cr, left, y);
    cairo_line_to(cr, width, y);
    if (!labels || !(wantLabel || model.frames) || value == 0 || !(d.yMin < value && value < d.yMax)) return;
    if (y <= layout.band(display).top + PlotLayout::labelKeepOut ||
        y >= layout.frameBottom(display) - PlotLayout::labelKeepOut)
        return;
    const std::string text = formatAxisValue(value, d.yMin, d.yMax);
    if (model.frames) {
        labels->push_back({text, left - 3, y + 3, TextAlignment::rightBaseline, labelColour});
    } else {
        labels->push_back({text, width - 3.0, y - 3, TextAlignment::rightBaseline, labelColour});
    }
}

void drawVLine(cairo_t* cr, const PlotLayout& layout, unsigned display, long long sampleIndex,
               long long first, double last, int width, bool wantLabel, const Colour& labelColour,
               std::vector<Label>* labels) {
    const PlotModel& model = layout.plotModel();
    const auto firstSample = static_cast<double>(first);
    if (display >= model.displays.size() || !(last > firstSample)) return;
    const double left = layout.left();
    const auto k = static_cast<double>(sampleIndex);
    const double x =
        left + (width - left) * (std::clamp(k, firstSample, last) - firstSample) / (last - firstSample);
    const double bottom = layout.frameBottom(display);
    cairo_move_to(cr, x, layout.band(display).top);
    cairo_line_to(cr, x, bottom);
    if (labels && wantLabel && x > left + 20 && x < width - 20 && firstSample < k && k < last) {
        labels->push_back({xLabelText(model, static_cast<int>(display), sampleIndex, firstSample, last), x,
                           bottom, TextAlignment::rightTop, labelColour});
    }
}

std::string xLabelText(const PlotModel& model, int display, long long sampleIndex, double first,
                       double last) {
    const auto k = static_cast<double>(sampleIndex);
    if (const Display* d = xScaleOf(model, display)) {
        const double value = d->xScaleMin + k * (d->xScaleMax - d->xScaleMin) / (d->xScaleSize - 1.0);
        return formatAxisValue(value, d->xScaleMin, d->xScaleMax);
    }
    if (model.samplingRate > 0) {
        // The digits follow the seconds in view, so that neighbouring grid lines read apart.
        const double rate = model.samplingRate;
        return formatAxisValue(k / rate, first / rate, last / rate) + "s";
    }
    return std::to_string(sampleIndex);
}

namespace {

// Draws a part of the plot, or with `laidOut` and without `paint` only lays out the part over the
// traces.
void plotPart(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
              const VerticalView& vertical, SurfaceKind surfaceKind, PlotPart part, PlotViewCache* cache,
              OverTraces* laidOut, bool paint) {
    if (laidOut) *laidOut = OverTraces{};
    // Nothing at all, not even the title, without a graph; an axis of one slot has nothing to show.
    if (model.graphs.empty() || model.xSize < 2) return;
    CairoSaveGuard saved(cr);

    const double xEnd = model.xSize - 1.0;
    const double first =
        std::isfinite(horizontal.first) ? std::clamp(std::trunc(horizontal.first), 0.0, xEnd) : 0.0;
    const double span = std::isfinite(horizontal.span) ? std::max(horizontal.span, 0.0) : 0.0;
    const double lineWidth = finiteOr(model.lineWidth, 1.0);
    double refWidth = finiteOr(model.refLineWidth, 0.0);
    if (refWidth > -1e-9 && refWidth < 1e-9) refWidth = lineWidth / 2;  // zero means half the line width
    const PlotLayout layout(model, plotRowsOf(horizontal, vertical));
    std::vector<Label> lineLabels;
    const Frame f{model,
                  layout,
                  cr,
                  horizontal.width,
                  vertical.height,
                  layout.left(),
                  static_cast<long long>(first),
                  span,
                  std::min(first + span, xEnd),
                  std::max(horizontal.step, 1),
                  surfaceKind,
                  lineWidth,
                  refWidth,
                  finiteOr(model.fontSize, 10.0),
                  part == PlotPart::overTraces ? &lineLabels : nullptr,
                  part == PlotPart::underTraces};

    // The part over the traces writes the values of the lines the part under them draws: it walks
    // the same lines, painting nothing, to learn them.
    if (part != PlotPart::traces) {
        selectFont(cr, "monospace", f.fontSize);
        cairo_set_line_width(cr, f.refWidth);
        setBlack(cr);
        for (unsigned i = 0; i < model.displays.size(); ++i) {
            if (f.layout.isDisplayVisible(i, f.height)) drawDisplayLines(f, i);
        }
    }
    switch (part) {
        case PlotPart::underTraces:
            if (model.crosshairX >= f.left) drawCrosshair(f);
            break;
        case PlotPart::traces: drawTraces(f, cache); break;
        case PlotPart::overTraces: {
            OverTraces laid = layOutLabels(f, cache);
            if (paint) {
                drawOverTraces(cr, laid);
                drawReadout(cr, model, f.layout, horizontal, f.width, f.height, f.refWidth, surfaceKind);
            }
            if (laidOut) *laidOut = std::move(laid);
            break;
        }
    }
}

}  // namespace

void drawPlotPart(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
                  const VerticalView& vertical, SurfaceKind surfaceKind, PlotPart part, PlotViewCache* cache,
                  OverTraces* laidOut) {
    plotPart(model, cr, horizontal, vertical, surfaceKind, part, cache, laidOut, true);
}

OverTraces layOutOverTraces(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
                            const VerticalView& vertical, SurfaceKind surfaceKind, PlotViewCache* cache) {
    OverTraces laidOut;
    plotPart(model, cr, horizontal, vertical, surfaceKind, PlotPart::overTraces, cache, &laidOut, false);
    return laidOut;
}

void drawOverTraces(cairo_t* cr, const OverTraces& laidOut, const cairo_region_t* within) {
    // The context is left in the last text's font: the readout drawn next measures in it.
    cairo_new_path(cr);
    cairo_set_line_width(cr, laidOut.lineWidth);
    for (const OverTraces::Square& square : laidOut.squares) {
        if (!reaches(within, pixelsOf(square, laidOut.lineWidth))) continue;
        setColour(cr, square.colour);
        cairo_rectangle(cr, square.x, square.y, square.size, square.size);
        if (square.filled) cairo_fill_preserve(cr);
        cairo_stroke(cr);
    }
    setBlack(cr);
    for (const OverTraces::Tick& tick : laidOut.ticks) {
        cairo_move_to(cr, tick.x0, tick.y);
        cairo_line_to(cr, tick.x1, tick.y);
    }
    cairo_stroke(cr);
    drawPlacedTexts(cr, laidOut.texts, laidOut.fontSize, laidOut.surfaceKind, within);
}

RegionPtr differingPixels(const OverTraces& before, const OverTraces& after, int width, int height) {
    const cairo_rectangle_int_t whole{0, 0, std::max(width, 0), std::max(height, 0)};
    if (before.fontSize != after.fontSize || before.surfaceKind != after.surfaceKind)
        return RegionPtr{cairo_region_create_rectangle(&whole)};
    RegionPtr region{cairo_region_create()};
    addDiffering(region.get(), before.squares, after.squares, before.lineWidth, after.lineWidth);
    addDiffering(region.get(), before.ticks, after.ticks, before.lineWidth, after.lineWidth);
    addUnmatched(region.get(), before.texts, after.texts);
    addUnmatched(region.get(), after.texts, before.texts);
    cairo_region_intersect_rectangle(region.get(), &whole);
    return region;
}

void drawPlot(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
              const VerticalView& vertical, SurfaceKind surfaceKind, PlotViewCache* cache) {
    for (const PlotPart part : {PlotPart::underTraces, PlotPart::traces, PlotPart::overTraces})
        drawPlotPart(model, cr, horizontal, vertical, surfaceKind, part, cache);
}
