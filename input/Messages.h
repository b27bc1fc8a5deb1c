#pragma once
// How the program talks to the user: the modal error dialog (a fixed text followed by a detail)
// and the main window's title naming the current source.

#include <string>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkDialog GtkDialog;

// Runs a modal dialog and returns its response. Tests set dialogResponder to answer each dialog
// once it runs, instead of waiting for a person.
using DialogResponder = void (*)(GtkDialog* dialog);
extern DialogResponder dialogResponder;
int runDialog(GtkDialog* dialog);

// "%s%s" of the two texts: neither is ever taken as a format. With KIVREL_REPORT_ERRORS set, the
// message goes to standard error as well ("kivrel: error dialog: " and the texts).
void showErrorDialog(GtkWidget* parent, const char* text, const char* detail);

// The title of window (nothing when null): "Kivrel: [name]", or "Kivrel" for an empty name; a remark follows
// the name after a space.
void setWindowTitle(GtkWidget* window, const std::string& name, const char* remark = nullptr);
