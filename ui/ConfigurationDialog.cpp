#include "ui/ConfigurationDialog.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/Configuration.h"
#include "input/FileName.h"
#include "input/IOData.h"
#include "input/Messages.h"
#include "input/SerialSpeeds.h"
#include "model/ParseReal.h"
#include "ui/ConfData.h"
#include "ui/FileDialogs.h"
#include "ui/RowBuilders.h"

namespace {

constexpr gint loadResponse = 1;
constexpr gint saveResponse = 2;
// The input watch's priority while a response is handled, file choosers included, so that input
// arriving meanwhile waits behind the dialogs.
constexpr gint handlingWatchPriority = 300;

// Lowers the input watch for the life of the object and restores its priority afterwards. The
// watch is held by a reference: input that ends during a nested file chooser destroys the watch,
// and its priority must then be left alone rather than written into freed memory.
class LoweredInputWatch {
  public:
    explicit LoweredInputWatch(GSource* source) : watch(source) {
        if (!watch) return;
        g_source_ref(watch);
        savedPriority = g_source_get_priority(watch);
        g_source_set_priority(watch, handlingWatchPriority);
    }
    ~LoweredInputWatch() {
        if (!watch) return;
        if (!g_source_is_destroyed(watch)) g_source_set_priority(watch, savedPriority);
        g_source_unref(watch);
    }
    LoweredInputWatch(const LoweredInputWatch&) = delete;
    LoweredInputWatch& operator=(const LoweredInputWatch&) = delete;

  private:
    GSource* watch;
    gint savedPriority = 0;
};

std::string formatUnsigned(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", value);
    return text;
}

// Four significant digits ("%.4g"), or as many more as it takes for the text to read back as the
// same number: OK reads every field again, and a value the user did not touch must not change.
std::string formatReal(double value) {
    char text[64];
    for (int digits = 4; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (parseReal(text) == value) break;
    }
    return text;
}

std::string formatReferenceLines(const std::vector<double>& lines) {
    std::string text;
    for (double line : lines) {
        if (!text.empty()) text += ' ';
        text += formatReal(line);
    }
    return text;
}

// The BPS list: the standard speeds, and in rising order among them the speed in use when it is
// another one (given with -bps), so that the dialog shows the speed the next device opens at and
// OK keeps it.
std::vector<std::int32_t> listedSpeeds(std::int32_t inUse) {
    std::vector<std::int32_t> speeds(serialSpeeds, serialSpeeds + serialSpeedCount);
    const auto at = std::lower_bound(speeds.begin(), speeds.end(), inUse);
    if (inUse > 0 && (at == speeds.end() || *at != inUse)) speeds.insert(at, inUse);
    return speeds;
}

// Position of speed in the list; 0 (not given) and a negative speed select 9600.
int speedPosition(const std::vector<std::int32_t>& speeds, std::int32_t speed) {
    auto found = std::find(speeds.begin(), speeds.end(), speed);
    if (found == speeds.end()) found = std::find(speeds.begin(), speeds.end(), defaultSerialSpeed);
    return static_cast<int>(found - speeds.begin());
}

// The speed of the active BPS item; 9600 when none is active.
std::int32_t chosenSpeed(GtkWidget* combo) {
    gchar* text = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(combo));
    const long speed = text ? std::strtol(text, nullptr, 10) : 0;
    g_free(text);
    return speed > 0 && speed <= INT32_MAX ? static_cast<std::int32_t>(speed) : defaultSerialSpeed;
}

const char* entryText(GtkWidget* entry) {
    return gtk_entry_get_text(GTK_ENTRY(entry));
}

bool switchOn(GtkWidget* toggle) {
    return gtk_switch_get_active(GTK_SWITCH(toggle)) != FALSE;
}

void setFieldEnabled(GtkWidget* field, bool enabled) {
    gtk_editable_set_editable(GTK_EDITABLE(field), enabled);
    gtk_widget_set_sensitive(field, enabled);
}

