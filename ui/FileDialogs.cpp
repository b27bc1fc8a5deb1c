#include "ui/FileDialogs.h"

#include <cstring>
#include <initializer_list>
#include <string>

#include "input/FileName.h"
#include "input/GlibPtr.h"
#include "input/Messages.h"
#include "ui/FileNameRules.h"

ChooserMemory* chooserMemory = nullptr;

namespace {

void addFilter(GtkWidget* chooser, const char* name, std::initializer_list<const char*> patterns) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, name);
    for (const char* pattern : patterns) gtk_file_filter_add_pattern(filter, pattern);
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter);  // the chooser takes the filter
}

void addFilters(GtkWidget* chooser, const char* kind, bool saving) {
    if (std::strcmp(kind, "plt") == 0) {
        addFilter(chooser, "Plot Files", {"*.plt", "*.wxv", "*.csv"});
    } else if (std::strcmp(kind, "cfg") == 0) {
        addFilter(chooser, "Conf Files", {"*.cfg"});
    } else if (saving && std::strcmp(kind, "pdf") == 0) {
        addFilter(chooser, "Image Files", {"*.pdf", "*.svg", "*.png"});
    }
}

GtkWidget* newChooser(GtkWidget* parent, const char* title, GtkFileChooserAction action, const char* accept) {
    return gtk_file_chooser_dialog_new(title, parent ? GTK_WINDOW(parent) : nullptr, action, "Cancel",
                                       GTK_RESPONSE_CANCEL, accept, GTK_RESPONSE_ACCEPT, nullptr);
}

// A chooser without a file to start on opens in the folder it was last accepted in.
void startInRememberedFolder(GtkWidget* chooser, const char* title) {
    if (!chooserMemory || !title) return;
    const auto found = chooserMemory->folders.find(title);
    if (found != chooserMemory->folders.end())
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), found->second.c_str());
}

void rememberFolder(GtkWidget* chooser, const char* title) {
    if (!chooserMemory || !title) return;
    // The chosen file's folder: a name typed with a path, or a file picked among the recent ones,
    // lies elsewhere than the folder shown.
    const GCharPtr file{gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))};
    const GCharPtr folder{file ? g_path_get_dirname(file.get())
                               : gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(chooser))};
    if (!folder) return;
    chooserMemory->folders[title] = folder.get();
    if (chooserMemory->changed) chooserMemory->changed();
}

// Runs an open or save chooser and keeps the folder it was accepted in.
bool runChooser(GtkWidget* chooser, const char* title) {
    const bool accepted = runDialog(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT;
    if (accepted) rememberFolder(chooser, title);
    return accepted;
}

}  // namespace

bool runOpenDialog(GtkWidget* parent, const char* title, const char* kind, FileName& result) {
    GtkWidget* chooser = newChooser(parent, title, GTK_FILE_CHOOSER_ACTION_OPEN, "Open");
    addFilters(chooser, kind ? kind : "", false);
    startInRememberedFolder(chooser, title);
    result.clear();
    const bool accepted = runChooser(chooser, title);
    if (accepted) {
        GCharPtr uri{gtk_file_chooser_get_uri(GTK_FILE_CHOOSER(chooser))};
        if (uri) result.setFromUri(uri.get());
    }
    gtk_widget_destroy(chooser);
    return accepted;
}

bool runSaveDialog(GtkWidget* parent, const char* title, const char* currentFile, const char* proposedName,
                   const char* kind, FileName& result) {
    GtkWidget* chooser = newChooser(parent, title, GTK_FILE_CHOOSER_ACTION_SAVE, "Save");
    addFilters(chooser, kind ? kind : "", true);
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
    gtk_file_chooser_set_create_folders(GTK_FILE_CHOOSER(chooser), TRUE);
    if (currentFile && *currentFile) {
        gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(chooser), currentFile);
    } else {
        startInRememberedFolder(chooser, title);
        if (proposedName && *proposedName)
            gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), proposedName);
    }
    result.clear();
    const bool accepted = runChooser(chooser, title);
    if (accepted) {
        GCharPtr uri{gtk_file_chooser_get_uri(GTK_FILE_CHOOSER(chooser))};
        if (uri) result.setFromUri(uri.get());
        if (!result.utf8Name.empty()) {
            const std::string completed = completeExtension(result.utf8Name, kind ? kind : "");
            if (static_cast<std::int32_t>(completed.size()) !=
                static_cast<std::int32_t>(result.utf8Name.size())) {
                result.setFromUtf8(completed.c_str());
            }
        }
    }
    gtk_widget_destroy(chooser);
    return accepted;
}
