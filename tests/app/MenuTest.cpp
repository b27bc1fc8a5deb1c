// The menus, their accelerators delivered as real key events, and the tool-row commands.
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "app/Commands.h"
#include "app/GraphData.h"
#include "input/InputChannel.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/input/InputTestSupport.h"

namespace {

struct MenuLine {
    std::string label;
    std::string accelerator;  // as gtk_accelerator_name gives it, empty for none
    bool check;
};

GtkWidget* menuBarOf(GraphData& graph) {
    GtkWidget* column = gtk_bin_get_child(GTK_BIN(graph.mainWindow));
    GList* rows = gtk_container_get_children(GTK_CONTAINER(column));
    GList* menuRow = gtk_container_get_children(GTK_CONTAINER(rows->data));
    GtkWidget* bar = GTK_WIDGET(menuRow->data);
    g_list_free(menuRow);
    g_list_free(rows);
    return bar;
}

GtkWidget* submenuOf(GtkWidget* bar, int index) {
    GList* items = gtk_container_get_children(GTK_CONTAINER(bar));
    GtkWidget* item = GTK_WIDGET(g_list_nth_data(items, static_cast<guint>(index)));
    g_list_free(items);
    return gtk_menu_item_get_submenu(GTK_MENU_ITEM(item));
}

// The visible accelerator installed on an item's "activate" signal.
std::string shownAccelerator(GtkWidget* item) {
    std::string out;
    GList* closures = gtk_widget_list_accel_closures(item);
    for (GList* l = closures; l; l = l->next) {
        GClosure* closure = static_cast<GClosure*>(l->data);
        GtkAccelGroup* group = gtk_accel_group_from_accel_closure(closure);
        GtkAccelKey* key = gtk_accel_group_find(
            group, [](GtkAccelKey*, GClosure* c, gpointer wanted) -> gboolean { return c == wanted; },
            closure);
        if (key && (key->accel_flags & GTK_ACCEL_VISIBLE)) {
            gchar* name = gtk_accelerator_name(key->accel_key, key->accel_mods);
            out = name;
            g_free(name);
        }
    }
    g_list_free(closures);
    return out;
}

std::vector<MenuLine> linesOf(GtkWidget* menu) {
    std::vector<MenuLine> out;
    GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* l = items; l; l = l->next) {
        GtkWidget* item = GTK_WIDGET(l->data);
        if (GTK_IS_SEPARATOR_MENU_ITEM(item)) {
            out.push_back({"---", "", false});
            continue;
        }
        out.push_back({gtk_menu_item_get_label(GTK_MENU_ITEM(item)), shownAccelerator(item),
                       GTK_IS_CHECK_MENU_ITEM(item) != FALSE});
    }
    g_list_free(items);
    return out;
}

void expectMenu(const std::vector<MenuLine>& actual, const std::vector<MenuLine>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].label);
        EXPECT_EQ(actual[i].label, expected[i].label);
        EXPECT_EQ(actual[i].accelerator, expected[i].accelerator);
        EXPECT_EQ(actual[i].check, expected[i].check);
    }
}

class MenuTest : public ::testing::Test {
  protected:
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    PlotModel& model = graph.model;
};

