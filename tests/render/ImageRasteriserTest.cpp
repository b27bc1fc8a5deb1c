#include <cairo-pdf.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "render/CairoPtr.h"
#include "render/ImageRasteriser.h"

namespace {

const double gap = std::numeric_limits<double>::quiet_NaN();

struct Point {
    double x, y;  // a NaN x ends the polyline
};

std::uint32_t pixelAt(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    std::uint32_t p = 0;
    std::memcpy(&p, cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + 4 * x,
                sizeof p);
    return p;
}

// An image of the given format, painted with a background that shows every channel.
SurfacePtr image(cairo_format_t format, int width, int height, double grey, double alpha) {
    SurfacePtr s{cairo_image_surface_create(format, width, height)};
    CairoPtr cr{cairo_create(s.get())};
    cairo_set_source_rgba(cr.get(), grey, grey * 0.8, grey * 0.6, alpha);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    return s;
}

// The polylines stroked by cairo, the way graphs are drawn where the rasteriser is not used.
void strokeWithCairo(cairo_t* cr, const std::vector<Point>& points, const Colour& c, double width) {
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
    cairo_set_line_width(cr, width);
    for (const Point& p : points) {
        if (std::isnan(p.x)) {
            cairo_stroke(cr);
            continue;
        }
        cairo_line_to(cr, p.x, p.y);
    }
    cairo_stroke(cr);
}

void rasterise(cairo_t* cr, const std::vector<Point>& points, const Colour& c, double width) {
    RasterScratch scratch;
    const auto rasteriser = ImageRasteriser::forContext(cr, width, scratch);
    ASSERT_NE(rasteriser, nullptr);
    rasteriser->colour(c);
    for (const Point& p : points) {
        if (std::isnan(p.x)) {
            rasteriser->finish();
        } else {
            rasteriser->point(p.x, p.y);
        }
    }
}

// How far two pictures of the same lines differ: the summed difference of all channels relative to
// the ink (difference from the background) of the first, and the ink of the second relative to it.
struct Difference {
    double relative;
    double inkRatio;
};
Difference compare(cairo_surface_t* expected, cairo_surface_t* actual, cairo_surface_t* background) {
    const int width = cairo_image_surface_get_width(expected),
              height = cairo_image_surface_get_height(expected);
    double difference = 0, inkExpected = 0, inkActual = 0;
    const int channels = cairo_image_surface_get_format(expected) == CAIRO_FORMAT_ARGB32 ? 4 : 3;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t e = pixelAt(expected, x, y), a = pixelAt(actual, x, y),
                                b = pixelAt(background, x, y);
            for (int k = 0; k < channels; ++k) {
                const auto channel = [k](std::uint32_t p) { return static_cast<int>((p >> (8 * k)) & 255); };
                difference += std::abs(channel(e) - channel(a));
                inkExpected += std::abs(channel(e) - channel(b));
                inkActual += std::abs(channel(a) - channel(b));
            }
        }
    }
    return {difference / inkExpected, inkActual / inkExpected};
}

// Graph-like lines: flat, steep, noisy, turning back, and ones that leave the picture.
std::vector<Point> zigzag() {
    std::vector<Point> points;
    const double rows[] = {40, 12, 70, 66, 30, 31.5, 90, 20, 55, 54.2, 54.9, 10, 80};
    for (int k = 0; k < 13; ++k) points.push_back({10.3 + 9.1 * k, rows[k]});
    return points;
}

