#include "render/PlotLayers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// Ink is found and painted in squares of this many pixels.
constexpr int tileSize = 32;

// The bytes of each value, strings with their length, so that different values never meet. A key
// is written on every frame: the bytes are copied straight into room made ahead.
class KeyWriter {
  public:
    // Room for a plot of many graphs, so that the key is seldom copied as it grows.
    KeyWriter() { key.resize(4096); }
    template <class T>
    KeyWriter& operator<<(const T& value) {
        static_assert(std::is_arithmetic_v<T>, "numbers only");
        std::memcpy(room(sizeof value), &value, sizeof value);
        return *this;
    }
    KeyWriter& operator<<(const std::string& text) {
        *this << text.size();
        if (!text.empty()) std::memcpy(room(text.size()), text.data(), text.size());
        return *this;
    }
    std::string take() {
        key.resize(used);
        return std::move(key);
    }

  private:
    // Where the next bytes go.
    char* room(std::size_t bytes) {
        if (key.size() - used < bytes) key.resize(std::max(2 * key.size(), used + bytes));
        char* const at = &key[used];
        used += bytes;
        return at;
    }
    std::string key;
    std::size_t used = 0;
};

// Whether drawPlot's pixels on this context are those of a layer the size of the area painted at
// its origin: an image target without device scale, under a translation by whole pixels at most.
bool drawsInWholePixels(cairo_t* cr) {
    cairo_surface_t* target = cairo_get_group_target(cr);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE)
        return false;
    double scaleX = 1, scaleY = 1;
    cairo_surface_get_device_scale(target, &scaleX, &scaleY);
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    const auto whole = [](double v) { return v == static_cast<double>(static_cast<long>(v)); };
    return scaleX == 1 && scaleY == 1 && m.xx == 1 && m.yy == 1 && m.xy == 0 && m.yx == 0 &&
           std::abs(m.x0) < 1e9 && std::abs(m.y0) < 1e9 && whole(m.x0) && whole(m.y0);
}

void clipTo(cairo_t* cr, const cairo_region_t* region) {
    for (int i = 0; i < cairo_region_num_rectangles(region); ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(region, i, &r);
        cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    }
    cairo_clip(cr);
}

// Whether any of the bytes is not zero; a whole tile's row (a count known here) is read in
// vector registers.
template <int knownBytes>
bool anyInk(const unsigned char* p, int bytes) {
    const int count = knownBytes > 0 ? knownBytes : bytes;
    std::uint64_t bits = 0;
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, p + i, sizeof word);
        bits |= word;
    }
    for (; i < count; ++i) bits |= p[i];
    return bits != 0;
}

// The tiles of the image that hold a pixel that is not fully transparent (premultiplied: not 0),
// of those that meet `within` when given. Read row by row, as the image lies in memory; a tile found
// inked is not read further.
RegionPtr inkOf(cairo_surface_t* image, const cairo_region_t* within = nullptr) {
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int width = cairo_image_surface_get_width(image);
    const int height = cairo_image_surface_get_height(image);
    const int stride = cairo_image_surface_get_stride(image);
    RegionPtr ink{cairo_region_create()};
    const int tiles = (width + tileSize - 1) / tileSize;
    std::vector<unsigned char> found(static_cast<std::size_t>(tiles));
    std::vector<unsigned char> unread(static_cast<std::size_t>(tiles));  // not read: outside `within`
    for (int y0 = 0; y0 < height; y0 += tileSize) {
        const int rows = std::min(tileSize, height - y0);
        std::fill(found.begin(), found.end(), 0);
        for (int t = 0; t < tiles; ++t) {
            const cairo_rectangle_int_t tile{t * tileSize, y0, std::min(tileSize, width - t * tileSize),
                                             rows};
            unread[static_cast<std::size_t>(t)] =
                within && cairo_region_contains_rectangle(within, &tile) == CAIRO_REGION_OVERLAP_OUT;
        }
        for (int y = y0; y < y0 + rows; ++y) {
            const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
            for (int t = 0; t < tiles; ++t) {
                if (found[static_cast<std::size_t>(t)] || unread[static_cast<std::size_t>(t)]) continue;
                const int bytes = 4 * std::min(tileSize, width - t * tileSize);
                const unsigned char* p = row + 4 * t * tileSize;
                found[static_cast<std::size_t>(t)] =
                    bytes == 4 * tileSize ? anyInk<4 * tileSize>(p, bytes) : anyInk<0>(p, bytes);
            }
        }
        for (int t = 0; t < tiles; ++t) {
            if (!found[static_cast<std::size_t>(t)]) continue;
            const cairo_rectangle_int_t tile{t * tileSize, y0, std::min(tileSize, width - t * tileSize),
                                             rows};
            cairo_region_union_rectangle(ink.get(), &tile);
        }
    }
    return ink;
}

