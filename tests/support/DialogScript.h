#pragma once
// Answering the dialogs the code under test runs, as a person would, instead of waiting for one:
// scripted steps in order, and a step that notes a message dialog's text and closes it.

#include <deque>
#include <functional>
#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "input/Messages.h"

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
