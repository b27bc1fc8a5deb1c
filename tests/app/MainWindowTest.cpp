#include "app/MainWindow.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "app/Commands.h"
#include "app/GraphData.h"
#include "input/IOData.h"
#include "input/InputChannel.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/input/InputTestSupport.h"

namespace {

std::vector<GtkWidget*> childrenOf(GtkWidget* container) {
    std::vector<GtkWidget*> out;
    GList* list = gtk_container_get_children(GTK_CONTAINER(container));
    for (GList* l = list; l; l = l->next) out.push_back(GTK_WIDGET(l->data));
    g_list_free(list);
    return out;
}

std::string labelOf(GtkWidget* widget) {
    // The input status lies over the menu row's expanding space: an overlay whose own child is the
    // space's empty label.
    if (GTK_IS_OVERLAY(widget)) return labelOf(gtk_bin_get_child(GTK_BIN(widget)));
    if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
    if (GTK_IS_BUTTON(widget)) return gtk_button_get_label(GTK_BUTTON(widget));
    if (GTK_IS_MENU_ITEM(widget)) return gtk_menu_item_get_label(GTK_MENU_ITEM(widget));
    return G_OBJECT_TYPE_NAME(widget);
}

TEST(MainWindow, StartsEmptyWithItsRowsInOrder) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(graph.mainWindow)), "Kivrel");
    EXPECT_EQ(graph.io.inputChannel, nullptr);
    EXPECT_EQ(graph.io.inputWatch, nullptr);
    EXPECT_FALSE(gtk_widget_get_visible(graph.io.indicatorImage));

    const std::vector<GtkWidget*> rows = childrenOf(gtk_bin_get_child(GTK_BIN(graph.mainWindow)));
    ASSERT_EQ(rows.size(), 5u);
    // menu row: menu bar, expanding label, recording indicator
    const std::vector<GtkWidget*> menuRow = childrenOf(rows[0]);
    ASSERT_EQ(menuRow.size(), 3u);
    EXPECT_TRUE(GTK_IS_MENU_BAR(menuRow[0]));
    EXPECT_EQ(labelOf(menuRow[1]), "");
    EXPECT_EQ(gtk_widget_get_parent(graph.io.statusLabel), menuRow[1]);
    EXPECT_EQ(menuRow[2], graph.io.indicatorImage);
    EXPECT_STREQ(gtk_widget_get_tooltip_text(menuRow[2]), "When active, input data is being recorded");
    EXPECT_TRUE(GTK_IS_SEPARATOR(rows[1]));
    // plot row: drawing area and vertical scroll bar on a white background
    EXPECT_TRUE(gtk_style_context_has_class(gtk_widget_get_style_context(rows[2]), "bgcw"));
    const std::vector<GtkWidget*> plotRow = childrenOf(rows[2]);
    ASSERT_EQ(plotRow.size(), 2u);
    EXPECT_EQ(plotRow[0], graph.plot.drawingArea);
    EXPECT_TRUE(GTK_IS_SCROLLBAR(plotRow[1]));
    EXPECT_TRUE(gtk_widget_get_events(graph.plot.drawingArea) & GDK_SCROLL_MASK);
    EXPECT_TRUE(GTK_IS_SCROLLBAR(childrenOf(rows[3])[0]));

    std::vector<std::string> tools;
    for (GtkWidget* w : childrenOf(rows[4])) tools.push_back(labelOf(w));
    const std::vector<std::string> expected = {
        "Pause", "", "Grid: ", "GtkSpinButton", "X-Zoom: ", "GtkSpinButton", "Y-Zoom: ", "GtkSpinButton"};
    EXPECT_EQ(tools, expected);

    double lower = 0, upper = 0;
    gtk_spin_button_get_range(GTK_SPIN_BUTTON(graph.plot.xZoomSpin), &lower, &upper);
    EXPECT_EQ(lower, -99);
    EXPECT_EQ(upper, 99);
    gtk_spin_button_get_range(GTK_SPIN_BUTTON(graph.yZoomSpin), &lower, &upper);
    EXPECT_EQ(lower, 0);

    fixture.saveScreenshot("main-window-empty.png");
}