TEST_F(MenuTest, FileAndDisplayMenusCarryTheirItemsInOrder) {
    GtkWidget* bar = menuBarOf(graph);
    GList* titles = gtk_container_get_children(GTK_CONTAINER(bar));
    ASSERT_EQ(g_list_length(titles), 2u);
    EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(titles->data)), "_File");
    EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(titles->next->data)), "_Display");
    g_list_free(titles);

    expectMenu(linesOf(submenuOf(bar, 0)), {{"_Open File", "<Primary>o", false},
                                            {"_Merge File", "<Primary>m", false},
                                            {"Open Device", "", false},
                                            {"Close Device", "", false},
                                            {"Reconnect Device", "", true},
                                            {"Comma-Separated Values", "", true},
                                            {"Name:Value Pairs", "", true},
                                            {"_Backup Device", "<Primary>b", false},
                                            {"Close Backup", "", false},
                                            {"_Save", "<Primary>s", false},
                                            {"_Export", "<Primary>x", false},
                                            {"Eval Expr", "<Primary>e", false},
                                            {"Help", "<Primary>question", false},
                                            {"---", "", false},
                                            {"_Quit", "<Primary>q", false}});
    expectMenu(linesOf(submenuOf(bar, 1)), {{"_Add Display", "<Primary>a", false},
                                            {"_Remove Display", "<Primary>r", false},
                                            {"_Clear", "<Primary>l", false},
                                            {"_Independent Displays", "<Primary>i", true},
                                            {"Frames", "<Primary>f", true},
                                            {"_High Frequency", "<Primary>h", true},
                                            {"_Fixed X-axis", "", true},
                                            {"Shared Y-axis Min:Max", "<Primary>y", true},
                                            {"Min/Max Envelope", "", true},
                                            {"Fi_t Y to View Now", "<Primary>t", false},
                                            {"Fit Y to Visible Data", "", true},
                                            {"_Configure", "<Primary>c", false},
                                            {"---", "", false},
                                            {"Version:\t\t0.36", "", false}});

    // Its entries are the devices present when the File menu opens (tests/app/DeviceMenuTest.cpp).
    GList* fileItems = gtk_container_get_children(GTK_CONTAINER(submenuOf(bar, 0)));
    EXPECT_EQ(gtk_menu_item_get_submenu(GTK_MENU_ITEM(g_list_nth_data(fileItems, 2))), graph.devices.menu);
    g_list_free(fileItems);
}

TEST_F(MenuTest, ReconnectDeviceIsOffUntilChecked) {
    GtkWidget* item = nullptr;
    GList* items = gtk_container_get_children(GTK_CONTAINER(submenuOf(menuBarOf(graph), 0)));
    for (GList* l = items; l; l = l->next) {
        if (GTK_IS_MENU_ITEM(l->data) &&
            gtk_menu_item_get_label(GTK_MENU_ITEM(l->data)) == std::string("Reconnect Device")) {
            item = GTK_WIDGET(l->data);
        }
    }
    g_list_free(items);
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item)));
    EXPECT_FALSE(graph.io.reconnectDevice);
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
    EXPECT_TRUE(graph.io.reconnectDevice);
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
    EXPECT_FALSE(graph.io.reconnectDevice);

    // -reconnect on the command line: the window starts with the item checked.
    GraphData other;
    other.io.reconnectDevice = true;
    buildMainWindow(other);
    GList* otherItems = gtk_container_get_children(GTK_CONTAINER(submenuOf(menuBarOf(other), 0)));
    GtkWidget* otherItem = GTK_WIDGET(g_list_nth_data(otherItems, 4));
    g_list_free(otherItems);
    EXPECT_TRUE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(otherItem)));
    EXPECT_TRUE(other.io.reconnectDevice);
    g_signal_handlers_disconnect_by_func(other.mainWindow, reinterpret_cast<gpointer>(gtk_main_quit),
                                         nullptr);
    gtk_widget_destroy(other.mainWindow);
    drainEvents();
}

TEST_F(MenuTest, AcceleratorsReachTheirCommands) {
    model.addGraph("");
    pressControl(graph, GDK_KEY_l);
    EXPECT_TRUE(model.graphs.empty()) << "Ctrl+L clears";

    ASSERT_TRUE(model.independentDisplays);
    pressControl(graph, GDK_KEY_a);
    EXPECT_EQ(model.displays.size(), 2u) << "Ctrl+A adds a display";
    EXPECT_FALSE(model.independentDisplays);

    pressControl(graph, GDK_KEY_r);
    EXPECT_EQ(model.displays.size(), 1u) << "Ctrl+R removes it";
    pressControl(graph, GDK_KEY_r);
    EXPECT_EQ(model.displays.size(), 1u) << "the last display stays";

    pressControl(graph, GDK_KEY_f);
    EXPECT_TRUE(model.frames) << "Ctrl+F toggles Frames mode";
}

