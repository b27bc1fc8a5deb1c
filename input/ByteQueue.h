#pragma once
// Bytes that arrived while input was paused, kept in arrival order until Play hands them on. Stored
// in blocks of fixed size, so memory stays close to the bytes held however small the reads were.

#include <cstddef>
#include <deque>
#include <memory>

class ByteQueue {
  public:
    static constexpr std::size_t blockSize = 64 * 1024;

    std::size_t size() const { return total; }
    bool empty() const { return total == 0; }

    void append(const char* data, std::size_t count);
    // The oldest bytes held, in one contiguous piece of at most blockSize bytes (empty when none).
    const char* front(std::size_t& count) const;
    // Drops the count oldest bytes (at most the piece front() returned).
    void consume(std::size_t count);
    void clear();

  private:
    struct Block {
        std::unique_ptr<char[]> bytes{new char[blockSize]};
        std::size_t used = 0;
    };
    std::deque<Block> blocks;
    std::size_t head = 0;  // bytes of the first block already consumed
    std::size_t total = 0;
};
