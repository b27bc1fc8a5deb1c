// One whole working session in one real window, driven as a person would through accelerators,
// menu items and dialogs: open a plot file, record a backup, stream standard input, pause and play,
// save, export, evaluate an expression, configure, reach the end of input, open it again, send it
// binary garbage and quit while it streams. It runs under AddressSanitizer with the GUI tests and, in a build
// without sanitizers, under valgrind's memcheck (tools/valgrind.sh), so that every invalid access or leak of
// ours along the way fails it.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "input/Backup.h"
#include "tests/app/ChooserSteps.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/input/InputTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

// The menu item labelled label anywhere in the window's menus, submenus included.
GtkWidget* findMenuItem(GtkWidget* root, const std::string& label) {
    for (GtkWidget* item : widgetsOf(root, GTK_TYPE_MENU_ITEM)) {
        const char* text = gtk_menu_item_get_label(GTK_MENU_ITEM(item));
        if (text && label == text) return item;
        if (GtkWidget* submenu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(item))) {
            if (GtkWidget* found = findMenuItem(submenu, label)) return found;
        }
    }
    return nullptr;
}

// count data lines of three columns, numbered from first.
std::string dataLines(int first, int count) {
    std::string out;
    for (int i = first; i < first + count; ++i) {
        out += std::to_string(i) + " " + std::to_string(i % 17) + " -" + std::to_string(i % 5) + "\n";
    }
    return out;
}

std::function<void(GtkDialog*)> typeExpression(const std::string& expression) {
    return [expression](GtkDialog* dialog) {
        const std::vector<GtkWidget*> entries = widgetsOf(GTK_WIDGET(dialog), GTK_TYPE_ENTRY);
        ASSERT_EQ(entries.size(), 3u);
        gtk_entry_set_text(GTK_ENTRY(entries[0]), expression.c_str());
        g_signal_emit_by_name(entries[0], "activate");  // Enter
    };
}

// The value graph last received (the slot before the write position, in the ring).
double lastValue(const PlotModel& model, std::size_t graph) {
    return model.graphs[graph].samples[(model.writeIndex + model.xSize - 1) % model.xSize];
}

