#include "app/MainWindow.h"

#include <gtk/gtk.h>

#include "app/Commands.h"
#include "app/DeviceMenu.h"
#include "app/EvalExpression.h"
#include "app/FileDrop.h"
#include "app/GraphData.h"
#include "app/PlotLoad.h"
#include "app/RecordingIndicator.xpm.h"
#include "app/Settings.h"
#include "input/GlibPtr.h"
#include "input/InputChannel.h"
#include "render/PlotAreaHandlers.h"
#include "ui/ConfigurationDialog.h"

namespace {

// The configuration dialog shows and sets the whole plot: a file still being read is read to its
// end first.
void onConfigureItem(GtkMenuItem* item, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    finishPlotLoad(*graph);
    onConfigure(item, &graph->conf);
}

const char* const styleSheet =
    " menu { border-radius:5px; border:1px solid #a0a0a0; } .frame1 { border-radius:0; border:1px "
    "solid #a0a0a0; } .bgcw { background-color: #ffffff; }"
    " spinbutton.compact entry { min-width: 0; padding-left: 4px; padding-right: 4px; }"
    " spinbutton.compact button { min-width: 0; padding-left: 4px; padding-right: 4px; }";

enum class ItemKind { item, label, check };

struct MenuEntry {
    const char* label;
    ItemKind kind;
    guint key;  // 0: no accelerator
    GCallback handler;
    gpointer data;
};

// A mnemonic item, a plain label item or a check item, with its accelerator shown in the menu.
GtkWidget* addMenuItem(GtkWidget* menu, GtkAccelGroup* accelerators, const MenuEntry& entry) {
    GtkWidget* item = nullptr;
    switch (entry.kind) {
        case ItemKind::item: item = gtk_menu_item_new_with_mnemonic(entry.label); break;
        case ItemKind::label: item = gtk_menu_item_new_with_label(entry.label); break;
        case ItemKind::check: item = gtk_check_menu_item_new_with_mnemonic(entry.label); break;
    }
    if (entry.handler) g_signal_connect(item, "activate", entry.handler, entry.data);
    if (entry.key != 0) {
        gtk_widget_add_accelerator(item, "activate", accelerators, entry.key, GDK_CONTROL_MASK,
                                   GTK_ACCEL_VISIBLE);
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    return item;
}

void addSeparator(GtkWidget* menu) {
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
}

GtkWidget* buildFileMenu(GraphData& graph, GtkAccelGroup* accelerators) {
    gpointer io = &graph.io;
    GtkWidget* menu = gtk_menu_new();
    addMenuItem(menu, accelerators, {"_Open File", ItemKind::item, GDK_KEY_o, G_CALLBACK(onOpenFile), io});
    addMenuItem(menu, accelerators, {"_Merge File", ItemKind::item, GDK_KEY_m, G_CALLBACK(onMergeFile), io});
    GtkWidget* devices =
        addMenuItem(menu, accelerators, {"Open Device", ItemKind::item, 0, nullptr, nullptr});
    graph.devices.menu = gtk_menu_new();
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(devices), graph.devices.menu);
    addMenuItem(menu, accelerators, {"Close Device", ItemKind::label, 0, G_CALLBACK(onCloseDevice), io});
    GtkWidget* reconnect = addMenuItem(
        menu, accelerators, {"Reconnect Device", ItemKind::check, 0, G_CALLBACK(onReconnectToggled), io});
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(reconnect), graph.io.reconnectDevice);
    graph.csvItem = addMenuItem(
        menu, accelerators, {"Comma-Separated Values", ItemKind::check, 0, G_CALLBACK(onCsvToggled), &graph});
    graph.labelsItem = addMenuItem(
        menu, accelerators, {"Name:Value Pairs", ItemKind::check, 0, G_CALLBACK(onLabelsToggled), &graph});
    addMenuItem(menu, accelerators,
                {"_Backup Device", ItemKind::item, GDK_KEY_b, G_CALLBACK(onBackupDevice), io});
    addMenuItem(menu, accelerators, {"Close Backup", ItemKind::label, 0, G_CALLBACK(onCloseBackup), io});
    addMenuItem(menu, accelerators, {"_Save", ItemKind::item, GDK_KEY_s, G_CALLBACK(onSave), io});
    addMenuItem(menu, accelerators, {"_Export", ItemKind::item, GDK_KEY_x, G_CALLBACK(onExport), io});
    addMenuItem(menu, accelerators,
                {"Eval Expr", ItemKind::item, GDK_KEY_e, G_CALLBACK(onEvalExpression), io});
    GtkWidget* help = addMenuItem(menu, accelerators,
                                  {"Help", ItemKind::item, GDK_KEY_question, G_CALLBACK(onHelp), &graph});
    // F1 opens the help as well, as on most desktops; the menu goes on showing Ctrl+?.
    gtk_widget_add_accelerator(help, "activate", accelerators, GDK_KEY_F1, GdkModifierType(0),
                               GtkAccelFlags(0));
    addSeparator(menu);
    addMenuItem(menu, accelerators, {"_Quit", ItemKind::item, GDK_KEY_q, G_CALLBACK(onQuitItem), &graph});
    return menu;
}