// Lines from an input redraw the plot; blank lines do not, and neither does a refresh of the input
// status, which lays out the menu row only.
TEST(MainWindow, OnlyLinesThatChangeThePlotRedrawIt) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    PseudoTerminal device;
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), graph.io));
    // (After opening: the window's new layout would repaint the plot.)
    GdkWindow* plot = gtk_widget_get_window(graph.plot.drawingArea);
    drainEvents();
    // Hold repaints back, so that the redraws the input asks for stay visible.
    gdk_window_freeze_updates(plot);

    writeWhileRunning(device.master, "1 2 3\n4\n");
    runUntil([&] { return graph.model.writeIndex == 2; });
    EXPECT_TRUE(runUntil([&] { return takeRedrawRequest(graph.plot.drawingArea); }))
        << "lines arrived: the plot is redrawn on its next frame";

    // An expose the X server still owes the new window (late on a busy machine) would look like a
    // redraw asked for: let everything sent so far arrive, and start again from a clean slate.
    gdk_display_sync(gdk_window_get_display(plot));
    drainEvents();
    takeRedrawRequest(graph.plot.drawingArea);
    writeWhileRunning(device.master, "\r\n \n\t\r\n");
    runUntil([&] { return device.unread() == 0; });
    // The input status may be refreshed at any moment: its new text lays out the menu row only,
    // and never asks the plot to be drawn again.
    updateInputStatus(graph.io);
    gtk_container_check_resize(GTK_CONTAINER(graph.mainWindow));
    drainEvents();
    EXPECT_FALSE(takeRedrawRequest(graph.plot.drawingArea))
        << "blank lines and a status refresh ask for no redraw";
    gdk_window_thaw_updates(plot);
}

// The status shares the menu row with the menus: however long its text, the window keeps its size
// and the plot its area (a label that asked for its whole text would widen the window); at the
// window's first size the hint is shown whole.
TEST(MainWindow, TheInputStatusNeverChangesTheWindowsSize) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    PseudoTerminal device;
    graph.io.serialSpeed = -1;
    GtkWidget* main = graph.mainWindow;
    const auto settle = [main] {
        drainEvents();
        gtk_container_check_resize(GTK_CONTAINER(main));  // a pending resize now, not at the next frame
        drainEvents();
    };
    const auto sizes = [&graph] {
        int minimum = 0, natural = 0;
        gtk_widget_get_preferred_width(graph.mainWindow, &minimum, &natural);
        return std::vector<int>{gtk_widget_get_allocated_width(graph.mainWindow),
                                gtk_widget_get_allocated_height(graph.mainWindow),
                                gtk_widget_get_allocated_width(graph.plot.drawingArea),
                                gtk_widget_get_allocated_height(graph.plot.drawingArea), minimum};
    };
    settle();
    const std::vector<int> before = sizes();

    ASSERT_TRUE(openSerialDevice(device.name.c_str(), graph.io));
    writeWhileRunning(device.master, repeated("no numbers here\n", 60));
    ASSERT_TRUE(runUntil([&] { return graph.io.linesHandedOn == 60; }));
    updateInputStatus(graph.io);
    const std::string shown = gtk_label_get_text(GTK_LABEL(graph.io.statusLabel));
    ASSERT_NE(shown.find("no numbers in the last 50 lines"), std::string::npos) << shown;
    settle();
    EXPECT_EQ(sizes(), before) << "with the hint";
    int natural = 0;
    gtk_widget_get_preferred_width(graph.io.statusLabel, nullptr, &natural);
    EXPECT_GE(gtk_widget_get_allocated_width(graph.io.statusLabel), natural) << "shown whole: " << shown;
    gchar* tooltip = gtk_widget_get_tooltip_text(graph.io.statusLabel);
    EXPECT_STREQ(tooltip, shown.c_str()) << "the whole status, wherever the row cuts it";
    g_free(tooltip);

    gtk_label_set_text(GTK_LABEL(graph.io.statusLabel),
                       inputStatusText(123456789.0, 98765432109876ull, 1000).c_str());
    settle();
    EXPECT_EQ(sizes(), before) << "with the longest numbers";
    closeInput(graph.io);
    settle();
    EXPECT_EQ(sizes(), before) << "after the input closed";
}

