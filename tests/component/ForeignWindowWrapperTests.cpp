// The wrapper that puts the component's windows into the outer application's: a handle of one of
// this process's widgets is reparented in Qt; where the platform cannot hold a window inside a
// foreign one (here Qt's offscreen platform, as under Wayland alone) the attachment fails, the
// wrapper stays a window of its own, and the reason names the platform.
#include "CForeignWindowWrapper.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <cstdint>

namespace {

HWND handleOf(QWidget& widget) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(widget.winId()));
}

TEST(ForeignWindowWrapperTest, AttachesToWidgetsHereAndRefusesForeignWindowsItCannotHold) {
    QString reason;
    EXPECT_FALSE(CForeignWindowWrapper::canEmbedForeignWindows(&reason));
    EXPECT_TRUE(reason.contains("offscreen")) << reason.toStdString();

    QWidget host;
    host.resize(800, 600);
    QPointer<CForeignWindowWrapper> wrapper = new CForeignWindowWrapper(nullptr, 320, 200);
    EXPECT_TRUE(wrapper->isWindow());
    EXPECT_EQ(wrapper->size(), QSize(320, 200));

    ASSERT_TRUE(wrapper->attach(handleOf(host), 500, 400));
    EXPECT_EQ(wrapper->parentWidget(), &host) << "a widget of this process: reparented in Qt";
    EXPECT_EQ(wrapper->foreignParent(), nullptr);
    EXPECT_EQ(wrapper->geometry(), QRect(0, 0, 500, 400));
    // A negative side keeps the current one.
    EXPECT_TRUE(wrapper->attach(handleOf(host), 450, -1));
    EXPECT_EQ(wrapper->parentWidget(), &host);
    EXPECT_EQ(wrapper->size(), QSize(450, 400));

    // Detached: a window of its own again, keeping its size.
    EXPECT_TRUE(wrapper->attach(nullptr, -1, -1));
    EXPECT_EQ(wrapper->parentWidget(), nullptr);
    EXPECT_TRUE(wrapper->isWindow());
    EXPECT_EQ(wrapper->size(), QSize(450, 400));

    // An X11 id that is no widget of ours: not possible here, and said so.
    EXPECT_FALSE(wrapper->attach(reinterpret_cast<HWND>(std::uintptr_t(0x3a00007)), 300, 300));
    EXPECT_EQ(wrapper->foreignParent(), nullptr);
    EXPECT_EQ(wrapper->parentWidget(), nullptr);

    // Closed by the user it goes, as the window flags ask.
    bool toldBeforeClosing = false;
    QObject::connect(wrapper, &CForeignWindowWrapper::aboutToClose,
                     [&] { toldBeforeClosing = wrapper->isVisible(); });
    wrapper->show();
    wrapper->close();
    EXPECT_TRUE(toldBeforeClosing);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(wrapper.isNull());
}

} // namespace
