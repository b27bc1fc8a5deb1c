#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "render/CairoPtr.h"
#include "render/DrawingFile.h"
#include "render/PlotLayout.h"
#include "render/TextLayout.h"
#include "tests/render/ExportTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

const std::string longTitle = "Pressure and temperature of the north-east test rig, run 17";

// Two displays in Frames mode: pressure and temperature with reference lines at 0.5 and -0.5 in
// display 0, flow with a line at 1.5 in display 1, under a title of more than 50 bytes.
void fillExample(PlotModel& model) {
    model.setIndependentDisplays(false);
    model.frames = true;
    model.addDisplay(1);
    model.generalTitle = longTitle;
    for (const char* title : {"pressure", "temperature", "flow"}) model.addGraph(title);
    for (int i = 0; i < 300; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "%.6g %.6g %.6g", std::sin(i / 20.0), 0.5 * std::cos(i / 30.0),
                      1.0 + (i / 50) % 2);
        model.processLine(line);
    }
    model.moveGraphToDisplay(2, 1);
    model.addReferenceLine(0, 0.5);
    model.addReferenceLine(0, -0.5);
    model.addReferenceLine(1, 1.5);
    model.recomputeAllYRanges();
}

constexpr int areaWidth = 600;
constexpr int areaHeight = 400;

class DrawingFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.ok());
        fillExample(model);
    }

    int write(const std::string& path, SurfaceKind kind) {
        return writeDrawingFile(model, path.c_str(), kind, horizontal, vertical);
    }

    TempDir folder;
    PlotModel model;
    HorizontalView horizontal = horizontalViewFor(areaWidth, true, 610, 0, 0);
    VerticalView vertical = verticalViewFor(areaHeight, 0, 0);
};

std::string collapseSpaces(const std::string& text) {
    std::istringstream words(text);
    std::string word, out;
    while (words >> word) out += (out.empty() ? "" : " ") + word;
    return out;
}

TEST_F(DrawingFileTest, PdfHasTheAreaSizePlusABlankStripAndItsTexts) {
    const std::string path = folder.path("plot.pdf");
    ASSERT_EQ(write(path, SurfaceKind::pdf), 1);
    const PageSize size = pdfPageSize(path);
    EXPECT_EQ(size.pages, 1);
    EXPECT_EQ(size.width, areaWidth + 6);
    EXPECT_EQ(size.height, areaHeight + 6);

    const std::string text = collapseSpaces(commandOutput("pdftotext '" + path + "' - 2>/dev/null"));
    // The title goes into a PDF as a piece of 50 bytes and the rest; both arrive.
    ASSERT_GT(longTitle.size(), pdfPieceBytes);
    EXPECT_NE(text.find(collapseSpaces(longTitle.substr(0, pdfPieceBytes))), std::string::npos) << text;
    EXPECT_NE(text.find(collapseSpaces(longTitle.substr(pdfPieceBytes))), std::string::npos) << text;
    for (const char* title : {"pressure", "temperature", "flow"})
        EXPECT_NE(text.find(title), std::string::npos);
}

// The points of an SVG path's "d" that follow M and L.
std::vector<std::pair<double, double>> pathPoints(const std::string& d) {
    std::vector<std::pair<double, double>> points;
    std::istringstream in(d);
    std::string token;
    while (in >> token) {
        if (token != "M" && token != "L") continue;
        double x = 0, y = 0;
        if (in >> x >> y) points.emplace_back(x, y);
    }
    return points;
}

struct SvgPath {
    std::string style, d;
};

struct SvgFile {
    std::string width, height, viewBox;
    std::vector<SvgPath> paths;  // drawn paths; the glyph outlines in <defs> are left out
};

std::string attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string out = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return out;
}

void collectPaths(xmlNode* node, SvgFile& svg) {
    for (xmlNode* n = node; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        const std::string name = reinterpret_cast<const char*>(n->name);
        if (name == "defs") continue;
        if (name == "path") svg.paths.push_back({attribute(n, "style"), attribute(n, "d")});
        collectPaths(n->children, svg);
    }
}

