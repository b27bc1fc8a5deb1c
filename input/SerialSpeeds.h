#pragma once
// The serial speeds (bits per second) a device can be set to, in rising order. A speed that is
// not listed is treated as 9600.

#include <cstddef>
#include <cstdint>

#include <termios.h>

constexpr std::int32_t serialSpeeds[] = {50,   75,   110,  134,  150,   200,   300,   600,    1200,
                                         1800, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
constexpr std::size_t serialSpeedCount = sizeof serialSpeeds / sizeof serialSpeeds[0];
constexpr std::int32_t defaultSerialSpeed = 9600;

// The terminal-interface constant of each speed above, in the same order.
constexpr speed_t serialSpeedConstants[] = {B50,   B75,   B110,  B134,   B150,   B200,    B300,    B600,   B1200,
                                            B1800, B2400, B4800, B9600,  B19200, B38400,  B57600,  B115200, B230400};
static_assert(sizeof serialSpeedConstants / sizeof serialSpeedConstants[0] == serialSpeedCount,
              "one constant per speed");
