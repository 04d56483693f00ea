// The byte ring between the driver's input callback and the reader thread. The fill count can be
// read without the lock; everything else happens under mutex().
#pragma once

#include <QRecursiveMutex>
#include <atomic>
#include <memory>

class TMIDIInputQueue {
public:
    explicit TMIDIInputQueue(int size);
    TMIDIInputQueue(const TMIDIInputQueue&) = delete;
    TMIDIInputQueue& operator=(const TMIDIInputQueue&) = delete;

    // False when the ring could not be allocated.
    bool isValid() const { return m_buffer != nullptr; }
    QRecursiveMutex& mutex() { return m_mutex; }

    int size() const { return m_size; }
    int fillCount() const { return m_fill; }
    int freeSpace() const { return m_size - m_fill; }

    // Under the lock. Writes at most freeSpace() bytes; returns how many were written.
    int write(const void* source, int count);
    // Under the lock. Reads at most fillCount() bytes; a null destination discards them.
    int read(void* destination, int count);

private:
    std::unique_ptr<unsigned char[]> m_buffer;
    const int m_size;
    int m_writePosition;
    int m_readPosition;
    std::atomic<int> m_fill;
    QRecursiveMutex m_mutex;
};
