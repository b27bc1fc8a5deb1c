#pragma once
// The serial speeds (bits per second) a device can be set to, in rising order. A speed that is
// not listed is treated as 9600.

#include <cstddef>
#include <cstdint>

constexpr std::int32_t serialSpeeds[] = {50,   75,   110,  134,  150,   200,   300,   600,    1200,
                                         1800, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
constexpr std::size_t serialSpeedCount = sizeof serialSpeeds / sizeof serialSpeeds[0];
constexpr std::int32_t defaultSerialSpeed = 9600;
