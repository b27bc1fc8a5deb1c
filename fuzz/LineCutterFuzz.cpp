// The input line cutter on arbitrary bytes in arbitrary pieces. The first byte gives the number
// of piece sizes that follow (1 to 8), the next byte after a line to stop at (0: never); the rest
// is the stream. Cutting it piece by piece must hand on exactly the lines that cutting it in one
// piece gives, each a proper line.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "input/LineCutter.h"

namespace {

struct Collector final : LineReceiver {
    std::vector<std::string> lines;
    std::size_t stopAfter = 0;
    bool take(const char* line, const char* end) override {
        if (*end != '\0') fail("a line without its terminating NUL");
        lines.emplace_back(line, end);
        const std::string& text = lines.back();
        if (text.empty()) fail("an empty line");
        if (text.size() > static_cast<std::size_t>(maxLineLength)) fail("a line longer than the bound");
        if (text.find_first_of("\r\n") != std::string::npos) fail("a line holding a line end");
        if (std::isspace(static_cast<unsigned char>(text[0])) != 0) fail("a line with leading white space");
        return stopAfter == 0 || lines.size() < stopAfter;
    }
    [[noreturn]] static void fail(const char* what) {
        std::fprintf(stderr, "line cutter handed on %s\n", what);
        std::abort();
    }
};

void checkPending(const PendingLine& pending) {
    if (pending.length < 0 || pending.length > maxLineLength || (pending.overLong && pending.length != 0)) {
        std::fprintf(stderr, "line cutter left %d pending bytes\n", static_cast<int>(pending.length));
        std::abort();
    }
}

// Feeds stream in pieces of the given sizes, cycling through them, then ends the input.
std::vector<std::string> cut(const std::string& stream, const std::vector<std::size_t>& pieces,
                             std::size_t stopAfter) {
    // Exactly the size the cutter asks for, so that a write past it is seen.
    std::vector<char> buffer(static_cast<std::size_t>(maxLineLength) + 1);
    Collector collector;
    collector.stopAfter = stopAfter;
    PendingLine pending;
    std::size_t at = 0;
    for (std::size_t k = 0; at < stream.size(); ++k) {
        const std::size_t piece = std::min(pieces[k % pieces.size()], stream.size() - at);
        const CutResult result = feedLines(buffer.data(), pending, stream.data() + at, piece, collector);
        at += piece;
        if (result.stopped) return collector.lines;
        checkPending(result.pending);
        pending = result.pending;
    }
    finishLines(buffer.data(), pending, collector);
    return collector.lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const AllocationCeilingScope ceiling;
    if (size < 2) return 0;
    const std::size_t sizeCount = data[0] % 8u + 1;
    const std::size_t stopAfter = data[1];
    if (size < 2 + sizeCount) return 0;
    std::vector<std::size_t> pieces;
    for (std::size_t i = 0; i < sizeCount; ++i) {
        // 1 to 255 bytes, and 0 for a piece of 4096.
        const std::uint8_t b = data[2 + i];
        pieces.push_back(b == 0 ? 4096 : b);
    }
    const std::string stream(reinterpret_cast<const char*>(data) + 2 + sizeCount, size - 2 - sizeCount);
    const std::vector<std::string> whole = cut(stream, {stream.size() + 1}, stopAfter);
    const std::vector<std::string> pieced = cut(stream, pieces, stopAfter);
    if (whole != pieced) {
        std::fprintf(stderr, "pieces gave %zu lines, one piece %zu\n", pieced.size(), whole.size());
        for (std::size_t i = 0; i < whole.size() && i < pieced.size(); ++i) {
            if (whole[i] != pieced[i]) {
                std::fprintf(stderr, "first difference at line %zu\n", i);
                break;
            }
        }
        std::abort();
    }
    return 0;
}
