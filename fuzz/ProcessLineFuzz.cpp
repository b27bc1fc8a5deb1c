// PlotModel::processLine on arbitrary text: the input is cut at line feeds and every line goes to
// one model, as a stream of data and option lines would. After each line the model must still
// keep its invariants.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "model/PlotModel.h"

namespace {

unsigned bells = 0;
void countBell() {
    ++bells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const AllocationCeilingScope ceiling;
    beepFunction = countBell;
    PlotModel model;
    for (const std::string& line : splitAt(data, size, '\n')) {
        model.processLine(line.c_str());
        requireConsistent(model, "a line");
    }
    return 0;
}
