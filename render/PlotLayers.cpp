#include "render/PlotLayers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

namespace {

// Ink is found and painted in squares of this many pixels.
constexpr int tileSize = 32;

// The bytes of each value, strings with their length, so that different values never meet.
class KeyWriter {
  public:
    template <class T>
    KeyWriter& operator<<(const T& value) {
        static_assert(std::is_arithmetic_v<T>, "numbers only");
        key.append(reinterpret_cast<const char*>(&value), sizeof value);
        return *this;
    }
    KeyWriter& operator<<(const std::string& text) {
        *this << text.size();
        key += text;
        return *this;
    }
    std::string take() { return std::move(key); }

  private:
    std::string key;
};

// Whether drawPlot's pixels on this context are those of a layer the size of the area painted at
// its origin: an image target without device scale, under a translation by whole pixels at most.
bool drawsInWholePixels(cairo_t* cr) {
    cairo_surface_t* target = cairo_get_group_target(cr);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS || cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE)
        return false;
    double scaleX = 1, scaleY = 1;
    cairo_surface_get_device_scale(target, &scaleX, &scaleY);
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    const auto whole = [](double v) { return v == static_cast<double>(static_cast<long>(v)); };
    return scaleX == 1 && scaleY == 1 && m.xx == 1 && m.yy == 1 && m.xy == 0 && m.yx == 0 &&
           std::abs(m.x0) < 1e9 && std::abs(m.y0) < 1e9 && whole(m.x0) && whole(m.y0);
}

// The tiles of the image that hold a pixel that is not fully transparent (premultiplied: not 0).
RegionPtr inkOf(cairo_surface_t* image) {
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int width = cairo_image_surface_get_width(image);
    const int height = cairo_image_surface_get_height(image);
    const int stride = cairo_image_surface_get_stride(image);
    RegionPtr ink{cairo_region_create()};
    for (int y0 = 0; y0 < height; y0 += tileSize) {
        const int rows = std::min(tileSize, height - y0);
        for (int x0 = 0; x0 < width; x0 += tileSize) {
            const int columns = std::min(tileSize, width - x0);
            bool found = false;
            for (int y = y0; y < y0 + rows && !found; ++y) {
                const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride + 4 * x0;
                for (int x = 0; x < columns && !found; ++x) {
                    std::uint32_t pixel = 0;
                    std::memcpy(&pixel, row + 4 * x, sizeof pixel);
                    found = pixel != 0;
                }
            }
            if (found) {
                const cairo_rectangle_int_t tile{x0, y0, columns, rows};
                cairo_region_union_rectangle(ink.get(), &tile);
            }
        }
    }
    return ink;
}

// Draws the part into a new image of the area's size; false when there is no memory for it.
bool drawLayer(PlotLayer& layer, PlotPart part, const PlotModel& model, const HorizontalView& horizontal,
               const VerticalView& vertical, int width, int height) {
    layer = PlotLayer{};
    SurfacePtr image{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)};
    if (cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS) return false;
    {
        CairoPtr cr{cairo_create(image.get())};
        drawPlotPart(model, cr.get(), horizontal, vertical, SurfaceKind::screen, part);
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;
    }
    layer.ink = inkOf(image.get());
    layer.image = std::move(image);
    return cairo_region_status(layer.ink.get()) == CAIRO_STATUS_SUCCESS;
}

void paintLayer(cairo_t* cr, const PlotLayer& layer) {
    const int tiles = cairo_region_num_rectangles(layer.ink.get());
    if (tiles == 0) return;
    CairoSaveGuard saved(cr);
    for (int i = 0; i < tiles; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(layer.ink.get(), i, &r);
        cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    }
    cairo_clip(cr);
    cairo_set_source_surface(cr, layer.image.get(), 0, 0);
    cairo_paint(cr);
}

}  // namespace

std::string staticPartsKey(const PlotModel& model, const HorizontalView& horizontal, const VerticalView& vertical) {
    KeyWriter key;
    key << horizontal.width << horizontal.plotWidth << horizontal.step << horizontal.xZoom << horizontal.first
        << horizontal.span;
    key << vertical.height << vertical.pageHeight << vertical.yZoom << vertical.offset << vertical.page;
    key << model.generalTitle << model.totalWeight << model.frames << model.highFrequency << model.envelope
        << model.xSize << model.gridLevel << model.lineWidth << model.refLineWidth << model.fontSize
        << model.crosshairX << model.crosshairY << model.dragSourceDisplay << model.dragTargetDisplay
        << model.dragGraph;
    key << model.displays.size();
    for (const Display& d : model.displays) {
        key << d.yMin << d.yMax << d.gridLevel << d.weight << d.weightOffset << d.graphCount << d.xScaleSize
            << d.xScaleMin << d.xScaleMax << d.refLines.size();
        for (const double value : d.refLines) key << value;
    }
    key << model.graphs.size();
    for (const Graph& g : model.graphs) {
        key << g.title << g.display << g.scale << g.enabled << g.slot << g.colour.red << g.colour.green
            << g.colour.blue << g.colour.alpha << g.samples.size();
    }
    return key.take();
}

void drawPlotLayered(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
                     const VerticalView& vertical, PlotViewCache& cache, PlotLayers& layers) {
    const int width = horizontal.width, height = vertical.height;
    if (width <= 0 || height <= 0 || !drawsInWholePixels(cr)) {
        drawPlot(model, cr, horizontal, vertical, SurfaceKind::screen, &cache);
        return;
    }
    std::string key = staticPartsKey(model, horizontal, vertical);
    if (!layers.under.image || key != layers.under.key || key != layers.over.key) {
        ++layers.rebuilds;
        if (!drawLayer(layers.under, PlotPart::underTraces, model, horizontal, vertical, width, height) ||
            !drawLayer(layers.over, PlotPart::overTraces, model, horizontal, vertical, width, height)) {
            layers.under = PlotLayer{};
            layers.over = PlotLayer{};
            drawPlot(model, cr, horizontal, vertical, SurfaceKind::screen, &cache);
            return;
        }
        layers.under.key = key;
        layers.over.key = std::move(key);
    }
    paintLayer(cr, layers.under);
    drawPlotPart(model, cr, horizontal, vertical, SurfaceKind::screen, PlotPart::traces, &cache);
    paintLayer(cr, layers.over);
}
