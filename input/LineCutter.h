#pragma once
// Cuts received bytes into text lines in a fixed line buffer. The result does not depend on how the
// bytes are split between reads. CR, LF, CR LF and LF CR end a line; empty and blank lines are
// dropped; leading white space goes, trailing white space stays. A line is handed on whole up to
// maxLineLength bytes; a longer one is dropped whole and counted, so that a line is never cut into
// pieces that would each read as a sample of its own, and memory stays bounded however long the
// line.

#include <cstddef>
#include <cstdint>

// The longest line handed on (leading white space not counted). The buffer needs one byte more for
// the terminating NUL.
constexpr std::int32_t maxLineLength = 64 * 1024;

// Receives one line: the text from line to end, with a NUL at end. Returns false when handing the
// line on closed or replaced the input it came from; the cutter then stops at once and drops the
// rest.
class LineReceiver {
  public:
    virtual bool take(const char* line, const char* end) = 0;

  protected:
    ~LineReceiver() = default;
};

// The unfinished line between reads.
struct PendingLine {
    std::int32_t length = 0;  // bytes of it at the start of the buffer
    bool overLong = false;    // it passed maxLineLength: the rest up to its end is dropped
};

struct CutResult {
    PendingLine pending;   // what the next read goes on with
    int lines = 0;         // lines handed on
    int droppedLines = 0;  // over-long lines that ended (or ended with the input) and were dropped
    bool stopped = false;  // the input went away while a line was handed on
};

// Appends data to the pending line in buffer and hands on every line it completes; buffer needs
// maxLineLength + 1 bytes. After a stop neither buffer nor the pending line may be touched any
// more: they may belong to another input by then.
CutResult feedLines(char* buffer, PendingLine pending, const char* data, std::size_t size,
                    LineReceiver& receiver);

// End of input: an unfinished line goes on as a last line (an over-long one is dropped).
CutResult finishLines(char* buffer, PendingLine pending, LineReceiver& receiver);
