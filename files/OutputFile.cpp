#include "files/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

}  // namespace

OutputFile::FdBuffer::FdBuffer() {
    setp(data, data + sizeof data);
}

bool OutputFile::FdBuffer::drain() {
    const char* next = pbase();
    while (next < pptr()) {
        const ssize_t written = ::write(fd, next, static_cast<std::size_t>(pptr() - next));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        next += written;
    }
    setp(data, data + sizeof data);
    return true;
}

OutputFile::FdBuffer::int_type OutputFile::FdBuffer::overflow(int_type c) {
    if (fd < 0 || !drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int OutputFile::FdBuffer::sync() {
    return fd >= 0 && drain() ? 0 : -1;
}

OutputFile::OutputFile(const char* localName) : out(&buffer) {
    if (!localName) {
        out.setstate(std::ios::badbit);
        return;
    }
    targetName = localName;
    struct stat link {};
    if (lstat(localName, &link) != 0) {
        // A new file: made beside its name when possible, so a failed write leaves nothing.
        if (errno != ENOENT || !openTemporary(targetName)) openDirect(localName);
    } else {
        std::string target = targetName;
        if (S_ISLNK(link.st_mode)) {
            // Replace the file the link points to, keeping the link itself.
            char resolved[PATH_MAX];
            if (realpath(localName, resolved)) target = resolved;
        }
        struct stat file {};
        const bool plain = stat(target.c_str(), &file) == 0 && S_ISREG(file.st_mode) && file.st_nlink == 1;
        if (!plain || !openTemporary(target)) openDirect(localName);
    }
    if (!isOpen()) out.setstate(std::ios::badbit);
}

OutputFile::~OutputFile() {
    discard();
}

void OutputFile::openDirect(const char* localName) {
    temporaryName.clear();
    do {
        buffer.fd = ::open(localName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (buffer.fd < 0 && errno == EINTR);
}

bool OutputFile::openTemporary(const std::string& target) {
    std::string name = target + ".XXXXXX";
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    struct stat original {};
    if (stat(target.c_str(), &original) == 0) {
        // Only a privileged process may give a file away; otherwise the saver owns the new file.
        if ((original.st_uid != geteuid() || original.st_gid != getegid()) &&
            fchown(fd, original.st_uid, original.st_gid) != 0) {
            errno = 0;
        }
        fchmod(fd, original.st_mode & 07777);  // after fchown, which clears set-id bits
    } else {
        fchmod(fd, 0666 & ~currentUmask());
    }
    buffer.fd = fd;
    targetName = target;
    temporaryName = name;
    return true;
}

bool OutputFile::commit() {
    if (!isOpen()) return false;
    out.flush();
    bool written = static_cast<bool>(out);
    const int fd = buffer.fd;
    buffer.fd = -1;
    if (::close(fd) != 0 && errno != EINTR) written = false;
    if (temporaryName.empty()) return written;
    if (written && std::rename(temporaryName.c_str(), targetName.c_str()) == 0) {
        temporaryName.clear();
        return true;
    }
    ::unlink(temporaryName.c_str());
    temporaryName.clear();
    return false;
}

void OutputFile::discard() {
    if (buffer.fd >= 0) {
        ::close(buffer.fd);
        buffer.fd = -1;
    }
    if (!temporaryName.empty()) {
        ::unlink(temporaryName.c_str());
        temporaryName.clear();
    }
}