GtkWidget* buildDisplayMenu(GraphData& graph, GtkAccelGroup* accelerators) {
    DisplayData& display = graph.display;
    GtkWidget* menu = gtk_menu_new();
    addMenuItem(menu, accelerators,
                {"_Add Display", ItemKind::item, GDK_KEY_a, G_CALLBACK(onAddDisplay), &display});
    addMenuItem(menu, accelerators,
                {"_Remove Display", ItemKind::item, GDK_KEY_r, G_CALLBACK(onRemoveDisplay), &display});
    addMenuItem(menu, accelerators, {"_Clear", ItemKind::item, GDK_KEY_l, G_CALLBACK(onClear), &graph});
    display.independentItem = addMenuItem(
        menu, accelerators,
        {"_Independent Displays", ItemKind::check, GDK_KEY_i, G_CALLBACK(onIndependentToggled), &graph});
    display.framesItem = addMenuItem(
        menu, accelerators, {"Frames", ItemKind::check, GDK_KEY_f, G_CALLBACK(onFramesToggled), &graph});
    display.highFrequencyItem = addMenuItem(
        menu, accelerators,
        {"_High Frequency", ItemKind::check, GDK_KEY_h, G_CALLBACK(onHighFrequencyToggled), &graph});
    display.fixedXAxisItem = addMenuItem(
        menu, accelerators, {"_Fixed X-axis", ItemKind::check, 0, G_CALLBACK(onFixedXAxisToggled), &graph});
    display.sharedYItem = addMenuItem(
        menu, accelerators,
        {"Shared Y-axis Min:Max", ItemKind::check, GDK_KEY_y, G_CALLBACK(onSharedYToggled), &graph});
    display.envelopeItem = addMenuItem(
        menu, accelerators, {"Min/Max Envelope", ItemKind::check, 0, G_CALLBACK(onEnvelopeToggled), &graph});
    addMenuItem(menu, accelerators,
                {"Fi_t Y to View Now", ItemKind::item, GDK_KEY_t, G_CALLBACK(onFitYNow), &graph});
    display.yFitItem = addMenuItem(
        menu, accelerators, {"Fit Y to Visible Data", ItemKind::check, 0, G_CALLBACK(onYFitToggled), &graph});
    addMenuItem(menu, accelerators,
                {"_Configure", ItemKind::item, GDK_KEY_c, G_CALLBACK(onConfigureItem), &graph});
    addSeparator(menu);
    addMenuItem(menu, accelerators, {"Version:\t\t0.36", ItemKind::label, 0, nullptr, nullptr});
    return menu;
}

