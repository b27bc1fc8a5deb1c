// The Configure dialog with real widgets: the test types into its fields, answers its file
// choosers and checks what reaches the plot model.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "files/Configuration.h"
#include "input/SerialSpeeds.h"
#include "tests/app/ChooserSteps.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/CommaLocale.h"
#include "tests/support/TempDir.h"
#include "ui/ConfigurationDialog.h"

namespace {

void typeInto(GtkWidget* entry, const char* text) {
    gtk_entry_set_text(GTK_ENTRY(entry), text);
}

std::string textOf(GtkWidget* entry) {
    return gtk_entry_get_text(GTK_ENTRY(entry));
}

// Lets a file chooser finish loading its folder until it names a file; false when it never does.
bool waitForChoice(GtkDialog* chooser) {
    for (int i = 0; i < 500; ++i) {
        gchar* uri = gtk_file_chooser_get_uri(GTK_FILE_CHOOSER(chooser));
        g_free(uri);
        if (uri) return true;
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(2000);
    }
    return false;
}

std::function<void(GtkDialog*)> readMessage(std::string& message) {
    return [&message](GtkDialog* dialog) {
        message = messageText(dialog);
        gtk_dialog_response(dialog, GTK_RESPONSE_CLOSE);
    };
}

std::string configurationText(const PlotModel& model) {
    std::ostringstream out;
    writeConfiguration(model, out);
    return out.str();
}

// Two displays (the second manual with reference lines) and three graphs, independent displays off.
void fillModel(PlotModel& model) {
    model.setIndependentDisplays(false);
    model.processLine("1 2 3");
    model.processLine("4 -5 6");
    model.addDisplay(1);
    model.moveGraphToDisplay(2, 1);
    Display& second = model.displays[1];
    second.autoRange = false;
    second.yMin = -100;
    second.yMax = 100;
    model.addReferenceLine(1, 0.25);
    model.addReferenceLine(1, 1013.25);
}

class ConfigurationDialog : public ::testing::Test {
  protected:
    void open() {
        onConfigure(nullptr, &conf);
        drainEvents();
        ASSERT_NE(conf.dialog, nullptr);
    }
    void respond(gint response) {
        gtk_dialog_response(GTK_DIALOG(conf.dialog), response);
        drainEvents();
    }

    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    ConfData& conf = graph.conf;
    DialogScript script;
};

TEST_F(ConfigurationDialog, CtrlCOpensItWithTheModelsValuesAndTheFocusInXAxisSize) {
    fillModel(graph.model);
    graph.model.lineWidth = 1.5;
    graph.model.displays[0].weight = 20;
    pressControl(graph, GDK_KEY_c);
    ASSERT_NE(conf.dialog, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(conf.dialog)), "Configure");
    EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(conf.dialog)), conf.xSizeEntry);
    saveWidgetScreenshot(conf.dialog, "configuration-dialog.png");

    EXPECT_EQ(textOf(conf.xSizeEntry), "609");
    EXPECT_EQ(textOf(conf.xLimitEntry), "50000");
    EXPECT_EQ(textOf(conf.backupLimitEntry), "50000");
    EXPECT_EQ(gtk_spin_button_get_value(GTK_SPIN_BUTTON(conf.lineWidthSpin)), 1.5) << "not cut to 1";
    ASSERT_EQ(conf.yAutoSwitches.size(), 2u);
    ASSERT_EQ(conf.titleEntries.size(), 3u);
    EXPECT_EQ(gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(conf.weightSpins[0])), 20) << "not cut to 9";
    EXPECT_EQ(textOf(conf.refLinesEntries[1]), "0.25 1013.25") << "no digit lost beyond the fourth";
    EXPECT_EQ(textOf(conf.yMaxEntries[1]), "100");
    EXPECT_FALSE(gtk_widget_get_sensitive(conf.yMaxEntries[0])) << "display 0 is automatic";
    EXPECT_TRUE(gtk_widget_get_sensitive(conf.yMinEntries[1]));
    EXPECT_EQ(textOf(conf.titleEntries[1]), "_1");
    EXPECT_EQ(gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(conf.displaySpins[2])), 1);

    // A second Configure shows the same dialog rather than a second one over the same lists.
    GtkWidget* first = conf.dialog;
    onConfigure(nullptr, &conf);
    EXPECT_EQ(conf.dialog, first);
    EXPECT_EQ(conf.titleEntries.size(), 3u);
}

