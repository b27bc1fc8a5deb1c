#pragma once
// A large text plot file read into the live plot in steps from the main loop, so that the window
// shows, redraws and answers while the file fills it. Every step hands whole lines to the code that
// reads a file in one go, and the last step ends the reading as that code does, so the finished
// plot is the same. At most one file is read this way at a time.

#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>

#include <glib.h>

struct GraphData;

// Text plot files larger than this many bytes are read in steps; smaller ones (about 20 ms of
// reading) and WXV and CSV files are read in one go.
extern std::uintmax_t stepwiseLoadBytes;

struct PlotLoad {
    std::ifstream file;
    // The file's name and what it was when the reading began, to notice a file that is cut short,
    // rewritten or replaced while it is read.
    std::string localName;
    struct stat opened {};
    // True from the start of a reading until its last line is in or it is stopped.
    bool reading = false;
    // While set, a reading that starts waits for releasePlotLoad before its first step: start-up
    // sets it until the window's first frame, which then shows at once instead of after a step
    // and with an empty plot that costs nothing to draw.
    bool held = false;
    // The main-loop source that reads the steps; 0 while none is due.
    guint source = 0;
    gint64 lastRedraw = 0;
    // Runs after the last line: the rest of the opening (title, recent files, the X-axis mode).
    // problem is empty, or says how the file changed while it was read.
    std::function<void(const std::string& problem)> done;
    // Work that waits for the whole file, such as the plot files that the command line merges
    // after it; runs after done.
    std::function<void()> then;

    PlotLoad() = default;
    PlotLoad(const PlotLoad&) = delete;
    PlotLoad& operator=(const PlotLoad&) = delete;
    ~PlotLoad();

    bool active() const { return reading; }
};

// Starts reading file (opened by openTextFile from localName) into the live model, which the caller
// has cleared and titled; done runs once the last line is in and the Y ranges are recomputed.
void startPlotLoad(GraphData& graph, std::ifstream&& file, const char* localName,
                   std::function<void(const std::string& problem)> done);

// Ends the hold (PlotLoad::held) and lets a held reading take its first step.
void releasePlotLoad(GraphData& graph);

// Reads the rest of the file now and finishes as the last step would. Commands that use the whole
// plot (merge, save, export, expressions, the configuration dialog) call it first.
void finishPlotLoad(GraphData& graph);

// Stops reading where it is: the lines read so far stay in the plot, which is left in Fixed X-Axis
// mode as after any opening; nothing that waited for the file runs. Opening another input, Clear,
// Close Device and quitting call it.
void stopPlotLoad(GraphData& graph);

// Runs work after the file being read, or at once when none is.
void afterPlotLoad(GraphData& graph, std::function<void()> work);
