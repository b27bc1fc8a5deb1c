// The program itself reading comma-separated and name:value streams from standard input: the plot
// it saves on SIGUSR1 equals the expected file of each stream.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/input/RunningKivrel.h"
#include "tests/support/CommaLocale.h"
#include "tests/support/TempDir.h"

namespace {

std::string namedValues(int count) {
    std::string line;
    for (int n = 0; n < count; ++n) line += "n" + std::to_string(n) + ":" + std::to_string(n) + " ";
    return line + "\n";
}

TEST(FieldStream, TheSavedPlotHoldsWhatTheStreamMeant) {
    TempDir temporary;
    ASSERT_TRUE(temporary.ok());
    const bool commaLocale = CommaLocale().active;
    const struct Row {
        const char* expected;  // in tests/data/input
        std::vector<std::string> options;
        std::string data;
        bool decimalComma;
    } rows[] = {
        {"csv-header-empty-fields.plt",
         {"-csv"},
         "\"time (s)\",temp_C;\"humidity, %\"\r\n0.02,25.05,45.0\r\n0.04,,44.9\r\n;25.2;\r\n0.08 25.3 "
         "44.7\r\n",
         false},
        {"labels-mixed-with-columns.plt",
         {"-labels"},
         "temp:25.1 hum=40\n7 \"temp\":25.2 hum:41\nhum:42 8 temp:x\n",
         false},
        {"csv-labels-from-option-line.plt", {}, "#$ -csv -labels\ntemp=1,hum=2\nhum=3;temp=4,,5\n", false},
        {"labels-64-graph-limit.plt", {"-labels"}, namedValues(70) + namedValues(3), false},
        {"csv-decimal-comma-locale.plt", {"-csv"}, "1,5;2.5\n3.25,4\n", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        if (row.decimalComma && !commaLocale) continue;  // de_DE.UTF-8 is not installed
        const std::string saved = temporary.path("saved.plt");
        std::remove(saved.c_str());
        std::vector<std::string> arguments = row.options;
        arguments.insert(arguments.end(), {"-xsize", "9", "-"});
        KivrelStart start;
        start.saveOnSignal = saved;
        if (row.decimalComma) start.environment = {{"LC_ALL", "de_DE.UTF-8"}};
        RunningKivrel kivrel(arguments, start);
        ASSERT_TRUE(kivrel.ok());
        const std::string report = kivrel.sendAllAndWaitForReport(row.data);
        ASSERT_NE(report, "") << kivrel.standardError();
        ASSERT_TRUE(kivrel.savePlot()) << kivrel.standardError();
        EXPECT_EQ(readWholeFile(saved),
                  readWholeFile(std::string(KIVREL_TEST_DATA) + "/input/" + row.expected));
    }
}

}  // namespace
