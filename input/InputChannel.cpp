#include "input/InputChannel.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <glib/gstdio.h>
#include <gtk/gtk.h>

#include "input/Backup.h"
#include "input/IOData.h"
#include "input/LineCutter.h"
#include "input/LineSpeed.h"
#include "input/Messages.h"
#include "input/SerialSpeeds.h"

BackupRecorder backupRecorder = recordBackupLine;
SerialLineSetter serialLineSetter = configureSerialLine;
std::size_t pauseQueueLimit = 64u * 1024 * 1024;

namespace {

constexpr const char* inputSourceName = "kivrel input";
constexpr gint pausedWatchPriority = 300;
constexpr auto watchedConditions = static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR);

// The input watch: a main-loop source on the input's descriptor. Unlike a plain channel watch, the
// descriptor can be taken out of the poll set (while the pause queue is full, after end of input,
// and for a moment to let the plot repaint) and the source can be woken by time alone (to hand on
// what was queued), so the loop never spins on a descriptor it does not read.
struct InputSource {
    GSource source;
    GIOChannel* channel;  // one reference owned
    gpointer fdTag;       // null while the descriptor is not watched
    IOData* io;
};

gboolean dispatchInput(GSource* source, GSourceFunc, gpointer) {
    InputSource* input = reinterpret_cast<InputSource*>(source);
    const GIOCondition condition =
        input->fdTag ? g_source_query_unix_fd(source, input->fdTag) : static_cast<GIOCondition>(0);
    return onInputReadable(input->channel, condition, input->io);
}

void finalizeInput(GSource* source) {
    g_io_channel_unref(reinterpret_cast<InputSource*>(source)->channel);
}

GSourceFuncs inputSourceFuncs = {nullptr, nullptr, dispatchInput, finalizeInput, nullptr, nullptr};

InputSource* currentSource(const IOData& io) {
    GSource* watch = io.inputWatch;
    if (!io.inputChannel || !watch) return nullptr;
    const char* name = g_source_get_name(watch);
    if (!name || std::strcmp(name, inputSourceName) != 0) return nullptr;
    return reinterpret_cast<InputSource*>(watch);
}

void setDescriptorWatched(InputSource& input, bool watched) {
    if (watched && !input.fdTag) {
        input.fdTag =
            g_source_add_unix_fd(&input.source, g_io_channel_unix_get_fd(input.channel), watchedConditions);
    } else if (!watched && input.fdTag) {
        // Removed, not just masked: poll reports a hang-up even for a descriptor asked for nothing.
        g_source_remove_unix_fd(&input.source, input.fdTag);
        input.fdTag = nullptr;
    }
}

void requestRedraw(IOData& io) {
    if (io.host) io.host->refreshPlot();
}

GtkWidget* plotAreaOf(const IOData& io) {
    return io.host ? io.host->plotArea() : nullptr;
}

bool plotIsDrawable(const IOData& io) {
    GtkWidget* area = plotAreaOf(io);
    return area && gtk_widget_is_drawable(area);
}

// Decides what wakes the input watch next: the descriptor, a time, or nothing.
void scheduleReading(IOData& io, bool delivered) {
    InputSource* input = currentSource(io);
    if (!input) return;
    const gint64 now = g_get_monotonic_time();
    // Priority 100 is above the toolkit's repaints, so a stream that is always readable would keep
    // the plot from ever repainting. A frame interval after the last draw, step aside until the
    // plot has been drawn again, but only after reading as long as the toolkit's last turn took:
    // however slow the drawing, reading keeps at least half of the time.
    RepaintTurns& turns = io.turns;
    if (delivered && io.playing && plotIsDrawable(io) && now - turns.lastDraw >= repaintIntervalUs &&
        now - turns.readingSince >= turns.otherTurn) {
        turns.yielding = true;
    }
    const bool queueing = !io.playing || !io.pausedInput.empty();
    const bool queueFull = queueing && io.pausedInput.size() >= pauseQueueLimit;
    setDescriptorWatched(*input, !io.inputEnded && !turns.yielding && !turns.resting && !queueFull);
    gint64 readyTime = -1;
    if (turns.yielding) {
        readyTime = now + repaintWaitUs;  // in case no draw comes (the frame clock may be held)
    } else if (io.playing && (!io.pausedInput.empty() || io.inputEnded)) {
        readyTime = 0;  // queued bytes or the end of input wait to be handed on
    } else if (turns.resting) {
        readyTime = now + readRestUs;  // then read whatever came meanwhile
    }
    g_source_set_ready_time(&input->source, readyTime);
}

