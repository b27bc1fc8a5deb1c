#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "model/LineHint.h"
#include "model/PlotModel.h"
#include "tests/support/CommaLocale.h"
#include "tests/support/ProcessSettings.h"

namespace {

// The values of the newest line, one per graph.
std::vector<double> newestValues(const PlotModel& model) {
    std::vector<double> out;
    const std::uint32_t slot = (model.writeIndex + model.xSize - 1) % model.xSize;
    for (const Graph& g : model.graphs) out.push_back(g.samples[slot]);
    return out;
}

struct Tokens {
    const char* line;
    std::vector<double> columns;  // empty: the line is ignored and the position stays
};

void expectColumns(const std::vector<Tokens>& rows) {
    for (const Tokens& row : rows) {
        SCOPED_TRACE(row.line);
        PlotModel model;
        model.processLine(row.line);
        EXPECT_EQ(model.graphs.size(), row.columns.size());
        EXPECT_EQ(model.writeIndex, row.columns.empty() ? 0u : 1u);
        if (!row.columns.empty()) {
            EXPECT_EQ(newestValues(model), row.columns);
        }
    }
}

TEST(DataLine, SplitsWordsIntoNumberColumns) {
    expectColumns({
        {"1 2 3", {1, 2, 3}},
        {"  5   -6\t7 ", {5, -6, 7}},
        {"1\v2\f3\r", {1, 2, 3}},
        {"5 abc 6", {5, 6}},
        {"5 # 6 7", {5}},
        {"5 #6", {5}},
        {"- -x +3 .5 -.5 nan inf -3", {-3}},
        {"3e2 0x10 12abc -0", {300, 16, 12, 0}},
        {"1.25 2.5", {1.25, 2.5}},
        {"", {}},
        {"# just a comment", {}},
        {"hello world", {}},
        {"\r5", {}},
        {"\n5", {}},
    });
}

TEST(DataLine, ReadsPointAndCommaUnderADecimalCommaLocale) {
    CommaLocale comma;
    if (!comma.active) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    expectColumns({
        {"1.25 2,5 -0.5e1", {1.25, 2.5, -5}},
        {("0." + std::string(300, '0') + "1 7").c_str(), {1e-301, 7}},
    });
}

TEST(DataLine, ColumnsCreateGraphsWithDefaultTitles) {
    PlotModel model;
    model.sourceName = "data";
    model.processLine("1 2 3");
    ASSERT_EQ(model.graphs.size(), 3u);
    EXPECT_EQ(model.graphs[0].title, "data_0");
    EXPECT_EQ(model.graphs[2].title, "data_2");
    model.processLine("4 5 6 7");
    EXPECT_EQ(model.graphs[3].title, "data_3");
    EXPECT_EQ(model.graphs[3].samples[0], 0.0);  // the new graph starts with zeros
    EXPECT_EQ(model.graphs[3].samples[1], 7.0);
    EXPECT_EQ(model.writeIndex, 2u);
}

int beeps = 0;
void countBeep() {
    ++beeps;
}

TEST(DataLine, MissingColumnsGetZeroUnlessAPlotWasMergedIn) {
    const ProcessSettingsGuard settings;
    beepFunction = countBeep;
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        PlotModel model;
        model.processLine("1 2 -3");
        model.graphs[2].samples[1] = 9.0;
        model.graphs[2].beep = true;  // its maximum is still 0, so a stored 0 rings
        model.keepMissingColumns = keep;
        beeps = 0;
        model.processLine("1 2");
        EXPECT_EQ(model.graphs[2].samples[1], keep ? 9.0 : 0.0);
        EXPECT_EQ(beeps, keep ? 0 : 1);
        EXPECT_EQ(model.writeIndex, 2u);
    }
}

TEST(DataLine, ColumnsBeyondTheGraphLimitAreDropped) {
    PlotModel model;
    std::string line;
    for (int c = 1; c <= 65; ++c) line += std::to_string(c) + " ";
    model.processLine(line.c_str());
    model.processLine(line.c_str());
    ASSERT_EQ(model.graphs.size(), maxGraphs);
    EXPECT_EQ(model.graphs[63].samples[1], 64.0);
    EXPECT_EQ(model.graphs[0].samples[1], 1.0);
    EXPECT_EQ(model.writeIndex, 2u);
}