GtkWidget* buildMenuBar(GraphData& graph, GtkAccelGroup* accelerators) {
    GtkWidget* bar = gtk_menu_bar_new();
    GtkWidget* file = gtk_menu_item_new_with_mnemonic("_File");
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(file), buildFileMenu(graph, accelerators));
    // The devices present are looked up each time the File menu opens.
    g_signal_connect(file, "activate", G_CALLBACK(onFileMenuOpened), &graph);
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), file);
    GtkWidget* display = gtk_menu_item_new_with_mnemonic("_Display");
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(display), buildDisplayMenu(graph, accelerators));
    g_signal_connect(display, "activate", G_CALLBACK(onDisplayMenuOpened), &graph.display);
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), display);
    return bar;
}

// Ctrl+plus / Ctrl+minus (and the keypad keys) resize fonts and lines; they appear in no menu.
GtkAccelGroup* buildSizeKeys(GraphData& graph) {
    GtkAccelGroup* group = gtk_accel_group_new();
    const struct {
        guint key;
        GCallback handler;
    } keys[] = {{GDK_KEY_plus, G_CALLBACK(onEnlarge)},
                {GDK_KEY_KP_Add, G_CALLBACK(onEnlarge)},
                {GDK_KEY_minus, G_CALLBACK(onShrink)},
                {GDK_KEY_KP_Subtract, G_CALLBACK(onShrink)}};
    for (const auto& k : keys) {
        // A swapped closure hands the IOData to the handler as its first argument.
        GClosure* closure = g_cclosure_new_swap(k.handler, &graph.io, nullptr);
        gtk_accel_group_connect(group, k.key, GDK_CONTROL_MASK, GtkAccelFlags(0), closure);
    }
    return group;
}

GtkWidget* spinButton(double lower, double upper) {
    GtkAdjustment* adjustment = gtk_adjustment_new(0, lower, upper, 1, 5, 0);
    GtkWidget* spin = gtk_spin_button_new(adjustment, 1.0, 0);
    // Room for "-99" and slim buttons, so that the tool row lets the window become narrow.
    gtk_entry_set_width_chars(GTK_ENTRY(spin), 3);
    gtk_style_context_add_class(gtk_widget_get_style_context(spin), "compact");
    return spin;
}

void packToolRow(GraphData& graph, GtkWidget* box) {
    GtkWidget* pause = gtk_button_new_with_label(graph.io.playing ? "Pause" : "Play");
    gtk_label_set_width_chars(GTK_LABEL(gtk_bin_get_child(GTK_BIN(pause))), 5);
    g_signal_connect(pause, "clicked", G_CALLBACK(onPausePlay), &graph.io);
    gtk_box_pack_start(GTK_BOX(box), pause, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), gtk_label_new(""), TRUE, TRUE, 0);

    graph.gridSpin = spinButton(0, maxGridLevel);
    graph.plot.xZoomSpin = spinButton(-99, 99);
    graph.yZoomSpin = spinButton(0, 99);
    const struct {
        const char* label;
        GtkWidget* spin;
        GCallback handler;
    } spins[] = {{"Grid: ", graph.gridSpin, G_CALLBACK(onGridChanged)},
                 {"X-Zoom: ", graph.plot.xZoomSpin, G_CALLBACK(onXZoomChanged)},
                 {"Y-Zoom: ", graph.yZoomSpin, G_CALLBACK(onYZoomChanged)}};
    for (const auto& s : spins) {
        gtk_box_pack_start(GTK_BOX(box), gtk_label_new(s.label), FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(box), s.spin, FALSE, FALSE, 0);
        g_signal_connect(s.spin, "value-changed", s.handler, &graph);
    }

    GtkAccelGroup* pauseKey = gtk_accel_group_new();
    gtk_widget_add_accelerator(pause, "clicked", pauseKey, GDK_KEY_p, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
    gtk_window_add_accel_group(GTK_WINDOW(graph.mainWindow), pauseKey);
    g_object_unref(pauseKey);
}

