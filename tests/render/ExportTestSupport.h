#pragma once
// The page size that poppler's pdfinfo reads from a written PDF, for tests that write PDF files.

#include <cstdio>
#include <string>

#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

struct PageSize {
    double width = -1, height = -1;
    int pages = 0;
};

// Page count and size of a PDF in points, as pdfinfo reads them; -1 when it cannot read the file.
inline PageSize pdfPageSize(const std::string& path) {
    const std::string info = commandOutput("pdfinfo '" + path + "' 2>/dev/null");
    PageSize size;
    const std::size_t pages = info.find("Pages:");
    if (pages != std::string::npos) std::sscanf(info.c_str() + pages, "Pages: %d", &size.pages);
    const std::size_t page = info.find("Page size:");
    if (page != std::string::npos)
        std::sscanf(info.c_str() + page, "Page size: %lf x %lf", &size.width, &size.height);
    return size;
}