TEST_F(MenuTest, PauseLowersAnOpenInputsWatchAndPlayRestoresIt) {
    // A readable pipe stands in for an open input.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    GIOChannel* channel = g_io_channel_unix_new(fds[0]);
    const guint id = g_io_add_watch_full(
        channel, 100, G_IO_IN, [](GIOChannel*, GIOCondition, gpointer) -> gboolean { return TRUE; }, nullptr,
        nullptr);
    graph.io.inputWatch = g_main_context_find_source_by_id(nullptr, id);

    pressControl(graph, GDK_KEY_p);
    EXPECT_FALSE(graph.io.playing);
    EXPECT_EQ(g_source_get_priority(graph.io.inputWatch), 300);
    EXPECT_EQ(graph.io.savedWatchPriority, 100);
    pressControl(graph, GDK_KEY_p);
    EXPECT_TRUE(graph.io.playing);
    EXPECT_EQ(g_source_get_priority(graph.io.inputWatch), 100);

    g_source_destroy(graph.io.inputWatch);
    graph.io.inputWatch = nullptr;
    g_io_channel_unref(channel);
    close(fds[0]);
    close(fds[1]);
}

TEST_F(MenuTest, PauseWithoutInputFlipsTheLabel) {
    GtkWidget* column = gtk_bin_get_child(GTK_BIN(graph.mainWindow));
    GList* rows = gtk_container_get_children(GTK_CONTAINER(column));
    GList* tools = gtk_container_get_children(GTK_CONTAINER(g_list_last(rows)->data));
    GtkButton* button = GTK_BUTTON(tools->data);
    g_list_free(tools);
    g_list_free(rows);
    gtk_button_clicked(button);
    EXPECT_STREQ(gtk_button_get_label(button), "Play");
    EXPECT_FALSE(graph.io.playing);
    gtk_button_clicked(button);
    EXPECT_STREQ(gtk_button_get_label(button), "Pause");
}

TEST_F(MenuTest, SizeKeysNeedRoomInFontAndLineWidth) {
    const struct {
        guint key;
        double font, line, expectFont, expectLine;
    } rows[] = {
        {GDK_KEY_plus, 19, 8, 20, 9}, {GDK_KEY_plus, 20, 9, 20, 9},      {GDK_KEY_KP_Add, 10, 9, 10, 9},
        {GDK_KEY_minus, 6, 1, 6, 1},  {GDK_KEY_KP_Subtract, 6, 2, 5, 1}, {GDK_KEY_minus, 5, 3, 5, 3},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << gdk_keyval_name(r.key) << " " << r.font << "/" << r.line);
        model.fontSize = r.font;
        model.lineWidth = r.line;
        model.refLineWidth = 2;
        pressControl(graph, r.key);
        EXPECT_EQ(model.fontSize, r.expectFont);
        EXPECT_EQ(model.lineWidth, r.expectLine);
        EXPECT_EQ(model.refLineWidth, r.expectFont != r.font ? 0.0 : 2.0);
    }
}

TEST_F(MenuTest, OpeningTheDisplayMenuShowsTheModelsModes) {
    model.frames = true;
    model.highFrequency = true;
    model.fixedXAxis = false;
    model.independentDisplays = false;
    model.envelope = true;
    model.yFit = true;
    GList* titles = gtk_container_get_children(GTK_CONTAINER(menuBarOf(graph)));
    gtk_menu_item_activate(GTK_MENU_ITEM(titles->next->data));
    g_list_free(titles);
    const DisplayData& items = graph.display;
    auto active = [](GtkWidget* item) {
        return gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item)) != FALSE;
    };
    EXPECT_FALSE(active(items.independentItem));
    EXPECT_TRUE(active(items.framesItem));
    EXPECT_TRUE(active(items.highFrequencyItem));
    EXPECT_FALSE(active(items.fixedXAxisItem));
    EXPECT_FALSE(active(items.sharedYItem));
    EXPECT_TRUE(active(items.envelopeItem));
    EXPECT_TRUE(active(items.yFitItem));
    // Syncing the items must not change the model through their handlers.
    EXPECT_TRUE(model.frames);
    EXPECT_FALSE(model.fixedXAxis);
    EXPECT_TRUE(model.envelope);
    // Unchecking the item turns the mode off.
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(items.envelopeItem), FALSE);
    EXPECT_FALSE(model.envelope);
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(items.yFitItem), FALSE);
    EXPECT_FALSE(model.yFit);
}

