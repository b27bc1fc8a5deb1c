#pragma once
// The pixel layout of the plotting area: the rows of each display band, where a value stands in
// its band and which value a row shows, the legend's squares and rows, and the margins that Frames
// mode adds. Drawing, pointing and the toolkit handlers all ask this one type, so what is drawn
// where and what the pointer finds there cannot drift apart. A layout reads the model on every
// question, so it stays right while a mouse action moves displays or graphs.

#include "model/PlotModel.h"

struct VerticalView;

// Room that Frames mode keeps left of the frames for the Y values.
constexpr int framesLeftMargin = 60;

// The rows the displays are laid out over: the Y zoom stretches them over virtualHeight rows whose
// top stands at yOrigin (negative when scrolled down).
struct PlotRows {
    int virtualHeight = 0;
    double yOrigin = 0.0;
};

PlotRows plotRowsOf(const VerticalView& view);

// Rows of one display band: values are drawn from top + dataTopInset (yMax) down to bottom (yMin);
// the band answers the pointer from top to top + span.
struct DisplayBand {
    double top = 0.0;
    double bottom = 0.0;
    int span = 0;
};

class PlotLayout {
  public:
    // Rows between a band's top and the row of its Y maximum, and between the row of its Y minimum
    // and the bottom of the band (or of its frame).
    static constexpr double dataTopInset = 2.0;
    static constexpr double dataBottomInset = 2.0;
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
    // Baselines of the general title's two lines; without Frames mode the legend of display 0
    // starts titleRoom further down, below the title.
    static constexpr double titleBaseline = 15.0;
    static constexpr double secondTitleBaseline = 25.0;
    static constexpr double titleRoom = 20.0;

    PlotLayout(const PlotModel& plotted, PlotRows plotRows) : model(plotted), rows(plotRows) {}

    const PlotModel& plotModel() const { return model; }

    // The left edge of the plotted data: the frames' left edge in Frames mode, else 0.
    double left() const;
    // Rows above the first display: framesTopMargin in Frames mode, else 0.
    int topMargin() const;

    DisplayBand band(unsigned display) const;
    // The row of a value of the display, clamped into its range (the band's bottom for a display
    // without a finite range).
    double valueToY(unsigned display, double value) const;
    // The display whose band holds row y (without the bottom reserve), or -1.
    int displayAtY(double y) const;
    // The value under row y: taken from the first display with a range whose data area holds the
    // row, 0 when none does.
    double valueAtY(double y) const;
    // Whether the display has a finite range with yMax > yMin and a data area of at least one row
    // that overlaps the area's rows 0..height.
    bool isDisplayVisible(unsigned display, int height) const;
    // Where the band's frame (Frames mode) and its vertical grid lines end: the end of the band
    // less the room for X values in Frames mode. The data area ends dataBottomInset above it.
    double frameBottom(unsigned display) const;

    // Texts at the left of the plot: the legend squares and the title.
    double legendSquareX() const;
    double legendTitleX() const;
    double legendRowHeight() const;
    // The baseline of a graph's legend title, whose square stands just above it. Rows follow the
    // graph's slot in its stored display (not a drag's preview).
    double legendBaseline(unsigned graph) const;
    // The graph whose legend square (with the 2 columns after it) holds the point, or -1.
    int legendSquareAt(double x, double y) const;

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
