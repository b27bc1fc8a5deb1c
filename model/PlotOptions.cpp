#include "model/PlotOptions.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "model/PlotModel.h"

namespace {

Display* baseDisplay(OptionTarget& target) {
    PlotModel& model = target.model;
    return target.baseDisplay < model.displays.size() ? &model.displays[target.baseDisplay] : nullptr;
}

// The graph graph options act on, or -1 for none.
std::int32_t baseGraph(OptionTarget& target) {
    if (target.baseGraph < 0 && target.firstGraphByDefault) target.baseGraph = 0;
    return target.baseGraph;
}

Graph* baseGraphRecord(OptionTarget& target) {
    const std::int32_t index = baseGraph(target);
    PlotModel& model = target.model;
    return index >= 0 && static_cast<std::size_t>(index) < model.graphs.size()
               ? &model.graphs[static_cast<std::size_t>(index)]
               : nullptr;
}

// "-dpy" and "-d" create the displays up to the one they name (display numbers run to 63).
bool addDisplaysUpTo(PlotModel& model, unsigned long index) {
    if (index >= maxDisplays) return false;
    while (model.displays.size() <= index) model.addDisplay(1);
    return true;
}

// False when a graph could not be added (out of memory).
bool addGraphsUpTo(PlotModel& model, unsigned index) {
    while (model.graphs.size() <= index) {
        const std::size_t before = model.graphs.size();
        model.addGraph(std::string());
        if (model.graphs.size() == before) return false;
    }
    return true;
}

void setIndependent(OptionTarget& target, bool on) {
    target.model.setIndependentDisplays(on);
    if (target.setsDefaults) defaultIndependentDisplays = on;
}

void setTitle(OptionTarget& target, const OptionValue& value) {
    if (value.text.empty()) return;  // "" or a bare "-t": the base graph stays
    if (target.baseGraph < static_cast<std::int32_t>(maxGraphs) - 1) ++target.baseGraph;
    const auto graph = static_cast<unsigned>(target.baseGraph);
    if (addGraphsUpTo(target.model, graph)) target.model.setGraphTitle(graph, value.text);
}

// A manual range only when the maximum lies above the minimum.
void setYRange(OptionTarget& target, const OptionValue& value) {
    Display* display = baseDisplay(target);
    if (display == nullptr || !(value.upper > value.real)) return;
    display->yMin = value.real;
    display->yMax = value.upper;
    display->autoRange = false;
}

using A = OptionArgument;
using S = OptionScope;

}  // namespace