GtkWidget* buildPlotRow(GraphData& graph) {
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10);
    gtk_container_set_border_width(GTK_CONTAINER(row), 10);
    gtk_style_context_add_class(gtk_widget_get_style_context(row), "bgcw");

    graph.plot.drawingArea = gtk_drawing_area_new();
    GtkWidget* area = graph.plot.drawingArea;
    gtk_widget_set_size_request(area, minPlotWidth, minPlotHeight);
    connectPlotArea(graph.plot);
    gtk_box_pack_start(GTK_BOX(row), area, TRUE, TRUE, 0);

    graph.plot.verticalAdjustment = gtk_adjustment_new(0, 0, 250, 1, 250, 250);
    g_signal_connect(graph.plot.verticalAdjustment, "value_changed", G_CALLBACK(onScrollChanged), &graph);
    gtk_box_pack_start(GTK_BOX(row),
                       gtk_scrollbar_new(GTK_ORIENTATION_VERTICAL, graph.plot.verticalAdjustment), FALSE,
                       FALSE, 0);
    return row;
}

GtkWidget* buildScrollRow(GraphData& graph) {
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10);
    gtk_container_set_border_width(GTK_CONTAINER(row), 5);
    const double last = static_cast<double>(graph.model.xSize) - 1.0;
    graph.plot.horizontalAdjustment =
        gtk_adjustment_new(last - startXSize, 0, last, 1, startXSize, startXSize);
    g_signal_connect(graph.plot.horizontalAdjustment, "value_changed", G_CALLBACK(onScrollChanged), &graph);
    gtk_box_pack_start(GTK_BOX(row),
                       gtk_scrollbar_new(GTK_ORIENTATION_HORIZONTAL, graph.plot.horizontalAdjustment), TRUE,
                       TRUE, 0);
    // Keeps the horizontal bar clear of the vertical bar's column.
    GtkWidget* spacer = gtk_label_new("");
    gtk_label_set_width_chars(GTK_LABEL(spacer), 2);
    gtk_box_pack_start(GTK_BOX(row), spacer, FALSE, FALSE, 0);
    return row;
}

// The menu row's expanding space, which shows the input status while an input is open (at the
// window's first size the tool row has no room left, the menu row some 500 pixels). The status lies
// over the space instead of filling it: an overlay asks only for the room of its main child, so
// however long the status, the window keeps its size, and the plot is never laid out anew for it.
// A status wider than the space ends in an ellipsis; its tooltip holds the whole text.
GtkWidget* statusSpace(GraphData& graph) {
    GtkWidget* space = gtk_overlay_new();
    gtk_container_add(GTK_CONTAINER(space), gtk_label_new(""));
    graph.io.statusLabel = gtk_label_new("");
    gtk_label_set_ellipsize(GTK_LABEL(graph.io.statusLabel), PANGO_ELLIPSIZE_END);
    gtk_label_set_xalign(GTK_LABEL(graph.io.statusLabel), 1.0f);  // beside the recording indicator
    gtk_widget_set_margin_end(graph.io.statusLabel, 6);
    gtk_overlay_add_overlay(GTK_OVERLAY(space), graph.io.statusLabel);
    // gtk_widget_destroyed() nulls the pointer when the label goes, so the timer never uses it then.
    g_signal_connect(graph.io.statusLabel, "destroy", G_CALLBACK(gtk_widget_destroyed),
                     &graph.io.statusLabel);
    return space;
}

