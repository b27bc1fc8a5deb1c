#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "files/Wxv.h"
#include "model/PlotModel.h"
#include "tests/support/TempDir.h"

namespace {

// A model as Open File or Merge File reads into: an extendable X axis.
PlotModel readingModel() {
    PlotModel model;
    model.fixedXAxis = false;
    return model;
}

std::vector<double> firstSlots(const Graph& graph, std::size_t count) {
    return std::vector<double>(graph.samples.begin(),
                               graph.samples.begin() + static_cast<std::ptrdiff_t>(count));
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

class WxvTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }
    TempDir dir;
};

TEST_F(WxvTest, ReadsTheBodyAsNumbersSpreadOverTheChannels) {
    const struct {
        const char* file;
        bool result;
        std::vector<std::vector<double>> slots;  // per graph, from slot 0
        std::uint32_t writeIndex;
    } rows[] = {
        // The frame cut short still moves the write position on.
        {"wxv-three-channels-seven-numbers.wxv", true, {{1, 4, 7}, {2, 5, 0}, {3, 6, 0}}, 3},
        {"wxv-zero-channels.wxv", true, {{1, 2, 3}}, 3},
        {"wxv-65-channels.wxv", true, {{1, 2, 3}}, 3},
        // An invalid header is skipped but its channel count is used.
        {"wxv-wrong-byte-rate.wxv", true, {{1, 3}, {2, 4}}, 2},
        // A header line that breaks off leaves the later fields 0: one channel.
        {"wxv-broken-header.wxv", true, {{1, 2, 3, 4}}, 4},
        {"wxv-text-in-body.wxv", false, {{1, 3}, {2, 0}}, 2},
        {"wxv-fractions.wxv", true, {{1.5, 300}, {-2.25, 4}}, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        PlotModel model = readingModel();
        EXPECT_EQ(readWxv(model, testData(row.file).c_str()), row.result);
        ASSERT_EQ(model.graphs.size(), row.slots.size());
        for (std::size_t g = 0; g < row.slots.size(); ++g) {
            EXPECT_EQ(firstSlots(model.graphs[g], row.slots[g].size()), row.slots[g]) << "graph " << g;
        }
        EXPECT_EQ(model.writeIndex, row.writeIndex);
    }
}

TEST_F(WxvTest, AnEmptyFileReadsAsOneGraphWithoutSamples) {
    const std::string name = dir.path("empty.wxv");
    writeWholeFile(name, "");
    PlotModel model = readingModel();
    EXPECT_TRUE(readWxv(model, name.c_str()));
    EXPECT_EQ(model.graphs.size(), 1u);
    EXPECT_EQ(model.writeIndex, 0u);
    EXPECT_FALSE(readWxv(model, dir.path("missing.wxv").c_str()));
}

TEST_F(WxvTest, TheHeaderRateIsTakenUnlessItConflicts) {
    const struct {
        std::uint32_t before;
        std::uint32_t after;
    } rows[] = {{0, 100}, {100, 100}, {1000, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.before);
        PlotModel model = readingModel();
        model.samplingRate = row.before;
        readWxv(model, testData("wxv-three-channels-seven-numbers.wxv").c_str());
        EXPECT_EQ(model.samplingRate, row.after);
    }
}

TEST_F(WxvTest, SamplesAreTruncatedAndClamped) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        std::int32_t written;
    } rows[] = {{40000.7, 32767}, {-3.9, -3},       {3.9, 3},     {-0.5, 0},      {-40000, -32768},
                {32767, 32767},   {-32768, -32768}, {inf, 32767}, {-inf, -32768}, {std::nan(""), 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(wxvSample(row.value), row.written);
    }
}

