#pragma once
// Any speed of a Linux terminal line, given as a number of bits per second (the kernel's termios2
// interface with BOTHER) instead of one of the fixed speed constants. Kept apart from the rest of
// the serial set-up because the kernel's terminal headers clash with <termios.h>.

#include <cstdint>

// Sets the input and output speed of the terminal fd to speed bits per second. False when the
// kernel refused the request.
bool setLineSpeedNumber(int fd, std::uint32_t speed);
// The output speed the terminal reports now, in bits per second; -1 when it cannot be read.
std::int64_t reportedLineSpeed(int fd);
