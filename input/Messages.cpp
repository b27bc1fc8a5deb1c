#include "input/Messages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gtk/gtk.h>

DialogResponder dialogResponder = nullptr;

namespace {

// Runs once the dialog's own loop is running, so a response ends that loop.
gboolean answerDialog(gpointer dialog) {
    if (dialogResponder) dialogResponder(GTK_DIALOG(dialog));
    return G_SOURCE_REMOVE;
}

}  // namespace

int runDialog(GtkDialog* dialog) {
    if (dialogResponder) {
        g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, answerDialog, g_object_ref(dialog), g_object_unref);
    }
    return gtk_dialog_run(dialog);
}

void showErrorDialog(GtkWidget* parent, const char* text, const char* detail) {
    // With KIVREL_REPORT_ERRORS set (to anything but empty or "0") the message also goes to
    // standard error, so that a test can see the dialog of the running program.
    const char* report = std::getenv("KIVREL_REPORT_ERRORS");
    if (report && *report && std::strcmp(report, "0") != 0) {
        std::fprintf(stderr, "kivrel: error dialog: %s%s\n", text ? text : "", detail ? detail : "");
        std::fflush(stderr);
    }
    GtkWidget* dialog = gtk_message_dialog_new(
        parent ? GTK_WINDOW(parent) : nullptr, GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_ERROR,
        GTK_BUTTONS_CLOSE, "%s%s", text ? text : "", detail ? detail : "");
    runDialog(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

void setWindowTitle(GtkWidget* window, const std::string& name, const char* remark) {
    if (!window || !GTK_IS_WINDOW(window)) return;
    std::string title = name.empty() ? std::string("Kivrel") : "Kivrel: [" + name + "]";
    if (remark && *remark) title = title + " " + remark;
    gtk_window_set_title(GTK_WINDOW(window), title.c_str());
}
