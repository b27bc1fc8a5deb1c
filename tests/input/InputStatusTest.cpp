// The input status in the menu row: its text, its refresh while a pseudo-terminal input streams,
// the hint for lines without numbers, and its end when the input closes.
#include "input/IOData.h"

#include <string>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "input/InputChannel.h"
#include "tests/input/InputTestSupport.h"

namespace {

TEST(InputStatus, TextShowsRateTotalAndTheHint) {
    const struct {
        double rate;
        std::uint64_t lines;
        std::uint64_t withoutData;
        std::uint64_t dropped;
        const char* expected;
    } rows[] = {
        {0.0, 0, 0, 0, "0 lines/s, 0 lines"},
        {12.6, 345, 49, 0, "13 lines/s, 345 lines"},
        {1.0, 100, 50, 0, "no numbers in the last 50 lines; 1 lines/s, 100 lines"},
        {-3.0, 7, 0, 0, "0 lines/s, 7 lines"},
        {2.0, 9, 0, 1, "1 line over 65536 bytes dropped; 2 lines/s, 9 lines"},
        {2.0, 9, 50, 3,
         "no numbers in the last 50 lines; 3 lines over 65536 bytes dropped; 2 lines/s, 9 lines"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.expected);
        EXPECT_EQ(inputStatusText(row.rate, row.lines, row.withoutData, row.dropped), row.expected);
    }
    // A cause stands in place of "no numbers".
    EXPECT_EQ(inputStatusText(1.0, 100, 50, 0, LineHint::commas),
              "lines hold commas: try -csv; 1 lines/s, 100 lines");
    EXPECT_EQ(
        inputStatusText(1.0, 100, 0, 2, LineHint::pairs),
        "lines hold name:value pairs: try -labels; 2 lines over 65536 bytes dropped; 1 lines/s, 100 lines");
    EXPECT_EQ(inputStatusText(1.0, 100, 50, 0, LineHint::textFirst),
              "lines start with text: numbers must be separated by spaces; 1 lines/s, 100 lines");
}

// After 50 lines in a row with no number or only one, the status names the cause it finds in them;
// it is silent while lines plot, whatever they hold, and once the mode it names is on.
TEST(InputStatus, TheHintSaysWhyLinesDoNotPlot) {
    InputWindow window;
    PseudoTerminal device;
    window.io.serialSpeed = -1;
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), window.io));
    std::uint64_t sent = 0;
    const auto statusAfter = [&](const std::string& line, int count) {
        writeWhileRunning(device.master, repeated(line + "\n", count));
        sent += static_cast<std::uint64_t>(count);
        EXPECT_TRUE(runUntil([&] { return window.io.linesHandedOn == sent; }));
        updateInputStatus(window.io);
        const std::string status = gtk_label_get_text(GTK_LABEL(window.io.statusLabel));
        return status.substr(0, status.find(';'));
    };
    const struct {
        const char* line;
        bool csv;
        bool labels;
        const char* hint;  // the status's first part; null: the counts come first
    } rows[] = {
        {"temp:25.1 hum:40", false, false, "lines hold name:value pairs: try -labels"},
        {"temp:25.1 hum:40", false, true, nullptr},
        {"0.02,25.05,45.0", false, false, "lines hold commas: try -csv"},
        {"0.02,25.05,45.0", true, false, nullptr},
        {"temp=25.1,hum=40", false, true, "lines hold commas: try -csv"},
        {"T25.3 H40.1", false, false, "lines start with text: numbers must be separated by spaces"},
        {"hello world", false, false, "no numbers in the last 50 lines"},
        {"25.3", false, false, nullptr},
        {"1 2", false, false, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        window.model.commaSeparated = row.csv;
        window.model.namedValues = row.labels;
        const auto countsFirst = [](const std::string& status) {
            return status.find(" lines/s") != std::string::npos;
        };
        EXPECT_TRUE(countsFirst(statusAfter(row.line, 49))) << "not before 50 lines";
        const std::string status = statusAfter(row.line, 1);
        if (row.hint == nullptr) {
            EXPECT_TRUE(countsFirst(status)) << status;
        } else {
            EXPECT_EQ(status, row.hint);
        }
        EXPECT_TRUE(countsFirst(statusAfter("1 2", 1)));  // a line that plots ends the hint
    }
    closeInput(window.io);
}

TEST(InputStatus, TheToolRowFollowsAStreamingDeviceAndEmptiesOnClose) {
    InputWindow window;
    PseudoTerminal device;
    window.io.serialSpeed = -1;
    ASSERT_NE(window.io.statusLabel, nullptr);
    const auto status = [&window] {
        return std::string(gtk_label_get_text(GTK_LABEL(window.io.statusLabel)));
    };
    const auto showsTotal = [&](const std::string& total) {
        return runUntil([&] { return status().find(", " + total + " lines") != std::string::npos; });
    };
    EXPECT_EQ(status(), "");
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), window.io));
    EXPECT_NE(window.io.statusTimer, 0u);
    ASSERT_TRUE(runUntil([&] { return status() == "0 lines/s, 0 lines"; }));

    writeWhileRunning(device.master, repeated("1 2\n", 30));
    ASSERT_TRUE(showsTotal("30"));
    EXPECT_EQ(status().find("no numbers"), std::string::npos) << status();

    // Words only: an option line in between starts the count again, a comment does not.
    writeWhileRunning(device.master, repeated("hello world\n", 49) + "#~ -t \"x\"\n" +
                                         repeated("hello\n", 48) + "# a comment\n");
    ASSERT_TRUE(showsTotal("129"));
    EXPECT_EQ(status().find("no numbers"), std::string::npos) << status();
    writeWhileRunning(device.master, "still words\n");
    ASSERT_TRUE(showsTotal("130"));
    EXPECT_EQ(status().rfind("no numbers in the last 50 lines; ", 0), 0u) << status();

    // A number ends the hint.
    writeWhileRunning(device.master, "5\n");
    ASSERT_TRUE(showsTotal("131"));
    EXPECT_EQ(status().find("no numbers"), std::string::npos) << status();

    closeInput(window.io);
    EXPECT_EQ(status(), "");
    EXPECT_EQ(window.io.statusTimer, 0u);
}

}  // namespace
