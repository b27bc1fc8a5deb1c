#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "model/CommandLineOptions.h"
#include "model/PlotModel.h"
#include "model/PlotOptions.h"
#include "model/StartupOptions.h"

namespace {

// Arguments of each kind, each one word that both readers take whole: in range, at and beyond the
// bounds, overflowing, and for ranges reversed.
std::vector<std::string> argumentsOf(OptionArgument kind) {
    switch (kind) {
        case OptionArgument::none: return {""};
        case OptionArgument::unsignedNumber: return {"0", "5", "9", "99", "0x20", "1000", "100000"};
        case OptionArgument::optionalUnsigned: return {"", "0", "9", "200", "100000"};
        case OptionArgument::signedNumber: return {"-2", "-1", "0", "99", "100"};
        case OptionArgument::real: return {"0", "0.5", "1", "2.5", "-3", "9", "12", "20", "21", "1e999"};
        case OptionArgument::range: return {"-5:5", "5:1", "-1.5:2", "0:1e999"};
        case OptionArgument::title: return {"temp"};
    }
    return {};
}

// Everything the plot options can set, as text, so that a difference shows as a readable diff.
std::string settings(const PlotModel& m) {
    std::ostringstream out;
    out << "indep " << m.independentDisplays << " frames " << m.frames << " fixed " << m.fixedXAxis
        << " hfreq " << m.highFrequency << " shared " << m.sharedYMinMax << " envelope " << m.envelope
        << " yfit " << m.yFit << " xSize " << m.xSize << " limit " << m.maxXSize << " rate " << m.samplingRate
        << " lw " << m.lineWidth << " rlw " << m.refLineWidth << " fsz " << m.fontSize << '\n';
    out << "csv " << m.commaSeparated << " labels " << m.namedValues << '\n';
    for (const Display& d : m.displays) {
        out << "display y " << d.yMin << ":" << d.yMax << " auto " << d.autoRange << " grid " << d.gridLevel
            << " weight " << d.weight << " scale " << d.xScaleSize << " " << d.xScaleMin << ":" << d.xScaleMax
            << " lines";
        for (double line : d.refLines) out << ' ' << line;
        out << '\n';
    }
    for (const Graph& g : m.graphs) {
        out << "graph " << g.title << " display " << g.display << " scale " << g.scale << " enabled "
            << g.enabled << " beep " << g.beep << '\n';
    }
    return out.str();
}

// Two models to start from: a fresh one, and one with every mode the other way, a sampling rate
// and samples, so that switching a mode off and recomputing a range show.
void prepare(PlotModel& model, bool changed) {
    if (!changed) return;
    model.setIndependentDisplays(false);
    model.frames = model.highFrequency = model.sharedYMinMax = true;
    model.fixedXAxis = false;
    model.samplingRate = 100;
    model.setLineWidth(3);
    for (const char* line : {"1 2", "3 -4"}) model.processLine(line);
}

// Titles two graphs and makes display 1 manual, so that graph and display options have targets.
const std::vector<std::string> preamble = {"-t", "a", "-t", "b", "-dpy", "1", "-y", "0:1"};

std::string throughOptionLine(bool changed, const std::vector<std::string>& words) {
    defaultIndependentDisplays = true;  // the command line's -no-indep changes it for later models
    PlotModel model;
    prepare(model, changed);
    std::string line = "#$";
    for (const std::string& word : words) line += " " + word;
    model.processLine(line.c_str());
    return settings(model);
}

std::string throughCommandLine(bool changed, const std::vector<std::string>& words) {
    defaultIndependentDisplays = true;
    PlotModel model;
    prepare(model, changed);
    std::vector<std::string> storage{"kivrel"};
    storage.insert(storage.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& word : storage) argv.push_back(word.data());
    argv.push_back(nullptr);
    StartupOptions options;
    readCommandLine(static_cast<int>(storage.size()), argv.data(), options);
    applyCommandLinePlotOptions(options, model, nullptr);
    return settings(model);
}

class PlotOptionsTest : public ::testing::Test {
  protected:
    void TearDown() override { defaultIndependentDisplays = savedIndependent; }
    bool savedIndependent = defaultIndependentDisplays;
};

// Every option both readers understand does the same through an option line and through the
// command line, from either start, for every kind of argument its row takes; and each of them
// changes something in at least one of those cases.
TEST_F(PlotOptionsTest, EveryOptionMeansTheSameOnBothReaders) {
    for (std::size_t k = 0; k < plotOptionCount; ++k) {
        const PlotOption& option = plotOptions[k];
        if (option.scope != OptionScope::everywhere) continue;
        SCOPED_TRACE(option.name);
        bool changesSomething = false;
        for (bool changed : {false, true}) {
            const std::string before = throughOptionLine(changed, preamble);
            for (const std::string& argument : argumentsOf(option.argument)) {
                SCOPED_TRACE(testing::Message() << "argument '" << argument << "', "
                                                << (changed ? "changed" : "fresh") << " model");
                std::vector<std::string> words = preamble;
                words.push_back(option.name);
                if (!argument.empty()) words.push_back(argument);
                const std::string optionLine = throughOptionLine(changed, words);
                EXPECT_EQ(optionLine, throughCommandLine(changed, words));
                changesSomething = changesSomething || optionLine != before;
            }
        }
        EXPECT_TRUE(changesSomething);
    }
}

// Option lines and the command line read the same names as far as both understand them; only
// option lines have the X-scale settings of plot files and "-c" for clearing reference lines, and
// only the command line turns the envelope on.
TEST_F(PlotOptionsTest, OptionsOfOneReaderAreIgnoredByTheOther) {
    // Attached values, since the command line reads a lone number as the input name and stops.
    const std::vector<std::string> lineOnly = {"-grid5", "-xsz100", "-xmin1", "-xmax2", "-frame"};
    const std::string framed = throughOptionLine(false, {"-frame"});
    EXPECT_EQ(throughCommandLine(false, lineOnly), framed);
    EXPECT_NE(throughOptionLine(false, lineOnly), framed);
    EXPECT_EQ(throughOptionLine(false, {"-envelope", "-frame"}), framed);
    EXPECT_NE(throughCommandLine(false, {"-envelope", "-frame"}), framed);
}

}  // namespace
