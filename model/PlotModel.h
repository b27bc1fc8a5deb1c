#pragma once
// The plot model: graphs (one per value column), displays (horizontal panes the graphs are drawn in)
// and the sample slots all graphs share. Invariants: totalWeight is the sum of the display weights,
// each weightOffset the sum of the weights above it, every graph's display index is valid and its
// slot agrees with the assignment, every graph holds xSize samples, writeIndex < xSize.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

constexpr unsigned maxGraphs = 64;
constexpr unsigned maxDisplays = 64;
constexpr std::uint32_t minXSize = 10;
constexpr std::uint32_t startXSize = 610;
constexpr std::uint32_t startMaxXSize = 50000;
constexpr std::uint32_t noXLimit = 4294967295u;
// Reference lines one display holds at most; further ones are ignored. More could not be told
// apart in a band of a few hundred rows, and each costs its line and label on every redraw.
constexpr std::size_t maxReferenceLines = 256;
// Spare slots reserved in every sample array whenever the arrays grow.
constexpr std::uint32_t sampleReserve = 256;

// Bounds of the settings users give. The command line, option lines, the menus, the configuration
// dialog and configuration files all set them through the PlotModel setters, which ignore values
// outside them (and NaN).
constexpr double minFontSize = 5.0;
constexpr double maxFontSize = 20.0;
constexpr double minLineWidth = 1.0;
constexpr double maxLineWidth = 9.0;
constexpr double maxRefLineWidth = 9.0;    // from 0, which means half the line width
constexpr unsigned maxDisplayWeight = 99;  // from 1
constexpr int maxGridLevel = 99;           // from 0; a display's level may also be -1, the general level

// Start value of independentDisplays in every new model and the value clear() restores.
extern bool defaultIndependentDisplays;
// When on, sourceBaseName keeps no directory; when off it keeps the last one.
extern bool directoryPruning;

// Rings the desktop bell for beep mode; main points it at gdk_beep, tests at a counter.
using BeepFunction = void (*)();
extern BeepFunction beepFunction;

// Bytes of memory the system can still give, for sampleGrowthFits. Points at systemAvailableMemory
// unless main or a test sets another; null means no check.
using AvailableMemoryFunction = std::uint64_t (*)();
extern AvailableMemoryFunction availableMemoryFunction;
// MemAvailable of /proc/meminfo in bytes; the largest value when it cannot be read.
std::uint64_t systemAvailableMemory();

// Told of each growth of sample memory refused for want of memory, as a fixed text and a detail
// (the size asked for, or the size kept); the application shows them. Null: nobody is told.
using MemoryRefusalFunction = void (*)(const char* text, const std::string& detail);
extern MemoryRefusalFunction memoryRefusalFunction;
extern const char* const noMemoryForXSize;
extern const char* const noMemoryForGraph;
extern const char* const noMemoryToExtend;
// Whether sample arrays that hold heldBytes may come to hold neededBytes: all of them together may
// take three quarters of what they hold and what the system can still give; the last quarter is
// left for everything else.
bool sampleMemoryFits(double heldBytes, double neededBytes);
// Tells memoryRefusalFunction of a refusal; size is the detail.
void reportMemoryRefusal(const char* text, std::uint64_t size);

struct Colour {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;
};

inline bool operator==(const Colour& a, const Colour& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha;
}

// value times scale; a product that overflows from a finite value is the largest double of its sign.
double scaledExtreme(double value, double scale);

// Colour of the graph with the given index (0..63), alpha 1.
Colour graphColour(unsigned index);

struct Display {
    double yMin = 0.0;
    double yMax = 0.0;
    bool autoRange = true;
    std::int32_t gridLevel = -1;
    std::uint32_t weight = 1;
    std::uint32_t weightOffset = 0;
    std::uint32_t graphCount = 0;
    std::vector<double> refLines;
    std::uint32_t xScaleSize = 0;
    double xScaleMin = 0.0;
    double xScaleMax = 0.0;
};