// The label among the table headings with this text.
GtkWidget* heading(GtkWidget* dialog, const std::string& text) {
    for (GtkWidget* label : widgetsOf(dialog, GTK_TYPE_LABEL)) {
        if (text == gtk_label_get_text(GTK_LABEL(label)) &&
            !gtk_widget_get_ancestor(label, GTK_TYPE_SCROLLED_WINDOW))
            return label;
    }
    ADD_FAILURE() << "no heading " << text;
    return nullptr;
}

int xIn(GtkWidget* widget, GtkWidget* ancestor) {
    int x = -1, y = -1;
    gtk_widget_translate_coordinates(widget, ancestor, 0, 0, &x, &y);
    return x;
}

int yIn(GtkWidget* widget, GtkWidget* ancestor) {
    int x = -1, y = -1;
    gtk_widget_translate_coordinates(widget, ancestor, 0, 0, &x, &y);
    return y;
}

// 64 graphs in 64 displays fit on a 1366 x 768 screen: the display and graph tables scroll, each
// under a heading row that stays in place above its columns.
TEST_F(ConfigurationDialog, SixtyFourGraphsAndDisplaysFitASmallScreenUnderTheirHeadings) {
    PlotModel& model = graph.model;
    model.setIndependentDisplays(false);
    std::string line;
    for (int g = 0; g < 64; ++g) line += std::to_string(g) + " ";
    model.processLine(line.c_str());
    while (model.displays.size() < 64) model.addDisplay(1);
    for (unsigned g = 0; g < 64; ++g) model.moveGraphToDisplay(g, g);
    open();
    ASSERT_EQ(conf.titleEntries.size(), 64u);
    ASSERT_EQ(conf.yAutoSwitches.size(), 64u);
    gtk_container_check_resize(GTK_CONTAINER(conf.dialog));
    saveWidgetScreenshot(conf.dialog, "configuration-dialog-64.png");
    int width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(conf.dialog), &width, &height);
    EXPECT_LE(width, 1366);
    EXPECT_LE(height, 768 - 60) << "room for a title bar and a panel";

    const struct {
        const char* heading;
        GtkWidget* first;
        GtkWidget* last;
    } columns[] = {{"RefLines", conf.refLinesEntries[0], conf.refLinesEntries[63]},
                   {"Weight", conf.weightSpins[0], conf.weightSpins[63]},
                   {"Title", conf.titleEntries[0], conf.titleEntries[63]},
                   {"Color", conf.colorButtons[0], conf.colorButtons[63]}};
    for (const auto& column : columns) {
        SCOPED_TRACE(column.heading);
        GtkWidget* label = heading(conf.dialog, column.heading);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(xIn(label, conf.dialog), xIn(column.first, conf.dialog))
            << "the heading stands above its column";
        const int headingY = yIn(label, conf.dialog);

        GtkWidget* scrolled = gtk_widget_get_ancestor(column.last, GTK_TYPE_SCROLLED_WINDOW);
        ASSERT_NE(scrolled, nullptr);
        GtkAdjustment* rows = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(scrolled));
        EXPECT_GT(gtk_adjustment_get_upper(rows), gtk_adjustment_get_page_size(rows)) << "the rows scroll";
        gtk_adjustment_set_value(rows, gtk_adjustment_get_upper(rows));
        drainEvents();
        const int lastY = yIn(column.last, scrolled);
        EXPECT_GE(lastY, 0);
        EXPECT_LE(lastY + gtk_widget_get_allocated_height(column.last),
                  gtk_widget_get_allocated_height(scrolled));
        EXPECT_EQ(yIn(label, conf.dialog), headingY) << "the heading stays in place";
    }
    saveWidgetScreenshot(conf.dialog, "configuration-dialog-64-scrolled.png");
}

