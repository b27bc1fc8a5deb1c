#pragma once
// The input/output record: the open input channel, its unfinished line, the backup channel and
// the playing flag, the input watch and its timers, and the two settings an input is opened with.
// One instance lives for the whole run, with the host that the program around it provides.

#include <cstdint>
#include <memory>
#include <string>

#include <glib.h>

#include "input/ByteQueue.h"
#include "input/GlibPtr.h"
#include "input/InputHost.h"
#include "input/LineCutter.h"
#include "model/LineHint.h"
#include "model/RecordTag.h"

struct termios;
typedef struct _GdkPixbuf GdkPixbuf;
typedef struct _GtkWidget GtkWidget;

enum class InputKind { none, standardInput, serialDevice };
enum class BackupKind { none, standardOutput, file };

// While input streams, reading and repainting the plot take turns (times in monotonic
// microseconds).
struct RepaintTurns {
    bool yielding = false;    // the descriptor is left alone until the plot has been drawn
    bool resting = false;     // the descriptor is left alone for a moment after a read emptied it
    bool drawn = false;       // the plot was drawn since input was last read
    gint64 lastDraw = 0;      // when the plot was last drawn
    gint64 readingSince = 0;  // when reading got its current turn
    gint64 otherTurn = 0;     // how long the toolkit's last turn took
};

// Room for one pending line and its terminating NUL.
constexpr int lineBufferSize = maxLineLength + 1;

struct IOData {
    static constexpr std::int32_t tagValue = ioDataTag;
    static constexpr const char* typeName = "IOData";

    std::int32_t tag = ioDataTag;
    InputHost* host = nullptr;
    // Settings: the lines one backup holds at most, and the serial speed a device opens at (0 for
    // the default, negative to leave the line's speed as it is).
    std::int32_t backupLimit = 50000;
    std::int32_t serialSpeed = 0;
    InputKind inputKind = InputKind::none;
    BackupKind backupKind = BackupKind::none;
    GIOChannel* inputChannel = nullptr;
    GSource* inputWatch = nullptr;  // the main-loop source reading inputChannel
    char lineBuffer[lineBufferSize] = {};
    PendingLine pendingLine;
    std::int32_t inputGeneration = 1;
    GIOChannel* backupChannel = nullptr;
    std::int32_t backupLineCount = 0;
    std::string backupName;           // the open backup's file, or "standard output", for messages
    std::string backupStopped;        // why the backup stopped by itself, for the input status
    guint backupMessage = 0;          // the pending message of a failed backup write
    std::string backupMessageDetail;  // its detail: the backup's name and the system's reason
    std::int32_t savedWatchPriority = 100;
    bool playing = true;
    std::string currentInputName;
    std::string lastSavedPlotName;
    GObjectRef<GdkPixbuf> indicatorPixbuf;  // the recording indicator's picture
    GtkWidget* indicatorImage = nullptr;

    // Reading without ever blocking or starving the window (kept by the input channel code).
    ByteQueue pausedInput;            // bytes read while paused, handed on in order after Play
    bool inputEnded = false;          // end of input or hang-up seen, acted on once pausedInput is empty
    RepaintTurns turns;               // taking turns with the repaints while input streams
    int savedFileFlags = -1;          // standard input's descriptor flags before reading began
    gulong drawHook = 0;              // emission hook that notes draws of the plot area
    std::uint64_t linesHandedOn = 0;  // since the input opened
    std::uint64_t linesDropped = 0;   // lines longer than maxLineLength since the input opened
    std::uint64_t framesDrawn = 0;    // draws of the plot area since the first byte arrived
    gint64 firstByteTime = 0;         // monotonic microseconds, 0 until the first byte
    bool resumedInput = false;        // the input is a vanished device that came back

    // The input status in the menu row, refreshed by a timer only while an input is open.
    GtkWidget* statusLabel = nullptr;
    guint statusTimer = 0;
    std::uint64_t linesWithoutData = 0;        // consecutive lines that held no number and no option
    std::uint64_t sparseLines = 0;             // consecutive lines that held at most one number and no option
    LineHint sparseLineHint = LineHint::none;  // why, as one of those lines showed
    std::uint64_t statusLines = 0;             // linesHandedOn at the last refresh
    gint64 statusTime = 0;                     // monotonic microseconds of the last refresh

    // Reconnecting a vanished serial device (off unless asked for).
    bool reconnectDevice = false;        // wait for a vanished serial device to come back
    std::string deviceName;              // the serial device open or awaited, else empty
    std::shared_ptr<termios> savedLine;  // the open terminal's own settings, given back on close
    std::int32_t deviceSpeed = -1;       // the speed it was opened at (negative: line left as it was)
    guint reconnectTimer = 0;            // the half-second retry while a vanished device is awaited

    IOData() = default;
    IOData(const IOData&) = delete;
    IOData& operator=(const IOData&) = delete;
    // Gives back what is still open (nothing once the input and the backup are closed): first the
    // main-loop sources that point at this record, then the input's descriptor and the backup.
    // Neither the window nor the status hear of it: at the end they may be gone.
    ~IOData();

    // The host's window, or null without a host.
    GtkWidget* window() const { return host ? host->window() : nullptr; }
};

// Shows the recording indicator exactly while both an input and a backup are open.
void updateRecordingIndicator(IOData* io);

// After this many lines in a row without a number or an option the status gives a hint.
constexpr std::uint64_t linesWithoutDataHint = 50;
constexpr guint inputStatusIntervalMs = 500;
// "12 lines/s, 3456 lines", after "no numbers in the last 50 lines; " once that many lines in a row
// held neither a number nor an option, and after "2 lines over 65536 bytes dropped; " once lines
// too long to plot were dropped. The status shows why a backup stopped in front of that. A hint
// other than none ("lines hold commas: try -csv") stands in place of the "no numbers" text.
std::string inputStatusText(double linesPerSecond, std::uint64_t lines, std::uint64_t linesWithoutData,
                            std::uint64_t linesDropped = 0, LineHint hint = LineHint::none);
// The hint of the status for the lines handed on so far: after linesWithoutDataHint lines in a row
// that held at most one number, the cause one of them showed.
LineHint sparseLinesHint(const IOData& io);
// Starts the status refresh for an input that has just opened (the first text comes with the
// first refresh); stops it and empties the status.
void startInputStatus(IOData& io);
void stopInputStatus(IOData& io);
// Shows the status now and notes the count that the next rate is measured from.
void updateInputStatus(IOData& io);