struct Graph {
    std::string title;
    std::uint32_t display = 0;
    double scale = 1.0;
    bool enabled = true;
    std::vector<double> samples;
    // Smallest and largest finite value received (unscaled); both 0 until extremesKnown.
    double minValue = 0.0;
    double maxValue = 0.0;
    bool extremesKnown = false;
    // The slots holding samples received since the graph was made: receivedCount slots from
    // receivedStart on, round the ring (all of them when receivedCount is the slot count). The
    // others hold the zeros a new graph starts with or copies made when the axis grew: they are
    // saved like every slot but neither drawn nor counted in automatic ranges. A slot the graph
    // missed between two received ones (a merged plot's column left out of a line) counts as
    // received, as one run is all this keeps.
    std::uint32_t receivedStart = 0;
    std::uint32_t receivedCount = 0;
    std::uint32_t slot = 0;
    bool beep = false;
    Colour colour;

    bool received(std::size_t sampleSlot) const {
        const std::size_t n = samples.size();
        if (sampleSlot >= n) return false;
        return receivedCount >= n || (sampleSlot + n - receivedStart) % n < receivedCount;
    }

    Graph() = default;
    Graph(Graph&&) noexcept = default;
    Graph& operator=(Graph&&) noexcept = default;
    Graph(const Graph&) = delete;  // sample arrays are moved or exchanged, never copied
    Graph& operator=(const Graph&) = delete;
};

class PlotModel {
  public:
    PlotModel();

    std::string sourceName;
    std::string generalTitle;
    std::uint32_t totalWeight = 0;
    bool optionLinesLocked = false;
    bool independentDisplays = defaultIndependentDisplays;
    bool frames = false;
    bool fixedXAxis = true;
    bool highFrequency = false;
    bool sharedYMinMax = false;
    // Min/Max Envelope mode: zoomed out, each pixel column of a graph spans the extremes of its samples.
    // A display setting only; no plot or configuration file holds it.
    bool envelope = false;
    // Fit Y to Visible Data mode: automatic ranges follow the received samples in view, widening at
    // once and narrowing after the wider ones have been out of view a while. A display setting only.
    bool yFit = false;
    std::uint32_t xSize = startXSize;
    std::uint32_t maxXSize = startMaxXSize;
    std::int32_t xZoom = 0;
    std::int32_t yZoom = 0;
    std::int32_t gridLevel = 0;
    double lineWidth = 1.0;
    double refLineWidth = 0.0;
    double fontSize = 10.0;
    std::vector<Display> displays;
    std::vector<Graph> graphs;
    std::uint32_t writeIndex = 0;
    // Set once the write position has come round to slot 0 (or was folded into a smaller axis):
    // the oldest line is then no longer in slot 0 but just after writeIndex.
    bool wrapped = false;
    // Set when memory ran short for an extendable axis (which then goes on as a ring of what it
    // holds) or for a new graph, so that each is told once; cleared by clear().
    bool axisGrowthRefused = false;
    bool graphRefused = false;
    double crosshairX = -1.0;
    double crosshairY = -1.0;
    // The first point of a readout of differences, kept by a release with Shift; -1 when none.
    double anchorX = -1.0;
    double anchorY = -1.0;
    std::int32_t dragSourceDisplay = -1;
    std::int32_t dragTargetDisplay = -1;
    std::int32_t dragGraph = -1;
    bool keepMissingColumns = false;
    // How data lines are read besides numbers between white space: -csv lets ',' and ';' separate
    // fields too, -labels stores "name:value" in the graph of that name. Input settings, so clear()
    // keeps them and plot files do not hold them.
    bool commaSeparated = false;
    bool namedValues = false;
    // Graphs that a "name:value" chose (bit g for graph g); unnamed columns skip them. clear() empties it.
    std::uint64_t namedGraphs = 0;
    std::uint32_t samplingRate = 0;
    std::int32_t baseGraph = -1;
    // How the samples changed, for what others keep derived from them (the renderer's min/max
    // summaries): advance() counts the lines, so the slots stored since lie from the write position
    // then to the one now; any other change of samples (a resize, a merge, new or removed graphs, a
    // direct write its writer notes with noteSamplesRewritten) counts as a rewrite of them all.
    std::uint64_t linesAdvanced = 0;
    std::uint64_t sampleRewrites = 0;