gboolean noteDraw(GSignalInvocationHint*, guint count, const GValue* values, gpointer data) {
    IOData* io = static_cast<IOData*>(data);
    GtkWidget* area = plotAreaOf(*io);
    if (count > 0 && area && G_VALUE_HOLDS_OBJECT(&values[0]) &&
        g_value_get_object(&values[0]) == static_cast<gpointer>(area)) {
        RepaintTurns& turns = io->turns;
        turns.lastDraw = g_get_monotonic_time();
        turns.drawn = true;
        if (io->firstByteTime != 0) ++io->framesDrawn;
        if (turns.yielding) {
            turns.yielding = false;  // the repaint it stepped aside for is happening: read on after it
            scheduleReading(*io, false);
        }
    }
    return TRUE;
}

guint drawSignal() {
    return g_signal_lookup("draw", GTK_TYPE_WIDGET);
}

void addDrawHook(IOData& io) {
    // Only with a plot area: then the widget class, and with it the "draw" signal, exists.
    if (io.drawHook == 0 && plotAreaOf(io)) {
        io.drawHook = g_signal_add_emission_hook(drawSignal(), 0, noteDraw, &io, nullptr);
    }
}

void removeDrawHook(IOData& io) {
    if (io.drawHook != 0) g_signal_remove_emission_hook(drawSignal(), io.drawHook);
    io.drawHook = 0;
}

void resetInputState(IOData& io) {
    ++io.inputGeneration;
    io.inputKind = InputKind::none;
    io.inputChannel = nullptr;
    io.lineBuffer[0] = '\0';
    io.pendingLine = PendingLine{};
    io.pausedInput.clear();
    io.inputEnded = false;
    io.turns = RepaintTurns{};
    io.savedFileFlags = -1;
    io.deviceName.clear();
    io.savedLine.reset();
}

bool reportWanted() {
    const char* value = std::getenv("KIVREL_REPORT_EOF");
    return value && *value && std::strcmp(value, "0") != 0;
}

std::string formatNumber(const char* format, double value) {
    char text[G_ASCII_DTOSTR_BUF_SIZE];
    return g_ascii_formatd(text, sizeof text, format, value);  // '.' whatever the locale
}

