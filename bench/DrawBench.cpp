// One frame of the plotting area at 1920 x 1080 in Frames mode with grid level 5: drawPlot next to
// two baselines that stroke the same points as one cairo path per graph, (a) antialiased, the naive
// way, and (b) without antialiasing, close to what the machine can do. Noisy data crosses itself at
// nearly every pixel column, which is what makes one long antialiased path slow. Before timing,
// the 8- and 64-graph pictures of drawPlot and of baseline (a) are written as PNGs into the build
// directory for comparison by eye, and so are the pictures of 64 graphs in 64 displays. Zoomed out,
// Min/Max Envelope mode is timed next to plain decimation on the same samples.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <iterator>
#include <random>
#include <string>

#include "model/PlotModel.h"
#include "render/CairoPtr.h"
#include "render/PlotLayers.h"
#include "render/PlotLayout.h"
#include "render/Renderer.h"
#include "render/TextLayout.h"
#include "render/Views.h"

namespace {

constexpr int areaWidth = 1920;
constexpr int areaHeight = 1080;

// `graphs` noisy sines (about 10 % noise) of `slots` samples in `displays` displays, Frames mode,
// grid level 5.
PlotModel makeModel(unsigned graphs, unsigned displays, std::uint32_t slots, int xZoom) {
    PlotModel model;
    model.independentDisplays = false;
    model.frames = true;
    model.gridLevel = 5;
    model.xZoom = xZoom;
    model.maxXSize = noXLimit;
    model.setXSize(slots);
    while (model.displays.size() < displays) model.addDisplay(1);
    std::mt19937 random(graphs);
    std::normal_distribution<double> noise(0.0, 0.1);
    const double pi = std::acos(-1.0);
    for (unsigned g = 0; g < graphs; ++g) {
        model.addGraph("graph " + std::to_string(g));
        Graph& graph = model.graphs[g];
        for (std::uint32_t k = 0; k < slots; ++k) {
            const double v = std::sin(2 * pi * k / 700.0 + g) + noise(random);
            graph.samples[k] = v;
            graph.minValue = std::min(graph.minValue, v);
            graph.maxValue = std::max(graph.maxValue, v);
        }
        model.moveGraphToDisplay(g, g * displays / graphs);
    }
    model.writeIndex = slots / 3;
    model.markAllReceived();  // every slot drawn, as in a plot read from a file
    model.recomputeAllYRanges();
    return model;
}

struct Scene {
    PlotModel model;
    HorizontalView horizontal;
    VerticalView vertical;
};

Scene makeScene(unsigned graphs, unsigned displays, std::uint32_t slots, int xZoom, bool envelope = false,
                int width = areaWidth, int height = areaHeight) {
    Scene scene{makeModel(graphs, displays, slots, xZoom), {}, verticalViewFor(height, 0, 0)};
    scene.model.envelope = envelope;
    scene.horizontal = horizontalViewFor(width, true, slots, xZoom, 0);
    scene.model.xZoom = scene.horizontal.xZoom;
    return scene;
}

// The same graphs holding constant values: drawing them costs little, so what remains is the cost
// of reading the samples, which the envelope reads all of and plain decimation one per column.
Scene flatScene(unsigned graphs, std::uint32_t slots, int xZoom, bool envelope) {
    Scene scene = makeScene(graphs, 1, slots, xZoom, envelope);
    for (unsigned g = 0; g < graphs; ++g) scene.model.graphs[g].samples.assign(slots, 0.1 * g);
    scene.model.recomputeAllYRanges();
    return scene;
}

// A scene with the left button held in the middle of the area: the readout box beside it.
Scene withReadout(Scene scene) {
    scene.model.crosshairX = areaWidth / 2.0;
    scene.model.crosshairY = areaHeight / 2.0;
    return scene;
}

// One point per pixel column: 1861 slots fill the 1860 columns right of the frame margin. All graphs
// share one display, where they cross each other most; the fifth scene spreads them over 8, and the
// sixth is the start-up X axis of 610 slots. The rest are zoomed out as far as the area allows
// (27 and 538 samples per pixel column), each with plain decimation and then with the envelope.
// The last two put 64 graphs in 64 displays, one per band, in the window's start size and at full
// screen: bands of a few rows, each with its legend, values and frame.
// The last two are the first two with the readout of a held left button.
constexpr int fullyOut = -1000000;
const Scene& scene(int which) {
    static const Scene scenes[] = {makeScene(8, 1, 1861, 0),
                                   makeScene(64, 1, 1861, 0),
                                   makeScene(64, 1, 50000, 0),
                                   makeScene(64, 1, 50000, -99),
                                   makeScene(64, 8, 1861, 0),
                                   makeScene(8, 1, 610, 0),
                                   makeScene(64, 1, 50000, fullyOut),
                                   makeScene(64, 1, 50000, fullyOut, true),
                                   makeScene(8, 1, 1000000, fullyOut),
                                   makeScene(8, 1, 1000000, fullyOut, true),
                                   flatScene(8, 1000000, fullyOut, false),
                                   flatScene(8, 1000000, fullyOut, true),
                                   makeScene(64, 64, 610, 0, false, 660, 367),
                                   makeScene(64, 64, 1861, 0),
                                   withReadout(makeScene(8, 1, 1861, 0)),
                                   withReadout(makeScene(64, 1, 1861, 0))};
    return scenes[which];
}
const char* const sceneNames[] = {"8 graphs",
                                  "64 graphs",
                                  "64 graphs x 50000, zoom 0",
                                  "64 graphs x 50000, zoomed out",
                                  "64 graphs in 8 displays",
                                  "8 graphs x 610",
                                  "64 graphs x 50000, fully out",
                                  "64 graphs x 50000, fully out, envelope",
                                  "8 graphs x 1000000, fully out",
                                  "8 graphs x 1000000, fully out, envelope",
                                  "8 flat graphs x 1000000, fully out",
                                  "8 flat graphs x 1000000, fully out, envelope",
                                  "64 graphs in 64 displays at 660 x 367",
                                  "64 graphs in 64 displays",
                                  "8 graphs, readout",
                                  "64 graphs, readout"};

// The baselines: the points drawPlot draws in dynamic mode, one path and one stroke per graph.
void strokeNaively(const Scene& s, cairo_t* cr, cairo_antialias_t antialias) {
    const PlotModel& model = s.model;
    cairo_set_antialias(cr, antialias);
    cairo_set_line_width(cr, model.lineWidth);
    const PlotLayout layout(model, plotRowsOf(s.horizontal, s.vertical));
    const double left = 60;
    const int width = s.horizontal.width;
    const auto first = static_cast<long long>(s.horizontal.first);
    for (std::size_t g = model.graphs.size(); g-- > 0;) {
        const Graph& graph = model.graphs[g];
        const std::size_t count = graph.samples.size();
        const double last =
            std::min(static_cast<double>(count) - 1.0, static_cast<double>(first) + s.horizontal.span);
        const unsigned display = model.effectiveDisplayOf(static_cast<unsigned>(g));
        cairo_set_source_rgb(cr, graph.colour.red, graph.colour.green, graph.colour.blue);
        for (long long k = first; static_cast<double>(k) < last; k += s.horizontal.step) {
            const double x =
                left + static_cast<double>(k - first) * (width - left) / (last - static_cast<double>(first));
            const std::size_t slot = (static_cast<std::size_t>(k) + model.writeIndex + 1) % count;
            cairo_line_to(cr, x, layout.valueToY(display, graph.samples[slot]));
        }
        cairo_stroke(cr);
    }
}

enum class Painter { drawPlot, naive, aliased };

void paint(const Scene& s, cairo_t* cr, Painter painter) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    if (painter == Painter::drawPlot) {
        // Kept between frames as the drawing area keeps it.
        static PlotViewCache caches[std::size(sceneNames)];
        drawPlot(s.model, cr, s.horizontal, s.vertical, SurfaceKind::screen, &caches[&s - &scene(0)]);
    } else {
        strokeNaively(s, cr, painter == Painter::naive ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    }
}

void frame(benchmark::State& state, Painter painter) {
    const Scene& s = scene(static_cast<int>(state.range(0)));
    SurfacePtr surface{
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, s.horizontal.width, s.vertical.height)};
    CairoPtr cr{cairo_create(surface.get())};
    for (auto _ : state) {
        paint(s, cr.get(), painter);
        cairo_surface_flush(surface.get());
        benchmark::ClobberMemory();
    }
    state.SetLabel(sceneNames[state.range(0)]);
}

