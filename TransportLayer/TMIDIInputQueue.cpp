#include "TMIDIInputQueue.h"

#include <algorithm>
#include <cstring>
#include <new>

TMIDIInputQueue::TMIDIInputQueue(int size)
    : m_buffer(new (std::nothrow) unsigned char[size > 0 ? size : 1]), m_size(size > 0 ? size : 0),
      m_writePosition(0), m_readPosition(0), m_fill(0) {}

int TMIDIInputQueue::write(const void* source, int count) {
    count = std::clamp(count, 0, freeSpace());
    const auto* bytes = static_cast<const unsigned char*>(source);
    const int first = std::min(count, m_size - m_writePosition);
    std::memcpy(m_buffer.get() + m_writePosition, bytes, static_cast<size_t>(first));
    std::memcpy(m_buffer.get(), bytes + first, static_cast<size_t>(count - first));
    m_writePosition = (m_writePosition + count) % (m_size ? m_size : 1);
    m_fill += count;
    return count;
}

int TMIDIInputQueue::read(void* destination, int count) {
    count = std::clamp(count, 0, fillCount());
    const int first = std::min(count, m_size - m_readPosition);
    if (destination) {
        auto* bytes = static_cast<unsigned char*>(destination);
        std::memcpy(bytes, m_buffer.get() + m_readPosition, static_cast<size_t>(first));
        std::memcpy(bytes + first, m_buffer.get(), static_cast<size_t>(count - first));
    }
    m_readPosition = (m_readPosition + count) % (m_size ? m_size : 1);
    m_fill -= count;
    return count;
}
