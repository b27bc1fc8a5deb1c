#pragma once
// The help window: a resizable dialog that shows the built-in help text in a scrolled, wrapped,
// read-only text view.

typedef struct _GtkWidget GtkWidget;

// The help text: the mouse actions, accelerators, menus, configuration options, option lines and
// the expression language, 236 lines.
extern const char* const helpText;

// Shows text in the help window over parent and waits until the user closes it.
void showHelpWindow(GtkWidget* parent, const char* text);
