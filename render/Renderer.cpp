#include "render/Renderer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>

#include "model/ValueRange.h"
#include "render/CairoPtr.h"
#include "render/ImageRasteriser.h"
#include "render/SampleExtremes.h"
#include "render/TextLayout.h"

namespace {

constexpr double tickLength = 10.0;
constexpr long long highFrequencyGap = 20;
// A graph is stroked in runs of at most this many segments and this much vertical travel in pixels
// (see RunStroker): long runs for smooth data, short ones for noise.
constexpr int segmentsPerStroke = 64;
constexpr double travelPerStroke = 100.0;

double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

// An X scale labels the axis only with two samples at least and a finite, non-empty range.
bool hasXScale(const Display& d) {
    return d.xScaleSize >= 2 && std::isfinite(d.xScaleMax - d.xScaleMin) && d.xScaleMax != d.xScaleMin;
}

// v cut to one significant digit toward zero; 0 for values that are not positive and finite.
double oneSignificantDigit(double v) {
    if (!(v > 1e-300) || !std::isfinite(v)) return 0.0;
    double k = 1.0;
    while (v > k) k *= 10.0;
    while (v < k) k /= 10.0;
    return k * std::trunc(v / k + 1e-9);  // 0.3 / 0.1 is a hair below 3
}

void setBlack(cairo_t* cr) {
    cairo_set_source_rgb(cr, 0.0, 0.0, 0.0);
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
};

void drawGrid(const Frame& f, unsigned i, int level) {
    const Display& d = f.model.displays[i];
    const auto line = [&](double value) {
        drawHLine(f.cr, f.layout, i, value, f.width, false, f.surfaceKind);
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
    long long n = 1;
    for (long long s = start; static_cast<double>(s) < f.last; s += k, ++n) {
        drawVLine(f.cr, f.layout, i, s, f.first, f.last, f.width, f.model.frames && n % labelPeriod == 0,
                  f.surfaceKind);
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
    const int display = static_cast<int>(i);
    drawXLabel(f.cr, f.model, display, f.left, frameBottom, f.first, TextAlignment::rightTop, f.surfaceKind);
    drawXLabel(f.cr, f.model, display, right, frameBottom, static_cast<long long>(f.last - 1.0),
               TextAlignment::rightTop, f.surfaceKind);
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
    const auto sample = static_cast<long long>(s);
    if (cx > f.width - 5 * f.fontSize) {
        drawXLabel(f.cr, f.model, display, cx - 3, f.height - 5, sample, TextAlignment::rightBaseline,
                   f.surfaceKind);
    } else {
        drawXLabel(f.cr, f.model, display, cx + 3, f.height - 5, sample, TextAlignment::leftBaseline,
                   f.surfaceKind);
    }
    cairo_stroke(f.cr);
}

void drawLegend(const Frame& f) {
    const PlotModel& model = f.model;
    const double squareX = f.layout.legendSquareX();
    const double titleX = f.layout.legendTitleX();
    const double size = PlotLayout::legendSquareSize;
    for (std::size_t g = model.graphs.size(); g-- > 0;) {
        const Graph& graph = model.graphs[g];
        const double y = f.layout.legendBaseline(static_cast<unsigned>(g));
        cairo_set_source_rgb(f.cr, graph.colour.red, graph.colour.green, graph.colour.blue);
        cairo_rectangle(f.cr, squareX, y - size, size, size);
        if (graph.enabled) cairo_fill_preserve(f.cr);
        placeText(f.cr, titleX, y, graph.title, TextAlignment::leftBaseline, f.surfaceKind);
        cairo_stroke(f.cr);
    }
}

// The points of one graph: sample k of the visible range at its column, its value at its row, and
// a gap where the value is not a number or infinite.
class Trace {
  public:
    Trace(const Frame& frame, const Graph& g, const SampleSummary& blocks, unsigned shownDisplay,
          double lastSample, PolylineSink& sink)
        : f(frame), graph(g), summary(blocks), display(shownDisplay), last(lastSample), stroker(sink) {
        stroker.colour(graph.colour);
    }
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;
    ~Trace() { stroker.finish(); }

    void point(long long k, std::size_t slot) {
        const double value = graph.samples[slot];
        const double scaled = graph.scale * value;
        if (!std::isfinite(value) || std::isnan(scaled)) {
            stroker.finish();
            return;
        }
        stroker.point(xOf(k), f.layout.valueToY(display, scaled));
    }
    // The column of sample k spanning the samples at positions k..end-1 (slot of position p:
    // (p + offset) mod the sample count), from the row of their minimum to that of their maximum.
    // A column holding a value that is not a number or infinite is a gap, as such a point is.
    void column(long long k, long long end, std::size_t offset) {
        const std::size_t count = graph.samples.size();
        const auto length = static_cast<std::size_t>(end - k);
        const std::size_t from = (static_cast<std::size_t>(k) + offset) % count;
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
        const double yLow = f.layout.valueToY(display, low);
        const double yHigh = f.layout.valueToY(display, high);
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
    double xOf(long long k) const {
        return f.left +
               static_cast<double>(k - f.first) * (f.width - f.left) / (last - static_cast<double>(f.first));
    }

    const Frame& f;
    const Graph& graph;
    const SampleSummary& summary;
    unsigned display;
    double last;
    PolylineSink& stroker;
};

// summary: the graph's min/max summary, brought up to date here when the envelope is drawn.
void drawGraph(const Frame& f, unsigned g, SampleSummary& summary, unsigned display, PolylineSink& sink) {
    const Graph& graph = f.model.graphs[g];
    const std::size_t count = graph.samples.size();
    const long long first = f.first;
    const double last = std::min(static_cast<double>(count) - 1.0, static_cast<double>(first) + f.span);
    if (!(last > static_cast<double>(first))) return;  // a single visible sample has no width
    const long long step = f.step;
    const auto before = [&](long long k, double end) { return static_cast<double>(k) < end; };
    Trace trace(f, graph, summary, display, last, sink);
    // Positions k < end are drawn; zoomed out in Min/Max Envelope mode each drawn point stands for
    // the samples up to the next one, otherwise for its own sample only.
    const bool envelope = f.model.envelope && step > 1;
    if (envelope) refreshSummary(f.model, g, summary);
    const auto draw = [&](long long k, double end, std::size_t offset) {
        if (!envelope) {
            trace.point(k, (static_cast<std::size_t>(k) + offset) % count);
            return;
        }
        const auto endPosition = static_cast<long long>(std::ceil(end));
        trace.column(k, std::min(k + step, endPosition), offset);
    };
    if (!f.model.highFrequency) {
        // Position k shows the sample that arrived X size - 2 - k lines before the newest one.
        const auto offset = static_cast<std::size_t>(f.model.writeIndex) + 1;
        for (long long k = first; before(k, last); k += step) draw(k, last, offset);
        return;
    }
    // The trace stays in place and the write position sweeps across it, with a gap after it.
    const double w = std::min(last, static_cast<double>(f.model.writeIndex));
    const bool rest = w + static_cast<double>(step + highFrequencyGap) < last;
    if (static_cast<double>(first + step) < w) {
        for (long long k = first; before(k, w); k += step) draw(k, w, 0);
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
    for (long long k = from; before(k, last); k += step) draw(k, last, 0);
}

void drawTitle(const Frame& f) {
    const std::string& title = f.model.generalTitle;
    std::string firstLine = title, secondLine;
    if (title.size() > 20) {
        const std::size_t cut = title.find(" :: ", title.size() / 2);
        if (cut != std::string::npos) {
            firstLine = title.substr(0, cut);
            secondLine = title.substr(cut + 4);
        }
    }
    const double x = f.layout.legendSquareX();  // the title stands over the legend
    placeText(f.cr, x, PlotLayout::titleBaseline, firstLine, TextAlignment::leftBaseline, f.surfaceKind);
    if (!secondLine.empty())
        placeText(f.cr, x, PlotLayout::secondTitleBaseline, secondLine, TextAlignment::leftBaseline,
                  f.surfaceKind);
}

void drawYValues(const Frame& f, unsigned i) {
    const Display& d = f.model.displays[i];
    const double x0 = f.model.frames ? f.left : f.width;
    const auto rowOf = [&](double value) { return f.layout.valueToY(i, value); };
    const auto tick = [&](double y) {
        cairo_move_to(f.cr, x0 - tickLength, y);
        cairo_line_to(f.cr, x0, y);
    };
    const double top = rowOf(d.yMax);
    placeText(f.cr, x0 - 3, top, formatAxisValue(d.yMax, d.yMin, d.yMax), TextAlignment::rightTop,
              f.surfaceKind);
    tick(top);
    if (d.yMin * d.yMax < 0) {
        char zero[16];
        std::snprintf(zero, sizeof zero, "%.4g", 0.0);
        const double y = rowOf(0.0);
        placeText(f.cr, x0 - 3, y, zero, TextAlignment::rightBaseline, f.surfaceKind);
        tick(y);
    }
    const double bottom = rowOf(d.yMin);
    placeText(f.cr, x0 - 3, bottom - 3, formatAxisValue(d.yMin, d.yMin, d.yMax), TextAlignment::rightBaseline,
              f.surfaceKind);
    tick(bottom);
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
    double k = 0.0;
    if (hasXScale(scale)) {
        const double unitsPerSample = std::fabs(scale.xScaleMax - scale.xScaleMin) / (scale.xScaleSize - 1.0);
        k = std::trunc(oneSignificantDigit(interval * unitsPerSample) / unitsPerSample + 0.5);
    } else {
        k = oneSignificantDigit(interval);
    }
    // Lines closer than a pixel column apart would only fill the plot.
    k = std::max(k, std::ceil(samples / plotWidth));
    if (!(k >= 1)) return 1;
    return k >= INT_MAX ? INT_MAX : static_cast<int>(k);
}

void drawHLine(cairo_t* cr, const PlotLayout& layout, unsigned display, double value, int width,
               bool wantLabel, SurfaceKind surfaceKind) {
    const PlotModel& model = layout.plotModel();
    if (display >= model.displays.size()) return;
    const Display& d = model.displays[display];
    const double y = layout.valueToY(display, value);
    if (!std::isfinite(y)) return;
    const double left = layout.left();
    cairo_move_to(cr, left, y);
    cairo_line_to(cr, width, y);
    if (!(wantLabel || model.frames) || value == 0 || !(d.yMin < value && value < d.yMax)) return;
    if (y <= layout.band(display).top + PlotLayout::labelKeepOut ||
        y >= layout.frameBottom(display) - PlotLayout::labelKeepOut)
        return;
    const std::string text = formatAxisValue(value, d.yMin, d.yMax);
    if (model.frames) {
        placeText(cr, left - 3, y + 3, text, TextAlignment::rightBaseline, surfaceKind);
    } else {
        placeText(cr, width - 3, y - 3, text, TextAlignment::rightBaseline, surfaceKind);
    }
}

void drawVLine(cairo_t* cr, const PlotLayout& layout, unsigned display, long long sampleIndex,
               long long first, double last, int width, bool wantLabel, SurfaceKind surfaceKind) {
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
    if (wantLabel && x > left + 20 && x < width - 20 && firstSample < k && k < last) {
        drawXLabel(cr, model, static_cast<int>(display), x, bottom, sampleIndex, TextAlignment::rightTop,
                   surfaceKind);
    }
}

void drawXLabel(cairo_t* cr, const PlotModel& model, int display, double x, double y, long long sampleIndex,
                TextAlignment alignment, SurfaceKind surfaceKind) {
    std::string text;
    if (display >= 0 && static_cast<unsigned>(display) < model.displays.size() &&
        hasXScale(model.displays[static_cast<unsigned>(display)])) {
        const Display& d = model.displays[static_cast<unsigned>(display)];
        const double value = d.xScaleMin + static_cast<double>(sampleIndex) * (d.xScaleMax - d.xScaleMin) /
                                               (d.xScaleSize - 1.0);
        text = formatAxisValue(value, d.xScaleMin, d.xScaleMax);
    } else {
        text = std::to_string(sampleIndex);
    }
    placeText(cr, x, y, text, alignment, surfaceKind);
}

namespace {

// The crosshair and the texts over the traces take the reference-line width.
double refWidthOf(const PlotModel& model, double lineWidth) {
    const double refWidth = finiteOr(model.refLineWidth, 0.0);
    return refWidth > -1e-9 && refWidth < 1e-9 ? lineWidth / 2 : refWidth;  // zero means half the line width
}

// Grids, reference lines, frames, the crosshair and the legend.
void drawUnderTraces(const Frame& f) {
    const PlotModel& model = f.model;
    cairo_t* cr = f.cr;
    const auto visible = [&](unsigned i) { return f.layout.isDisplayVisible(i, f.height); };
    selectFont(cr, "monospace", f.fontSize);
    cairo_set_line_width(cr, f.refWidth);
    setBlack(cr);
    for (unsigned i = 0; i < model.displays.size(); ++i) {
        if (!visible(i)) continue;
        const Display& d = model.displays[i];
        const int level = d.gridLevel < 0 ? model.gridLevel : d.gridLevel;
        if (level > 0) {
            cairo_set_source_rgb(cr, 1.0, 0.5, 0.5);
            setDash(cr);
            drawGrid(f, i, level);
            cairo_stroke(cr);
            cairo_set_dash(cr, nullptr, 0, 0.0);
            setBlack(cr);
        }
        if (!d.refLines.empty()) {
            setDash(cr);
            for (const double value : d.refLines) {
                if (d.yMin < value && value < d.yMax) {
                    drawHLine(cr, f.layout, i, value, f.width, true, f.surfaceKind);
                }
            }
            cairo_stroke(cr);
            cairo_set_dash(cr, nullptr, 0, 0.0);
        }
        if (model.frames) drawFrame(f, i);
        cairo_stroke(cr);
    }
    if (model.crosshairX >= f.left) drawCrosshair(f);

    selectFont(cr, "sans-serif", f.fontSize);
    drawLegend(f);
}

void drawTraces(const Frame& f, PlotViewCache* cache) {
    const PlotModel& model = f.model;
    cairo_t* cr = f.cr;
    cairo_set_line_width(cr, f.lineWidth);
    // cairo's fast antialiasing samples each pixel on a coarser grid than the default: thin lines
    // look the same and rasterize about three times faster. Faster still, on an image the graphs'
    // pixels are written directly.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_FAST);
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
    for (std::size_t g = model.graphs.size(); g-- > 0;) {  // graph 0 ends on top
        const Graph& graph = model.graphs[g];
        const auto index = static_cast<unsigned>(g);
        const unsigned display = model.effectiveDisplayOf(index);
        if (graph.enabled && graph.samples.size() > 1 && f.layout.isDisplayVisible(display, f.height))
            drawGraph(f, index, kept.summaries[g], display, sink);
    }
}

// The title, the Y values and the visible range.
void drawOverTraces(const Frame& f) {
    const PlotModel& model = f.model;
    cairo_t* cr = f.cr;
    selectFont(cr, "sans-serif", f.fontSize);
    cairo_set_line_width(cr, f.refWidth);
    setBlack(cr);
    drawTitle(f);

    selectFont(cr, "monospace", f.fontSize);
    for (unsigned i = 0; i < model.displays.size(); ++i) {
        if (f.layout.isDisplayVisible(i, f.height)) drawYValues(f, i);
    }
    if (!model.frames) {
        const std::string range =
            std::to_string(f.first) + ":" + std::to_string(static_cast<long long>(f.last - 1.0));
        placeText(cr, 0, f.height - 5, range, TextAlignment::leftBaseline, f.surfaceKind);
    }
    cairo_stroke(cr);
}

}  // namespace

void drawPlotPart(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
                  const VerticalView& vertical, SurfaceKind surfaceKind, PlotPart part,
                  PlotViewCache* cache) {
    // Nothing at all, not even the title, without a graph; an axis of one slot has nothing to show.
    if (model.graphs.empty() || model.xSize < 2) return;
    CairoSaveGuard saved(cr);

    const double xEnd = model.xSize - 1.0;
    const double first =
        std::isfinite(horizontal.first) ? std::clamp(std::trunc(horizontal.first), 0.0, xEnd) : 0.0;
    const double span = std::isfinite(horizontal.span) ? std::max(horizontal.span, 0.0) : 0.0;
    const double lineWidth = finiteOr(model.lineWidth, 1.0);
    const PlotLayout layout(model, plotRowsOf(vertical));
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
                  refWidthOf(model, lineWidth),
                  finiteOr(model.fontSize, 10.0)};
    switch (part) {
        case PlotPart::underTraces: drawUnderTraces(f); break;
        case PlotPart::traces: drawTraces(f, cache); break;
        case PlotPart::overTraces: drawOverTraces(f); break;
    }
}

void drawPlot(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
              const VerticalView& vertical, SurfaceKind surfaceKind, PlotViewCache* cache) {
    for (const PlotPart part : {PlotPart::underTraces, PlotPart::traces, PlotPart::overTraces})
        drawPlotPart(model, cr, horizontal, vertical, surfaceKind, part, cache);
}