// Whether the image (or null) has that size.
bool sized(cairo_surface_t* image, int width, int height) {
    return image && cairo_image_surface_get_width(image) == width &&
           cairo_image_surface_get_height(image) == height;
}

// Whether the layer holds an image of that size with its ink.
bool fits(const PlotLayer& layer, int width, int height) {
    return layer.ink && sized(layer.image.get(), width, height);
}

// Draws the part into the layer's image, kept when it has the area's size (only its old ink is
// cleared), else new; false when there is no memory for it. laidOut, when given, receives the
// layout of the part over the traces.
bool drawLayer(PlotLayer& layer, PlotPart part, const PlotModel& model, const HorizontalView& horizontal,
               const VerticalView& vertical, int width, int height, PlotViewCache& cache,
               OverTraces* laidOut = nullptr) {
    const bool keep = fits(layer, width, height);
    if (!keep) layer.image.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    layer.key.clear();
    if (cairo_surface_status(layer.image.get()) != CAIRO_STATUS_SUCCESS) return false;
    {
        CairoPtr cr{cairo_create(layer.image.get())};
        if (keep) {
            CairoSaveGuard saved(cr.get());
            clipTo(cr.get(), layer.ink.get());
            cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
            cairo_paint(cr.get());
        }
        drawPlotPart(model, cr.get(), horizontal, vertical, SurfaceKind::screen, part, &cache, laidOut);
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;
    }
    layer.ink = inkOf(layer.image.get());
    return cairo_region_status(layer.ink.get()) == CAIRO_STATUS_SUCCESS;
}

void paintLayer(cairo_t* cr, const PlotLayer& layer) {
    const int tiles = cairo_region_num_rectangles(layer.ink.get());
    if (tiles == 0) return;
    CairoSaveGuard saved(cr);
    clipTo(cr, layer.ink.get());
    cairo_set_source_surface(cr, layer.image.get(), 0, 0);
    cairo_paint(cr);
}

// The tiles that `region` reaches into, whole.
RegionPtr tilesOf(const cairo_region_t* region) {
    RegionPtr tiles{cairo_region_create()};
    const auto down = [](int v) {
        return v >= 0 ? v / tileSize * tileSize : -((-v + tileSize - 1) / tileSize) * tileSize;
    };
    for (int i = 0; i < cairo_region_num_rectangles(region); ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(region, i, &r);
        const int x0 = down(r.x), y0 = down(r.y);
        const cairo_rectangle_int_t whole{x0, y0, down(r.x + r.width + tileSize - 1) - x0,
                                          down(r.y + r.height + tileSize - 1) - y0};
        cairo_region_union_rectangle(tiles.get(), &whole);
    }
    return tiles;
}

