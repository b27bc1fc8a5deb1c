// Baseline of the start-up bench: the least a GTK program does before its first frame. One window of
// about Kivrel's size holding an empty drawing area; when the area has been drawn for the first
// time it writes "kivrel_empty_window: first frame drawn" to standard error and keeps running
// until closed, like Kivrel with KIVREL_REPORT_FIRST_FRAME set.
#include <cstdio>

#include <gtk/gtk.h>

namespace {

gboolean reportFirstFrame(GtkWidget*, cairo_t*, gpointer) {
    static bool reported = false;
    if (!reported) {
        reported = true;
        std::fputs("kivrel_empty_window: first frame drawn\n", stderr);
        std::fflush(stderr);
    }
    return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Empty window");
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_set_size_request(area, 652, 330);
    g_signal_connect_after(area, "draw", G_CALLBACK(reportFirstFrame), nullptr);
    gtk_container_add(GTK_CONTAINER(window), area);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
