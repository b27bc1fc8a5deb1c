// Serial devices, played by pseudo-terminals: opening, refusals, line cutting across reads, the
// end of a vanished device, and pausing.
#include "input/InputChannel.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "input/LineSpeed.h"
#include "tests/input/InputTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

using Lines = std::vector<std::string>;

std::string numberedLines(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += std::to_string(i) + "\n";
    return out;
}

// Every line "i" for i in 0..count-1 reached graph 0 in order.
void expectNumbered(const PlotModel& model, int count) {
    ASSERT_FALSE(model.graphs.empty());
    const std::vector<double>& samples = model.graphs[0].samples;
    ASSERT_GE(samples.size(), static_cast<std::size_t>(count));
    int wrong = 0;
    for (int i = 0; i < count; ++i) wrong += samples[static_cast<std::size_t>(i)] != i;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(model.writeIndex, static_cast<std::uint32_t>(count));
}

void extendableAxis(PlotModel& model) {
    model.fixedXAxis = false;
    model.maxXSize = noXLimit;
}

TEST(SerialDevice, OpensWithTheSpeedAndNamesItselfInTheTitle) {
    const struct {
        std::int32_t serialSpeed;
        std::int64_t expected;
        bool twoStopBitsKept;
    } rows[] = {{115200, 115200, false}, {0, 9600, false}, {250000, 250000, false}, {-1, 1200, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.serialSpeed);
        InputWindow window;
        PseudoTerminal device(B1200, CSTOPB);
        window.io.serialSpeed = row.serialSpeed;
        window.io.currentInputName = "old.plt";
        ASSERT_TRUE(openSerialDevice(device.name.c_str(), window.io));
        EXPECT_EQ(window.io.inputKind, InputKind::serialDevice);
        ASSERT_NE(window.io.inputWatch, nullptr);
        EXPECT_EQ(g_source_get_priority(window.io.inputWatch), 100);
        EXPECT_EQ(window.model.sourceName, sourceBaseName(device.name));
        EXPECT_EQ(window.model.generalTitle, window.model.sourceName);
        EXPECT_EQ(window.title(), "Kivrel: [" + window.model.sourceName + "]");
        EXPECT_TRUE(window.io.currentInputName.empty());
        termios line{};
        ASSERT_EQ(tcgetattr(device.slave, &line), 0);
        EXPECT_EQ(reportedLineSpeed(device.slave), row.expected);
        EXPECT_EQ((line.c_cflag & CSTOPB) != 0, row.twoStopBitsKept);

        closeInput(window.io);
        EXPECT_EQ(window.io.inputWatch, nullptr);
        EXPECT_EQ(window.title(), "Kivrel");
        EXPECT_EQ(window.model.sourceName, sourceBaseName(device.name)) << "the plot keeps its name";
    }
}

// A new terminal starts canonical with echo: read that way, every byte would go back to the device,
// 0x03 would throw away what was not read yet, 0x04 would end the input and lines would be cut at
// 4095 bytes. It is read raw, also when its speed and framing are left alone, and given back as it
// was.
TEST(SerialDevice, ACookedTerminalIsReadRawAndGivenBackAsItWas) {
    const std::string wide(5000, '7');
    for (std::int32_t speed : {0, -1}) {
        SCOPED_TRACE(speed);
        InputWindow window;
        window.io.serialSpeed = speed;
        PseudoTerminal device(B38400, 0, PseudoTerminal::cooked);
        termios before{};
        ASSERT_EQ(tcgetattr(device.slave, &before), 0);
        ASSERT_EQ(before.c_lflag & (ICANON | ECHO | ISIG), static_cast<tcflag_t>(ICANON | ECHO | ISIG));
        ASSERT_TRUE(openSerialDevice(device.name.c_str(), window.io));
        LineSpy spy(window.io);
        writeWhileRunning(device.master,
                          "1 2\n3 4\n\x03\x04"
                          "55 66\n" +
                              wide + "\n77 8");
        runUntil([&] { return LineSpy::lines().size() == 4 || window.io.inputChannel == nullptr; });
        char echoed[64];
        EXPECT_EQ(read(device.master, echoed, sizeof echoed), -1) << "nothing is sent back to the device";
        device.closeMaster();  // end of input
        runUntil([&] { return window.io.inputChannel == nullptr; });
        EXPECT_EQ(LineSpy::lines(), (Lines{"1 2", "3 4",
                                           "\x03\x04"
                                           "55 66",
                                           wide, "77 8"}));

        PseudoTerminal other(B38400, 0, PseudoTerminal::cooked);
        ASSERT_TRUE(openSerialDevice(other.name.c_str(), window.io));
        closeInput(window.io);
        termios after{};
        ASSERT_EQ(tcgetattr(other.slave, &after), 0);
        EXPECT_EQ(after.c_iflag, before.c_iflag);
        EXPECT_EQ(after.c_oflag, before.c_oflag);
        EXPECT_EQ(after.c_cflag, before.c_cflag);
        EXPECT_EQ(after.c_lflag, before.c_lflag);
        EXPECT_EQ(std::string(after.c_cc, after.c_cc + NCCS), std::string(before.c_cc, before.c_cc + NCCS));
    }
}

