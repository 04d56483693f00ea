// What a later start hands over: the bytes on the channel, and what the running program does
// with a message, with and without a modal dialog.
#include "ApplicationWindow.h"
#include "SetupDlg.h"
#include "ShellTestSupport.h"
#include "THandOverMessage.h"
#include "TProgramEventFilter.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (int value : values)
        result.append(char(value));
    return result;
}

TEST(HandOverMessageTest, EncodesPidLengthAndTerminatedPath) {
    THandOverMessage message;
    message.senderProcessId = 0x01020304;
    message.path = QByteArray("/a b");
    EXPECT_EQ(message.encode(), bytes({0x04, 0x03, 0x02, 0x01, 5, 0, 0, 0, '/', 'a', ' ', 'b', 0}));
    message.path.reset();
    EXPECT_EQ(message.encode(), bytes({0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0}));
    message.path = QByteArray(); // an empty path is no path
    EXPECT_EQ(message.encode(), bytes({0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0}));
    EXPECT_EQ(THandOverMessage::encodeAnswer(1), bytes({1, 0, 0, 0}));
}

TEST(HandOverMessageTest, DecodesWhatArrivesInPieces) {
    const QByteArray whole = bytes({7, 0, 0, 0, 3, 0, 0, 0, 'x', 'y', 0});
    THandOverMessage message;
    for (int size = 0; size < whole.size(); ++size)
        EXPECT_EQ(THandOverMessage::decode(whole.left(size), message),
                  THandOverMessage::Status::Incomplete)
            << size;
    ASSERT_EQ(THandOverMessage::decode(whole, message), THandOverMessage::Status::Complete);
    EXPECT_EQ(message.senderProcessId, 7u);
    ASSERT_TRUE(message.path.has_value());
    EXPECT_EQ(*message.path, "xy");

    ASSERT_EQ(THandOverMessage::decode(bytes({9, 0, 0, 0, 0, 0, 0, 0}), message),
              THandOverMessage::Status::Complete);
    EXPECT_FALSE(message.path.has_value());
    EXPECT_FALSE(THandOverMessage::decodeAnswer(bytes({1, 0, 0})).has_value());
    EXPECT_EQ(THandOverMessage::decodeAnswer(bytes({1, 0, 0, 0})), 1u);
}

TEST(HandOverMessageTest, RefusesBytesThatCannotBeAPath) {
    THandOverMessage message;
    using Status = THandOverMessage::Status;
    // Longer than any path: refused before waiting for the bytes.
    EXPECT_EQ(THandOverMessage::decode(bytes({1, 0, 0, 0, 0x01, 0x00, 0x01, 0x00}), message),
              Status::Malformed);
    EXPECT_EQ(THandOverMessage::decode(bytes({1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}), message),
              Status::Malformed);
    // Not terminated, a NUL inside, bytes after the end.
    EXPECT_EQ(THandOverMessage::decode(bytes({1, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'}), message),
              Status::Malformed);
    EXPECT_EQ(THandOverMessage::decode(bytes({1, 0, 0, 0, 3, 0, 0, 0, 'a', 0, 0}), message),
              Status::Malformed);
    EXPECT_EQ(THandOverMessage::decode(bytes({1, 0, 0, 0, 0, 0, 0, 0, 'z'}), message),
              Status::Malformed);
    EXPECT_EQ(THandOverMessage::decode(bytes({1, 0, 0, 0, 1, 0, 0, 0, 0}), message),
              Status::Complete);
    EXPECT_EQ(message.path, QByteArray());
}

void waitUntil(const std::function<bool()>& condition, int limitMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

THandOverMessage messageWith(const QByteArray& path) {
    THandOverMessage message;
    message.senderProcessId = 42;
    message.path = path;
    return message;
}

// Records when reCreateFromFile would run by watching the window's caption, which it resets.
TEST(HandOverReceiverTest, APathBecomesThePendingDocumentAndIsReopenedLater) {
    dorvo2test::MessageRecorder messages;
    ApplicationWindow window;
    TProgramEventFilter filter(&window);
    window.yNewSession();
    // A new Workspace without defaults opens the setup dialog; while it is up, paths are
    // ignored. The user closes it.
    window.setupDialog()->reject();
    window.setWindowTitle("before");

    const QString folder = QString::fromStdString(dorvo2test::makeTempDir("handover"));
    QFile(folder + "/Set.XDW").open(QIODevice::WriteOnly);
    QDir::setCurrent(folder);
    QElapsedTimer sinceHandOver;
    sinceHandOver.start();
    // A relative path with a detour: the running program keeps the file's canonical path.
    EXPECT_EQ(filter.takeHandOver(messageWith("./sub/../Set.XDW")), 1u);
    EXPECT_EQ(window.pendingDocument(), "./sub/../Set.XDW"); // no such folder "sub": as given
    QDir().mkdir("sub");
    EXPECT_EQ(filter.takeHandOver(messageWith("./sub/../Set.XDW")), 1u);
    EXPECT_EQ(window.pendingDocument(), folder + "/Set.XDW");
    EXPECT_EQ(window.windowTitle(), "before");

    waitUntil([&] { return window.windowTitle() != "before"; });
    EXPECT_GE(sinceHandOver.elapsed(), 100);
    // The file is no document yet, so a new one begins after the load failed.
    EXPECT_TRUE(window.windowTitle().startsWith("Untitled ")) << window.windowTitle().toStdString();
}

TEST(HandOverReceiverTest, WithoutAPathTheMinimizedWindowComesBackAndNothingElseChanges) {
    ApplicationWindow window;
    TProgramEventFilter filter(&window);
    window.createFromFile("/kept.XDW");
    window.showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(window.isMinimized());

    THandOverMessage message;
    message.senderProcessId = 7;
    EXPECT_EQ(filter.takeHandOver(message), 1u);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.isMinimized());
    EXPECT_EQ(window.pendingDocument(), "/kept.XDW");
    EXPECT_FALSE(window.isReady());
}

TEST(HandOverReceiverTest, NoWorkspaceWindowAnswersZero) {
    TProgramEventFilter filter(nullptr);
    EXPECT_EQ(filter.takeHandOver(messageWith("/x.XDW")), 0u);
}

// A window that counts the mouse presses it gets.
class PressCounter : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

void press(QWidget* widget) {
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

TEST(ModalFanOutTest, AModalDialogOfOneWindowBlocksThemAllAndHandOversAreIgnored) {
    ApplicationWindow workspace;
    workspace.createFromFile("/kept.XDW");
    PressCounter editor;
    PressCounter other;
    TProgramEventFilter filter(&workspace);
    filter.setWindowList([&] { return QList<QWidget*>{&workspace, &editor, &other}; });
    qApp->installEventFilter(&filter);
    editor.show();
    other.show();

    // A dialog modal to the editor window only: the toolkit blocks just that one.
    QDialog dialog(&editor);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(filter.modalOwner(), &editor);
    press(&other);
    EXPECT_EQ(other.presses, 0);
    EXPECT_EQ(filter.takeHandOver(messageWith("/other.XDW")), 1u);
    EXPECT_EQ(workspace.pendingDocument(), "/kept.XDW");

    dialog.close();
    QCoreApplication::processEvents();
    EXPECT_EQ(filter.modalOwner(), nullptr);
    press(&other);
    EXPECT_EQ(other.presses, 1);
    qApp->removeEventFilter(&filter);
}

} // namespace
