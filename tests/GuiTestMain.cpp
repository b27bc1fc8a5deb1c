// Entry point of the GUI tests: GTK is initialised once, on the display Xvfb provides. The locale
// is checked first: gtk_init falls back to the C locale with a mere warning.
#include <cstdlib>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "tests/LocaleCheck.h"

int main(int argc, char** argv) {
    // Tests start from the usual settings and never touch those of the person running them.
    setenv("KIVREL_NO_SETTINGS", "1", 1);
    if (!setLocaleFromEnvironment(argc > 0 ? argv[0] : "test")) return 1;
    gtk_init(&argc, &argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