// A device that does not open, or whose driver refuses the speed (rather than reading at another),
// is reported with its reason: nothing is opened, and a device that opened is closed again.
TEST(SerialDevice, ARefusedDeviceIsReportedWithItsReason) {
    PseudoTerminal held, refusing;
    const int holder = open(held.name.c_str(), O_RDONLY | O_NOCTTY);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    const SerialLineSetter saved = serialLineSetter;
    const SerialLineSetter refuse = [](int, std::int32_t) { return false; };
    const struct {
        std::string name;
        std::int32_t speed;
        SerialLineSetter setter;
        std::string message;
        bool closedAgain;
    } rows[] = {
        {"/dev/ttyKivrelMissing", 0, saved,
         "Serial port error: /dev/ttyKivrelMissing\nNo such file or directory", false},
        {held.name, 0, saved, "Serial port is being used: " + held.name, false},
        {refusing.name, 123456, refuse,
         "Serial port speed not supported: " + refusing.name + " at 123456 bits/s", true},
        {refusing.name, 0, refuse, "Serial port speed not supported: " + refusing.name + " at 9600 bits/s",
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        serialLineSetter = row.setter;
        InputWindow window;
        window.io.serialSpeed = row.speed;
        const std::int32_t generation = window.io.inputGeneration;
        DialogScript script;
        std::string shown;
        script.then(recordMessage(shown));
        EXPECT_FALSE(openSerialDevice(row.name.c_str(), window.io));
        EXPECT_EQ(shown, row.message);
        EXPECT_EQ(window.io.inputGeneration, generation);
        EXPECT_EQ(window.io.inputChannel, nullptr);
        EXPECT_EQ(window.io.inputWatch, nullptr);
        EXPECT_EQ(window.io.inputKind, InputKind::none);
        if (row.closedAgain) {
            const int other = open(row.name.c_str(), O_RDONLY | O_NOCTTY);
            EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "the device is closed again";
            close(other);
        }
    }
    serialLineSetter = saved;
    close(holder);
}

// An input still open when its record goes (the program ends without closing it) leaves no
// main-loop source pointing at the record, and gives the device and its lock back.
TEST(SerialDevice, AnInputRecordThatGoesReleasesItsOpenDevice) {
    PseudoTerminal device;
    const void* record = nullptr;
    InputWindow window;
    {
        IOData io;
        io.host = &window;
        io.serialSpeed = -1;
        ASSERT_TRUE(openSerialDevice(device.name.c_str(), io));
        record = &io;
        ASSERT_NE(g_main_context_find_source_by_user_data(nullptr, const_cast<void*>(record)), nullptr);
    }
    EXPECT_EQ(g_main_context_find_source_by_user_data(nullptr, const_cast<void*>(record)), nullptr);
    const int fd = open(device.name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0) << "the lock went with the record";
    close(fd);
}

TEST(SerialDevice, LinesAreCutTheSameWhereverTheReadsEnd) {
    InputWindow window;
    PseudoTerminal device;
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), window.io));
    // (After opening: the spy's stand-in backup would show the recording indicator, and the
    // window's new layout would repaint the plot.)
    LineSpy spy(window.io);
    const int redraws = window.redrawsAsked;

    writeWhileRunning(device.master, "  1 2");
    runUntil([&] { return device.unread() == 0; });
    EXPECT_TRUE(LineSpy::lines().empty()) << "half a line waits for its end";
    writeWhileRunning(device.master, " 3\r\n4\n\r");
    runUntil([&] { return LineSpy::lines().size() == 2; });
    EXPECT_EQ(LineSpy::lines(), (Lines{"1 2 3", "4"}));
    EXPECT_EQ(window.model.graphs.size(), 3u);
    EXPECT_EQ(window.model.graphs[2].samples[0], 3.0);
    EXPECT_GT(window.redrawsAsked, redraws) << "lines arrived: the plot is redrawn";

    const int afterLines = window.redrawsAsked;
    writeWhileRunning(device.master, "\r\n \n\t\r\n");
    runUntil([&] { return device.unread() == 0; });
    drainEvents();
    EXPECT_EQ(window.redrawsAsked, afterLines) << "blank lines ask for no redraw";

    // A line of 64 wide numbers is one sample, however long; a line beyond the bound is dropped
    // whole and counted, and the line after it plots as usual.
    std::string wide;
    for (int column = 0; column < 64; ++column)
        wide += "-1234567.2500000000000000000000000000" + std::to_string(column) + " ";
    ASSERT_GT(wide.size(), 2400u);
    LineSpy::lines().clear();
    const std::uint32_t before = window.model.writeIndex;
    writeWhileRunning(device.master, wide + "\n" + std::string(maxLineLength + 1, '9') + "\n5 6\n");
    runUntil([&] { return LineSpy::lines().size() == 2; });
    EXPECT_EQ(LineSpy::lines(), (Lines{wide, "5 6"}));
    EXPECT_EQ(window.model.writeIndex, before + 2);
    ASSERT_EQ(window.model.graphs.size(), 64u);
    EXPECT_EQ(window.model.graphs[63].samples[before], -1234567.25);
    EXPECT_EQ(window.io.linesDropped, 1u);
    updateInputStatus(window.io);
    EXPECT_EQ(std::string(gtk_label_get_text(GTK_LABEL(window.io.statusLabel)))
                  .rfind("1 line over 65536 bytes dropped; ", 0),
              0u);
}