TEST(MainWindow, SpinButtonsRejectOutOfRangeValuesButStillRedraw) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    // An axis long enough that no X zoom below 0 shows more than all of it, so none is corrected.
    graph.model.setXSize(1000001);
    const struct {
        const char* name;
        GtkWidget* spin;
        double value;
        const std::int32_t* field;
        std::int32_t expected;
    } rows[] = {
        {"Y zoom below 0", graph.yZoomSpin, -3, &graph.model.yZoom, 0},
        {"Y zoom 4", graph.yZoomSpin, 4, &graph.model.yZoom, 4},
        {"Y zoom 150", graph.yZoomSpin, 150, &graph.model.yZoom, 150},
        {"grid 100", graph.gridSpin, 100, &graph.model.gridLevel, 0},
        {"grid -1", graph.gridSpin, -1, &graph.model.gridLevel, 0},
        {"grid 99", graph.gridSpin, 99, &graph.model.gridLevel, 99},
        {"X zoom -150", graph.plot.xZoomSpin, -150, &graph.model.xZoom, -150},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        // Typed text is limited by the spin button's own range; widen it to reach the handler's checks.
        gtk_spin_button_set_range(GTK_SPIN_BUTTON(r.spin), -1000, 1000);
        drainEvents();
        takeRedrawRequest(graph.plot.drawingArea);
        ASSERT_FALSE(takeRedrawRequest(graph.plot.drawingArea));
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(r.spin), r.value);
        EXPECT_EQ(*r.field, r.expected);
        EXPECT_TRUE(takeRedrawRequest(graph.plot.drawingArea));
    }
}
TEST(MainWindow, WidgetsFollowTheModelWhereItChangesNotWhereItIsDrawn) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    GdkWindow* areaWindow = gtk_widget_get_window(graph.plot.drawingArea);
    const int width = gtk_widget_get_allocated_width(graph.plot.drawingArea);
    const int height = gtk_widget_get_allocated_height(graph.plot.drawingArea);
    ASSERT_GT(width, 600);
    // Nothing is drawn from here on: whatever the widgets show comes from where the model changed.
    gdk_window_freeze_updates(areaWindow);
    const auto upper = [&] { return gtk_adjustment_get_upper(graph.plot.horizontalAdjustment); };
    const auto page = [&] { return gtk_adjustment_get_page_size(graph.plot.horizontalAdjustment); };

    // A device's lines grow an extendable axis; the scroll bar follows it.
    PseudoTerminal device;
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), graph.io));
    std::string lines = "#$ -no-fixed -no-limits\n";
    for (int i = 0; i < 2000; ++i) lines += std::to_string(i % 7) + "\n";
    writeWhileRunning(device.master, lines);
    ASSERT_TRUE(runUntil([&] { return graph.model.xSize >= 2000; }));
    EXPECT_EQ(upper(), graph.model.xSize);
    EXPECT_EQ(page(), width);
    // An option line in the stream turns Frames mode on: the frame margin leaves less to show.
    writeWhileRunning(device.master, "#$ -frame\n5\n");
    ASSERT_TRUE(runUntil([&] { return graph.model.frames; }));
    EXPECT_EQ(page(), width - 60);
    EXPECT_EQ(upper(), graph.model.xSize);

    // The Y-Zoom spin button: the vertical scroll bar shows a quarter of the stretched displays.
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(graph.yZoomSpin), 3);
    EXPECT_DOUBLE_EQ(gtk_adjustment_get_page_size(graph.plot.verticalAdjustment), height / 4.0);
    // The X-Zoom spin button: two pixels per sample.
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(graph.plot.xZoomSpin), 1);
    EXPECT_DOUBLE_EQ(page(), (width - 60) / 2.0);
    gdk_window_thaw_updates(areaWindow);
}