// The items of a combo box, in order.
std::vector<std::string> itemsOf(GtkWidget* combo) {
    std::vector<std::string> items;
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    GtkTreeIter iter;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
         more = gtk_tree_model_iter_next(model, &iter)) {
        gchar* text = nullptr;
        gtk_tree_model_get(model, &iter, 0, &text, -1);
        items.push_back(text ? text : "");
        g_free(text);
    }
    return items;
}

TEST_F(ConfigurationDialog, BpsShowsTheSpeedInUse) {
    std::vector<std::string> standard;
    for (std::int32_t speed : serialSpeeds) standard.push_back(std::to_string(speed));
    ASSERT_EQ(standard.size(), 30u);
    // A speed without a constant (given with -bps) is listed in order among the standard ones.
    const struct {
        std::int32_t speed;
        const char* shown;
        int insertedAt;  // its index in the list, -1 when the list is the standard one
    } rows[] = {{0, "9600", -1},
                {50, "50", -1},
                {115200, "115200", -1},
                {4000000, "4000000", -1},
                {250000, "250000", 18},
                {12345, "12345", 13},
                {1, "1", 0},
                {2147483647, "2147483647", 30},
                {-1, "9600", -1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.speed);
        graph.io.serialSpeed = row.speed;
        open();
        std::vector<std::string> expected = standard;
        if (row.insertedAt >= 0) expected.insert(expected.begin() + row.insertedAt, row.shown);
        EXPECT_EQ(itemsOf(conf.speedCombo), expected);
        gchar* text = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(conf.speedCombo));
        EXPECT_STREQ(text, row.shown);
        g_free(text);
        respond(GTK_RESPONSE_APPLY);
        EXPECT_EQ(graph.io.serialSpeed, row.speed > 0 ? row.speed : 9600) << "OK keeps the speed shown";
        respond(GTK_RESPONSE_CANCEL);
    }

    // Every entry can be picked, 9600 included while another speed is in use.
    graph.io.serialSpeed = 250000;
    open();
    for (const auto& [index, speed] :
         {std::pair{12, 9600}, {16, 115200}, {17, 230400}, {18, 250000}, {19, 460800}}) {
        SCOPED_TRACE(speed);
        gtk_combo_box_set_active(GTK_COMBO_BOX(conf.speedCombo), index);
        respond(GTK_RESPONSE_APPLY);
        EXPECT_EQ(graph.io.serialSpeed, speed);
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(conf.speedCombo), -1);
    respond(GTK_RESPONSE_APPLY);
    EXPECT_EQ(graph.io.serialSpeed, 9600) << "no active item";
    respond(GTK_RESPONSE_CANCEL);
}

