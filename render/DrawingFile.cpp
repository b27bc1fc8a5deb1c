#include "render/DrawingFile.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <climits>
#include <new>
#include <optional>

#include "files/OutputFile.h"
#include "render/CairoPtr.h"
#include "render/Renderer.h"
#include "render/TextLayout.h"

namespace {

// The picture stands at the origin; the extra points stay blank at the right and at the bottom.
constexpr double blankStrip = 6.0;

// cairo's stream output, collected in memory: the whole file is made before anything is created.
cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    try {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        return CAIRO_STATUS_NO_MEMORY;
    }
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

SurfaceKind drawingFileKindOf(const std::string& utf8Name) {
    if (utf8Name.size() < 4) return SurfaceKind::screen;
    const std::string ending = utf8Name.substr(utf8Name.size() - 4);
    if (ending == ".pdf" || ending == ".PDF") return SurfaceKind::pdf;
    if (ending == ".svg" || ending == ".SVG") return SurfaceKind::svg;
    if (ending == ".png" || ending == ".PNG") return SurfaceKind::png;
    return SurfaceKind::screen;
}

namespace {

// The picture on a white image surface, encoded as PNG.
std::optional<std::string> pngBytes(const PlotModel& model, const HorizontalView& horizontal,
                                    const VerticalView& vertical) {
    const long long width = std::max(horizontal.width, 0) + static_cast<long long>(blankStrip);
    const long long height = std::max(vertical.height, 0) + static_cast<long long>(blankStrip);
    if (width > INT_MAX || height > INT_MAX) return std::nullopt;
    // A size cairo cannot hold gives a surface in an error state, checked here.
    const SurfacePtr surface{
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width), static_cast<int>(height))};
    if (!surface || cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    {
        const CairoPtr cr{cairo_create(surface.get())};
        cairo_set_source_rgb(cr.get(), 1.0, 1.0, 1.0);
        cairo_paint(cr.get());
        drawPlot(model, cr.get(), horizontal, vertical, SurfaceKind::screen);
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    }
    cairo_surface_flush(surface.get());
    std::string bytes;
    if (cairo_surface_write_to_png_stream(surface.get(), appendBytes, &bytes) != CAIRO_STATUS_SUCCESS) {
        return std::nullopt;
    }
    return bytes;
}

// The picture as a PDF or SVG document.
std::optional<std::string> vectorBytes(const PlotModel& model, SurfaceKind surfaceKind,
                                       const HorizontalView& horizontal, const VerticalView& vertical) {
    const double width = std::max(horizontal.width, 0) + blankStrip;
    const double height = std::max(vertical.height, 0) + blankStrip;
    std::string bytes;
    SurfacePtr surface{surfaceKind == SurfaceKind::pdf
                           ? cairo_pdf_surface_create_for_stream(appendBytes, &bytes, width, height)
                           : cairo_svg_surface_create_for_stream(appendBytes, &bytes, width, height)};
    if (!surface || cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    {
        const CairoPtr cr{cairo_create(surface.get())};
        drawPlot(model, cr.get(), horizontal, vertical, surfaceKind);
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    }
    // Finishing writes the rest of the document; its status tells whether all of it was made.
    cairo_surface_finish(surface.get());
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    return bytes;
}

}  // namespace

int writeDrawingFile(const PlotModel& model, const char* localName, SurfaceKind surfaceKind,
                     const HorizontalView& horizontal, const VerticalView& vertical) {
    if (!localName || !*localName ||
        (surfaceKind != SurfaceKind::pdf && surfaceKind != SurfaceKind::svg &&
         surfaceKind != SurfaceKind::png)) {
        return 0;
    }
    // Drawn first: a picture that cannot be made creates nothing.
    const std::optional<std::string> bytes = surfaceKind == SurfaceKind::png
                                                 ? pngBytes(model, horizontal, vertical)
                                                 : vectorBytes(model, surfaceKind, horizontal, vertical);
    if (!bytes) return 0;
    // Then written as a saved plot is: beside the old file, which is replaced only when every byte
    // reached the disk, so a full disk or a refused folder leaves it as it was.
    OutputFile file(localName);
    if (!file.isOpen()) return 0;
    file.stream().write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
    return file.commit() ? 1 : 0;
}
