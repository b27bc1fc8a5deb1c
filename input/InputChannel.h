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

// The backup's recording step, run for every non-empty line while a backup channel is open, before
// the plot sees the line: the backup's own step, replaceable by tests; null records nothing.
using BackupRecorder = void (*)(IOData& io, const char* line, std::size_t length);
extern BackupRecorder backupRecorder;

// Starts reading standard input (locked with flock). Reports failures in an error dialog.
bool openStandardInput(IOData& io);
// Starts reading a serial device (locked with flock; its line set up unless the serial speed is
// negative). Reports failures in an error dialog.
bool openSerialDevice(const char* name, IOData& io);
// 8 data bits, no parity, one stop bit, receiver on, modem lines ignored, and the speed from the
// table of standard rates (9600 for 0 or less and for rates not in the table).
void configureSerialLine(int fd, std::int32_t speed);
// The same settings written into a termios record.
void setSerialLineFields(termios& line, std::int32_t speed);
// Stops the current input; the plot keeps its data. Does nothing when no input is open.
void closeInput(IOData& io);

// The input watch's callback: reads what the descriptor holds and hands on the complete lines.
gboolean onInputReadable(GIOChannel* channel, GIOCondition condition, gpointer data);
// Reads what is available now, at most size bytes, without waiting.
GIOStatus readLineChunk(GIOChannel* channel, char* destination, gsize size, gsize* count);
// Cuts received bytes into lines and hands them on while the input that sent them (generation)
// is still open. Returns the lines handed on, or -1 when the input went away meanwhile.
int splitLines(IOData& io, std::int32_t generation, const char* data, std::size_t size);
// Gives one line to the backup and then to the plot model.
void handOnLine(IOData& io, const char* first, const char* end);

// Pause and Play call this after flipping the playing flag: Play hands on what arrived meanwhile.
void inputPlayingChanged(IOData& io);