TEST(ImageRasteriser, DrawsWhatCairoStrokes) {
    const Colour red{0.9, 0.1, 0.2, 1.0};
    const struct {
        const char* name;
        std::vector<Point> points;
        double width;
        Colour colour;
    } rows[] = {
        {"shallow", {{5, 50}, {60, 42.3}, {140, 47.7}, {155, 47.7}}, 1.0, red},
        {"steep", {{20.5, 2}, {24, 98}, {27.7, 3.3}, {28.1, 97}}, 1.0, red},
        {"noisy zigzag", zigzag(), 1.0, red},
        {"zigzag two wide", zigzag(), 2.0, red},
        {"zigzag half wide", zigzag(), 0.5, red},
        {"translucent colour", zigzag(), 1.5, {0.1, 0.3, 0.9, 0.5}},
        {"gaps where samples are not numbers",
         {{5, 50}, {30, 20}, {gap, gap}, {40, 70}, {70, 75}, {gap, gap}, {90, 10}, {150, 90}},
         1.0,
         red},
        {"through the picture's edges", {{-30, 50}, {50, -20}, {120, 130}, {190, 40}}, 1.0, red},
        {"the newest sample's marker, turning back",
         {{50, 50}, {55, 55}, {60, 50}, {55, 45}, {50, 50}},
         1.0,
         red},
    };
    const struct {
        cairo_format_t format;
        double alpha;
    } backgrounds[] = {{CAIRO_FORMAT_ARGB32, 0.0}, {CAIRO_FORMAT_ARGB32, 1.0}, {CAIRO_FORMAT_RGB24, 1.0}};
    for (const auto& r : rows)
        for (const auto& b : backgrounds) {
            SCOPED_TRACE(testing::Message()
                         << r.name << ", format " << b.format << ", background alpha " << b.alpha);
            const SurfacePtr background = image(b.format, 160, 100, 0.9, b.alpha);
            const SurfacePtr stroked = image(b.format, 160, 100, 0.9, b.alpha);
            const SurfacePtr rasterised = image(b.format, 160, 100, 0.9, b.alpha);
            strokeWithCairo(CairoPtr{cairo_create(stroked.get())}.get(), r.points, r.colour, r.width);
            rasterise(CairoPtr{cairo_create(rasterised.get())}.get(), r.points, r.colour, r.width);
            const Difference d = compare(stroked.get(), rasterised.get(), background.get());
            EXPECT_LT(d.relative, 0.2);
            EXPECT_NEAR(d.inkRatio, 1.0, 0.06);
        }
}

TEST(ImageRasteriser, WritesOnlyInsideTheClipAndTheSurface) {
    const double huge = 1e300;
    const std::vector<Point> points = {{-huge, 30},  {20, 25},    {22, 1e9},  {25, -1e12},   {40, 33},
                                       {40, huge},   {gap, gap},  {-5, -5},   {200, 120},    {gap, gap},
                                       {-1e6, 1e6},  {1e6, -1e6}, {gap, gap}, {10, 44},      {58, 44},
                                       {huge, huge}, {-huge, 10}, {gap, gap}, {-1.7e308, 5}, {1.7e308, 40}};
    const Colour blue{0.1, 0.2, 0.8, 1.0};
    // A translation by whole pixels, and a clip of two rectangles, in user coordinates.
    const auto prepare = [](cairo_t* cr) {
        cairo_translate(cr, 3, -2);
        cairo_rectangle(cr, 7, 10, 30, 20);
        cairo_rectangle(cr, 40, 30, 15, 15);
        cairo_clip(cr);
    };
    const auto insideClip = [](int x, int y) {
        return (x >= 10 && x < 40 && y >= 8 && y < 28) || (x >= 43 && x < 58 && y >= 28 && y < 43);
    };
    for (const cairo_format_t format : {CAIRO_FORMAT_ARGB32, CAIRO_FORMAT_RGB24}) {
        SCOPED_TRACE(format);
        const SurfacePtr background = image(format, 64, 48, 0.7, 1.0);
        const SurfacePtr rasterised = image(format, 64, 48, 0.7, 1.0);
        {
            CairoPtr cr{cairo_create(rasterised.get())};
            prepare(cr.get());
            rasterise(cr.get(), points, blue, 1.0);
            EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
        }
        int inked = 0;
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x) {
                const bool changed = pixelAt(rasterised.get(), x, y) != pixelAt(background.get(), x, y);
                if (!insideClip(x, y)) {
                    EXPECT_FALSE(changed) << x << "," << y;
                } else {
                    inked += changed;
                }
            }
        }
        EXPECT_GT(inked, 60);  // the lines through the clip are drawn there
        // The horizontal line at row 42 (44 - 2), across the lower rectangle only.
        EXPECT_NE(pixelAt(rasterised.get(), 50, 41), pixelAt(background.get(), 50, 41));
        EXPECT_EQ(pixelAt(rasterised.get(), 30, 41), pixelAt(background.get(), 30, 41));
    }
}