void reportEndOfInput(const IOData& io) {
    if (!reportWanted()) return;
    const double seconds =
        io.firstByteTime ? static_cast<double>(g_get_monotonic_time() - io.firstByteTime) / 1e6 : 0.0;
    const double perSecond = seconds > 0 ? 1.0 / seconds : 0.0;
    const std::string line = "kivrel: end of input: " + std::to_string(io.linesHandedOn) + " lines in " +
                             formatNumber("%.3f", seconds) + " s (" +
                             formatNumber("%.0f", static_cast<double>(io.linesHandedOn) * perSecond) +
                             " lines/s), " + std::to_string(io.framesDrawn) + " frames (" +
                             formatNumber("%.1f", static_cast<double>(io.framesDrawn) * perSecond) +
                             " frames/s)\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

// Hands each line on while the input it came from is still the open one.
class HandOn final : public LineReceiver {
  public:
    HandOn(IOData& record, std::int32_t inputGeneration) : io(record), generation(inputGeneration) {}
    bool take(const char* line, const char* end) override {
        handOnLine(io, line, end);
        return io.inputGeneration == generation;
    }

  private:
    IOData& io;
    std::int32_t generation;
};

// Reads what the descriptor holds: straight into lines while playing, into the pause queue while
// paused or while older bytes still wait there. False when the input went away meanwhile; drained
// tells whether the read took less than it could, so that nothing more is waiting.
bool readAvailable(IOData& io, std::int32_t generation, int& lines, bool& drained) {
    const bool queueing = !io.playing || !io.pausedInput.empty();
    gsize room = readChunkSize;
    if (queueing) room = std::min(room, pauseQueueLimit - std::min(pauseQueueLimit, io.pausedInput.size()));
    if (room == 0) return true;
    char chunk[readChunkSize];
    gsize count = 0;
    const GIOStatus status = readLineChunk(io.inputChannel, chunk, room, &count);
    drained = count < room;
    if (count > 0) {
        if (io.firstByteTime == 0) io.firstByteTime = g_get_monotonic_time();
        if (queueing) {
            io.pausedInput.append(chunk, count);
        } else {
            const int handed = splitLines(io, generation, chunk, count);
            if (handed < 0) return false;
            lines += handed;
        }
    }
    // A read error (a vanished USB adapter, a closed pseudo-terminal) ends the input like end of
    // file does: the watch would otherwise fire again at once, forever.
    if (status == G_IO_STATUS_EOF || status == G_IO_STATUS_ERROR) io.inputEnded = true;
    return true;
}

void startWaiting(IOData& io, const std::string& name, std::int32_t speed);

// Whether the input, once it has vanished, is waited for: a serial device with reconnecting on.
bool awaitsReturn(const IOData& io) {
    return io.reconnectDevice && io.inputKind == InputKind::serialDevice;
}

// End of input: the unfinished text goes on as a last line, then the input closes; the plot stays.
void endInput(IOData& io, std::int32_t generation, int lines) {
    HandOn receiver(io, generation);
    const CutResult last = finishLines(io.lineBuffer, io.pendingLine, receiver);
    if (last.stopped) return;
    io.pendingLine = last.pending;
    io.linesDropped += static_cast<std::uint64_t>(last.droppedLines);
    if (lines + last.lines > 0) requestRedraw(io);
    // A device that came back and ended again without sending a byte (a node that opens but has
    // nothing to read) goes on being awaited: that is no new end of the input.
    if (!io.resumedInput || io.firstByteTime != 0) reportEndOfInput(io);
    const bool awaitDevice = awaitsReturn(io);
    const std::string device = io.deviceName;
    const std::int32_t speed = io.deviceSpeed;
    closeInput(io);
    if (awaitDevice) startWaiting(io, device, speed);
}

// Reads the opened channel from now on. A fresh input names the plot after its source; a device
// that came back (resumed) goes on in the plot as it is.
void startInput(IOData& io, GIOChannel* channel, InputKind kind, const char* sourcePath,
                bool resumed = false) {
    const int fd = g_io_channel_unix_get_fd(channel);
    // Raw bytes, read straight from the descriptor, once per wake-up and only when poll found it
    // readable, so the main loop never waits for the rest of a line. The descriptor is made
    // non-blocking as well, except for a terminal on standard input: its file description belongs
    // to the shell too, and in its usual modes a terminal that poll calls readable answers at once.
    g_io_channel_set_encoding(channel, nullptr, nullptr);
    g_io_channel_set_buffered(channel, FALSE);
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0 && !(kind == InputKind::standardInput && isatty(fd))) {
        if (kind == InputKind::standardInput) io.savedFileFlags = flags;
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }

    if (!resumed) {
        PlotModel& model = io.host->plotModel();
        model.sourceName = sourceBaseName(sourcePath);
        model.generalTitle = model.sourceName;
        io.currentInputName.clear();
        io.lastSavedPlotName.clear();
    }
    setWindowTitle(io.window(), sourceBaseName(sourcePath));

    GSource* source = g_source_new(&inputSourceFuncs, sizeof(InputSource));
    InputSource* input = reinterpret_cast<InputSource*>(source);
    input->channel = g_io_channel_ref(channel);
    input->fdTag = nullptr;
    input->io = &io;
    g_source_set_name(source, inputSourceName);
    // A device that comes back while paused is watched at the paused priority, as Pause left it.
    g_source_set_priority(source, resumed && !io.playing ? pausedWatchPriority : inputWatchPriority);
    setDescriptorWatched(*input, true);
    g_source_attach(source, nullptr);
    g_source_unref(source);  // the main context holds it until closeInput destroys it
    io.inputWatch = source;

    io.inputChannel = channel;
    io.inputKind = kind;
    io.linesHandedOn = 0;
    io.linesDropped = 0;
    io.resumedInput = resumed;
    io.framesDrawn = 0;
    io.firstByteTime = 0;
    io.turns.readingSince = g_get_monotonic_time();
    addDrawHook(io);
    updateRecordingIndicator(&io);
    startInputStatus(io);
    requestRedraw(io);
}