void BM_DrawPlot(benchmark::State& state) {
    frame(state, Painter::drawPlot);
}
void BM_NaivePathAntialiased(benchmark::State& state) {
    frame(state, Painter::naive);
}
void BM_NaivePathNoAntialias(benchmark::State& state) {
    frame(state, Painter::aliased);
}

BENCHMARK(BM_DrawPlot)->DenseRange(0, 15)->Unit(benchmark::kMillisecond);
// The baselines know no envelope; scenes 6 to 11 are timed against plain decimation in drawPlot.
BENCHMARK(BM_NaivePathAntialiased)->DenseRange(0, 5)->DenseRange(12, 13)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NaivePathNoAntialias)->DenseRange(0, 5)->DenseRange(12, 13)->Unit(benchmark::kMillisecond);

// A live frame as the plotting area's frame clock draws it: the lines that arrived since the last
// frame, then the kept picture brought up to date with the kept layers (updatePlotImage). The
// lines are those of the live bench's generator: slow sines, one per column, each with its own
// offset, in the start-up X axis of 610 slots and the area of the window's start size.
class LiveScene {
  public:
    static constexpr int width = 624, height = 254;

    explicit LiveScene(int valuesPerLine)
        : columns(valuesPerLine), image(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)) {
        for (int i = 0; i < 610; ++i) addLine();  // a full X axis, as after the first second
    }
    // lines new lines, then the picture of the next frame: only what changed, or (whole) all of it
    // drawn anew with drawPlot, as every frame was drawn before the layers were kept.
    void frame(int lines, bool whole = false) {
        for (int i = 0; i < lines; ++i) addLine();
        const HorizontalView horizontal = horizontalViewFor(width, model.frames, model.xSize, model.xZoom, 0);
        const VerticalView vertical = verticalViewFor(height, 0, 0);
        if (whole) {
            CairoPtr cr{cairo_create(image.get())};
            cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
            cairo_paint(cr.get());
            cairo_set_operator(cr.get(), CAIRO_OPERATOR_OVER);
            drawPlot(model, cr.get(), horizontal, vertical, SurfaceKind::screen, &cache);
            cairo_surface_flush(image.get());
            return;
        }
        const RegionPtr changed = updatePlotImage(model, image.get(), horizontal, vertical, cache, layers);
        benchmark::DoNotOptimize(changed.get());
    }
    cairo_surface_t* picture() const { return image.get(); }

  private:
    void addLine() {
        std::string text;
        char number[32];
        for (int c = 0; c < columns; ++c) {
            const double value = std::sin(static_cast<double>(line) * 0.002 + c) * 100.0 + c * 10.0 +
                                 static_cast<double>(line % 1000) * 0.001;
            std::snprintf(number, sizeof number, c == 0 ? "%.3f" : " %.3f", value);
            text += number;
        }
        model.processLine(text.c_str());
        ++line;
    }

    int columns;
    long line = 0;
    PlotModel model;
    SurfacePtr image;
    PlotViewCache cache;
    PlotLayers layers;
};

