#include "input/Backup.h"

#include <cstdio>
#include <string>

#include <glib.h>

#include "app/GraphData.h"
#include "input/FileName.h"
#include "input/Messages.h"

namespace {

// A bare "-" (as "-b -" gives it) means standard output as the usage text promises, and so does
// a name chosen in a file dialog that ends in "/-".
bool meansStandardOutput(const std::string& name) {
    return name == "-" || (name.size() >= 2 && name.compare(name.size() - 2, 2, "/-") == 0);
}

}  // namespace

bool openBackup(const FileName& name, bool append, IOData& io) {
    closeBackup(io);
    GIOChannel* channel = nullptr;
    if (meansStandardOutput(name.utf8Name)) {
        channel = g_io_channel_unix_new(fileno(stdout));
        io.backupKind = BackupKind::standardOutput;
    } else if (name.local()) {
        channel = g_io_channel_new_file(name.local(), append ? "a" : "w", nullptr);
        io.backupKind = BackupKind::file;
    }
    if (channel) {
        // Raw bytes: a line that is not valid UTF-8 must still be recorded as received.
        g_io_channel_set_encoding(channel, nullptr, nullptr);
        io.backupChannel = channel;
        io.backupLineCount = 0;
    } else {
        io.backupKind = BackupKind::none;
        showErrorDialog(io.owner ? io.owner->mainWindow : nullptr, "Error: Failed backup: ", name.utf8Name.c_str());
    }
    updateRecordingIndicator(&io);
    return channel != nullptr;
}

void closeBackup(IOData& io) {
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
    updateRecordingIndicator(&io);
}

void recordBackupLine(IOData& io, const char* line, std::size_t length) {
    if (!io.backupChannel || length == 0) return;
    const std::int32_t limit = io.owner ? io.owner->backupLimit : 50000;
    if (io.backupLineCount >= limit) {
        closeBackup(io);
        return;
    }
    gsize written = 0;
    g_io_channel_write_chars(io.backupChannel, line, static_cast<gssize>(length), &written, nullptr);
    g_io_channel_write_chars(io.backupChannel, "\n", 1, &written, nullptr);
    g_io_channel_flush(io.backupChannel, nullptr);
    ++io.backupLineCount;
}