TEST_F(ConfigurationDialog, GeneralFieldsTakeOnlyValuesInRange) {
    const struct {
        const char* size;
        const char* limit;
        const char* backup;
        std::uint32_t xSize;
        std::uint32_t maxXSize;
        std::int32_t backupLimit;
    } rows[] = {
        {"5", "9", "20000", 610, 50000, 50000},             // all ignored
        {"1000", "100", "1000001", 1001, 50000, 50000},     // limit below the current size
        {"0x3e8", "0", "60000", 1001, 4294967295u, 60000},  // base 0; limit 0 removes it
        {"010", "700", "0x186a0", 610, 700, 100000},        // octal 8 is too small; limit >= size
        {"abc", "", "-60000", 610, 4294967295u, 50000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        graph.model.setXSize(610);
        graph.model.maxXSize = 50000;
        graph.io.backupLimit = 50000;
        open();
        typeInto(conf.xSizeEntry, row.size);
        typeInto(conf.xLimitEntry, row.limit);
        typeInto(conf.backupLimitEntry, row.backup);
        respond(GTK_RESPONSE_APPLY);
        ASSERT_NE(conf.dialog, nullptr) << "Apply keeps the dialog open";
        EXPECT_EQ(textOf(conf.xSizeEntry), row.size) << "with the values as typed";
        EXPECT_EQ(graph.model.xSize, row.xSize);
        EXPECT_EQ(graph.model.maxXSize, row.maxXSize);
        EXPECT_EQ(graph.io.backupLimit, row.backupLimit);
        respond(GTK_RESPONSE_CANCEL);
    }
    graph.model.maxXSize = 4294967295u;
    open();
    EXPECT_EQ(textOf(conf.xLimitEntry), "4294967295") << "no limit";

    gtk_spin_button_set_value(GTK_SPIN_BUTTON(conf.fontSizeSpin), 12.5);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(conf.lineWidthSpin), 3);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(conf.refLineWidthSpin), 0.5);
    respond(GTK_RESPONSE_OK);
    EXPECT_EQ(graph.model.fontSize, 12.5);
    EXPECT_EQ(graph.model.lineWidth, 3.0);
    EXPECT_EQ(graph.model.refLineWidth, 0.5);
}

TEST_F(ConfigurationDialog, YLimitsReadAPointUnderAnyLocale) {
    fillModel(graph.model);
    open();
    typeInto(conf.yMaxEntries[1], "1.5");
    typeInto(conf.yMinEntries[1], "-2.25e1");
    respond(GTK_RESPONSE_APPLY);
    EXPECT_EQ(graph.model.displays[1].yMax, 1.5);
    EXPECT_EQ(graph.model.displays[1].yMin, -22.5);
    EXPECT_FALSE(graph.model.displays[1].autoRange);

    typeInto(conf.yMaxEntries[1], "1e999");  // would make the display's range infinite
    respond(GTK_RESPONSE_APPLY);
    EXPECT_EQ(graph.model.displays[1].yMax, 1.5);

    CommaLocale comma;
    if (!comma.active) GTEST_SKIP() << "no decimal-comma locale installed";
    for (const char* text : {"1,5", "1.5"}) {
        SCOPED_TRACE(text);
        graph.model.displays[1].yMax = 0;
        typeInto(conf.yMaxEntries[1], text);
        respond(GTK_RESPONSE_APPLY);
        EXPECT_EQ(graph.model.displays[1].yMax, 1.5);
    }
}

