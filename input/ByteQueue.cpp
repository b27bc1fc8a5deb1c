#include "input/ByteQueue.h"

#include <algorithm>
#include <cstring>

void ByteQueue::append(const char* data, std::size_t count) {
    while (count > 0) {
        if (blocks.empty() || blocks.back().used == blockSize) blocks.emplace_back();
        Block& last = blocks.back();
        const std::size_t take = std::min(count, blockSize - last.used);
        std::memcpy(last.bytes.get() + last.used, data, take);
        last.used += take;
        total += take;
        data += take;
        count -= take;
    }
}

const char* ByteQueue::front(std::size_t& count) const {
    count = blocks.empty() ? 0 : blocks.front().used - head;
    return count ? blocks.front().bytes.get() + head : nullptr;
}

void ByteQueue::consume(std::size_t count) {
    if (blocks.empty()) return;
    count = std::min(count, blocks.front().used - head);
    head += count;
    total -= count;
    if (head == blocks.front().used) {
        blocks.pop_front();
        head = 0;
    }
}

void ByteQueue::clear() {
    blocks.clear();
    head = 0;
    total = 0;
}