TEST(ImageRasteriser, LeavesToCairoWhatItDoesNotDrawLikeCairo) {
    RasterScratch scratch;
    const struct {
        const char* name;
        cairo_format_t format;
        double width;
        void (*change)(cairo_t*);
    } rows[] = {
        {"alpha-only image", CAIRO_FORMAT_A8, 1, [](cairo_t*) {}},
        {"16-bit image", CAIRO_FORMAT_RGB16_565, 1, [](cairo_t*) {}},
        {"line too wide", CAIRO_FORMAT_ARGB32, 3.5, [](cairo_t*) {}},
        {"no line width", CAIRO_FORMAT_ARGB32, 0, [](cairo_t*) {}},
        {"width not a number", CAIRO_FORMAT_ARGB32, gap, [](cairo_t*) {}},
        {"translation by half a pixel", CAIRO_FORMAT_ARGB32, 1,
         [](cairo_t* cr) { cairo_translate(cr, 0.5, 0); }},
        {"scaled", CAIRO_FORMAT_ARGB32, 1, [](cairo_t* cr) { cairo_scale(cr, 2, 2); }},
        {"rotated", CAIRO_FORMAT_ARGB32, 1, [](cairo_t* cr) { cairo_rotate(cr, 0.1); }},
        {"dashed", CAIRO_FORMAT_ARGB32, 1,
         [](cairo_t* cr) {
             const double dash = 5;
             cairo_set_dash(cr, &dash, 1, 0);
         }},
        {"other operator", CAIRO_FORMAT_ARGB32, 1,
         [](cairo_t* cr) { cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE); }},
        {"round clip", CAIRO_FORMAT_ARGB32, 1,
         [](cairo_t* cr) {
             cairo_arc(cr, 20, 20, 10, 0, 6.3);
             cairo_clip(cr);
         }},
        {"clip between pixels", CAIRO_FORMAT_ARGB32, 1,
         [](cairo_t* cr) {
             cairo_rectangle(cr, 2.5, 3, 20, 20);
             cairo_clip(cr);
         }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        SurfacePtr s{cairo_image_surface_create(r.format, 40, 40)};
        CairoPtr cr{cairo_create(s.get())};
        r.change(cr.get());
        EXPECT_EQ(ImageRasteriser::forContext(cr.get(), r.width, scratch), nullptr);
    }

    // Vector surfaces and a second rasteriser at the same time are left to cairo too; an image with
    // a translation by whole pixels is drawn.
    SurfacePtr pdf{cairo_pdf_surface_create_for_stream(
        [](void*, const unsigned char*, unsigned) { return CAIRO_STATUS_SUCCESS; }, nullptr, 40, 40)};
    EXPECT_EQ(ImageRasteriser::forContext(CairoPtr{cairo_create(pdf.get())}.get(), 1, scratch), nullptr);
    SurfacePtr s{cairo_image_surface_create(CAIRO_FORMAT_RGB24, 40, 40)};
    CairoPtr cr{cairo_create(s.get())};
    cairo_translate(cr.get(), -3, 7);
    const auto first = ImageRasteriser::forContext(cr.get(), 1, scratch);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(ImageRasteriser::forContext(cr.get(), 1, scratch), nullptr);
}

}  // namespace