// Draws the part over the traces anew where its layout differs from the one the layer was drawn
// with (laidOut, which becomes the new one): there the layer takes the pixels of what reaches into
// it, drawn in a scratch image; its ink is read again in the tiles there. False when there is no
// memory.
bool redrawOverWhereChanged(PlotLayer& layer, SurfacePtr& scratch, OverTraces& laidOut,
                            const PlotModel& model, const HorizontalView& horizontal,
                            const VerticalView& vertical, int width, int height, PlotViewCache& cache) {
    CairoPtr cr{cairo_create(layer.image.get())};
    OverTraces now = layOutOverTraces(model, cr.get(), horizontal, vertical, SurfaceKind::screen, &cache);
    const RegionPtr differing = differingPixels(laidOut, now, width, height);
    if (cairo_region_status(differing.get()) != CAIRO_STATUS_SUCCESS) return false;
    if (!cairo_region_is_empty(differing.get())) {
        // cairo's pixels under a clip may differ from its unclipped ones by a rounding: what reaches
        // into the region is drawn unclipped into a cleared scratch image and copied from there.
        if (!sized(scratch.get(), width, height))
            scratch.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
        if (cairo_surface_status(scratch.get()) != CAIRO_STATUS_SUCCESS) return false;
        {
            CairoPtr draft{cairo_create(scratch.get())};
            cairo_set_operator(draft.get(), CAIRO_OPERATOR_CLEAR);
            cairo_paint(draft.get());
            cairo_set_operator(draft.get(), CAIRO_OPERATOR_OVER);
            drawOverTraces(draft.get(), now, differing.get());
            if (cairo_status(draft.get()) != CAIRO_STATUS_SUCCESS) return false;
        }
        {
            CairoSaveGuard saved(cr.get());
            clipTo(cr.get(), differing.get());
            cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
            cairo_set_source_surface(cr.get(), scratch.get(), 0, 0);
            cairo_paint(cr.get());
        }
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;
        cr.reset();
        const RegionPtr tiles = tilesOf(differing.get());
        const RegionPtr inked = inkOf(layer.image.get(), tiles.get());
        cairo_region_subtract(layer.ink.get(), tiles.get());
        cairo_region_union(layer.ink.get(), inked.get());
        if (cairo_region_status(layer.ink.get()) != CAIRO_STATUS_SUCCESS) return false;
    }
    laidOut = std::move(now);
    return true;
}

// Whether the readout over the traces is shown: while the pointer holds a point or a first point is
// kept. It gives the values at that point, which change with the samples.
bool readoutShown(const PlotModel& model) {
    return (model.crosshairX >= 0 && std::isfinite(model.crosshairY)) ||
           (model.anchorX >= 0 && std::isfinite(model.anchorY));
}

// Whether the part under the traces draws the same whatever the displays' ranges: no grid, no
// reference line, no frame and no crosshair, whose lines and values the ranges place (or show).
bool underIgnoresRanges(const PlotModel& model) {
    if (model.frames || model.crosshairX >= 0) return false;
    return std::all_of(model.displays.begin(), model.displays.end(), [&](const Display& d) {
        return (d.gridLevel < 0 ? model.gridLevel : d.gridLevel) <= 0 && d.refLines.empty();
    });
}

// What the traces show of the samples: the changes the model counts, the write position and, per
// graph, the run of slots that received a sample.
void writeSampleState(KeyWriter& key, const PlotModel& model) {
    key << model.linesAdvanced << model.sampleRewrites << model.writeIndex << model.wrapped;
    for (const Graph& g : model.graphs) key << g.receivedStart << g.receivedCount;
}

}  // namespace

namespace {

// The key of the parts under and over the traces, with or without the displays' ranges.
std::string partsKey(const PlotModel& model, const HorizontalView& horizontal, const VerticalView& vertical,
                     bool withRanges) {
    KeyWriter key;
    key << horizontal.width << horizontal.plotWidth << horizontal.step << horizontal.xZoom << horizontal.first
        << horizontal.span;
    key << vertical.height << vertical.pageHeight << vertical.yZoom << vertical.offset << vertical.page;
    key << model.generalTitle << model.totalWeight << model.frames << model.highFrequency << model.envelope
        << model.xSize << model.gridLevel << model.lineWidth << model.refLineWidth << model.fontSize
        << model.crosshairX << model.crosshairY << model.dragSourceDisplay << model.dragTargetDisplay
        << model.dragGraph << model.samplingRate << model.anchorX << model.anchorY;
    if (readoutShown(model)) writeSampleState(key, model);
    key << model.displays.size();
    for (const Display& d : model.displays) {
        if (withRanges) key << d.yMin << d.yMax;
        key << d.gridLevel << d.weight << d.weightOffset << d.graphCount << d.xScaleSize << d.xScaleMin
            << d.xScaleMax << d.refLines.size();
        for (const double value : d.refLines) key << value;
    }
    key << model.graphs.size();
    for (const Graph& g : model.graphs) {
        key << g.title << g.display << g.scale << g.enabled << g.slot << g.colour.red << g.colour.green
            << g.colour.blue << g.colour.alpha << g.samples.size();
    }
    return key.take();
}

}  // namespace

