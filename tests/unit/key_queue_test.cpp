#include "display/key_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "key_printing.h"

namespace discsim {
namespace {

// Keys numbered 1..255.
Key numbered(int n) {
    return Key{{static_cast<unsigned char>(n), static_cast<unsigned char>(n)}, 2};
}

std::vector<int> drain(KeyQueue& queue) {
    std::vector<int> numbers;
    for (Key k = queue.pop(); !k.empty(); k = queue.pop())
        numbers.push_back(k.bytes[0]);
    return numbers;
}

TEST(KeyQueue, GivesKeysOldestFirstThenTheEmptyKey) {
    KeyQueue queue;
    EXPECT_TRUE(queue.pop().empty());
    queue.push(escape_string);
    queue.push(character_key(' '));
    queue.push(close_request);
    EXPECT_EQ(queue.pop(), escape_string);
    EXPECT_EQ(queue.pop(), character_key(' '));
    EXPECT_EQ(queue.pop(), close_request);
    EXPECT_TRUE(queue.pop().empty());
    EXPECT_TRUE(queue.pop().empty());
}

TEST(KeyQueue, HoldsFifteenKeysAndDropsTheOldestForEachNewOne) {
    struct Case {
        int pushed_before_pops;
        int pops;
        int pushed_after;
        std::vector<int> expected;  // what remains, oldest first
    };
    const Case cases[] = {
        {15, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {16, 0, 0, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        {20, 0, 0, {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
        // The ring has wrapped before it overflows.
        {10, 5, 12, {8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22}},
        {15, 15, 3, {16, 17, 18}},
    };
    for (const Case& c : cases) {
        KeyQueue queue;
        int n = 0;
        for (int i = 0; i < c.pushed_before_pops; ++i)
            queue.push(numbered(++n));
        for (int i = 0; i < c.pops; ++i)
            queue.pop();
        for (int i = 0; i < c.pushed_after; ++i)
            queue.push(numbered(++n));
        EXPECT_EQ(drain(queue), c.expected)
            << c.pushed_before_pops << " " << c.pops << " " << c.pushed_after;
    }
}

TEST(KeyQueue, TheNewestKeySurvivesAFullQueue) {
    KeyQueue queue;
    for (int i = 0; i < 40; ++i)
        queue.push(character_key(' '));
    queue.push(escape_string);
    Key last;
    for (Key k = queue.pop(); !k.empty(); k = queue.pop())
        last = k;
    EXPECT_EQ(last, escape_string);
}

TEST(KeyQueue, KeysPushedWhileAnotherThreadReadsKeepTheirOrderAndTheNewestArrives) {
    // Keys 1..count as two bytes, high then low, from a writer racing the reader: keys may be
    // dropped when the reader falls behind, but never reordered, and the last one always arrives.
    constexpr int count = 60000;
    KeyQueue queue;
    std::thread writer([&] {
        for (int n = 1; n <= count; ++n) {
            queue.push(
                Key{{static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n & 0xFF)}, 2});
        }
    });
    int previous = 0;
    while (previous != count) {
        const Key k = queue.pop();
        if (k.empty()) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(k.length, 2);
        const int n = k.bytes[0] << 8 | k.bytes[1];
        ASSERT_GT(n, previous);
        ASSERT_LE(n, count);
        previous = n;
    }
    writer.join();
    EXPECT_TRUE(queue.pop().empty());
}

}  // namespace
}  // namespace discsim
