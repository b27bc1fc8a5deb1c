#pragma once
// The file choosers of the file commands and the configuration dialog. Each returns whether the
// chooser was accepted: Cancel, Escape and closing it are a deliberate "no", after which the
// commands do nothing. A cancelled chooser leaves the result empty (length 0); an accepted one
// may too (a location without a local name).

#include <functional>
#include <map>
#include <string>

#include <gtk/gtk.h>

struct FileName;

// The folder each chooser (by its title) was in when last accepted; it opens there next time.
// changed runs after every accepted chooser, so the folders can be kept at once.
struct ChooserMemory {
    std::map<std::string, std::string> folders;
    std::function<void()> changed;
};

// The memory the choosers use; null (the default, and in tests) remembers nothing, and each
// chooser opens where GTK opens it.
extern ChooserMemory* chooserMemory;

// kind "plt" filters plot files, "cfg" configuration files, "pdf" exports; anything else shows
// every file.
bool runOpenDialog(GtkWidget* parent, const char* title, const char* kind, FileName& result);

// Starts on currentFile when it is not empty, otherwise offers proposedName. A chosen name
// without an extension gets "." and kind appended.
bool runSaveDialog(GtkWidget* parent, const char* title, const char* currentFile, const char* proposedName,
                   const char* kind, FileName& result);
