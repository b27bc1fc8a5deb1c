#pragma once
// What Kivrel remembers from one run to the next, in one small key file: the window's size, the
// serial device and speed last used, the folder each file chooser was last accepted in, and the
// Display-menu toggles that plot files do not keep. It is read before the command line, which
// overrides it, and written through a temporary file and a rename, only when its text changed.
// Plot files and ".cfg" files never depend on it.

#include <cstdint>
#include <map>
#include <string>

#include "model/PlotModel.h"
#include "ui/FileDialogs.h"

struct GraphData;

// A Display-menu toggle kept in the settings: its key and the model's field. A toggle added later
// is one more row of rememberedToggles.
struct RememberedToggle {
    const char* key;
    bool PlotModel::*field;
};
extern const RememberedToggle rememberedToggles[];
extern const std::size_t rememberedToggleCount;

struct Settings {
    // The key file; empty: nothing is read or written (KIVREL_NO_SETTINGS=1, and in tests).
    std::string path;
    // 0: the window opens at its usual size.
    int windowWidth = 0;
    int windowHeight = 0;
    std::string serialDevice;
    std::int32_t serialSpeed = 0;
    ChooserMemory choosers;
    // The toggles the file holds, by key; a toggle missing from it keeps the model's start value.
    std::map<std::string, bool> toggles;
    // The text last read or written, so that an unchanged state is not written again.
    std::string written;
};

// "$XDG_CONFIG_HOME/kivrel/settings" (GLib's user configuration folder), or empty when the
// environment sets KIVREL_NO_SETTINGS to anything but empty or "0".
std::string settingsPath();

// Reads settings.path; a missing, unreadable or corrupt file leaves the start values and returns
// why, for a warning. Returns empty on success and when the path is empty.
std::string readSettings(Settings& settings);

// The key file's text for settings.
std::string settingsText(const Settings& settings);

// Writes settings.path when the text differs from the last one read or written; returns empty on
// success (or nothing to do), else why it failed.
std::string writeSettings(Settings& settings);

// Start-up: reads the settings of graph, gives their values to the model and the input, and keeps
// the choosers' folders in them. Returns the warning for a file that could not be used, or empty.
std::string loadSettings(GraphData& graph);

// Takes the current state of graph into its settings and writes them if they changed (warning on
// standard error when that fails).
void saveSettings(GraphData& graph);

// Keeps the main window's size in graph's settings as the user changes it.
void trackWindowSize(GraphData& graph);
