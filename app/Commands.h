#pragma once
// Handlers of the menu items, accelerators and tool-row controls. Each checks its record's tag
// first and queues a redraw after changing the model.

#include <gtk/gtk.h>

struct GraphData;
struct IOData;

// Pause toggle shared by the commands that pause input around their work: flips the playing flag
// and moves the input watch between its saved priority and 300. The button label is untouched.
void togglePause(IOData& io);

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
