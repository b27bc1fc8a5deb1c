#include "ui/RowBuilders.h"

#include <string>

namespace {

// The row box with its label; the caller packs the value widget after it.
GtkWidget* labelledRow(GtkWidget* box, const char* label, int labelChars) {
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 5);
    gtk_container_set_border_width(GTK_CONTAINER(row), 5);
    gtk_box_pack_start(GTK_BOX(box), row, FALSE, FALSE, 0);
    GtkWidget* text = gtk_label_new(label);
    gtk_label_set_width_chars(GTK_LABEL(text), labelChars);
    gtk_box_pack_start(GTK_BOX(row), text, FALSE, FALSE, 0);
    return row;
}

void setTooltip(GtkWidget* widget, const char* tooltip) {
    if (tooltip) gtk_widget_set_tooltip_text(widget, tooltip);
}

GtkWidget* spinRowWithDigits(GtkWidget* box, const char* label, double value, double min, double max,
                             int labelChars, int entryChars, int maxLength, const char* tooltip,
                             guint digits) {
    GtkWidget* spin = spinField(value, min, max, entryChars, maxLength, tooltip, digits);
    gtk_box_pack_start(GTK_BOX(labelledRow(box, label, labelChars)), spin, TRUE, TRUE, 0);
    return spin;
}

}  // namespace

GtkWidget* entryRow(GtkWidget* box, const char* label, const char* text, int labelChars, int entryChars,
                    int maxLength, const char* tooltip) {
    GtkWidget* entry = entryField(text, entryChars, maxLength, tooltip);
    gtk_box_pack_start(GTK_BOX(labelledRow(box, label, labelChars)), entry, TRUE, TRUE, 0);
    return entry;
}

GtkWidget* spinRow(GtkWidget* box, const char* label, double value, double min, double max, int labelChars,
                   int entryChars, int maxLength, const char* tooltip) {
    return spinRowWithDigits(box, label, value, min, max, labelChars, entryChars, maxLength, tooltip, 0);
}

GtkWidget* spinRow1(GtkWidget* box, const char* label, double value, double min, double max, int labelChars,
                    int entryChars, int maxLength, const char* tooltip) {
    return spinRowWithDigits(box, label, value, min, max, labelChars, entryChars, maxLength, tooltip, 1);
}

GtkWidget* switchRow(GtkWidget* box, const char* label, bool active, int labelChars, const char* tooltip) {
    GtkWidget* toggle = switchField(active, tooltip);
    gtk_box_pack_start(GTK_BOX(labelledRow(box, label, labelChars)), toggle, FALSE, FALSE, 0);
    return toggle;
}

GtkWidget* colorRow(GtkWidget* box, const char* label, const GdkRGBA& rgba, int labelChars,
                    const char* tooltip) {
    GtkWidget* button = colorField(rgba, tooltip);
    gtk_box_pack_start(GTK_BOX(labelledRow(box, label, labelChars)), button, TRUE, TRUE, 0);
    return button;
}

GtkWidget* comboRow(GtkWidget* box, const char* label, int activeIndex, const char* const* items,
                    int labelChars, const char* tooltip) {
    GtkWidget* row = labelledRow(box, label, labelChars);
    GtkWidget* combo = gtk_combo_box_text_new();
    int count = 0;
    for (; items && items[count]; ++count)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), items[count]);
    if (activeIndex >= 0 && activeIndex < count) gtk_combo_box_set_active(GTK_COMBO_BOX(combo), activeIndex);
    setTooltip(combo, tooltip);
    gtk_box_pack_start(GTK_BOX(row), combo, TRUE, TRUE, 0);
    return combo;
}

GtkWidget* entryField(const char* text, int entryChars, int maxLength, const char* tooltip) {
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(entry), entryChars);
    gtk_entry_set_max_length(GTK_ENTRY(entry), maxLength);
    gtk_entry_set_text(GTK_ENTRY(entry), text ? text : "");
    gtk_editable_set_editable(GTK_EDITABLE(entry), TRUE);
    setTooltip(entry, tooltip);
    return entry;
}

GtkWidget* spinField(double value, double min, double max, int entryChars, int maxLength, const char* tooltip,
                     guint digits) {
    GtkAdjustment* adjustment = gtk_adjustment_new(value, min, max, 1, 5, 0);
    GtkWidget* spin = gtk_spin_button_new(adjustment, 1.0, digits);
    gtk_entry_set_width_chars(GTK_ENTRY(spin), entryChars);
    gtk_entry_set_max_length(GTK_ENTRY(spin), maxLength);
    gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(spin), TRUE);
    setTooltip(spin, tooltip);
    return spin;
}

GtkWidget* switchField(bool active, const char* tooltip) {
    GtkWidget* toggle = gtk_switch_new();
    gtk_switch_set_active(GTK_SWITCH(toggle), active);
    setTooltip(toggle, tooltip);
    return toggle;
}

GtkWidget* colorField(const GdkRGBA& rgba, const char* tooltip) {
    GtkWidget* button = gtk_color_button_new_with_rgba(&rgba);
    setTooltip(button, tooltip);
    return button;
}

namespace {

GtkWidget* tableGrid() {
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
    gtk_grid_set_row_spacing(GTK_GRID(grid), 2);
    gtk_container_set_border_width(GTK_CONTAINER(grid), 5);
    return grid;
}

}  // namespace

ScrolledTable scrolledTable(GtkWidget* box, int minHeight, const std::vector<TableHeading>& headings) {
    ScrolledTable table;
    GtkWidget* section = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_set_border_width(GTK_CONTAINER(section), 5);
    gtk_box_pack_start(GTK_BOX(box), section, TRUE, TRUE, 0);
    table.heading = tableGrid();
    gtk_box_pack_start(GTK_BOX(section), table.heading, FALSE, FALSE, 0);
    for (std::size_t k = 0; k < headings.size(); ++k) {
        GtkWidget* label = gtk_label_new(headings[k].label);
        gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
        setTooltip(label, headings[k].tooltip);
        gtk_grid_attach(GTK_GRID(table.heading), label, static_cast<gint>(k), 0, 1, 1);
        GtkSizeGroup* column = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
        gtk_size_group_add_widget(column, label);
        g_object_unref(column);  // the label holds it now
        table.columns.push_back(column);
    }
    // Only the rows scroll, and only up and down: the table is as wide as its widest row, so that no
    // column is hidden to the side.
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_min_content_height(GTK_SCROLLED_WINDOW(scrolled), minHeight);
    gtk_box_pack_start(GTK_BOX(section), scrolled, TRUE, TRUE, 0);
    table.rows = tableGrid();
    gtk_container_add(GTK_CONTAINER(scrolled), table.rows);  // adds the viewport around it
    return table;
}

void addTableRow(ScrolledTable& table, const std::vector<GtkWidget*>& cells) {
    GtkWidget* number = gtk_label_new(std::to_string(table.count).c_str());
    gtk_label_set_xalign(GTK_LABEL(number), 0.0f);
    std::vector<GtkWidget*> row{number};
    row.insert(row.end(), cells.begin(), cells.end());
    for (std::size_t k = 0; k < row.size() && k < table.columns.size(); ++k) {
        gtk_grid_attach(GTK_GRID(table.rows), row[k], static_cast<gint>(k), table.count, 1, 1);
        gtk_size_group_add_widget(table.columns[k], row[k]);
        // A switch keeps its own width at the start of its cell instead of stretching.
        if (GTK_IS_SWITCH(row[k])) gtk_widget_set_halign(row[k], GTK_ALIGN_START);
    }
    ++table.count;
}
