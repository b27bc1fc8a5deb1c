#include "input/LineCutter.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

char* skipSpace(char* text, const char* end) {
    while (text < end && isSpace(*text)) ++text;
    return text;
}

// The first CR or LF in [text, end). A NUL byte from the device does not hide the separators after
// it: searching stops only at end.
char* findSeparator(char* text, const char* end) {
    for (; text < end; ++text) {
        if (*text == '\r' || *text == '\n') return text;
    }
    return nullptr;
}

}  // namespace

CutResult cutLines(char* buffer, std::int32_t length, LineReceiver& receiver) {
    CutResult result;
    char* const end = buffer + length;
    *end = '\0';
    char* text = skipSpace(buffer, end);
    // Leading white space is skipped, and CR and LF count as white space, so the text before a
    // separator is never empty.
    for (char* separator = findSeparator(text, end); separator; separator = findSeparator(text, end)) {
        *separator = '\0';
        ++result.lines;
        if (!receiver.take(text, separator)) {
            result.stopped = true;
            return result;
        }
        text = skipSpace(separator + 1, end);
    }
    const std::int32_t remaining = static_cast<std::int32_t>(end - text);
    if (remaining > maxPendingLength) {
        ++result.lines;
        result.stopped = !receiver.take(text, end);
        return result;
    }
    if (remaining > 0 && text != buffer) std::memmove(buffer, text, static_cast<std::size_t>(remaining));
    result.pending = remaining;
    return result;
}

CutResult feedLines(char* buffer, std::int32_t pending, const char* data, std::size_t size,
                    LineReceiver& receiver) {
    CutResult result;
    result.pending = pending;
    while (size > 0) {
        // One read: up to and including a line feed, or until the buffer holds lineReadLimit bytes.
        std::size_t take = std::min(size, static_cast<std::size_t>(lineReadLimit - result.pending));
        const void* lineFeed = std::memchr(data, '\n', take);
        if (lineFeed) take = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - data) + 1;
        std::memcpy(buffer + result.pending, data, take);
        result.pending += static_cast<std::int32_t>(take);
        data += take;
        size -= take;
        if (!lineFeed && result.pending < lineReadLimit) break;  // the read is still unfinished
        const CutResult cut = cutLines(buffer, result.pending, receiver);
        result.lines += cut.lines;
        result.pending = cut.pending;
        if (cut.stopped) {
            result.stopped = true;
            return result;
        }
    }
    return result;
}

CutResult finishLines(char* buffer, std::int32_t pending, LineReceiver& receiver) {
    CutResult result;
    if (pending <= 0) return result;
    // The last read ended without a line feed: cut it as it is, then end what is left with one.
    result = cutLines(buffer, pending, receiver);
    if (result.stopped || result.pending == 0) return result;
    buffer[result.pending] = '\n';
    const CutResult last = cutLines(buffer, result.pending + 1, receiver);
    return {last.pending, result.lines + last.lines, last.stopped};
}