// Opens at its usual size; shrunk as far as it goes, the plot area keeps a usable 250 x 150 and every
// widget of the rows above and below keeps the room it asks for.
TEST(MainWindow, OpensAtItsUsualSizeAndShrinksFarBelowIt) {
    MainWindowFixture fixture;
    GtkWindow* window = GTK_WINDOW(fixture.graph.mainWindow);
    int width = 0, height = 0;
    gtk_window_get_size(window, &width, &height);
    EXPECT_EQ(width, 660);
    EXPECT_EQ(height, 367);

    gtk_window_resize(window, 1, 1);
    // The X server answers the resize in its own time.
    for (int wait = 0; wait < 200 && width == 660 && height == 367; ++wait) {
        g_usleep(10000);
        drainEvents();
        gtk_window_get_size(window, &width, &height);
    }
    drainEvents();
    gtk_window_get_size(window, &width, &height);
    EXPECT_LE(width, 560);
    EXPECT_LE(height, 280);
    GtkWidget* area = fixture.graph.plot.drawingArea;
    EXPECT_GE(gtk_widget_get_allocated_width(area), 250);
    EXPECT_EQ(gtk_widget_get_allocated_height(area), 150);
    // Every control keeps the room it asks for, inside the window.
    for (GType type :
         {GTK_TYPE_MENU_BAR, GTK_TYPE_BUTTON, GTK_TYPE_SPIN_BUTTON, GTK_TYPE_LABEL, GTK_TYPE_SCROLLBAR}) {
        for (GtkWidget* widget : widgetsOf(GTK_WIDGET(window), type)) {
            if (!gtk_widget_is_drawable(widget)) continue;
            SCOPED_TRACE(labelOf(widget));
            int minimumWidth = 0, minimumHeight = 0;
            gtk_widget_get_preferred_width(widget, &minimumWidth, nullptr);
            gtk_widget_get_preferred_height(widget, &minimumHeight, nullptr);
            EXPECT_GE(gtk_widget_get_allocated_width(widget), minimumWidth);
            EXPECT_GE(gtk_widget_get_allocated_height(widget), minimumHeight);
            int x = -1, y = -1;
            gtk_widget_translate_coordinates(widget, GTK_WIDGET(window), 0, 0, &x, &y);
            EXPECT_GE(x, 0);
            EXPECT_GE(y, 0);
            EXPECT_LE(x + gtk_widget_get_allocated_width(widget), width);
            EXPECT_LE(y + gtk_widget_get_allocated_height(widget), height);
        }
    }
    fixture.saveScreenshot("main-window-smallest.png");
}

// Draws the plot area through its "draw" handler, as a frame does.
void drawOnce(GtkWidget* area) {
    cairo_surface_t* surface = cairo_image_surface_create(
        CAIRO_FORMAT_ARGB32, gtk_widget_get_allocated_width(area), gtk_widget_get_allocated_height(area));
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(area, cr);
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

std::int64_t fakeNow = 0;

// A spike of 100 that has left the ring under 24.8 and 25.2: Ctrl+T fits the range to what is in
// view once; in Fit Y to Visible Data mode the range follows the view frame by frame, and narrows
// only a second (on the area's clock) after the spike went.
TEST(PlotArea, YRangesFitTheSamplesInView) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    PlotModel& model = graph.model;
    graph.plot.clock = [] { return fakeNow; };
    const auto steady = [&](int lines) {
        for (int i = 0; i < lines; ++i) model.processLine(i % 2 ? "25.2" : "24.8");
    };
    for (int i = 0; i < 100; ++i) model.processLine("100");
    steady(200);
    const auto range = [&] { return std::pair{model.displays[0].yMin, model.displays[0].yMax}; };

    steady(610);  // the spike is overwritten, but the range of all received samples keeps it
    model.recomputeYRange(0);
    drawOnce(graph.plot.drawingArea);
    EXPECT_EQ(range(), std::pair(24.0, 100.0));
    pressControl(graph, GDK_KEY_t);
    drainEvents();
    EXPECT_EQ(range(), std::pair(24.0, 26.0));

    model.processLine("100");
    model.recomputeYRange(0);
    model.yFit = true;
    fakeNow = 0;
    drawOnce(graph.plot.drawingArea);
    EXPECT_EQ(range(), std::pair(24.0, 100.0));
    steady(610);
    fakeNow = 500000;
    drawOnce(graph.plot.drawingArea);
    EXPECT_EQ(range(), std::pair(24.0, 100.0));
    EXPECT_NE(graph.plot.narrowTimer, 0u) << "a frame follows while the range waits";
    fakeNow = 1500000;
    drawOnce(graph.plot.drawingArea);
    EXPECT_EQ(range(), std::pair(24.0, 26.0));
}