TEST_F(ConfigurationDialog, ReferenceLinesAreWordsWithoutNearDuplicates) {
    const struct {
        const char* text;
        std::vector<double> lines;
    } rows[] = {
        {"1 2 2.0000001", {1, 2}},
        {"  -3\t0x10 ", {-3, 16}},
        {"abc 5", {0, 5}},     // a word that is not a number is a line at 0
        {"1e999 nan 7", {7}},  // nothing infinite or undefined
        {"", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        open();
        typeInto(conf.refLinesEntries[0], row.text);
        respond(GTK_RESPONSE_OK);
        EXPECT_EQ(graph.model.displays[0].refLines, row.lines);
    }
}

TEST_F(ConfigurationDialog, YAutoTurnedOnRecomputesAtOnceAndIgnoresTheYFields) {
    fillModel(graph.model);
    open();
    gtk_switch_set_active(GTK_SWITCH(conf.yAutoSwitches[1]), TRUE);
    EXPECT_FALSE(gtk_widget_get_sensitive(conf.yMinEntries[1]));
    EXPECT_FALSE(gtk_editable_get_editable(GTK_EDITABLE(conf.yMaxEntries[1])));
    typeInto(conf.yMaxEntries[1], "999");
    respond(GTK_RESPONSE_APPLY);
    const Display& display = graph.model.displays[1];
    EXPECT_TRUE(display.autoRange);
    EXPECT_EQ(display.yMax, 6) << "the range of graph 2 (3 and 6)";
    EXPECT_EQ(display.yMin, 3);

    gtk_switch_set_active(GTK_SWITCH(conf.yAutoSwitches[0]), FALSE);
    EXPECT_TRUE(gtk_widget_get_sensitive(conf.yMinEntries[0]));
    typeInto(conf.yMinEntries[0], "-1");
    typeInto(conf.yMaxEntries[0], "-2");
    respond(GTK_RESPONSE_OK);
    EXPECT_FALSE(graph.model.displays[0].autoRange);
    EXPECT_EQ(graph.model.displays[0].yMin, -1) << "taken as typed, even above the maximum";
    EXPECT_EQ(graph.model.displays[0].yMax, -2);
}

TEST_F(ConfigurationDialog, DisplayFieldsFollowIndependentDisplays) {
    graph.model.setIndependentDisplays(true);
    graph.model.processLine("1 2");
    ASSERT_EQ(graph.model.displays.size(), 2u);
    open();
    EXPECT_FALSE(gtk_widget_get_sensitive(conf.displaySpins[1]));
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(conf.displaySpins[1]), 0);
    respond(GTK_RESPONSE_OK);
    EXPECT_EQ(graph.model.graphs[1].display, 1u) << "not applied";
    EXPECT_TRUE(graph.model.independentDisplays);

    graph.model.setIndependentDisplays(false);
    open();
    EXPECT_TRUE(gtk_widget_get_sensitive(conf.displaySpins[1]));
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(conf.displaySpins[1]), 0);
    respond(GTK_RESPONSE_OK);
    EXPECT_EQ(graph.model.graphs[1].display, 0u);
    EXPECT_EQ(graph.model.displays[0].graphCount, 2u);
    EXPECT_EQ(graph.model.displays[0].yMin, 1);
    EXPECT_EQ(graph.model.displays[0].yMax, 2) << "the new display's range takes the moved graph";
}

TEST_F(ConfigurationDialog, GraphFieldsAreApplied) {
    fillModel(graph.model);
    open();
    typeInto(conf.titleEntries[0], "pressure");
    typeInto(conf.titleEntries[1], "");  // an empty title keeps the old one
    typeInto(conf.scaleEntries[0], "2");
    typeInto(conf.scaleEntries[1], "0");  // a scale of 0 is ignored
    gtk_switch_set_active(GTK_SWITCH(conf.enabledSwitches[2]), FALSE);
    const GdkRGBA colour{0.25, 0.5, 0.75, 0.5};
    gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(conf.colorButtons[0]), &colour);
    respond(GTK_RESPONSE_OK);
    const PlotModel& model = graph.model;
    EXPECT_EQ(model.graphs[0].title, "pressure");
    EXPECT_EQ(model.graphs[1].title, "_1");
    EXPECT_EQ(model.graphs[0].scale, 2);
    EXPECT_EQ(model.graphs[1].scale, 1);
    EXPECT_EQ(model.displays[0].yMax, 8) << "the automatic range follows the new scale";
    EXPECT_FALSE(model.graphs[2].enabled);
    EXPECT_EQ(model.graphs[0].colour.green, 0.5);
    EXPECT_EQ(model.graphs[0].colour.blue, 0.75);
    EXPECT_EQ(model.graphs[0].colour.alpha, 1.0) << "the alpha stays";
}

