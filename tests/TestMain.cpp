// Test entry point: the process takes its locale from the environment as the program does, so
// the suites run once more under a decimal-comma locale to catch locale-dependent reading and
// writing. A locale that cannot be set fails the run instead of testing the C locale twice.
#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/LocaleCheck.h"

int main(int argc, char** argv) {
    // Tests start from the usual settings and never touch those of the person running them.
    setenv("KIVREL_NO_SETTINGS", "1", 1);
    if (!setLocaleFromEnvironment(argc > 0 ? argv[0] : "test")) return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
