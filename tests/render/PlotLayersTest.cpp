#include "render/PlotLayers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "render/CairoPtr.h"
#include "render/Renderer.h"
#include "render/Views.h"

namespace {

// The geometry a frame is drawn at: the area's size, the zooms in the model, the scroll values.
struct Area {
    int width = 400;
    int height = 300;
    double first = 0;
    double offset = 0;

    HorizontalView horizontal(const PlotModel& model) const {
        return horizontalViewFor(width, model.frames, model.xSize, model.xZoom, first);
    }
    VerticalView vertical(const PlotModel& model) const {
        return verticalViewFor(height, model.yZoom, offset);
    }
};

std::vector<std::uint32_t> pixelsOf(cairo_surface_t* image) {
    cairo_surface_flush(image);
    const int width = cairo_image_surface_get_width(image), height = cairo_image_surface_get_height(image);
    const int stride = cairo_image_surface_get_stride(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        std::memcpy(&pixels[static_cast<std::size_t>(y) * width], data + y * stride, 4u * width);
    return pixels;
}

// The pixels of one frame, drawn onto a transparent image as the plotting area's back buffer is.
std::vector<std::uint32_t> frameOf(const Area& area, const std::function<void(cairo_t*)>& draw) {
    SurfacePtr image{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, area.width, area.height)};
    {
        CairoPtr cr{cairo_create(image.get())};
        draw(cr.get());
        EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
    }
    return pixelsOf(image.get());
}

// How far the layered frame is from drawPlot's: pixels that differ at all, and the largest
// difference of one channel.
// Pixels that differ where the texts over the traces (`over`, drawn alone) leave no ink count as
// misplaced.
struct Difference {
    int pixels = 0;
    int largest = 0;
    int misplaced = 0;
};

Difference differenceOf(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b,
                        const std::vector<std::uint32_t>& over) {
    Difference d;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        ++d.pixels;
        if (over[i] == 0) ++d.misplaced;
        for (int shift = 0; shift < 32; shift += 8) {
            const int ca = static_cast<int>((a[i] >> shift) & 255),
                      cb = static_cast<int>((b[i] >> shift) & 255);
            d.largest = std::max(d.largest, std::abs(ca - cb));
        }
    }
    return d;
}

// Lines of `columns` slow waves with a little noise, continuing at line `from`.
void feed(PlotModel& model, int columns, int lines, int& from) {
    for (int n = 0; n < lines; ++n, ++from) {
        std::string line;
        for (int c = 0; c < columns; ++c) {
            const double noise = ((from * 7919 + c * 104729) % 1000) / 10000.0;
            line += std::to_string(std::sin(from * 0.05 + c) * (c + 1) + noise) + " ";
        }
        model.processLine(line.c_str());
    }
}

struct Scene {
    const char* name;
    int columns;
    const char* setUp;  // option lines, one per '\n'
};

struct Step {
    const char* name;
    std::function<void(PlotModel&, Area&, int& line)> change;
    bool keepsLayers;  // nothing the layers show changed
};