// A device sends comma-separated lines: they plot one graph until Comma-Separated Values is
// checked in the File menu, and from the next line on every field has its graph. An option line
// in the stream turns Name:Value Pairs on, and the menu shows it when it opens.
TEST_F(MenuTest, CommaSeparatedValuesTurnsOnWhileADeviceStreams) {
    PseudoTerminal device;
    graph.io.serialSpeed = -1;
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), graph.io));
    GList* titles = gtk_container_get_children(GTK_CONTAINER(menuBarOf(graph)));
    GtkMenuItem* fileTitle = GTK_MENU_ITEM(titles->data);
    g_list_free(titles);
    const auto active = [](GtkWidget* item) {
        return gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item)) != FALSE;
    };
    const auto send = [&](const std::string& lines, std::uint64_t total) {
        writeWhileRunning(device.master, lines);
        return runUntil([&] { return graph.io.linesHandedOn == total; });
    };

    ASSERT_TRUE(send("time_s,temp_C,humidity_pct\n0.02,25.05,45.0\n", 2));
    EXPECT_EQ(model.graphs.size(), 1u);
    gtk_menu_item_activate(fileTitle);
    EXPECT_FALSE(active(graph.csvItem));
    gtk_menu_item_activate(GTK_MENU_ITEM(graph.csvItem));  // as a click on the item
    EXPECT_TRUE(model.commaSeparated);

    ASSERT_TRUE(send("0.04,25.1,44.9\n0.06,,44.8\n", 4));
    ASSERT_EQ(model.graphs.size(), 3u);
    EXPECT_EQ(model.writeIndex, 3u);
    EXPECT_EQ(model.graphs[0].samples[1], 0.04);
    EXPECT_EQ(model.graphs[1].samples[1], 25.1);
    EXPECT_EQ(model.graphs[2].samples[1], 44.9);
    EXPECT_TRUE(std::isnan(model.graphs[1].samples[2])) << "an empty field is no sample";
    EXPECT_EQ(model.graphs[2].samples[2], 44.8);

    ASSERT_TRUE(send("#$ -labels\nt=1,rh=2\n", 6));
    gtk_menu_item_activate(fileTitle);
    EXPECT_TRUE(active(graph.csvItem));
    EXPECT_TRUE(active(graph.labelsItem));
    EXPECT_EQ(model.graphs.size(), 5u);
    gtk_menu_item_activate(GTK_MENU_ITEM(graph.csvItem));  // off again
    EXPECT_FALSE(model.commaSeparated);
    ASSERT_TRUE(send("7,8\n", 7));
    EXPECT_EQ(model.graphs[0].samples[4], 7.0);
    EXPECT_EQ(model.graphs[1].samples[4], 0.0);
    closeInput(graph.io);
}

TEST_F(MenuTest, RemoveDisplayLeavesIndependentModeAndUnchecksIt) {
    model.addGraph("");
    model.addGraph("");
    ASSERT_EQ(model.displays.size(), 2u);
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(graph.display.independentItem), TRUE);
    pressControl(graph, GDK_KEY_r);
    EXPECT_FALSE(model.independentDisplays);
    EXPECT_FALSE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(graph.display.independentItem)));
    EXPECT_EQ(model.displays.size(), 1u);
    EXPECT_EQ(model.graphs[1].display, 0u);
}

}  // namespace