const PlotOption plotOptions[] = {
    {"-indep", A::none, S::everywhere, [](OptionTarget& t, const OptionValue&) { setIndependent(t, true); }},
    {"-no-indep", A::none, S::everywhere,
     [](OptionTarget& t, const OptionValue&) { setIndependent(t, false); }},
    {"-hfreq", A::none, S::everywhere,
     [](OptionTarget& t, const OptionValue&) { t.model.highFrequency = true; }},
    {"-no-hfreq", A::none, S::everywhere,
     [](OptionTarget& t, const OptionValue&) { t.model.highFrequency = false; }},
    // The ranges follow at their next recomputation.
    {"-ysharedmax", A::none, S::everywhere,
     [](OptionTarget& t, const OptionValue&) { t.model.sharedYMinMax = true; }},
    {"-no-ysharedmax", A::none, S::everywhere,
     [](OptionTarget& t, const OptionValue&) { t.model.sharedYMinMax = false; }},
    {"-frame", A::none, S::everywhere, [](OptionTarget& t, const OptionValue&) { t.model.frames = true; }},
    {"-no-frame", A::none, S::everywhere,
     [](OptionTarget& t, const OptionValue&) { t.model.frames = false; }},
    // A display setting that no file holds, so only the command line gives it.
    {"-envelope", A::none, S::commandLine,
     [](OptionTarget& t, const OptionValue&) { t.model.envelope = true; }},
    {"-no-limits", A::none, S::everywhere,
     [](OptionTarget& t, const OptionValue&) { t.model.maxXSize = noXLimit; }},
    {"-max-limit", A::unsignedNumber, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) { t.model.applyXLimit(v.count); }},
    {"-max-xsize", A::unsignedNumber, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) { t.model.applyXLimit(v.count); }},
    {"-limit", A::unsignedNumber, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) { t.model.applyXSize(v.count); }},
    {"-xsize", A::unsignedNumber, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) { t.model.applyXSize(v.count); }},
    {"-fixed", A::optionalUnsigned, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) {
         t.model.fixedXAxis = true;
         if (v.given) t.model.applyXSize(v.count);
     }},
    {"-no-fixed", A::optionalUnsigned, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) {
         t.model.fixedXAxis = false;
         if (v.given) t.model.applyXLimit(v.count);
     }},
    {"-srate", A::unsignedNumber, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) { t.model.applySamplingRate(v.count); }},
    {"-lw", A::real, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) { t.model.setLineWidth(v.real); }},
    {"-rlw", A::real, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) { t.model.setRefLineWidth(v.real); }},
    {"-fsz", A::real, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) { t.model.setFontSize(v.real); }},
    {"-dpy", A::unsignedNumber, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) {
         if (addDisplaysUpTo(t.model, v.count)) t.baseDisplay = static_cast<unsigned>(v.count);
     }},
    {"-yfit", A::none, S::everywhere, [](OptionTarget& t, const OptionValue&) { t.model.yFit = true; }},
    {"-yauto", A::none, S::everywhere,
     [](OptionTarget& t, const OptionValue&) { t.model.setDisplayAutoRange(t.baseDisplay, true); }},
    {"-y", A::range, S::everywhere, setYRange},
    {"-w", A::unsignedNumber, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) { t.model.setDisplayWeight(t.baseDisplay, v.count); }},
    {"-grid", A::signedNumber, S::optionLines,
     [](OptionTarget& t, const OptionValue& v) { t.model.setDisplayGridLevel(t.baseDisplay, v.level); }},
    {"-xsz", A::unsignedNumber, S::optionLines,
     [](OptionTarget& t, const OptionValue& v) {
         Display* display = baseDisplay(t);
         if (display != nullptr && v.count <= UINT32_MAX)
             display->xScaleSize = static_cast<std::uint32_t>(v.count);
     }},
    {"-xmin", A::real, S::optionLines,
     [](OptionTarget& t, const OptionValue& v) {
         if (Display* display = baseDisplay(t)) display->xScaleMin = v.real;
     }},
    {"-xmax", A::real, S::optionLines,
     [](OptionTarget& t, const OptionValue& v) {
         if (Display* display = baseDisplay(t)) display->xScaleMax = v.real;
     }},
    // How data lines are read. Before "-c" and "-l", which begin their names.
    {"-csv", A::none, S::everywhere,
     [](OptionTarget& t, const OptionValue&) { t.model.commaSeparated = true; }},
    {"-labels", A::none, S::everywhere,
     [](OptionTarget& t, const OptionValue&) { t.model.namedValues = true; }},
    {"-c", A::none, S::optionLines,
     [](OptionTarget& t, const OptionValue&) {
         if (Display* display = baseDisplay(t)) display->refLines.clear();
     }},
    {"-l", A::real, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) { t.model.addReferenceLine(t.baseDisplay, v.real); }},
    {"-t", A::title, S::everywhere, setTitle},
    {"-s", A::real, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) {
         if (v.real == 0.0) return;  // a graph's scale is never 0, and a 0 chooses no base graph
         const std::int32_t graph = baseGraph(t);
         if (graph >= 0) t.model.setGraphScale(static_cast<unsigned>(graph), v.real);
     }},
    {"-beep", A::none, S::everywhere,
     [](OptionTarget& t, const OptionValue&) {
         if (Graph* graph = baseGraphRecord(t)) graph->beep = true;
     }},
    // A disabled graph keeps its place in the ranges until they are recomputed.
    {"-disabled", A::none, S::everywhere,
     [](OptionTarget& t, const OptionValue&) {
         if (Graph* graph = baseGraphRecord(t)) graph->enabled = false;
     }},
    {"-d", A::unsignedNumber, S::everywhere,
     [](OptionTarget& t, const OptionValue& v) {
         if (!addDisplaysUpTo(t.model, v.count)) return;
         const std::int32_t graph = baseGraph(t);
         if (graph >= 0)
             t.model.moveGraphToDisplay(static_cast<unsigned>(graph), static_cast<unsigned>(v.count));
     }},
};

const std::size_t plotOptionCount = sizeof plotOptions / sizeof plotOptions[0];

bool understoodIn(const PlotOption& option, OptionScope reader) {
    return option.scope == OptionScope::everywhere || option.scope == reader;
}

void applyPlotOption(const PlotOption& option, OptionTarget& target, const OptionValue& value) {
    if (option.argument == OptionArgument::real && !std::isfinite(value.real)) return;
    if (option.argument == OptionArgument::range &&
        !(std::isfinite(value.real) && std::isfinite(value.upper)))
        return;
    option.apply(target, value);
}
