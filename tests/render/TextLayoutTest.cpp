#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "render/CairoPtr.h"
#include "render/TextLayout.h"

namespace {

TEST(FormatAxisValue, PrecisionFollowsTheRange) {
    const struct {
        double value, low, high;
        const char* text;
    } rows[] = {
        {1e-10, 0, 1, "0"},          {-1e-10, -5, 5, "0"},           {0.5, 0, 1, "0.50"},
        {0.25, 0, 0.3, "0.2500"},    {12.5, 0, 50, "12.50"},         {250, 0, 1000, "250.0"},
        {3, 0, 200000, "3.0e+00"},   {0.0002, 0, 0.0005, "2.0e-04"}, {-500, -1000, -10, "-500.0"},
        {7, -100000, 10, "7.0e+00"}, {99.5, 0, 99.9, "99.50"},       {1, 0, 0.5, "1.00"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.value) + " in " + std::to_string(r.low) + ".." +
                     std::to_string(r.high));
        EXPECT_EQ(formatAxisValue(r.value, r.low, r.high), r.text);
    }
}

TEST(FormatAxisValue, NonFiniteAndHugeValuesStayWithinTheBuffer) {
    EXPECT_EQ(formatAxisValue(1e300, 0, 50).size(), 63u);  // cut, not overflowing
    EXPECT_EQ(formatAxisValue(HUGE_VAL, 0, 50), "inf");
    EXPECT_EQ(formatAxisValue(-HUGE_VAL, 0, 200000), "-inf");
}

// The digits are those of printf's "%.1e" and "%.*f", rounded from the exact value alike: halves
// that a double holds exactly, values just below others, the smallest and largest, cut at 63
// characters, and a sweep of values of every size.
TEST(FormatAxisValue, RoundsAsPrintfDoes) {
    std::vector<double> values = {0.125,    -0.125,  0.375,   2.5,    0.05,   0.15, 99.995,
                                  1.005,    0.00015, -1e-9,   1e-9,   5e-324, 1e22, -1e22,
                                  123456.5, 9.99995, 0.99995, -1e300, 1.7e308};
    for (double v = 1e-8; v < 1e18; v *= 1.37) {
        values.push_back(v);
        values.push_back(-v * 1.0001);
        values.push_back(std::nextafter(v, 0.0));
    }
    const struct {
        double low, high;
        const char* format;
        int precision;
    } ranges[] = {{0, 0.3, "%.*f", 4}, {0, 50, "%.*f", 2}, {0, 1000, "%.*f", 1}, {0, 200000, "%.*e", 1}};
    // In the program's locale, and in one with a decimal comma, which printf writes.
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        ASSERT_TRUE(std::setlocale(LC_NUMERIC, locale)) << locale;
        for (const auto& r : ranges) {
            for (const double v : values) {
                if (v > -1e-9 && v < 1e-9) continue;  // written as "0"
                char expected[64];
                std::snprintf(expected, sizeof expected, r.format, r.precision, v);
                ASSERT_EQ(formatAxisValue(v, r.low, r.high), expected)
                    << v << " in " << r.low << ".." << r.high << ", " << locale;
            }
        }
    }
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(formatAxisValue(12.5, 0, 50), "12.50");
}

TEST(PdfPieces, LongTextsAreCutIntoPiecesOfFiftyBytesBetweenCharacters) {
    const struct {
        std::string text;
        std::vector<std::size_t> pieces;
    } rows[] = {
        {std::string(120, 'a'), {50, 50, 20}},
        {std::string(100, 'a'), {50, 50}},
        {std::string(50, 'a'), {50}},
        {std::string(51, 'a'), {50, 1}},
        {"", {0}},
        // "é" takes bytes 49 and 50: the first piece stops before it.
        {std::string(49, 'a') + "\xC3\xA9" + std::string(10, 'b'), {49, 12}},
        // a four-byte character over the cut
        {std::string(48, 'a') + "\xF0\x9F\x98\x80" + std::string(10, 'b'), {48, 14}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(pdfPieceLengths(r.text), r.pieces);
    }
}

TEST(ValidUtf8, ReplacesEveryMalformedByte) {
    const struct {
        std::string in, out;
    } rows[] = {
        {"plain", "plain"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"caf\xE9", "caf?"},           // Latin-1
        {"\xC3", "?"},                 // cut short
        {"\xC0\xAF", "??"},            // overlong
        {"\xED\xA0\x80", "???"},       // surrogate
        {"\xF4\x90\x80\x80", "????"},  // beyond U+10FFFF
        {"\x80x\xBF", "?x?"},          // stray continuation bytes
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.in);
        EXPECT_EQ(validUtf8(r.in), r.out);
    }
}

// Ink extents of a text placed at (100, 50) with the given alignment.
struct Ink {
    double left, top, right, bottom;
};
Ink inkOf(const std::string& text, TextAlignment alignment) {
    SurfacePtr surface{cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr)};
    CairoPtr cr{cairo_create(surface.get())};
    cairo_select_font_face(cr.get(), "monospace", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr.get(), 10);
    placeText(cr.get(), 100, 50, text, alignment, SurfaceKind::screen);
    EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
    cr.reset();
    double x = 0, y = 0, w = 0, h = 0;
    cairo_recording_surface_ink_extents(surface.get(), &x, &y, &w, &h);
    return {x, y, x + w, y + h};
}

