// The component build's editors as pages of the outer application: the Workspace window (on
// this test's thread, the GUI thread) asks an outer application's page host, served on a thread
// of its own, to show, show again, rename, close and release each editor's page; the page the
// outer application gets is titled with the component's Workspace name and places the editor in
// the outer application's window.
#include "ApplicationWindow.h"
#include "CVEXWrapper.h"
#include "HostingTestSupport.h"
#include "TClientWindow.h"
#include "TOuterEditorPages.h"
#include "TWorkspaceModel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QMainWindow>

#include <atomic>
#include <future>
#include <mutex>
#include <poll.h>

namespace {

// The outer application's page host: records "code title" for every call, places a shown page
// into its frame and keeps a placement when a page is released.
class OuterPages : public IMPPageHost {
public:
    HWND frame = nullptr;
    std::atomic<HRESULT> answerToShow{S_OK};
    IPropertyPage* lastPage = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Call(IPropertyPage* page, DWORD code, LPVOID data) override {
        PROPPAGEINFO info{};
        QString title = QStringLiteral("?");
        if (SUCCEEDED(page->GetPageInfo(&info))) {
            title = QString::fromUtf16(info.pszTitle);
            CoTaskMemFree(info.pszTitle);
            CoTaskMemFree(info.pszDocString);
            CoTaskMemFree(info.pszHelpFile);
        }
        const bool placed = code == MPPAGEHOST_SHOW && data;
        record(QStringLiteral("%1 %2%3").arg(code).arg(title, placed ? " placed" : ""));
        lastPage = page;
        if (code == MPPAGEHOST_SHOW && answerToShow == S_OK) {
            const RECT area{0, 0, 300, 200};
            page->Activate(frame, &area, FALSE);
            page->Show(SW_SHOW);
            return S_OK;
        }
        if (code == MPPAGEHOST_CLOSE)
            page->Deactivate();
        if (code == MPPAGEHOST_RELEASE) {
            auto* placement = static_cast<MPPAGEPLACEMENT*>(data);
            placement->value = 1;
            placement->block = CoTaskMemAlloc(16);
        }
        return code == MPPAGEHOST_SHOW ? answerToShow.load() : S_OK;
    }
    QStringList takeCalls() {
        std::lock_guard<std::mutex> lock(m_lock);
        return std::exchange(m_calls, {});
    }

private:
    void record(const QString& call) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_calls << call;
    }
    std::mutex m_lock;
    QStringList m_calls;
};

// The outer application's thread with its client window, serving it from a poll loop.
class OuterThread {
public:
    OuterThread() {
        std::promise<HRESULT> made;
        m_thread = std::thread([this, &made] {
            made.set_value(m_window.create(nullptr));
            const int descriptor = DorvoMessageQueueFd();
            while (!m_stop) {
                pollfd waiting{descriptor, POLLIN, 0};
                if (poll(&waiting, 1, 10) == 1)
                    DorvoDispatchWaitingMessages();
            }
            m_window.destroy();
        });
        result = made.get_future().get();
    }
    ~OuterThread() {
        m_stop = true;
        m_thread.join();
    }
    TClientWindow& window() { return m_window; }
    HRESULT result = E_FAIL;

private:
    TClientWindow m_window;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST(EditorPagesTest, EditorsAreShownRenamedClosedAndReleasedAsPagesOfTheOuterApplication) {
    ASSERT_TRUE(hostingtest::registerRecordingComponent());
    OuterThread outer;
    ASSERT_EQ(outer.result, S_OK);
    OuterPages pages;
    QWidget frame;
    frame.resize(400, 300);
    frame.show();
    pages.frame = reinterpret_cast<HWND>(frame.winId());

    ApplicationWindow window(nullptr, nullptr, &pages);
    window.setEditorPageHosting(std::make_unique<TOuterEditorPages>(window, &pages));
    CVEXWrapper* synth = window.addComponent(hostingtest::recordingEntry(), "Synth A");
    ASSERT_TRUE(synth);
    synth->showEditor();
    EXPECT_TRUE(pages.takeCalls().isEmpty()) << "without the outer thread's window: no pages";
    EXPECT_TRUE(synth->hasEditorWindow());
    synth->closeEditor(true);
    ASSERT_FALSE(synth->hasEditorWindow());

    window.setClientWindow(outer.window().window(), outer.window().thread());
    synth->showEditor();
    EXPECT_EQ(pages.takeCalls(), QStringList{"0 Synth A"}) << "titled with the Workspace name";
    EXPECT_TRUE(synth->hasEditorWindow());
    QMainWindow* placed = frame.findChild<QMainWindow*>();
    ASSERT_TRUE(placed) << "the editor sits in the outer application's window";
    EXPECT_TRUE(placed->isVisible());
    EXPECT_EQ(placed->size(), QSize(300, 200));

    synth->showEditor();
    ASSERT_TRUE(window.model()->rename(synth->instance(), "Lead") ==
                TWorkspaceModel::RenameResult::Renamed);
    synth->closeEditor(false);
    EXPECT_EQ(pages.takeCalls(), (QStringList{"1 Synth A", "3 Lead", "2 Lead"}));
    EXPECT_FALSE(synth->hasEditorWindow());
    EXPECT_EQ(frame.findChild<QMainWindow*>(), nullptr) << "out of the outer window again";

    // Refused: not shown.
    pages.answerToShow = E_FAIL;
    synth->showEditor();
    EXPECT_EQ(pages.takeCalls(), QStringList{"0 Lead"});
    EXPECT_FALSE(synth->hasEditorWindow());
    EXPECT_EQ(frame.findChild<QMainWindow*>(), nullptr);

    // The outer application closes the page itself: shown again, the old page is released
    // first, and the new one gets the placement kept for it.
    pages.answerToShow = S_OK;
    synth->showEditor();
    pages.lastPage->Deactivate();
    EXPECT_FALSE(synth->hasEditorWindow());
    synth->showEditor();
    EXPECT_EQ(pages.takeCalls(), (QStringList{"0 Lead", "4 Lead", "0 Lead placed"}));
    EXPECT_TRUE(synth->hasEditorWindow());

    window.removeComponent(synth, false);
    EXPECT_EQ(pages.takeCalls(), QStringList{"2 Lead"});
    // What the outer thread carried here runs, and the stand-ins go.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
