#pragma once
// Dialog-script steps that answer the program's file choosers as a person would: pick an existing
// file, or type a name into a folder. Choosers load folders in the background, so an open chooser
// is answered only once it holds the file; that may take long under a memory checker.

#include <functional>
#include <string>

#include <gtk/gtk.h>

namespace chooser_steps {

struct PendingAccept {
    GtkDialog* dialog;
    std::function<void()> beforeAccept;
};

inline gboolean acceptWhenSelected(gpointer data) {
    auto* pending = static_cast<PendingAccept*>(data);
    if (!gtk_widget_get_visible(GTK_WIDGET(pending->dialog))) return G_SOURCE_REMOVE;
    gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(pending->dialog));
    const bool ready = chosen != nullptr;
    g_free(chosen);
    if (!ready) return G_SOURCE_CONTINUE;
    if (pending->beforeAccept) pending->beforeAccept();
    gtk_dialog_response(pending->dialog, GTK_RESPONSE_ACCEPT);
    return G_SOURCE_REMOVE;
}

inline void freePending(gpointer data) {
    auto* pending = static_cast<PendingAccept*>(data);
    g_object_unref(pending->dialog);
    delete pending;
}

// Answers the chooser's question whether to replace an existing file with Replace, once it is
// asked; ends when the chooser is gone.
inline gboolean confirmReplace(gpointer data) {
    auto* pending = static_cast<PendingAccept*>(data);
    if (!gtk_widget_get_visible(GTK_WIDGET(pending->dialog))) return G_SOURCE_REMOVE;
    GList* windows = gtk_window_list_toplevels();
    for (GList* l = windows; l; l = l->next) {
        if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)) &&
            gtk_window_get_transient_for(GTK_WINDOW(l->data)) == GTK_WINDOW(pending->dialog)) {
            gtk_dialog_response(GTK_DIALOG(l->data), GTK_RESPONSE_ACCEPT);
            break;
        }
    }
    g_list_free(windows);
    return G_SOURCE_CONTINUE;
}

}  // namespace chooser_steps

// Selects path in an open chooser and accepts it; beforeAccept runs between the selection and the
// answer (a file can vanish there).
inline std::function<void(GtkDialog*)> pickFile(const std::string& path,
                                                std::function<void()> beforeAccept = {}) {
    return [path, beforeAccept](GtkDialog* dialog) {
        gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(dialog), path.c_str());
        auto* pending = new chooser_steps::PendingAccept{GTK_DIALOG(g_object_ref(dialog)), beforeAccept};
        g_timeout_add_full(G_PRIORITY_DEFAULT, 20, chooser_steps::acceptWhenSelected, pending,
                           chooser_steps::freePending);
    };
}

// Types the file part of path into a save chooser showing its folder, and accepts.
inline std::function<void(GtkDialog*)> saveInto(const std::string& path) {
    return [path](GtkDialog* dialog) {
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
        gtk_file_chooser_set_current_folder(chooser, path.substr(0, path.rfind('/')).c_str());
        gtk_file_chooser_set_current_name(chooser, path.substr(path.rfind('/') + 1).c_str());
        gtk_dialog_response(dialog, GTK_RESPONSE_ACCEPT);
    };
}

// The same for a file that exists: the chooser asks whether to replace it, and Replace is chosen.
inline std::function<void(GtkDialog*)> replaceInto(const std::string& path) {
    return [path](GtkDialog* dialog) {
        auto* pending = new chooser_steps::PendingAccept{GTK_DIALOG(g_object_ref(dialog)), {}};
        g_timeout_add_full(G_PRIORITY_DEFAULT, 20, chooser_steps::confirmReplace, pending,
                           chooser_steps::freePending);
        saveInto(path)(dialog);
    };
}
