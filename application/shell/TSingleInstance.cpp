#include "TSingleInstance.h"

#include "ShellLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

namespace {

// Chosen once; every build of the program uses the same one.
const QString kChannelIdentifier = QStringLiteral("{5B1E7C2A-93D4-4F6B-A8E1-2C7D90F3B614}");
constexpr int kRetryPauseMs = 50;

// One incoming hand-over: collects the bytes, answers once, and goes away. A peer that stops
// sending halfway is dropped after the hand-over limit.
void serveConnection(QLocalSocket* socket, const TSingleInstance::Receiver& receiver) {
    auto* received = new QByteArray;
    auto* limit = new QTimer(socket);
    limit->setSingleShot(true);
    QObject::connect(limit, &QTimer::timeout, socket, &QLocalSocket::abort);
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QObject::destroyed, [received] { delete received; });
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, received, receiver] {
        received->append(socket->readAll());
        THandOverMessage message;
        const auto status = THandOverMessage::decode(*received, message);
        if (status == THandOverMessage::Status::Incomplete)
            return;
        if (status == THandOverMessage::Status::Malformed) {
            // The path cannot be trusted; the running instance still comes forward.
            qCDebug(lcShell, "hand-over with malformed bytes: path dropped");
            message = THandOverMessage{};
        }
        received->clear();
        const quint32 answer = receiver ? receiver(message) : 0;
        socket->write(THandOverMessage::encodeAnswer(answer));
        socket->disconnectFromServer();
    });
    limit->start(TSingleInstance::kHandOverTimeoutMs);
}

} // namespace

TSingleInstance::TSingleInstance() : m_lock(lockFilePath()) {}

TSingleInstance::~TSingleInstance() {
    stopListening();
    release();
}

QString TSingleInstance::channelName() {
    return QStringLiteral("QUENOR") + kChannelIdentifier;
}

QString TSingleInstance::instanceFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 QStringLiteral("/QUENOR");
    QDir().mkpath(folder);
    return folder;
}

QString TSingleInstance::lockFilePath() {
    return instanceFolder() + QStringLiteral("/Dorvo2-") + kChannelIdentifier +
           QStringLiteral(".lock");
}

QString TSingleInstance::channelPath() {
    return instanceFolder() + QLatin1Char('/') + channelName();
}

TSingleInstance::Claim TSingleInstance::claim() {
    if (!m_locked)
        m_locked = m_lock.tryLock(0);
    if (m_locked)
        return Claim::First;
    return m_lock.error() == QLockFile::LockFailedError ? Claim::Second : Claim::Failed;
}

QString TSingleInstance::lockError() const {
    switch (m_lock.error()) {
    case QLockFile::NoError:
        return QString();
    case QLockFile::LockFailedError:
        return QStringLiteral("held by another process");
    case QLockFile::PermissionError:
        return QStringLiteral("no permission to create it");
    case QLockFile::UnknownError:
        break;
    }
    return QStringLiteral("it cannot be created");
}

void TSingleInstance::release() {
    if (m_locked)
        m_lock.unlock();
    m_locked = false;
}

bool TSingleInstance::listen(Receiver receiver) {
    stopListening();
    m_receiver = std::move(receiver);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = channelPath();
    // Whoever holds the lock owns the channel: a socket file left behind is a crashed
    // instance's.
    if (!m_server->listen(path)) {
        QLocalServer::removeServer(path);
        if (!m_server->listen(path)) {
            qWarning("Cannot listen for other starts of the program on %s: %s", qPrintable(path),
                     qPrintable(m_server->errorString()));
            return false;
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, &TSingleInstance::acceptConnections);
    return true;
}

void TSingleInstance::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection())
        serveConnection(socket, m_receiver);
}

void TSingleInstance::stopListening() {
    if (!m_server)
        return;
    m_server->close();
    delete m_server;
    m_server = nullptr;
}

quint32 TSingleInstance::handOver(const THandOverMessage& message, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The running instance may still be starting: it listens once its window exists.
    for (;;) {
        socket.connectToServer(channelPath());
        if (socket.waitForConnected(int(deadline.remainingTime())))
            break;
        if (deadline.remainingTime() <= kRetryPauseMs)
            return 0;
        QThread::msleep(kRetryPauseMs);
    }
    socket.write(message.encode());
    socket.flush();
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired())
        if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
            return 0;
    QByteArray answer;
    while (!deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
        answer.append(socket.readAll());
        if (const auto value = THandOverMessage::decodeAnswer(answer))
            return *value;
    }
    answer.append(socket.readAll());
    return THandOverMessage::decodeAnswer(answer).value_or(0);
}
