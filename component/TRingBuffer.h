// A byte queue of fixed capacity with its own lock: the way MIDI events of the outer
// application's threads reach the component object's pusher thread. Writes take what fits and
// reads what is there, each in at most two pieces; the fill count can be read without the lock.
#pragma once

#include <QMutex>
#include <QRecursiveMutex>

#include <atomic>
#include <cstdint>
#include <memory>

class TRingBuffer {
public:
    // recursive: the lock may be taken again by the thread that holds it (then a condition
    // cannot wait on it).
    TRingBuffer(uint32_t capacity, bool recursive);

    TRingBuffer(const TRingBuffer&) = delete;
    TRingBuffer& operator=(const TRingBuffer&) = delete;

    void lock();
    void unlock();
    // The non-recursive lock, for waiting on a condition; null for a recursive buffer.
    QMutex* mutex() { return m_mutex.get(); }

    uint32_t capacity() const { return m_capacity; }
    // Any thread, without the lock.
    uint32_t space() const { return m_capacity - m_fillCount.load(); }

    // Under the lock: copies as much of data as fits; returns the count copied.
    uint32_t write(const void* data, uint32_t length);
    // Under the lock: takes up to length bytes into destination (null skips them); returns the
    // count taken.
    uint32_t read(void* destination, uint32_t length);

private:
    uint32_t m_writeIndex = 0;
    uint32_t m_readIndex = 0;
    std::atomic<uint32_t> m_fillCount{0};
    std::unique_ptr<uint8_t[]> m_storage;
    const uint32_t m_capacity;
    std::unique_ptr<QMutex> m_mutex;
    std::unique_ptr<QRecursiveMutex> m_recursiveMutex;
};