std::string staticPartsKey(const PlotModel& model, const HorizontalView& horizontal,
                           const VerticalView& vertical) {
    return partsKey(model, horizontal, vertical, true);
}

namespace {

// Draws the layers anew when the key changed; false when there is no memory for them. When only
// displays' ranges moved (as they do while data streams in), the part over the traces is redrawn
// only where its layout changed, and the part under them not at all when the ranges place nothing
// there.
bool bringLayersUpToDate(const PlotModel& model, const HorizontalView& horizontal,
                         const VerticalView& vertical, std::string key, PlotLayers& layers,
                         PlotViewCache& cache) {
    if (layers.under.image && key == layers.under.key && key == layers.over.key) return true;
    ++layers.rebuilds;
    const int width = horizontal.width, height = vertical.height;
    std::string rangeFreeKey = partsKey(model, horizontal, vertical, false);
    const bool onlyRanges = !layers.rangeFreeKey.empty() && rangeFreeKey == layers.rangeFreeKey &&
                            !readoutShown(model) && fits(layers.under, width, height) &&
                            fits(layers.over, width, height);
    bool drawn = false;
    if (onlyRanges) {
        ++layers.partialRebuilds;
        drawn = (underIgnoresRanges(model) || drawLayer(layers.under, PlotPart::underTraces, model,
                                                        horizontal, vertical, width, height, cache)) &&
                redrawOverWhereChanged(layers.over, layers.scratch, layers.overLaidOut, model, horizontal,
                                       vertical, width, height, cache);
    } else {
        drawn = drawLayer(layers.under, PlotPart::underTraces, model, horizontal, vertical, width, height,
                          cache) &&
                drawLayer(layers.over, PlotPart::overTraces, model, horizontal, vertical, width, height,
                          cache, &layers.overLaidOut);
    }
    if (!drawn) {
        layers.under = PlotLayer{};
        layers.over = PlotLayer{};
        layers.overLaidOut = OverTraces{};
        layers.rangeFreeKey.clear();
        return false;
    }
    layers.under.key = key;
    layers.over.key = std::move(key);
    layers.rangeFreeKey = std::move(rangeFreeKey);
    return true;
}

// What the traces are drawn from beyond the static parts: the samples, as the model counts their
// changes, and the write position.
std::string frameKeyOf(const PlotModel& model, std::string staticKey) {
    KeyWriter key;
    key << staticKey;
    writeSampleState(key, model);
    return key.take();
}

RegionPtr regionOf(const InkTiles& tiles, int width, int height) {
    RegionPtr region{cairo_region_create()};
    for (int row = 0; row < tiles.rows; ++row) {
        for (int column = 0; column < tiles.columns;) {
            if (!tiles.marked[static_cast<std::size_t>(row * tiles.columns + column)]) {
                ++column;
                continue;
            }
            const int start = column;
            while (column < tiles.columns &&
                   tiles.marked[static_cast<std::size_t>(row * tiles.columns + column)])
                ++column;
            const int x = start * InkTiles::size, y = row * InkTiles::size;
            const cairo_rectangle_int_t run{x, y, std::min(column * InkTiles::size, width) - x,
                                            std::min(InkTiles::size, height - y)};
            cairo_region_union_rectangle(region.get(), &run);
        }
    }
    return region;
}

}  // namespace

void drawPlotLayered(const PlotModel& model, cairo_t* cr, const HorizontalView& horizontal,
                     const VerticalView& vertical, PlotViewCache& cache, PlotLayers& layers) {
    if (horizontal.width <= 0 || vertical.height <= 0 || !drawsInWholePixels(cr) ||
        !bringLayersUpToDate(model, horizontal, vertical, staticPartsKey(model, horizontal, vertical), layers,
                             cache)) {
        drawPlot(model, cr, horizontal, vertical, SurfaceKind::screen, &cache);
        return;
    }
    paintLayer(cr, layers.under);
    drawPlotPart(model, cr, horizontal, vertical, SurfaceKind::screen, PlotPart::traces, &cache);
    paintLayer(cr, layers.over);
}

