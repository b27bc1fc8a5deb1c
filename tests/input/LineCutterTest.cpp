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

// Feeds the whole input in pieces of chunk bytes, then ends the input.
std::vector<std::string> linesOf(const std::string& input, std::size_t chunk) {
    char buffer[lineReadLimit + 5];
    std::int32_t pending = 0;
    Collector collector;
    for (std::size_t at = 0; at < input.size(); at += chunk) {
        const std::string piece = input.substr(at, chunk);
        const CutResult result = feedLines(buffer, pending, piece.data(), piece.size(), collector);
        EXPECT_FALSE(result.stopped);
        EXPECT_LE(result.pending, lineReadLimit);
        pending = result.pending;
    }
    finishLines(buffer, pending, collector);
    return collector.lines;
}

std::vector<std::size_t> lengthsOf(const std::vector<std::string>& lines) {
    std::vector<std::size_t> out;
    for (const std::string& line : lines) out.push_back(line.size());
    return out;
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
        {"a NUL does not hide the line ends after it", std::string("1 2\0junk\n3\n", 11), {std::string("1 2\0junk", 8), "3"}},
    };
    for (const auto& row : rows) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{4096}}) {
            SCOPED_TRACE(testing::Message() << row.name << ", pieces of " << chunk);
            EXPECT_EQ(linesOf(row.input, chunk), row.lines);
        }
    }
}

TEST(LineCutter, LongLinesArriveInPiecesOfOneRead) {
    const struct {
        const char* name;
        std::string input;
        std::vector<std::size_t> lengths;
    } rows[] = {
        {"5000 characters", std::string(5000, '7') + "\n", {2047, 2047, 906}},
        // One read takes 2047 bytes: "a", CR and 2045 b; the 2045 b are too many to keep.
        {"a long tail after a CR", "a\r" + std::string(2100, 'b') + "\n", {1, 2045, 55}},
        // A tail of 2016 bytes is kept, and the next read tops it up to 2047.
        {"a kept tail after a CR", std::string(30, 'a') + "\r" + std::string(2100, 'b') + "\n", {30, 2047, 53}},
        {"without a final line feed", std::string(4100, 'c'), {2047, 2047, 6}},
    };
    for (const auto& row : rows) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{1000}, std::size_t{65536}}) {
            SCOPED_TRACE(testing::Message() << row.name << ", pieces of " << chunk);
            EXPECT_EQ(lengthsOf(linesOf(row.input, chunk)), row.lengths);
        }
    }
}

TEST(LineCutter, StopsAtOnceWhenTheInputGoesAway) {
    char buffer[lineReadLimit + 5];
    Collector collector;
    collector.stopAfter = 2;
    const std::string input = "1\n2\n3\n4\n";
    const CutResult result = feedLines(buffer, 0, input.data(), input.size(), collector);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(collector.lines, (std::vector<std::string>{"1", "2"}));
}

}  // namespace
