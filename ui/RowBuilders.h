#pragma once
// Labelled rows for dialogs: each builder packs a horizontal box (spacing 5, border 5, not
// expanded) holding a label and a value widget into box, and returns the value widget.

#include <gtk/gtk.h>

GtkWidget* entryRow(GtkWidget* box, const char* label, const char* text, int labelChars, int entryChars,
                    int maxLength, const char* tooltip);
GtkWidget* spinRow(GtkWidget* box, const char* label, double value, double min, double max, int labelChars,
                   int entryChars, int maxLength, const char* tooltip);
// As spinRow, with one decimal digit.
GtkWidget* spinRow1(GtkWidget* box, const char* label, double value, double min, double max, int labelChars,
                    int entryChars, int maxLength, const char* tooltip);
GtkWidget* switchRow(GtkWidget* box, const char* label, bool active, int labelChars, const char* tooltip);
GtkWidget* colorRow(GtkWidget* box, const char* label, const GdkRGBA& rgba, int labelChars,
                    const char* tooltip);
// items is null-terminated; the active item is set only when activeIndex is one of them.
GtkWidget* comboRow(GtkWidget* box, const char* label, int activeIndex, const char* const* items,
                    int labelChars, const char* tooltip);
// A scrolled area of at least minHeight pixels packed into box; returns the horizontal box inside
// it that receives the columns.
GtkWidget* scrolledSection(GtkWidget* box, int minHeight);
