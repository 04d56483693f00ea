// The user-message facade: what a responder sees and answers, and the real message box.
#include "TUserMessage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Records every request and gives a set answer.
struct Recorder {
    TUserMessage::Responder responder() {
        return [this](const TUserMessage::Request& request) {
            requests.push_back(request);
            return answer;
        };
    }
    std::vector<TUserMessage::Request> requests;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
};

TEST(UserMessageTest, EveryKindCarriesTheApplicationTitleAndReachesTheResponder) {
    Recorder recorder;
    TScopedUserMessageResponder scope(recorder.responder());
    QWidget parent;
    TUserMessage::warning(&parent, QStringLiteral("Empty name is not allowed."));
    TUserMessage::critical(nullptr, QStringLiteral("Document \"a\" not saved."));
    recorder.answer = QMessageBox::No;
    EXPECT_EQ(TUserMessage::question(&parent, QStringLiteral("Remove?")), QMessageBox::No);
    recorder.answer = QMessageBox::Cancel;
    EXPECT_EQ(TUserMessage::question(nullptr, QStringLiteral("Save changes?"),
                                     QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel),
              QMessageBox::Cancel);

    ASSERT_EQ(recorder.requests.size(), 4u);
    const auto& warning = recorder.requests[0];
    EXPECT_EQ(warning.kind, TUserMessage::Kind::Warning);
    EXPECT_EQ(warning.caption, QStringLiteral("Quenor Dorvo"));
    EXPECT_EQ(warning.text, QStringLiteral("Empty name is not allowed."));
    EXPECT_EQ(warning.parent, &parent);
    EXPECT_EQ(recorder.requests[1].kind, TUserMessage::Kind::Critical);
    EXPECT_EQ(recorder.requests[1].caption, QStringLiteral("Quenor Dorvo"));
    const auto& question = recorder.requests[2];
    EXPECT_EQ(question.kind, TUserMessage::Kind::Question);
    EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.defaultButton, QMessageBox::Yes);
    EXPECT_EQ(question.escapeButton, QMessageBox::No);
    const auto& saveQuestion = recorder.requests[3];
    EXPECT_EQ(saveQuestion.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(saveQuestion.defaultButton, QMessageBox::Yes);
    EXPECT_EQ(saveQuestion.escapeButton, QMessageBox::Cancel);
}

TEST(UserMessageTest, TheTitleCanBeSetAndAScopedResponderPutsThePreviousOneBack) {
    Recorder outer, inner;
    TScopedUserMessageResponder outerScope(outer.responder());
    {
        TScopedUserMessageResponder innerScope(inner.responder());
        TUserMessage::setApplicationTitle(QStringLiteral("Dorvo"));
        TUserMessage::warning(nullptr, QStringLiteral("one"));
        TUserMessage::setApplicationTitle(QStringLiteral("Quenor Dorvo"));
    }
    TUserMessage::show({TUserMessage::Kind::Question, nullptr,
                        QStringLiteral("Quenor Dorvo - Offline Override?"), QStringLiteral("two"),
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No});
    ASSERT_EQ(inner.requests.size(), 1u);
    EXPECT_EQ(inner.requests[0].caption, QStringLiteral("Dorvo"));
    ASSERT_EQ(outer.requests.size(), 1u);
    EXPECT_EQ(outer.requests[0].caption, QStringLiteral("Quenor Dorvo - Offline Override?"));
}

// Without a responder the user sees a modal box: caption, text, Yes as default, No on escape.
TEST(UserMessageTest, WithoutResponderAModalMessageBoxAsks) {
    ASSERT_FALSE(TUserMessage::setResponder({}));
    QString caption, text;
    bool yesIsDefault = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &escape);
    });
    EXPECT_EQ(TUserMessage::question(nullptr, QStringLiteral("Are you sure?")), QMessageBox::No);
    EXPECT_EQ(caption, QStringLiteral("Quenor Dorvo"));
    EXPECT_EQ(text, QStringLiteral("Are you sure?"));
    EXPECT_TRUE(yesIsDefault);

    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(TUserMessage::question(nullptr, QStringLiteral("Again?")), QMessageBox::Yes);
}

} // namespace
