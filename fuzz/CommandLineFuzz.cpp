// The command-line reader on arbitrary argument vectors: the input's NUL bytes separate the
// arguments after the program name. What was read is then applied to a model; a configuration
// file named with -c is not read, since an argument could name any file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "model/CommandLineOptions.h"
#include "model/PlotModel.h"
#include "model/StartupOptions.h"

namespace {

// A name the reader returns must be one of the arguments or the constant "-".
bool pointsIntoArguments(const char* name, const std::vector<char*>& argv) {
    if (name == nullptr || std::strcmp(name, "-") == 0) return true;
    for (char* argument : argv) {
        if (argument != nullptr && name >= argument && name <= argument + std::strlen(argument)) return true;
    }
    return false;
}

void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const AllocationCeilingScope ceiling;
    std::vector<std::string> arguments{"kivrel"};
    for (std::string& argument : splitAt(data, size, '\0')) arguments.push_back(std::move(argument));
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    defaultIndependentDisplays = true;
    StartupOptions options;
    const int argc = static_cast<int>(arguments.size());
    const int next = readCommandLine(argc, argv.data(), options);
    if (next < 1 || next > argc) fail("readCommandLine returned an index outside the arguments");
    if (!pointsIntoArguments(options.inputName, argv) || !pointsIntoArguments(options.backupName, argv)) {
        fail("a startup name points outside the arguments");
    }
    for (const CommandLinePlotOption& step : options.plotOptions) {
        if (!step.option && !pointsIntoArguments(step.configFile, argv))
            fail("a configuration name points outside the arguments");
    }
    if (options.exitNow && options.exitNow->text.rfind("kivrel", 0) != 0 &&
        options.exitNow->text.rfind("usage: kivrel", 0) != 0) {
        fail("-v or -h wrote no program name");
    }
    PlotModel model;
    applyCommandLinePlotOptions(options, model, nullptr);
    requireConsistent(model, "the command line");
    return 0;
}