// The widgets die with the dialog, however it goes (a response, or its parent being destroyed).
void onDialogDestroyed(GtkWidget*, gpointer data) {
    ConfData* conf = recordFrom<ConfData>(data, __LINE__);
    conf->dialog = nullptr;
    conf->xSizeEntry = conf->xLimitEntry = conf->backupLimitEntry = nullptr;
    conf->speedCombo = nullptr;
    conf->fontSizeSpin = conf->lineWidthSpin = conf->refLineWidthSpin = nullptr;
    for (std::vector<GtkWidget*>* list :
         {&conf->refLinesEntries, &conf->yAutoSwitches, &conf->gridSpins, &conf->yMinEntries,
          &conf->yMaxEntries, &conf->weightSpins, &conf->titleEntries, &conf->displaySpins,
          &conf->scaleEntries, &conf->enabledSwitches, &conf->colorButtons}) {
        list->clear();
    }
}

// Enter in a field means OK.
void onFieldActivated(GtkWidget*, gpointer data) {
    ConfData* conf = recordFrom<ConfData>(data, __LINE__);
    if (conf->dialog) onConfigurationResponse(GTK_DIALOG(conf->dialog), GTK_RESPONSE_OK, conf);
}

void onYAutoChanged(GObject*, GParamSpec*, gpointer data) {
    updateConfigurationSensitivity(*recordFrom<ConfData>(data, __LINE__));
}

// Connected after the class handler, so that a spin button has taken its typed text as its value
// before the dialog reads it.
void connectActivate(GtkWidget* field, ConfData& conf) {
    g_signal_connect_after(field, "activate", G_CALLBACK(onFieldActivated), &conf);
}

GtkWidget* newRow(GtkWidget* box) {
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 5);
    gtk_box_pack_start(GTK_BOX(box), row, FALSE, FALSE, 0);
    return row;
}

void buildGeneralRows(ConfData& conf, GtkWidget* box) {
    const IOData& io = *conf.io;
    const PlotModel& model = *conf.model;

    GtkWidget* first = newRow(box);
    conf.xSizeEntry = entryRow(first, "X-Axis Size", formatUnsigned(model.xSize - 1).c_str(), 0, 5, 10,
                               "Size of the X-axis(when Fixed-mode is enabled)");
    conf.xLimitEntry = entryRow(first, "X-Axis Limit", formatUnsigned(model.maxXSize).c_str(), 0, 5, 10,
                                "Maximum size of the X-axis(when Fixed-mode is disabled)");
    conf.backupLimitEntry =
        entryRow(first, "Backup Limit", formatUnsigned(static_cast<std::uint32_t>(io.backupLimit)).c_str(), 0,
                 5, 10, "Maximum backup size");
    const std::vector<std::int32_t> speeds = listedSpeeds(io.serialSpeed);
    std::vector<std::string> speedTexts;
    for (std::int32_t speed : speeds) speedTexts.push_back(std::to_string(speed));
    std::vector<const char*> speedItems;
    for (const std::string& text : speedTexts) speedItems.push_back(text.c_str());
    speedItems.push_back(nullptr);
    conf.speedCombo = comboRow(first, "BPS", speedPosition(speeds, io.serialSpeed), speedItems.data(), 3,
                               "Data rate in bits per second (baud) for serial data transmission");

    // The spin buttons show the model's values as they are (one decimal): cutting 1.5 to 1 here
    // would let OK change a setting the user never touched.
    GtkWidget* second = newRow(box);
    conf.fontSizeSpin =
        spinRow1(second, "FontSize", model.fontSize, minFontSize, maxFontSize, 8, 4, 5, "Font size.");
    conf.lineWidthSpin = spinRow1(second, "LineWidth", model.lineWidth, minLineWidth, maxLineWidth, 8, 3, 5,
                                  "Plotting line width.");
    conf.refLineWidthSpin = spinRow1(second, "RefLineWidth", model.refLineWidth, 0, maxRefLineWidth, 8, 3, 5,
                                     "Reference line width. \nZero means a half of the line width.");

    for (GtkWidget* field : {conf.xSizeEntry, conf.xLimitEntry, conf.backupLimitEntry, conf.fontSizeSpin,
                             conf.lineWidthSpin, conf.refLineWidthSpin}) {
        connectActivate(field, conf);
    }
}

const char* const refLinesTip =
    "Space separated real numbers for reference lines\nRef-Lines can also be added by clicking with "
    "CTRL+mouse "
    "left button";
const char* const gridTip =
    "Grid level for this Display. If this value \nis negative, then the global grid level is used.";
const char* const yAutoTip =
    "If Auto is selected, then the Y-axis limits are automatically adjusted. Otherwise the Y-Min and  Y-Max "
    "values must be manually set";