void packMenuRow(GraphData& graph, GtkWidget* column, GtkAccelGroup* accelerators) {
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10);
    gtk_container_set_border_width(GTK_CONTAINER(row), 0);
    gtk_box_pack_start(GTK_BOX(column), row, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), buildMenuBar(graph, accelerators), FALSE, FALSE, 3);
    gtk_box_pack_start(GTK_BOX(row), statusSpace(graph), TRUE, TRUE, 0);

    graph.io.indicatorPixbuf.reset(
        gdk_pixbuf_new_from_xpm_data(const_cast<const char**>(recordingIndicatorXpm)));
    graph.io.indicatorImage = gtk_image_new_from_pixbuf(graph.io.indicatorPixbuf.get());
    gtk_widget_set_tooltip_text(graph.io.indicatorImage, "When active, input data is being recorded");
    gtk_widget_set_no_show_all(graph.io.indicatorImage, TRUE);
    gtk_box_pack_start(GTK_BOX(row), graph.io.indicatorImage, FALSE, FALSE, 5);
    updateRecordingIndicator(&graph.io);
}

void installStyleSheet() {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, styleSheet, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

// The installed icon: from the icon theme when the desktop looks in the installation's prefix,
// else the PNG installed under the program's own prefix. A program run from its build tree has none.
void setWindowIcon(GtkWindow* window) {
    if (gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), "kivrel")) {
        gtk_window_set_icon_name(window, "kivrel");
        return;
    }
    const GCharPtr program{g_file_read_link("/proc/self/exe", nullptr)};
    if (!program) return;
    const GCharPtr bin{g_path_get_dirname(program.get())};
    const GCharPtr icon{g_build_filename(bin.get(), "..", "share", "icons", "hicolor", "128x128", "apps",
                                         "kivrel.png", nullptr)};
    GError* error = nullptr;  // taking the error keeps GTK from warning about a missing file
    gtk_window_set_icon_from_file(window, icon.get(), &error);
    const GErrorPtr missing{error};
}

}  // namespace

PlotModel& GraphInputHost::plotModel() {
    return graph.model;
}
GtkWidget* GraphInputHost::window() const {
    return graph.mainWindow;
}
GtkWidget* GraphInputHost::plotArea() const {
    return graph.plot.drawingArea;
}
// Input brings the widgets in line as it changes the model, and the picture once per frame of the
// area; before the area exists and after it is gone there is nothing to bring in line.
void GraphInputHost::refreshPlot() {
    refreshPlotOnNextFrame(graph.plot);
}

void buildMainWindow(GraphData& graph) {
    graph.mainWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* window = graph.mainWindow;
    g_signal_connect(window, "delete-event", G_CALLBACK(onQuit), &graph);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_window_set_title(GTK_WINDOW(window), "Kivrel");
    setWindowIcon(GTK_WINDOW(window));
    // The window may shrink to the rows' own sizes and a small plot area (a tiling window manager or a
    // small screen places it), yet opens at its usual size.
    const bool sizeKept = graph.settings.windowWidth > 0 && graph.settings.windowHeight > 0;
    gtk_window_set_default_size(GTK_WINDOW(window), sizeKept ? graph.settings.windowWidth : startWindowWidth,
                                sizeKept ? graph.settings.windowHeight : startWindowHeight);
    trackWindowSize(graph);

    GtkAccelGroup* sizeKeys = buildSizeKeys(graph);
    gtk_window_add_accel_group(GTK_WINDOW(window), sizeKeys);
    g_object_unref(sizeKeys);

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(window), column);

    GtkAccelGroup* menuKeys = gtk_accel_group_new();
    packMenuRow(graph, column, menuKeys);
    gtk_window_add_accel_group(GTK_WINDOW(window), menuKeys);
    g_object_unref(menuKeys);

    gtk_box_pack_start(GTK_BOX(column), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), buildPlotRow(graph), TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(column), buildScrollRow(graph), FALSE, FALSE, 0);

    GtkWidget* toolRow = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10);
    gtk_container_set_border_width(GTK_CONTAINER(toolRow), 5);
    gtk_box_pack_start(GTK_BOX(column), toolRow, FALSE, FALSE, 0);
    packToolRow(graph, toolRow);

    acceptFileDrops(graph);

    installStyleSheet();
    gtk_widget_show_all(window);
}
