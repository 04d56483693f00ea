// The message queue of one thread: messages sent to its windows from other threads, messages
// posted to it, and a descriptor that is readable while something waits. The queue lives as long
// as its thread; senders and posters hold it shared, so a queue whose thread has ended only
// refuses new messages.
#pragma once

#include <dorvo/winuser.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace dorvo::user {

class ThreadMessageQueue;

// One SendMessageW between threads, waited for by its sender.
struct SentMessage {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false; // under the sender's queue lock
    std::shared_ptr<ThreadMessageQueue> sender;
};

class ThreadMessageQueue {
public:
    ThreadMessageQueue();
    ~ThreadMessageQueue();
    ThreadMessageQueue(const ThreadMessageQueue&) = delete;
    ThreadMessageQueue& operator=(const ThreadMessageQueue&) = delete;

    // The calling thread's queue, made on first use; it closes when the thread ends.
    static std::shared_ptr<ThreadMessageQueue> current();

    std::thread::id owner() const { return m_owner; }
    int descriptor() const { return m_descriptor; }

    // Any thread. False when the queue's thread has ended.
    bool pushSent(const std::shared_ptr<SentMessage>& message);
    bool pushPosted(const MSG& message);

    // ---- The owning thread ----

    // Runs the procedure of every sent message that waits; returns how many ran.
    int handleSentMessages();
    bool takePosted(MSG& message, bool remove);
    // Waits until a sent or posted message is there.
    void waitForMessages();
    // Handles messages sent to this thread until `message`, sent from here, was handled.
    void waitUntilHandled(SentMessage& message);
    // Completes every waiting send to the window with 0 and drops its posted messages.
    void forgetWindow(HWND window);
    // The thread ends: waiting senders get 0, later ones are refused.
    void close();

private:
    void complete(SentMessage& message, LRESULT result);
    void signal();
    void drainDescriptor();

    const std::thread::id m_owner;
    int m_descriptor = -1;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<SentMessage>> m_sent;
    std::deque<MSG> m_posted;
    bool m_closed = false;
};

// MessageWindows.cpp: the procedure of the window, called on its thread; 0 for a window that is
// gone. Windows of a thread that ends are forgotten.
LRESULT callWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void forgetWindowsOf(const ThreadMessageQueue* queue);

} // namespace dorvo::user