const char* const yMaxTip = "Maximum number represented in the Y-axis(enabled when Manual is selected)";
const char* const yMinTip = "Minimum number represented in the Y-axis(enabled when Manual is selected)";
const char* const weightTip =
    "Weight for this Display\nWeight can also be increased by clicking with CTRL+mouse right button\nWeight "
    "can "
    "also be decreased by clicking with ALT+mouse right button";
const char* const titleTip = "Title for this graph";
const char* const displayTip =
    "Display for this graph(enabled when Independent-Displays is not selected)\nGraphs can also be moved by  "
    "dragging with the mouse right button";
const char* const scaleTip = "Scale for this graph";
const char* const enabledTip =
    "If disabled, then the graph is not displayed\nGraphs can also be enabled/disabled by clicking with "
    "SHIFT+mouse right button";
const char* const colorTip = "Choose graph color";

// One row per display under a heading row that stays in place while the rows scroll, so that 64
// displays fit on a small screen.
void buildDisplayRows(ConfData& conf, GtkWidget* box) {
    const PlotModel& model = *conf.model;
    ScrolledTable table = scrolledTable(box, 250,
                                        {{"Display", nullptr},
                                         {"RefLines", refLinesTip},
                                         {"Grid", gridTip},
                                         {"Y-Auto", yAutoTip},
                                         {"Y-Max", yMaxTip},
                                         {"Y-Min", yMinTip},
                                         {"Weight", weightTip}});
    for (const Display& display : model.displays) {
        conf.refLinesEntries.push_back(
            entryField(formatReferenceLines(display.refLines).c_str(), 10, 50, refLinesTip));
        conf.gridSpins.push_back(spinField(display.gridLevel, -1, maxGridLevel, 3, 5, gridTip, 0));
        GtkWidget* yAuto = switchField(display.autoRange, yAutoTip);
        conf.yAutoSwitches.push_back(yAuto);
        g_signal_connect(yAuto, "notify::active", G_CALLBACK(onYAutoChanged), &conf);
        conf.yMaxEntries.push_back(entryField(formatReal(display.yMax).c_str(), 10, 30, yMaxTip));
        conf.yMinEntries.push_back(entryField(formatReal(display.yMin).c_str(), 10, 30, yMinTip));
        // Weights up to 99 come from the mouse and from option lines; the range widens to show
        // such a weight instead of cutting it to 9 on the next OK.
        const double maxWeight = std::max(9.0, static_cast<double>(display.weight));
        conf.weightSpins.push_back(spinField(display.weight, 1, maxWeight, 2, 5, weightTip, 0));
        addTableRow(table, {conf.refLinesEntries.back(), conf.gridSpins.back(), yAuto,
                            conf.yMaxEntries.back(), conf.yMinEntries.back(), conf.weightSpins.back()});
        for (GtkWidget* field : {conf.refLinesEntries.back(), conf.gridSpins.back(), conf.yMaxEntries.back(),
                                 conf.yMinEntries.back(), conf.weightSpins.back()}) {
            connectActivate(field, conf);
        }
    }
}

void buildGraphRows(ConfData& conf, GtkWidget* box) {
    const PlotModel& model = *conf.model;
    const double lastDisplay = model.displays.empty() ? 0.0 : static_cast<double>(model.displays.size() - 1);
    ScrolledTable table = scrolledTable(box, 220,
                                        {{"Graph", nullptr},
                                         {"Title", titleTip},
                                         {"Display", displayTip},
                                         {"Scale", scaleTip},
                                         {"Enabled", enabledTip},
                                         {"Color", colorTip}});
    for (unsigned k = 0; k < model.graphs.size(); ++k) {
        const Graph& graph = model.graphs[k];
        conf.titleEntries.push_back(entryField(graph.title.c_str(), 10, 50, titleTip));
        conf.displaySpins.push_back(
            spinField(model.effectiveDisplayOf(k), 0, lastDisplay, 2, 5, displayTip, 0));
        conf.scaleEntries.push_back(entryField(formatReal(graph.scale).c_str(), 5, 10, scaleTip));
        conf.enabledSwitches.push_back(switchField(graph.enabled, enabledTip));
        const GdkRGBA rgba{graph.colour.red, graph.colour.green, graph.colour.blue, graph.colour.alpha};
        conf.colorButtons.push_back(colorField(rgba, colorTip));
        addTableRow(table, {conf.titleEntries.back(), conf.displaySpins.back(), conf.scaleEntries.back(),
                            conf.enabledSwitches.back(), conf.colorButtons.back()});
        for (GtkWidget* field :
             {conf.titleEntries.back(), conf.displaySpins.back(), conf.scaleEntries.back()}) {
            connectActivate(field, conf);
        }
    }
}

