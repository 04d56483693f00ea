// What the shell's tests share: a recorder of user messages that answers them, a script that
// plays the user's part in modal dialogs, and the event loop run until something happened.
#pragma once

#include "SetupDlg.h"
#include "TUserMessage.h"
#include "TVirtualMIDIPortAccessor.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QList>
#include <QTimer>
#include <functional>

namespace dorvo2test {

// Runs the event loop until `done` holds or the time is up; whether it holds.
template <typename Condition> bool eventLoopUntil(Condition done, int milliseconds = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Position of the named device in the Workspace's machine list; -1 when it is not listed.
inline int machineIndex(TVirtualMIDIPortAccessor& ports, int direction, const std::string& name) {
    const QList<QUuid>& ids = ports.systemIds(direction);
    for (int i = 0; i < ids.size(); ++i)
        if (ports.systemPorts()->portName(ids[i]) == QString::fromStdString(name))
            return i;
    return -1;
}

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

// Plays the user's part in the modal dialogs that come up, one step after the other: a step
// sees the dialog in front and says when it is done with it.
class ModalScript {
public:
    using Step = std::function<bool(QWidget*)>;
    explicit ModalScript(QList<Step> steps) : m_steps(std::move(steps)) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && !m_steps.isEmpty() && m_steps.first()(modal))
                m_steps.removeFirst();
        });
        m_timer.start();
    }
    bool finished() const { return m_steps.isEmpty(); }

private:
    QList<Step> m_steps;
    QTimer m_timer;
};

template <typename Dialog> ModalScript::Step on(std::function<bool(Dialog&)> act) {
    return [act](QWidget* modal) {
        auto* dialog = qobject_cast<Dialog*>(modal);
        return dialog && act(*dialog);
    };
}

// Switches "Automatically synchronize on file load" off on the preferences page and applies it,
// as the user would: loads then offer no Recall.
inline void switchOffAutoSync(SetupDlg* dialog) {
    dialog->findChild<QCheckBox*>("autoSyncCheckBox")->setChecked(false);
    dialog->workspaceChange();
}

} // namespace dorvo2test
