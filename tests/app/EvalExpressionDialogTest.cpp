// Eval Expr through its real dialog: the test types into the entries and presses Enter.
#include <string>

#include <gtest/gtest.h>

#include "app/EvalExpression.h"
#include "tests/app/GuiTestSupport.h"

namespace {

// Fills the Expr, XMin and XMax entries and activates the first, as pressing Enter would.
std::function<void(GtkDialog*)> typeAndEnter(std::string expression, std::string xMin = "", std::string xMax = "",
                                             bool* focusedFirst = nullptr) {
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

}  // namespace