    // Structure: graphs, displays and their assignment.
    void clear();
    unsigned addDisplay(unsigned weight);
    void removeLastDisplay();
    unsigned addGraph(const std::string& title);
    void setGraphTitle(unsigned graph, const std::string& title);
    void moveGraphToDisplay(unsigned graph, unsigned display);
    void moveDisplay(unsigned from, unsigned to);
    void setIndependentDisplays(bool on);
    void setDisplayAutoRange(unsigned display, bool on);
    void setDisplayWeight(unsigned display, unsigned long weight);
    void setDisplayGridLevel(unsigned display, long level);
    void addReferenceLine(unsigned display, double value);
    void recomputeYRange(unsigned display);
    // Sets an automatic range that holds low..high, rounded outward as recomputeYRange rounds it;
    // one value gets half a unit either side, and none (low > high or NaN) -0.5 to 0.5.
    void setFittedRange(unsigned display, double low, double high);
    void recomputeAllYRanges();
    void recountDisplaySlots();
    unsigned effectiveDisplayOf(unsigned graph) const;
    // A graph's scale: never 0 nor infinite; an automatic range follows a changed scale at once.
    void setGraphScale(unsigned graph, double scale);
    // Each component is taken when it lies in 0..1 (NaN for one not given); alpha stays.
    void setGraphColour(unsigned graph, double red, double green, double blue);
    void merge(PlotModel& other);

    // Sample slots and the X axis.
    void storeSample(unsigned graph, double value);
    // Repeats the graph's previous sample in the slot being written.
    void holdSample(unsigned graph);
    void advance();
    void setXSize(std::uint32_t slots);
    // Lines the slots hold in arrival order, the newest in the slot before writeIndex.
    std::uint32_t heldLines() const { return wrapped ? xSize - 1 : writeIndex; }
    void noteSamplesRewritten() { ++sampleRewrites; }
    // Every slot of every graph counts as received, and the extremes take in all of them: a plot
    // read from a file shows every slot the file gave.
    void markAllReceived();
    // The X-axis size as users give it (slots minus 1): setXSize with value + 1.
    void applyXSize(unsigned long value);
    // The X-axis limit as users give it: 0 = no limit, 1..9 ignored, otherwise taken when >= xSize.
    void applyXLimit(unsigned long value);
    // A sampling rate as users give it: taken when none is set, conflicting rates give 0 (unknown).
    void applySamplingRate(unsigned long value);

    // Sizes of text and lines, each taken within its bounds; false when the value was ignored.
    bool setFontSize(double size);
    bool setLineWidth(double width);
    bool setRefLineWidth(double width);
    // Font size and line width one step up (or down) together, only while neither is at its bound;
    // the reference lines then take half the line width. False when nothing changed.
    bool enlargeSizes();
    bool shrinkSizes();

    // Text lines: data lines, option lines ("#>", "#$", "#~", "#&") and text plot files. Returns
    // the numbers a data line held (those beyond the graph limit too); 0 for any other line.
    unsigned processLine(const char* line);
    void processOptionLine(const char* line);
    bool loadTextFile(const char* localName);
    // The lines of loadTextFile, at most maxLines of them from in; true while more may follow.
    // A file read in steps this way ends as loadTextFile leaves it.
    bool processTextLines(std::istream& in, std::size_t maxLines);

  private:
    void recomputeWeightSums();
    // A data line under -csv or -labels.
    unsigned processFieldLine(const char* line);
    // The graph titled name, added the first time; maxGraphs when there is no room for it.
    unsigned graphNamed(std::string_view name);
    // A first line of names under -csv titles the graphs of their columns.
    void titleGraphsFromHeader(const char* line);
    unsigned pairGuess = 0;  // where graphNamed looks first: the graph after the last one named
    // Grows the X axis to `slots` keeping the lines in arrival order: a ring that has come round
    // gets its new slots just before its oldest line, holding copies of it. false when out of memory.
    bool growKeepingOrder(std::uint32_t slots);
};

// Opens a text plot file as loadTextFile does: false for a name that is missing, a folder or unreadable.
bool openTextFile(const char* localName, std::ifstream& file);

// The name of a file or device as shown in titles and default graph titles: the last path
// component (or the last two without directory pruning) without its extension.
std::string sourceBaseName(const std::string& path);
