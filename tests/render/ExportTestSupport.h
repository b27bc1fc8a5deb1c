#pragma once
// Helpers for tests that write PDF and SVG files: a temporary folder per test and the page size
// that poppler's pdfinfo reads from a written PDF.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it afterwards.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kivrel-export-XXXXXX").string();
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string operator/(const std::string& name) const { return path + "/" + name; }

    std::string path;
};

// What a shell command writes to standard output.
inline std::string commandOutput(const std::string& command) {
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

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