TEST(DataLine, OverflowingValuesAreStoredButKeepRangesFinite) {
    PlotModel model;
    model.processLine("1e999 -1e999 2");
    model.processLine("3 -1 1e999");
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(model.graphs[0].samples[0], inf);
    EXPECT_EQ(model.graphs[1].samples[0], -inf);
    EXPECT_EQ(model.graphs[2].samples[1], inf);
    // The finite values still set the extremes and widen the ranges.
    EXPECT_EQ(model.graphs[0].maxValue, 3.0);
    EXPECT_EQ(model.graphs[1].minValue, -1.0);
    model.recomputeAllYRanges();
    // Each graph received one finite value, which its display's range holds.
    const double finite[] = {3.0, -1.0, 2.0};
    for (unsigned d = 0; d < 3; ++d) {
        const Display& display = model.displays[d];
        EXPECT_TRUE(std::isfinite(display.yMin) && std::isfinite(display.yMax));
        EXPECT_LT(display.yMin, finite[d]);
        EXPECT_GT(display.yMax, finite[d]);
    }
}

TEST(DataLine, LinesStartingWithHashAreOptionLines) {
    PlotModel model;
    model.processLine("#> Plot of 1 2 3");
    model.processLine("#$ -t volts");
    model.processLine("#~ 4 5");
    EXPECT_EQ(model.generalTitle, "Plot of 1 2 3");
    ASSERT_EQ(model.graphs.size(), 1u);
    EXPECT_EQ(model.graphs[0].title, "volts");
    EXPECT_EQ(model.writeIndex, 0u);
}

TEST(LoadTextFile, ReadsLinesEndingInCarriageReturnAndLineFeed) {
    PlotModel model;
    ASSERT_TRUE(model.loadTextFile(KIVREL_TEST_DATA "/model/crlf-line-ends.plt"));
    EXPECT_EQ(model.generalTitle, "Two sensors");
    ASSERT_EQ(model.graphs.size(), 2u);
    EXPECT_EQ(model.graphs[0].title, "left");
    EXPECT_EQ(model.graphs[1].title, "right");
    EXPECT_EQ(model.xSize, 101u);
    EXPECT_EQ(model.writeIndex, 3u);                            // the empty line between is skipped
    const double expected[3][2] = {{1.5, -2}, {3, 4}, {5, 6}};  // the last line has no line feed
    for (unsigned s = 0; s < 3; ++s) {
        EXPECT_EQ(model.graphs[0].samples[s], expected[s][0]);
        EXPECT_EQ(model.graphs[1].samples[s], expected[s][1]);
    }
}

TEST(LoadTextFile, FailsOnlyWhenTheFileCannotBeOpened) {
    PlotModel model;
    EXPECT_FALSE(model.loadTextFile(KIVREL_TEST_DATA "/model/no-such-file.plt"));
    EXPECT_FALSE(model.loadTextFile(KIVREL_TEST_DATA "/model"));  // a directory is no plot file
    EXPECT_TRUE(model.loadTextFile(KIVREL_TEST_DATA "/model/empty.plt"));
    EXPECT_TRUE(model.graphs.empty());
}

// Streams under -csv and -labels: each row is a stream from a fresh model, the titles it leaves
// and the lines it stored, oldest first, one number per graph ("nan" for a field without one).
struct Stream {
    const char* what;
    bool csv;
    bool labels;
    std::vector<std::string> lines;
    std::vector<std::string> titles;
    std::vector<std::string> stored;
};

std::vector<std::string> storedLines(const PlotModel& model) {
    std::vector<std::string> out;
    for (std::uint32_t slot = 0; slot < model.writeIndex; ++slot) {
        std::string line;
        for (const Graph& g : model.graphs) {
            char number[32];
            const std::to_chars_result end = std::to_chars(number, number + sizeof number, g.samples[slot]);
            line += (line.empty() ? "" : " ") + std::string(number, end.ptr);
        }
        out.push_back(line);
    }
    return out;
}

void expectStreams(const std::vector<Stream>& rows) {
    for (const Stream& row : rows) {
        SCOPED_TRACE(row.what);
        PlotModel model;
        model.commaSeparated = row.csv;
        model.namedValues = row.labels;
        for (const std::string& line : row.lines) model.processLine(line.c_str());
        std::vector<std::string> titles;
        for (const Graph& g : model.graphs) titles.push_back(g.title);
        EXPECT_EQ(titles, row.titles);
        EXPECT_EQ(storedLines(model), row.stored);
    }
}

