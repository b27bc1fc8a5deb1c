// Test entry point: the process takes its locale from the environment as the program does, so
// the suites run once more under a decimal-comma locale to catch locale-dependent reading and
// writing.
#include <clocale>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