// Why a device did not open: the message's first text, and the system's reason when that says more
// (0 when the first text is the whole story).
struct OpenFailure {
    const char* text = nullptr;
    int reason = 0;
};

// Opens a device for reading and locks it. Returns the descriptor, or -1 with the failure.
int openLockedDevice(const char* name, OpenFailure& failure) {
    // Non-blocking from the start: opening a modem line would otherwise wait for its carrier.
    const int fd = g_open(name, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0) {
        failure = {"Serial port error: ", errno};
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        failure = {"Serial port is being used: ", 0};
        return -1;
    }
    return fd;
}

// Whether fd is the device the open input reads: its lock is our own.
bool isOpenInput(const IOData& io, int fd) {
    if (io.inputKind != InputKind::serialDevice || !io.inputChannel) return false;
    struct stat open {
    }, other{};
    return fstat(g_io_channel_unix_get_fd(io.inputChannel), &open) == 0 && fstat(fd, &other) == 0 &&
           open.st_dev == other.st_dev && open.st_ino == other.st_ino;
}

// The name, and on the next line the system's reason with a hint for the usual one.
std::string failureDetail(const char* name, int reason) {
    std::string detail = name;
    if (reason == 0) return detail;
    detail = detail + "\n" + g_strerror(reason);
    if (reason == EACCES || reason == EPERM) detail += ": add yourself to the dialout group";
    return detail;
}

// Only a terminal has line settings (a FIFO or another character device has none). Its own settings
// are kept in saved, to be given back when the input closes; then it is set to raw reading, and
// unless the speed is negative to 8N1 at that speed. False when the line refused the speed.
bool setUpLine(int fd, std::int32_t speed, std::shared_ptr<termios>& saved) {
    saved.reset();
    if (!isatty(fd)) return true;
    auto own = std::make_shared<termios>();
    if (tcgetattr(fd, own.get()) == 0) saved = own;
    if (speed >= 0) return serialLineSetter(fd, speed);
    // The speed and framing stay as they are, but a line left canonical would still echo every
    // byte back to the device and act on control characters in the data.
    termios line = *own;
    setRawReading(line);
    tcsetattr(fd, TCSANOW, &line);
    return true;
}

// Gives a terminal back the settings it had before it was read (nothing when none were kept).
void restoreLine(int fd, const std::shared_ptr<termios>& saved) {
    if (saved) tcsetattr(fd, TCSANOW, saved.get());
}

void reportRefusedSpeed(IOData& io, const std::string& name, std::int32_t speed) {
    const std::int32_t shown = speed > 0 ? speed : defaultSerialSpeed;
    const std::string detail = name + " at " + std::to_string(shown) + " bits/s";
    showErrorDialog(io.window(), "Serial port speed not supported: ", detail.c_str());
}

void showWaitingTitle(IOData& io) {
    setWindowTitle(io.window(), sourceBaseName(io.deviceName), "(waiting for device)");
}

// Ends the wait for a device that cannot come back; the vanished device's paused input, if any,
// goes as well, and the title no longer names it.
void giveUpWaiting(IOData& io) {
    io.reconnectTimer = 0;
    closeInput(io);
    io.deviceName.clear();
    setWindowTitle(io.window(), "");
}

