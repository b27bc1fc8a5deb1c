#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <string>

#include "render/Export.h"
#include "render/PlotAreaHandlers.h"
#include "tests/render/ExportTestSupport.h"
#include "tests/render/PlotAreaTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.ok());
        resizeWindow(window.toplevel, 900, 560);
        // A short axis: the refresh after a change spreads it over the area by raising the X zoom.
        model.setXSize(101);
        model.processLine("1 2");
        model.processLine("-1 0.5");
        refreshPlotArea(window.plot);
    }

    int exportTo(const std::string& name) const { return exportDrawing(window.plot, name, name.c_str()); }
    int areaWidth() const { return window.areaWidth(); }
    int areaHeight() const { return window.areaHeight(); }
    int spinXZoom() const { return gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(window.plot.xZoomSpin)); }

    TempDir folder;
    PlotAreaWindow window;
    PlotModel& model = window.model;
};

TEST_F(ExportTest, WritesTheAreaAtItsSizeAndLeavesTheWidgetsAsTheyAre) {
    const std::string path = folder.path("plot.PDF");
    const int corrected = areaWidth() / 100 - 1;
    ASSERT_GT(corrected, 0);
    ASSERT_EQ(model.xZoom, corrected);
    EXPECT_EQ(exportTo(path), 1);
    const PageSize size = pdfPageSize(path);
    EXPECT_EQ(size.width, areaWidth() + 6);
    EXPECT_EQ(size.height, areaHeight() + 6);
    EXPECT_EQ(model.xZoom, corrected);
    EXPECT_EQ(spinXZoom(), corrected);
    EXPECT_EQ(gtk_adjustment_get_upper(window.plot.horizontalAdjustment), 101);
}

TEST_F(ExportTest, PngHasTheAreaSizePlusABlankStrip) {
    const std::string path = folder.path("plot.png");
    EXPECT_EQ(exportTo(path), 1);
    const SurfacePtr png{cairo_image_surface_create_from_png(path.c_str())};
    ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png.get()), areaWidth() + 6);
    EXPECT_EQ(cairo_image_surface_get_height(png.get()), areaHeight() + 6);
}

TEST_F(ExportTest, RefusesShortNamesAndOtherEndings) {
    const struct {
        const char* name;
        std::string file;
    } rows[] = {
        {"four bytes", "a.sv"},
        {"empty", ""},
        {"another picture ending", folder.path("plot.jpg")},
        {"mixed-case PNG", folder.path("plot.Png")},
        {"mixed case", folder.path("plot.Svg")},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        // A zoom no refresh has corrected yet stays as it is.
        model.xZoom = 0;
        EXPECT_EQ(exportTo(r.file), 0);
        EXPECT_EQ(model.xZoom, 0);
        EXPECT_FALSE(!r.file.empty() && std::filesystem::exists(r.file));
    }
}

}  // namespace