TEST(SerialDevice, ReadingRestsAMomentAfterItTookAllThereWas) {
    InputWindow window;
    // A hidden plot is never waited for, so nothing but the rest keeps the device from the poll.
    gtk_widget_hide(window.mainWindow);
    PseudoTerminal device;
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), window.io));
    writeWhileRunning(device.master, "1 2\n");
    runUntil([&] { return window.io.linesHandedOn == 1; });
    // Right after the read that emptied the device: left alone, and woken by time.
    EXPECT_FALSE(LoopProbe(window.inputFd()).polls);
    EXPECT_GT(g_source_get_ready_time(window.io.inputWatch), 0);
    // What arrives meanwhile is read when the rest is over.
    writeWhileRunning(device.master, "3 4\n");
    writeWhileRunning(device.master, "5 6\n");
    runUntil([&] { return window.io.linesHandedOn == 3; });
    EXPECT_EQ(window.model.graphs[1].samples[2], 6.0);
    // Without new bytes the rest ends in a read of nothing, and only the device wakes it again.
    runUntil([&] { return g_source_get_ready_time(window.io.inputWatch) == -1; });
    EXPECT_TRUE(LoopProbe(window.inputFd()).polls);
}

TEST(SerialDevice, AVanishedDeviceHandsOnItsLastTextAndIsClosedForGood) {
    InputWindow window;
    PseudoTerminal device;
    LineSpy spy(window.io);
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), window.io));
    GSource* watch = g_source_ref(window.io.inputWatch);
    const int fd = window.inputFd();
    writeWhileRunning(device.master, "1\n4 5");
    runUntil([&] { return device.unread() == 0 && LineSpy::lines().size() == 1; });

    device.closeMaster();  // the adapter is pulled out: reads fail from now on
    runUntil([&] { return window.io.inputChannel == nullptr; });
    EXPECT_EQ(LineSpy::lines(), (Lines{"1", "4 5"}));
    EXPECT_EQ(window.model.graphs[1].samples[1], 5.0) << "the plot keeps what arrived";
    EXPECT_EQ(window.io.inputWatch, nullptr);
    EXPECT_TRUE(g_source_is_destroyed(watch));
    EXPECT_FALSE(LoopProbe(fd).polls) << "nothing watches the dead device any more";
    EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "the device is closed";
    EXPECT_EQ(window.title(), "Kivrel");
    g_source_unref(watch);
}

