#include "app/OpenInput.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>

#include <gtk/gtk.h>
#include <sys/stat.h>

#include "app/Commands.h"
#include "app/GraphData.h"
#include "app/PlotLoad.h"
#include "files/Csv.h"
#include "files/PlotFile.h"
#include "files/Wxv.h"
#include "input/FileName.h"
#include "input/InputChannel.h"
#include "input/Messages.h"
#include "render/PlotAreaHandlers.h"

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

// What follows the reading of a plot file into the live model, read in one go or in steps: the
// title, the recent-files entry, or the message; then Fixed X-Axis mode whatever happened.
bool finishReadingIntoLive(IOData& io, const std::string& utf8Name, const std::string& uri, bool read) {
    GraphData& graph = *io.owner;
    PlotModel& model = graph.model;
    if (!read) {
        model.sourceName.clear();
        model.generalTitle.clear();
        showErrorDialog(graph.mainWindow, failedOpening, utf8Name.c_str());
    } else {
        refreshPlotArea(graph);
        setWindowTitle(graph, utf8Name);
        io.currentInputName = utf8Name;
        io.lastSavedPlotName.clear();
        if (!utf8Name.empty() && utf8Name[0] == '/' && !uri.empty()) {
            gtk_recent_manager_add_item(gtk_recent_manager_get_default(), uri.c_str());
        }
    }
    model.fixedXAxis = true;
    updateRecordingIndicator(&io);
    return read;
}

// A large text plot file is read in steps from the main loop; true when that has started. WXV and
// CSV files, small files and files that do not open are read in one go (which gives the message).
bool startReadingInSteps(const FileName& name, IOData& io) {
    if (hasWxvEnding(name.utf8Name) || hasCsvEnding(name.utf8Name) || !name.local()) return false;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(name.local(), error);
    if (error || size <= stepwiseLoadBytes) return false;
    std::ifstream file;
    if (!openTextFile(name.local(), file)) return false;
    startPlotLoad(*io.owner, std::move(file), [&io, utf8Name = name.utf8Name, uri = name.uri] {
        finishReadingIntoLive(io, utf8Name, uri, true);
    });
    return true;
}

bool plotFileOpens(const FileName& name) {
    std::ifstream file;
    return openTextFile(name.local(), file);
}

}  // namespace

bool openInput(const FileName& name, IOData& io) {
    GraphData& graph = *io.owner;
    PlotModel& model = graph.model;
    if (name.empty()) {
        showErrorDialog(graph.mainWindow, failedOpening, "Empty file name");
        return false;
    }
    // A file still being read gives way to the new input.
    stopPlotLoad(graph);
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
            // A name that does not open (mistyped, deleted, unreadable, a folder) replaces nothing:
            // the plot and its live input stay as they were. A file that opens but then fails to
            // read has cleared the plot, as a reading that began always does.
            if (!plotFileOpens(name)) {
                showErrorDialog(graph.mainWindow, failedOpening, name.utf8Name.c_str());
                return false;
            }
            closeInput(io);
            model.fixedXAxis = false;
            model.highFrequency = false;
            model.clear();
            emptyTitles(model, name.utf8Name);
            if (startReadingInSteps(name, io)) return true;
            return finishReadingIntoLive(io, name.utf8Name, name.uri,
                                         readPlotFile(model, name.local(), name.utf8Name));
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
    // A merge adds to the whole plot: a file still being read is read to its end first.
    finishPlotLoad(graph);
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
    refreshPlotArea(graph);
    if (wasPlaying) togglePause(io);
    return true;
}
