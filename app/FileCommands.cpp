// File-menu commands. Those whose dialogs are not built yet only check their record.
#include <gtk/gtk.h>

#include "app/Commands.h"
#include "app/GraphData.h"
#include "app/HelpWindow.h"

void onOpenFile(GtkMenuItem*, gpointer data) { recordFrom<IOData>(data, __LINE__); }
void onMergeFile(GtkMenuItem*, gpointer data) { recordFrom<IOData>(data, __LINE__); }
void onOpenDevice(GtkMenuItem*, gpointer data) { recordFrom<IOData>(data, __LINE__); }
void onCloseDevice(GtkMenuItem*, gpointer data) { recordFrom<IOData>(data, __LINE__); }
void onBackupDevice(GtkMenuItem*, gpointer data) { recordFrom<IOData>(data, __LINE__); }
void onCloseBackup(GtkMenuItem*, gpointer data) { recordFrom<IOData>(data, __LINE__); }
void onSave(GtkMenuItem*, gpointer data) { recordFrom<IOData>(data, __LINE__); }
void onExport(GtkMenuItem*, gpointer data) { recordFrom<IOData>(data, __LINE__); }
void onHelp(GtkMenuItem*, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    if (graph->mainWindow) showHelpWindow(graph->mainWindow, helpText);
}
void onConfigure(GtkMenuItem*, gpointer data) { recordFrom<ConfData>(data, __LINE__); }
