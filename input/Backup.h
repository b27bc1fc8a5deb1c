#pragma once
// Recording the received input: every line handed on from a live input is written, with one '\n',
// to a backup file or to standard output at once, up to the backup limit. A backup that cannot be
// written any more (a full disk, a reader that went away) stops: the lines recorded so far stay
// whole, the user is told why, and the plot goes on.

#include <cstddef>
#include <string>
#include <vector>

struct FileName;
struct IOData;

// Closes the current backup and starts a new one: standard output for "-" or a name ending in
// "/-", otherwise the file, appended to or overwritten. A target that is the file being read
// (the open input, or one of alsoRead, local names of files about to be read, "-" for standard
// input) is refused and the current backup goes on. Failures are shown in an error dialog.
bool openBackup(const FileName& name, bool append, IOData& io, const std::vector<std::string>& alsoRead = {});

// Flushes and closes the backup (standard output stays open); nothing when none is open.
void closeBackup(IOData& io);

// The part of closeBackup that flushes and gives back the channel, telling no one (for the record's
// destructor).
void releaseBackupChannel(IOData& io);

// Writes one line to the open backup, or closes the backup once it holds the limit's lines. A
// failed write takes back the part of the line it wrote, closes the backup and reports the
// failure (the message comes from the main loop, so reading goes on meanwhile).
void recordBackupLine(IOData& io, const char* line, std::size_t length);

// Drops a failure message that has not been shown yet (at the end of the program).
void dropBackupFailureMessage(IOData& io);
