#include "TUserMessage.h"

#include "DorvoAssert.h"
#include "Version.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

namespace {

QMutex stateMutex;
QString title = dorvo::kApplicationTitle;
TResponderSlot<QMessageBox::StandardButton(const TUserMessage::Request&)> responder;

QMessageBox::Icon iconOf(TUserMessage::Kind kind) {
    switch (kind) {
    case TUserMessage::Kind::Warning:
        return QMessageBox::Warning;
    case TUserMessage::Kind::Question:
        return QMessageBox::Question;
    case TUserMessage::Kind::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

bool onGuiThread() {
    const QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

QMessageBox::StandardButton showMessageBox(const TUserMessage::Request& request) {
    QMessageBox box(iconOf(request.kind), request.caption, request.text, request.buttons,
                    request.parent);
    box.setDefaultButton(request.defaultButton);
    box.setEscapeButton(request.escapeButton);
    const int answer = box.exec();
    return static_cast<QMessageBox::StandardButton>(answer);
}

TUserMessage::Request makeRequest(TUserMessage::Kind kind, QWidget* parent, const QString& text,
                                  QMessageBox::StandardButtons buttons,
                                  QMessageBox::StandardButton defaultButton,
                                  QMessageBox::StandardButton escapeButton) {
    return {kind,          parent,      TUserMessage::applicationTitle(), text, buttons,
            defaultButton, escapeButton};
}

} // namespace

QString TUserMessage::applicationTitle() {
    QMutexLocker lock(&stateMutex);
    return title;
}

void TUserMessage::setApplicationTitle(const QString& newTitle) {
    QMutexLocker lock(&stateMutex);
    title = newTitle;
}

void TUserMessage::warning(QWidget* parent, const QString& text) {
    show(makeRequest(Kind::Warning, parent, text, QMessageBox::Ok, QMessageBox::Ok,
                     QMessageBox::Ok));
}

void TUserMessage::critical(QWidget* parent, const QString& text) {
    show(makeRequest(Kind::Critical, parent, text, QMessageBox::Ok, QMessageBox::Ok,
                     QMessageBox::Ok));
}

QMessageBox::StandardButton TUserMessage::question(QWidget* parent, const QString& text) {
    return question(parent, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
}

QMessageBox::StandardButton TUserMessage::question(QWidget* parent, const QString& text,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton escapeButton) {
    return show(makeRequest(Kind::Question, parent, text, buttons | QMessageBox::Yes,
                            QMessageBox::Yes, escapeButton));
}

QMessageBox::StandardButton TUserMessage::show(const Request& request) {
    if (const Responder current = responder.get())
        return current(request);
    // A box off the GUI thread would take the toolkit down; the caller gets the answer that
    // closing the box would give.
    if (!DORVO_CHECK(onGuiThread()))
        return request.escapeButton;
    return showMessageBox(request);
}

TUserMessage::Responder TUserMessage::setResponder(Responder newResponder) {
    return responder.exchange(std::move(newResponder));
}
