// Entry point of the GUI tests: GTK is initialised once, on the display Xvfb provides.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
