#pragma once
// The application record: the live plot model, the widgets other commands touch, the input watch
// and the three other callback records, each pointing back here. main owns the only instance.

#include <cstdint>

#include <glib.h>

#include "app/DeviceMenu.h"
#include "app/PlotLoad.h"
#include "app/Settings.h"
#include "input/IOData.h"
#include "model/PlotModel.h"
#include "model/RecordTag.h"
#include "render/PlotAreaHandlers.h"
#include "ui/ConfData.h"

typedef struct _GtkWidget GtkWidget;

struct DisplayData {
    static constexpr std::int32_t tagValue = displayDataTag;
    static constexpr const char* typeName = "DisplayData";

    std::int32_t tag = displayDataTag;
    GraphData* owner = nullptr;
    // The Display menu's mode check items, in menu order.
    GtkWidget* independentItem = nullptr;
    GtkWidget* framesItem = nullptr;
    GtkWidget* highFrequencyItem = nullptr;
    GtkWidget* fixedXAxisItem = nullptr;
    GtkWidget* sharedYItem = nullptr;
    GtkWidget* envelopeItem = nullptr;
    GtkWidget* yFitItem = nullptr;
};

// The application as the input sees it (see input/InputHost.h).
class GraphInputHost final : public InputHost {
  public:
    explicit GraphInputHost(GraphData& owner) : graph(owner) {}
    PlotModel& plotModel() override;
    GtkWidget* window() const override;
    GtkWidget* plotArea() const override;
    void refreshPlot() override;

    GraphData& graph;
};

struct GraphData {
    static constexpr std::int32_t tagValue = graphDataTag;
    static constexpr const char* typeName = "GraphData";

    std::int32_t tag = graphDataTag;
    PlotModel model;
    GtkWidget* mainWindow = nullptr;
    GtkWidget* yZoomSpin = nullptr;
    GtkWidget* gridSpin = nullptr;
    // The plotting area, its scroll bars and the X-Zoom spin button.
    PlotArea plot{model};
    GraphInputHost inputHost{*this};
    IOData io;
    DisplayData display;
    ConfData conf;
    // The File menu's check items for how data lines are read (-csv, -labels), set from the model
    // whenever the menu opens.
    GtkWidget* csvItem = nullptr;
    GtkWidget* labelsItem = nullptr;
    // What is remembered from run to run; nothing unless start-up gives it a file.
    Settings settings;
    DeviceMenu devices;
    // A plot file being read in steps; last, so that its source goes before anything it uses.
    PlotLoad load;

    GraphData() {
        io.host = &inputHost;
        display.owner = this;
        conf.model = &model;
        conf.io = &io;
    }
    GraphData(const GraphData&) = delete;
    GraphData& operator=(const GraphData&) = delete;
};

// The application record that holds io (every IOData of the program has a GraphInputHost).
inline GraphData& graphOf(const IOData& io) {
    return static_cast<GraphInputHost*>(io.host)->graph;
}
