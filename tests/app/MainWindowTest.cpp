#include "app/MainWindow.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "app/Commands.h"
#include "app/GraphData.h"
#include "tests/app/GuiTestSupport.h"

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

TEST(MainWindowDeathTest, WrongRecordTagEndsTheProcess) {
    GraphData graph;
    // The IOData record handed to a GraphData handler.
    EXPECT_EXIT(onClear(nullptr, &graph.io), testing::ExitedWithCode(1),
                "^kivrel:[0-9]+: InternalError: bad cast \\[258\\] to GraphData\n$");
    EXPECT_EXIT(onPausePlay(nullptr, &graph), testing::ExitedWithCode(1),
                "^kivrel:[0-9]+: InternalError: bad cast \\[257\\] to IOData\n$");
}

}  // namespace
