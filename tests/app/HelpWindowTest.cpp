#include "app/HelpWindow.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "tests/app/GuiTestSupport.h"

namespace {

std::string expectedHelpText() {
    std::ifstream file(std::string(KIVREL_TEST_DATA) + "/app/help.txt", std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(HelpWindow, CtrlQuestionMarkShowsTheWholeHelpTextWrappedAndReadOnly) {
    const std::string expected = expectedHelpText();
    ASSERT_EQ(std::count(expected.begin(), expected.end(), '\n'), 263);
    EXPECT_EQ(std::string(helpText), expected);

    MainWindowFixture fixture;
    DialogScript script;
    script.then([&](GtkDialog* dialog) {
        EXPECT_EQ(messageText(dialog), "Kivrel Help");
        EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), GTK_WINDOW(fixture.graph.mainWindow));
        EXPECT_TRUE(gtk_window_get_resizable(GTK_WINDOW(dialog)));
        const auto views = widgetsOf(GTK_WIDGET(dialog), GTK_TYPE_TEXT_VIEW);
        ASSERT_EQ(views.size(), 1u);
        GtkTextView* view = GTK_TEXT_VIEW(views[0]);
        GtkTextIter start, end;
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(view);
        gtk_text_buffer_get_bounds(buffer, &start, &end);
        gchar* shown = gtk_text_buffer_get_text(buffer, &start, &end, TRUE);
        EXPECT_EQ(std::string(shown), expected);
        g_free(shown);
        EXPECT_EQ(gtk_text_view_get_wrap_mode(view), GTK_WRAP_WORD_CHAR);
        EXPECT_FALSE(gtk_text_view_get_editable(view));
        EXPECT_FALSE(gtk_widget_get_can_focus(GTK_WIDGET(view)));
        // A word wider than the view wraps inside itself instead of widening the window.
        EXPECT_EQ(gtk_scrollable_get_hscroll_policy(GTK_SCROLLABLE(view)), GTK_SCROLL_MINIMUM);
        const auto scrolled = widgetsOf(GTK_WIDGET(dialog), GTK_TYPE_SCROLLED_WINDOW);
        ASSERT_EQ(scrolled.size(), 1u);
        EXPECT_EQ(gtk_scrolled_window_get_min_content_width(GTK_SCROLLED_WINDOW(scrolled[0])), 650);
        EXPECT_EQ(gtk_scrolled_window_get_min_content_height(GTK_SCROLLED_WINDOW(scrolled[0])), 300);
        const auto viewports = widgetsOf(GTK_WIDGET(dialog), GTK_TYPE_VIEWPORT);
        ASSERT_EQ(viewports.size(), 1u);
        EXPECT_TRUE(gtk_style_context_has_class(gtk_widget_get_style_context(viewports[0]), "frame1"));
        gtk_dialog_response(dialog, GTK_RESPONSE_CLOSE);
    });
    pressControl(fixture.graph, GDK_KEY_question);
    EXPECT_EQ(script.answered, 1);
}

TEST(HelpWindow, F1OpensItUnderItsTitle) {
    MainWindowFixture fixture;
    DialogScript script;
    script.then([](GtkDialog* dialog) {
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "Kivrel Help");
        gtk_dialog_response(dialog, GTK_RESPONSE_CLOSE);
    });
    pressKey(fixture.graph.mainWindow, GDK_KEY_F1, GdkModifierType(0));
    EXPECT_EQ(script.answered, 1);
}

}  // namespace
