// The user-message facade: what a responder sees and answers, and the real message box.
#include "TUserMessage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

struct Recorded {
    TUserMessage::Kind kind;
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
    QMessageBox::StandardButton escapeButton;
    QWidget* parent;
};

class RecordingResponder {
public:
    TUserMessage::Responder responder() {
        return [this](const TUserMessage::Request& request) {
            recorded.push_back({request.kind, request.caption, request.text, request.buttons,
                                request.defaultButton, request.escapeButton, request.parent});
            return answer;
        };
    }
    std::vector<Recorded> recorded;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
};

TEST(UserMessageTest, EveryKindCarriesTheApplicationTitleAndReachesTheResponder) {
    RecordingResponder recorder;
    TScopedUserMessageResponder scope(recorder.responder());
    QWidget parent;
    TUserMessage::warning(&parent, QStringLiteral("Empty name is not allowed."));
    TUserMessage::critical(nullptr, QStringLiteral("Document \"a\" not saved."));
    recorder.answer = QMessageBox::No;
    EXPECT_EQ(TUserMessage::question(&parent, QStringLiteral("Remove?")), QMessageBox::No);

    ASSERT_EQ(recorder.recorded.size(), 3u);
    const Recorded& warning = recorder.recorded[0];
    EXPECT_EQ(warning.kind, TUserMessage::Kind::Warning);
    EXPECT_EQ(warning.caption, QStringLiteral("Quenor Dorvo"));
    EXPECT_EQ(warning.text, QStringLiteral("Empty name is not allowed."));
    EXPECT_EQ(warning.parent, &parent);
    EXPECT_EQ(recorder.recorded[1].kind, TUserMessage::Kind::Critical);
    EXPECT_EQ(recorder.recorded[1].caption, QStringLiteral("Quenor Dorvo"));

    const Recorded& question = recorder.recorded[2];
    EXPECT_EQ(question.kind, TUserMessage::Kind::Question);
    EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.defaultButton, QMessageBox::Yes);
    EXPECT_EQ(question.escapeButton, QMessageBox::No);
}

TEST(UserMessageTest, AQuestionWithCancelEscapesToCancel) {
    RecordingResponder recorder;
    TScopedUserMessageResponder scope(recorder.responder());
    recorder.answer = QMessageBox::Cancel;
    EXPECT_EQ(TUserMessage::question(nullptr, QStringLiteral("Save changes?"),
                                     QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel),
              QMessageBox::Cancel);
    ASSERT_EQ(recorder.recorded.size(), 1u);
    EXPECT_EQ(recorder.recorded[0].buttons,
              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(recorder.recorded[0].defaultButton, QMessageBox::Yes);
    EXPECT_EQ(recorder.recorded[0].escapeButton, QMessageBox::Cancel);
}

TEST(UserMessageTest, TheTitleCanBeSetAndAScopedResponderPutsThePreviousOneBack) {
    RecordingResponder outer, inner;
    TScopedUserMessageResponder outerScope(outer.responder());
    {
        TScopedUserMessageResponder innerScope(inner.responder());
        TUserMessage::setApplicationTitle(QStringLiteral("Dorvo"));
        TUserMessage::warning(nullptr, QStringLiteral("one"));
        TUserMessage::setApplicationTitle(QStringLiteral("Quenor Dorvo"));
    }
    TUserMessage::warning(nullptr, QStringLiteral("two"));
    ASSERT_EQ(inner.recorded.size(), 1u);
    EXPECT_EQ(inner.recorded[0].caption, QStringLiteral("Dorvo"));
    ASSERT_EQ(outer.recorded.size(), 1u);
    EXPECT_EQ(outer.recorded[0].text, QStringLiteral("two"));
    EXPECT_EQ(outer.recorded[0].caption, QStringLiteral("Quenor Dorvo"));

    // A request with a caption of its own keeps it.
    TUserMessage::show({TUserMessage::Kind::Question, nullptr,
                        QStringLiteral("Quenor Dorvo - Offline Override?"), QStringLiteral("x"),
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No});
    EXPECT_EQ(outer.recorded.back().caption, QStringLiteral("Quenor Dorvo - Offline Override?"));
}

// Without a responder the user sees a modal box: caption, text, Yes as default, No on escape.
TEST(UserMessageTest, WithoutResponderAModalMessageBoxAsks) {
    ASSERT_FALSE(TUserMessage::setResponder({}));
    QString caption, text;
    bool yesIsDefault = false;
    bool noIsEscape = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
        noIsEscape = box->escapeButton() == box->button(QMessageBox::No);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &escape);
    });
    EXPECT_EQ(TUserMessage::question(nullptr, QStringLiteral("Are you sure?")), QMessageBox::No);
    EXPECT_EQ(caption, QStringLiteral("Quenor Dorvo"));
    EXPECT_EQ(text, QStringLiteral("Are you sure?"));
    EXPECT_TRUE(yesIsDefault);
    EXPECT_TRUE(noIsEscape);

    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(TUserMessage::question(nullptr, QStringLiteral("Again?")), QMessageBox::Yes);
}

} // namespace