void applyGeneralSettings(ConfData& conf) {
    IOData& io = *conf.io;
    PlotModel& model = *conf.model;
    // Integers are read with base 0, so "0x" hexadecimal and leading-zero octal are accepted.
    model.applyXLimit(std::strtoul(entryText(conf.xLimitEntry), nullptr, 0));
    model.applyXSize(std::strtoul(entryText(conf.xSizeEntry), nullptr, 0));
    const long backupLimit = std::strtol(entryText(conf.backupLimitEntry), nullptr, 0);
    if (backupLimit >= 50000 && backupLimit <= 1000000)
        io.backupLimit = static_cast<std::int32_t>(backupLimit);
    io.serialSpeed = chosenSpeed(conf.speedCombo);
    model.setFontSize(gtk_spin_button_get_value(GTK_SPIN_BUTTON(conf.fontSizeSpin)));
    model.setLineWidth(gtk_spin_button_get_value(GTK_SPIN_BUTTON(conf.lineWidthSpin)));
    model.setRefLineWidth(gtk_spin_button_get_value(GTK_SPIN_BUTTON(conf.refLineWidthSpin)));
}

// A number typed for a Y limit or a reference line; an overflowing one (1e999) or "nan" is
// ignored like any value out of range, so that no setting becomes infinite.
bool readFinite(const char* text, double& value) {
    const double read = parseReal(text);
    if (!std::isfinite(read)) return false;
    value = read;
    return true;
}

void applyDisplay(ConfData& conf, unsigned k) {
    PlotModel& model = *conf.model;
    Display& display = model.displays[k];
    model.setDisplayGridLevel(k, gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(conf.gridSpins[k])));
    if (switchOn(conf.yAutoSwitches[k])) {
        model.setDisplayAutoRange(k, true);  // recomputes the range of a display that was manual
    } else {
        // No check that the minimum is below the maximum: a reversed range flips the display.
        readFinite(entryText(conf.yMinEntries[k]), display.yMin);
        readFinite(entryText(conf.yMaxEntries[k]), display.yMax);
        display.autoRange = false;
    }
    model.setDisplayWeight(
        k, static_cast<unsigned>(gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(conf.weightSpins[k]))));
    display.refLines.clear();
    const char* text = skipSpace(entryText(conf.refLinesEntries[k]));
    while (*text != '\0') {
        const char* end = skipWord(text);
        double value = 0.0;  // a word that is not a number adds a line at 0
        if (readFinite(std::string(text, end).c_str(), value)) model.addReferenceLine(k, value);
        text = skipSpace(end);
    }
}

void applyGraph(ConfData& conf, unsigned k) {
    PlotModel& model = *conf.model;
    model.setGraphTitle(k, entryText(conf.titleEntries[k]));
    if (!model.independentDisplays) {
        const int display = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(conf.displaySpins[k]));
        // Moves and recomputes both ranges only when the display exists and differs.
        if (display >= 0) model.moveGraphToDisplay(k, static_cast<unsigned>(display));
    }
    model.setGraphScale(k, parseReal(entryText(conf.scaleEntries[k])));
    model.graphs[k].enabled = switchOn(conf.enabledSwitches[k]);
    GdkRGBA rgba{};
    gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(conf.colorButtons[k]), &rgba);
    model.setGraphColour(k, rgba.red, rgba.green, rgba.blue);
}

void closeDialog(ConfData& conf) {
    if (conf.dialog) gtk_widget_destroy(conf.dialog);  // the "destroy" handler forgets the widgets
}

// The plot follows what the dialog changed.
void redraw(ConfData& conf) {
    if (conf.io->host) conf.io->host->refreshPlot();
}

// Choosers and messages stand over the configuration dialog while it is open.
GtkWidget* messageParent(const ConfData& conf) {
    return conf.dialog ? conf.dialog : conf.io->window();
}

