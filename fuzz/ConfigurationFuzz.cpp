// Configuration files with arbitrary contents, applied to a model that already holds a plot. The
// first byte chooses that plot: 0 to 3 graphs, with independent displays or not, and 1 or 3
// displays. The model must keep its invariants, and a configuration it writes must read back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "files/Configuration.h"
#include "fuzz/FuzzSupport.h"
#include "model/PlotModel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const AllocationCeilingScope ceiling;
    if (size == 0) return 0;
    const std::uint8_t shape = data[0];
    PlotModel model;
    model.setIndependentDisplays((shape & 4u) != 0);
    if ((shape & 8u) != 0) {
        model.addDisplay(1);
        model.addDisplay(2);
    }
    for (unsigned g = 0; g < (shape & 3u); ++g) model.addGraph("");

    std::istringstream in(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    readConfiguration(model, in);
    requireConsistent(model, "reading a configuration");

    std::ostringstream out;
    if (!writeConfiguration(model, out)) std::abort();
    PlotModel copy;
    std::istringstream back(out.str());
    if (!readConfiguration(copy, back)) {
        std::fprintf(stderr, "a written configuration does not read back:\n%s", out.str().c_str());
        std::abort();
    }
    requireConsistent(copy, "reading a written configuration");
    return 0;
}
