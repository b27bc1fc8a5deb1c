// Plot files with arbitrary contents: the input is written to a file that is opened as a text
// (PLT) file the way Open File reads it, and again as a WXV file the way Merge File reads it;
// the second plot is then merged into the first. Every model must keep its invariants.
#include <cstddef>
#include <cstdint>

#include "files/PlotFile.h"
#include "fuzz/FuzzSupport.h"
#include "model/PlotModel.h"

namespace {

// Open File and Merge File read with the X axis extendable and high frequency off.
void prepareForReading(PlotModel& model) {
    model.fixedXAxis = false;
    model.highFrequency = false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const AllocationCeilingScope ceiling;
    static const InputFile file;
    if (!file.write(data, size)) return 0;

    PlotModel opened;
    prepareForReading(opened);
    readPlotFile(opened, file.path(), "input.plt");
    requireConsistent(opened, "reading as PLT");

    PlotModel merged;
    prepareForReading(merged);
    readPlotFile(merged, file.path(), "input.wxv");
    requireConsistent(merged, "reading as WXV");

    opened.merge(merged);
    requireConsistent(opened, "merging");
    return 0;
}
