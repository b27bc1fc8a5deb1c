#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include "app/Commands.h"
#include "app/GraphData.h"
#include "input/FileName.h"
#include "render/Export.h"
#include "render/PlotAreaHandlers.h"
#include "tests/app/ChooserSteps.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/render/ExportTestSupport.h"
#include "tests/render/PlotAreaTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.ok());
        resizeWindow(graph, 900, 560);
        // A short axis: the refresh after a change spreads it over the area by raising the X zoom.
        model.setXSize(101);
        model.processLine("1 2");
        model.processLine("-1 0.5");
        refreshPlotArea(graph.plot);
    }

    static FileName named(const std::string& text) {
        FileName name;
        name.setFromUtf8(text.c_str());
        return name;
    }

    int areaWidth() const { return gtk_widget_get_allocated_width(graph.plot.drawingArea); }
    int areaHeight() const { return gtk_widget_get_allocated_height(graph.plot.drawingArea); }
    int spinXZoom() const { return gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(graph.plot.xZoomSpin)); }

    TempDir folder;
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    PlotModel& model = graph.model;
};

TEST_F(ExportTest, WritesTheAreaAtItsSizeAndLeavesTheWidgetsAsTheyAre) {
    const std::string path = folder.path("plot.PDF");
    const int corrected = areaWidth() / 100 - 1;
    ASSERT_GT(corrected, 0);
    ASSERT_EQ(model.xZoom, corrected);
    EXPECT_EQ(exportDrawing(graph.plot, named(path)), 1);
    const PageSize size = pdfPageSize(path);
    EXPECT_EQ(size.width, areaWidth() + 6);
    EXPECT_EQ(size.height, areaHeight() + 6);
    EXPECT_EQ(model.xZoom, corrected);
    EXPECT_EQ(spinXZoom(), corrected);
    EXPECT_EQ(gtk_adjustment_get_upper(graph.plot.horizontalAdjustment), 101);
}

TEST_F(ExportTest, PngHasTheAreaSizePlusABlankStrip) {
    const std::string path = folder.path("plot.png");
    EXPECT_EQ(exportDrawing(graph.plot, named(path)), 1);
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
        EXPECT_EQ(exportDrawing(graph.plot, named(r.file)), 0);
        EXPECT_EQ(model.xZoom, 0);
        EXPECT_FALSE(!r.file.empty() && std::filesystem::exists(r.file));
    }
}

TEST_F(ExportTest, TheCommandProposesANameWritesTheFileAndResumesInput) {
    DialogScript script;
    graph.io.currentInputName = "/data/log.plt";
    ASSERT_TRUE(graph.io.playing);
    std::string proposed, title;
    bool playingMeanwhile = true;
    script.then([&](GtkDialog* dialog) {
        GCharPtr name{gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog))};
        proposed = name ? name.get() : "";
        title = gtk_window_get_title(GTK_WINDOW(dialog));
        playingMeanwhile = graph.io.playing;
        saveInto(folder.path("picture.svg"))(dialog);
    });
    onExport(nullptr, &graph.io);
    EXPECT_EQ(script.answered, 1);  // no error dialog
    EXPECT_EQ(title, "Export to PDF/SVG");
    EXPECT_EQ(proposed, "log.pdf");
    EXPECT_FALSE(playingMeanwhile);
    EXPECT_TRUE(graph.io.playing);
    const std::string svg = commandOutput("head -c 400 '" + (folder.path("picture.svg")) + "'");
    EXPECT_NE(svg.find("width=\"" + std::to_string(areaWidth() + 6) + "pt\""), std::string::npos) << svg;
}

// An export that cannot be written - a full disk, a folder that refuses new files - is reported,
// and the file the user chose to replace keeps its old content.
TEST_F(ExportTest, AFailedExportIsReportedAndKeepsTheOldFile) {
    const std::string old = "the picture exported before\n";
    const std::string readOnly = folder.path("read-only");
    ASSERT_EQ(mkdir(readOnly.c_str(), 0755), 0);
    writeWholeFile(readOnly + "/plot.pdf", old);
    ASSERT_EQ(chmod((readOnly + "/plot.pdf").c_str(), 0444), 0);
    ASSERT_EQ(chmod(readOnly.c_str(), 0555), 0);
    const struct {
        const char* name;
        std::string path;
        bool fullDisk;
    } rows[] = {
        {"full disk, PDF", folder.path("plot.pdf"), true},
        {"full disk, SVG", folder.path("plot.svg"), true},
        {"read-only folder", readOnly + "/plot.pdf", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        if (r.fullDisk) writeWholeFile(r.path, old);
        DialogScript script;
        std::string message;
        script.then(replaceInto(r.path));
        script.then(recordMessage(message));
        {
            std::optional<FileSizeLimit> full;
            if (r.fullDisk) full.emplace(200);  // the picture is larger
            ASSERT_TRUE(!full || full->ok());
            WithoutPermissionOverride asUser;
            onExport(nullptr, &graph.io);
        }
        EXPECT_EQ(message, "Error: Invalid file: " + r.path);
        EXPECT_EQ(readWholeFile(r.path), old);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.folder()),
                            std::filesystem::directory_iterator()),
              3);
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(readOnly), std::filesystem::directory_iterator()),
        1);
    chmod(readOnly.c_str(), 0755);
}

TEST_F(ExportTest, TheCommandReportsInvalidNamesAndFiles) {
    graph.io.currentInputName.clear();
    const struct {
        const char* name;
        std::function<void(GtkDialog*)> answer;
        std::string message;
    } rows[] = {
        {"another picture ending", saveInto(folder.path("plot.gif")),
         "Error: Invalid file: " + (folder.path("plot.gif"))},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        DialogScript script;
        std::string proposed, message;
        script.then([&](GtkDialog* dialog) {
            GCharPtr name{gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog))};
            proposed = name ? name.get() : "";
            r.answer(dialog);
        });
        script.then(recordMessage(message));
        graph.io.playing = false;
        onExport(nullptr, &graph.io);
        EXPECT_EQ(proposed, "untitled.pdf");
        EXPECT_EQ(message, r.message);
        EXPECT_FALSE(graph.io.playing);  // paused input stays paused
    }
}

}  // namespace
