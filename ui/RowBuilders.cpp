#include "ui/RowBuilders.h"

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
    GtkWidget* row = labelledRow(box, label, labelChars);
    GtkAdjustment* adjustment = gtk_adjustment_new(value, min, max, 1, 5, 0);
    GtkWidget* spin = gtk_spin_button_new(adjustment, 1.0, digits);
    gtk_entry_set_width_chars(GTK_ENTRY(spin), entryChars);
    gtk_entry_set_max_length(GTK_ENTRY(spin), maxLength);
    gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(spin), TRUE);
    setTooltip(spin, tooltip);
    gtk_box_pack_start(GTK_BOX(row), spin, TRUE, TRUE, 0);
    return spin;
}

}  // namespace

GtkWidget* entryRow(GtkWidget* box, const char* label, const char* text, int labelChars, int entryChars,
                    int maxLength, const char* tooltip) {
    GtkWidget* row = labelledRow(box, label, labelChars);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(entry), entryChars);
    gtk_entry_set_max_length(GTK_ENTRY(entry), maxLength);
    gtk_entry_set_text(GTK_ENTRY(entry), text ? text : "");
    gtk_editable_set_editable(GTK_EDITABLE(entry), TRUE);
    setTooltip(entry, tooltip);
    gtk_box_pack_start(GTK_BOX(row), entry, TRUE, TRUE, 0);
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
    GtkWidget* row = labelledRow(box, label, labelChars);
    GtkWidget* toggle = gtk_switch_new();
    gtk_switch_set_active(GTK_SWITCH(toggle), active);
    setTooltip(toggle, tooltip);
    gtk_box_pack_start(GTK_BOX(row), toggle, FALSE, FALSE, 0);
    return toggle;
}

GtkWidget* colorRow(GtkWidget* box, const char* label, const GdkRGBA& rgba, int labelChars,
                    const char* tooltip) {
    GtkWidget* row = labelledRow(box, label, labelChars);
    GtkWidget* button = gtk_color_button_new_with_rgba(&rgba);
    setTooltip(button, tooltip);
    gtk_box_pack_start(GTK_BOX(row), button, TRUE, TRUE, 0);
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

GtkWidget* scrolledSection(GtkWidget* box, int minHeight) {
    GtkWidget* outer = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 5);
    gtk_container_set_border_width(GTK_CONTAINER(outer), 5);
    gtk_box_pack_start(GTK_BOX(box), outer, TRUE, TRUE, 0);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_min_content_height(GTK_SCROLLED_WINDOW(scrolled), minHeight);
    gtk_box_pack_start(GTK_BOX(outer), scrolled, TRUE, TRUE, 0);
    GtkWidget* columns = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 5);
    gtk_container_set_border_width(GTK_CONTAINER(columns), 5);
    gtk_container_add(GTK_CONTAINER(scrolled), columns);  // adds the viewport around it
    return columns;
}
