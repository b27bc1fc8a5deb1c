#pragma once
// The shares of the pixels that the bands of flat segments cover, for up to four polylines (lanes)
// through the same x positions at once: what the image rasteriser works out for each segment of each
// of them (the band of the line's width around the segment, cut along pixel columns; each pixel of a
// column gets the band's width inside it at the middle of the column's stretch), column by column.

#include <cstdint>

// floor and ceil of coordinates already cut to the picture's surroundings, without a library call.
inline int floorOf(double v) {
    const int i = static_cast<int>(v);
    return i - (v < i);
}
inline int ceilOf(double v) {
    const int i = static_cast<int>(v);
    return i + (v > i);
}

// The most lanes worked out together.
constexpr int laneCount = 4;

// Segments k (from point k to point k + 1) of the lanes. Every segment goes forward by at most 16
// pixels and up or down by no more than forward, and the line is at most 1.4 pixels wide, so that a
// column's band reaches three rows at most.
struct LaneSegments {
    const double* xs;               // positions of the points, shared by the lanes
    const double* rows[laneCount];  // rows of the points of each lane
    double offsetX, offsetY;        // added to positions and rows: pixel coordinates
    double halfWidth;               // of the line
    int columnFrom, columnTo;       // only columns columnFrom..columnTo-1 are worked out
};

// A column of a segment: the three rows from top[lane] down of each lane and their shares.
struct LaneColumn {
    int column;
    int top[laneCount];
    float share[3][laneCount];
};

// The most columns one segment gives.
constexpr int laneColumnsPerSegment = 18;

// Writes the columns of segments from..to-1, in order, to out (room for laneColumnsPerSegment per
// segment) and returns how many. `wide` works four lanes in one step of the processor, where
// wideLanesAvailable(); both ways give the same bits.
int laneColumns(const LaneSegments& segments, int from, int to, LaneColumn* out, bool wide);
bool wideLanesAvailable();

// Blends a colour, premultiplied by its alpha, into eight neighbouring pixels at p, each with its
// coverage in shares (0 leaves a pixel as it is), exactly as the image rasteriser blends one pixel;
// the bits keptBits of each pixel stay as they are. Only where wideLanesAvailable().
void blendEight(unsigned char* p, const float* shares, std::uint32_t alpha, std::uint32_t blueRed,
                std::uint32_t greenAlpha, std::uint32_t keptBits);
