#include "input/ByteQueue.h"

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(ByteQueue, GivesBackEveryByteInOrderWhileMoreArrives) {
    ByteQueue queue;
    std::string sent;
    int next = 0;
    const auto appendPiece = [&] {
        const std::string piece = std::to_string(next) + (next % 7 == 0 ? std::string(5000, 'x') : "") + "\n";
        ++next;
        queue.append(piece.data(), piece.size());
        sent += piece;
    };
    while (sent.size() < 3 * ByteQueue::blockSize) appendPiece();
    EXPECT_EQ(queue.size(), sent.size());
    std::string received;
    while (!queue.empty()) {
        std::size_t count = 0;
        const char* piece = queue.front(count);
        ASSERT_GT(count, 0u);
        ASSERT_LE(count, ByteQueue::blockSize);
        const std::size_t take = std::min<std::size_t>(count, 10000);
        received.append(piece, take);
        queue.consume(take);
        if (next < 2000) appendPiece();  // reading goes on while the queue is handed on
        EXPECT_EQ(queue.size(), sent.size() - received.size());
    }
    EXPECT_EQ(received, sent);
}

}  // namespace