TEST(SerialDevice, PauseKeepsReadingAndPlayHandsEverythingOnInOrder) {
    InputWindow window;
    extendableAxis(window.model);
    PseudoTerminal device;
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), window.io));
    togglePause(window.io);
    EXPECT_EQ(g_source_get_priority(window.io.inputWatch), 300);

    // Far more than a terminal's kernel buffer: without reading while paused the writer would stall
    // (and a real device would lose data).
    const int count = 40000;
    const std::string data = numberedLines(count);
    writeWhileRunning(device.master, data);
    runUntil([&] { return window.io.pausedInput.size() == data.size(); });
    EXPECT_TRUE(window.model.graphs.empty()) << "nothing is plotted while paused";
    EXPECT_EQ(window.io.linesHandedOn, 0u);
    // Idle while paused: only new bytes on the device wake the input up.
    EXPECT_EQ(device.unread(), 0);
    EXPECT_EQ(g_source_get_ready_time(window.io.inputWatch), -1);

    writeWhileRunning(device.master, "40000\n");
    togglePause(window.io);
    EXPECT_EQ(g_source_get_priority(window.io.inputWatch), 100);
    runUntil([&] { return window.io.linesHandedOn == count + 1; });
    expectNumbered(window.model, count + 1);
    EXPECT_TRUE(window.io.pausedInput.empty());
    // Once all is handed on (and a pause for a repaint is over), only the device wakes it again.
    runUntil([&] { return g_source_get_ready_time(window.io.inputWatch) == -1; });
}

TEST(SerialDevice, AFullPauseQueueStopsReadingUntilPlay) {
    InputWindow window;
    extendableAxis(window.model);
    const std::size_t limit = pauseQueueLimit;
    pauseQueueLimit = 64 * 1024;
    PseudoTerminal device;
    ASSERT_TRUE(openSerialDevice(device.name.c_str(), window.io));
    togglePause(window.io);

    const int count = 60000;
    const std::string data = numberedLines(count);
    std::size_t written = 0;
    runUntil([&] {
        const ssize_t n = write(device.master, data.data() + written, data.size() - written);
        if (n > 0) written += static_cast<std::size_t>(n);
        return window.io.pausedInput.size() == pauseQueueLimit && device.unread() > 0;
    });
    EXPECT_FALSE(LoopProbe(window.inputFd()).polls)
        << "a full queue leaves the device alone instead of spinning";
    EXPECT_TRUE(window.model.graphs.empty());

    togglePause(window.io);
    writeWhileRunning(device.master, data.substr(written));
    runUntil([&] { return window.io.linesHandedOn == count; });
    expectNumbered(window.model, count);
    pauseQueueLimit = limit;
}

// A device name that is a symbolic link to a pseudo-terminal: pulling the adapter out closes the
// terminal, plugging it in again makes a new one and points the link at it.
struct PluggableDevice {
    TempDir directory;
    std::string link = directory.path("ttyKivrel");
    std::unique_ptr<PseudoTerminal> terminal = std::make_unique<PseudoTerminal>();

    PluggableDevice() { EXPECT_EQ(symlink(terminal->name.c_str(), link.c_str()), 0); }
    PluggableDevice(const PluggableDevice&) = delete;
    PluggableDevice& operator=(const PluggableDevice&) = delete;

    void unplug() { terminal->closeMaster(); }
    // A new terminal at a speed of its own, under the same name.
    void plugIn() {
        terminal = std::make_unique<PseudoTerminal>(B1200);
        pointAt(terminal->name);
    }
    // The name stands for something else from now on.
    void pointAt(const std::string& target) {
        unlink(link.c_str());
        EXPECT_EQ(symlink(target.c_str(), link.c_str()), 0);
    }
};

