// The file choosers' filters: which names each kind of chooser lists.
#include "ui/FileDialogs.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "input/FileName.h"
#include "tests/support/DialogScript.h"
#include "tests/support/GtkTestSupport.h"

namespace {

// The names of the given list that the chooser's filter shows; every name when it has no filter.
std::vector<std::string> shownNames(GtkDialog* chooser, const std::vector<std::string>& names) {
    GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(chooser));
    EXPECT_LE(g_slist_length(filters), 1u);
    std::vector<std::string> shown;
    for (const std::string& name : names) {
        GtkFileFilterInfo info{};
        info.contains = GTK_FILE_FILTER_DISPLAY_NAME;
        info.display_name = name.c_str();
        if (!filters || gtk_file_filter_filter(GTK_FILE_FILTER(filters->data), &info)) shown.push_back(name);
    }
    g_slist_free(filters);
    return shown;
}

TEST(FileDialogs, EachKindListsItsFiles) {
    const std::vector<std::string> names = {"a.plt", "a.wxv", "a.csv", "a.cfg",
                                            "a.pdf", "a.svg", "a.png", "a.txt"};
    const struct {
        const char* what;
        bool saving;
        const char* kind;
        std::vector<std::string> shown;
    } rows[] = {
        {"Open File and Merge File", false, "plt", {"a.plt", "a.wxv", "a.csv"}},
        {"Save and Backup Device", true, "plt", {"a.plt", "a.wxv", "a.csv"}},
        {"Export", true, "pdf", {"a.pdf", "a.svg", "a.png"}},
        {"configuration files", false, "cfg", {"a.cfg"}},
        {"saving configuration files", true, "cfg", {"a.cfg"}},
        {"no kind", false, "", names},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        DialogScript script;
        std::vector<std::string> shown;
        script.then([&](GtkDialog* chooser) {
            shown = shownNames(chooser, names);
            gtk_dialog_response(chooser, GTK_RESPONSE_CANCEL);
        });
        FileName result;
        if (row.saving) {
            runSaveDialog(nullptr, "Chooser", nullptr, nullptr, row.kind, result);
        } else {
            runOpenDialog(nullptr, "Chooser", row.kind, result);
        }
        EXPECT_EQ(script.answered, 1);
        EXPECT_EQ(shown, row.shown);
        EXPECT_EQ(result.length, 0);
    }
}

}  // namespace
