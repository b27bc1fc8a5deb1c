#pragma once
// A file being written that replaces its target only when everything was written. A regular
// file is written to a temporary file beside it, which takes the original's permissions and owner
// and is renamed over it by commit(); a failed or abandoned write removes the temporary file and
// leaves the original untouched. Targets that are not plain regular files (devices such as
// /dev/full, FIFOs, files with several hard links) and folders where no temporary file can be
// made are written directly.

#include <ostream>
#include <streambuf>
#include <string>

class OutputFile {
  public:
    explicit OutputFile(const char* localName);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool isOpen() const { return buffer.fd >= 0; }
    std::ostream& stream() { return out; }
    // Flushes and closes the file and, for a temporary file, renames it over the target. True
    // only when every write, the close and the rename succeeded.
    bool commit();

  private:
    // Unbuffered by the C library: write errors such as a full disk surface at the write that
    // meets them and turn the stream bad.
    struct FdBuffer : std::streambuf {
        int fd = -1;
        char data[1 << 16];
        FdBuffer();
        bool drain();
        int_type overflow(int_type c) override;
        int sync() override;
    };

    void openDirect(const char* localName);
    bool openTemporary(const std::string& target);
    void discard();

    FdBuffer buffer;
    std::ostream out;
    std::string targetName;
    std::string temporaryName;  // empty when the target is written directly
};
