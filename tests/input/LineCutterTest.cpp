#include "input/LineCutter.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Collector final : LineReceiver {
    std::vector<std::string> lines;
    std::size_t stopAfter = 0;  // 0: never
    bool take(const char* line, const char* end) override {
        lines.emplace_back(line, end);
        return stopAfter == 0 || lines.size() < stopAfter;
    }
};

struct Cut {
    std::vector<std::string> lines;
    int dropped = 0;
};

// Feeds the whole input in pieces of chunk bytes, then ends the input.
Cut cut(const std::string& input, std::size_t chunk) {
    // Exactly the size the cutter asks for, so that the sanitizer sees a write past it.
    std::vector<char> buffer(static_cast<std::size_t>(maxLineLength) + 1);
    PendingLine pending;
    Collector collector;
    Cut out;
    for (std::size_t at = 0; at < input.size(); at += chunk) {
        const std::string piece = input.substr(at, chunk);
        const CutResult result = feedLines(buffer.data(), pending, piece.data(), piece.size(), collector);
        EXPECT_FALSE(result.stopped);
        EXPECT_LE(result.pending.length, maxLineLength);
        pending = result.pending;
        out.dropped += result.droppedLines;
    }
    out.dropped += finishLines(buffer.data(), pending, collector).droppedLines;
    out.lines = collector.lines;
    return out;
}

std::vector<std::string> linesOf(const std::string& input, std::size_t chunk) {
    return cut(input, chunk).lines;
}

TEST(LineCutter, CutsLinesTheSameHoweverTheBytesArrive) {
    const struct {
        const char* name;
        std::string input;
        std::vector<std::string> lines;
    } rows[] = {
        {"CR LF ends a line, leading blanks go", "  1 2 3\r\n", {"1 2 3"}},
        {"CR, LF and both pairs", "a\rb\nc\r\nd\n\re\n", {"a", "b", "c", "d", "e"}},
        {"blank and empty lines are dropped", "\n\r\n  \r \n\t\n", {}},
        {"trailing white space stays", "\t x  \t\n", {"x  \t"}},
        {"the unfinished last line goes on at the end", "1\n4 5", {"1", "4 5"}},
        {"a NUL does not hide the line ends after it",
         std::string("1 2\0junk\n3\n", 11),
         {std::string("1 2\0junk", 8), "3"}},
    };
    for (const auto& row : rows) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{4096}}) {
            SCOPED_TRACE(testing::Message() << row.name << ", pieces of " << chunk);
            EXPECT_EQ(linesOf(row.input, chunk), row.lines);
        }
    }
}

TEST(LineCutter, LinesUpToTheBoundArriveWholeLongerOnesAreDroppedWhole) {
    const std::string wide = std::string(maxLineLength - 1, '7') + " ";  // exactly at the bound
    const std::string tooWide = std::string(maxLineLength, '8') + "9";   // one byte over it
    const struct {
        const char* name;
        std::string input;
        std::vector<std::string> lines;
        int dropped;
    } rows[] = {
        {"5000 characters", std::string(5000, '7') + "\n", {std::string(5000, '7')}, 0},
        {"a line of the greatest length, after leading blanks", "\t  " + wide + "\r\n1\n", {wide, "1"}, 0},
        {"one byte over: dropped up to its end", "1\n" + tooWide + "\n2\n", {"1", "2"}, 1},
        {"ended by a CR", tooWide + "\r2\r", {"2"}, 1},
        {"without a final line feed", "1\n" + tooWide, {"1"}, 1},
        {"two of them in a row", tooWide + "\n" + tooWide + "\n3", {"3"}, 2},
        {"blanks before a line do not count", std::string(2 * maxLineLength, ' ') + "4 5\n", {"4 5"}, 0},
    };
    for (const auto& row : rows) {
        for (std::size_t chunk :
             {std::size_t{1}, std::size_t{1000}, std::size_t{65536}, std::size_t{1} << 20}) {
            SCOPED_TRACE(testing::Message() << row.name << ", pieces of " << chunk);
            const Cut result = cut(row.input, chunk);
            EXPECT_EQ(result.lines, row.lines);
            EXPECT_EQ(result.dropped, row.dropped);
        }
    }
}

TEST(LineCutter, StopsAtOnceWhenTheInputGoesAway) {
    std::vector<char> buffer(static_cast<std::size_t>(maxLineLength) + 1);
    Collector collector;
    collector.stopAfter = 2;
    const std::string input = "1\n2\n3\n4\n";
    const CutResult result = feedLines(buffer.data(), PendingLine{}, input.data(), input.size(), collector);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(collector.lines, (std::vector<std::string>{"1", "2"}));
}

}  // namespace
