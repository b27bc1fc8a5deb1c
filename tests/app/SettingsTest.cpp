// What Kivrel remembers between runs: the key file written and read back, files that cannot be
// used, the window and the choosers using it, and the program itself reading it before its
// command line.
#include "app/Settings.h"

#include <termios.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "app/GraphData.h"
#include "app/MainWindow.h"
#include "input/FileName.h"
#include "tests/app/ChooserSteps.h"
#include "tests/input/RunningKivrel.h"
#include "tests/support/TempDir.h"

namespace {

std::string contentsOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Settings filled with a value in every field.
Settings everyField(const std::string& path) {
    Settings settings;
    settings.path = path;
    settings.windowWidth = 812;
    settings.windowHeight = 505;
    settings.serialDevice = "/dev/serial/by-id/usb-Board 42";
    settings.serialSpeed = 57600;
    settings.choosers.folders = {{"Open File", "/data/runs"}, {"Export to PDF/SVG", "/tmp/out put"}};
    settings.toggles = {{"envelope", true}};
    return settings;
}

void expectStartValues(const Settings& settings) {
    EXPECT_EQ(settings.windowWidth, 0);
    EXPECT_EQ(settings.windowHeight, 0);
    EXPECT_EQ(settings.serialDevice, "");
    EXPECT_EQ(settings.serialSpeed, 0);
    EXPECT_TRUE(settings.choosers.folders.empty());
    EXPECT_TRUE(settings.toggles.empty());
}

TEST(Settings, WrittenThroughATemporaryFileAndReadBack) {
    TempDir home;
    ASSERT_TRUE(home.ok());
    const std::string path = home.path("kivrel/settings");  // the folder is made on the way
    Settings written = everyField(path);
    ASSERT_EQ(writeSettings(written), "");
    EXPECT_EQ(std::filesystem::directory_iterator(home.path("kivrel"))->path().filename(), "settings");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.path("kivrel")),
                            std::filesystem::directory_iterator()),
              1);

    Settings read;
    read.path = path;
    ASSERT_EQ(readSettings(read), "");
    EXPECT_EQ(read.windowWidth, 812);
    EXPECT_EQ(read.windowHeight, 505);
    EXPECT_EQ(read.serialDevice, written.serialDevice);
    EXPECT_EQ(read.serialSpeed, 57600);
    EXPECT_EQ(read.choosers.folders, written.choosers.folders);
    EXPECT_EQ(read.toggles, written.toggles);
    EXPECT_EQ(settingsText(read), contentsOf(path));
}

