#include "TRingBuffer.h"

#include <algorithm>
#include <cstring>

TRingBuffer::TRingBuffer(uint32_t capacity, bool recursive)
    : m_storage(new uint8_t[capacity]), m_capacity(capacity) {
    if (recursive)
        m_recursiveMutex = std::make_unique<QRecursiveMutex>();
    else
        m_mutex = std::make_unique<QMutex>();
}

void TRingBuffer::lock() {
    if (m_mutex)
        m_mutex->lock();
    else
        m_recursiveMutex->lock();
}

void TRingBuffer::unlock() {
    if (m_mutex)
        m_mutex->unlock();
    else
        m_recursiveMutex->unlock();
}

uint32_t TRingBuffer::write(const void* data, uint32_t length) {
    const uint32_t count = std::min(length, space());
    const uint32_t first = std::min(count, m_capacity - m_writeIndex);
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::memcpy(m_storage.get() + m_writeIndex, bytes, first);
    std::memcpy(m_storage.get(), bytes + first, count - first);
    m_writeIndex = (m_writeIndex + count) % m_capacity;
    m_fillCount += count;
    return count;
}

uint32_t TRingBuffer::read(void* destination, uint32_t length) {
    const uint32_t count = std::min(length, m_fillCount.load());
    const uint32_t first = std::min(count, m_capacity - m_readIndex);
    if (destination) {
        auto* bytes = static_cast<uint8_t*>(destination);
        std::memcpy(bytes, m_storage.get() + m_readIndex, first);
        std::memcpy(bytes + first, m_storage.get(), count - first);
    }
    m_readIndex = (m_readIndex + count) % m_capacity;
    m_fillCount -= count;
    return count;
}