// Arguments: columns, lines per frame at 60 frames/s (8 x 2000 and 64 x 500 lines/s), and 1 to
// draw every frame whole.
void BM_LiveFrame(benchmark::State& state) {
    LiveScene scene(static_cast<int>(state.range(0)));
    for (auto _ : state) scene.frame(static_cast<int>(state.range(1)), state.range(2) != 0);
    state.SetLabel(std::to_string(state.range(0)) + " columns, " + std::to_string(state.range(1)) +
                   " lines per frame" + (state.range(2) ? ", drawn whole" : ""));
}
BENCHMARK(BM_LiveFrame)
    ->Args({8, 33, 0})
    ->Args({64, 8, 0})
    ->Args({8, 33, 1})
    ->Args({64, 8, 1})
    ->Unit(benchmark::kMillisecond);

void writePictures() {
    const struct {
        int scene;
        Painter painter;
        const char* name;
    } pictures[] = {{0, Painter::drawPlot, "draw-bench-8-drawplot.png"},
                    {0, Painter::naive, "draw-bench-8-naive.png"},
                    {1, Painter::drawPlot, "draw-bench-64-drawplot.png"},
                    {1, Painter::naive, "draw-bench-64-naive.png"},
                    {12, Painter::drawPlot, "draw-bench-64-displays-660x367.png"},
                    {13, Painter::drawPlot, "draw-bench-64-displays-1920x1080.png"}};
    for (const auto& p : pictures) {
        const Scene& s = scene(p.scene);
        SurfacePtr surface{
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, s.horizontal.width, s.vertical.height)};
        CairoPtr cr{cairo_create(surface.get())};
        paint(s, cr.get(), p.painter);
        cairo_surface_write_to_png(surface.get(), (std::string(KIVREL_BINARY_DIR) + "/" + p.name).c_str());
    }
    for (const int columns : {8, 64}) {
        LiveScene live(columns);
        for (int i = 0; i < 120; ++i) live.frame(columns == 8 ? 33 : 8);
        const std::string name = "/draw-bench-live-" + std::to_string(columns) + ".png";
        cairo_surface_write_to_png(live.picture(), (std::string(KIVREL_BINARY_DIR) + name).c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    writePictures();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
