#pragma once
// What a shell command writes to standard output, for tests that read files back with a tool.

#include <cstdio>
#include <string>

inline std::string commandOutput(const std::string& command) {
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}
