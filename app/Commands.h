#pragma once
// Handlers of the menu items, accelerators and tool-row controls. Each checks its record's tag
// first and queues a redraw after changing the model.

#include <gtk/gtk.h>

struct GraphData;
struct IOData;

gboolean onQuit(GtkWidget* widget, GdkEvent* event, gpointer data);
void onQuitItem(GtkMenuItem* item, gpointer data);
void onClear(GtkMenuItem* item, gpointer data);
void onDisplayMenuOpened(GtkMenuItem* item, gpointer data);
void onAddDisplay(GtkMenuItem* item, gpointer data);
void onRemoveDisplay(GtkMenuItem* item, gpointer data);
void onIndependentToggled(GtkMenuItem* item, gpointer data);
void onFramesToggled(GtkMenuItem* item, gpointer data);
void onHighFrequencyToggled(GtkMenuItem* item, gpointer data);
void onFixedXAxisToggled(GtkMenuItem* item, gpointer data);
void onSharedYToggled(GtkMenuItem* item, gpointer data);
void onEnvelopeToggled(GtkMenuItem* item, gpointer data);
// How data lines are read (GraphData): the File menu's check items and their state when it opens.
void onFileMenuOpened(GtkMenuItem* item, gpointer data);
void onCsvToggled(GtkMenuItem* item, gpointer data);
void onLabelsToggled(GtkMenuItem* item, gpointer data);
void onFitYNow(GtkMenuItem* item, gpointer data);
void onYFitToggled(GtkMenuItem* item, gpointer data);
void onPausePlay(GtkButton* button, gpointer data);
gboolean onEnlarge(gpointer data);
gboolean onShrink(gpointer data);
void onGridChanged(GtkSpinButton* spin, gpointer data);
void onXZoomChanged(GtkSpinButton* spin, gpointer data);
void onYZoomChanged(GtkSpinButton* spin, gpointer data);
void onScrollChanged(GtkAdjustment* adjustment, gpointer data);

// File-menu commands (IOData) and Help (GraphData).
void onOpenFile(GtkMenuItem* item, gpointer data);
void onMergeFile(GtkMenuItem* item, gpointer data);
void onOpenDevice(GtkMenuItem* item, gpointer data);
void onCloseDevice(GtkMenuItem* item, gpointer data);
void onReconnectToggled(GtkMenuItem* item, gpointer data);
void onBackupDevice(GtkMenuItem* item, gpointer data);
void onCloseBackup(GtkMenuItem* item, gpointer data);
void onSave(GtkMenuItem* item, gpointer data);
void onExport(GtkMenuItem* item, gpointer data);
void onHelp(GtkMenuItem* item, gpointer data);