TEST_F(ConfigurationDialog, EnterInAnyFieldAppliesAndCloses) {
    fillModel(graph.model);
    open();
    const std::size_t fields = widgetsOf(conf.dialog, GTK_TYPE_ENTRY).size();
    EXPECT_EQ(fields, 6u + 2 * 5u + 3 * 3u) << "entries and spin buttons";
    respond(GTK_RESPONSE_CANCEL);
    for (std::size_t i = 0; i < fields; ++i) {
        SCOPED_TRACE(i);
        open();
        const std::string title = "t" + std::to_string(i);
        typeInto(conf.titleEntries[0], title.c_str());
        g_signal_emit_by_name(widgetsOf(conf.dialog, GTK_TYPE_ENTRY)[i], "activate");
        drainEvents();
        EXPECT_EQ(conf.dialog, nullptr);
        EXPECT_EQ(graph.model.graphs[0].title, title);
    }
    // A spin button takes its typed text before the dialog reads it.
    open();
    typeInto(conf.gridSpins[1], "7");
    g_signal_emit_by_name(conf.gridSpins[1], "activate");
    drainEvents();
    EXPECT_EQ(graph.model.displays[1].gridLevel, 7);

    // The keys themselves: Enter in the focused X-Axis Size, then Escape, which applies nothing.
    open();
    typeInto(conf.xSizeEntry, "1000");
    pressKey(conf.dialog, GDK_KEY_Return, GdkModifierType(0));
    EXPECT_EQ(conf.dialog, nullptr);
    EXPECT_EQ(graph.model.xSize, 1001u);
    open();
    typeInto(conf.xSizeEntry, "2000");
    pressKey(conf.dialog, GDK_KEY_Escape, GdkModifierType(0));
    EXPECT_EQ(conf.dialog, nullptr);
    EXPECT_EQ(graph.model.xSize, 1001u);
}

TEST_F(ConfigurationDialog, CancelAndClosingApplyNothing) {
    fillModel(graph.model);
    const std::string before = configurationText(graph.model);
    for (gint response : {GTK_RESPONSE_CANCEL, GTK_RESPONSE_DELETE_EVENT}) {
        SCOPED_TRACE(response);
        open();
        typeInto(conf.xSizeEntry, "1000");
        typeInto(conf.titleEntries[0], "changed");
        gtk_switch_set_active(GTK_SWITCH(conf.yAutoSwitches[1]), TRUE);
        respond(response);
        EXPECT_EQ(conf.dialog, nullptr);
        EXPECT_TRUE(conf.titleEntries.empty()) << "no widget outlives the dialog";
        EXPECT_EQ(configurationText(graph.model), before);
    }
}

TEST_F(ConfigurationDialog, SavedConfigurationLoadsIntoAnotherModelAlike) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    fillModel(graph.model);
    graph.model.displays[1].weight = 3;
    open();
    typeInto(conf.titleEntries[0], "renamed");  // Save applies the fields first
    script.then(saveInto(dir.path("layout")));
    respond(2);
    EXPECT_EQ(script.answered, 1);
    EXPECT_EQ(conf.dialog, nullptr);
    const std::string saved = dir.path("layout.cfg");
    EXPECT_EQ(conf.lastConfigFile, saved) << "the extension is completed";
    EXPECT_EQ(readWholeFile(saved), configurationText(graph.model));
    EXPECT_EQ(graph.model.graphs[0].title, "renamed");

    // The same graphs, so that the automatic display gets the same recomputed range.
    MainWindowFixture otherWindow;
    GraphData& other = otherWindow.graph;
    other.model.setIndependentDisplays(false);
    other.model.processLine("1 2 3");
    other.model.processLine("4 -5 6");
    onConfigure(nullptr, &other.conf);
    script.then(pickFile(saved));
    gtk_dialog_response(GTK_DIALOG(other.conf.dialog), 1);
    drainEvents();
    EXPECT_EQ(other.conf.dialog, nullptr);
    EXPECT_EQ(other.conf.lastConfigFile, saved);
    EXPECT_EQ(configurationText(other.model), configurationText(graph.model));
    EXPECT_EQ(other.model.displays[1].refLines, (std::vector<double>{0.25, 1013.25}));

    // The next save starts on the file last saved or loaded.
    onConfigure(nullptr, &other.conf);
    std::string startName;
    script.then([&](GtkDialog* chooser) {
        waitForChoice(chooser);
        gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        startName = name ? name : "";
        g_free(name);
        gtk_dialog_response(chooser, GTK_RESPONSE_CANCEL);
    });
    std::string message;
    script.then(readMessage(message));
    gtk_dialog_response(GTK_DIALOG(other.conf.dialog), 2);
    drainEvents();
    EXPECT_EQ(startName, saved);
    EXPECT_EQ(message, "") << "a cancelled save is no failure";
    EXPECT_EQ(other.conf.dialog, nullptr);
    script.steps.clear();
}

