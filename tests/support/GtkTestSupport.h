#pragma once
// Helpers for tests that show real GTK widgets on the test display: running the main loop dry,
// key presses, screenshots, finding widgets, and answering the dialogs the code runs.

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "input/Messages.h"

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

// The texts of a message dialog, primary and secondary joined by a newline when both exist.
inline std::string messageText(GtkDialog* dialog) {
    gchar* text = nullptr;
    g_object_get(dialog, "text", &text, nullptr);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

// A script step for a message dialog: keeps its text and closes it.
inline std::function<void(GtkDialog*)> recordMessage(std::string& message) {
    return [&message](GtkDialog* dialog) {
        message = messageText(dialog);
        gtk_dialog_response(dialog, GTK_RESPONSE_CLOSE);
    };
}

// Answers the dialogs the code under test runs, in order, with the given scripts; a dialog with
// no script left is cancelled so that a test never hangs.
struct DialogScript {
    std::deque<std::function<void(GtkDialog*)>> steps;
    int answered = 0;

    DialogScript() {
        current() = this;
        dialogResponder = respond;
    }
    ~DialogScript() {
        current() = nullptr;
        dialogResponder = nullptr;
    }
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    void then(std::function<void(GtkDialog*)> step) { steps.push_back(std::move(step)); }

  private:
    static DialogScript*& current() {
        static DialogScript* script = nullptr;
        return script;
    }
    static void respond(GtkDialog* dialog) {
        DialogScript* script = current();
        if (!script || script->steps.empty()) {
            gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
            return;
        }
        auto step = std::move(script->steps.front());
        script->steps.pop_front();
        ++script->answered;
        step(dialog);
        // A step that did not end its dialog (a chooser that refused the answer) must not hang the
        // test run: the dialog is cancelled after a while and the test fails.
        g_timeout_add_seconds_full(G_PRIORITY_DEFAULT, 30, cancelIfStillShown, g_object_ref(dialog),
                                   g_object_unref);
    }
    static gboolean cancelIfStillShown(gpointer data) {
        GtkWidget* dialog = GTK_WIDGET(data);
        if (gtk_widget_get_visible(dialog)) {
            ADD_FAILURE() << "a dialog was still open after its scripted answer";
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        }
        return G_SOURCE_REMOVE;
    }
};
