#pragma once
// A fresh folder for one test's files, removed with everything in it when the test ends.

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempDir {
  public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/kivrel-test-XXXXXX";
        if (mkdtemp(pattern.data())) root = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!root.empty()) std::filesystem::remove_all(root, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool ok() const { return !root.empty(); }
    const std::string& folder() const { return root; }
    std::string path(const std::string& name) const { return root + "/" + name; }
    // Writes text into a file of the folder and gives its path.
    std::string write(const std::string& name, const std::string& text) const {
        const std::string where = path(name);
        std::ofstream(where, std::ios::binary) << text;
        return where;
    }
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

// Limits the size of files this process writes, as a full disk would, while it exists: a write
// beyond the limit fails (SIGXFSZ is ignored meanwhile). Applies to root as well.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) : previousHandler(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &saved);
        struct rlimit small = saved;
        small.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool ok() const { return active; }

  private:
    void (*previousHandler)(int);
    struct rlimit saved {};
    bool active = false;
};

// While it exists, the calling thread loses root's power to pass over file permissions (the
// capabilities stay permitted and are taken up again afterwards), so that a read-only folder
// refuses a test run as root too. Without that power to begin with, it changes nothing.
class WithoutPermissionOverride {
  public:
    WithoutPermissionOverride() {
        if (syscall(SYS_capget, &header, saved) != 0) return;
        __user_cap_data_struct lowered[2] = {saved[0], saved[1]};
        for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
            lowered[CAP_TO_INDEX(capability)].effective &= ~CAP_TO_MASK(capability);
        }
        active = syscall(SYS_capset, &header, lowered) == 0;
    }
    ~WithoutPermissionOverride() {
        if (active) syscall(SYS_capset, &header, saved);
    }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

    bool ok() const { return active; }

  private:
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2] = {};
    bool active = false;
};
