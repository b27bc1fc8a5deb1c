#include <cairo-pdf.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "render/CairoPtr.h"
#include "render/ImageRasteriser.h"
#include "render/LaneShares.h"

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

// Polylines through the same x positions, drawn together, get exactly the pixels they get one
// after the other; what drawLanes does not draw it leaves untouched.
TEST(ImageRasteriser, DrawsLanesAsTheSamePolylinesOneByOne) {
    std::mt19937 random(20261211);
    const auto uniform = [&](double from, double to) {
        return std::uniform_real_distribution<double>(from, to)(random);
    };
    const auto bytes = [](cairo_surface_t* s) {
        cairo_surface_flush(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        return std::vector<unsigned char>(
            data, data + cairo_image_surface_get_stride(s) * cairo_image_surface_get_height(s));
    };
    const int width = 90, height = 60;
    for (int scene = 0; scene < 300; ++scene) {
        SCOPED_TRACE(scene);
        // Half the scenes one lane at a time where the processor could work four in one register.
        const bool wide = scene / 2 % 2 == 0;
        const cairo_format_t format = scene % 3 == 0 ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32;
        const int lanes = 1 + scene % ImageRasteriser::laneCount;
        const double lineWidth = scene % 5 == 0 ? 0.5 : scene % 5 == 1 ? 1.4 : 1.0;
        // The clip: one box that the bands reach a little beyond, as the plot area's edges are.
        const double left = 4, right = width - 8, top = scene % 3 == 0 ? 0 : 9, bottom = height - 9;
        // Steps from a fraction of a pixel (several points in a column) to many pixels, at times
        // whole; rows that climb or fall by up to the step, in bands that overlap.
        const double step = scene % 7 == 0 ? 1.0 : scene % 4 == 0 ? uniform(2, 12) : uniform(0.2, 1.6);
        std::vector<double> xs;
        for (double x = left - uniform(0, 1); x < right + 1; x += step) xs.push_back(x);
        std::vector<std::vector<double>> ys(static_cast<std::size_t>(lanes));
        for (auto& rows : ys) {
            double y = uniform(top, bottom);
            for (std::size_t k = 0; k < xs.size(); ++k) {
                rows.push_back(y);
                y = std::clamp(y + uniform(-1, 1) * (k + 1 < xs.size() ? xs[k + 1] - xs[k] : 0), top - 1.5,
                               bottom + 1.5);
            }
        }
        std::vector<Colour> colours;
        for (int lane = 0; lane < lanes; ++lane)
            colours.push_back({uniform(0, 1), uniform(0, 1), uniform(0, 1), lane == 1 ? 0.6 : 1.0});
        // A translation by whole pixels and a clip of one box that cuts into the bands.
        const auto prepare = [&](cairo_t* cr) {
            if (scene % 2) cairo_translate(cr, 2, -1);
            cairo_rectangle(cr, left, top, right - left, bottom - top);
            cairo_clip(cr);
        };
        const SurfacePtr together = image(format, width, height, 0.8, 0.9);
        const SurfacePtr oneByOne = image(format, width, height, 0.8, 0.9);
        const SurfacePtr background = image(format, width, height, 0.8, 0.9);
        RasterScratch scratch;
        scratch.wideLanes = wide;
        InkTiles ink;
        ink.reset(width, height);
        scratch.ink = &ink;
        {
            CairoPtr cr{cairo_create(together.get())};
            prepare(cr.get());
            const auto rasteriser = ImageRasteriser::forContext(cr.get(), lineWidth, scratch);
            ASSERT_NE(rasteriser, nullptr);
            const double* rows[ImageRasteriser::laneCount];
            for (int lane = 0; lane < lanes; ++lane) rows[lane] = ys[static_cast<std::size_t>(lane)].data();
            ASSERT_TRUE(
                rasteriser->drawLanes(xs.data(), rows, colours.data(), lanes, static_cast<int>(xs.size())));
        }
        scratch.ink = nullptr;
        {
            CairoPtr cr{cairo_create(oneByOne.get())};
            prepare(cr.get());
            const auto rasteriser = ImageRasteriser::forContext(cr.get(), lineWidth, scratch);
            for (int lane = 0; lane < lanes; ++lane) {
                rasteriser->colour(colours[static_cast<std::size_t>(lane)]);
                for (std::size_t k = 0; k < xs.size(); ++k)
                    rasteriser->point(xs[k], ys[static_cast<std::size_t>(lane)][k]);
                rasteriser->finish();
            }
        }
        ASSERT_EQ(bytes(together.get()), bytes(oneByOne.get()));
        // Every pixel written lies in a tile marked as written.
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if (pixelAt(together.get(), x, y) == pixelAt(background.get(), x, y)) continue;
                ASSERT_TRUE(ink.marked[static_cast<std::size_t>(y / InkTiles::size * ink.columns +
                                                                x / InkTiles::size)])
                    << x << "," << y;
            }
    }

    // Lines it does not draw together: one lane steep or going back, a wide line, a clip of two
    // boxes, a point far outside.
    const double xs[] = {10, 11, 12, 13};
    const double flat[] = {20, 20.5, 20, 19.5}, steep[] = {20, 20.5, 25, 19.5}, back[] = {10, 11, 10.5, 13},
                 far[] = {20, 20, 20, 1e6};
    const Colour red{1, 0, 0, 1};
    const Colour colours[] = {red, red};
    const struct {
        const char* name;
        const double* second;
        const double* x;
        double width;
        bool twoBoxes;
    } refused[] = {
        {"steep", steep, xs, 1, false},        {"far outside", far, xs, 1, false},
        {"going back", flat, back, 1, false},  {"wide line", flat, xs, 2, false},
        {"two clip boxes", flat, xs, 1, true},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        const SurfacePtr s = image(CAIRO_FORMAT_ARGB32, 40, 40, 0.8, 1.0);
        const std::vector<unsigned char> before = bytes(s.get());
        CairoPtr cr{cairo_create(s.get())};
        if (r.twoBoxes) {
            cairo_rectangle(cr.get(), 0, 0, 20, 40);
            cairo_rectangle(cr.get(), 25, 0, 10, 40);
            cairo_clip(cr.get());
        }
        RasterScratch scratch;
        const auto rasteriser = ImageRasteriser::forContext(cr.get(), r.width, scratch);
        ASSERT_NE(rasteriser, nullptr);
        const double* rows[] = {flat, r.second};
        EXPECT_FALSE(rasteriser->drawLanes(r.x, rows, colours, 2, 4));
        rasteriser->finish();
        EXPECT_EQ(bytes(s.get()), before);
    }
}

