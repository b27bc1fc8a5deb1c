#include "render/DrawingFile.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "render/CairoPtr.h"
#include "render/Renderer.h"
#include "render/TextLayout.h"

namespace {

// The picture stands at the origin; the extra points stay blank at the right and at the bottom.
constexpr double blankStrip = 6.0;

// The file cairo writes through. cairo's own file output can lose a write error of the last
// buffer (a full disk then looks like success), so the program writes the bytes itself and checks
// every write, the flush and the close.
class OutputFile {
  public:
    explicit OutputFile(const char* localName) : file(std::fopen(localName, "wb")) {}
    ~OutputFile() {
        if (file) std::fclose(file);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool isOpen() const { return file != nullptr; }

    static cairo_status_t write(void* closure, const unsigned char* data, unsigned int length) {
        auto* out = static_cast<OutputFile*>(closure);
        if (out->failed || std::fwrite(data, 1, length, out->file) != length) {
            out->failed = true;
            return CAIRO_STATUS_WRITE_ERROR;
        }
        return CAIRO_STATUS_SUCCESS;
    }

    // Whether every byte reached the file.
    bool close() {
        const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
        const bool closed = std::fclose(file) == 0;
        file = nullptr;
        return !failed && flushed && closed;
    }

  private:
    std::FILE* file;
    bool failed = false;
};

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

// The picture on a white image surface, handed to cairo's PNG encoder, which writes through a file
// opened only once the picture is drawn: a size cairo cannot hold creates no file.
bool writePng(const PlotModel& model, const char* localName, const HorizontalView& horizontal,
              const VerticalView& vertical) {
    const long long width = std::max(horizontal.width, 0) + static_cast<long long>(blankStrip);
    const long long height = std::max(vertical.height, 0) + static_cast<long long>(blankStrip);
    if (width > INT_MAX || height > INT_MAX) return false;
    // A size cairo cannot hold gives a surface in an error state, checked here.
    const SurfacePtr surface{
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width), static_cast<int>(height))};
    if (!surface || cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
    {
        const CairoPtr cr{cairo_create(surface.get())};
        cairo_set_source_rgb(cr.get(), 1.0, 1.0, 1.0);
        cairo_paint(cr.get());
        drawPlot(model, cr.get(), horizontal, vertical, SurfaceKind::screen);
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;
    }
    cairo_surface_flush(surface.get());
    OutputFile out(localName);
    if (!out.isOpen()) return false;
    const bool written =
        cairo_surface_write_to_png_stream(surface.get(), OutputFile::write, &out) == CAIRO_STATUS_SUCCESS;
    return out.close() && written;
}

}  // namespace

int writeDrawingFile(const PlotModel& model, const char* localName, SurfaceKind surfaceKind,
                     const HorizontalView& horizontal, const VerticalView& vertical) {
    if (!localName || !*localName ||
        (surfaceKind != SurfaceKind::pdf && surfaceKind != SurfaceKind::svg &&
         surfaceKind != SurfaceKind::png)) {
        return 0;
    }
    if (surfaceKind == SurfaceKind::png) return writePng(model, localName, horizontal, vertical) ? 1 : 0;
    OutputFile out(localName);
    if (!out.isOpen()) return 0;
    const double width = std::max(horizontal.width, 0) + blankStrip;
    const double height = std::max(vertical.height, 0) + blankStrip;
    SurfacePtr surface{surfaceKind == SurfaceKind::pdf
                           ? cairo_pdf_surface_create_for_stream(OutputFile::write, &out, width, height)
                           : cairo_svg_surface_create_for_stream(OutputFile::write, &out, width, height)};
    if (!surface || cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return 0;
    {
        const CairoPtr cr{cairo_create(surface.get())};
        drawPlot(model, cr.get(), horizontal, vertical, surfaceKind);
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return 0;
    }
    // Finishing writes the file; its status tells whether every write succeeded.
    cairo_surface_finish(surface.get());
    const bool finished = cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS;
    surface.reset();
    return out.close() && finished ? 1 : 0;
}
