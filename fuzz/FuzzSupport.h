#pragma once
// Helpers shared by the fuzz targets: cutting an input into lines or arguments, a file that holds
// the input, and the model check that turns a broken invariant into a finding. Every target runs
// its input under an AllocationCeilingScope.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/PlotModel.h"
#include "tests/AllocationCeiling.h"
#include "tests/model/ModelInvariants.h"

// No fuzz target reads or writes the settings of the person running it: set before any target runs.
inline const bool settingsOff = setenv("KIVREL_NO_SETTINGS", "1", 1) == 0;

// The parts of data between separator bytes; an empty part stays, a final separator ends the last.
inline std::vector<std::string> splitAt(const std::uint8_t* data, std::size_t size, char separator) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (static_cast<char>(data[i]) == separator) {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(data[i]);
        }
    }
    if (parts.back().empty()) parts.pop_back();
    return parts;
}

// Aborts with the broken invariant, so that libFuzzer keeps the input as a finding.
inline void requireConsistent(const PlotModel& model, const char* after) {
    const std::string broken = brokenInvariant(model);
    if (broken.empty()) return;
    std::fprintf(stderr, "inconsistent model after %s: %s\n", after, broken.c_str());
    std::abort();
}

// A file in memory that holds the current input, opened by name through /proc like any file.
// (A file on disk would be flushed at every rewrite and slow the fuzzer down a hundredfold.)
class InputFile {
  public:
    InputFile() : fd(memfd_create("kivrel-fuzz-input", MFD_CLOEXEC)) {
        if (fd >= 0) name = "/proc/self/fd/" + std::to_string(fd);
    }
    ~InputFile() {
        if (fd >= 0) close(fd);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False when the file could not be written; the input is then skipped.
    bool write(const std::uint8_t* data, std::size_t size) const {
        if (fd < 0 || ftruncate(fd, 0) != 0) return false;
        std::size_t done = 0;
        while (done < size) {
            const ssize_t written = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
            if (written <= 0) return false;
            done += static_cast<std::size_t>(written);
        }
        return true;
    }
    const char* path() const { return name.c_str(); }

  private:
    int fd;
    std::string name;
};
