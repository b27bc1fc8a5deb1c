// A file chosen in a file chooser that is deleted before the chooser's answer comes back, through
// the real commands and choosers: Open File, Merge File and loading a configuration.
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "files/Configuration.h"
#include "files/PlotFile.h"
#include "tests/app/ChooserSteps.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

// Everything a plot file or a configuration holds, and the titles.
std::string snapshot(const PlotModel& model) {
    std::ostringstream out;
    writePltOptions(model, out);
    writePltSamples(model, out);
    writeConfiguration(model, out);
    out << model.generalTitle << '|' << model.sourceName;
    return out.str();
}

TEST(VanishedFile, AFileDeletedBeforeTheChooserAnswersIsReportedAndReadsNothing) {
    const struct {
        const char* command;
        const char* file;
    } rows[] = {
        {"Open File", "gone.plt"},
        {"Merge File", "gone.plt"},
        {"Open Configuration File", "gone.cfg"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command);
        TempDir temporary;
        ASSERT_TRUE(temporary.ok());
        const std::string path = temporary.path(row.file);
        writeWholeFile(path,
                       std::string(row.file).find(".cfg") != std::string::npos ? "1\n0\n0\n1\n" : "9 9 9\n");

        MainWindowFixture fixture;
        GraphData& graph = fixture.graph;
        graph.model.processLine("#$ -t left -t right");
        graph.model.processLine("1 2");
        graph.model.processLine("3 4");
        graph.model.generalTitle = "before";
        const std::string before = snapshot(graph.model);

        DialogScript script;
        std::string title;
        std::string message;
        script.then([&](GtkDialog* chooser) {
            title = gtk_window_get_title(GTK_WINDOW(chooser));
            pickFile(path, [&] { ASSERT_EQ(unlink(path.c_str()), 0); })(chooser);
        });
        script.then(recordMessage(message));
        if (std::string(row.command) == "Open Configuration File") {
            pressControl(graph, GDK_KEY_c);
            ASSERT_NE(graph.conf.dialog, nullptr);
            gtk_dialog_response(GTK_DIALOG(graph.conf.dialog), 1);  // Load
        } else {
            pressControl(graph, std::string(row.command) == "Open File" ? GDK_KEY_o : GDK_KEY_m);
        }
        drainEvents();

        EXPECT_EQ(title, row.command) << "the chooser that was answered";
        EXPECT_EQ(script.answered, 2);
        EXPECT_EQ(message, "Error: Failed opening file: " + path);
        EXPECT_EQ(snapshot(graph.model), before) << "the plot is unchanged";
        EXPECT_TRUE(graph.conf.lastConfigFile.empty());
    }
}

}  // namespace