void processLines(PlotModel& model, const std::string& lines) {
    std::size_t start = 0;
    while (start < lines.size()) {
        const std::size_t end = lines.find('\n', start);
        model.processLine(lines.substr(start, end - start).c_str());
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

}  // namespace

// Frames drawn through the kept layers, one after the other as a live plot's are, next to drawPlot's
// picture of the same moment; between them, samples arrive, the ring wraps, the view and the
// settings change. The same frames brought up in a kept back buffer, where only the tiles the
// traces wrote to are redone, and every pixel that changed lies in the region reported.
TEST(PlotLayers, FramesEqualDrawPlotsThroughChangesAndKeepTheLayersWhileOnlySamplesArrive) {
    const Scene scenes[] = {
        {"three graphs in one display", 3, "#$ -no-indep -xsize 300"},
        {"eight displays, as a live stream fills them", 8, "#$ -indep -xsize 300"},
        {"frames, grids and reference lines", 4,
         "#$ -indep -frame -xsize 300 -dpy 0 -grid 3 -l 0.25 -dpy 1 -grid 1 -y -3:3 -l -1"},
        {"min/max envelope of a long axis", 2, "#$ -no-indep -xsize 2000 -dpy 0 -y -2.5:2.5"},
    };
    const auto lines = [](int count) {
        return [count](PlotModel& model, Area&, int& line) {
            feed(model, static_cast<int>(model.graphs.size()), count, line);
        };
    };
    const auto option = [](const char* text) {
        return [text](PlotModel& model, Area&, int&) { processLines(model, text); };
    };
    const Step steps[] = {
        {"samples arriving", lines(7), true},
        {"more samples", lines(40), true},
        {"the ring wraps", lines(2100), true},
        {"zoom in", [](PlotModel& m, Area&, int&) { m.xZoom = 2; }, false},
        {"scroll", [](PlotModel&, Area& a, int&) { a.first = 37; }, false},
        {"samples while scrolled", lines(5), true},
        {"zoom out", [](PlotModel& m, Area& a, int&) { m.xZoom = -3, a.first = 0; }, false},
        {"samples while zoomed out", lines(5), true},
        {"option line", option("#$ -frame -lw 2 -dpy 0 -grid 2 -l 0.5"), false},
        {"resize", [](PlotModel&, Area& a, int&) { a.width = 333, a.height = 211; }, false},
        {"crosshair and readout", [](PlotModel& m, Area&, int&) { m.crosshairX = 120, m.crosshairY = 60; },
         false},
        {"samples under the readout", lines(3), false},
        {"a first point kept", [](PlotModel& m, Area&, int&) { m.anchorX = 60, m.anchorY = 100; }, false},
        {"button released",
         [](PlotModel& m, Area&, int&) { m.crosshairX = m.crosshairY = m.anchorX = m.anchorY = -1; }, false},
        {"X values in seconds", [](PlotModel& m, Area&, int&) { m.samplingRate = 50; }, false},
        {"font size and title", option("#$ -fsz 14\n#> A general title long enough :: to be split"), false},
        {"colour and a disabled graph",
         [](PlotModel& m, Area&, int&) {
             m.setGraphColour(0, 0.1, 0.6, 0.3);
             m.graphs.back().enabled = false;
         },
         false},
        {"high frequency mode", option("#$ -hfreq"), false},
        {"samples in high frequency mode", lines(9), true},
        {"Y zoom and scroll",
         [](PlotModel& m, Area& a, int&) {
             m.yZoom = 1;
             a.offset = 40;
         },
         false},
    };
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.name);
        PlotModel model;
        processLines(model, scene.setUp);
        model.envelope = true;  // only matters zoomed out
        // The extremes first, so that samples arriving later keep the automatic ranges.
        for (const double sign : {-1.0, 1.0}) {
            std::string extremes;
            for (int c = 0; c < scene.columns; ++c) extremes += std::to_string(sign * (c + 1.2)) + " ";
            model.processLine(extremes.c_str());
        }
        Area area;
        int line = 0;
        feed(model, scene.columns, 20, line);
        PlotViewCache cache;
        PlotLayers layers;
        SurfacePtr buffer;
        PlotViewCache bufferCache;
        PlotLayers bufferLayers;
        const Step firstFrame{"first frame", [](PlotModel&, Area&, int&) {}, false};
        std::vector<const Step*> sequence{&firstFrame};
        for (const Step& step : steps) sequence.push_back(&step);
        for (const Step* stepOf : sequence) {
            const Step& step = *stepOf;
            SCOPED_TRACE(step.name);
            step.change(model, area, line);
            const HorizontalView h = area.horizontal(model);
            const VerticalView v = area.vertical(model);
            const unsigned long rebuildsBefore = layers.rebuilds;
            const auto layered =
                frameOf(area, [&](cairo_t* cr) { drawPlotLayered(model, cr, h, v, cache, layers); });
            const auto plain =
                frameOf(area, [&](cairo_t* cr) { drawPlot(model, cr, h, v, SurfaceKind::screen); });
            const auto over = frameOf(area, [&](cairo_t* cr) {
                drawPlotPart(model, cr, h, v, SurfaceKind::screen, PlotPart::overTraces);
            });
            // The texts over the traces, on their translucent patches, are blended in two steps
            // instead of one: a channel may come out one apart under them, and nowhere else.
            const Difference d = differenceOf(layered, plain, over);
            EXPECT_LE(d.largest, 1);
            EXPECT_EQ(d.misplaced, 0) << d.pixels << " pixels differ";
            if (step.keepsLayers) {
                EXPECT_EQ(layers.rebuilds, rebuildsBefore);
            }

            // The back buffer of a live area: kept from frame to frame (replaced when the size
            // changes), and only the tiles the traces wrote to are redone.
            if (!buffer || cairo_image_surface_get_width(buffer.get()) != area.width ||
                cairo_image_surface_get_height(buffer.get()) != area.height) {
                buffer.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, area.width, area.height));
                bufferLayers.frameKey.clear();
            }
            const auto before = pixelsOf(buffer.get());
            const RegionPtr changed = updatePlotImage(model, buffer.get(), h, v, bufferCache, bufferLayers);
            const auto updated = pixelsOf(buffer.get());
            const Difference e = differenceOf(updated, plain, over);
            EXPECT_LE(e.largest, 1);
            EXPECT_EQ(e.misplaced, 0) << e.pixels << " pixels differ";
            int unannounced = 0;
            for (int y = 0; y < area.height; ++y) {
                for (int x = 0; x < area.width; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y) * area.width + x;
                    if (before.size() == updated.size() && before[i] != updated[i] &&
                        !cairo_region_contains_point(changed.get(), x, y))
                        ++unannounced;
                }
            }
            EXPECT_EQ(unannounced, 0) << "pixels changed outside the region reported";
            const RegionPtr again = updatePlotImage(model, buffer.get(), h, v, bufferCache, bufferLayers);
            EXPECT_TRUE(cairo_region_is_empty(again.get())) << "nothing changed since";
        }
    }
}

