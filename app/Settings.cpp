#include "app/Settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <glib.h>
#include <gtk/gtk.h>

#include "app/GraphData.h"
#include "input/GlibPtr.h"

const RememberedToggle rememberedToggles[] = {
    {"envelope", &PlotModel::envelope},
};
const std::size_t rememberedToggleCount = sizeof rememberedToggles / sizeof rememberedToggles[0];

namespace {

using KeyFilePtr = std::unique_ptr<GKeyFile, FreeWith<g_key_file_free>>;

constexpr const char* windowGroup = "window";
constexpr const char* serialGroup = "serial";
constexpr const char* choosersGroup = "choosers";
constexpr const char* displayGroup = "display";

// Window sizes outside this range are not a window this program made.
constexpr int largestWindowSide = 16384;

bool missingEntry(const GError* error) {
    return g_error_matches(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_GROUP_NOT_FOUND) ||
           g_error_matches(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_KEY_NOT_FOUND);
}

// Reads an integer entry in [lowest, highest]; a missing one leaves value alone. False, with the
// reason in problem, for an entry that is there but not such a number.
bool readInteger(GKeyFile* file, const char* group, const char* key, int lowest, int highest, int& value,
                 std::string& problem) {
    GError* failure = nullptr;
    const int read = g_key_file_get_integer(file, group, key, &failure);
    const GErrorPtr error{failure};
    if (error && missingEntry(error.get())) return true;
    if (error || read < lowest || read > highest) {
        problem = std::string("[") + group + "] " + key + " is not a number from " + std::to_string(lowest) +
                  " to " + std::to_string(highest);
        return false;
    }
    value = read;
    return true;
}

bool readString(GKeyFile* file, const char* group, const char* key, std::string& value) {
    const GCharPtr read{g_key_file_get_string(file, group, key, nullptr)};
    if (read) value = read.get();
    return read != nullptr;
}

bool readSettingsFrom(GKeyFile* file, Settings& read, std::string& problem) {
    if (!readInteger(file, windowGroup, "width", 1, largestWindowSide, read.windowWidth, problem) ||
        !readInteger(file, windowGroup, "height", 1, largestWindowSide, read.windowHeight, problem)) {
        return false;
    }
    readString(file, serialGroup, "device", read.serialDevice);
    int speed = 0;
    if (!readInteger(file, serialGroup, "speed", 0, INT32_MAX, speed, problem)) return false;
    read.serialSpeed = speed;
    gsize count = 0;
    const std::unique_ptr<gchar*, FreeWith<g_strfreev>> keys{
        g_key_file_get_keys(file, choosersGroup, &count, nullptr)};
    for (gsize i = 0; keys && i < count; ++i) {
        std::string folder;
        if (readString(file, choosersGroup, keys.get()[i], folder) && !folder.empty())
            read.choosers.folders[keys.get()[i]] = folder;
    }
    for (std::size_t i = 0; i < rememberedToggleCount; ++i) {
        GError* failure = nullptr;
        const bool on = g_key_file_get_boolean(file, displayGroup, rememberedToggles[i].key, &failure);
        const GErrorPtr error{failure};
        if (error && missingEntry(error.get())) continue;
        if (error) {
            problem =
                std::string("[") + displayGroup + "] " + rememberedToggles[i].key + " is not true or false";
            return false;
        }
        read.toggles[rememberedToggles[i].key] = on;
    }
    return true;
}

void warn(const std::string& text) {
    std::fprintf(stderr, "kivrel: %s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace

std::string settingsPath() {
    const char* off = std::getenv("KIVREL_NO_SETTINGS");
    if (off && *off && std::strcmp(off, "0") != 0) return {};
    const GCharPtr path{g_build_filename(g_get_user_config_dir(), "kivrel", "settings", nullptr)};
    return path.get();
}

std::string readSettings(Settings& settings) {
    if (settings.path.empty()) return {};
    gchar* contents = nullptr;
    gsize length = 0;
    GError* failure = nullptr;
    if (!g_file_get_contents(settings.path.c_str(), &contents, &length, &failure)) {
        const GErrorPtr error{failure};
        return error->message;
    }
    const GCharPtr text{contents};
    const KeyFilePtr file{g_key_file_new()};
    if (!g_key_file_load_from_data(file.get(), text.get(), length, G_KEY_FILE_NONE, &failure)) {
        const GErrorPtr error{failure};
        return error->message;
    }
    // Everything is read into a copy first: a file with one bad entry is not used at all.
    Settings read;
    read.path = settings.path;
    std::string problem;
    if (!readSettingsFrom(file.get(), read, problem)) return problem;
    read.choosers.changed = std::move(settings.choosers.changed);
    settings = std::move(read);
    settings.written = settingsText(settings);
    return {};
}

std::string settingsText(const Settings& settings) {
    const KeyFilePtr file{g_key_file_new()};
    if (settings.windowWidth > 0 && settings.windowHeight > 0) {
        g_key_file_set_integer(file.get(), windowGroup, "width", settings.windowWidth);
        g_key_file_set_integer(file.get(), windowGroup, "height", settings.windowHeight);
    }
    if (!settings.serialDevice.empty())
        g_key_file_set_string(file.get(), serialGroup, "device", settings.serialDevice.c_str());
    if (settings.serialSpeed > 0)
        g_key_file_set_integer(file.get(), serialGroup, "speed", settings.serialSpeed);
    for (const auto& [title, folder] : settings.choosers.folders)
        g_key_file_set_string(file.get(), choosersGroup, title.c_str(), folder.c_str());
    for (const auto& [key, on] : settings.toggles)
        g_key_file_set_boolean(file.get(), displayGroup, key.c_str(), on);
    const GCharPtr text{g_key_file_to_data(file.get(), nullptr, nullptr)};
    return text ? text.get() : std::string();
}

std::string writeSettings(Settings& settings) {
    if (settings.path.empty()) return {};
    const std::string text = settingsText(settings);
    if (text == settings.written) return {};
    const GCharPtr folder{g_path_get_dirname(settings.path.c_str())};
    if (g_mkdir_with_parents(folder.get(), 0700) != 0)
        return std::string(folder.get()) + ": " + g_strerror(errno);
    // GLib writes a temporary file next to it and renames it over the old one, so that a crash or a
    // full disk leaves the old settings whole.
    GError* failure = nullptr;
    if (!g_file_set_contents(settings.path.c_str(), text.c_str(), static_cast<gssize>(text.size()),
                             &failure)) {
        const GErrorPtr error{failure};
        return error->message;
    }
    settings.written = text;
    return {};
}

std::string loadSettings(GraphData& graph) {
    Settings& settings = graph.settings;
    const std::string problem = readSettings(settings);
    for (std::size_t i = 0; i < rememberedToggleCount; ++i) {
        const auto found = settings.toggles.find(rememberedToggles[i].key);
        if (found != settings.toggles.end()) graph.model.*rememberedToggles[i].field = found->second;
    }
    if (settings.serialSpeed > 0) graph.io.serialSpeed = settings.serialSpeed;
    if (settings.path.empty()) return problem;
    settings.choosers.changed = [&graph] { saveSettings(graph); };
    chooserMemory = &settings.choosers;
    return problem.empty() ? problem : "settings not read, the usual ones are used: " + problem;
}

void saveSettings(GraphData& graph) {
    Settings& settings = graph.settings;
    if (settings.path.empty()) return;
    for (std::size_t i = 0; i < rememberedToggleCount; ++i)
        settings.toggles[rememberedToggles[i].key] = graph.model.*rememberedToggles[i].field;
    if (!graph.io.deviceName.empty()) settings.serialDevice = graph.io.deviceName;
    if (graph.io.serialSpeed > 0) settings.serialSpeed = graph.io.serialSpeed;
    const std::string problem = writeSettings(settings);
    if (problem.empty()) return;
    warn("settings not saved: " + problem);
    // Said once: the same state is not tried again, a changed one is.
    settings.written = settingsText(settings);
}

namespace {

// The size a person gave the window; a maximised, full-screen or tiled window keeps the size it
// had before.
gboolean onWindowConfigured(GtkWidget* window, GdkEvent*, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    const GdkWindowState placed =
        GdkWindowState(GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_FULLSCREEN | GDK_WINDOW_STATE_TILED);
    if (gdkWindow && (gdk_window_get_state(gdkWindow) & placed) != 0) return FALSE;
    gtk_window_get_size(GTK_WINDOW(window), &graph->settings.windowWidth, &graph->settings.windowHeight);
    return FALSE;
}

}  // namespace

void trackWindowSize(GraphData& graph) {
    g_signal_connect(graph.mainWindow, "configure-event", G_CALLBACK(onWindowConfigured), &graph);
}
