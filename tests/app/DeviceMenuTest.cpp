// The Open Device submenu as the File menu fills it: the devices present in a folder of
// pseudo-terminals standing in for serial devices, refreshed at each opening, and opening one.
#include "app/DeviceMenu.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "tests/app/GuiTestSupport.h"
#include "tests/input/InputTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

struct Line {
    std::string label;
    bool sensitive;
    bool operator==(const Line& other) const { return label == other.label && sensitive == other.sensitive; }
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << '"' << line.label << '"' << (line.sensitive ? "" : " (disabled)");
}

class DeviceMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.ok());
        window.graph.devices.folder = folder.folder();
    }

    // Opens the File menu as a click on its title does, and reads the Open Device submenu.
    std::vector<Line> openFileMenu() {
        GtkWidget* column = gtk_bin_get_child(GTK_BIN(window.graph.mainWindow));
        GList* rows = gtk_container_get_children(GTK_CONTAINER(column));
        GList* menuRow = gtk_container_get_children(GTK_CONTAINER(rows->data));
        GList* titles = gtk_container_get_children(GTK_CONTAINER(menuRow->data));
        gtk_menu_item_activate(GTK_MENU_ITEM(titles->data));
        g_list_free(titles);
        g_list_free(menuRow);
        g_list_free(rows);
        std::vector<Line> lines;
        for (GtkWidget* item : items()) {
            lines.push_back(
                {GTK_IS_SEPARATOR_MENU_ITEM(item) ? "---" : gtk_menu_item_get_label(GTK_MENU_ITEM(item)),
                 gtk_widget_get_sensitive(item) != FALSE});
        }
        return lines;
    }

    std::vector<GtkWidget*> items() const {
        std::vector<GtkWidget*> out;
        GList* list = gtk_container_get_children(GTK_CONTAINER(window.graph.devices.menu));
        for (GList* l = list; l; l = l->next) out.push_back(GTK_WIDGET(l->data));
        g_list_free(list);
        return out;
    }

    GtkWidget* itemLabelled(const std::string& label) const {
        for (GtkWidget* item : items()) {
            if (!GTK_IS_SEPARATOR_MENU_ITEM(item) && label == gtk_menu_item_get_label(GTK_MENU_ITEM(item)))
                return item;
        }
        ADD_FAILURE() << "no item " << label;
        return nullptr;
    }

    void link(const std::string& target, const std::string& name) const {
        ASSERT_EQ(symlink(target.c_str(), (folder.folder() + "/" + name).c_str()), 0) << name;
    }

    TempDir folder;
    MainWindowFixture window;
    PseudoTerminal acm2, acm10, usb, uart;
};

TEST_F(DeviceMenuTest, ListsTheDevicesPresentAndRefreshesAtEachOpening) {
    const std::vector<Line> tail = {{"---", true}, {"Other\u2026", true}, {"Standard Input", true}};
    std::vector<Line> expected = {{noDeviceText, false}};
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(openFileMenu(), expected);

    const std::string dir = folder.folder();
    link(acm10.name, "ttyACM10");
    link(acm2.name, "ttyACM2");
    link(usb.name, "ttyUSB0");
    link(uart.name, "ttyS0");
    link("/dev/null", "ttyS1");   // a character device that is no terminal: no port behind the name
    folder.write("ttyACM3", "");  // not a device at all
    link(acm2.name, "ttyACMx");   // not a tty name
    ASSERT_EQ(mkdir((dir + "/serial").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir + "/serial/by-id").c_str(), 0700), 0);
    link("../../ttyACM2", "serial/by-id/usb-Maker_Board_42-if00");
    char* real = realpath(acm2.name.c_str(), nullptr);
    const std::string acm2Real = real ? real : "";
    free(real);

    expected = {{dir + "/ttyACM2", true},
                {dir + "/ttyACM10", true},
                {dir + "/ttyS0", true},
                {dir + "/ttyUSB0", true},
                {dir + "/serial/by-id/usb-Maker_Board_42-if00 \u2192 " + acm2Real, true}};
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(openFileMenu(), expected);

    ASSERT_EQ(unlink((dir + "/ttyUSB0").c_str()), 0);
    expected.erase(expected.begin() + 3);
    EXPECT_EQ(openFileMenu(), expected);
}

TEST_F(DeviceMenuTest, AStableNameOpensTheDeviceBehindIt) {
    link(acm2.name, "ttyACM2");
    ASSERT_EQ(mkdir((folder.folder() + "/serial").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((folder.folder() + "/serial/by-id").c_str(), 0700), 0);
    link(acm2.name, "serial/by-id/usb-board");
    const std::string stable = folder.folder() + "/serial/by-id/usb-board";
    openFileMenu();
    GtkWidget* item = itemLabelled(stable + " \u2192 " + acm2.name);
    ASSERT_NE(item, nullptr);
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
    EXPECT_EQ(window.graph.io.inputKind, InputKind::serialDevice);
    EXPECT_EQ(window.graph.io.deviceName, stable);
    ASSERT_EQ(write(acm2.master, "1 2\n", 4), 4);
    EXPECT_TRUE(runUntil([&] { return window.graph.model.graphs.size() == 2; }));
}

TEST_F(DeviceMenuTest, OtherOpensATypedDeviceAndCancelOpensNothing) {
    DialogScript script;
    script.then([](GtkDialog* dialog) { gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL); });
    openFileMenu();
    gtk_menu_item_activate(GTK_MENU_ITEM(itemLabelled("Other\u2026")));
    EXPECT_EQ(window.graph.io.inputChannel, nullptr);

    std::string title;
    script.then([&](GtkDialog* dialog) {
        title = gtk_window_get_title(GTK_WINDOW(dialog));
        const auto entries = widgetsOf(GTK_WIDGET(dialog), GTK_TYPE_ENTRY);
        ASSERT_EQ(entries.size(), 1u);
        gtk_entry_set_text(GTK_ENTRY(entries[0]), uart.name.c_str());
        // Enter in the field answers as Open does.
        g_signal_emit_by_name(entries[0], "activate");
    });
    gtk_menu_item_activate(GTK_MENU_ITEM(itemLabelled("Other\u2026")));
    EXPECT_EQ(script.answered, 2);
    EXPECT_EQ(title, "Open Device");
    EXPECT_EQ(window.graph.io.inputKind, InputKind::serialDevice);
    EXPECT_EQ(window.graph.io.deviceName, uart.name);
}

}  // namespace
