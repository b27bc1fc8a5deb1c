#include "app/DeviceMenu.h"

#include <string>

#include "app/Commands.h"
#include "app/GraphData.h"
#include "app/OpenInput.h"
#include "app/Settings.h"
#include "input/FileName.h"
#include "input/Messages.h"
#include "input/SerialDevices.h"

const char* const noDeviceText = "No serial device found";

namespace {

void addItem(GtkWidget* menu, GtkWidget* item) {
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    gtk_widget_show(item);
}

// A device's item opens the device's own name; a stable name shows the device it stands for.
void addDeviceItem(GtkWidget* menu, const SerialDevice& device, IOData& io) {
    const std::string label = device.target.empty() ? device.path : device.path + " \u2192 " + device.target;
    GtkWidget* item = gtk_menu_item_new_with_label(label.c_str());
    g_object_set_data_full(G_OBJECT(item), devicePathKey, g_strdup(device.path.c_str()), g_free);
    g_signal_connect(item, "activate", G_CALLBACK(onOpenDevice), &io);
    addItem(menu, item);
}

}  // namespace

void fillDeviceMenu(GraphData& graph) {
    GtkWidget* menu = graph.devices.menu;
    if (!menu) return;
    GList* old = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* l = old; l; l = l->next) gtk_widget_destroy(GTK_WIDGET(l->data));
    g_list_free(old);

    const auto devices = listSerialDevices(graph.devices.folder);
    for (const SerialDevice& device : devices) addDeviceItem(menu, device, graph.io);
    if (devices.empty()) {
        GtkWidget* none = gtk_menu_item_new_with_label(noDeviceText);
        gtk_widget_set_sensitive(none, FALSE);
        addItem(menu, none);
    }
    addItem(menu, gtk_separator_menu_item_new());
    GtkWidget* other = gtk_menu_item_new_with_label("Other\u2026");
    g_signal_connect(other, "activate", G_CALLBACK(onOtherDevice), &graph.io);
    addItem(menu, other);
    GtkWidget* standardInput = gtk_menu_item_new_with_label("Standard Input");
    g_signal_connect(standardInput, "activate", G_CALLBACK(onOpenDevice), &graph.io);
    addItem(menu, standardInput);
}

void onOtherDevice(GtkMenuItem*, gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    GraphData& graph = graphOf(*io);
    GtkWidget* dialog =
        gtk_dialog_new_with_buttons("Open Device", graph.mainWindow ? GTK_WINDOW(graph.mainWindow) : nullptr,
                                    GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                    "Cancel", GTK_RESPONSE_CANCEL, "Open", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 5);
    gtk_container_set_border_width(GTK_CONTAINER(box), 5);
    gtk_box_pack_start(GTK_BOX(box), gtk_label_new("Device"), FALSE, FALSE, 0);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 30);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    const std::string& last = graph.settings.serialDevice;
    gtk_entry_set_text(GTK_ENTRY(entry), last.empty() ? "/dev/tty" : last.c_str());
    gtk_widget_set_tooltip_text(entry, "The serial device to read, such as /dev/ttyACM0 or /dev/rfcomm0");
    gtk_box_pack_start(GTK_BOX(box), entry, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), box, TRUE, TRUE, 0);
    gtk_widget_show_all(dialog);
    const bool accepted = runDialog(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT;
    const std::string typed = gtk_entry_get_text(GTK_ENTRY(entry));
    gtk_widget_destroy(dialog);
    // Nothing typed is the same "no" as Cancel.
    if (!accepted || typed.empty()) return;
    FileName name;
    name.setFromUtf8(typed.c_str());
    if (openInput(name, *io)) saveSettings(graph);
}
