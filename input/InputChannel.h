#pragma once
// Live input: standard input or a serial device read from the main loop and cut into lines for the
// plot. At most one input is open; it is read without ever blocking the main loop, and while it
// streams the plot still repaints at least every frame interval or so.
//
// Setting the environment variable KIVREL_REPORT_EOF (to anything but empty or "0") makes the
// program write one line to standard error when an input ends by itself (end of file, read error,
// hang-up): "kivrel: end of input: <lines> lines in <s> s (<lines/s> lines/s), <frames> frames
// (<fps> frames/s)", timed from the first byte. Benchmarks and tests wait for it instead of
// sleeping.

#include <cstddef>
#include <cstdint>
#include <functional>

#include <glib.h>

struct IOData;
struct termios;

// The watch's priority while playing (G_PRIORITY_HIGH_IDLE: above the toolkit's repaints).
constexpr gint inputWatchPriority = G_PRIORITY_HIGH_IDLE;
// At most this much is read per wake-up.
constexpr std::size_t readChunkSize = 64 * 1024;
// While paused, received bytes are kept up to this bound (64 MiB; tests lower it). Beyond it
// reading stops until Play: a pipe's writer then waits (nothing is lost), a serial device's
// kernel buffer fills and drops what comes after.
extern std::size_t pauseQueueLimit;
// While input streams, it steps aside for a repaint after this long without a draw of the plot ...
constexpr gint64 repaintIntervalUs = 16000;
// ... until the plot has been drawn, or this long at most.
constexpr gint64 repaintWaitUs = 20000;
// After a read that took all there was, the descriptor is left alone this long, so that a stream
// arriving in many small pieces is read a few times per repaint instead of at every piece. Half a
// frame: the plot shows what came at its next frame all the same, and even at 4 Mbit/s a serial
// line's kernel buffer holds what arrives meanwhile.
constexpr gint64 readRestUs = 8000;

// The backup's recording step, run for every non-empty line while a backup channel is open, before
// the plot sees the line: the backup's own step, replaceable by tests; null records nothing.
using BackupRecorder = void (*)(IOData& io, const char* line, std::size_t length);
extern BackupRecorder backupRecorder;

// The two openers replace the current input: the new one is opened, locked and set up first, and
// only when that worked is the current input closed, replacing called (to clear the plot for the
// new input) and the new one read. One that does not open is reported in an error dialog with the
// system's reason, and leaves the current input, the plot and the title as they were.
// Starts reading standard input (locked with flock).
bool openStandardInput(IOData& io, const std::function<void()>& replacing = nullptr);
// Starts reading a serial device (locked with flock; its line set up for reading raw, and unless
// the serial speed is negative to its speed and framing).
bool openSerialDevice(const char* name, IOData& io, const std::function<void()>& replacing = nullptr);
// Raw reading, 8 data bits, no parity, one stop bit, receiver on, modem lines ignored, and the
// speed: 9600 for 0 or less, a standard speed through its constant, any other through its number.
// False when the line does not run at that speed afterwards (the driver refused it or chose
// another).
bool configureSerialLine(int fd, std::int32_t speed);
// The same settings written into a termios record; a speed without a constant leaves the record's
// speed as it was.
void setSerialLineFields(termios& line, std::int32_t speed);
// Raw reading: every byte arrives as it was sent, at once. No echo, no line editing, no signal or
// end-of-file characters, no CR/NL translation, no software flow control, all 8 bits.
void setRawReading(termios& line);
// Whether a line that reports the speed reported runs at requested: within 2%, the kernel's own
// measure of two speeds being the same (a UART's divider seldom gives a speed exactly).
bool speedAccepted(std::int32_t requested, std::int64_t reported);
// The line set-up used when a device opens: configureSerialLine, replaceable by tests.
using SerialLineSetter = bool (*)(int fd, std::int32_t speed);
extern SerialLineSetter serialLineSetter;
// Stops the current input, or the wait for a vanished device; the plot keeps its data. Does
// nothing when neither is going on.
void closeInput(IOData& io);

// The part of closeInput that gives back the descriptor, its watch and the draw hook, and tells no
// one: the record's destructor uses it for an input still open at the end.
void releaseInputChannel(IOData& io);

// Reconnecting: with it on, a serial device that vanishes (hang-up, read error, end of file) is
// tried again under its name and at its speed every half second until it opens, and reading goes
// on into the same plot. While paused the device is awaited as well, and what it sent before it
// vanished and after it returned waits for Play. The wait ends when the device is back, when the
// input is closed or another one opened, or when reconnecting is turned off.
constexpr guint reconnectIntervalMs = 500;
void setReconnectDevice(IOData& io, bool on);
bool waitingForDevice(const IOData& io);

// The input watch's callback: reads what the descriptor holds and hands on the complete lines.
gboolean onInputReadable(GIOChannel* channel, GIOCondition condition, gpointer data);
// Reads what is available now, at most size bytes, without waiting.
GIOStatus readLineChunk(GIOChannel* channel, char* destination, gsize size, gsize* count);
// Cuts received bytes into lines and hands them on while the input that sent them (generation)
// is still open. Returns the lines handed on, or -1 when the input went away meanwhile.
int splitLines(IOData& io, std::int32_t generation, const char* data, std::size_t size);
// Gives one line to the backup and then to the plot model.
void handOnLine(IOData& io, const char* first, const char* end);

// Pause and Play, also around the commands that pause input while they work: flips the playing
// flag and moves the input watch between its saved priority and 300. While paused the input keeps
// being read into memory; Play hands that on in order.
void togglePause(IOData& io);