// Only a missing name (a device unplugged) or a character device (one that is back, or still held
// elsewhere) can still become the device; a name that now stands for a folder, a file or anything
// else never will.
bool mayBecomeDevice(const std::string& name) {
    struct stat info {};
    if (g_stat(name.c_str(), &info) != 0) return errno == ENOENT || errno == ENOTDIR;
    return S_ISCHR(info.st_mode);
}

// One retry of a vanished device: silent while it is missing or held by another program.
gboolean retryDevice(gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    const std::string name = io->deviceName;
    const std::int32_t speed = io->deviceSpeed;
    if (!mayBecomeDevice(name)) {
        giveUpWaiting(*io);
        showErrorDialog(io->window(), "Serial port error: ", (name + "\nno longer names a device").c_str());
        return G_SOURCE_REMOVE;
    }
    OpenFailure failure;
    const int fd = openLockedDevice(name.c_str(), failure);
    if (fd < 0) return G_SOURCE_CONTINUE;
    io->reconnectTimer = 0;  // this retry was the last one
    std::shared_ptr<termios> saved;
    if (!setUpLine(fd, speed, saved)) {
        restoreLine(fd, saved);
        close(fd);
        giveUpWaiting(*io);
        reportRefusedSpeed(*io, name, speed);
        return G_SOURCE_REMOVE;
    }
    // A device that vanished while paused is still the open input, with what it sent before it
    // went: that waits for Play ahead of what the returned device sends.
    ByteQueue waiting;
    std::swap(waiting, io->pausedInput);
    closeInput(*io);
    io->pausedInput = std::move(waiting);
    startInput(*io, g_io_channel_unix_new(fd), InputKind::serialDevice, name.c_str(), true);
    io->deviceName = name;
    io->deviceSpeed = speed;
    io->savedLine = std::move(saved);
    return G_SOURCE_REMOVE;
}

void startWaiting(IOData& io, const std::string& name, std::int32_t speed) {
    io.deviceName = name;
    io.deviceSpeed = speed;
    io.reconnectTimer = g_timeout_add(reconnectIntervalMs, retryDevice, &io);
    showWaitingTitle(io);
}

// Ends a wait for a vanished device; the title no longer names it.
void stopWaiting(IOData& io) {
    if (io.reconnectTimer == 0) return;
    g_source_remove(io.reconnectTimer);
    io.reconnectTimer = 0;
    io.deviceName.clear();
    setWindowTitle(io.window(), "");
}

}  // namespace

bool openStandardInput(IOData& io, const std::function<void()>& replacing) {
    const int fd = fileno(stdin);
    if (fcntl(fd, F_GETFD) < 0) {
        const std::string reason = g_strerror(errno);
        showErrorDialog(io.window(), "StdIn can not be opened\n", reason.c_str());
        return false;
    }
    // Locked before the current input closes, so that a standard input held elsewhere replaces
    // nothing. When standard input is the current input the lock is already ours: closing it gives
    // the lock back, and it is taken again.
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (free) closeInput(io);
    if (!free || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        showErrorDialog(io.window(), "StdIn is being used", "");
        return false;
    }
    if (replacing) replacing();
    startInput(io, g_io_channel_unix_new(fd), InputKind::standardInput, "StdIn");
    return true;
}

bool openSerialDevice(const char* name, IOData& io, const std::function<void()>& replacing) {
    OpenFailure failure;
    int fd = openLockedDevice(name, failure);
    if (fd < 0 && failure.reason == 0) {
        // Held, perhaps by this very input: opening the device that is read starts it afresh.
        const int probe = g_open(name, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0);
        const bool ours = probe >= 0 && isOpenInput(io, probe);
        if (probe >= 0) close(probe);
        if (ours) {
            closeInput(io);
            fd = openLockedDevice(name, failure);
        }
    }
    if (fd < 0) {
        showErrorDialog(io.window(), failure.text, failureDetail(name, failure.reason).c_str());
        return false;
    }
    const std::int32_t speed = io.serialSpeed;
    std::shared_ptr<termios> saved;
    if (!setUpLine(fd, speed, saved)) {
        restoreLine(fd, saved);
        close(fd);
        reportRefusedSpeed(io, name, speed);
        return false;
    }
    closeInput(io);
    if (replacing) replacing();
    startInput(io, g_io_channel_unix_new(fd), InputKind::serialDevice, name);
    io.deviceName = name;
    io.deviceSpeed = speed;
    io.savedLine = std::move(saved);
    return true;
}

