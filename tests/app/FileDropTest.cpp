// Plot files dropped onto the main window: which of the dropped locations are taken, and how they
// reach the plot with and without Ctrl.
#include "app/FileDrop.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "tests/app/GuiTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<std::string> titlesOf(const GraphData& graph) {
    std::vector<std::string> titles;
    for (const Graph& g : graph.model.graphs) titles.push_back(g.title);
    return titles;
}

TEST(FileDrop, TakesTheLocalPlotFilesInTheirOrder) {
    const std::string uris[] = {
        "file:///data/run1.plt",         "file:///data/notes.txt", "file:///data/RUN2.WXV",
        "http://example.org/x.plt",      "file:///data/c.csv",     "file:///data.plt/readme",
        "file:///data/%C3%A9t%C3%A9.plt"};
    std::vector<const char*> list;
    for (const std::string& uri : uris) list.push_back(uri.c_str());
    list.push_back(nullptr);
    const std::vector<std::string> expected = {"/data/run1.plt", "/data/RUN2.WXV", "/data/c.csv",
                                               "/data/\u00e9t\u00e9.plt"};
    EXPECT_EQ(droppedPlotFiles(list.data()), expected);
    EXPECT_TRUE(droppedPlotFiles(nullptr).empty());
}

TEST(FileDrop, TheWindowTakesDroppedFileLists) {
    MainWindowFixture fixture;
    GtkTargetList* targets = gtk_drag_dest_get_target_list(fixture.graph.mainWindow);
    ASSERT_NE(targets, nullptr);
    guint info = 0;
    EXPECT_TRUE(gtk_target_list_find(targets, gdk_atom_intern_static_string("text/uri-list"), &info));
}

// Without Ctrl the first file replaces the plot and the others are merged into it, as when they are
// named on the command line; with Ctrl every one is merged into the plot shown.
TEST(FileDrop, OpensTheFirstAndMergesTheRestOrMergesAllWithControl) {
    TempDir folder;
    ASSERT_TRUE(folder.ok());
    const std::vector<std::string> names = {folder.write("a.plt", "#$ -t a\n1\n2\n"),
                                            folder.write("b.csv", "b\n3\n4\n"),
                                            folder.write("c.plt", "#$ -t c\n5\n6\n")};
    const struct {
        bool control;
        std::vector<std::string> titles;
    } rows[] = {{false, {"a", "b", "c"}}, {true, {"old", "a", "b", "c"}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.control);
        MainWindowFixture fixture;
        GraphData& graph = fixture.graph;
        graph.model.processLine("#$ -t old");
        graph.model.processLine("9");
        DialogScript script;  // any message would be cancelled, and counted
        openDroppedFiles(graph, names, row.control);
        drainEvents();
        EXPECT_EQ(script.answered, 0);
        EXPECT_EQ(titlesOf(graph), row.titles);
        const std::string title = gtk_window_get_title(GTK_WINDOW(graph.mainWindow));
        EXPECT_EQ(title, row.control ? "Kivrel" : "Kivrel: [" + names[0] + "]");
    }
}

}  // namespace
