#include "render/Labels.h"

#include <algorithm>
#include <cmath>

namespace {

// Columns and rows of background left around a text's ink.
constexpr double patchMargin = 1.0;

void selectLabelFont(cairo_t* cr, LabelFont font, double size) {
    cairo_select_font_face(cr, font == LabelFont::sans ? "sans-serif" : "monospace", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

}  // namespace

LabelPlacer::LabelPlacer(cairo_t* context, double fontSize, SurfaceKind kind, TextExtentsCache* known)
    : cr(context), size(fontSize), surfaceKind(kind), extents(known) {}

void LabelPlacer::useFont(LabelFont font) {
    if (fontSelected && font == currentFont) return;
    selectLabelFont(cr, font, size);
    fontSelected = true;
    currentFont = font;
}

void LabelPlacer::reserve(const LabelBox& box) {
    placed.push_back(box);
}

bool LabelPlacer::place(const Label& label, LabelFont font, bool continuation) {
    if (label.text.empty() || !std::isfinite(label.x) || !std::isfinite(label.y)) return false;
    useFont(font);
    MeasuredText text = measureText(cr, label.x, label.y, label.text, label.alignment, extents);
    const cairo_text_extents_t& e = text.extents;
    const LabelBox box{text.x + e.x_bearing - patchMargin, text.y + e.y_bearing - patchMargin,
                       text.x + e.x_bearing + e.width + patchMargin,
                       text.y + e.y_bearing + e.height + patchMargin};
    if (!std::isfinite(box.x0) || !std::isfinite(box.y0) || !std::isfinite(box.x1) || !std::isfinite(box.y1))
        return false;
    const std::size_t checked = continuation && !placed.empty() ? placed.size() - 1 : placed.size();
    for (std::size_t i = 0; i < checked; ++i) {
        if (box.overlaps(placed[i])) return false;
    }
    if (checked < placed.size()) {
        // One box for both lines, which may reach into each other's margins.
        LabelBox& joined = placed.back();
        joined = {std::min(joined.x0, box.x0), std::min(joined.y0, box.y0), std::max(joined.x1, box.x1),
                  std::max(joined.y1, box.y1)};
    } else {
        placed.push_back(box);
    }
    texts.push_back({std::move(text), label.colour, font});
    return true;
}

bool PlacedText::sameAs(const PlacedText& other) const {
    return text.x == other.text.x && text.y == other.text.y && font == other.font && colour == other.colour &&
           text.shown == other.text.shown;
}

cairo_rectangle_int_t pixelsAround(const LabelBox& box, double margin) {
    // Far beyond any picture, and still an int when one is taken from the other; a coordinate that
    // is not a number reaches as far as can be.
    constexpr double limit = 1e8;
    if (!(margin >= 0)) margin = 0;
    const auto low = [&](double v) {
        return static_cast<int>(std::isnan(v) ? -limit : std::floor(std::clamp(v - margin, -limit, limit)));
    };
    const auto high = [&](double v) {
        return static_cast<int>(std::isnan(v) ? limit : std::ceil(std::clamp(v + margin, -limit, limit)));
    };
    const int x0 = low(box.x0), y0 = low(box.y0);
    return {x0, y0, std::max(high(box.x1) - x0, 0), std::max(high(box.y1) - y0, 0)};
}

cairo_rectangle_int_t PlacedText::pixels() const {
    // Beyond the patch by two more pixels: glyphs are drawn at whole-pixel offsets of their outline.
    const cairo_text_extents_t& e = text.extents;
    const double x = text.x + e.x_bearing, y = text.y + e.y_bearing;
    return pixelsAround({x, y, x + e.width, y + e.height}, patchMargin + 2.0);
}

void drawPlacedTexts(cairo_t* cr, const std::vector<PlacedText>& texts, double fontSize, SurfaceKind kind,
                     const cairo_region_t* within) {
    if (texts.empty()) return;
    // All patches in one fill: they do not overlap, so none covers another's text.
    cairo_new_path(cr);
    for (const PlacedText& p : texts) {
        const cairo_text_extents_t& e = p.text.extents;
        cairo_rectangle(cr, p.text.x + e.x_bearing - patchMargin, p.text.y + e.y_bearing - patchMargin,
                        e.width + 2 * patchMargin, e.height + 2 * patchMargin);
    }
    cairo_set_source_rgba(cr, plotBackground.red, plotBackground.green, plotBackground.blue, labelPatchAlpha);
    cairo_fill(cr);
    bool fontSelected = false;
    LabelFont current = LabelFont::sans;
    for (const PlacedText& p : texts) {
        if (within) {
            const cairo_rectangle_int_t reach = p.pixels();
            if (cairo_region_contains_rectangle(within, &reach) == CAIRO_REGION_OVERLAP_OUT) continue;
        }
        if (!fontSelected || p.font != current) {
            selectLabelFont(cr, p.font, fontSize);
            fontSelected = true;
            current = p.font;
        }
        cairo_set_source_rgb(cr, p.colour.red, p.colour.green, p.colour.blue);
        showText(cr, p.text, kind);
    }
    cairo_new_path(cr);
}
