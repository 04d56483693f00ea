// The ring buffer and the event pusher: records wrap around the ring's end intact, a full ring
// drops the next event and frees its data, and a running pusher delivers every event once, in
// order, from any number of writers.
#include "TPusherThread.h"

#include <dorvo/objbase.h>

#include <gtest/gtest.h>

#include <QMutex>
#include <cstring>
#include <map>
#include <thread>
#include <vector>

namespace {

MPEVENT noteOn(DWORD port, BYTE key) {
    MPEVENT event{};
    event.type = MPEVENT_NOTEON;
    event.port = port;
    event.data[0] = 0x90;
    event.data[1] = key;
    event.data[2] = 100;
    return event;
}

MPEVENT sysex() {
    MPEVENT event{};
    event.type = MPEVENT_SYSEX;
    event.dataLength = 3;
    event.longData = static_cast<BYTE*>(CoTaskMemAlloc(3));
    std::memcpy(event.longData, "\x41\x10\xF7", 3);
    return event;
}

TEST(RingBufferTest, WritesAndReadsWrapInTwoPiecesAndClip) {
    TRingBuffer ring(10, true);
    ring.lock();
    ring.lock(); // recursive
    EXPECT_EQ(ring.mutex(), nullptr);
    EXPECT_EQ(ring.write("abcdefg", 7), 7u);
    char out[16] = {};
    EXPECT_EQ(ring.read(nullptr, 5), 5u) << "skipped";
    EXPECT_EQ(ring.space(), 8u);
    EXPECT_EQ(ring.write("hijklmnopq", 10), 8u) << "clipped to the space, wrapping at the end";
    EXPECT_EQ(ring.read(out, 16), 10u);
    EXPECT_STREQ(out, "fghijklmno");
    EXPECT_EQ(ring.space(), 10u);
    ring.unlock();
    ring.unlock();
}

TEST(PusherThreadTest, AFullRingDropsTheNextEventAndFreesItsData) {
    std::vector<MPEVENT> delivered;
    TPusherThread pusher([&](const MPEVENT& event) { delivered.push_back(event); });
    // Not started: nothing is taken out.
    for (int n = 0; n < 959; ++n)
        ASSERT_TRUE(pusher.offer(noteOn(1, BYTE(n % 128))));
    ASSERT_TRUE(pusher.offer(sysex())) << "the 960th fits";
    EXPECT_FALSE(pusher.offer(sysex())) << "the 961st is dropped; its data is freed";
    EXPECT_FALSE(pusher.offer(noteOn(2, 1)));

    pusher.start();
    pusher.stopAndWait();
    ASSERT_EQ(delivered.size(), 960u) << "what was queued before the stop is delivered";
    EXPECT_EQ(delivered[0].data[1], 0);
    EXPECT_EQ(delivered[958].data[1], 958 % 128);
    EXPECT_EQ(delivered[959].type, MPEVENT_SYSEX);
    // The delivered sysex was freed by the pusher (a leak or double free fails the sanitizers).
}

TEST(PusherThreadTest, EventsFromManyWritersArriveOnceEachInTheirOrder) {
    QMutex lock;
    std::map<DWORD, std::vector<int>> perWriter;
    std::thread::id deliveredOn;
    TPusherThread pusher([&](const MPEVENT& event) {
        QMutexLocker locker(&lock);
        deliveredOn = std::this_thread::get_id();
        perWriter[event.port].push_back(event.data[1] | (event.data[2] << 7));
    });
    pusher.start();
    constexpr int kWriters = 4;
    constexpr int kEach = 5000;
    std::vector<std::thread> writers;
    for (DWORD port = 1; port <= kWriters; ++port)
        writers.emplace_back([&pusher, port] {
            for (int n = 0; n < kEach; ++n) {
                MPEVENT event = noteOn(port, BYTE(n & 0x7F));
                event.data[2] = BYTE(n >> 7);
                while (!pusher.offer(event))
                    std::this_thread::yield(); // the ring was full: offered again
            }
        });
    for (std::thread& writer : writers)
        writer.join();
    pusher.stopAndWait();

    QMutexLocker locker(&lock);
    EXPECT_NE(deliveredOn, std::this_thread::get_id());
    for (DWORD port = 1; port <= kWriters; ++port) {
        const std::vector<int>& got = perWriter[port];
        ASSERT_EQ(got.size(), size_t(kEach)) << "writer " << port;
        for (int n = 0; n < kEach; ++n)
            ASSERT_EQ(got[n], n) << "writer " << port;
    }
}

} // namespace
