#pragma once
// Texts drawn over the traces. Each stands on a translucent patch of the plot's background colour,
// so that a trace never strikes through it, and a text that would overlap one placed before it in
// the same picture is left out. Texts are placed in order of importance and drawn all together
// once placed: the patches first, then the texts.

#include <cairo.h>

#include <string>
#include <vector>

#include "model/PlotModel.h"
#include "render/TextLayout.h"

// The white the plotting area stands on, and how much of it a text's patch lets through.
constexpr Colour plotBackground{1.0, 1.0, 1.0, 1.0};
constexpr double labelPatchAlpha = 0.75;

// Columns x0..x1 and rows y0..y1 of a placed text's patch or of a legend square.
struct LabelBox {
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;

    bool overlaps(const LabelBox& other) const {
        return x0 < other.x1 && other.x0 < x1 && y0 < other.y1 && other.y0 < y1;
    }
};

// A text waiting for its turn: where it stands, how it is aligned there and its colour.
struct Label {
    std::string text;
    double x = 0.0;
    double y = 0.0;
    TextAlignment alignment = TextAlignment::leftBaseline;
    Colour colour;
};

enum class LabelFont { sans, monospace };

// The pixels of the box widened by margin on every side, rounded out to whole pixels.
cairo_rectangle_int_t pixelsAround(const LabelBox& box, double margin);

// A text placed by LabelPlacer: where it stands (with its extents) in which colour and font.
struct PlacedText {
    MeasuredText text;
    Colour colour;
    LabelFont font = LabelFont::sans;

    // The same text at the same point in the same colour and font: the same pixels.
    bool sameAs(const PlacedText& other) const;
    // The pixels its patch and its text may write, with a margin for antialiasing.
    cairo_rectangle_int_t pixels() const;
};

// Paints the texts' patches (in one fill), then the texts, in their fonts and colours. With
// `within`, the texts that reach into no pixel of it are left out: the caller clips to it.
void drawPlacedTexts(cairo_t* cr, const std::vector<PlacedText>& texts, double fontSize, SurfaceKind kind,
                     const cairo_region_t* within = nullptr);

class LabelPlacer {
  public:
    // known, when given, keeps the texts' extents for the next picture.
    LabelPlacer(cairo_t* context, double fontSize, SurfaceKind kind, TextExtentsCache* known = nullptr);
    LabelPlacer(const LabelPlacer&) = delete;
    LabelPlacer& operator=(const LabelPlacer&) = delete;

    // A box that texts keep clear of, such as a legend square the caller draws itself.
    void reserve(const LabelBox& box);
    // Places the text in the given font as placeText would put it; false, and nothing placed, when
    // its patch would overlap a box placed before or the text is empty or not at a finite point.
    // A continuation (the second line of a text) may touch the box placed just before it, which
    // grows to hold both.
    bool place(const Label& label, LabelFont font, bool continuation = false);
    // The texts placed so far, in order, for drawPlacedTexts.
    std::vector<PlacedText> takeTexts() { return std::move(texts); }
    // The boxes placed so far: reserved ones and the patches of the texts.
    const std::vector<LabelBox>& boxes() const { return placed; }

  private:
    void useFont(LabelFont font);

    cairo_t* cr;
    double size;
    SurfaceKind surfaceKind;
    TextExtentsCache* extents;
    bool fontSelected = false;
    LabelFont currentFont = LabelFont::sans;
    std::vector<LabelBox> placed;
    std::vector<PlacedText> texts;
};
