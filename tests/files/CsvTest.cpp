#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/Csv.h"
#include "files/NumberText.h"
#include "files/PlotFile.h"
#include "model/ParseReal.h"
#include "model/PlotModel.h"
#include "tests/support/TempDir.h"

namespace {

// A model as Open File or Merge File reads into: an extendable X axis.
PlotModel readingModel() {
    PlotModel model;
    model.fixedXAxis = false;
    return model;
}

void storeLine(PlotModel& model, std::initializer_list<double> values) {
    unsigned g = 0;
    for (double v : values) model.storeSample(g++, v);
    model.advance();
}

std::vector<double> firstSlots(const Graph& graph, std::size_t count) {
    return std::vector<double>(graph.samples.begin(),
                               graph.samples.begin() + static_cast<std::ptrdiff_t>(count));
}

// The stored values of a graph in ring order, oldest first, as the writers put them.
std::vector<double> ringOrder(const PlotModel& model, unsigned graph) {
    std::vector<double> values;
    for (std::uint32_t f = 0; f + 1 < model.xSize; ++f) {
        values.push_back(model.graphs[graph].samples[(f + model.writeIndex + 1) % model.xSize]);
    }
    return values;
}

double sixDigits(double value) {
    std::string text;
    appendReal(text, value);
    return parseReal(text.c_str());
}

class CsvTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }
    TempDir dir;
};

TEST_F(CsvTest, WritesQuotedTitlesAndTheRowsInRingOrder) {
    PlotModel model;
    model.setXSize(10);
    model.addGraph("a, b");
    model.addGraph("say \"hi\"");
    storeLine(model, {1, 10});
    storeLine(model, {2.5, -20});
    storeLine(model, {1234567, 0.00001});
    const std::string name = dir.path("plot.csv");
    ASSERT_EQ(saveFile(model, name.c_str(), name), 0);
    EXPECT_EQ(readWholeFile(name),
              "sample,\"a, b\",\"say \"\"hi\"\"\"\n"
              "0,0,0\n1,0,0\n2,0,0\n3,0,0\n4,0,0\n5,0,0\n"
              "6,1,10\n7,2.5,-20\n8,1.23457e+06,1e-05\n");

    // The ending is matched exactly, as for WXV: capitals write PLT.
    const std::string capitals = dir.path("plot.CSV");
    ASSERT_EQ(saveFile(model, capitals.c_str(), capitals), 0);
    EXPECT_EQ(readWholeFile(capitals).rfind("#$", 0), 0u);

    PlotModel empty;
    const std::string nothing = dir.path("nothing.csv");
    EXPECT_EQ(saveFile(empty, nothing.c_str(), nothing), -1);
    EXPECT_EQ(dir.entryCount(), 2u);
}

TEST_F(CsvTest, SaveThenOpenGivesTheSameTitlesAndValues) {
    PlotModel model;
    model.setXSize(20);
    const std::vector<std::string> titles = {"plain", "comma, inside", "quote \" inside", "semi;colon\ttab"};
    for (const std::string& t : titles) model.addGraph(t);
    for (int i = 0; i < 25; ++i) {  // wraps the ring
        storeLine(model, {i * 3.14159265, -i * 1234567.0, i * 0.00001234, i % 2 == 0 ? 0.5 : -7.0});
    }
    const std::string name = dir.path("round.csv");
    ASSERT_EQ(saveFile(model, name.c_str(), name), 0);

    PlotModel back = readingModel();
    ASSERT_TRUE(readPlotFile(back, name.c_str(), name));
    ASSERT_EQ(back.graphs.size(), titles.size());
    for (unsigned g = 0; g < titles.size(); ++g) {
        SCOPED_TRACE(titles[g]);
        EXPECT_EQ(back.graphs[g].title, titles[g]);
        std::vector<double> expected = ringOrder(model, g);
        for (double& v : expected) v = sixDigits(v);
        EXPECT_EQ(firstSlots(back.graphs[g], expected.size()), expected);
    }
    EXPECT_EQ(back.xSize, model.xSize) << "the axis holds the rows, as when saved";
    EXPECT_EQ(back.writeIndex, model.xSize - 1);
    const std::string again = dir.path("again.csv");
    ASSERT_EQ(saveFile(back, again.c_str(), again), 0);
    EXPECT_EQ(readWholeFile(again), readWholeFile(name)) << "saving what was read writes the same file";
}