// The four lanes worked out in one register give the same bits as worked out one by one.
TEST(LaneShares, WideAndNarrowGiveTheSameColumns) {
    if (!wideLanesAvailable()) GTEST_SKIP() << "the processor works lanes one by one only";
    std::mt19937 random(11);
    const auto uniform = [&](double from, double to) {
        return std::uniform_real_distribution<double>(from, to)(random);
    };
    int columns = 0;
    for (int run = 0; run < 200; ++run) {
        SCOPED_TRACE(run);
        const int n = 2 + run % 50;
        std::vector<double> xs{uniform(-5, 50)};
        const double step = run % 3 == 0 ? uniform(0.05, 1) : uniform(0.5, 16);
        while (static_cast<int>(xs.size()) < n) xs.push_back(xs.back() + uniform(0.01, 1) * step);
        std::vector<std::vector<double>> rows(laneCount);
        LaneSegments segments{xs.data(),
                              {},
                              static_cast<double>(run % 7 - 3),
                              static_cast<double>(run % 5),
                              run % 3 == 0   ? 0.7
                              : run % 3 == 1 ? 0.5
                                             : 0.15,
                              run % 4 == 0 ? 10 : -100,
                              run % 4 == 0 ? 60 : 1000};
        for (int lane = 0; lane < laneCount; ++lane) {
            auto& lanes = rows[static_cast<std::size_t>(lane)];
            lanes.push_back(uniform(-20, 200));
            for (int k = 1; k < n; ++k) {
                const double dx = xs[static_cast<std::size_t>(k)] - xs[static_cast<std::size_t>(k) - 1];
                lanes.push_back(lanes.back() + uniform(-1, 1) * dx);
            }
            segments.rows[lane] = lanes.data();
        }
        std::vector<LaneColumn> narrow(static_cast<std::size_t>(n * laneColumnsPerSegment)),
            wide(narrow.size());
        const int count = laneColumns(segments, 0, n - 1, narrow.data(), false);
        ASSERT_EQ(laneColumns(segments, 0, n - 1, wide.data(), true), count);
        columns += count;
        for (int c = 0; c < count; ++c)
            ASSERT_EQ(std::memcmp(&narrow[static_cast<std::size_t>(c)], &wide[static_cast<std::size_t>(c)],
                                  sizeof(LaneColumn)),
                      0)
                << "column " << c;
    }
    EXPECT_GT(columns, 5000);
}

}  // namespace
