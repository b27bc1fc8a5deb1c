#include "input/LineSpeed.h"

// Only the kernel's own headers here: <termios.h> defines the same names differently.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

bool setLineSpeedNumber(int fd, std::uint32_t speed) {
    struct termios2 line {};
    if (ioctl(fd, TCGETS2, &line) != 0) return false;
    // The input speed bits (shifted by IBSHIFT) say BOTHER as well, so both directions take the
    // number rather than following the output speed.
    line.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    line.c_cflag |= static_cast<tcflag_t>(BOTHER | (BOTHER << IBSHIFT));
    line.c_ispeed = speed;
    line.c_ospeed = speed;
    return ioctl(fd, TCSETS2, &line) == 0;
}

std::int64_t reportedLineSpeed(int fd) {
    struct termios2 line {};
    if (ioctl(fd, TCGETS2, &line) != 0) return -1;
    return line.c_ospeed;
}
