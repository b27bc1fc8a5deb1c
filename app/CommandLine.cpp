#include "app/CommandLine.h"

#include "app/GraphData.h"
#include "files/Configuration.h"
#include "input/FileName.h"
#include "model/CommandLineOptions.h"
#include "model/StartupOptions.h"

namespace {

// True when the file was loaded; it is then offered by the next configuration save.
bool loadConfigurationFile(GraphData& graph, const char* name) {
    FileName file;
    file.setFromUtf8(name);
    if (!loadConfiguration(graph.model, file.local())) return false;
    graph.conf.lastConfigFile = file.utf8Name;
    return true;
}

}  // namespace

int parseCommandLine(int argc, char** argv, GraphData& graph, StartupOptions& options) {
    const int next = readCommandLine(argc, argv, options);
    if (options.exitNow) return next;
    if (options.directoryPruning) directoryPruning = *options.directoryPruning;
    if (options.reconnect) graph.io.reconnectDevice = true;
    applyCommandLinePlotOptions(options, graph.model, [&graph, &options](const char* name) {
        if (!loadConfigurationFile(graph, name)) options.failedConfigFile = name;
    });
    return next;
}

void applyPlotOptions(const StartupOptions& options, GraphData& graph) {
    applyCommandLinePlotOptions(options, graph.model,
                                [&graph](const char* name) { loadConfigurationFile(graph, name); });
}
