// One running instance per user: the first start holds a lock file and listens on a local
// channel; a later start finds the lock taken and hands its document path over that channel.
// Both live in a folder of the user's own (the runtime folder), so two users never meet.
#pragma once

#include "THandOverMessage.h"

#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // How long a second start waits for the running instance's answer.
    static constexpr int kHandOverTimeoutMs = 3000;

    // Takes a message and gives the answer (1: the Workspace window took it, 0: it did not).
    using Receiver = std::function<quint32(const THandOverMessage&)>;

    TSingleInstance();
    ~TSingleInstance() override;

    // "QUENOR" followed by the channel's fixed identifier in braces.
    static QString channelName();
    // The user's own folder for the lock and the channel.
    static QString instanceFolder();
    static QString lockFilePath();
    static QString channelPath();

    enum class Claim { First, Second, Failed };
    // First: this start holds the lock until release() or destruction. Second: another start
    // of this user holds it. Failed: the lock file cannot be made (see lockError()).
    Claim claim();
    QString lockError() const;
    void release();

    // GUI thread, first instance: answers hand-overs on the channel with the receiver.
    bool listen(Receiver receiver);
    void stopListening();

    // Second instance: sends the message, waiting at most timeoutMs in all for the running
    // instance to accept and answer; 0 when none did.
    static quint32 handOver(const THandOverMessage& message, int timeoutMs = kHandOverTimeoutMs);

private:
    void acceptConnections();

    QLockFile m_lock;
    bool m_locked = false;
    QLocalServer* m_server = nullptr;
    Receiver m_receiver;
};
