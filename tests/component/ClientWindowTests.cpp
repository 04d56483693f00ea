// The client window: calls from the "GUI thread" (this test's thread) run on the outer
// application's thread that made the window and serves it from its own poll loop; the window
// class lives exactly as long as some client window does.
#include "TClientThreadCall.h"
#include "TClientWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <poll.h>

namespace {

struct PageHost : IMPPageHost {
    std::atomic<int> calls{0};
    std::atomic<std::thread::id> calledOn;
    std::atomic<DWORD> lastCode{0};
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Call(IPropertyPage*, DWORD code, LPVOID) override {
        ++calls;
        calledOn = std::this_thread::get_id();
        lastCode = code;
        return code == MPPAGEHOST_CLOSE ? HRESULT(0x80070005) : S_OK;
    }
};

// The outer application's thread: makes client windows on request and serves them.
class OuterThread {
public:
    explicit OuterThread(int windowCount) {
        m_thread = std::thread([this, windowCount] {
            std::vector<HRESULT> made;
            for (int n = 0; n < windowCount; ++n)
                made.push_back(m_windows[n].create(nullptr));
            m_made.set_value(made);
            const int descriptor = DorvoMessageQueueFd();
            while (!m_stop) {
                pollfd waiting{descriptor, POLLIN, 0};
                if (poll(&waiting, 1, 10) == 1)
                    DorvoDispatchWaitingMessages();
            }
            for (TClientWindow& window : m_windows)
                window.destroy();
        });
        made = m_made.get_future().get();
    }
    ~OuterThread() {
        m_stop = true;
        m_thread.join();
    }
    TClientWindow& window(int n) { return m_windows[n]; }
    std::vector<HRESULT> made;

private:
    TClientWindow m_windows[2];
    std::promise<std::vector<HRESULT>> m_made;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

bool classIsFree() {
    WNDCLASSW probe{};
    probe.lpfnWndProc = DefWindowProcW;
    probe.lpszClassName = u"MsToClient";
    if (!RegisterClassW(&probe))
        return false;
    UnregisterClassW(u"MsToClient", nullptr);
    return true;
}

TEST(ClientWindowTest, CallsFromTheGuiThreadRunOnTheOuterThread) {
    PageHost host;
    HWND staleWindow = nullptr;
    std::thread::id outerThread;
    {
        OuterThread outer(2);
        ASSERT_EQ(outer.made, (std::vector<HRESULT>{S_OK, S_OK}));
        EXPECT_EQ(TClientWindow::windowCount(), 2);
        EXPECT_FALSE(classIsFree());
        TClientWindow& client = outer.window(0);
        outerThread = client.thread();
        EXPECT_NE(outerThread, std::this_thread::get_id());

        EXPECT_EQ(TClientThreadCall::callPageHost(client.window(), client.thread(), &host, nullptr,
                                                  MPPAGEHOST_SHOW, nullptr),
                  0);
        EXPECT_EQ(host.calledOn.load(), outerThread);
        EXPECT_EQ(TClientThreadCall::callPageHost(client.window(), client.thread(), &host, nullptr,
                                                  MPPAGEHOST_CLOSE, nullptr),
                  LRESULT(-2147024891))
            << "a failure status stays negative";

        std::thread::id ranOn;
        TClientThreadCall::runOnClientThread(client.window(), client.thread(),
                                             [&] { ranOn = std::this_thread::get_id(); });
        EXPECT_EQ(ranOn, outerThread);
        staleWindow = client.window();
    }
    // Both windows went with the outer thread's end, and the class with the last of them.
    EXPECT_EQ(TClientWindow::windowCount(), 0);
    EXPECT_TRUE(classIsFree());
    const int callsBefore = host.calls;
    EXPECT_EQ(TClientThreadCall::callPageHost(staleWindow, outerThread, &host, nullptr,
                                              MPPAGEHOST_RENAMED, nullptr),
              0)
        << "a window that is gone does not reach the outer application";
    EXPECT_EQ(host.calls, callsBefore);

    // Without a client window, and on the client thread itself, the call is made directly.
    EXPECT_EQ(
        TClientThreadCall::callPageHost(nullptr, {}, &host, nullptr, MPPAGEHOST_SHOWAGAIN, nullptr),
        0);
    EXPECT_EQ(host.calledOn.load(), std::this_thread::get_id());
    TClientWindow own;
    ASSERT_EQ(own.create(nullptr), S_OK);
    EXPECT_EQ(own.create(nullptr), S_OK) << "one window per component object";
    EXPECT_EQ(TClientWindow::windowCount(), 1) << "the class was registered again";
    EXPECT_EQ(TClientThreadCall::callPageHost(own.window(), own.thread(), &host, nullptr,
                                              MPPAGEHOST_CLOSE, nullptr),
              LRESULT(-2147024891));
    own.destroy();
    EXPECT_TRUE(classIsFree());
}

} // namespace
