// The lock-free ring between the JACK process callback and the layer's threads.
#include "SpscByteRing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

using dorvo::winmm::SpscByteRing;

TEST(SpscByteRing, WritesAllOrNothingAndWrapsAround) {
    SpscByteRing ring(16);
    EXPECT_EQ(16u, ring.capacity());
    const std::uint8_t ten[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_TRUE(ring.write(ten, 10));
    EXPECT_FALSE(ring.write(ten, 7)) << "only 6 bytes free";
    std::uint8_t out[10] = {};
    ASSERT_TRUE(ring.read(out, 8));
    EXPECT_FALSE(ring.read(out, 3)) << "only 2 bytes there";
    // Now the write runs over the end of the buffer.
    const std::uint8_t header[2] = {0xA0, 0xA1};
    ASSERT_TRUE(ring.write(header, 2, ten, 10));
    EXPECT_EQ(14u, ring.readable());
    std::uint8_t back[14] = {};
    ASSERT_TRUE(ring.read(back, 14));
    const std::uint8_t expected[14] = {8, 9, 0xA0, 0xA1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(0, std::memcmp(expected, back, 14));
    EXPECT_EQ(22u, ring.totalWritten());
    EXPECT_EQ(22u, ring.totalRead());
}

TEST(SpscByteRing, CapacityIsRoundedUpToAPowerOfTwo) {
    EXPECT_EQ(1024u, SpscByteRing(1000).capacity());
    SpscByteRing ring(1000);
    std::vector<std::uint8_t> bytes(1024, 7);
    EXPECT_TRUE(ring.write(bytes.data(), bytes.size()));
    EXPECT_TRUE(ring.read(nullptr, 1024)) << "a null destination skips";
    EXPECT_EQ(0u, ring.readable());
}

TEST(SpscByteRing, RecordsCrossBetweenThreadsWholeAndInOrder) {
    SpscByteRing ring(256);
    constexpr std::uint32_t kRecords = 200000;
    std::thread producer([&] {
        for (std::uint32_t i = 0; i < kRecords; ++i) {
            const std::uint32_t size = 1 + i % 29;
            std::uint8_t body[29];
            for (std::uint32_t k = 0; k < size; ++k)
                body[k] = std::uint8_t(i + k);
            while (!ring.write(&size, sizeof size, body, size))
                std::this_thread::yield();
        }
    });
    std::uint32_t received = 0;
    bool intact = true;
    while (received < kRecords) {
        std::uint32_t size = 0;
        if (!ring.read(&size, sizeof size)) {
            std::this_thread::yield();
            continue;
        }
        std::uint8_t body[29] = {};
        // The body was published with its header: it must be there at once.
        intact = intact && size == 1 + received % 29 && ring.read(body, size);
        for (std::uint32_t k = 0; intact && k < size; ++k)
            intact = body[k] == std::uint8_t(received + k);
        if (!intact)
            break;
        ++received;
    }
    producer.join();
    EXPECT_TRUE(intact) << "record " << received << " was damaged";
    EXPECT_EQ(kRecords, received);
}
