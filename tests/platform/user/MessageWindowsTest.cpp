// Message windows: classes and windows, sends within and between threads (also two threads that
// send to each other), the queue's descriptor in a poll loop, and what becomes of sends to a
// window or thread that goes away.
#include <dorvo/winuser.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <poll.h>
#include <thread>

namespace {

const WCHAR kClass[] = u"DorvoTestWindow";

// What the procedure saw, per message; the test windows answer WM_USER with -wParam.
struct Seen {
    std::atomic<int> created{0};
    std::atomic<int> destroyed{0};
    std::atomic<int> calls{0};
    std::atomic<std::thread::id> lastThread;
};
Seen seen;
// WM_USER + 1 on a window sends WM_USER with wParam to the window in lParam, from inside.
constexpr UINT kRelay = WM_USER + 1;

LRESULT testProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        ++seen.created;
        return reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams ? -1 : 0;
    case WM_NCDESTROY:
        ++seen.destroyed;
        return 0;
    case WM_USER:
        ++seen.calls;
        seen.lastThread = std::this_thread::get_id();
        return -LRESULT(wParam);
    case kRelay:
        return SendMessageW(reinterpret_cast<HWND>(lParam), WM_USER, wParam, 0) - 1000;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool readable(int descriptor) {
    pollfd waiting{descriptor, POLLIN, 0};
    return poll(&waiting, 1, 0) == 1;
}

HWND makeWindow(LPVOID refuse = nullptr) {
    return CreateWindowExW(0, kClass, nullptr, WS_POPUP, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                           nullptr, nullptr, nullptr, refuse);
}

// A thread that owns one window and serves its queue from a poll loop until told to stop.
class WindowThread {
public:
    WindowThread() {
        m_thread = std::thread([this] {
            HWND window = makeWindow();
            const int descriptor = DorvoMessageQueueFd();
            m_window.set_value(window);
            while (!m_stop) {
                pollfd waiting{descriptor, POLLIN, 0};
                if (poll(&waiting, 1, 20) == 1)
                    DorvoDispatchWaitingMessages();
            }
            if (m_destroy)
                DestroyWindow(window);
        });
        window = m_window.get_future().get();
    }
    // Ends the thread; with destroy false its window goes with the thread.
    void stop(bool destroy = true) {
        m_destroy = destroy;
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    ~WindowThread() { stop(); }

    HWND window = nullptr;

private:
    std::promise<HWND> m_window;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_destroy{true};
    std::thread m_thread;
};

class MessageWindowsTest : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = testProcedure;
        windowClass.lpszClassName = kClass;
        ASSERT_NE(RegisterClassW(&windowClass), 0);
        seen.created = seen.destroyed = seen.calls = 0;
    }
    void TearDown() override { EXPECT_TRUE(UnregisterClassW(kClass, nullptr)); }
};

TEST_F(MessageWindowsTest, ClassesAndWindowsOfOneThread) {
    WNDCLASSW again{};
    again.lpfnWndProc = testProcedure;
    again.lpszClassName = u"dorvotestwindow"; // class names ignore case
    EXPECT_EQ(RegisterClassW(&again), 0);
    EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", nullptr, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);

    int refuse = 1;
    EXPECT_EQ(makeWindow(&refuse), nullptr) << "WM_CREATE answered -1";
    EXPECT_EQ(seen.destroyed, 1);
    HWND window = makeWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_GT(reinterpret_cast<uintptr_t>(window), uintptr_t(0xFFFFFFFFu))
        << "no window system id looks like it";
    EXPECT_EQ(seen.created, 2);
    EXPECT_FALSE(UnregisterClassW(kClass, nullptr)) << "a window of the class exists";

    const int descriptor = DorvoMessageQueueFd();
    EXPECT_EQ(SendMessageW(window, WM_USER, 7, 0), -7) << "sign-extended, called at once";
    EXPECT_FALSE(readable(descriptor));
    EXPECT_TRUE(PostMessageW(window, WM_USER, 3, 0));
    EXPECT_TRUE(readable(descriptor));
    MSG message{};
    EXPECT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(seen.calls, 1) << "peeking does not dispatch";
    EXPECT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(DispatchMessageW(&message), -3);
    PostQuitMessage(5);
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.wParam, 5u);
    EXPECT_EQ(DorvoDispatchWaitingMessages(), 0);
    EXPECT_FALSE(readable(descriptor));

    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(SendMessageW(window, WM_USER, 7, 0), 0) << "no window any more";
    EXPECT_EQ(seen.destroyed, 2);
}

