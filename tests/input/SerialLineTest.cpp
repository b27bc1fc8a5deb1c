// Serial line set-up, on a termios record and on a pseudo-terminal.
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "input/InputChannel.h"
#include "input/LineSpeed.h"
#include "input/SerialSpeeds.h"

namespace {

struct SpeedRow {
    std::int32_t speed;
    speed_t expected;
};
const SpeedRow speedRows[] = {
    {115200, B115200}, {50, B50},         {134, B134},         {230400, B230400}, {19200, B19200},
    {460800, B460800}, {921600, B921600}, {4000000, B4000000}, {0, B9600},        {-1, B9600},
};

// Seven data bits, even parity, two stop bits, no receiver, modem lines honoured, 1200 bit/s, and
// a terminal's cooked input: canonical with echo and signal characters, CR translated, software
// flow control, the eighth bit stripped, output processed, a read waiting for 5 bytes.
termios awkwardLine() {
    termios line{};
    line.c_cflag = CS7 | PARENB | CSTOPB | HUPCL;
    line.c_iflag = ICRNL | IXON | IXOFF | ISTRIP | BRKINT | IGNCR;
    line.c_oflag = OPOST | ONLCR;
    line.c_lflag = ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN;
    line.c_cc[VMIN] = 5;
    line.c_cc[VTIME] = 3;
    cfsetispeed(&line, B1200);
    cfsetospeed(&line, B1200);
    return line;
}

// Every byte as it was sent, at once, and nothing sent back.
void expectRawReading(const termios& line) {
    EXPECT_EQ(line.c_iflag & (ICRNL | IXON | IXOFF | ISTRIP | BRKINT | IGNCR | INLCR), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_cc[VMIN], 1);
    EXPECT_EQ(line.c_cc[VTIME], 0);
}

TEST(SerialLine, EightDataBitsNoParityOneStopBitAndTheSpeedFromTheTable) {
    std::vector<SpeedRow> rows(std::begin(speedRows), std::end(speedRows));
    rows.push_back({12345, B1200});  // no constant: set as a number on the line, the record keeps its own
    for (const auto& row : rows) {
        SCOPED_TRACE(row.speed);
        termios line = awkwardLine();
        setSerialLineFields(line, row.speed);
        EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), 0u);
        EXPECT_EQ(line.c_cflag & (CREAD | CLOCAL | HUPCL), static_cast<tcflag_t>(CREAD | CLOCAL | HUPCL));
        EXPECT_EQ(cfgetispeed(&line), row.expected);
        EXPECT_EQ(cfgetospeed(&line), row.expected);
        expectRawReading(line);
    }
}

TEST(SerialLine, ConfiguresAPseudoTerminal) {
    std::vector<SpeedRow> rows(std::begin(speedRows), std::end(speedRows));
    // Every standard speed: the kernel reads the speed back from the constant that was set.
    for (std::size_t i = 0; i < serialSpeedCount; ++i)
        rows.push_back({serialSpeeds[i], serialSpeedConstants[i]});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.speed);
        termios start = awkwardLine();
        int master = -1, slave = -1;
        ASSERT_EQ(openpty(&master, &slave, nullptr, &start, nullptr), 0);
        EXPECT_TRUE(configureSerialLine(slave, row.speed));
        EXPECT_EQ(reportedLineSpeed(slave), row.speed > 0 ? row.speed : 9600);
        termios line{};
        ASSERT_EQ(tcgetattr(slave, &line), 0);
        // (A pseudo-terminal forces 8 bits, no parity and the receiver on by itself.)
        EXPECT_EQ(line.c_cflag & CSTOPB, 0u);
        EXPECT_NE(line.c_cflag & CLOCAL, 0u);
        EXPECT_EQ(cfgetispeed(&line), row.expected);
        EXPECT_EQ(cfgetospeed(&line), row.expected);
        expectRawReading(line);
        close(slave);
        close(master);
    }
}

// Speeds without a constant go to the line as numbers, and are read back as set (a pseudo-terminal
// takes any speed, as a USB adapter does).
TEST(SerialLine, AnyOtherSpeedIsSetAsItsNumber) {
    for (std::int32_t speed : {250000, 12345, 1000001, 1, 2147483647}) {
        SCOPED_TRACE(speed);
        termios start = awkwardLine();
        int master = -1, slave = -1;
        ASSERT_EQ(openpty(&master, &slave, nullptr, &start, nullptr), 0);
        EXPECT_TRUE(configureSerialLine(slave, speed));
        EXPECT_EQ(reportedLineSpeed(slave), speed);
        termios line{};
        ASSERT_EQ(tcgetattr(slave, &line), 0);
        EXPECT_EQ(line.c_cflag & CSTOPB, 0u);
        expectRawReading(line);
        close(slave);
        close(master);
    }
}

TEST(SerialLine, ASpeedCountsAsSetWithinTwoPercent) {
    const struct {
        std::int32_t requested;
        std::int64_t reported;
        bool accepted;
    } rows[] = {
        {9600, 9600, true},      {250000, 255000, true}, {250000, 245000, true},
        {250000, 255001, false}, {921600, 9600, false},  {4000000, 3000000, false},
        {9600, -1, false},       {9600, 0, false},       {0, 9600, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.requested) + " " + std::to_string(row.reported));
        EXPECT_EQ(speedAccepted(row.requested, row.reported), row.accepted);
    }
}

}  // namespace
