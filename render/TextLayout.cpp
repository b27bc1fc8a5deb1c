#include "render/TextLayout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#include <langinfo.h>

namespace {

// Length of the well-formed UTF-8 sequence starting at text[i], or 0 when there is none.
std::size_t sequenceLength(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = i + 2; k < i + length; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
    }
    return length;
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string formatAxisValue(double value, double low, double high) {
    if (value > -1e-9 && value < 1e-9) return "0";
    // The text printf's "%.1e" and "%.*f" give, at a third of the cost (a layer drawn anew formats
    // every display's values): to_chars rounds the exact value the same way, and the locale's
    // decimal point takes the place of its '.'. Room for the longest fixed form of a double; at
    // most 63 bytes are kept, as the values always were.
    char text[400];
    std::to_chars_result written{};
    if (std::fabs(high) >= 100000 || std::fabs(low) >= 100000 || std::fabs(low) + std::fabs(high) <= 0.001) {
        written = std::to_chars(text, std::end(text), value, std::chars_format::scientific, 1);
    } else {
        const double d = std::fabs(high - low);
        const int precision = d < 0.5 ? 4 : d < 100 ? 2 : 1;
        written = std::to_chars(text, std::end(text), value, std::chars_format::fixed, precision);
    }
    std::string shown(text, written.ptr);
    const char* const point = nl_langinfo(RADIXCHAR);
    if (point && *point && std::strcmp(point, ".") != 0) {
        const std::size_t at = shown.find('.');
        if (at != std::string::npos) shown.replace(at, 1, point);
    }
    if (shown.size() > 63) shown.resize(63);
    return shown;
}

std::string validUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceLength(text, i);
        if (length == 0) {
            out += '?';
            ++i;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out;
}

std::vector<std::size_t> pdfPieceLengths(const std::string& text) {
    std::vector<std::size_t> pieces;
    std::size_t start = 0;
    while (text.size() - start > pdfPieceBytes) {
        std::size_t cut = start + pdfPieceBytes;
        while (cut > start + 1 && isContinuationByte(text[cut])) --cut;  // keep characters whole
        pieces.push_back(cut - start);
        start = cut;
    }
    pieces.push_back(text.size() - start);
    return pieces;
}

void TextExtentsCache::measure(cairo_t* cr, const std::string& text, cairo_text_extents_t& extents) {
    // Fonts and texts kept at most; beyond, all are forgotten (the values of a widening axis are
    // new on every frame).
    constexpr std::size_t fontLimit = 4, textLimit = 1024;
    // The scaled font stands for everything the extents depend on: face, size, options and the
    // transformation (a translation, which leaves them as they are, keeps the font).
    cairo_scaled_font_t* const scaled = cairo_get_scaled_font(cr);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS ||
        cairo_scaled_font_status(scaled) != CAIRO_STATUS_SUCCESS) {
        cairo_text_extents(cr, text.c_str(), &extents);
        return;
    }
    auto font =
        std::find_if(fonts.begin(), fonts.end(), [&](const Font& f) { return f.font.get() == scaled; });
    if (font == fonts.end()) {
        if (fonts.size() >= fontLimit) fonts.clear();
        fonts.push_back({ScaledFontPtr{cairo_scaled_font_reference(scaled)}, {}});
        font = fonts.end() - 1;
    }
    const auto found = font->texts.find(text);
    if (found != font->texts.end()) {
        extents = found->second;
        return;
    }
    cairo_text_extents(cr, text.c_str(), &extents);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) return;
    if (font->texts.size() >= textLimit) font->texts.clear();
    font->texts.emplace(text, extents);
}

MeasuredText measureText(cairo_t* cr, double x, double y, const std::string& text, TextAlignment alignment,
                         TextExtentsCache* known) {
    MeasuredText measured;
    // cairo puts a context into an error state on malformed UTF-8 and then draws nothing more.
    measured.shown = validUtf8(text);
    if (known) {
        known->measure(cr, measured.shown, measured.extents);
    } else {
        cairo_text_extents(cr, measured.shown.c_str(), &measured.extents);
    }
    cairo_font_extents_t fontExtents;
    cairo_font_extents(cr, &fontExtents);

    const auto bits = static_cast<unsigned>(alignment);
    const unsigned horizontal = bits & 3;
    if (horizontal == 2) x -= measured.extents.width / 2;
    if (horizontal == 3) x -= measured.extents.width;
    const unsigned vertical = (bits >> 2) & 3;
    if (vertical == 1) y += fontExtents.height - 2;
    if (vertical == 2) y += (fontExtents.height - 2) / 2;
    measured.x = x;
    measured.y = y;
    return measured;
}

void showText(cairo_t* cr, const MeasuredText& text, SurfaceKind surfaceKind) {
    const std::string& shown = text.shown;
    if (shown.empty() || !std::isfinite(text.x) || !std::isfinite(text.y)) return;
    double x = text.x;
    const double y = text.y;
    cairo_move_to(cr, x, y);
    if (surfaceKind != SurfaceKind::pdf || shown.size() <= pdfPieceBytes) {
        cairo_show_text(cr, shown.c_str());
        return;
    }
    cairo_font_extents_t fontExtents;
    cairo_font_extents(cr, &fontExtents);
    // Long texts go into a PDF in pieces, each placed after the measured width of the one before.
    std::size_t start = 0;
    for (const std::size_t length : pdfPieceLengths(shown)) {
        const std::string piece = shown.substr(start, length);
        start += length;
        cairo_show_text(cr, piece.c_str());
        if (start == shown.size()) break;
        cairo_text_extents_t pieceExtents;
        cairo_text_extents(cr, piece.c_str(), &pieceExtents);
        x += pieceExtents.width;
        // The measured width leaves out a trailing space.
        if (piece.back() == ' ') x += fontExtents.max_x_advance / 4;
        cairo_move_to(cr, x, y);
    }
}

void placeText(cairo_t* cr, double x, double y, const std::string& text, TextAlignment alignment,
               SurfaceKind surfaceKind) {
    if (text.empty() || !std::isfinite(x) || !std::isfinite(y)) return;
    showText(cr, measureText(cr, x, y, text, alignment), surfaceKind);
}

std::string fitText(cairo_t* cr, const std::string& text, double width) {
    const std::string shown = validUtf8(text);
    const auto advance = [&](const std::string& s) {
        cairo_text_extents_t e;
        cairo_text_extents(cr, s.c_str(), &e);
        return e.x_advance;
    };
    if (advance(shown) <= width) return shown;
    static const std::string ellipsis = "\xE2\x80\xA6";
    // Ends of whole characters, then the longest beginning that fits with the ellipsis.
    std::vector<std::size_t> ends;
    for (std::size_t i = 1; i < shown.size(); ++i) {
        if (!isContinuationByte(shown[i])) ends.push_back(i);
    }
    std::size_t low = 0, high = ends.size();  // beginnings ends[0..low) fit; ends[high..) do not
    while (low < high) {
        const std::size_t mid = (low + high) / 2;
        if (advance(shown.substr(0, ends[mid]) + ellipsis) <= width) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    if (low > 0) return shown.substr(0, ends[low - 1]) + ellipsis;
    return advance(ellipsis) <= width ? ellipsis : std::string();
}
