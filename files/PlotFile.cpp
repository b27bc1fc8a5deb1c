#include "files/PlotFile.h"

#include <cmath>

#include "files/Csv.h"
#include "files/NumberText.h"
#include "files/OutputFile.h"
#include "files/Wxv.h"
#include "model/PlotModel.h"

namespace {

// Tolerance under which a width or size counts as its default and is not written.
constexpr double defaultTolerance = 1e-9;

bool departsFrom(double value, double start) {
    return std::fabs(value - start) >= defaultTolerance;
}

bool isDefaultDisplay(const Display& d) {
    return d.autoRange && d.weight <= 1 && d.gridLevel < 0 && d.xScaleSize == 0 && d.refLines.empty();
}

void putLine(std::ostream& out, std::string& line) {
    line += '\n';
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    out.flush();
    line.clear();
}

void appendGeneralOptions(std::string& line, const PlotModel& model) {
    line += "#$";
    line += model.independentDisplays ? " -indep" : " -no-indep";
    if (departsFrom(model.lineWidth, 1.0)) {
        line += " -lw ";
        appendReal(line, model.lineWidth);
    }
    if (departsFrom(model.refLineWidth, 0.0)) {
        line += " -rlw ";
        appendReal(line, model.refLineWidth);
    }
    if (departsFrom(model.fontSize, 10.0)) {
        line += " -fsz ";
        appendReal(line, model.fontSize);
    }
    if (model.frames) line += " -frame";
    if (model.samplingRate != 0) {
        line += " -srate ";
        appendUnsigned(line, model.samplingRate);
    }
    if (model.highFrequency) line += " -hfreq";
    if (model.sharedYMinMax) line += " -ysharedmax";
    line += " -xsize ";
    appendUnsigned(line, model.xSize - 1);
}

void appendDisplayOptions(std::string& line, const Display& d, std::size_t index) {
    // A skipped default display leaves a gap, so the line names its display's real index.
    line += "#~ -dpy ";
    appendUnsigned(line, index);
    if (!d.autoRange) {
        line += " -y ";
        appendReal(line, d.yMin);
        line += ':';
        appendReal(line, d.yMax);
    }
    if (d.weight >= 2) {
        line += " -w ";
        appendUnsigned(line, d.weight);
    }
    if (d.gridLevel >= 0) {
        line += " -grid ";
        appendSigned(line, d.gridLevel);
    }
    if (d.xScaleSize != 0 && d.xScaleMax > d.xScaleMin) {
        line += " -xsz ";
        appendUnsigned(line, d.xScaleSize);
        line += " -xmin ";
        appendReal(line, d.xScaleMin);
        line += " -xmax ";
        appendReal(line, d.xScaleMax);
    }
    for (double value : d.refLines) {
        line += " -l ";
        appendReal(line, value);
    }
}

void appendGraphOptions(std::string& line, const PlotModel& model, unsigned index) {
    const Graph& g = model.graphs[index];
    // The title is written as stored: quotes end it early when read back.
    line += "#~ -t \"";
    line += g.title;
    line += '"';
    if (!model.independentDisplays) {
        line += " -d ";
        appendUnsigned(line, model.effectiveDisplayOf(index));
    }
    if (g.scale != 1.0) {
        line += " -s ";
        appendReal(line, g.scale);
    }
    if (g.beep) line += " -beep";
    if (!g.enabled) line += " -disabled";
}

}  // namespace

void writePltOptions(const PlotModel& model, std::ostream& out) {
    std::string line;
    if (!model.generalTitle.empty()) {
        line = "#> " + model.generalTitle;
        putLine(out, line);
    }
    appendGeneralOptions(line, model);
    putLine(out, line);
    for (std::size_t d = 0; d < model.displays.size(); ++d) {
        if (isDefaultDisplay(model.displays[d])) continue;
        appendDisplayOptions(line, model.displays[d], d);
        putLine(out, line);
    }
    for (unsigned g = 0; g < model.graphs.size(); ++g) {
        appendGraphOptions(line, model, g);
        putLine(out, line);
    }
}

void writePltSamples(const PlotModel& model, std::ostream& out) {
    std::string line;
    const std::uint32_t size = model.xSize;
    for (std::uint32_t f = 0; f + 1 < size && out; ++f) {
        const std::size_t slot = (std::size_t{f} + model.writeIndex + 1) % size;
        line.clear();
        for (const Graph& g : model.graphs) {
            appendReal(line, g.samples[slot]);
            line += ' ';
        }
        line += '\n';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
}

bool writePlt(const PlotModel& model, const char* localName) {
    if (model.graphs.empty()) return false;
    OutputFile file(localName);
    if (!file.isOpen()) return false;
    writePltOptions(model, file.stream());
    writePltSamples(model, file.stream());
    return file.commit();
}

std::int32_t saveFile(const PlotModel& model, const char* localName, const std::string& utf8Name) {
    if (hasWxvEnding(utf8Name)) return writeWxv(model, localName);
    if (hasCsvEnding(utf8Name)) return writeCsv(model, localName) ? 0 : -1;
    return writePlt(model, localName) ? 0 : -1;
}

bool readPlotFile(PlotModel& model, const char* localName, const std::string& utf8Name,
                  std::string* problem) {
    bool read = false;
    if (hasWxvEnding(utf8Name)) {
        read = readWxv(model, localName, problem);
    } else if (hasCsvEnding(utf8Name)) {
        read = readCsv(model, localName, problem);
    } else {
        read = model.loadTextFile(localName);
    }
    if (read) recomputeDisplayRanges(model);
    return read;
}

void recomputeDisplayRanges(PlotModel& model) {
    model.markAllReceived();
    for (unsigned d = 0; d < model.displays.size(); ++d) model.recomputeYRange(d);
}
