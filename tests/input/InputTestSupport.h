#pragma once
// Live inputs for tests: pseudo-terminals standing in for serial devices, a window standing in for
// the program around an input, running the main loop until something has happened, and looking at
// what the main loop would wait for.

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "input/IOData.h"
#include "input/InputChannel.h"
#include "input/InputHost.h"
#include "model/PlotModel.h"
#include "tests/support/DialogScript.h"
#include "tests/support/GtkTestSupport.h"

// A pseudo-terminal in raw mode, or in the kernel's default cooked mode (canonical, with echo and
// signal characters): the test writes to master, Kivrel opens name.
struct PseudoTerminal {
    enum Mode { raw, cooked };
    int master = -1;
    int slave = -1;  // kept open by the test, so that the line lives until master closes
    std::string name;

    explicit PseudoTerminal(speed_t speed = B38400, tcflag_t extraControl = 0, Mode mode = raw) {
        termios line{};
        cfmakeraw(&line);
        line.c_cflag |= extraControl;
        cfsetispeed(&line, speed);
        cfsetospeed(&line, speed);
        char path[128] = {};
        if (openpty(&master, &slave, path, mode == raw ? &line : nullptr, nullptr) != 0)
            ADD_FAILURE() << "openpty failed";
        name = path;
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~PseudoTerminal() {
        closeMaster();
        if (slave >= 0) close(slave);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    void closeMaster() {
        if (master >= 0) close(master);
        master = -1;
    }
    // Bytes written but not read yet by anyone.
    int unread() const {
        int count = 0;
        ioctl(slave, FIONREAD, &count);
        return count;
    }
};

// Keeps the main loop waking up while a test waits, whatever the sources under test do.
struct LoopTicker {
    guint id = g_timeout_add(
        5, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    ~LoopTicker() { g_source_remove(id); }
};

// Runs the main loop until done() holds; fails (instead of hanging) after a generous while.
inline bool runUntil(const std::function<bool()>& done) {
    LoopTicker ticker;
    const gint64 giveUp = g_get_monotonic_time() + 60 * G_USEC_PER_SEC;
    while (!done()) {
        if (g_get_monotonic_time() > giveUp) {
            ADD_FAILURE() << "the awaited state never came";
            return false;
        }
        g_main_context_iteration(nullptr, TRUE);
    }
    return true;
}

// Writes all of data to a non-blocking descriptor, running the main loop whenever it is full.
inline void writeWhileRunning(int fd, const std::string& data) {
    std::size_t at = 0;
    runUntil([&] {
        const ssize_t n = write(fd, data.data() + at, data.size() - at);
        if (n > 0) at += static_cast<std::size_t>(n);
        return at == data.size();
    });
}

// Whether the main loop would poll fd in its next iteration. The loop goes on afterwards as if
// nothing had been ready.
struct LoopProbe {
    bool polls = false;

    explicit LoopProbe(int fd) {
        GMainContext* context = g_main_context_default();
        g_main_context_acquire(context);
        gint priority = 0;
        g_main_context_prepare(context, &priority);
        std::vector<GPollFD> fds(256);
        gint timeout = -1;
        const gint count =
            g_main_context_query(context, G_MAXINT, &timeout, fds.data(), static_cast<gint>(fds.size()));
        for (gint i = 0; i < count && i < static_cast<gint>(fds.size()); ++i)
            polls = polls || fds[static_cast<std::size_t>(i)].fd == fd;
        g_main_context_check(context, G_MAXINT, fds.data(), 0);
        g_main_context_release(context);
    }
};

// text, count times over.
inline std::string repeated(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

// count random bytes from a fixed seed: every byte value, NUL and 0xFF more often than the others.
inline std::string binaryGarbage(std::size_t count) {
    std::mt19937 random(20261210);
    std::string out(count, '\0');
    for (char& c : out) {
        const auto value = static_cast<unsigned>(random() % 300);
        c = static_cast<char>(value < 256 ? value : value < 278 ? 0 : 0xFF);
    }
    return out;
}

// Writes data to a blocking descriptor from another thread as fast as it is taken, then runs done.
inline std::thread writeFromThread(int fd, std::string data, std::function<void()> done) {
    return std::thread([fd, text = std::move(data), done = std::move(done)] {
        for (std::size_t at = 0; at < text.size();) {
            const ssize_t n = write(fd, text.data() + at, text.size() - at);
            if (n <= 0) break;
            at += static_cast<std::size_t>(n);
        }
        done();
    });
}

// Standard input is the read end of a fresh pipe while this exists; the test writes to writer.
struct PipedStandardInput {
    int writer = -1;
    int saved = dup(STDIN_FILENO);

    PipedStandardInput() {
        int fds[2];
        if (pipe(fds) != 0) ADD_FAILURE() << "pipe failed";
        dup2(fds[0], STDIN_FILENO);
        close(fds[0]);
        writer = fds[1];
    }
    ~PipedStandardInput() {
        closeWriter();
        dup2(saved, STDIN_FILENO);
        close(saved);
    }
    PipedStandardInput(const PipedStandardInput&) = delete;
    PipedStandardInput& operator=(const PipedStandardInput&) = delete;

    void closeWriter() {
        if (writer >= 0) close(writer);
        writer = -1;
    }
    // Writes data from another thread as fast as the pipe takes it, then ends the stream.
    std::thread writeAndClose(std::string data) {
        return writeFromThread(writer, std::move(data), [this] { closeWriter(); });
    }
};

// The program around an input, played by a shown window: the plot the lines go into, a drawing area
// whose draws pace the reading (it draws nothing), and the input status and recording indicator
// the record shows. Counts the redraws the input asks for. The input is closed before the window
// goes.
class InputWindow final : public InputHost {
  public:
    PlotModel model;
    IOData io;
    GtkWidget* mainWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* area = gtk_drawing_area_new();
    int redrawsAsked = 0;

    InputWindow() {
        io.host = this;
        gtk_window_set_title(GTK_WINDOW(mainWindow), "Kivrel");
        gtk_widget_set_size_request(area, 610, 300);
        // GTK nulls the fields when the widgets go, as the program's window does.
        g_signal_connect(area, "destroy", G_CALLBACK(gtk_widget_destroyed), &area);
        io.statusLabel = gtk_label_new("");
        g_signal_connect(io.statusLabel, "destroy", G_CALLBACK(gtk_widget_destroyed), &io.statusLabel);
        io.indicatorImage = gtk_image_new();
        gtk_widget_set_no_show_all(io.indicatorImage, TRUE);
        GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_box_pack_start(GTK_BOX(column), io.statusLabel, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(column), io.indicatorImage, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(column), area, TRUE, TRUE, 0);
        gtk_container_add(GTK_CONTAINER(mainWindow), column);
        gtk_widget_show_all(mainWindow);
        drainEvents();
    }
    ~InputWindow() {
        closeInput(io);
        destroyTestWindow(mainWindow, {{"IOData", &io}});
    }
    InputWindow(const InputWindow&) = delete;
    InputWindow& operator=(const InputWindow&) = delete;

    PlotModel& plotModel() override { return model; }
    GtkWidget* window() const override { return mainWindow; }
    GtkWidget* plotArea() const override { return area; }
    void refreshPlot() override {
        ++redrawsAsked;
        if (area) gtk_widget_queue_draw(area);
    }

    // The descriptor the open input is read from.
    int inputFd() const { return io.inputChannel ? g_io_channel_unix_get_fd(io.inputChannel) : -1; }
    std::string title() const { return gtk_window_get_title(GTK_WINDOW(mainWindow)); }
};

// Collects the lines handed on through the backup's recording step, which runs for every
// non-empty line while a backup channel is set.
struct LineSpy {
    static std::vector<std::string>& lines() {
        static std::vector<std::string> received;
        return received;
    }
    IOData& io;
    BackupRecorder saved = backupRecorder;
    int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
    explicit LineSpy(IOData& record) : io(record) {
        lines().clear();
        io.backupChannel = g_io_channel_unix_new(sink);
        backupRecorder = [](IOData&, const char* line, std::size_t length) {
            lines().emplace_back(line, length);
        };
    }
    ~LineSpy() {
        backupRecorder = saved;
        g_io_channel_unref(io.backupChannel);
        io.backupChannel = nullptr;
        close(sink);
    }
    LineSpy(const LineSpy&) = delete;
    LineSpy& operator=(const LineSpy&) = delete;
};