void setRawReading(termios& line) {
    line.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC |
                                           IXON | IXOFF | IXANY | IMAXBEL);
    line.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    line.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE | ECHOPRT |
                                           ICANON | ISIG | IEXTEN | XCASE);
    // Whatever has arrived is returned at once.
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
}

void setSerialLineFields(termios& line, std::int32_t speed) {
    const std::int32_t wanted = speed > 0 ? speed : defaultSerialSpeed;
    setRawReading(line);
    line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB);
    line.c_cflag |= CS8 | CREAD | CLOCAL;
    for (std::size_t i = 0; i < serialSpeedCount; ++i) {
        if (serialSpeeds[i] == wanted) {
            cfsetispeed(&line, serialSpeedConstants[i]);
            cfsetospeed(&line, serialSpeedConstants[i]);
        }
    }
}

bool speedAccepted(std::int32_t requested, std::int64_t reported) {
    if (requested <= 0 || reported <= 0) return false;
    const std::int64_t difference = reported > requested ? reported - requested : requested - reported;
    return difference * 50 <= requested;
}

bool configureSerialLine(int fd, std::int32_t speed) {
    const std::int32_t wanted = speed > 0 ? speed : defaultSerialSpeed;
    termios line{};
    tcgetattr(fd, &line);
    setSerialLineFields(line, speed);
    tcflush(fd, TCIOFLUSH);
    tcsetattr(fd, TCSANOW, &line);
    const bool standard =
        std::find(serialSpeeds, serialSpeeds + serialSpeedCount, wanted) != serialSpeeds + serialSpeedCount;
    if (!standard && !setLineSpeedNumber(fd, static_cast<std::uint32_t>(wanted))) return false;
    // Drivers answer a speed they cannot do by keeping the old one or choosing the nearest they
    // can: what counts is the speed the line reports now.
    return speedAccepted(wanted, reportedLineSpeed(fd));
}

void releaseInputChannel(IOData& io) {
    if (!io.inputChannel) return;
    GIOChannel* channel = io.inputChannel;
    io.inputChannel = nullptr;
    if (io.inputWatch) g_source_destroy(io.inputWatch);
    io.inputWatch = nullptr;
    const int fd = g_io_channel_unix_get_fd(channel);
    flock(fd, LOCK_UN);
    if (io.inputKind == InputKind::serialDevice) {
        restoreLine(fd, io.savedLine);
        g_io_channel_shutdown(channel, FALSE, nullptr);  // closes the device, nothing to flush
    } else if (io.savedFileFlags >= 0) {
        // Standard input stays open, and its descriptor may be shared with the shell: give it back
        // blocking as it came.
        fcntl(fd, F_SETFL, io.savedFileFlags);
    }
    g_io_channel_unref(channel);
    removeDrawHook(io);
}

void closeInput(IOData& io) {
    stopWaiting(io);
    if (!io.inputChannel) return;
    releaseInputChannel(io);
    resetInputState(io);
    updateRecordingIndicator(&io);
    stopInputStatus(io);
    setWindowTitle(io.window(), "");
}