// While data streams in, displays' ranges move on most frames and nothing else does: the layer over
// the traces is then redrawn only where its layout changed (the values of the moved ranges, texts
// that now fit or no longer fit beside them), the layer under them only when the ranges place
// something there. Frame after frame of moving ranges, both layers (and where they have ink) are
// those of layers drawn whole from the same model.
TEST(PlotLayers, MovingRangesRedrawTheLayersOnlyWhereTheyChangeAndAsWhole) {
    const Scene scenes[] = {
        {"one display per graph, crowded values", 24, "#$ -indep -xsize 300"},
        {"a big font and wide lines, whose ink reaches furthest", 12,
         "#$ -indep -xsize 300 -fsz 23 -rlw 3.7"},
        {"a grid and reference lines that follow the ranges", 6,
         "#$ -indep -xsize 300 -dpy 0 -grid 2 -l 0.5"},
        {"frames and grid values", 6, "#$ -indep -frame -xsize 300 -dpy 1 -grid 3"},
        {"titles in the legend", 5, "#$ -indep -xsize 300\n#> A title :: over two lines"},
    };
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.name);
        PlotModel model;
        processLines(model, scene.setUp);
        int line = 0;
        feed(model, scene.columns, 30, line);
        Area area;
        area.width = 500;
        area.height = 260;
        PlotViewCache cache;
        PlotLayers layers;
        SurfacePtr buffer{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, area.width, area.height)};
        std::srand(7);
        const auto random = [](double low, double high) {
            return low + (high - low) * static_cast<double>(std::rand()) / RAND_MAX;
        };
        for (int frame = 0; frame < 120; ++frame) {
            SCOPED_TRACE("frame " + std::to_string(frame));
            // A few displays' ranges creep, jump, cross zero or change their digits' count.
            for (int moved = 1 + std::rand() % 3; moved > 0; --moved) {
                Display& d = model.displays[static_cast<std::size_t>(std::rand()) % model.displays.size()];
                switch (std::rand() % 4) {
                    case 0: d.yMax += random(0.0, 0.002); break;
                    case 1: d.yMin -= random(0.0, 0.3); break;
                    case 2: d.yMax = random(0.5, 2000.0); break;
                    default: d.yMin = random(-50.0, d.yMax - 0.01); break;
                }
            }
            feed(model, scene.columns, 3, line);
            const HorizontalView h = area.horizontal(model);
            const VerticalView v = area.vertical(model);
            const unsigned long partial = layers.partialRebuilds;
            updatePlotImage(model, buffer.get(), h, v, cache, layers);
            if (frame > 0) {
                EXPECT_EQ(layers.partialRebuilds, partial + 1);
            }

            PlotViewCache wholeCache;
            PlotLayers whole;
            SurfacePtr wholeBuffer{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, area.width, area.height)};
            updatePlotImage(model, wholeBuffer.get(), h, v, wholeCache, whole);
            ASSERT_EQ(whole.partialRebuilds, 0u);
            for (const auto& [name, kept, drawnWhole] : {std::tuple{"under", &layers.under, &whole.under},
                                                         std::tuple{"over", &layers.over, &whole.over}}) {
                SCOPED_TRACE(name);
                EXPECT_TRUE(pixelsOf(kept->image.get()) == pixelsOf(drawnWhole->image.get()));
                EXPECT_TRUE(cairo_region_equal(kept->ink.get(), drawnWhole->ink.get()));
            }
            EXPECT_TRUE(pixelsOf(buffer.get()) == pixelsOf(wholeBuffer.get()));
            if (HasFailure()) return;
        }
    }
}
