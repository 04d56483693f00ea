// Every message the host shows to the user goes through here: warning, question and critical
// boxes with the application title as caption. In the program they are modal message boxes;
// tests install a responder that sees each request and answers it instead.
#pragma once

#include "TScopedResponder.h"

#include <QMessageBox>
#include <QString>

class QWidget;

class TUserMessage {
public:
    enum class Kind { Warning, Question, Critical };

    struct Request {
        Kind kind;
        QWidget* parent;
        QString caption;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
        QMessageBox::StandardButton escapeButton;
    };

    // Answers a request instead of a message box; the answer is one of the request's buttons.
    using Responder = std::function<QMessageBox::StandardButton(const Request&)>;

    // "Quenor Dorvo" in the program, "Dorvo" in the component build, unless set otherwise.
    static QString applicationTitle();
    static void setApplicationTitle(const QString& title);

    // GUI thread, for the boxes: modal, parent may be null. The texts are already translated.
    static void warning(QWidget* parent, const QString& text);
    static void critical(QWidget* parent, const QString& text);
    // Yes (default) and No (escape); gives the button chosen.
    static QMessageBox::StandardButton question(QWidget* parent, const QString& text);
    // Yes (default) and No plus other buttons; escape gives escapeButton.
    static QMessageBox::StandardButton question(QWidget* parent, const QString& text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton escapeButton);
    // A request with a caption of its own (a question about one component, for example).
    static QMessageBox::StandardButton show(const Request& request);

    // Any thread: installs a responder (an empty one brings the message boxes back) and gives
    // the one it replaces.
    static Responder setResponder(Responder responder);
};

using TScopedUserMessageResponder = TScopedResponder<TUserMessage>;