TEST(Settings, AFileThatCannotBeUsedLeavesTheStartValues) {
    TempDir home;
    ASSERT_TRUE(home.ok());
    const struct {
        const char* name;
        const char* text;  // null: no such file
    } rows[] = {
        {"missing", nullptr},
        {"no key file", "[window\nwidth=800\n"},
        {"width no number", "[window]\nwidth=wide\nheight=400\n[serial]\nspeed=1200\n"},
        {"width zero", "[serial]\nspeed=1200\n[window]\nwidth=0\n"},
        {"negative speed", "[serial]\nspeed=-1\n"},
        {"toggle no boolean", "[serial]\nspeed=1200\n[display]\nenvelope=perhaps\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Settings settings;
        settings.path = row.text ? home.write(row.name, row.text) : home.path(row.name);
        EXPECT_NE(readSettings(settings), "");
        expectStartValues(settings);
    }
    Settings folder;  // a path that is no file
    folder.path = home.folder();
    EXPECT_NE(readSettings(folder), "");
    expectStartValues(folder);
}

TEST(Settings, OffWhenTheEnvironmentSaysSo) {
    for (const char* value : {"1", "yes"}) {
        g_setenv("KIVREL_NO_SETTINGS", value, TRUE);
        EXPECT_EQ(settingsPath(), "");
    }
    for (const char* value : {"", "0"}) {
        g_setenv("KIVREL_NO_SETTINGS", value, TRUE);
        EXPECT_EQ(settingsPath(), std::string(g_get_user_config_dir()) + "/kivrel/settings");
    }
    g_setenv("KIVREL_NO_SETTINGS", "1", TRUE);
}

// The window opens at the kept size and keeps the size the user gives it; the toggles, the speed and
// the choosers' folders reach the plot, the input and the choosers, and a chooser's new folder is
// written at once.
TEST(Settings, ReachTheWindowThePlotAndTheChoosers) {
    TempDir home;
    ASSERT_TRUE(home.ok());
    const std::string runs = home.path("runs");
    const std::string other = home.path("other");
    std::filesystem::create_directory(runs);
    std::filesystem::create_directory(other);
    const std::string picked = home.write("other/picked.plt", "1\n");
    {
        Settings kept = everyField(home.path("settings"));
        kept.windowWidth = 700;
        kept.windowHeight = 420;
        kept.serialSpeed = 1200;
        kept.choosers.folders = {{"Merge File", runs}};
        ASSERT_EQ(writeSettings(kept), "");
    }

    // The choosers forget these settings when the test ends, however it ends.
    struct ChooserMemoryGuard {
        ~ChooserMemoryGuard() { chooserMemory = nullptr; }
    } guard;
    GraphData graph;
    graph.settings.path = home.path("settings");
    ASSERT_EQ(loadSettings(graph), "");
    EXPECT_TRUE(graph.model.envelope);
    EXPECT_EQ(graph.io.serialSpeed, 1200);
    EXPECT_EQ(chooserMemory, &graph.settings.choosers);

    buildMainWindow(graph);
    drainEvents();
    int width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(graph.mainWindow), &width, &height);
    EXPECT_EQ(width, 700);
    EXPECT_EQ(height, 420);
    gtk_window_resize(GTK_WINDOW(graph.mainWindow), 720, 430);
    for (int wait = 0; wait < 200 && graph.settings.windowWidth != 720; ++wait) {
        g_usleep(10000);  // the X server answers the resize in its own time
        drainEvents();
    }
    EXPECT_EQ(graph.settings.windowWidth, 720);
    EXPECT_EQ(graph.settings.windowHeight, 430);

    DialogScript script;
    std::string startFolder;
    script.then([&](GtkDialog* dialog) {
        gchar* folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog));
        startFolder = folder ? folder : "";
        g_free(folder);
        pickFile(picked)(dialog);
    });
    FileName name;
    EXPECT_TRUE(runOpenDialog(graph.mainWindow, "Merge File", "plt", name));
    EXPECT_EQ(startFolder, runs);
    EXPECT_EQ(name.utf8Name, picked);
    Settings written;
    written.path = graph.settings.path;
    ASSERT_EQ(readSettings(written), "");
    EXPECT_EQ(written.choosers.folders["Merge File"], other);
    EXPECT_EQ(written.windowWidth, 720);

    g_signal_handlers_disconnect_by_func(graph.mainWindow, reinterpret_cast<gpointer>(gtk_main_quit),
                                         nullptr);
    gtk_widget_destroy(graph.mainWindow);
    drainEvents();
}

// The program itself: the file is read before the command line, which overrides it; the device and
// speed in use are written back; a corrupt file is named on standard error and replaced; with
// KIVREL_NO_SETTINGS=1 nothing is read or written.
TEST(Settings, TheProgramReadsThemBeforeItsCommandLine) {
    const struct {
        const char* name;
        const char* kept;
        std::vector<std::string> options;
        bool settingsOff;
        speed_t lineSpeed;
        const char* warning;
    } rows[] = {
        {"kept speed", "[serial]\nspeed=1200\n", {}, false, B1200, nullptr},
        {"command line wins", "[serial]\nspeed=1200\n", {"-bps", "4800"}, false, B4800, nullptr},
        {"corrupt", "[serial]\nspeed=fast\n", {}, false, B9600, "kivrel: settings not read"},
        {"switched off", "[serial]\nspeed=1200\n", {}, true, B9600, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir home;
        ASSERT_TRUE(home.ok());
        std::filesystem::create_directory(home.path("kivrel"));
        const std::string path = home.write("kivrel/settings", row.kept);
        PseudoTerminal device;
        std::vector<std::string> arguments = row.options;
        arguments.insert(arguments.end(), {"-i", device.name});
        RunningKivrel kivrel(arguments, {"",
                                         0,
                                         false,
                                         -1,
                                         {{"XDG_CONFIG_HOME", home.folder()},
                                          {"KIVREL_NO_SETTINGS", row.settingsOff ? "1" : "0"}}});
        ASSERT_TRUE(kivrel.ok());
        if (row.warning) {
            EXPECT_NE(kivrel.waitForLine(row.warning), "") << kivrel.standardError();
        }
        ASSERT_TRUE(kivrel.waitForWindow()) << kivrel.standardError();
        termios line{};
        ASSERT_EQ(tcgetattr(device.slave, &line), 0);
        EXPECT_EQ(cfgetospeed(&line), row.lineSpeed);

        Settings written;
        written.path = path;
        if (row.settingsOff) {
            EXPECT_EQ(contentsOf(path), row.kept);
            continue;
        }
        ASSERT_EQ(readSettings(written), "") << contentsOf(path);
        EXPECT_EQ(written.serialDevice, device.name);
        EXPECT_EQ(written.serialSpeed, row.lineSpeed == B4800 ? 4800 : row.lineSpeed == B1200 ? 1200 : 0);
    }
}

}  // namespace
