#pragma once
// The configuration dialog's record: the plot and the input it sets, its widgets while the dialog
// exists, and the name of the configuration file last loaded or saved.

#include <cstdint>
#include <string>
#include <vector>

#include "model/RecordTag.h"

struct IOData;
struct PlotModel;
typedef struct _GtkWidget GtkWidget;

struct ConfData {
    static constexpr std::int32_t tagValue = confDataTag;
    static constexpr const char* typeName = "ConfData";

    std::int32_t tag = confDataTag;
    PlotModel* model = nullptr;
    // The input record: its settings, its watch, and through its host the main window and redraws.
    IOData* io = nullptr;
    GtkWidget* dialog = nullptr;
    GtkWidget* xSizeEntry = nullptr;
    GtkWidget* xLimitEntry = nullptr;
    GtkWidget* backupLimitEntry = nullptr;
    GtkWidget* speedCombo = nullptr;
    GtkWidget* fontSizeSpin = nullptr;
    GtkWidget* lineWidthSpin = nullptr;
    GtkWidget* refLineWidthSpin = nullptr;
    std::vector<GtkWidget*> refLinesEntries;
    std::vector<GtkWidget*> yAutoSwitches;
    std::vector<GtkWidget*> gridSpins;
    std::vector<GtkWidget*> yMinEntries;
    std::vector<GtkWidget*> yMaxEntries;
    std::vector<GtkWidget*> weightSpins;
    std::vector<GtkWidget*> titleEntries;
    std::vector<GtkWidget*> displaySpins;
    std::vector<GtkWidget*> scaleEntries;
    std::vector<GtkWidget*> enabledSwitches;
    std::vector<GtkWidget*> colorButtons;
    std::string lastConfigFile;
};
