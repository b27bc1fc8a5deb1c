#pragma once
// The standard serial speeds (bits per second) the kernel has a constant for, in rising order:
// these are set exactly through the terminal interface and offered in the configuration dialog.
// Any other positive speed is set as a plain number.

#include <cstddef>
#include <cstdint>

#include <termios.h>

constexpr std::int32_t serialSpeeds[] = {
    50,     75,     110,     134,     150,     200,     300,     600,     1200,    1800,
    2400,   4800,   9600,    19200,   38400,   57600,   115200,  230400,  460800,  500000,
    576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000};
constexpr std::size_t serialSpeedCount = sizeof serialSpeeds / sizeof serialSpeeds[0];
constexpr std::int32_t defaultSerialSpeed = 9600;

// The terminal-interface constant of each speed above, in the same order.
constexpr speed_t serialSpeedConstants[] = {
    B50,     B75,     B110,     B134,     B150,     B200,     B300,     B600,     B1200,    B1800,
    B2400,   B4800,   B9600,    B19200,   B38400,   B57600,   B115200,  B230400,  B460800,  B500000,
    B576000, B921600, B1000000, B1152000, B1500000, B2000000, B2500000, B3000000, B3500000, B4000000};
static_assert(sizeof serialSpeedConstants / sizeof serialSpeedConstants[0] == serialSpeedCount,
              "one constant per speed");