// Parses the file as XML; fails the test when it is not a well-formed SVG document.
SvgFile readSvg(const std::string& path) {
    SvgFile svg;
    xmlDoc* doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
    EXPECT_NE(doc, nullptr) << "not well-formed XML";
    if (!doc) return svg;
    xmlNode* root = xmlDocGetRootElement(doc);
    EXPECT_STREQ(reinterpret_cast<const char*>(root->name), "svg");
    svg.width = attribute(root, "width");
    svg.height = attribute(root, "height");
    svg.viewBox = attribute(root, "viewBox");
    collectPaths(root->children, svg);
    xmlFreeDoc(doc);
    return svg;
}

std::string rgbPercent(const Colour& c) {
    char text[64];
    std::snprintf(text, sizeof text, "stroke:rgb(%g%%,%g%%,%g%%)", c.red * 100, c.green * 100, c.blue * 100);
    return text;
}

TEST_F(DrawingFileTest, SvgHasTheAreaSizeFramesReferenceLinesAndGraphsInTheirBands) {
    const std::string path = folder.path("plot.SVG");
    ASSERT_EQ(write(path, SurfaceKind::svg), 1);
    const SvgFile svg = readSvg(path);
    EXPECT_EQ(svg.width, "606pt");
    EXPECT_EQ(svg.height, "406pt");
    EXPECT_EQ(svg.viewBox, "0 0 606 406");

    // The frames: closed rectangles from x 60 to the area's last column, 380 rows shared by two bands.
    std::vector<std::string> frames;
    for (const SvgPath& p : svg.paths) {
        const auto points = pathPoints(p.d);
        if (points.size() < 4 || p.d.find(" Z") == std::string::npos) continue;
        const auto [x0, top] = points[0];
        const auto [x1, y1] = points[1];
        const auto [x2, bottom] = points[2];
        const auto [x3, y3] = points[3];
        if (x0 == 60 && x1 == 599 && y1 == top && x2 == 599 && x3 == 60 && y3 == bottom) {
            frames.push_back(std::to_string(static_cast<int>(top)) + "-" +
                             std::to_string(static_cast<int>(bottom)));
        }
    }
    EXPECT_EQ(frames, (std::vector<std::string>{"20-190", "210-380"}));

    // The reference lines: dashed, across the plot at the rows of their values.
    std::vector<std::pair<double, double>> dashed;
    for (const SvgPath& p : svg.paths) {
        if (p.style.find("stroke-dasharray") == std::string::npos) continue;
        for (const auto& point : pathPoints(p.d)) dashed.push_back(point);
    }
    for (unsigned d = 0; d < 2; ++d) {
        for (const double value : model.displays[d].refLines) {
            SCOPED_TRACE("line at " + std::to_string(value));
            const double y = PlotLayout(model, {areaHeight, 0}).valueToY(d, value);
            int ends = 0;
            for (const auto& [px, py] : dashed) {
                if (std::fabs(py - y) < 0.01 && (px == 60 || px == 600)) ++ends;
            }
            EXPECT_EQ(ends, 2);
        }
    }

    // Every graph is drawn in its colour, and all its points stay in its display's data area.
    for (unsigned g = 0; g < model.graphs.size(); ++g) {
        SCOPED_TRACE(model.graphs[g].title);
        const DisplayBand band = PlotLayout(model, {areaHeight, 0}).band(model.graphs[g].display);
        double leftmost = areaWidth, rightmost = 0;
        for (const SvgPath& p : svg.paths) {
            if (p.style.find("stroke-width:1;") == std::string::npos ||
                p.style.find(rgbPercent(model.graphs[g].colour)) == std::string::npos) {
                continue;
            }
            for (const auto& [px, py] : pathPoints(p.d)) {
                EXPECT_GE(py, band.top + 2 - 1e-6);
                EXPECT_LE(py, band.bottom + 1e-6);
                leftmost = std::min(leftmost, px);
                rightmost = std::max(rightmost, px);
            }
        }
        // The ring of 610 slots spans the plot from the frame's left edge to the area's right end,
        // one sample per column; its 300 lines stand at the right, the first at position 609 - 300.
        EXPECT_EQ(leftmost, 60 + 609 - 300);
        EXPECT_GE(rightmost, areaWidth - 2);
        EXPECT_LE(rightmost, areaWidth);
    }
}

