#include "input/IOData.h"

#include <gtk/gtk.h>

void updateRecordingIndicator(IOData* io) {
    if (!io || !io->indicatorImage || !GTK_IS_WIDGET(io->indicatorImage)) return;
    gtk_widget_set_visible(io->indicatorImage, io->inputChannel != nullptr && io->backupChannel != nullptr);
}