TEST(SerialDevice, ReconnectingReadsAReturningDeviceIntoTheSamePlot) {
    InputWindow window;
    PluggableDevice device;
    window.io.serialSpeed = 250000;
    setReconnectDevice(window.io, true);
    ASSERT_TRUE(openSerialDevice(device.link.c_str(), window.io));
    LineSpy spy(window.io);  // stands in for an open backup
    const std::string name = sourceBaseName(device.link);
    writeWhileRunning(device.terminal->master, "1\n2\n#>custom title\n");
    runUntil([&] { return LineSpy::lines().size() == 3; });

    device.unplug();
    runUntil([&] { return waitingForDevice(window.io); });
    EXPECT_EQ(window.io.inputChannel, nullptr);
    EXPECT_EQ(window.io.inputWatch, nullptr);
    EXPECT_EQ(window.title(), "Kivrel: [" + name + "] (waiting for device)");
    EXPECT_EQ(window.model.writeIndex, 2u) << "the plot keeps what arrived";

    device.plugIn();
    runUntil([&] { return window.io.inputChannel != nullptr; });
    EXPECT_FALSE(waitingForDevice(window.io));
    EXPECT_EQ(window.title(), "Kivrel: [" + name + "]");
    EXPECT_EQ(reportedLineSpeed(device.terminal->slave), 250000) << "reopened at its own speed";
    EXPECT_EQ(window.model.generalTitle, "custom title") << "the plot goes on as it was";
    writeWhileRunning(device.terminal->master, "3\n");
    runUntil([&] { return LineSpy::lines().size() == 4; });
    EXPECT_EQ(LineSpy::lines().back(), "3");
    ASSERT_EQ(window.model.graphs.size(), 1u);
    EXPECT_EQ(window.model.writeIndex, 3u);
    EXPECT_EQ(window.model.graphs[0].samples[2], 3.0);
    EXPECT_NE(window.io.backupChannel, nullptr);

    // And again, paused this time: the device comes back paused, and Play hands on what it sent.
    device.unplug();
    runUntil([&] { return waitingForDevice(window.io); });
    togglePause(window.io);
    device.plugIn();
    runUntil([&] { return window.io.inputChannel != nullptr; });
    EXPECT_EQ(g_source_get_priority(window.io.inputWatch), 300);
    writeWhileRunning(device.terminal->master, "4\n");
    runUntil([&] { return device.terminal->unread() == 0; });
    EXPECT_EQ(window.model.writeIndex, 3u) << "nothing is plotted while paused";
    togglePause(window.io);
    EXPECT_EQ(g_source_get_priority(window.io.inputWatch), 100);
    runUntil([&] { return window.model.writeIndex == 4u; });

    // Vanishing while paused: the device is awaited at once, what it sent before it went (its
    // unfinished line ended there) and what it sends after its return wait for Play, in order.
    togglePause(window.io);
    writeWhileRunning(device.terminal->master, "5\n6");
    // (Read, not just written: bytes still on their way through the terminal when it closes are
    // lost, as on a real line.)
    runUntil([&] { return window.io.pausedInput.size() == 3; });
    device.unplug();
    runUntil([&] { return waitingForDevice(window.io); });
    EXPECT_EQ(window.title(), "Kivrel: [" + name + "] (waiting for device)");
    device.plugIn();
    runUntil([&] { return !waitingForDevice(window.io) && window.io.inputChannel != nullptr; });
    EXPECT_EQ(window.title(), "Kivrel: [" + name + "]");
    EXPECT_EQ(g_source_get_priority(window.io.inputWatch), 300);
    writeWhileRunning(device.terminal->master, "7\n");
    runUntil([&] { return device.terminal->unread() == 0; });
    EXPECT_EQ(window.model.writeIndex, 4u) << "nothing is plotted while paused";
    LineSpy::lines().clear();
    togglePause(window.io);
    runUntil([&] { return window.model.writeIndex == 7u; });
    EXPECT_EQ(LineSpy::lines(), (Lines{"5", "6", "7"}));
}

// Opens the device with reconnecting on, lets it send text (whole lines), pulls it out and waits
// until the wait for its return has begun.
void vanishWhileReconnecting(IOData& io, PluggableDevice& device, const std::string& text = "") {
    setReconnectDevice(io, true);
    ASSERT_TRUE(openSerialDevice(device.link.c_str(), io));
    const auto lines = static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
    writeWhileRunning(device.terminal->master, text);
    runUntil([&] { return io.linesHandedOn == lines; });
    device.unplug();
    runUntil([&] { return waitingForDevice(io); });
}

