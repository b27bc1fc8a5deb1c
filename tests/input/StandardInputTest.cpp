// Standard input, replaced by a pipe that another thread or process writes to.
#include "input/InputChannel.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "tests/input/InputTestSupport.h"

namespace {

TEST(StandardInput, APipeFillsThePlotAndItsEndClosesTheInput) {
    InputWindow window;
    window.model.fixedXAxis = false;
    window.model.maxXSize = noXLimit;
    PipedStandardInput input;
    const int count = 30000;
    std::string data;
    for (int i = 0; i < count; ++i)
        data += std::to_string(i) + " " + std::to_string(2 * i) + (i % 3 ? "\n" : "\r\n");
    data += "4 5";  // no line feed before the end

    ASSERT_TRUE(openStandardInput(window.io));
    EXPECT_EQ(window.io.inputKind, InputKind::standardInput);
    EXPECT_EQ(window.title(), "Kivrel: [StdIn]");
    EXPECT_EQ(window.model.generalTitle, "StdIn");
    std::thread writer = input.writeAndClose(data);
    runUntil([&] { return window.io.inputChannel == nullptr; });
    writer.join();

    ASSERT_EQ(window.model.graphs.size(), 2u);
    int wrong = 0;
    for (int i = 0; i < count; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        wrong += window.model.graphs[0].samples[slot] != i || window.model.graphs[1].samples[slot] != 2 * i;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(window.model.graphs[0].samples[count], 4.0) << "the unfinished last line arrives too";
    EXPECT_EQ(window.model.graphs[1].samples[count], 5.0);
    EXPECT_EQ(window.model.writeIndex, static_cast<std::uint32_t>(count + 1));
    EXPECT_EQ(window.io.inputWatch, nullptr);
    EXPECT_EQ(window.title(), "Kivrel");
    // Standard input is handed back as it came: blocking, and no longer locked.
    EXPECT_EQ(fcntl(STDIN_FILENO, F_GETFL) & O_NONBLOCK, 0);
    const int other = open("/proc/self/fd/0", O_RDONLY);
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    close(other);
}

TEST(StandardInput, ThePlotRepaintsWhileAFastStreamIsRead) {
    InputWindow window;
    PipedStandardInput input;
    std::string data;
    for (int i = 0; i < 200000; ++i) data += std::to_string(i % 1000) + " 1 2 3 4 5 6 7\n";
    struct Counter {
        const IOData* io;
        int drawsWhileStreaming = 0;
    } counter{&window.io};
    const gulong handler = g_signal_connect(
        window.area, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer record) -> gboolean {
            auto* c = static_cast<Counter*>(record);
            if (c->io->inputChannel && c->io->linesHandedOn > 0) ++c->drawsWhileStreaming;
            return FALSE;
        }),
        &counter);

    ASSERT_TRUE(openStandardInput(window.io));
    std::thread writer = input.writeAndClose(data);
    runUntil([&] { return window.io.inputChannel == nullptr; });
    writer.join();
    g_signal_handler_disconnect(window.area, handler);
    // The input's watch outranks repaints and the pipe never runs dry, yet the plot is redrawn
    // again and again while the stream lasts.
    EXPECT_GE(counter.drawsWhileStreaming, 3);
    EXPECT_EQ(window.model.writeIndex, 200000u % window.model.xSize);
}

TEST(StandardInput, AStandardInputHeldElsewhereIsRefused) {
    InputWindow window;
    PipedStandardInput input;
    const int holder = open("/proc/self/fd/0", O_RDONLY);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    const std::int32_t generation = window.io.inputGeneration;
    DialogScript script;
    std::string shown;
    script.then(recordMessage(shown));
    EXPECT_FALSE(openStandardInput(window.io));
    EXPECT_EQ(shown, "StdIn is being used");
    EXPECT_EQ(window.io.inputGeneration, generation) << "nothing was opened or closed";
    EXPECT_EQ(window.io.inputChannel, nullptr);
    EXPECT_EQ(window.io.inputWatch, nullptr);
    close(holder);
}

}  // namespace
