#pragma once
// A fresh folder for one test's files, removed with everything in it when the test ends.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempDir {
  public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/kivrel-files-XXXXXX";
        if (mkdtemp(pattern.data())) root = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!root.empty()) std::filesystem::remove_all(root, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool ok() const { return !root.empty(); }
    std::string path(const std::string& name) const { return root + "/" + name; }
    // Names of everything in the folder, to see that no temporary file was left behind.
    std::size_t entryCount() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(root), std::filesystem::directory_iterator()));
    }

  private:
    std::string root;
};

inline std::string readWholeFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeWholeFile(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
}

inline std::string testData(const std::string& name) {
    return std::string(KIVREL_TEST_DATA "/files/") + name;
}
