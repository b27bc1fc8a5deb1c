#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/CommandLineOptions.h"
#include "model/PlotModel.h"
#include "model/StartupOptions.h"

namespace {

struct Read {
    std::vector<std::string> storage;
    std::vector<char*> argv;
    StartupOptions options;
    int next = 0;
};

// Reads the arguments after the program name "kivrel"; the options keep pointing into storage.
void read(Read& r, std::vector<std::string> arguments) {
    r.storage = std::move(arguments);
    r.storage.insert(r.storage.begin(), "kivrel");
    r.argv.clear();
    for (std::string& a : r.storage) r.argv.push_back(a.data());
    r.argv.push_back(nullptr);
    r.next = readCommandLine(static_cast<int>(r.storage.size()), r.argv.data(), r.options);
}

// -v and -h are answered to the caller, with the text byte for byte and the status; reading stops
// there. An -h that another option takes as its value asks for nothing.
TEST(CommandLineOptions, VersionAndUsageAreReturnedToTheCaller) {
    std::ifstream file(std::string(KIVREL_TEST_DATA) + "/app/usage.txt", std::ios::binary);
    std::string usage((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_NE(usage.find("%s"), std::string::npos);
    usage.replace(usage.find("%s"), 2, "kivrel");
    const struct {
        std::vector<std::string> arguments;
        std::string text;
    } rows[] = {
        {{"-v"}, "kivrel version 0.36 [2017/11/30]\n"},
        {{"-frame", "-h", "-i", "x"}, usage},
        {{"-h", "-v"}, usage},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.arguments));
        Read parsed;
        read(parsed, r.arguments);
        ASSERT_TRUE(parsed.options.exitNow.has_value());
        EXPECT_EQ(parsed.options.exitNow->text, r.text);
        EXPECT_EQ(parsed.options.exitNow->status, 0);
        EXPECT_EQ(parsed.options.inputName, nullptr);
    }
    Read backup;
    read(backup, {"-b", "-h"});
    EXPECT_FALSE(backup.options.exitNow.has_value());
    EXPECT_STREQ(backup.options.backupName, "-h");
}

// Reading sets nothing in the process; the plot options and configuration files come back in
// their order and are applied later, the files through the caller's loader at their place.
TEST(CommandLineOptions, ReadingActsOnNothingUntilApplied) {
    const bool pruning = directoryPruning;
    const bool independent = defaultIndependentDisplays;
    Read parsed;
    read(parsed, {"-npd", "-reconnect", "-no-indep", "-fsz", "12", "-c", "a.cfg", "-fsz14", "-c", "b.cfg",
                  "run.plt", "x"});
    EXPECT_EQ(directoryPruning, pruning);
    EXPECT_EQ(defaultIndependentDisplays, independent);
    EXPECT_EQ(parsed.options.directoryPruning, std::optional<bool>(false));
    EXPECT_TRUE(parsed.options.reconnect);
    EXPECT_STREQ(parsed.options.inputName, "run.plt");
    EXPECT_EQ(parsed.next, 12);
    ASSERT_EQ(parsed.options.plotOptions.size(), 5u);

    PlotModel model;
    std::vector<std::string> events;
    applyCommandLinePlotOptions(parsed.options, model, [&](const char* name) {
        events.push_back(std::string(name) + " at font size " +
                         std::to_string(static_cast<int>(model.fontSize)));
    });
    EXPECT_EQ(events, (std::vector<std::string>{"a.cfg at font size 12", "b.cfg at font size 14"}));
    EXPECT_EQ(model.fontSize, 14.0);
    EXPECT_FALSE(model.independentDisplays);
    EXPECT_FALSE(defaultIndependentDisplays) << "-no-indep also sets the mode of later models";
    defaultIndependentDisplays = independent;
}

}  // namespace
