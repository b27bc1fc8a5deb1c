#pragma once
// Axis-value texts whose precision follows their range, and text placement by alignment on any
// cairo surface. Every text reaches cairo as valid UTF-8, so a stray byte cannot stop the drawing.

#include <cairo.h>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "render/CairoPtr.h"

// What the picture is drawn on; only PDF changes how long texts are shown. A PNG file is drawn
// like the screen, on a white background.
enum class SurfaceKind { screen, pdf, svg, png };

// Where the point given to placeText stands on the text. The values are bit fields: bits 0-1
// horizontal (0, 1 left; 2 centred; 3 right), bits 2-3 vertical (1 top, 2 middle, 0 and 3
// baseline).
enum class TextAlignment : unsigned {
    centredBaseline = 2,  // the text is centred on the point, on its baseline
    rightTop = 7,         // the text hangs below the point, ending at it
    leftBaseline = 13,    // the text starts at the point, on its baseline
    rightBaseline = 15,   // the text ends at the point, on its baseline
};

// The longest piece of text shown at once on a PDF surface.
constexpr std::size_t pdfPieceBytes = 50;

// "0" near zero; "%.1e" for large or tiny ranges; otherwise fixed notation whose digits depend only
// on the width of the range low..high, so all values of one axis share one format.
std::string formatAxisValue(double value, double low, double high);

// The text with every byte that is not part of a well-formed UTF-8 sequence replaced by '?'.
std::string validUtf8(const std::string& text);

// Byte lengths of the pieces a long text is shown in on a PDF surface: at most pdfPieceBytes each,
// cut only between characters.
std::vector<std::size_t> pdfPieceLengths(const std::string& text);

// A text measured in the context's font and aligned at a point: where it starts on its baseline
// and the box its ink covers there.
struct MeasuredText {
    std::string shown;  // the text as valid UTF-8
    double x = 0.0;
    double y = 0.0;
    cairo_text_extents_t extents{};
};

// The extents of texts measured before, by font: the labels of a live plot come back frame after
// frame, and measuring a text costs cairo about as much as drawing it.
class TextExtentsCache {
  public:
    // cairo_text_extents of the text (valid UTF-8) in the context's current font.
    void measure(cairo_t* cr, const std::string& text, cairo_text_extents_t& extents);

  private:
    struct Font {
        ScaledFontPtr font;  // a reference, so that no other font takes its address while kept
        std::unordered_map<std::string, cairo_text_extents_t> texts;
    };
    std::vector<Font> fonts;
};

// Measures text so that (x, y) is the point the alignment names; known, when given, keeps what was
// measured for the next time.
MeasuredText measureText(cairo_t* cr, double x, double y, const std::string& text, TextAlignment alignment,
                         TextExtentsCache* known = nullptr);

// Shows a measured text with the context's font, size and colour, and leaves it on the current
// path's current point; nothing is stroked. A text without finite coordinates is not shown.
void showText(cairo_t* cr, const MeasuredText& text, SurfaceKind surfaceKind);

// measureText, then showText.
void placeText(cairo_t* cr, double x, double y, const std::string& text, TextAlignment alignment,
               SurfaceKind surfaceKind);

// The text, or its longest beginning followed by an ellipsis, that advances at most width columns
// in the context's font; empty when not even the ellipsis fits. Characters stay whole.
std::string fitText(cairo_t* cr, const std::string& text, double width);
