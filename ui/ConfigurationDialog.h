#pragma once
// The Configure dialog: the general settings, one column of fields per display and one per graph.
// OK and Apply write the fields back into the plot model; Load and Save read and write ".cfg"
// files. The dialog is not run in a loop of its own: it lives until a response destroys it, and
// ConfData holds its widgets only while it exists.

#include <gtk/gtk.h>

struct ConfData;

// Builds and shows the dialog with the focus in X-Axis Size; presents the existing one instead
// when it is already open. Does nothing without a main window.
void showConfigurationDialog(ConfData& conf);

// Y-Max and Y-Min follow their display's Y-Auto switch; the graphs' Display fields are editable
// only while independent displays are off.
void updateConfigurationSensitivity(ConfData& conf);

// Reads every field into the model (values out of range are ignored one by one) and queues a
// redraw. Only the rows built with the dialog are read, and only those the model still has.
bool applyConfiguration(ConfData& conf);

// The dialog's "response" handler (data is the ConfData): 1 loads, 2 applies and saves, Apply
// applies, OK applies and closes, anything else closes. The input watch runs at priority 300
// while a response is handled.
void onConfigurationResponse(GtkDialog* dialog, gint response, gpointer data);

// The Configure menu item (data is the ConfData).
void onConfigure(GtkMenuItem* item, gpointer data);
