#include "input/LineCutter.h"

#include <cctype>
#include <cstring>

namespace {

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The first CR or LF in [text, end). A NUL byte from the device does not hide the separators after
// it: searching stops only at end.
const char* findSeparator(const char* text, const char* end) {
    for (; text < end; ++text) {
        if (*text == '\r' || *text == '\n') return text;
    }
    return nullptr;
}

}  // namespace

CutResult feedLines(char* buffer, PendingLine pending, const char* data, std::size_t size,
                    LineReceiver& receiver) {
    CutResult result;
    result.pending = pending;
    PendingLine& line = result.pending;
    const char* const end = data + size;
    while (data < end) {
        const char* separator = findSeparator(data, end);
        const char* const textEnd = separator ? separator : end;
        if (line.overLong) {
            // Dropping the rest of an over-long line up to its end.
            if (separator) {
                line.overLong = false;
                ++result.droppedLines;
            }
        } else {
            // CR and LF count as white space, so a separator after nothing but blanks ends no line.
            if (line.length == 0) {
                while (data < textEnd && isSpace(*data)) ++data;
            }
            const auto count = static_cast<std::size_t>(textEnd - data);
            if (count > static_cast<std::size_t>(maxLineLength - line.length)) {
                line = PendingLine{0, true};
                continue;  // the same separator (if any) ends it as an over-long line
            }
            std::memcpy(buffer + line.length, data, count);
            line.length += static_cast<std::int32_t>(count);
            if (separator && line.length > 0) {
                const std::int32_t length = line.length;
                buffer[length] = '\0';
                line.length = 0;
                ++result.lines;
                if (!receiver.take(buffer, buffer + length)) {
                    result.stopped = true;
                    return result;
                }
            }
        }
        data = separator ? separator + 1 : end;
    }
    return result;
}

CutResult finishLines(char* buffer, PendingLine pending, LineReceiver& receiver) {
    CutResult result;
    if (pending.overLong) {
        result.droppedLines = 1;
        return result;
    }
    if (pending.length <= 0) return result;
    // Leading white space never reaches the buffer: what is pending is a line.
    buffer[pending.length] = '\0';
    result.lines = 1;
    result.stopped = !receiver.take(buffer, buffer + pending.length);
    return result;
}
