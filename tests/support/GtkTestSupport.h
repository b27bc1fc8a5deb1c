#pragma once
// Helpers for tests that show real GTK widgets on the test display: running the main loop dry,
// key presses, window sizes and redraws, screenshots, finding widgets, and taking a test's window
// down.

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

// Runs the main loop until nothing is pending.
inline void drainEvents() {
    while (gtk_events_pending()) gtk_main_iteration();
}

// A key press and release delivered to a window as the X server would; keys on the shifted level
// (plus on most layouts) arrive with Shift held as well.
inline void pressKey(GtkWidget* window, guint key, GdkModifierType modifiers) {
    gtk_window_present(GTK_WINDOW(window));
    drainEvents();
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.state = modifiers;
    event->key.keyval = key;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), key, &keys,
                                          &count) &&
        count > 0) {
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
        event->key.group = static_cast<guint8>(keys[0].group);
        if (keys[0].level == 1) event->key.state = GdkModifierType(modifiers | GDK_SHIFT_MASK);
    }
    g_free(keys);
    gdk_event_set_device(event,
                         gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_main_do_event(event);
    event->type = GDK_KEY_RELEASE;
    gtk_main_do_event(event);
    gdk_event_free(event);
    drainEvents();
}

// Renders a shown widget (a window or a dialog) into a PNG in the build directory, an artifact for
// people to look at.
inline void saveWidgetScreenshot(GtkWidget* widget, const std::string& name) {
    drainEvents();
    // A resize may still wait for the next frame; allocate now so that the widget can be drawn.
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    if (GTK_IS_CONTAINER(toplevel)) gtk_container_check_resize(GTK_CONTAINER(toplevel));
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(widget, cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(surface, (std::string(KIVREL_BINARY_DIR) + "/" + name).c_str());
    cairo_surface_destroy(surface);
}

// Every widget of the given type below root, in tree order.
inline void collectWidgets(GtkWidget* root, GType type, std::vector<GtkWidget*>& out) {
    if (G_TYPE_CHECK_INSTANCE_TYPE(root, type)) out.push_back(root);
    if (!GTK_IS_CONTAINER(root)) return;
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    for (GList* l = children; l; l = l->next) collectWidgets(GTK_WIDGET(l->data), type, out);
    g_list_free(children);
}

inline std::vector<GtkWidget*> widgetsOf(GtkWidget* root, GType type) {
    std::vector<GtkWidget*> out;
    collectWidgets(root, type, out);
    return out;
}

// Resizes the window and runs the main loop until GTK has laid it out at the new size.
inline void resizeWindow(GtkWidget* window, int width, int height) {
    gtk_window_resize(GTK_WINDOW(window), width, height);
    const gint64 deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
    while (g_get_monotonic_time() < deadline && (gtk_widget_get_allocated_width(window) != width ||
                                                 gtk_widget_get_allocated_height(window) != height)) {
        if (!gtk_main_iteration_do(FALSE)) g_usleep(1000);
    }
    drainEvents();
}

// Whether something asked the widget to be redrawn since the last call.
inline bool takeRedrawRequest(GtkWidget* widget) {
    cairo_region_t* area = gdk_window_get_update_area(gtk_widget_get_window(widget));
    if (!area) return false;
    cairo_region_destroy(area);
    return true;
}

// Destroys a test's window and runs the main loop dry. A timer or watch that still holds one of the
// records (named, with their addresses) fails the test: it would write into whatever takes that
// memory next (the next test's window, as often as not).
inline void destroyTestWindow(GtkWidget* window,
                              std::initializer_list<std::pair<const char*, void*>> records) {
    gtk_widget_destroy(window);
    drainEvents();
    for (const auto& [name, record] : records) {
        EXPECT_EQ(g_main_context_find_source_by_user_data(nullptr, record), nullptr)
            << "a main-loop source outlives the " << name << " it was given";
    }
}