TEST(GuiSession, AWholeSessionInOneWindow) {
    TempDir temporary;
    ASSERT_TRUE(temporary.ok());
    const std::string folder = temporary.folder();
    const std::string start = temporary.path("start.plt");
    writeWholeFile(start, "#$ -t first -t second\n1 2\n3 4\n5 6\n");

    MainWindowFixture fixture;
    GraphData& graph = fixture.graph;
    PlotModel& model = graph.model;
    DialogScript script;

    // Open File.
    script.then(pickFile(start));
    pressControl(graph, GDK_KEY_o);
    runUntil([&] { return script.answered == 1 && !model.graphs.empty(); });
    ASSERT_EQ(model.graphs.size(), 2u);
    EXPECT_EQ(model.graphs[1].title, "second");
    EXPECT_EQ(graph.io.currentInputName, start);

    // Backup Device: what arrives from now on is recorded.
    const std::string backup = temporary.path("received.plt");
    script.then(saveInto(backup));
    pressControl(graph, GDK_KEY_b);
    ASSERT_NE(graph.io.backupChannel, nullptr);

    // Open Device > Standard Input, then a stream.
    PipedStandardInput input;
    fcntl(input.writer, F_SETFL, fcntl(input.writer, F_GETFL) | O_NONBLOCK);  // written while the loop runs
    // The File menu fills its Open Device submenu as it opens.
    gtk_menu_item_activate(GTK_MENU_ITEM(findMenuItem(graph.mainWindow, "_File")));
    GtkWidget* standardInput = findMenuItem(graph.mainWindow, "Standard Input");
    ASSERT_NE(standardInput, nullptr);
    gtk_menu_item_activate(GTK_MENU_ITEM(standardInput));
    ASSERT_EQ(graph.io.inputKind, InputKind::standardInput);
    EXPECT_TRUE(model.graphs.empty()) << "opening an input starts a new plot";
    const int streamed = 3000;
    writeWhileRunning(input.writer, "#>session\n" + dataLines(0, streamed));
    runUntil([&] { return graph.io.linesHandedOn == streamed + 1u; });
    ASSERT_EQ(model.graphs.size(), 3u);
    EXPECT_EQ(model.generalTitle, "session");

    // Pause: what arrives waits; Play hands it on.
    pressControl(graph, GDK_KEY_p);
    ASSERT_FALSE(graph.io.playing);
    const std::string whilePaused = dataLines(streamed, 200);
    writeWhileRunning(input.writer, whilePaused);
    runUntil([&] { return graph.io.pausedInput.size() == whilePaused.size(); });
    EXPECT_EQ(graph.io.linesHandedOn, streamed + 1u) << "nothing is plotted while paused";
    pressControl(graph, GDK_KEY_p);
    runUntil([&] { return graph.io.linesHandedOn == streamed + 201u; });

    // Save, then Export as SVG and as PDF.
    script.then(saveInto(temporary.path("run")));
    pressControl(graph, GDK_KEY_s);
    const std::string saved = readWholeFile(temporary.path("run.plt"));
    EXPECT_EQ(saved.rfind("#", 0), 0u);
    EXPECT_EQ(graph.io.lastSavedPlotName, temporary.path("run.plt"));
    EXPECT_TRUE(graph.io.playing) << "Save resumes the input it paused";
    script.then(saveInto(temporary.path("picture.svg")));
    pressControl(graph, GDK_KEY_x);
    EXPECT_NE(readWholeFile(temporary.path("picture.svg")).find("<svg"), std::string::npos);
    script.then(saveInto(temporary.path("picture.pdf")));
    pressControl(graph, GDK_KEY_x);
    EXPECT_EQ(readWholeFile(temporary.path("picture.pdf")).rfind("%PDF", 0), 0u);

    // Eval Expr adds a graph.
    script.then(typeExpression("sin(x/10)"));
    pressControl(graph, GDK_KEY_e);
    ASSERT_EQ(model.graphs.size(), 4u);
    EXPECT_EQ(model.graphs[3].title, "sin(x/10)");

    // Configure: a field typed and saved with the configuration, then loaded back.
    pressControl(graph, GDK_KEY_c);
    ASSERT_NE(graph.conf.dialog, nullptr);
    ASSERT_FALSE(graph.conf.titleEntries.empty());
    gtk_entry_set_text(GTK_ENTRY(graph.conf.titleEntries[0]), "renamed");
    const std::string layout = temporary.path("layout.cfg");
    script.then(saveInto(layout));
    gtk_dialog_response(GTK_DIALOG(graph.conf.dialog), 2);  // Save
    drainEvents();
    EXPECT_EQ(graph.conf.dialog, nullptr);
    EXPECT_EQ(model.graphs[0].title, "renamed");
    model.graphs[0].title = "changed";
    pressControl(graph, GDK_KEY_c);
    ASSERT_NE(graph.conf.dialog, nullptr);
    script.then(pickFile(layout));
    gtk_dialog_response(GTK_DIALOG(graph.conf.dialog), 1);  // Load
    runUntil([&] { return graph.conf.dialog == nullptr; });
    EXPECT_EQ(graph.conf.lastConfigFile, layout);
    EXPECT_EQ(model.graphs[0].title, "renamed");

    // End of input: the last line has no line feed; the plot stays.
    writeWhileRunning(input.writer, "7 8 9");
    input.closeWriter();
    runUntil([&] { return graph.io.inputChannel == nullptr; });
    ASSERT_EQ(model.graphs.size(), 4u);
    EXPECT_EQ(lastValue(model, 2), 9.0) << "the unfinished last line is handed on at the end";

    // Standard input again, and Quit while it streams.
    PipedStandardInput second;
    fcntl(second.writer, F_SETFL, fcntl(second.writer, F_GETFL) | O_NONBLOCK);
    gtk_menu_item_activate(GTK_MENU_ITEM(standardInput));
    ASSERT_EQ(graph.io.inputKind, InputKind::standardInput);
    // Binary garbage first (without '#', so that no option line changes the plot), then lines.
    std::string garbage = binaryGarbage(256u << 10);
    std::replace(garbage.begin(), garbage.end(), '#', '!');
    const std::string afterGarbage = dataLines(1000000, 100);
    writeWhileRunning(second.writer, garbage + "\n" + afterGarbage + "1 2");
    runUntil([&] { return !model.graphs.empty() && lastValue(model, 0) == 1000099.0; });
    EXPECT_EQ(script.answered, 8) << "every scripted dialog came";
    EXPECT_TRUE(script.steps.empty());
    g_idle_add(
        [](gpointer data) -> gboolean {
            pressControl(*static_cast<GraphData*>(data), GDK_KEY_q);
            return G_SOURCE_REMOVE;
        },
        &graph);
    gtk_main();  // Ctrl+Q ends it

    // What the program does after its main loop: input and backup closed.
    closeInput(graph.io);
    closeBackup(graph.io);
    EXPECT_EQ(graph.io.inputWatch, nullptr);
    const std::string recorded = readWholeFile(backup);
    const std::string firstInput = "#>session\n" + dataLines(0, streamed + 200) + "7 8 9\n";
    EXPECT_EQ(recorded.substr(0, firstInput.size()), firstInput) << "every line of the first input, in order";
    ASSERT_GE(recorded.size(), firstInput.size() + afterGarbage.size());
    EXPECT_EQ(recorded.substr(recorded.size() - afterGarbage.size()), afterGarbage)
        << "the lines after the garbage";
}

}  // namespace