TEST(PlaceText, AlignmentNamesTheEdgeAtThePoint) {
    // "8" has no descender and no side bearing worth a pixel in any common monospace font.
    const Ink leftBaseline = inkOf("888", TextAlignment::leftBaseline);
    EXPECT_NEAR(leftBaseline.left, 100, 2);
    EXPECT_NEAR(leftBaseline.bottom, 50, 1.5);
    const Ink rightBaseline = inkOf("888", TextAlignment::rightBaseline);
    EXPECT_NEAR(rightBaseline.right, 100, 2);
    EXPECT_NEAR(rightBaseline.bottom, 50, 1.5);
    const Ink rightTop = inkOf("888", TextAlignment::rightTop);
    EXPECT_NEAR(rightTop.right, 100, 2);
    EXPECT_GT(rightTop.top, 50);  // hangs below the point
    EXPECT_LT(rightTop.top, 56);
    const Ink centred = inkOf("888", TextAlignment::centredBaseline);
    EXPECT_NEAR((centred.left + centred.right) / 2, 100, 1.5);
}

TEST(PlaceText, MalformedTextDoesNotStopTheDrawing) {
    SurfacePtr surface{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 20)};
    CairoPtr cr{cairo_create(surface.get())};
    placeText(cr.get(), 2, 15, "caf\xE9", TextAlignment::leftBaseline, SurfaceKind::screen);
    placeText(cr.get(), 2, 15, std::string(60, 'x') + "\xFF", TextAlignment::leftBaseline, SurfaceKind::pdf);
    placeText(cr.get(), std::nan(""), 15, "nan", TextAlignment::leftBaseline, SurfaceKind::screen);
    EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
}

// Kept extents are those of the font in use: faces, sizes and a scaled context each keep their own,
// and a text measured again, among others, comes back as cairo measures it.
TEST(TextExtentsCache, GivesWhatCairoMeasuresInEachFont) {
    SurfacePtr surface{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 10, 10)};
    CairoPtr cr{cairo_create(surface.get())};
    TextExtentsCache known;
    const struct {
        const char* face;
        double size, scale;
    } fonts[] = {{"sans-serif", 10, 1}, {"monospace", 10, 1}, {"monospace", 14, 1}, {"monospace", 10, 2},
                 {"serif", 10, 1},      {"sans-serif", 9, 1}, {"sans-serif", 10, 1}};
    for (int round = 0; round < 2; ++round) {
        for (const auto& font : fonts) {
            cairo_identity_matrix(cr.get());
            cairo_translate(cr.get(), 3 * round, 5);  // a translation keeps the extents
            cairo_scale(cr.get(), font.scale, font.scale);
            cairo_select_font_face(cr.get(), font.face, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
            cairo_set_font_size(cr.get(), font.size);
            for (const char* text : {"100.52", "W", "temp\xC3\xA9rature", ""}) {
                SCOPED_TRACE(std::string(font.face) + " " + std::to_string(font.size) + " x" +
                             std::to_string(font.scale) + " \"" + text + "\"");
                cairo_text_extents_t expected{}, kept{};
                cairo_text_extents(cr.get(), text, &expected);
                known.measure(cr.get(), text, kept);
                EXPECT_EQ(std::memcmp(&kept, &expected, sizeof kept), 0);
            }
        }
    }
    EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
}

TEST(FitText, CutsAtWholeCharactersAndEndsWithAnEllipsis) {
    SurfacePtr surface{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 10, 10)};
    CairoPtr cr{cairo_create(surface.get())};
    cairo_select_font_face(cr.get(), "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr.get(), 10);
    const auto advance = [&](const std::string& text) {
        cairo_text_extents_t e;
        cairo_text_extents(cr.get(), text.c_str(), &e);
        return e.x_advance;
    };
    const std::string ellipsis = "\xE2\x80\xA6";
    const std::string title = "temp\xC3\xA9rature sensor 12";  // an accented letter inside
    const double whole = advance(title);
    EXPECT_EQ(fitText(cr.get(), title, whole), title);
    for (const double width :
         {whole - 1, whole / 2, advance("t" + ellipsis), advance("te" + ellipsis) - 0.5}) {
        SCOPED_TRACE(width);
        const std::string cut = fitText(cr.get(), title, width);
        ASSERT_GE(cut.size(), ellipsis.size() + 1);
        EXPECT_EQ(cut.substr(cut.size() - ellipsis.size()), ellipsis);
        const std::string kept = cut.substr(0, cut.size() - ellipsis.size());
        EXPECT_EQ(title.compare(0, kept.size(), kept), 0);
        EXPECT_EQ(validUtf8(kept), kept);  // no character cut in two
        EXPECT_LE(advance(cut), width);
        // One more character would not have fitted.
        const std::size_t next =
            kept.size() + (static_cast<unsigned char>(title[kept.size()]) >= 0xC0 ? 2 : 1);
        EXPECT_GT(advance(title.substr(0, next) + ellipsis), width);
    }
    EXPECT_EQ(fitText(cr.get(), title, advance(ellipsis)), ellipsis);
    EXPECT_EQ(fitText(cr.get(), title, advance(ellipsis) - 0.5), "");
}

}  // namespace