TEST_F(ConfigurationDialog, FailedLoadNamesTheFile) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string broken = dir.path("broken.cfg");
    writeWholeFile(broken, "1\n0\n");
    std::string message;
    open();
    script.then(pickFile(broken));
    script.then(readMessage(message));
    respond(1);
    EXPECT_EQ(message, "Error: Failed opening file: " + broken);
    EXPECT_EQ(conf.dialog, nullptr);
    EXPECT_TRUE(conf.lastConfigFile.empty());

    // A cancelled chooser ends the dialog like every Load, but says nothing.
    message.clear();
    open();
    script.then([](GtkDialog* chooser) { gtk_dialog_response(chooser, GTK_RESPONSE_CANCEL); });
    script.then(readMessage(message));
    respond(1);
    EXPECT_EQ(message, "");
    EXPECT_EQ(conf.dialog, nullptr);
    EXPECT_EQ(script.answered, 3);
    script.steps.clear();
}

TEST_F(ConfigurationDialog, ModelChangedWhileOpenIsWrittenOnlyWithinItsCounts) {
    fillModel(graph.model);
    open();
    for (GtkWidget* title : conf.titleEntries) typeInto(title, "typed");
    for (GtkWidget* lines : conf.refLinesEntries) typeInto(lines, "42");

    // A device announces more columns and displays.
    graph.model.processLine("1 2 3 4 5");
    graph.model.addDisplay(1);
    respond(GTK_RESPONSE_APPLY);
    ASSERT_EQ(graph.model.graphs.size(), 5u);
    EXPECT_EQ(graph.model.graphs[2].title, "typed");
    EXPECT_EQ(graph.model.graphs[3].title, "_3") << "no row was built for it";
    EXPECT_TRUE(graph.model.displays[2].refLines.empty());

    // Clear leaves one display and no graph: the rows beyond them are skipped. Without spare
    // capacity, a write past the end lands outside the arrays, where the address sanitizer sees it.
    graph.model.clear();
    graph.model.graphs.shrink_to_fit();
    graph.model.displays.shrink_to_fit();
    respond(GTK_RESPONSE_OK);
    ASSERT_EQ(graph.model.displays.size(), 1u);
    EXPECT_EQ(graph.model.displays[0].refLines, std::vector<double>{42});
    EXPECT_TRUE(graph.model.graphs.empty());
}

TEST_F(ConfigurationDialog, InputWatchRunsAt300WhileAResponseIsHandled) {
    GSource* watch = g_timeout_source_new_seconds(3600);
    g_source_attach(watch, nullptr);
    g_source_set_priority(watch, G_PRIORITY_DEFAULT);
    graph.io.inputWatch = watch;
    gint during = 0;
    open();
    script.then([&](GtkDialog* chooser) {
        during = g_source_get_priority(graph.io.inputWatch);
        gtk_dialog_response(chooser, GTK_RESPONSE_CANCEL);
    });
    respond(1);
    EXPECT_EQ(during, 300);
    EXPECT_EQ(g_source_get_priority(watch), G_PRIORITY_DEFAULT) << "restored";

    // Input that ends while a chooser is open destroys the watch; it is not touched afterwards.
    open();
    script.then([&](GtkDialog* chooser) {
        g_source_destroy(graph.io.inputWatch);
        g_source_unref(graph.io.inputWatch);
        graph.io.inputWatch = nullptr;
        gtk_dialog_response(chooser, GTK_RESPONSE_CANCEL);
    });
    respond(1);
    EXPECT_EQ(graph.io.inputWatch, nullptr);
    EXPECT_EQ(conf.dialog, nullptr);
}

}  // namespace