void loadFromChosenFile(ConfData& conf) {
    FileName name;
    // A cancelled chooser only ends the configuration dialog, as every Load does.
    if (!runOpenDialog(messageParent(conf), "Open Configuration File", "cfg", name)) return;
    if (!name.empty() && name.local() && loadConfiguration(*conf.model, name.local())) {
        conf.lastConfigFile = name.utf8Name;
    } else {
        showErrorDialog(messageParent(conf), "Error: Failed opening file: ", name.utf8Name.c_str());
    }
    redraw(conf);  // a load that failed half way has applied what it read
}

void saveToChosenFile(ConfData& conf) {
    FileName name;
    if (!runSaveDialog(messageParent(conf), "Save Configuration File", conf.lastConfigFile.c_str(),
                       "untitled.cfg", "cfg", name)) {
        return;
    }
    if (!name.empty() && name.local() && saveConfiguration(*conf.model, name.local())) {
        conf.lastConfigFile = name.utf8Name;
    } else {
        showErrorDialog(messageParent(conf), "Error: Failed saving file: ", name.utf8Name.c_str());
    }
}

}  // namespace

void showConfigurationDialog(ConfData& conf) {
    GtkWidget* window = conf.io->window();
    if (!window) return;
    if (conf.dialog) {
        // A second dialog would take over the widget lists of the first one.
        gtk_window_present(GTK_WINDOW(conf.dialog));
        return;
    }
    conf.dialog = gtk_dialog_new_with_buttons(
        "Configure", GTK_WINDOW(window), GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        "OK", GTK_RESPONSE_OK, "Apply", GTK_RESPONSE_APPLY, "Cancel", GTK_RESPONSE_CANCEL, "Load",
        loadResponse, "Save", saveResponse, nullptr);
    g_signal_connect(conf.dialog, "destroy", G_CALLBACK(onDialogDestroyed), &conf);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(conf.dialog))), box, TRUE, TRUE, 0);
    buildGeneralRows(conf, box);
    buildDisplayRows(conf, box);
    buildGraphRows(conf, box);
    g_signal_connect(conf.dialog, "response", G_CALLBACK(onConfigurationResponse), &conf);
    updateConfigurationSensitivity(conf);
    gtk_widget_show_all(conf.dialog);
    gtk_widget_grab_focus(conf.xSizeEntry);
}

void updateConfigurationSensitivity(ConfData& conf) {
    for (std::size_t k = 0; k < conf.yAutoSwitches.size(); ++k) {
        const bool manual = !switchOn(conf.yAutoSwitches[k]);
        setFieldEnabled(conf.yMaxEntries[k], manual);
        setFieldEnabled(conf.yMinEntries[k], manual);
    }
    const bool movable = !conf.model->independentDisplays;
    for (GtkWidget* spin : conf.displaySpins) setFieldEnabled(spin, movable);
}

bool applyConfiguration(ConfData& conf) {
    if (!conf.dialog) return false;
    const PlotModel& model = *conf.model;
    applyGeneralSettings(conf);
    // The rows were built for the model as it was when the dialog opened; input may have added or
    // removed displays and graphs since, so every row is checked against the current counts.
    for (unsigned k = 0; k < conf.yAutoSwitches.size() && k < model.displays.size(); ++k)
        applyDisplay(conf, k);
    for (unsigned k = 0; k < conf.titleEntries.size() && k < model.graphs.size(); ++k) applyGraph(conf, k);
    redraw(conf);
    return false;
}

void onConfigurationResponse(GtkDialog*, gint response, gpointer data) {
    ConfData* conf = recordFrom<ConfData>(data, __LINE__);
    const LoweredInputWatch lowered(conf->io->inputWatch);
    switch (response) {
        case loadResponse:
            loadFromChosenFile(*conf);
            closeDialog(*conf);
            break;
        case saveResponse:
            applyConfiguration(*conf);
            saveToChosenFile(*conf);
            closeDialog(*conf);
            break;
        case GTK_RESPONSE_APPLY: applyConfiguration(*conf); break;
        case GTK_RESPONSE_OK:
            applyConfiguration(*conf);
            closeDialog(*conf);
            break;
        default:  // Cancel, Escape, closing the window
            closeDialog(*conf);
            break;
    }
}

void onConfigure(GtkMenuItem*, gpointer data) {
    showConfigurationDialog(*recordFrom<ConfData>(data, __LINE__));
}
