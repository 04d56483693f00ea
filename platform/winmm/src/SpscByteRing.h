// A ring of bytes between one producer thread and one consumer thread. Neither side locks,
// allocates or makes a system call, so either may be a real-time thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace dorvo::winmm {

class SpscByteRing {
public:
    // The capacity is rounded up to a power of two.
    explicit SpscByteRing(std::size_t capacity)
        : m_capacity(roundUp(capacity)), m_buffer(std::make_unique<std::uint8_t[]>(m_capacity)) {}

    std::size_t capacity() const { return m_capacity; }

    // Producer side. Writes both parts or nothing, and publishes them together, so that the
    // consumer never sees a record's header without its body.
    bool write(const void* first, std::size_t firstCount, const void* second = nullptr,
               std::size_t secondCount = 0) {
        const std::uint64_t head = m_head.load(std::memory_order_relaxed);
        const std::uint64_t tail = m_tail.load(std::memory_order_acquire);
        if (m_capacity - std::size_t(head - tail) < firstCount + secondCount)
            return false;
        copyIn(head, first, firstCount);
        copyIn(head + firstCount, second, secondCount);
        m_head.store(head + firstCount + secondCount, std::memory_order_release);
        return true;
    }

    // Consumer side. Reads `count` bytes or nothing; a null destination skips them.
    bool read(void* destination, std::size_t count) {
        const std::uint64_t tail = m_tail.load(std::memory_order_relaxed);
        const std::uint64_t head = m_head.load(std::memory_order_acquire);
        if (std::size_t(head - tail) < count)
            return false;
        if (destination)
            copyOut(tail, destination, count);
        m_tail.store(tail + count, std::memory_order_release);
        return true;
    }

    std::size_t readable() const {
        return std::size_t(m_head.load(std::memory_order_acquire) -
                           m_tail.load(std::memory_order_relaxed));
    }
    // Bytes written and read since the ring was made: the producer compares them to know when
    // the consumer has taken everything written so far.
    std::uint64_t totalWritten() const { return m_head.load(std::memory_order_acquire); }
    std::uint64_t totalRead() const { return m_tail.load(std::memory_order_acquire); }

private:
    static std::size_t roundUp(std::size_t value) {
        std::size_t power = 16;
        while (power < value)
            power *= 2;
        return power;
    }

    void copyIn(std::uint64_t position, const void* source, std::size_t count) {
        if (count == 0)
            return;
        const std::size_t start = std::size_t(position) & (m_capacity - 1);
        const std::size_t first = std::min(count, m_capacity - start);
        std::memcpy(m_buffer.get() + start, source, first);
        std::memcpy(m_buffer.get(), static_cast<const std::uint8_t*>(source) + first,
                    count - first);
    }

    void copyOut(std::uint64_t position, void* destination, std::size_t count) const {
        const std::size_t start = std::size_t(position) & (m_capacity - 1);
        const std::size_t first = std::min(count, m_capacity - start);
        std::memcpy(destination, m_buffer.get() + start, first);
        std::memcpy(static_cast<std::uint8_t*>(destination) + first, m_buffer.get(), count - first);
    }

    const std::size_t m_capacity;
    const std::unique_ptr<std::uint8_t[]> m_buffer;
    // Running counts, never wrapped: positions are taken modulo the capacity.
    alignas(64) std::atomic<std::uint64_t> m_head{0};
    alignas(64) std::atomic<std::uint64_t> m_tail{0};
};

} // namespace dorvo::winmm
