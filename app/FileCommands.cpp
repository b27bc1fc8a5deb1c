// File-menu commands: choosing a file or a device and handing it to the readers and writers.
// Commands whose work is not built yet only check their record.
#include <cstring>
#include <string>

#include <gtk/gtk.h>

#include "app/Commands.h"
#include "app/DeviceMenu.h"
#include "app/GraphData.h"
#include "app/HelpWindow.h"
#include "app/OpenInput.h"
#include "app/PlotLoad.h"
#include "app/Settings.h"
#include "files/PlotFile.h"
#include "input/Backup.h"
#include "input/FileName.h"
#include "input/InputChannel.h"
#include "input/Messages.h"
#include "render/Export.h"
#include "ui/FileDialogs.h"
#include "ui/FileNameRules.h"

namespace {

bool isMenuItem(GtkMenuItem* item) {
    return item && GTK_IS_MENU_ITEM(item);
}

// Pauses a playing input for the length of a command and resumes it afterwards; input that was
// paused stays paused.
class PauseDuring {
  public:
    explicit PauseDuring(IOData& data) : io(data), wasPlaying(data.playing) {
        if (wasPlaying) togglePause(io);
    }
    ~PauseDuring() {
        if (wasPlaying && !io.playing) togglePause(io);
    }
    PauseDuring(const PauseDuring&) = delete;
    PauseDuring& operator=(const PauseDuring&) = delete;

  private:
    IOData& io;
    bool wasPlaying;
};

// The name Save and Export propose: derived from the plot file last opened, else "untitled".
std::string proposedName(const IOData& io, const char* extension) {
    if (io.currentInputName.empty()) return std::string("untitled.") + extension;
    return defaultFileName(io.currentInputName, extension);
}

}  // namespace

void onOpenFile(GtkMenuItem* item, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    if (!item || !graphOf(*io).mainWindow) return;
    FileName name;
    // A cancelled chooser is the user's "no": nothing happens and nothing is said.
    if (runOpenDialog(graphOf(*io).mainWindow, "Open File", "plt", name)) openInput(name, *io);
}

void onMergeFile(GtkMenuItem* item, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    if (!item || !graphOf(*io).mainWindow) return;
    FileName name;
    if (runOpenDialog(graphOf(*io).mainWindow, "Merge File", "plt", name)) mergePlotFile(name, *io);
}

void onOpenDevice(GtkMenuItem* item, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    if (!isMenuItem(item)) return;
    const char* label = gtk_menu_item_get_label(item);
    if (!label || !*label) return;
    const char* path = static_cast<const char*>(g_object_get_data(G_OBJECT(item), devicePathKey));
    FileName name;
    name.setFromUtf8(path ? path : std::strcmp(label, "Standard Input") == 0 ? "-" : label);
    if (openInput(name, *io)) saveSettings(graphOf(*io));
}

void onCloseDevice(GtkMenuItem* item, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    if (!isMenuItem(item)) return;
    stopPlotLoad(graphOf(*io));
    closeInput(*io);
}

void onReconnectToggled(GtkMenuItem* item, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    if (!item || !GTK_IS_CHECK_MENU_ITEM(item)) return;
    setReconnectDevice(*io, gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item)) != FALSE);
}

void onSave(GtkMenuItem*, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    GraphData& graph = graphOf(*io);
    if (!graph.mainWindow) return;
    finishPlotLoad(graph);
    PauseDuring pause(*io);
    const std::string proposed = proposedName(*io, "plt");
    FileName name;
    if (!runSaveDialog(graph.mainWindow, "Save Plot", io->lastSavedPlotName.c_str(), proposed.c_str(), "plt",
                       name)) {
        return;
    }
    if (name.length <= 4) {
        showErrorDialog(graph.mainWindow, "Error: Invalid file name: ", name.utf8Name.c_str());
        return;
    }
    const std::int32_t result = saveFile(graph.model, name.local(), name.utf8Name);
    if (result == -2) {
        showErrorDialog(graph.mainWindow,
                        "Error: No sampling rate while saving file: ", name.utf8Name.c_str());
    } else if (result != 0) {
        showErrorDialog(graph.mainWindow, "Error: Failed saving file: ", name.utf8Name.c_str());
    } else {
        io->lastSavedPlotName = name.utf8Name;
    }
}
void onBackupDevice(GtkMenuItem* item, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    if (!item || !graphOf(*io).mainWindow) return;
    FileName name;
    // A dialog backup always starts a new file; appending is a start-up choice (-a).
    if (runSaveDialog(graphOf(*io).mainWindow, "Backup File", nullptr, "untitled.plt", "plt", name) &&
        !name.empty()) {
        openBackup(name, false, *io);
    }
}

void onCloseBackup(GtkMenuItem*, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    closeBackup(*io);
}

void onExport(GtkMenuItem*, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    GraphData& graph = graphOf(*io);
    if (!graph.mainWindow) return;
    finishPlotLoad(graph);
    PauseDuring pause(*io);
    const std::string proposed = proposedName(*io, "pdf");
    FileName name;
    if (!runSaveDialog(graph.mainWindow, "Export to PDF/SVG", nullptr, proposed.c_str(), "pdf", name)) return;
    if (name.length <= 4) {
        showErrorDialog(graph.mainWindow, "Error: Invalid file name: ", name.utf8Name.c_str());
    } else if (exportDrawing(graph.plot, name.utf8Name, name.local()) == 0) {
        showErrorDialog(graph.mainWindow, "Error: Invalid file: ", name.utf8Name.c_str());
    }
}

void onHelp(GtkMenuItem*, gpointer data) {
    GraphData* graph = recordFrom<GraphData>(data, __LINE__);
    if (graph->mainWindow) showHelpWindow(graph->mainWindow, helpText);
}