TEST(FieldLine, CommasAndSemicolonsSeparateFieldsUnderCsv) {
    expectStreams({
        {"a header titles the graphs",
         true,
         false,
         {"time_s,temp_C,humidity_pct", "0.02,25.05,45.0", "0.04,25.1,44.9"},
         {"time_s", "temp_C", "humidity_pct"},
         {"0.02 25.05 45", "0.04 25.1 44.9"}},
        {"quoted names, semicolons and CR LF",
         true,
         false,
         {"\"time (s)\"; \"temp, C\" ;\"\"\r", "1;2\r", " 3 ; 4;\r"},
         {"time (s)", "temp, C"},
         {"1 2", "3 4"}},
        {"a header of words between blanks",
         true,
         false,
         {"time  temp\thum", "1 2 3"},
         {"time", "temp", "hum"},
         {"1 2 3"}},
        {"a header with an empty name leaves its graph's title",
         true,
         false,
         {",b", "1,2"},
         {"_0", "b"},
         {"1 2"}},
        {"empty fields leave their graph unset and shift nothing",
         true,
         false,
         {"1,,3", ",5", ";;2", "7, ,8,", "4,5,6"},
         {"_0", "_1", "_2"},
         {"1 nan 3", "nan 5 0", "nan nan 2", "7 nan 8", "4 5 6"}},
        {"text is a field without a number; blanks separate too",
         true,
         false,
         {"x,1 2", "3,y,4", "5 abc"},
         {"_0", "_1", "_2"},
         {"nan 1 2", "3 nan 4", "5 nan 0"}},
        {"fields without a number past the last graph wait for a number",
         true,
         false,
         {"1", "2,,", "3,,,4"},
         {"_0", "_1", "_2", "_3"},
         {"1 0 0 0", "2 0 0 0", "3 nan nan 4"}},
        {"names only after the first line are no header",
         true,
         false,
         {"1,2", "a,b", "#,3"},
         {"_0", "_1"},
         {"1 2"}},
        {"a comment ends the line; hexadecimal and exponents",
         true,
         false,
         {"0x10,-2e2,1.5 # 4,5"},
         {"_0", "_1", "_2"},
         {"16 -200 1.5"}},
        {"without -csv a comma ends the number",
         false,
         false,
         {"time_s,temp_C", "0.02,25.05,45.0"},
         {"_0"},
         {"0.02"}},
    });
}

TEST(FieldLine, NamedValuesGoToTheGraphOfTheirNameUnderLabels) {
    expectStreams({
        {"pairs with ':' and '=' in any order",
         false,
         true,
         {"temp:25.1 hum:40", "hum=41 temp=25.2\r", "temp:25.3"},
         {"temp", "hum"},
         {"25.1 40", "25.2 41", "25.3 41"}},
        {"one pair per line: a named graph keeps its last value until named again",
         false,
         true,
         {"temp:25", "hum:40", "temp:26"},
         {"temp", "hum"},
         {"25 0", "25 40", "26 40"}},
        {"columns and pairs mixed: columns skip the named graphs",
         false,
         true,
         {"temp:5 7 8", "9 temp:6 10", "11"},
         {"temp", "_1", "_2"},
         {"5 7 8", "6 9 10", "6 11 0"}},
        {"quoted names; an empty name or a value that is no number is no pair",
         false,
         true,
         {"\"temp\":1 \"\":2 x:y 12:30"},
         {"temp", "_1"},
         {"1 12"}},
        {"a name given by -t is found",
         true,
         true,
         {"#$ -t hum", "hum=1;temp=2", "temp=3,,4"},
         {"hum", "temp", "_2", "_3"},
         {"1 2 0 0", "1 3 nan 4"}},
        {"names given by a header are found",
         true,
         true,
         {"temp,hum", "hum=1;temp=2"},
         {"temp", "hum"},
         {"2 1"}},
        {"a decimal point only; the text after a value is ignored",
         true,
         true,
         {"a=1.5V,b:2,5"},
         {"a", "b", "_2"},
         {"1.5 2 5"}},
    });
}

