// The application server in a process that is not a Qt program, as an outer application that
// loads the component build is: the first Instance() starts the application object and its
// event loop on a GUI thread of their own, marshalled work runs there (widgets included), and
// the process still exits cleanly.
#include "CAppServer.h"
#include "TMarshallEvent.h"

#include <QApplication>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <future>

namespace {

struct Call : QObject {
    std::promise<void*> ranOn; // the thread it ran on
    bool madeWidget = false;
};

void runCall(QObject* object) {
    auto* call = static_cast<Call*>(object);
    // What a component build does on the GUI thread: widgets.
    QWidget window;
    window.resize(200, 100);
    window.show();
    call->madeWidget =
        window.isVisible() && qobject_cast<QApplication*>(QCoreApplication::instance());
    call->ranOn.set_value(QThread::currentThread());
}

TEST(OwnGuiThreadTest, AProcessWithoutAnApplicationGetsAGuiThreadOfItsOwn) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr) << "this program makes none";
    std::promise<std::pair<CAppServer*, void*>> asked;
    // The first caller is a thread of the outer application that ends afterwards.
    std::thread([&] {
        CAppServer& server = CAppServer::Instance();
        asked.set_value({&server, server.guiThread()});
    }).join();
    const auto [server, guiThread] = asked.get_future().get();
    ASSERT_NE(QCoreApplication::instance(), nullptr);
    EXPECT_EQ(&CAppServer::Instance(), server);
    EXPECT_EQ(server->guiThread(), static_cast<void*>(QCoreApplication::instance()->thread()));
    EXPECT_NE(guiThread, static_cast<void*>(QThread::currentThread()));
    EXPECT_EQ(static_cast<void*>(CAppServer::MS()->thread()), guiThread);

    Call call;
    std::future<void*> ranOn = call.ranOn.get_future();
    QCoreApplication::postEvent(CAppServer::MS(), new TMarshallEvent(&call, &runCall));
    ASSERT_EQ(ranOn.wait_for(std::chrono::seconds(20)), std::future_status::ready)
        << "the GUI thread's loop runs without anyone here turning it";
    EXPECT_EQ(ranOn.get(), guiThread);
    EXPECT_TRUE(call.madeWidget);
    // Busy requests from this thread are ignored rather than touching the GUI thread's cursor.
    CAppServer::PrepareForBusyAction(nullptr);
}

} // namespace
