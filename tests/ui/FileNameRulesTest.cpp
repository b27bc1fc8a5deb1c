#include "ui/FileNameRules.h"

#include <gtest/gtest.h>

namespace {

TEST(FileNameRules, DefaultNames) {
    const struct {
        const char* name;
        const char* extension;
        const char* expected;
    } rows[] = {
        {"/data/run1.txt", "plt", "run1.plt"}, {"/data/log.plt", "pdf", "log.pdf"},
        {"/data/noext", "plt", "noext.plt"},   {"/data.d/noext", "plt", "noext.plt"},
        {"dir/run.txt", "plt", "dir/run.plt"}, {".hidden", "plt", ".hidden.plt"},
        {"a.b.c", "pdf", "a.b.pdf"},           {"dir.d/run", "plt", "dir.plt"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(defaultFileName(r.name, r.extension), r.expected);
    }
}

TEST(FileNameRules, ExtensionCompletion) {
    const struct {
        const char* name;
        const char* expected;
    } rows[] = {
        {"run", "run.plt"},
        {"run.", "run.plt"},
        {"run.txt", "run.txt"},
        {"/tmp/a.d/run", "/tmp/a.d/run.plt"},
        {"/tmp/a.d/run.wxv", "/tmp/a.d/run.wxv"},
        {"", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(completeExtension(r.name, "plt"), r.expected);
    }
    EXPECT_EQ(completeExtension("run", ""), "run");
}

}  // namespace