TEST(FieldLine, NamesAndFieldsBeyondTheGraphLimitAreDropped) {
    std::string pairs;
    std::string fields;
    for (int c = 0; c < 70; ++c) {
        pairs += "n" + std::to_string(c) + ":" + std::to_string(c) + " ";
        fields += std::to_string(c) + ",";
    }
    for (const bool csv : {false, true}) {
        SCOPED_TRACE(csv);
        PlotModel model;
        model.commaSeparated = csv;
        model.namedValues = !csv;
        EXPECT_EQ(model.processLine((csv ? fields : pairs).c_str()), 70u);
        ASSERT_EQ(model.graphs.size(), maxGraphs);
        EXPECT_EQ(model.graphs[63].samples[0], 63.0);
        EXPECT_EQ(model.graphs[63].title, csv ? "_63" : "n63");
        EXPECT_EQ(model.writeIndex, 1u);
    }
    PlotModel header;
    header.commaSeparated = true;
    header.processLine(("x" + std::string(70 * 2, ',') + "y").c_str());
    EXPECT_EQ(header.graphs.size(), 1u);  // the name past the limit adds no graphs
}

TEST(FieldLine, UnderADecimalCommaLocaleCsvReadsOnlyPoints) {
    CommaLocale comma;
    if (!comma.active) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    expectStreams({
        {"-csv: commas separate",
         true,
         false,
         {"1,5;2.5", "0x1.8,1e999"},
         {"_0", "_1", "_2"},
         {"1 5 2.5", "1.5 inf 0"}},
        {"-labels alone: a decimal comma as in plain lines",
         false,
         true,
         {"a:1,5 b=2.5"},
         {"a", "b"},
         {"1.5 2.5"}},
        {"plain lines are unchanged", false, false, {"1,5 2.5"}, {"_0", "_1"}, {"1.5 2.5"}},
    });
}

// "-csv" and "-labels" are not read as "-c" (clear the reference lines) and "-l" (add one).
TEST(FieldLine, OptionLinesTurnTheModesOn) {
    PlotModel model;
    model.processLine("#$ -l 5 -csv -labels -l 6");
    EXPECT_TRUE(model.commaSeparated);
    EXPECT_TRUE(model.namedValues);
    EXPECT_EQ(model.displays[0].refLines, (std::vector<double>{5, 6}));
    model.clear();
    EXPECT_TRUE(model.commaSeparated && model.namedValues);  // input settings outlive the plot
}

TEST(FieldLine, TheLineSaysHowManyNumbersItHeld) {
    PlotModel model;
    EXPECT_EQ(model.processLine("1 2 x 3"), 3u);
    EXPECT_EQ(model.processLine("#$ -t a"), 0u);
    EXPECT_EQ(model.processLine("words only"), 0u);
    model.namedValues = true;
    EXPECT_EQ(model.processLine("a:1 2"), 2u);
}

TEST(FieldLine, HintsNameTheLikelyCause) {
    const struct {
        const char* line;
        bool csv;
        bool labels;
        LineHint hint;
    } rows[] = {
        {"0.02,25.05,45.0", false, false, LineHint::commas},
        {"time_s,temp_C,humidity_pct", false, false, LineHint::none},
        {"1;2", false, false, LineHint::commas},
        {"x,1", false, false, LineHint::commas},
        {"1,2", true, false, LineHint::none},
        {"temp:25.1 hum:40", false, false, LineHint::pairs},
        {"temp=25.1,hum=40", false, false, LineHint::pairs},
        {"temp=25.1,hum=40", false, true, LineHint::commas},
        {"temp=25.1,hum=40", true, false, LineHint::pairs},
        {"temp:25.1", false, true, LineHint::none},
        {"T25.3 H40.1", false, false, LineHint::textFirst},
        {"[1.5 2.5]", false, false, LineHint::textFirst},
        {"T25.3,H40", true, false, LineHint::textFirst},
        {"Temperature 25.3", false, false, LineHint::none},
        {"25.3 C", false, false, LineHint::none},
        {"hello, world", false, false, LineHint::none},
        {"5 # 1,2", false, false, LineHint::none},
        {"12:30:45", false, false, LineHint::none},
        {"#$ -t a,1", false, false, LineHint::none},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(dataLineHint(row.line, row.csv, row.labels), row.hint);
    }
    CommaLocale comma;
    if (comma.active) {
        EXPECT_EQ(dataLineHint("1,5", false, false), LineHint::none);  // one number with a decimal comma
        EXPECT_EQ(dataLineHint("0.02,25.05", false, false), LineHint::commas);
    }
}

}  // namespace
