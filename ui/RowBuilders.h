#pragma once
// Labelled rows for dialogs: each builder packs a horizontal box (spacing 5, border 5, not
// expanded) holding a label and a value widget into box, and returns the value widget.

#include <vector>

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
// The value widgets alone, as the row builders make them, for the cells of a table.
GtkWidget* entryField(const char* text, int entryChars, int maxLength, const char* tooltip);
GtkWidget* spinField(double value, double min, double max, int entryChars, int maxLength, const char* tooltip,
                     guint digits);
GtkWidget* switchField(bool active, const char* tooltip);
GtkWidget* colorField(const GdkRGBA& rgba, const char* tooltip);

// A table with one row per item (a display, a graph) under a heading row that stays in place while
// the rows scroll; each heading stands above its column, whatever the widths of the cells. The
// first column numbers the rows.
struct TableHeading {
    const char* label;
    const char* tooltip;
};
struct ScrolledTable {
    GtkWidget* heading = nullptr;
    GtkWidget* rows = nullptr;
    // One per column; each lives as long as the heading label that is in it.
    std::vector<GtkSizeGroup*> columns;
    int count = 0;
};

// Packs the table into box: the heading row, then a scrolled area of at least minHeight pixels of
// rows; the first heading names the numbering column.
ScrolledTable scrolledTable(GtkWidget* box, int minHeight, const std::vector<TableHeading>& headings);

// Adds a row numbered from 0 with one cell per heading after the first.
void addTableRow(ScrolledTable& table, const std::vector<GtkWidget*>& cells);
