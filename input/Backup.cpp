#include "input/Backup.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include <poll.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <glib.h>

#include "input/FileName.h"
#include "input/IOData.h"
#include "input/Messages.h"

namespace {

// A bare "-" (as "-b -" gives it) means standard output as the usage text promises, and so does
// a name chosen in a file dialog that ends in "/-".
bool meansStandardOutput(const std::string& name) {
    return name == "-" || (name.size() >= 2 && name.compare(name.size() - 2, 2, "/-") == 0);
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether writing to target would change what an input reads: the file of the open input, or of
// one about to be read. Only plain files and FIFOs count: a terminal or /dev/null may well be
// both read and written.
bool writesIntoInput(const struct stat& target, const IOData& io, const std::vector<std::string>& alsoRead) {
    if (!S_ISREG(target.st_mode) && !S_ISFIFO(target.st_mode)) return false;
    struct stat input {};
    if (io.inputChannel && fstat(g_io_channel_unix_get_fd(io.inputChannel), &input) == 0 &&
        sameFile(target, input)) {
        return true;
    }
    for (const std::string& name : alsoRead) {
        const bool read = name == "-" ? fstat(STDIN_FILENO, &input) == 0 : stat(name.c_str(), &input) == 0;
        if (read && sameFile(target, input)) return true;
    }
    return false;
}

// The file a backup under this name would write to, when it exists already.
bool existingTarget(const FileName& name, bool standardOutput, struct stat& target) {
    if (standardOutput) return fstat(STDOUT_FILENO, &target) == 0;
    return name.local() && stat(name.local(), &target) == 0;
}

// Writes the line and its '\n', in one call where the system takes it so, so that a reader of a
// pipe gets whole lines. Returns the bytes written: fewer than length + 1 only after a failure,
// with errno telling why. A full pipe to a slow reader is waited for.
std::size_t writeLine(int fd, const char* line, std::size_t length) {
    const std::size_t total = length + 1;
    std::size_t done = 0;
    while (done < total) {
        iovec parts[2];
        int count = 0;
        if (done < length) parts[count++] = {const_cast<char*>(line + done), length - done};
        parts[count++] = {const_cast<char*>("\n"), 1};
        const ssize_t n = writev(fd, parts, count);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd wait{fd, POLLOUT, 0};
            poll(&wait, 1, -1);
        } else {
            if (n == 0) errno = EIO;
            break;
        }
    }
    return done;
}

gboolean showBackupFailure(gpointer data) {
    IOData* io = recordFrom<IOData>(data, __LINE__);
    io->backupMessage = 0;
    const std::string detail = std::move(io->backupMessageDetail);
    showErrorDialog(io->window(), "Error: Failed writing backup: ", detail.c_str());
    return G_SOURCE_REMOVE;
}

// The backup stops; the status says so until the input closes or another backup starts, and the
// message waits for the main loop: a dialog run from inside the reading would hold the input up
// while it is open, and a serial device drops what it cannot hold meanwhile.
void stopAfterFailedWrite(IOData& io, int error) {
    const char* reason = g_strerror(error);
    io.backupStopped = std::string("backup stopped: ") + reason;
    io.backupMessageDetail = io.backupName + ": " + reason;
    closeBackup(io);
    updateInputStatus(io);
    if (io.backupMessage == 0)
        io.backupMessage = g_idle_add_full(G_PRIORITY_DEFAULT, showBackupFailure, &io, nullptr);
}

}  // namespace

bool openBackup(const FileName& name, bool append, IOData& io, const std::vector<std::string>& alsoRead) {
    GtkWidget* parent = io.window();
    const bool standardOutput = meansStandardOutput(name.utf8Name);
    struct stat target {};
    if (existingTarget(name, standardOutput, target) && writesIntoInput(target, io, alsoRead)) {
        showErrorDialog(parent, "Error: Backup file is the input being read: ", name.utf8Name.c_str());
        return false;
    }
    closeBackup(io);
    io.backupStopped.clear();
    GIOChannel* channel = nullptr;
    if (standardOutput) {
        channel = g_io_channel_unix_new(fileno(stdout));
        io.backupKind = BackupKind::standardOutput;
        io.backupName = "standard output";
    } else if (name.local()) {
        channel = g_io_channel_new_file(name.local(), append ? "a" : "w", nullptr);
        io.backupKind = BackupKind::file;
        io.backupName = name.utf8Name;
    }
    if (channel) {
        // Raw bytes: a line that is not valid UTF-8 must still be recorded as received. Lines are
        // written to the descriptor itself; the channel's buffer stays empty.
        g_io_channel_set_encoding(channel, nullptr, nullptr);
        io.backupChannel = channel;
        io.backupLineCount = 0;
    } else {
        io.backupKind = BackupKind::none;
        io.backupName.clear();
        showErrorDialog(parent, "Error: Failed backup: ", name.utf8Name.c_str());
    }
    updateRecordingIndicator(&io);
    return channel != nullptr;
}

void releaseBackupChannel(IOData& io) {
    GIOChannel* channel = io.backupChannel;
    if (!channel) return;
    if (io.backupKind == BackupKind::file) {
        g_io_channel_shutdown(channel, TRUE, nullptr);
    } else {
        g_io_channel_flush(channel, nullptr);
    }
    g_io_channel_unref(channel);
    io.backupKind = BackupKind::none;
    io.backupChannel = nullptr;
    io.backupLineCount = 0;
}

void closeBackup(IOData& io) {
    if (!io.backupChannel) return;
    releaseBackupChannel(io);
    updateRecordingIndicator(&io);
}

void recordBackupLine(IOData& io, const char* line, std::size_t length) {
    if (!io.backupChannel || length == 0) return;
    const std::int32_t limit = io.backupLimit;
    if (io.backupLineCount >= limit) {
        closeBackup(io);
        return;
    }
    const int fd = g_io_channel_unix_get_fd(io.backupChannel);
    const std::size_t written = writeLine(fd, line, length);
    if (written == length + 1) {
        ++io.backupLineCount;
        return;
    }
    const int error = errno;
    // A line cut short by a full disk or a size limit is taken back, so the file ends with the
    // last whole line.
    struct stat file {};
    if (written > 0 && fstat(fd, &file) == 0 && S_ISREG(file.st_mode) &&
        file.st_size >= static_cast<off_t>(written)) {
        if (ftruncate(fd, file.st_size - static_cast<off_t>(written)) != 0) {
            // Nothing more can be done: the message below tells why the backup stopped.
        }
    }
    stopAfterFailedWrite(io, error);
}

void dropBackupFailureMessage(IOData& io) {
    if (io.backupMessage != 0) g_source_remove(io.backupMessage);
    io.backupMessage = 0;
    io.backupMessageDetail.clear();
}
