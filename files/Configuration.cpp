#include "files/Configuration.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <istream>
#include <limits>
#include <locale>
#include <ostream>
#include <string>

#include "files/OutputFile.h"
#include "model/PlotModel.h"

namespace {

// Every value on a line of its own, flushed as it is written.
template <class T>
void writeLine(std::ostream& out, const T& value) {
    out << value << '\n';
    out.flush();
}

void writeFlag(std::ostream& out, bool flag) {
    writeLine(out, flag ? 1 : 0);
}

// The title is the rest of its line without leading blanks. Only the end of the previous line
// and blanks are skipped, never a whole line: a title of blanks must not swallow the next value.
bool readTitle(std::istream& in, std::string& title) {
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    while (in.peek() == ' ' || in.peek() == '\t') in.get();
    return static_cast<bool>(std::getline(in, title));
}

void readDisplays(PlotModel& model, std::istream& in, unsigned long count) {
    model.displays.clear();
    model.totalWeight = 0;
    model.addDisplay(1);
    for (unsigned g = 0; g < model.graphs.size(); ++g) model.moveGraphToDisplay(g, 0);
    for (unsigned long k = 0; k < count && in; ++k) {
        if (k >= model.displays.size()) model.addDisplay(1);
        const bool exists = k < model.displays.size();
        Display scratch;
        Display& d = exists ? model.displays[k] : scratch;
        double low = 0, high = 0;
        if (in >> low) {
            d.yMin = low;
            d.autoRange = false;
        }
        if (in >> high) {
            d.yMax = high;
            d.autoRange = false;
        }
        int automatic = 0;
        if (in >> automatic) {
            if (automatic == 1 && !d.autoRange && exists) {
                model.setDisplayAutoRange(static_cast<unsigned>(k), true);
            } else {
                d.autoRange = automatic != 0;
            }
        }
        long grid = 0;
        if (in >> grid && exists) model.setDisplayGridLevel(static_cast<unsigned>(k), grid);
        unsigned long weight = 0;
        if (in >> weight && exists) model.setDisplayWeight(static_cast<unsigned>(k), weight);
        unsigned long scaleSize = 0;
        double scaleMin = 0, scaleMax = 0;
        if (in >> scaleSize >> scaleMin >> scaleMax && scaleSize != 0 && scaleMax > scaleMin) {
            d.xScaleSize = static_cast<std::uint32_t>(scaleSize);
            d.xScaleMin = scaleMin;
            d.xScaleMax = scaleMax;
        }
        unsigned long lines = 0;
        if (in >> lines) {
            d.refLines.clear();
            for (unsigned long r = 0; r < lines; ++r) {
                double value = 0;
                if (!(in >> value)) break;
                if (exists) model.addReferenceLine(static_cast<unsigned>(k), value);
            }
        }
    }
}

void readGraphs(PlotModel& model, std::istream& in, unsigned long count) {
    for (unsigned long j = 0; j < count && in; ++j) {
        if (j >= model.graphs.size()) model.addGraph("");
        const bool exists = j < model.graphs.size();
        const auto index = static_cast<unsigned>(j);
        std::string title;
        if (readTitle(in, title) && exists) model.setGraphTitle(index, title);
        unsigned long display = 0;
        if (in >> display && exists && display < model.displays.size() &&
            display != model.graphs[j].display) {
            model.moveGraphToDisplay(index, static_cast<unsigned>(display));
        }
        double scale = 0;
        if (in >> scale && exists) model.setGraphScale(index, scale);
        int enabled = 0, beep = 0;
        if (in >> enabled && exists) model.graphs[j].enabled = enabled != 0;
        if (in >> beep && exists) model.graphs[j].beep = beep != 0;
        // A component that cannot be read stays NaN, which the model ignores like one out of range.
        double colour[3] = {NAN, NAN, NAN};
        for (double& component : colour) {
            if (!(in >> component)) component = NAN;
        }
        if (exists) model.setGraphColour(index, colour[0], colour[1], colour[2]);
    }
}

}  // namespace

bool writeConfiguration(const PlotModel& model, std::ostream& out) {
    out.imbue(std::locale::classic());
    writeFlag(out, model.fixedXAxis);
    writeFlag(out, model.highFrequency);
    writeFlag(out, model.independentDisplays);
    writeFlag(out, model.frames);
    writeLine(out, model.samplingRate);
    writeLine(out, model.xSize - 1);
    writeLine(out, model.displays.size());
    for (const Display& d : model.displays) {
        writeLine(out, d.yMin);
        writeLine(out, d.yMax);
        writeFlag(out, d.autoRange);
        writeLine(out, d.gridLevel);
        writeLine(out, d.weight);
        writeLine(out, d.xScaleSize);
        writeLine(out, d.xScaleMin);
        writeLine(out, d.xScaleMax);
        writeLine(out, d.refLines.size());
        for (double value : d.refLines) writeLine(out, value);
    }
    writeLine(out, model.graphs.size());
    for (unsigned g = 0; g < model.graphs.size(); ++g) {
        const Graph& graph = model.graphs[g];
        writeLine(out, graph.title);
        writeLine(out, model.effectiveDisplayOf(g));
        writeLine(out, graph.scale);
        writeFlag(out, graph.enabled);
        writeFlag(out, graph.beep);
        writeLine(out, graph.colour.red);
        writeLine(out, graph.colour.green);
        writeLine(out, graph.colour.blue);
    }
    return static_cast<bool>(out);
}

bool readConfiguration(PlotModel& model, std::istream& in) {
    in.imbue(std::locale::classic());
    int flag = 0;
    if (in >> flag) model.fixedXAxis = flag != 0;
    if (in >> flag) model.highFrequency = flag != 0;
    if (in >> flag) model.setIndependentDisplays(flag != 0);
    if (in >> flag) model.frames = flag != 0;
    unsigned long value = 0;
    if (in >> value) model.applySamplingRate(value);
    if (in >> value) model.applyXSize(value);
    unsigned long displays = 0;
    if (in >> displays && displays > 0) readDisplays(model, in, displays);
    unsigned long graphs = 0;
    if (in >> graphs) readGraphs(model, in, graphs);
    return static_cast<bool>(in);
}

bool saveConfiguration(const PlotModel& model, const char* localName) {
    if (!localName) return false;
    // Written beside the old file and renamed over it, so that a full disk keeps the old one.
    OutputFile file(localName);
    if (!file.isOpen()) return false;
    const bool written = writeConfiguration(model, file.stream());
    return written && file.commit();  // a failed write is discarded with the file object
}

bool loadConfiguration(PlotModel& model, const char* localName) {
    if (!localName) return false;
    std::ifstream in(localName);
    if (!in) return false;
    return readConfiguration(model, in);
}
