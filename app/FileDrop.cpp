#include "app/FileDrop.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include <gtk/gtk.h>

#include "app/GraphData.h"
#include "app/OpenInput.h"
#include "app/PlotLoad.h"
#include "input/FileName.h"

namespace {

bool hasPlotFileEnding(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return false;
    std::string ending = name.substr(dot + 1);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ending == "plt" || ending == "wxv" || ending == "csv";
}

void mergeAfterReading(GraphData& graph, std::vector<std::string> names) {
    afterPlotLoad(graph, [&graph, names = std::move(names)] {
        for (const std::string& utf8Name : names) {
            FileName file;
            file.setFromUtf8(utf8Name.c_str());
            mergePlotFile(file, graph.io);
        }
    });
}

struct PendingDrop {
    GraphData* graph;
    std::vector<std::string> names;
    bool mergeAll;
};

gboolean openPendingDrop(gpointer data) {
    const auto* drop = static_cast<const PendingDrop*>(data);
    openDroppedFiles(*drop->graph, drop->names, drop->mergeAll);
    return G_SOURCE_REMOVE;
}

// Whether Ctrl is held on the device that dropped, at the moment of the drop.
bool controlHeld(GtkWidget* widget, GdkDragContext* context) {
    GdkWindow* window = gtk_widget_get_window(widget);
    GdkDevice* device = gdk_drag_context_get_device(context);
    GdkModifierType state = GdkModifierType(0);
    if (window && device) gdk_window_get_device_position(window, device, nullptr, nullptr, &state);
    return (state & GDK_CONTROL_MASK) != 0;
}

void onDragDataReceived(GtkWidget* widget, GdkDragContext* context, gint, gint, GtkSelectionData* selection,
                        guint, guint, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    gchar** uris = gtk_selection_data_get_uris(selection);
    std::vector<std::string> names = droppedPlotFiles(uris);
    g_strfreev(uris);
    if (names.empty()) return;
    // The files are read once the drop has ended, so that an error message or a long reading does
    // not hold up the file manager the files came from.
    auto* drop = new PendingDrop{graph, std::move(names), controlHeld(widget, context)};
    g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, openPendingDrop, drop,
                    [](gpointer pending) { delete static_cast<PendingDrop*>(pending); });
}

}  // namespace

std::vector<std::string> droppedPlotFiles(const char* const* uris) {
    std::vector<std::string> names;
    for (; uris && *uris; ++uris) {
        FileName file;
        file.setFromUri(*uris);
        if (file.local() && hasPlotFileEnding(file.utf8Name)) names.push_back(file.utf8Name);
    }
    return names;
}

void openDroppedFiles(GraphData& graph, const std::vector<std::string>& names, bool mergeAll) {
    if (names.empty()) return;
    if (mergeAll) {
        mergeAfterReading(graph, names);
        return;
    }
    FileName first;
    first.setFromUtf8(names.front().c_str());
    openInput(first, graph.io);
    mergeAfterReading(graph, std::vector<std::string>(names.begin() + 1, names.end()));
}

void acceptFileDrops(GraphData& graph) {
    const GtkTargetEntry uriList{const_cast<gchar*>("text/uri-list"), 0, 0};
    gtk_drag_dest_set(graph.mainWindow, GTK_DEST_DEFAULT_ALL, &uriList, 1,
                      GdkDragAction(GDK_ACTION_COPY | GDK_ACTION_MOVE | GDK_ACTION_LINK));
    g_signal_connect(graph.mainWindow, "drag-data-received", G_CALLBACK(onDragDataReceived), &graph);
}
