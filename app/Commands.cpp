#include "app/Commands.h"

#include <gtk/gtk.h>

#include "app/DeviceMenu.h"
#include "app/GraphData.h"
#include "app/PlotLoad.h"
#include "input/InputChannel.h"
#include "render/PlotAreaHandlers.h"

namespace {

void setCheckItem(GtkWidget* item, bool active) {
    if (item) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), active);
}

bool itemActive(GtkMenuItem* item) {
    return gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item)) != FALSE;
}

int spinValue(GtkSpinButton* spin) {
    return gtk_spin_button_get_value_as_int(spin);
}

}  // namespace

gboolean onQuit(GtkWidget*, GdkEvent*, gpointer data) {
    recordFrom<GraphData>(data, __LINE__);
    gtk_main_quit();
    return FALSE;
}

void onQuitItem(GtkMenuItem*, gpointer data) {
    onQuit(nullptr, nullptr, data);
}

void onClear(GtkMenuItem*, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    stopPlotLoad(*graph);
    graph->model.clear();
    refreshPlotArea(graph->plot);
}

void onDisplayMenuOpened(GtkMenuItem*, gpointer data) {
    DisplayData* display = recordFrom<DisplayData>(data, __LINE__);
    const PlotModel& model = display->owner->model;
    // Setting a state that differs activates the item, whose handler stores the same value.
    setCheckItem(display->independentItem, model.independentDisplays);
    setCheckItem(display->framesItem, model.frames);
    setCheckItem(display->highFrequencyItem, model.highFrequency);
    setCheckItem(display->fixedXAxisItem, model.fixedXAxis);
    setCheckItem(display->sharedYItem, model.sharedYMinMax);
    setCheckItem(display->envelopeItem, model.envelope);
    setCheckItem(display->yFitItem, model.yFit);
}

void onAddDisplay(GtkMenuItem*, gpointer data) {
    DisplayData* display = recordFrom<DisplayData>(data, __LINE__);
    PlotModel& model = display->owner->model;
    if (model.independentDisplays) {
        model.setIndependentDisplays(false);
        setCheckItem(display->independentItem, model.independentDisplays);
    }
    model.addDisplay(1);
    refreshPlotArea(display->owner->plot);
}

void onRemoveDisplay(GtkMenuItem*, gpointer data) {
    DisplayData* display = recordFrom<DisplayData>(data, __LINE__);
    PlotModel& model = display->owner->model;
    if (model.displays.size() < 2) return;
    if (model.independentDisplays) {
        model.setIndependentDisplays(false);
        setCheckItem(display->independentItem, model.independentDisplays);
    }
    model.removeLastDisplay();
    refreshPlotArea(display->owner->plot);
}

void onIndependentToggled(GtkMenuItem* item, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    graph->model.setIndependentDisplays(itemActive(item));
    refreshPlotArea(graph->plot);
}

void onFramesToggled(GtkMenuItem* item, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    graph->model.frames = itemActive(item);
    refreshPlotArea(graph->plot);
}

void onHighFrequencyToggled(GtkMenuItem* item, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    graph->model.highFrequency = itemActive(item);
    refreshPlotArea(graph->plot);
}

void onFixedXAxisToggled(GtkMenuItem* item, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    graph->model.fixedXAxis = itemActive(item);
    refreshPlotArea(graph->plot);
}

void onSharedYToggled(GtkMenuItem* item, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    graph->model.sharedYMinMax = itemActive(item);
    for (unsigned d = 0; d < graph->model.displays.size(); ++d) graph->model.recomputeYRange(d);
    refreshPlotArea(graph->plot);
}

void onEnvelopeToggled(GtkMenuItem* item, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    graph->model.envelope = itemActive(item);
    refreshPlotArea(graph->plot);
}

void onFileMenuOpened(GtkMenuItem*, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    fillDeviceMenu(*graph);  // the devices present now
    // Option lines in the input may have turned the modes on since the menu last opened.
    setCheckItem(graph->csvItem, graph->model.commaSeparated);
    setCheckItem(graph->labelsItem, graph->model.namedValues);
}

// The lines that arrive next are read the new way; what is plotted stays.
void onCsvToggled(GtkMenuItem* item, gpointer data) {
    recordFrom<GraphData>(data, __LINE__)->model.commaSeparated = itemActive(item);
}

void onLabelsToggled(GtkMenuItem* item, gpointer data) {
    recordFrom<GraphData>(data, __LINE__)->model.namedValues = itemActive(item);
}

void onFitYNow(GtkMenuItem*, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    fitVisibleRanges(graph->model, plotViewsOf(graph->plot).horizontal, &graph->plot.viewCache);
    refreshPlotArea(graph->plot);
}

void onYFitToggled(GtkMenuItem* item, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    graph->model.yFit = itemActive(item);
    // Back to the ranges of all received samples; following starts afresh next time.
    if (!graph->model.yFit) {
        for (unsigned d = 0; d < graph->model.displays.size(); ++d) graph->model.recomputeYRange(d);
    }
    graph->plot.following = RangeFollowing{};
    refreshPlotArea(graph->plot);
}

void onPausePlay(GtkButton* button, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    togglePause(*io);
    gtk_button_set_label(button, io->playing ? "Pause" : "Play");
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
    if (label && GTK_IS_LABEL(label)) gtk_label_set_width_chars(GTK_LABEL(label), 5);
}

gboolean onEnlarge(gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    if (graphOf(*io).model.enlargeSizes()) refreshPlotArea(graphOf(*io).plot);
    return TRUE;
}

gboolean onShrink(gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    if (graphOf(*io).model.shrinkSizes()) refreshPlotArea(graphOf(*io).plot);
    return TRUE;
}

void onGridChanged(GtkSpinButton* spin, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    const int value = spinValue(spin);
    if (value >= 0 && value <= maxGridLevel) graph->model.gridLevel = value;
    refreshPlotArea(graph->plot);
}

void onXZoomChanged(GtkSpinButton* spin, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    graph->model.xZoom = spinValue(spin);
    refreshPlotArea(graph->plot);
}

void onYZoomChanged(GtkSpinButton* spin, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    const int value = spinValue(spin);
    if (value >= 0) graph->model.yZoom = value;
    refreshPlotArea(graph->plot);
}

void onScrollChanged(GtkAdjustment*, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    refreshPlotArea(graph->plot);
}
