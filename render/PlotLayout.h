#pragma once
// The pixel layout of the plotting area: the rows of each display band, where a value stands in
// its band and which value a row shows, the legend's squares and rows, and the margins that Frames
// mode adds. Drawing, pointing and the toolkit handlers all ask this one type, so what is drawn
// where and what the pointer finds there cannot drift apart. A layout reads the model on every
// question, so it stays right while a mouse action moves displays or graphs.

#include <algorithm>
#include <cstddef>
#include <string>

#include "model/PlotModel.h"
#include "model/ValueRange.h"

struct HorizontalView;
struct VerticalView;

// Room that Frames mode keeps left of the frames for the Y values.
constexpr int framesLeftMargin = 60;

// The rows the displays are laid out over: the Y zoom stretches them over virtualHeight rows whose
// top stands at yOrigin (negative when scrolled down). width is the area's width in columns, over
// which the legend of a band too short for its rows spreads.
struct PlotRows {
    int virtualHeight = 0;
    double yOrigin = 0.0;
    int width = 0;
};

PlotRows plotRowsOf(const HorizontalView& horizontal, const VerticalView& vertical);

// Rows of one display band: values are drawn from dataTop (yMax) down to bottom (yMin); the frame
// and the vertical grid lines end at frameBottom; the band answers the pointer from top to
// top + span. A band too short for its insets gives them up before its data rows: the data area
// keeps minDataRows rows (or the whole band when it is shorter) while the insets shrink in
// proportion, down to none.
struct DisplayBand {
    double top = 0.0;
    double dataTop = 0.0;
    double bottom = 0.0;
    double frameBottom = 0.0;
    int span = 0;
};

// The row of each value of one display, the band worked out once: for the many values of a trace.
// Equal to PlotLayout::valueToY.
struct ValueRows {
    double bottom = 0.0;
    double dataTop = 0.0;
    double yMin = 0.0;
    double yMax = 0.0;
    bool ranged = false;  // false: every value at bottom

    double operator()(double value) const {
        if (!ranged) return bottom;
        const double width = yMax - yMin;
        if (std::isfinite(width)) return finiteRow(value, yMin, yMax, bottom, dataTop - bottom, width);
        const double v = std::clamp(value, yMin, yMax);
        return bottom + (dataTop - bottom) * fractionOfRange(v, yMin, yMax);
    }
    // The rows of n values, in place: the same as the operator one by one, in a loop the compiler
    // can work in vector registers.
    void inPlace(double* values, std::size_t n) const;

    // The row of a value in a range of finite width (fractionOfRange's first case), without a branch.
    static double finiteRow(double value, double low, double high, double base, double height, double width) {
        const double v = value < low ? low : high < value ? high : value;  // std::clamp
        return base + height * ((v - low) / width);
    }
};

// The general title as drawn: a title longer than 20 characters with " :: " in its second half is
// split there into two lines.
struct TitleLines {
    std::string first;
    std::string second;
};
TitleLines splitTitle(const std::string& title);

// Where a graph's legend entry stands: its square, and its title when the band has room for text.
// A band with room for one row per graph stacks them; a shorter one puts its graphs side by side in
// one row, with titles cut to their cells, or only the squares when the cells are too narrow for
// text; a band without room for a square shows no entry.
struct LegendEntry {
    bool shown = false;
    double squareX = 0.0;
    double squareTop = 0.0;
    double squareSize = 0.0;
    double titleX = 0.0;
    double baseline = 0.0;
    // Columns the title may take: unbounded in stacked rows, 0 for a square without its title.
    double titleWidth = 0.0;
};