TEST_F(CsvTest, ReadsSeparatorsHeadersAndRaggedRows) {
    const struct {
        const char* name;
        const char* text;
        bool result;
        std::vector<std::string> titles;         // empty: default titles
        std::vector<std::vector<double>> slots;  // per graph, from slot 0
        std::uint32_t writeIndex;
    } rows[] = {
        {"semicolon, decimal commas",
         "sample;x;y\n0;1,5;2\n1;3;-4,25\n",
         true,
         {"x", "y"},
         {{1.5, 3}, {2, -4.25}},
         2},
        {"tab, no header", "1\t2\n3\t4.5\n", true, {}, {{1, 3}, {2, 4.5}}, 2},
        {"comma, CRLF, blank line", "1,2\r\n\r\n3,4\r\n", true, {}, {{1, 3}, {2, 4}}, 2},
        {"byte order mark", "\xEF\xBB\xBFsample,a\n0,1\n", true, {"a"}, {{1}}, 1},
        {"blank lines before the header", "\n \nsample;x\n0;1,5\n", true, {"x"}, {{1.5}}, 1},
        {"header without a sample column", "a,b\n1,2\n", true, {"a", "b"}, {{1}, {2}}, 1},
        {"Sample column in capitals", "Sample,v\n0,7\n1,8\n", true, {"v"}, {{7, 8}}, 2},
        {"quoted title over two lines",
         "\"multi\nline\",\"b;c\"\n1,2\n",
         true,
         {"multi\nline", "b;c"},
         {{1}, {2}},
         1},
        {"ragged rows",
         "a,b,c\n1\n2,3\n4,5,6,7\n,8\n",
         true,
         {"a", "b", "c"},
         {{1, 2, 4, 0}, {0, 3, 5, 8}, {0, 0, 6, 0}},
         4},
        {"unclosed quote swallows the rest", "a,\"b\n1,2\n", false, {}, {}, 0},
        {"empty file", "", true, {}, {{0}}, 0},
        {"header only", "sample,a\n", true, {"a"}, {{0}}, 0},
        {"text in a data row", "a,b\n1,2\n3,x\n5,6\n", false, {"a", "b"}, {{1, 0}, {2, 0}}, 1},
        {"number followed by text", "1,2\n3,4abc\n", false, {}, {{1, 0}, {2, 0}}, 1},
        {"binary garbage", "\x01\xff\xfe,\x80\n\x02\x03zz\n", false, {}, {{0}, {0}}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string name = dir.path("in.csv");
        writeWholeFile(name, row.text);
        PlotModel model = readingModel();
        EXPECT_EQ(readPlotFile(model, name.c_str(), name), row.result);
        ASSERT_EQ(model.graphs.size(), row.slots.size());
        for (std::size_t g = 0; g < row.slots.size(); ++g) {
            if (!row.titles.empty()) {
                EXPECT_EQ(model.graphs[g].title, row.titles[g]);
            }
            EXPECT_EQ(firstSlots(model.graphs[g], row.slots[g].size()), row.slots[g]) << "graph " << g;
        }
        EXPECT_EQ(model.writeIndex, row.writeIndex);
    }
    PlotModel model = readingModel();
    EXPECT_FALSE(readCsv(model, dir.path("missing.csv").c_str()));
}

TEST_F(CsvTest, TakesAtMost64GraphsAndEveryRow) {
    std::string text;
    for (int c = 0; c < 70; ++c) text += (c ? "," : "") + std::to_string(c);
    text += '\n';
    for (int r = 1; r < 300; ++r) text += std::to_string(r) + "\n";
    const std::string name = dir.path("wide.csv");
    writeWholeFile(name, text);
    PlotModel model = readingModel();
    model.maxXSize = 100;  // the file's rows lift the limit so that none is overwritten
    ASSERT_TRUE(readCsv(model, name.c_str()));
    ASSERT_EQ(model.graphs.size(), maxGraphs);
    EXPECT_EQ(model.graphs[63].samples[0], 63);
    EXPECT_EQ(model.writeIndex, 300u);
    EXPECT_EQ(model.graphs[0].samples[299], 299);
    EXPECT_EQ(model.graphs[1].samples[299], 0);
}

TEST(CsvSplitTest, QuotesSeparatorsAndOpenQuotes) {
    bool open = false;
    EXPECT_EQ(splitCsvRecord("a,\"b,c\",\"d\"\"e\",", ',', &open),
              (std::vector<std::string>{"a", "b,c", "d\"e", ""}));
    EXPECT_FALSE(open);
    splitCsvRecord("a,\"b", ',', &open);
    EXPECT_TRUE(open);
    EXPECT_EQ(csvSeparator("\"x,y\";z"), ';');
    EXPECT_EQ(csvSeparator("a;b\tc,d"), '\t');
    EXPECT_EQ(csvSeparator("1,5"), ',');
    EXPECT_EQ(csvSeparator("\"a\tb\",c"), ',');
}

}  // namespace
