// Serial line set-up, on a termios record and on a pseudo-terminal.
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "input/InputChannel.h"

namespace {

const struct {
    std::int32_t speed;
    speed_t expected;
} speedRows[] = {
    {115200, B115200}, {50, B50}, {134, B134}, {230400, B230400}, {19200, B19200},
    {12345, B9600},    {0, B9600}, {-1, B9600},
};

// Seven data bits, even parity, two stop bits, no receiver, modem lines honoured, 1200 bit/s,
// canonical input with echo and a VMIN/VTIME pair that must survive.
termios awkwardLine() {
    termios line{};
    line.c_cflag = CS7 | PARENB | CSTOPB | HUPCL;
    line.c_iflag = ICRNL | IXON;
    line.c_lflag = ICANON | ECHO;
    line.c_cc[VMIN] = 5;
    line.c_cc[VTIME] = 3;
    cfsetispeed(&line, B1200);
    cfsetospeed(&line, B1200);
    return line;
}

TEST(SerialLine, EightDataBitsNoParityOneStopBitAndTheSpeedFromTheTable) {
    for (const auto& row : speedRows) {
        SCOPED_TRACE(row.speed);
        termios line = awkwardLine();
        setSerialLineFields(line, row.speed);
        EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), 0u);
        EXPECT_EQ(line.c_cflag & (CREAD | CLOCAL | HUPCL), static_cast<tcflag_t>(CREAD | CLOCAL | HUPCL));
        EXPECT_EQ(cfgetispeed(&line), row.expected);
        EXPECT_EQ(cfgetospeed(&line), row.expected);
        const termios before = awkwardLine();
        EXPECT_EQ(line.c_iflag, before.c_iflag);
        EXPECT_EQ(line.c_lflag, before.c_lflag);
        EXPECT_EQ(line.c_cc[VMIN], 5);
        EXPECT_EQ(line.c_cc[VTIME], 3);
    }
}

TEST(SerialLine, ConfiguresAPseudoTerminal) {
    for (const auto& row : speedRows) {
        SCOPED_TRACE(row.speed);
        termios start = awkwardLine();
        int master = -1, slave = -1;
        ASSERT_EQ(openpty(&master, &slave, nullptr, &start, nullptr), 0);
        configureSerialLine(slave, row.speed);
        termios line{};
        ASSERT_EQ(tcgetattr(slave, &line), 0);
        // (A pseudo-terminal forces 8 bits, no parity and the receiver on by itself.)
        EXPECT_EQ(line.c_cflag & CSTOPB, 0u);
        EXPECT_NE(line.c_cflag & CLOCAL, 0u);
        EXPECT_EQ(cfgetispeed(&line), row.expected);
        EXPECT_EQ(cfgetospeed(&line), row.expected);
        EXPECT_EQ(line.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
        EXPECT_EQ(line.c_cc[VMIN], 5);
        close(slave);
        close(master);
    }
}

}  // namespace