gboolean onInputReadable(GIOChannel* channel, GIOCondition condition, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    if (!channel || channel != io->inputChannel) return FALSE;  // a closed input's last wake-up
    const std::int32_t generation = io->inputGeneration;
    RepaintTurns& turns = io->turns;
    // A rest ends in a read: the descriptor was not watched meanwhile.
    const bool rested = turns.resting;
    turns.resting = false;
    if (turns.drawn || turns.yielding) {
        // Reading's turn begins; note how long the toolkit's turn took.
        const gint64 now = g_get_monotonic_time();
        turns.otherTurn = turns.drawn ? now - turns.lastDraw : 0;
        turns.readingSince = now;
        turns.drawn = false;
        turns.yielding = false;
    }
    int lines = 0;
    bool drained = false;
    if ((condition != 0 || rested) && !io->inputEnded && !readAvailable(*io, generation, lines, drained))
        return FALSE;
    if (!io->playing && io->inputEnded && awaitsReturn(*io) && !waitingForDevice(*io)) {
        // Vanished while paused: what it sent waits for Play, its unfinished line ended there, and
        // the device is awaited at once, so that it is read again as soon as it is back.
        io->pausedInput.append("\n", 1);
        startWaiting(*io, io->deviceName, io->deviceSpeed);
    }
    if (io->playing && !io->pausedInput.empty()) {
        // What arrived while paused goes on in order, one block per wake-up.
        gsize count = 0;
        const char* piece = io->pausedInput.front(count);
        const int handed = splitLines(*io, generation, piece, count);
        if (handed < 0) return FALSE;
        io->pausedInput.consume(count);
        lines += handed;
    }
    if (io->playing && io->pausedInput.empty() && io->inputEnded) {
        endInput(*io, generation, lines);
        return FALSE;
    }
    if (lines > 0) requestRedraw(*io);  // once per wake-up, however many lines arrived
    turns.resting = lines > 0 && drained && io->playing && !io->inputEnded;
    scheduleReading(*io, lines > 0);
    return TRUE;
}

GIOStatus readLineChunk(GIOChannel* channel, char* destination, gsize size, gsize* count) {
    *count = 0;
    // The descriptor is non-blocking: AGAIN when nothing is there, EOF at the end, ERROR when the
    // device went away.
    return g_io_channel_read_chars(channel, destination, size, count, nullptr);
}

int splitLines(IOData& io, std::int32_t generation, const char* data, std::size_t size) {
    HandOn receiver(io, generation);
    const CutResult result = feedLines(io.lineBuffer, io.pendingLine, data, size, receiver);
    if (result.stopped) return -1;
    io.pendingLine = result.pending;
    io.linesDropped += static_cast<std::uint64_t>(result.droppedLines);
    return result.lines;
}

void handOnLine(IOData& io, const char* first, const char* end) {
    if (first != end && io.backupChannel && backupRecorder) {
        backupRecorder(io, first, static_cast<std::size_t>(end - first));
    }
    ++io.linesHandedOn;
    PlotModel& model = io.host->plotModel();
    const unsigned numbers = model.processLine(first);
    // A comment ('#' and any other character) is neither a number nor an option.
    const bool option =
        first[0] == '#' && (first[1] == '>' || first[1] == '$' || first[1] == '~' || first[1] == '&');
    if (option || numbers > 0) {
        io.linesWithoutData = 0;
    } else {
        ++io.linesWithoutData;
    }
    if (option || numbers > 1) {
        io.sparseLines = 0;
    } else if (++io.sparseLines % linesWithoutDataHint == 0) {
        // Only every 50th of such lines is looked at, so that a stream of one number per line,
        // which plots as it should, reads as fast as any.
        io.sparseLineHint = dataLineHint(first, model.commaSeparated, model.namedValues);
    }
}

void togglePause(IOData& io) {
    const bool wasPlaying = io.playing;
    io.playing = !wasPlaying;
    GSource* watch = io.inputWatch;
    if (watch && wasPlaying) {
        io.savedWatchPriority = g_source_get_priority(watch);
        g_source_set_priority(watch, pausedWatchPriority);
    } else if (watch) {
        g_source_set_priority(watch, io.savedWatchPriority);
    }
    io.turns.yielding = false;
    scheduleReading(io, false);
}

void setReconnectDevice(IOData& io, bool on) {
    io.reconnectDevice = on;
    if (!on) stopWaiting(io);
}

bool waitingForDevice(const IOData& io) {
    return io.reconnectTimer != 0;
}
