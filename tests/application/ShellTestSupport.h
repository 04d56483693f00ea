// What the shell's tests share: a recorder of user messages that answers them, and a window
// that is ready for commands.
#pragma once

#include "TUserMessage.h"

#include <QList>

namespace dorvo2test {

// Records every message box request and answers it with `answer` (or the escape button when the
// request does not offer it).
class MessageRecorder {
public:
    explicit MessageRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok)
        : m_scope([this, answer](const TUserMessage::Request& request) {
              requests.append(request);
              return (request.buttons & answer) ? answer : request.escapeButton;
          }) {}

    QStringList texts() const {
        QStringList all;
        for (const auto& request : requests)
            all.append(request.text);
        return all;
    }

    QList<TUserMessage::Request> requests;

private:
    TScopedUserMessageResponder m_scope;
};

} // namespace dorvo2test
