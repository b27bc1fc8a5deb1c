#include "app/EvalExpression.h"

#include <memory>

#include "app/Commands.h"
#include "app/GraphData.h"
#include "expr/ExpressionProgram.h"
#include "input/InputChannel.h"
#include "input/Messages.h"
#include "render/PlotAreaHandlers.h"
#include "ui/RowBuilders.h"

bool evaluateExpression(const PlotModel& live, const std::string& expression, const std::string& xMinText,
                        const std::string& xMaxText, PlotModel& result) {
    result.fixedXAxis = true;
    result.highFrequency = false;
    result.sourceName.clear();
    result.generalTitle.clear();
    // The temporary model takes the live limit as a limit given by the user would be taken.
    result.applyXLimit(live.maxXSize);
    result.setXSize(live.xSize);

    auto program = std::make_unique<ExpressionProgram>();
    if (!compileExpression(expression.c_str(), program.get())) return false;

    const unsigned graph = result.addGraph(expression);
    if (result.graphs.empty()) return true;  // no memory for the samples: there is nothing to add
    const std::uint32_t points = result.xSize - 1;
    double xMin = 0.0, xMax = 0.0;
    if (!xMinText.empty()) {
        xMin = evaluateConstant(xMinText.c_str());
        xMax = xMaxText.empty() ? 0.0 : evaluateConstant(xMaxText.c_str());
    } else if (!xMaxText.empty()) {
        xMax = evaluateConstant(xMaxText.c_str());
    }
    const bool ranged = !xMinText.empty() || !xMaxText.empty() ? xMax > xMin : false;

    const unsigned displayIndex =
        result.graphs[graph].display < result.displays.size() ? result.graphs[graph].display : 0;
    Display& display = result.displays[displayIndex];
    if (ranged && points > 0) {
        display.xScaleSize = points;
        display.xScaleMin = xMin;
        display.xScaleMax = xMax;
    } else {
        display.xScaleSize = 0;
        display.xScaleMin = 0.0;
        display.xScaleMax = 0.0;
    }
    // With a single point the range collapses onto xMin instead of dividing by zero.
    const double step = ranged && points > 1 ? (xMax - xMin) / (points - 1) : 0.0;
    double z = 0.0;
    for (std::uint32_t i = 0; i < points; ++i) {
        const double x = ranged ? i * step + xMin : static_cast<double>(i);
        z = runExpression(program.get(), x, z);
        result.storeSample(graph, z);
        result.advance();
    }
    return true;
}

namespace {

// Enter in a field answers the dialog with OK.
void respondOk(GtkWidget* entry, gpointer dialog) {
    (void)entry;
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
}

}  // namespace

bool runInputDialog(GtkWidget* parent, std::string& expression, std::string& xMinText,
                    std::string& xMaxText) {
    expression.clear();
    xMinText.clear();
    xMaxText.clear();
    GtkWidget* dialog =
        gtk_dialog_new_with_buttons("Input Dialog", parent ? GTK_WINDOW(parent) : nullptr,
                                    GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), "OK",
                                    GTK_RESPONSE_OK, "Cancel", GTK_RESPONSE_CANCEL, nullptr);
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), column, TRUE, TRUE, 0);
    GtkWidget* first = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 5);
    GtkWidget* second = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 5);
    gtk_box_pack_start(GTK_BOX(column), first, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), second, FALSE, FALSE, 0);
    GtkWidget* entries[3] = {
        entryRow(first, "Expr", "", 0, 50, 100, "Enter expression to evaluate"),
        entryRow(second, "XMin", "", 0, 10, 20, "X-Range's minimum value(may be empty)"),
        entryRow(second, "XMax", "", 0, 10, 20, "X-Range's maximum value(may be empty)"),
    };
    for (GtkWidget* entry : entries) g_signal_connect(entry, "activate", G_CALLBACK(respondOk), dialog);
    gtk_widget_show_all(dialog);
    gtk_widget_grab_focus(entries[0]);
    const bool confirmed = runDialog(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
    if (confirmed) {
        expression = gtk_entry_get_text(GTK_ENTRY(entries[0]));
        xMinText = gtk_entry_get_text(GTK_ENTRY(entries[1]));
        xMaxText = gtk_entry_get_text(GTK_ENTRY(entries[2]));
    }
    gtk_widget_destroy(dialog);
    return confirmed;
}

void onEvalExpression(GtkMenuItem* item, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    GraphData& graph = graphOf(*io);
    if (!item || !graph.mainWindow) return;
    // The X range offered and evaluated is the whole plot's.
    finishPlotLoad(graph);
    std::string expression, xMinText, xMaxText;
    if (!runInputDialog(graph.mainWindow, expression, xMinText, xMaxText) || expression.empty()) return;
    if (io->inputChannel && graph.model.graphs.empty()) {
        showErrorDialog(graph.mainWindow, "Input from device has not started yet: ", expression.c_str());
        return;
    }
    PlotModel result;
    if (!evaluateExpression(graph.model, expression, xMinText, xMaxText, result)) {
        showErrorDialog(graph.mainWindow, "Expression Error\n", expression.c_str());
        return;
    }
    const bool wasPlaying = io->playing;
    if (wasPlaying) togglePause(*io);
    graph.model.merge(result);
    refreshPlotArea(graph.plot);
    if (wasPlaying) togglePause(*io);
}