RegionPtr updatePlotImage(const PlotModel& model, cairo_surface_t* image, const HorizontalView& horizontal,
                          const VerticalView& vertical, PlotViewCache& cache, PlotLayers& layers) {
    const int width = cairo_image_surface_get_width(image), height = cairo_image_surface_get_height(image);
    const cairo_rectangle_int_t whole{0, 0, width, height};
    std::string staticKey = staticPartsKey(model, horizontal, vertical);
    std::string frameKey = frameKeyOf(model, staticKey);
    if (!layers.frameKey.empty() && frameKey == layers.frameKey) return RegionPtr{cairo_region_create()};

    // Only the tiles the last traces wrote to are redone, with those where the layer over the
    // traces has ink (traces must not land on it, as it is painted over them afterwards) and, when
    // the layers are drawn anew, where either had ink before or has it now. Elsewhere the image holds
    // the layer under the traces alone, on which the new traces are drawn as they come.
    RegionPtr redo{cairo_region_create()};
    for (const PlotLayer* layer : {&layers.under, &layers.over}) {
        if (layer->ink) cairo_region_union(redo.get(), layer->ink.get());
    }
    const unsigned long rebuilds = layers.rebuilds;
    const bool layered =
        horizontal.width == width && vertical.height == height &&
        bringLayersUpToDate(model, horizontal, vertical, std::move(staticKey), layers, cache);
    const bool partly = layered && !layers.frameKey.empty() &&
                        layers.traceInk.columns * InkTiles::size >= width &&
                        layers.traceInk.rows * InkTiles::size >= height;
    // What may change: the tiles of the old and the new traces, and the layers' ink when they were
    // drawn anew.
    RegionPtr changed{partly ? regionOf(layers.traceInk, width, height).release()
                             : cairo_region_create_rectangle(&whole)};
    if (partly) {
        if (layers.rebuilds != rebuilds) {
            cairo_region_union(redo.get(), layers.under.ink.get());
            cairo_region_union(redo.get(), layers.over.ink.get());
            cairo_region_union(changed.get(), redo.get());
        } else {
            redo.reset(cairo_region_copy(layers.over.ink.get()));
        }
        cairo_region_union(redo.get(), changed.get());
    } else {
        redo.reset(cairo_region_create_rectangle(&whole));
    }
    InkTiles ink;
    ink.reset(width, height);
    {
        CairoPtr cr{cairo_create(image)};
        // The tiles to redo start as the layer under the traces alone: a copy of that layer where it
        // has ink, and transparent elsewhere (cleared, which writes without reading).
        RegionPtr copied{cairo_region_create()};
        if (layered) {
            copied.reset(cairo_region_copy(redo.get()));
            cairo_region_intersect(copied.get(), layers.under.ink.get());
            cairo_region_subtract(redo.get(), copied.get());  // what is left is cleared
        }
        for (const cairo_region_t* part : {redo.get(), copied.get()}) {
            if (cairo_region_is_empty(part)) continue;
            CairoSaveGuard saved(cr.get());
            clipTo(cr.get(), part);
            if (part == copied.get()) {
                cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
                cairo_set_source_surface(cr.get(), layers.under.image.get(), 0, 0);
            } else {
                cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
            }
            cairo_paint(cr.get());
        }
        cache.rasterScratch.ink = &ink;
        if (layered) {
            drawPlotPart(model, cr.get(), horizontal, vertical, SurfaceKind::screen, PlotPart::traces,
                         &cache);
            paintLayer(cr.get(), layers.over);
        } else {
            drawPlot(model, cr.get(), horizontal, vertical, SurfaceKind::screen, &cache);
        }
        cache.rasterScratch.ink = nullptr;
    }
    cairo_surface_flush(image);
    if (partly) {
        const RegionPtr now = regionOf(ink, width, height);
        cairo_region_union(changed.get(), now.get());
    }
    layers.traceInk = std::move(ink);
    layers.frameKey = layered ? std::move(frameKey) : std::string();
    return changed;
}