TEST(MainWindowDeathTest, WrongRecordTagEndsTheProcess) {
    GraphData graph;
    // The IOData record handed to a GraphData handler.
    EXPECT_EXIT(onClear(nullptr, &graph.io), testing::ExitedWithCode(1),
                "^kivrel:[0-9]+: InternalError: bad cast \\[258\\] to GraphData\n$");
    EXPECT_EXIT(onPausePlay(nullptr, &graph), testing::ExitedWithCode(1),
                "^kivrel:[0-9]+: InternalError: bad cast \\[257\\] to IOData\n$");
}

}  // namespace

TEST(MainWindow, StreamingLinesRepaintOncePerFrameAndLeaveTheScrollBarsAlone) {
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    PseudoTerminal device;
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), graph.io));
    writeWhileRunning(device.master, "1 2\n3 4\n");
    // The first lines make the graphs; then the area is drawn and left alone again.
    runUntil([&] { return graph.io.linesHandedOn == 2 && graph.plot.frameTick == 0; });

    struct Counts {
        int draws = 0;
        int changes = 0;  // "changed" and "notify" of the scroll bars' adjustments
        int frames = 0;   // of an idle plot
    } counts;
    const auto count = +[](gpointer, gpointer record) { ++*static_cast<int*>(record); };
    const auto countDraw = +[](GtkWidget*, cairo_t*, gpointer record) -> gboolean {
        ++*static_cast<int*>(record);
        return FALSE;
    };
    const gulong drawn =
        g_signal_connect_after(graph.plot.drawingArea, "draw", G_CALLBACK(countDraw), &counts.draws);
    GtkAdjustment* adjustments[] = {graph.plot.horizontalAdjustment, graph.plot.verticalAdjustment};
    const auto countNotify = +[](GObject*, GParamSpec*, gpointer record) { ++*static_cast<int*>(record); };
    std::vector<gulong> changed;
    for (GtkAdjustment* adjustment : adjustments) {
        changed.push_back(g_signal_connect(adjustment, "changed", G_CALLBACK(count), &counts.changes));
        changed.push_back(g_signal_connect(adjustment, "notify", G_CALLBACK(countNotify), &counts.changes));
    }
    GdkFrameClock* clock = gtk_widget_get_frame_clock(graph.plot.drawingArea);
    const gint64 firstFrame = gdk_frame_clock_get_frame_counter(clock);

    // Many wake-ups of the input, most of them within one frame.
    for (int line = 0; line < 40; ++line) {
        writeWhileRunning(device.master, std::to_string(line) + " 0.5\n");
        runUntil([&] { return graph.io.linesHandedOn == 3u + line; });
    }
    runUntil([&] { return graph.plot.frameTick == 0; });
    EXPECT_GE(counts.draws, 1) << "what arrived is shown";
    EXPECT_LE(counts.draws, gdk_frame_clock_get_frame_counter(clock) - firstFrame)
        << "at most once per frame";
    // Reconfiguring an adjustment, even to the values it has, lays the whole window out anew.
    EXPECT_EQ(counts.changes, 0) << "the axis and the view stayed as they were";

    // Idle: frames go on (another widget asks for them), the plot is not drawn in any of them.
    const int drawsBefore = counts.draws;
    gtk_widget_add_tick_callback(
        graph.mainWindow,
        [](GtkWidget*, GdkFrameClock*, gpointer record) -> gboolean {
            return ++*static_cast<int*>(record) < 10 ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
        },
        &counts.frames, nullptr);
    runUntil([&] { return counts.frames == 10; });
    EXPECT_EQ(counts.draws, drawsBefore);

    g_signal_handler_disconnect(graph.plot.drawingArea, drawn);
    for (std::size_t i = 0; i < changed.size(); ++i)
        g_signal_handler_disconnect(adjustments[i / 2], changed[i]);
}