TEST_F(WxvTest, ASavedFileReadsBackAsTruncatedIntegers) {
    PlotModel saved;
    saved.samplingRate = 1000;
    saved.setXSize(101);
    saved.addGraph("a");
    saved.addGraph("b");
    for (int line = 0; line < 130; ++line) {
        saved.storeSample(0, line * 1.7);
        saved.storeSample(1, -line * 260.9);
        saved.advance();
    }
    const std::string name = dir.path("saved.wxv");
    ASSERT_EQ(writeWxv(saved, name.c_str()), 0);
    const std::string text = readWholeFile(name);
    EXPECT_EQ(firstLine(text), "# RIFF 211 WAVE fmt 6 1 2 1000 4000 4 16 data 200");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 101);
    // The newest frame (line 129) comes last.
    EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1), "219 -32768 \n");

    PlotModel read = readingModel();
    read.setXSize(10);
    ASSERT_TRUE(readWxv(read, name.c_str()));
    EXPECT_EQ(read.samplingRate, 1000u);
    // The limit follows from the data size: 200 values over 2 channels, plus 2 per channel.
    EXPECT_EQ(read.maxXSize, 104u);
    ASSERT_EQ(read.graphs.size(), 2u);
    EXPECT_EQ(read.xSize, 101u);
    EXPECT_EQ(read.writeIndex, 100u);
    for (unsigned g = 0; g < 2; ++g) {
        for (std::uint32_t f = 0; f < 100; ++f) {
            const double want = wxvSample(saved.graphs[g].samples[(f + saved.writeIndex + 1) % saved.xSize]);
            ASSERT_EQ(read.graphs[g].samples[f], want) << "graph " << g << " frame " << f;
        }
    }
}

TEST_F(WxvTest, WritingRefusesPlotsItCannotDescribe) {
    const struct {
        const char* name;
        std::function<void(PlotModel&)> set;
        std::int32_t result;
    } rows[] = {
        {"no sampling rate", [](PlotModel& m) { m.samplingRate = 0; }, -2},
        {"no graphs", [](PlotModel& m) { m.graphs.clear(); }, -1},
        {"rate beyond the header field", [](PlotModel& m) { m.samplingRate = 3000000000u; }, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PlotModel model;
        model.samplingRate = 1000;
        model.addGraph("");
        row.set(model);
        EXPECT_EQ(writeWxv(model, dir.path("refused.wxv").c_str()), row.result);
        EXPECT_EQ(dir.entryCount(), 0u);
    }
}

TEST_F(WxvTest, HeaderCheckCoversEveryField) {
    PlotModel model;
    model.samplingRate = 8000;
    model.setXSize(11);
    for (int g = 0; g < 3; ++g) model.addGraph("");
    const std::optional<WxvHeader> made = wxvHeaderFor(model);
    ASSERT_TRUE(made);
    EXPECT_TRUE(wxvHeaderValid(*made));
    EXPECT_EQ(made->byteRate, 48000);
    EXPECT_EQ(made->dataSize, 30);

    const int32_t big = std::numeric_limits<std::int32_t>::max();
    const struct {
        const char* name;
        std::function<void(WxvHeader&)> spoil;
    } rows[] = {
        {"RIFF tag", [](WxvHeader& h) { h.riff = "RIFX"; }},
        {"RIFF size", [](WxvHeader& h) { ++h.riffSize; }},
        {"WAVE tag", [](WxvHeader& h) { h.wave = "wave"; }},
        {"format tag", [](WxvHeader& h) { h.format = "fmt "; }},
        {"format size", [](WxvHeader& h) { h.formatSize = 16; }},
        {"sample format", [](WxvHeader& h) { h.sampleFormat = 3; }},
        {"byte rate", [](WxvHeader& h) { ++h.byteRate; }},
        {"block align", [](WxvHeader& h) { ++h.blockAlign; }},
        {"bits per sample", [](WxvHeader& h) { h.bitsPerSample = 8; }},
        {"data tag", [](WxvHeader& h) { h.data = "DATA"; }},
        {"products beyond 32 bits",
         [big](WxvHeader& h) { h.channels = h.samplingRate = h.bitsPerSample = big; }},
        {"data size at the top", [big](WxvHeader& h) { h.dataSize = big; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WxvHeader h = *made;
        row.spoil(h);
        EXPECT_FALSE(wxvHeaderValid(h));
    }
}

TEST_F(WxvTest, OnlyTheExactEndingAfterAName) {
    for (const char* name : {"a.wxv", "/x/.wxv.wxv"}) EXPECT_TRUE(hasWxvEnding(name)) << name;
    for (const char* name : {".wxv", "a.WXV", "a.wxv ", "a.wx", ""}) EXPECT_FALSE(hasWxvEnding(name)) << name;
}

}  // namespace