TEST_F(MessageWindowsTest, ASendToAnotherThreadWaitsForItsLoopAndRunsThere) {
    WindowThread owner;
    EXPECT_EQ(SendMessageW(owner.window, WM_USER, 42, 0), -42);
    EXPECT_NE(seen.lastThread, std::this_thread::get_id());
    EXPECT_FALSE(DestroyWindow(owner.window)) << "only its own thread destroys a window";

    // Many senders at once each get their own answer.
    std::vector<std::future<LRESULT>> answers;
    for (WPARAM n = 1; n <= 8; ++n)
        answers.push_back(std::async(
            std::launch::async, [&owner, n] { return SendMessageW(owner.window, WM_USER, n, 0); }));
    for (WPARAM n = 1; n <= 8; ++n)
        EXPECT_EQ(answers[n - 1].get(), -LRESULT(n));
    EXPECT_EQ(seen.calls, 9);
}

TEST_F(MessageWindowsTest, TwoThreadsThatSendToEachOtherDoNotDeadlock) {
    WindowThread first;
    WindowThread second;
    // The first thread's window, while handling the relay, sends to the second thread's window;
    // the second thread is itself waiting in SendMessageW for the first and handles it there.
    std::promise<LRESULT> answer;
    std::thread([&] {
        answer.set_value(SendMessageW(first.window, kRelay, 9, LPARAM(second.window)));
    }).join();
    EXPECT_EQ(answer.get_future().get(), -1009);

    HWND own = makeWindow();
    std::future<LRESULT> inner = std::async(std::launch::async, [&] {
        // From another thread: the first window relays to this (waiting) thread's window.
        return SendMessageW(first.window, kRelay, 4, LPARAM(own));
    });
    // This thread serves its queue while the answer is pending.
    while (inner.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        DorvoDispatchWaitingMessages();
    EXPECT_EQ(inner.get(), -1004);
    EXPECT_EQ(seen.lastThread, std::this_thread::get_id());
    DestroyWindow(own);
}

TEST_F(MessageWindowsTest, SendsToAWindowOrThreadThatGoesAwayReturnZero) {
    {
        // The window's thread ends without serving the send: it is answered 0, not left waiting.
        WindowThread owner;
        std::atomic<bool> stopLoop{false};
        std::promise<HWND> made;
        std::thread idle([&] {
            made.set_value(makeWindow());
            while (!stopLoop)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        });
        HWND unserved = made.get_future().get();
        std::future<LRESULT> pending =
            std::async(std::launch::async, [&] { return SendMessageW(unserved, WM_USER, 1, 0); });
        EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        stopLoop = true;
        idle.join();
        EXPECT_EQ(pending.get(), 0);
        EXPECT_EQ(SendMessageW(unserved, WM_USER, 1, 0), 0) << "its windows went with it";
        EXPECT_FALSE(PostMessageW(unserved, WM_USER, 1, 0));
        owner.stop(false);
    }
    EXPECT_EQ(seen.calls, 0);
    EXPECT_TRUE(UnregisterClassW(kClass, nullptr)) << "no window of the class is left";
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = testProcedure;
    windowClass.lpszClassName = kClass;
    EXPECT_NE(RegisterClassW(&windowClass), 0) << "and it can be registered again";
}

} // namespace