TEST(SerialDevice, TheWaitForAVanishedDeviceEndsWhenTheUserMovesOn) {
    PseudoTerminal other;
    const struct {
        const char* how;
        std::function<void(IOData&)> moveOn;
        std::string title;
    } rows[] = {
        {"Close Device", [](IOData& io) { closeInput(io); }, "Kivrel"},
        {"reconnecting turned off", [](IOData& io) { setReconnectDevice(io, false); }, "Kivrel"},
        {"another device opened", [&](IOData& io) { openSerialDevice(other.name.c_str(), io); },
         "Kivrel: [" + sourceBaseName(other.name) + "]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.how);
        InputWindow window;
        PluggableDevice device;
        ASSERT_NO_FATAL_FAILURE(vanishWhileReconnecting(window.io, device));
        row.moveOn(window.io);
        EXPECT_FALSE(waitingForDevice(window.io));
        EXPECT_EQ(window.title(), row.title);
        const GIOChannel* channel = window.io.inputChannel;
        device.plugIn();
        const gint64 until = g_get_monotonic_time() + 5 * static_cast<gint64>(reconnectIntervalMs) * 1000 / 2;
        runUntil([&] { return g_get_monotonic_time() > until; });
        EXPECT_EQ(window.io.inputChannel, channel) << "the device is left alone";
        EXPECT_EQ(window.title(), row.title);
        closeInput(window.io);
    }
}

// Standard error goes to a file while this exists.
struct StandardErrorCapture {
    TempDir folder;
    int saved = dup(STDERR_FILENO);

    StandardErrorCapture() {
        std::fflush(stderr);
        const int fd = open(folder.path("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(fd, STDERR_FILENO);
        close(fd);
    }
    ~StandardErrorCapture() {
        std::fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    // How many end-of-input reports were written.
    int endReports() const {
        std::fflush(stderr);
        const std::string text = readWholeFile(folder.path("stderr"));
        int count = 0;
        for (std::size_t at = text.find("kivrel: end of input:"); at != std::string::npos;
             at = text.find("kivrel: end of input:", at + 1)) {
            ++count;
        }
        return count;
    }
};

// A vanished device is awaited while its name is missing or a character device. A name that now
// stands for a folder or a file ends the wait with one message; a character device that opens but
// ends at once (like /dev/null) is awaited on, and its empty returns are no new ends of input.
TEST(SerialDevice, OnlyAMissingNameOrACharacterDeviceIsAwaited) {
    TempDir targets;
    ASSERT_TRUE(targets.ok());
    const std::string folder = targets.path("folder");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string file = targets.write("file.plt", "7 8\n");
    g_setenv("KIVREL_REPORT_EOF", "1", TRUE);
    const struct {
        std::string target;
        bool awaited;
    } rows[] = {{folder, false}, {file, false}, {"/dev/null", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.target);
        InputWindow window;
        PluggableDevice device;
        StandardErrorCapture errors;
        ASSERT_NO_FATAL_FAILURE(vanishWhileReconnecting(window.io, device, "1\n"));

        DialogScript script;
        std::string shown;
        script.then(recordMessage(shown));
        device.pointAt(row.target);
        if (row.awaited) {
            // Opened and ended again, three times over.
            for (int cycle = 0; cycle < 3; ++cycle) {
                runUntil([&] { return window.io.inputChannel != nullptr; });
                runUntil([&] { return window.io.inputChannel == nullptr && waitingForDevice(window.io); });
            }
            EXPECT_EQ(script.answered, 0);
            EXPECT_EQ(window.title(), "Kivrel: [" + sourceBaseName(device.link) + "] (waiting for device)");
        } else {
            runUntil([&] { return script.answered == 1; });
            EXPECT_EQ(shown, "Serial port error: " + device.link + "\nno longer names a device");
            EXPECT_FALSE(waitingForDevice(window.io));
            EXPECT_EQ(window.io.inputChannel, nullptr);
            EXPECT_EQ(window.title(), "Kivrel");
        }
        EXPECT_EQ(errors.endReports(), 1) << "the one end of the device's input";
        EXPECT_EQ(window.model.writeIndex, 1u) << "the plot keeps what the device sent, and only that";
        closeInput(window.io);
    }
    g_unsetenv("KIVREL_REPORT_EOF");
}

}  // namespace