// A graph of 0.5 in the range 0..1 over 101 slots, drawn into 400 x 300 pixels: a line at row 150.
TEST(DrawingFilePng, HasTheAreaSizePlusABlankStripOnWhiteAndTheGraphAtItsRow) {
    TempDir folder;
    ASSERT_TRUE(folder.ok());
    PlotModel model;
    model.setXSize(101);
    model.addGraph("");
    model.graphs[0].samples.assign(101, 0.5);
    model.markAllReceived();
    model.displays[0].autoRange = false;
    model.displays[0].yMin = 0;
    model.displays[0].yMax = 1;
    model.lineWidth = 2;
    const std::string path = folder.path("plot.PNG");
    ASSERT_EQ(writeDrawingFile(model, path.c_str(), SurfaceKind::png,
                               horizontalViewFor(400, false, 101, 0, 0), verticalViewFor(300, 0, 0)),
              1);

    const SurfacePtr png{cairo_image_surface_create_from_png(path.c_str())};
    ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_image_surface_get_width(png.get()), 406);
    ASSERT_EQ(cairo_image_surface_get_height(png.get()), 306);
    const unsigned char* data = cairo_image_surface_get_data(png.get());
    const int stride = cairo_image_surface_get_stride(png.get());
    const auto rgb = [&](int x, int y) {
        std::uint32_t p = 0;
        std::memcpy(&p, data + y * stride + 4 * x, sizeof p);
        return p & 0xFFFFFFu;
    };
    // cairo rounds colours through 16 bits: a channel may be one off.
    const auto isGraphColour = [&](std::uint32_t p) {
        const Colour& c = model.graphs[0].colour;
        const auto near = [](std::uint32_t byte, double component) {
            return std::fabs(byte - component * 255) <= 2;
        };
        return near(p >> 16 & 255, c.red) && near(p >> 8 & 255, c.green) && near(p & 255, c.blue);
    };
    for (int x : {100, 200, 300}) {
        SCOPED_TRACE(x);
        EXPECT_TRUE(isGraphColour(rgb(x, 149)));
        EXPECT_TRUE(isGraphColour(rgb(x, 150)));
        EXPECT_EQ(rgb(x, 100), 0xFFFFFFu);
        EXPECT_EQ(rgb(x, 200), 0xFFFFFFu);
    }
    for (const auto& [x, y] : {std::pair{403, 150}, {200, 303}, {405, 305}}) EXPECT_EQ(rgb(x, y), 0xFFFFFFu);
}

TEST(DrawingFileKind, OnlyTheExactEndingsChooseASurface) {
    const struct {
        const char* name;
        SurfaceKind kind;
    } rows[] = {
        {"plot.pdf", SurfaceKind::pdf},    {"plot.PDF", SurfaceKind::pdf},
        {"plot.svg", SurfaceKind::svg},    {"plot.SVG", SurfaceKind::svg},
        {".svg", SurfaceKind::svg},        {"plot.Pdf", SurfaceKind::screen},
        {"plot.Svg", SurfaceKind::screen}, {"plot.png", SurfaceKind::png},
        {"plot.PNG", SurfaceKind::png},    {"plot.Png", SurfaceKind::screen},
        {"plot.jpg", SurfaceKind::screen}, {"plot.pdf.txt", SurfaceKind::screen},
        {"svg", SurfaceKind::screen},      {"", SurfaceKind::screen},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(drawingFileKindOf(r.name), r.kind);
    }
}

