// Kivrel: plots numbers live as text lines arrive from a serial device, standard input or a file.
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "app/Startup.h"

namespace {

// A standard descriptor the program was started without would be taken by the next file opened:
// the display connection would receive the backup written to standard output or the lines meant
// for standard error, and "-" would read the display connection as input. Each closed one is
// opened on /dev/null first; the lower ones are open by then, so open() returns that very number.
void openClosedStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    openClosedStandardDescriptors();
    return runKivrel(argc, argv);
}
