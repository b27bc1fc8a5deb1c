// The command-line parser on arbitrary argument vectors: the input's NUL bytes separate the
// arguments after the program name. "-v" and "-h" end the process by design and "-c" would read
// whatever file an argument names, so those three arguments are left out.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/GraphData.h"
#include "app/StartupOptions.h"
#include "fuzz/FuzzSupport.h"

namespace {

bool leftOut(const std::string& argument) {
    return argument == "-v" || argument == "-h" || argument == "-c";
}

// A name the parser returns must be one of the arguments or the constant "-".
bool pointsIntoArguments(const char* name, const std::vector<char*>& argv) {
    if (name == nullptr || std::strcmp(name, "-") == 0) return true;
    for (char* argument : argv) {
        if (argument != nullptr && name >= argument && name <= argument + std::strlen(argument)) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const AllocationCeilingScope ceiling;
    std::vector<std::string> arguments{"kivrel"};
    for (std::string& argument : splitAt(data, size, '\0')) {
        if (!leftOut(argument)) arguments.push_back(std::move(argument));
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    defaultIndependentDisplays = true;
    directoryPruning = true;
    GraphData graph;
    StartupOptions options;
    const int argc = static_cast<int>(arguments.size());
    const int next = parseCommandLine(argc, argv.data(), graph, options);
    if (next < 1 || next > argc) {
        std::fprintf(stderr, "parseCommandLine returned %d for %d arguments\n", next, argc);
        std::abort();
    }
    if (!pointsIntoArguments(options.inputName, argv) || !pointsIntoArguments(options.backupName, argv)) {
        std::fprintf(stderr, "a startup name points outside the arguments\n");
        std::abort();
    }
    requireConsistent(graph.model, "the command line");
    return 0;
}