TEST_F(DrawingFileTest, AFailedWriteIsReportedAsAFailure) {
    std::FILE* plain = std::fopen((folder.path("file.txt")).c_str(), "w");
    ASSERT_NE(plain, nullptr);
    std::fclose(plain);
    const struct {
        const char* name;
        std::string path;
        SurfaceKind kind;
    } rows[] = {
        {"full device, PDF", "/dev/full", SurfaceKind::pdf},
        {"full device, SVG", "/dev/full", SurfaceKind::svg},
        {"full device, PNG", "/dev/full", SurfaceKind::png},
        {"missing folder, PNG", folder.path("missing/plot.png"), SurfaceKind::png},
        {"missing folder", folder.path("missing/plot.pdf"), SurfaceKind::pdf},
        {"a file as folder", folder.path("file.txt/plot.svg"), SurfaceKind::svg},
        {"a folder as file", folder.folder(), SurfaceKind::pdf},
        {"no file surface", folder.path("plot.png"), SurfaceKind::screen},
        {"empty name", "", SurfaceKind::pdf},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(write(r.path, r.kind), 0);
    }
    EXPECT_EQ(writeDrawingFile(model, nullptr, SurfaceKind::pdf, horizontal, vertical), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.path("plot.png")));
    // Wider than an image surface can be: no picture, and no empty file left behind.
    const std::string huge = folder.path("huge.png");
    EXPECT_EQ(writeDrawingFile(model, huge.c_str(), SurfaceKind::png,
                               horizontalViewFor(40000, true, 610, 0, 0), vertical),
              0);
    EXPECT_FALSE(std::filesystem::exists(huge));
}

// A disk that fills up during the export: the file it was to replace keeps its old content, and
// no half-written or temporary file is left beside it.
TEST_F(DrawingFileTest, AFullDiskLeavesTheOldFileAsItWas) {
    const std::string old = "the picture exported before\n";
    for (const SurfaceKind kind : {SurfaceKind::pdf, SurfaceKind::svg, SurfaceKind::png}) {
        SCOPED_TRACE(static_cast<int>(kind));
        const std::string path = folder.path("plot");
        writeWholeFile(path, old);
        {
            FileSizeLimit full(200);  // each picture is larger
            ASSERT_TRUE(full.ok());
            EXPECT_EQ(write(path, kind), 0);
            EXPECT_EQ(write(folder.path("new"), kind), 0);
        }
        EXPECT_EQ(readWholeFile(path), old);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.folder()),
                                std::filesystem::directory_iterator()),
                  1);
        EXPECT_EQ(write(path, kind), 1);
        EXPECT_GT(readWholeFile(path).size(), 200u);
    }
}

// Views no screen produces still give a valid file: nothing in the picture divides by an empty
// width or range, and no coordinate that is not a number reaches cairo.
TEST_F(DrawingFileTest, DegenerateViewsStillWriteAValidFile) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        HorizontalView horizontal;
        VerticalView vertical;
        int pageWidth, pageHeight;
    } rows[] = {
        {"empty area", horizontalViewFor(0, true, 610, 0, 0), verticalViewFor(0, 0, 0), 6, 6},
        {"one pixel", horizontalViewFor(1, false, 610, 0, 0), verticalViewFor(1, 0, 0), 7, 7},
        {"narrower than the frame margin", horizontalViewFor(40, true, 610, 0, 0), verticalViewFor(30, 5, 3),
         46, 36},
        {"scroll values not numbers", HorizontalView{300, 240, 1, 0, nan, nan},
         VerticalView{200, 200, 0, nan, nan}, 306, 206},
        {"negative sizes", HorizontalView{-20, -80, 0, 0, -5, -1}, VerticalView{-10, -10, -3, -1, -1}, 6, 6},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string path = folder.path("degenerate.pdf");
        EXPECT_EQ(writeDrawingFile(model, path.c_str(), SurfaceKind::pdf, r.horizontal, r.vertical), 1);
        const PageSize size = pdfPageSize(path);
        EXPECT_EQ(size.width, r.pageWidth);
        EXPECT_EQ(size.height, r.pageHeight);
        EXPECT_EQ(writeDrawingFile(model, (folder.path("degenerate.svg")).c_str(), SurfaceKind::svg,
                                   r.horizontal, r.vertical),
                  1);
        EXPECT_NE(readSvg(folder.path("degenerate.svg")).width, "");
    }
}

}  // namespace
