#include "app/OpenInput.h"

#include <cstring>
#include <string>

#include <gtk/gtk.h>
#include <sys/stat.h>

#include "app/Commands.h"
#include "app/GraphData.h"
#include "files/PlotFile.h"
#include "input/FileName.h"
#include "input/InputChannel.h"
#include "input/Messages.h"

InputTarget classifyInputName(const char* utf8Name, const char* localName) {
    if (std::strcmp(utf8Name, "-") == 0 || std::strcmp(utf8Name, "Standard Input") == 0) {
        return InputTarget::standardInput;
    }
    if (std::strncmp(utf8Name, "/dev/tty", 8) == 0) return InputTarget::device;
    // A FIFO or a character device never ends like a file does: reading it as a plot file would
    // wait for that end and freeze the window.
    struct stat info {};
    if (localName && stat(localName, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode))) {
        return InputTarget::device;
    }
    return InputTarget::plotFile;
}

namespace {

constexpr const char* failedOpening = "Error: Failed opening file: ";

void emptyTitles(PlotModel& model, const std::string& utf8Name) {
    model.sourceName = utf8Name.empty() ? std::string() : sourceBaseName(utf8Name);
    model.generalTitle = model.sourceName;
}

bool readPlotIntoLive(const FileName& name, IOData& io) {
    GraphData& graph = *io.owner;
    PlotModel& model = graph.model;
    emptyTitles(model, name.utf8Name);
    if (!readPlotFile(model, name.local(), name.utf8Name)) {
        model.sourceName.clear();
        model.generalTitle.clear();
        showErrorDialog(graph.mainWindow, failedOpening, name.utf8Name.c_str());
        return false;
    }
    redrawPlot(graph);
    setWindowTitle(graph, name.utf8Name);
    io.currentInputName = name.utf8Name;
    io.lastSavedPlotName.clear();
    if (!name.utf8Name.empty() && name.utf8Name[0] == '/' && !name.uri.empty()) {
        gtk_recent_manager_add_item(gtk_recent_manager_get_default(), name.uri.c_str());
    }
    return true;
}

}  // namespace

bool openInput(const FileName& name, IOData& io) {
    GraphData& graph = *io.owner;
    PlotModel& model = graph.model;
    if (name.empty()) {
        showErrorDialog(graph.mainWindow, failedOpening, "Empty file name");
        return false;
    }
    bool opened = false;
    switch (classifyInputName(name.utf8Name.c_str(), name.local())) {
        case InputTarget::standardInput:
            closeInput(io);
            model.clear();
            model.fixedXAxis = true;
            opened = openStandardInput(io);
            break;
        case InputTarget::device:
            closeInput(io);
            model.clear();
            model.fixedXAxis = true;
            opened = openSerialDevice(name.local() ? name.local() : name.utf8Name.c_str(), io);
            break;
        case InputTarget::plotFile:
            closeInput(io);
            model.fixedXAxis = false;
            model.highFrequency = false;
            model.clear();
            opened = readPlotIntoLive(name, io);
            model.fixedXAxis = true;
            break;
    }
    updateRecordingIndicator(&io);
    return opened;
}

bool mergePlotFile(const FileName& name, IOData& io) {
    GraphData& graph = *io.owner;
    if (name.empty()) {
        showErrorDialog(graph.mainWindow, failedOpening, "Empty file name");
        return false;
    }
    if (io.inputChannel && graph.model.graphs.empty()) {
        showErrorDialog(graph.mainWindow, "Input from device has not started yet: ", name.utf8Name.c_str());
        return false;
    }
    PlotModel other;
    other.fixedXAxis = false;
    other.highFrequency = false;
    emptyTitles(other, name.utf8Name);
    if (!readPlotFile(other, name.local(), name.utf8Name)) {
        showErrorDialog(graph.mainWindow, failedOpening, name.utf8Name.c_str());
        return false;
    }
    const bool wasPlaying = io.playing;
    if (wasPlaying) togglePause(io);
    other.fixedXAxis = true;
    graph.model.merge(other);
    redrawPlot(graph);
    if (wasPlaying) togglePause(io);
    return true;
}