class PlotLayout {
  public:
    // Rows between a band's top and the row of its Y maximum, and between the row of its Y minimum
    // and the bottom of the band (or of its frame), while the band has room for them.
    static constexpr double dataTopInset = 2.0;
    static constexpr double dataBottomInset = 2.0;
    // A band keeps this many data rows (or all its rows) before its insets shrink.
    static constexpr double minDataRows = 8.0;
    // Rows that Frames mode keeps above the first display, and under each frame for its X values.
    static constexpr int framesTopMargin = 20;
    static constexpr int frameBottomReserve = 20;
    // No line value is written this close to a band's top or bottom.
    static constexpr double labelKeepOut = 15.0;
    // The legend squares and the general title start this far right of the plot's left edge.
    static constexpr double textIndent = 10.0;
    // The legend square, and how far right of its left edge it answers the pointer (two more
    // columns than it is wide); the graph's title starts at legendTitleOffset.
    static constexpr double legendSquareSize = 8.0;
    static constexpr double legendSquareReach = 10.0;
    static constexpr double legendTitleOffset = 10.0;
    // Legend rows are the font size plus 2 high, and never less than this.
    static constexpr double minLegendRow = 12.0;
    // Baselines of the general title's two lines. No legend row stands in the rows above
    // titleRoom (secondTitleRoom with a second line), where the title is.
    static constexpr double titleBaseline = 15.0;
    static constexpr double secondTitleBaseline = 25.0;
    static constexpr double titleRoom = 20.0;
    static constexpr double secondTitleRoom = 30.0;
    // Columns a legend title cut to its cell keeps at least (else only squares), the gap after it,
    // and the columns at the right that a legend row leaves to the Y values without Frames mode.
    static constexpr double minLegendTitleWidth = 30.0;
    static constexpr double legendCellGap = 4.0;
    static constexpr double legendRightReserve = 60.0;

    PlotLayout(const PlotModel& plotted, PlotRows plotRows) : model(plotted), rows(plotRows) {}

    const PlotModel& plotModel() const { return model; }

    // The left edge of the plotted data: the frames' left edge in Frames mode, else 0.
    double left() const;
    // Rows above the first display: framesTopMargin in Frames mode, else 0.
    int topMargin() const;

    DisplayBand band(unsigned display) const;
    // The row of a value of the display, clamped into its range (the band's bottom for a display
    // without a finite range).
    double valueToY(unsigned display, double value) const { return valueRows(display)(value); }
    ValueRows valueRows(unsigned display) const;
    // The display whose band holds row y (without the bottom reserve), or -1.
    int displayAtY(double y) const;
    // The value under row y: taken from the first display with a range whose data area holds the
    // row, 0 when none does.
    double valueAtY(double y) const;
    // Whether the display has a finite range with yMax > yMin and a data area that overlaps the
    // area's rows 0..height; every band of at least one row has a data area.
    bool isDisplayVisible(unsigned display, int height) const;
    // Where the band's frame (Frames mode) and its vertical grid lines end.
    double frameBottom(unsigned display) const;

    // Texts at the left of the plot: the legend squares and the title.
    double legendSquareX() const;
    double legendTitleX() const;
    double legendRowHeight() const;
    // The first row below the general title, where legend rows may start.
    double titleClearance() const;
    // A graph's legend entry, in its stored display (not a drag's preview), at its slot there.
    LegendEntry legendEntry(unsigned graph) const;
    // The baseline of a graph's legend entry, the bottom of its square.
    double legendBaseline(unsigned graph) const;
    // The graph whose shown legend square (with the 2 columns after it) holds the point, or -1.
    int legendSquareAt(double x, double y) const;
    // The title of the graph whose legend square holds the point when the legend shows that title
    // cut to a cell or not at all (side by side in a short band); empty otherwise.
    std::string legendTooltipAt(double x, double y) const;

    // Where a readout box of the given size stands beside the point (x, y): the first corner of
    // the point (right above, right below, left above, left below) where the box fits in the
    // plotting area of the given size without covering the point, else moved into the area.
    struct Box {
        double x = 0.0, y = 0.0, width = 0.0, height = 0.0;
    };
    Box readoutBox(double x, double y, double width, double height, int areaWidth, int areaHeight) const;

  private:
    double frameReserve() const;

    const PlotModel& model;
    PlotRows rows;
};
