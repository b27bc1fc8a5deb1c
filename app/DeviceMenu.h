#pragma once
// The Open Device submenu: the serial devices present when the File menu opens, "Other…" to type
// a device's name, and standard input. It is filled anew at each opening, so a device plugged in
// meanwhile shows up and one pulled out goes.

#include <string>

#include <gtk/gtk.h>

struct DeviceMenu {
    GtkWidget* menu = nullptr;
    // Where the devices are looked for; tests point it at a folder of their own.
    std::string folder = "/dev";
};

// A device item's data under this key is the device's name, when that is not the item's label.
constexpr const char* devicePathKey = "kivrel-device-path";

// The text of the disabled item that stands in for the devices when there are none.
extern const char* const noDeviceText;

struct GraphData;

// Fills the submenu from the devices present.
void fillDeviceMenu(GraphData& graph);

// "Other…" (data is the IOData): asks for a device's name and opens it.
void onOtherDevice(GtkMenuItem* item, gpointer data);
