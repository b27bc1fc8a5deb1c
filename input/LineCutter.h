#pragma once
// Cuts received bytes into text lines in a fixed line buffer. The result does not depend on how the
// bytes are split between reads: it is always what reading one line at a time (a read ends after a
// line feed or when 2047 bytes are buffered) and cutting after every such read would give.
// CR, LF, CR LF and LF CR end a line; empty and blank lines are dropped; leading white space goes,
// trailing white space stays; a line too long for the buffer arrives in pieces of at most 2047 bytes.

#include <cstddef>
#include <cstdint>

// Bytes one read may fill the buffer up to; the buffer needs one more for the terminating NUL.
constexpr std::int32_t lineReadLimit = 2047;
// An unfinished tail longer than this is handed on as a line of its own.
constexpr std::int32_t maxPendingLength = 2016;

// Receives one line: the text from line to end, with a NUL at end. Returns false when handing the
// line on closed or replaced the input it came from; the cutter then stops at once and drops the
// rest.
class LineReceiver {
public:
    virtual bool take(const char* line, const char* end) = 0;

protected:
    ~LineReceiver() = default;
};

struct CutResult {
    std::int32_t pending = 0;  // unfinished bytes left at the start of the buffer
    int lines = 0;             // lines handed on
    bool stopped = false;      // the input went away while a line was handed on
};

// Cuts buffer[0, length) into lines; the unfinished tail moves to the start of the buffer.
// buffer must have room for length + 1 bytes.
CutResult cutLines(char* buffer, std::int32_t length, LineReceiver& receiver);

// Appends data to the pending bytes of buffer, cutting after each completed read; buffer needs
// lineReadLimit + 1 bytes. After a stop neither buffer nor pending may be touched any more: they
// may belong to another input by then.
CutResult feedLines(char* buffer, std::int32_t pending, const char* data, std::size_t size,
                    LineReceiver& receiver);

// End of input: cuts what the last read left, then hands on any unfinished text as a last line.
// buffer needs lineReadLimit + 1 bytes.
CutResult finishLines(char* buffer, std::int32_t pending, LineReceiver& receiver);
