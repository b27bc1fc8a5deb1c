#include "input/Messages.h"

#include <gtk/gtk.h>

#include "app/GraphData.h"

DialogResponder dialogResponder = nullptr;

namespace {

void onDialogMapped(GtkWidget* widget, gpointer) {
    if (dialogResponder) dialogResponder(GTK_DIALOG(widget));
}

}  // namespace

int runDialog(GtkDialog* dialog) {
    if (dialogResponder) g_signal_connect(dialog, "map", G_CALLBACK(onDialogMapped), nullptr);
    return gtk_dialog_run(dialog);
}

void showErrorDialog(GtkWidget* parent, const char* text, const char* detail) {
    GtkWidget* dialog = gtk_message_dialog_new(parent ? GTK_WINDOW(parent) : nullptr,
                                               GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_ERROR,
                                               GTK_BUTTONS_CLOSE, "%s%s", text ? text : "",
                                               detail ? detail : "");
    runDialog(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

void setWindowTitle(GraphData& graph, const std::string& name) {
    if (!graph.mainWindow || !GTK_IS_WINDOW(graph.mainWindow)) return;
    const std::string title = name.empty() ? std::string("Kivrel") : "Kivrel: [" + name + "]";
    gtk_window_set_title(GTK_WINDOW(graph.mainWindow), title.c_str());
}
