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

// The file's name, and under it what stopped its reading when that is known.
std::string nameAndProblem(const std::string& utf8Name, const std::string& problem) {
    return problem.empty() ? utf8Name : utf8Name + "\n" + problem;
}

void emptyTitles(PlotModel& model, const std::string& utf8Name) {
    model.sourceName = utf8Name.empty() ? std::string() : sourceBaseName(utf8Name);
    model.generalTitle = model.sourceName;
}

// What follows the reading of a plot file into the live model, read in one go or in steps: the
// title, the recent-files entry, or the message; then Fixed X-Axis mode whatever happened.
bool finishReadingIntoLive(IOData& io, const std::string& utf8Name, const std::string& uri, bool read,
                           const std::string& problem) {
    GraphData& graph = graphOf(io);
    PlotModel& model = graph.model;
    if (!read) {
        model.sourceName.clear();
        model.generalTitle.clear();
        showErrorDialog(graph.mainWindow, failedOpening, nameAndProblem(utf8Name, problem).c_str());
    } else {
        refreshPlotArea(graph.plot);
        setWindowTitle(graph.mainWindow, utf8Name);
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
    startPlotLoad(graphOf(io), std::move(file), name.local(),
                  [&io, utf8Name = name.utf8Name, uri = name.uri](const std::string& problem) {
                      finishReadingIntoLive(io, utf8Name, uri, problem.empty(), problem);
                  });
    return true;
}

bool plotFileOpens(const FileName& name) {
    std::ifstream file;
    return openTextFile(name.local(), file);
}

}  // namespace

bool openInput(const FileName& name, IOData& io) {
    GraphData& graph = graphOf(io);
    PlotModel& model = graph.model;
    if (name.empty()) {
        showErrorDialog(graph.mainWindow, failedOpening, "Empty file name");
        return false;
    }
    // A name that does not open (mistyped, deleted, busy, unreadable, a folder) replaces nothing:
    // the plot, a file still being read into it and its live input stay as they were. Once the new
    // input is open, the old one gives way and the plot is cleared for it.
    const auto replacePlot = [&graph, &model] {
        stopPlotLoad(graph);
        model.clear();
        model.fixedXAxis = true;
    };
    bool opened = false;
    switch (classifyInputName(name.utf8Name.c_str(), name.local())) {
        case InputTarget::standardInput: opened = openStandardInput(io, replacePlot); break;
        case InputTarget::device:
            opened = openSerialDevice(name.local() ? name.local() : name.utf8Name.c_str(), io, replacePlot);
            break;
        case InputTarget::plotFile:
            // A file that opens but then fails to read has cleared the plot, as a reading that
            // began always does.
            if (!plotFileOpens(name)) {
                showErrorDialog(graph.mainWindow, failedOpening, name.utf8Name.c_str());
                return false;
            }
            stopPlotLoad(graph);
            closeInput(io);
            model.fixedXAxis = false;
            model.highFrequency = false;
            model.clear();
            emptyTitles(model, name.utf8Name);
            if (startReadingInSteps(name, io)) return true;
            std::string problem;
            const bool read = readPlotFile(model, name.local(), name.utf8Name, &problem);
            return finishReadingIntoLive(io, name.utf8Name, name.uri, read, problem);
    }
    updateRecordingIndicator(&io);
    return opened;
}

bool mergePlotFile(const FileName& name, IOData& io) {
    GraphData& graph = graphOf(io);
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
    // A text file merged in is read as the live input is.
    other.commaSeparated = graph.model.commaSeparated;
    other.namedValues = graph.model.namedValues;
    other.fixedXAxis = false;
    other.highFrequency = false;
    emptyTitles(other, name.utf8Name);
    std::string problem;
    if (!readPlotFile(other, name.local(), name.utf8Name, &problem)) {
        showErrorDialog(graph.mainWindow, failedOpening, nameAndProblem(name.utf8Name, problem).c_str());
        return false;
    }
    const bool wasPlaying = io.playing;
    if (wasPlaying) togglePause(io);
    other.fixedXAxis = true;
    graph.model.merge(other);
    refreshPlotArea(graph.plot);
    if (wasPlaying) togglePause(io);
    return true;
}
