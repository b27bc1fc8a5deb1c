// The input status in the tool row: its text, its refresh while a pseudo-terminal input streams,
// the hint for lines without numbers, and its end when the input closes.
#include "input/IOData.h"

#include <string>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "app/GraphData.h"
#include "input/InputChannel.h"
#include "tests/input/InputTestSupport.h"

namespace {

std::string repeated(const std::string& line, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += line;
    return out;
}

TEST(InputStatus, TextShowsRateTotalAndTheHint) {
    const struct {
        double rate;
        std::uint64_t lines;
        std::uint64_t withoutData;
        const char* expected;
    } rows[] = {
        {0.0, 0, 0, "0 lines/s, 0 lines"},
        {12.6, 345, 49, "13 lines/s, 345 lines"},
        {1.0, 100, 50, "1 lines/s, 100 lines; no numbers in the last 50 lines"},
        {-3.0, 7, 0, "0 lines/s, 7 lines"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.expected);
        EXPECT_EQ(inputStatusText(row.rate, row.lines, row.withoutData), row.expected);
    }
}

TEST(InputStatus, TheToolRowFollowsAStreamingDeviceAndEmptiesOnClose) {
    InputWindow window;
    GraphData& graph = window.graph;
    PseudoTerminal device;
    graph.serialSpeed = -1;
    ASSERT_NE(graph.io.statusLabel, nullptr);
    const auto status = [&graph] { return std::string(gtk_label_get_text(GTK_LABEL(graph.io.statusLabel))); };
    const auto showsTotal = [&](const std::string& total) {
        return runUntil([&] { return status().find(", " + total + " lines") != std::string::npos; });
    };
    EXPECT_EQ(status(), "");
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), graph.io));
    EXPECT_NE(graph.io.statusTimer, 0u);
    ASSERT_TRUE(runUntil([&] { return status() == "0 lines/s, 0 lines"; }));

    writeWhileRunning(device.master, repeated("1 2\n", 30));
    ASSERT_TRUE(showsTotal("30"));
    EXPECT_EQ(status().find("no numbers"), std::string::npos) << status();

    // Words only: an option line in between starts the count again.
    writeWhileRunning(device.master, repeated("hello world\n", 49) + "#~ -t \"x\"\n" + repeated("hello\n", 49));
    ASSERT_TRUE(showsTotal("129"));
    EXPECT_EQ(status().find("no numbers"), std::string::npos) << status();
    writeWhileRunning(device.master, "still words\n");
    ASSERT_TRUE(showsTotal("130"));
    EXPECT_NE(status().find("; no numbers in the last 50 lines"), std::string::npos) << status();

    // A number ends the hint.
    writeWhileRunning(device.master, "5\n");
    ASSERT_TRUE(showsTotal("131"));
    EXPECT_EQ(status().find("no numbers"), std::string::npos) << status();

    closeInput(graph.io);
    EXPECT_EQ(status(), "");
    EXPECT_EQ(graph.io.statusTimer, 0u);
}

}  // namespace
