// Eval Expr through its real dialog: the test types into the entries and presses Enter.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/EvalExpression.h"
#include "app/OpenInput.h"
#include "files/PlotFile.h"
#include "input/FileName.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

// Fills the Expr, XMin and XMax entries and activates the first, as pressing Enter would.
std::function<void(GtkDialog*)> typeAndEnter(std::string expression, std::string xMin = "",
                                             std::string xMax = "", bool* focusedFirst = nullptr) {
    return [=](GtkDialog* dialog) {
        const std::vector<GtkWidget*> entries = widgetsOf(GTK_WIDGET(dialog), GTK_TYPE_ENTRY);
        ASSERT_EQ(entries.size(), 3u);
        if (focusedFirst) *focusedFirst = gtk_window_get_focus(GTK_WINDOW(dialog)) == entries[0];
        gtk_entry_set_text(GTK_ENTRY(entries[0]), expression.c_str());
        gtk_entry_set_text(GTK_ENTRY(entries[1]), xMin.c_str());
        gtk_entry_set_text(GTK_ENTRY(entries[2]), xMax.c_str());
        g_signal_emit_by_name(entries[0], "activate");
    };
}

class EvalExpressionDialog : public ::testing::Test {
  protected:
    void evalMenuItem() {
        GtkWidget* item = gtk_menu_item_new();
        g_object_ref_sink(item);
        onEvalExpression(GTK_MENU_ITEM(item), &graph.io);
        g_object_unref(item);
        drainEvents();
    }
    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    DialogScript script;
};

TEST_F(EvalExpressionDialog, EnterEvaluatesIntoANewGraph) {
    bool focusedFirst = false;
    script.then(typeAndEnter("x", "", "", &focusedFirst));
    evalMenuItem();
    EXPECT_TRUE(focusedFirst) << "the dialog opens with the focus in Expr";
    ASSERT_EQ(graph.model.graphs.size(), 1u);
    EXPECT_EQ(graph.model.graphs[0].title, "x");
    EXPECT_EQ(graph.model.graphs[0].samples[608], 608);
    EXPECT_TRUE(graph.io.playing);

    script.then(typeAndEnter("sin(x)", "0", "2*pi"));
    evalMenuItem();
    ASSERT_EQ(graph.model.graphs.size(), 2u);
    const Display& d = graph.model.displays[graph.model.graphs[1].display];
    EXPECT_EQ(d.xScaleSize, 609u);
    EXPECT_NEAR(d.xScaleMax, 6.283185, 1e-6);
}

TEST_F(EvalExpressionDialog, SyntaxErrorIsShownAndThePlotStays) {
    std::string message;
    script.then(typeAndEnter("(1+2"));
    script.then(recordMessage(message));
    evalMenuItem();
    EXPECT_EQ(message, "Expression Error\n(1+2");
    EXPECT_TRUE(graph.model.graphs.empty());
}

TEST_F(EvalExpressionDialog, CancelAndEmptyExpressionDoNothing) {
    script.then([](GtkDialog* dialog) { gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL); });
    script.then(typeAndEnter(""));
    evalMenuItem();
    evalMenuItem();
    EXPECT_EQ(script.answered, 2);
    EXPECT_TRUE(graph.model.graphs.empty());
}

// Column `column` of the data lines of a saved plot file.
std::vector<double> savedColumn(const std::string& path, unsigned column) {
    std::vector<double> values;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        double value = 0;
        for (unsigned c = 0; c <= column && fields >> value; ++c) {
        }
        values.push_back(value);
    }
    return values;
}

TEST_F(EvalExpressionDialog, EvalAndMergeDuringAStreamKeepTheSavedLinesInOrder) {
    // A counter streams in, Eval Expr "x" and Merge File add graphs, and the counter goes on: the
    // saved file holds the counter's lines as they arrived, and the expression reads 0, 1, 2, ...
    TempDir folder;
    const std::string merged = folder.write("merged.plt", "1000001\n1000002\n1000003\n");
    for (const bool fixed : {true, false}) {
        SCOPED_TRACE(fixed ? "ring" : "extendable axis");
        graph.model.clear();
        graph.model.fixedXAxis = fixed;
        const int received = fixed ? 891 : 300, total = received + 9;
        for (int line = 1; line <= received; ++line) graph.model.processLine(std::to_string(line).c_str());
        script.then(typeAndEnter("x"));
        evalMenuItem();
        FileName name;
        name.setFromUtf8(merged.c_str());
        ASSERT_TRUE(mergePlotFile(name, graph.io));
        ASSERT_EQ(graph.model.graphs.size(), 3u);
        const std::string before = folder.path("before.plt");
        ASSERT_EQ(saveFile(graph.model, before.c_str(), before), 0);
        const std::vector<double> evaluated = savedColumn(before, 1);
        for (std::size_t k = 0; k < evaluated.size(); ++k) ASSERT_EQ(evaluated[k], k) << k;

        for (int line = received + 1; line <= total; ++line)
            graph.model.processLine(std::to_string(line).c_str());
        const std::string after = folder.path("after.plt");
        ASSERT_EQ(saveFile(graph.model, after.c_str(), after), 0);
        const std::vector<double> counter = savedColumn(after, 0);
        // The ring (610 slots) saves its last 609 lines; the axis not yet full all of them, after the
        // zeros of the slots no line has reached.
        const int first = fixed ? total - 608 : 1;
        ASSERT_EQ(counter.size(), 609u);
        const std::size_t unused = counter.size() - static_cast<std::size_t>(total - first + 1);
        for (std::size_t k = 0; k < counter.size(); ++k) {
            ASSERT_EQ(counter[k], k < unused ? 0.0 : first + static_cast<double>(k - unused)) << k;
        }
    }
}

}  // namespace
