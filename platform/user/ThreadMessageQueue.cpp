#include "ThreadMessageQueue.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace dorvo::user {
namespace {

// Closes the thread's queue when the thread ends.
struct QueueOfThisThread {
    std::shared_ptr<ThreadMessageQueue> queue;
    ~QueueOfThisThread() {
        if (!queue)
            return;
        forgetWindowsOf(queue.get());
        queue->close();
    }
};

thread_local QueueOfThisThread queueOfThisThread;

} // namespace

ThreadMessageQueue::ThreadMessageQueue()
    : m_owner(std::this_thread::get_id()), m_descriptor(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

ThreadMessageQueue::~ThreadMessageQueue() {
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

std::shared_ptr<ThreadMessageQueue> ThreadMessageQueue::current() {
    if (!queueOfThisThread.queue)
        queueOfThisThread.queue = std::make_shared<ThreadMessageQueue>();
    return queueOfThisThread.queue;
}

void ThreadMessageQueue::signal() {
    m_wake.notify_all();
    if (m_descriptor >= 0) {
        const uint64_t one = 1;
        // A full counter (never reached) only means the descriptor is readable already.
        [[maybe_unused]] const ssize_t written = ::write(m_descriptor, &one, sizeof one);
    }
}

void ThreadMessageQueue::drainDescriptor() {
    uint64_t count = 0;
    if (m_descriptor >= 0)
        while (::read(m_descriptor, &count, sizeof count) < 0 && errno == EINTR) {
        }
}

bool ThreadMessageQueue::pushSent(const std::shared_ptr<SentMessage>& message) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_closed)
            return false;
        m_sent.push_back(message);
    }
    signal();
    return true;
}

bool ThreadMessageQueue::pushPosted(const MSG& message) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_closed)
            return false;
        m_posted.push_back(message);
    }
    signal();
    return true;
}

int ThreadMessageQueue::handleSentMessages() {
    // Drained first: whatever arrives from now on makes the descriptor readable again.
    drainDescriptor();
    int handled = 0;
    for (;;) {
        std::shared_ptr<SentMessage> message;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_sent.empty())
                break;
            message = m_sent.front();
            m_sent.pop_front();
        }
        const LRESULT result = callWindowProcedure(message->window, message->message,
                                                   message->wParam, message->lParam);
        message->sender->complete(*message, result);
        ++handled;
    }
    // Posted messages stay: the descriptor must keep saying so.
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_posted.empty())
        signal();
    return handled;
}

bool ThreadMessageQueue::takePosted(MSG& message, bool remove) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_posted.empty())
        return false;
    message = m_posted.front();
    if (remove)
        m_posted.pop_front();
    return true;
}

void ThreadMessageQueue::waitForMessages() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_wake.wait(lock, [this] { return !m_sent.empty() || !m_posted.empty(); });
}

void ThreadMessageQueue::waitUntilHandled(SentMessage& message) {
    for (;;) {
        handleSentMessages();
        std::unique_lock<std::mutex> lock(m_lock);
        if (message.done)
            return;
        m_wake.wait(lock, [&] { return message.done || !m_sent.empty(); });
        if (message.done)
            return;
    }
}

void ThreadMessageQueue::complete(SentMessage& message, LRESULT result) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        message.result = result;
        message.done = true;
    }
    m_wake.notify_all();
}

void ThreadMessageQueue::forgetWindow(HWND window) {
    std::deque<std::shared_ptr<SentMessage>> cancelled;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto it = m_sent.begin(); it != m_sent.end();) {
            if ((*it)->window == window) {
                cancelled.push_back(*it);
                it = m_sent.erase(it);
            } else {
                ++it;
            }
        }
        std::erase_if(m_posted, [window](const MSG& posted) { return posted.hwnd == window; });
    }
    for (const auto& message : cancelled)
        message->sender->complete(*message, 0);
}

void ThreadMessageQueue::close() {
    std::deque<std::shared_ptr<SentMessage>> cancelled;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_closed = true;
        cancelled.swap(m_sent);
        m_posted.clear();
    }
    for (const auto& message : cancelled)
        message->sender->complete(*message, 0);
}

} // namespace dorvo::user
