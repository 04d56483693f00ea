#include "SyxFile.h"

#include <QFile>
#include <QSaveFile>

namespace syxfile {

namespace {

QString byteAt(qsizetype offset, BYTE value) {
    const QString hex = QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("byte %1 (0x%2)").arg(offset).arg(hex);
}

} // namespace

std::vector<Bytes> parse(const QByteArray& bytes, QString* error) {
    std::vector<Bytes> messages;
    Bytes current;
    for (qsizetype offset = 0; offset < bytes.size(); ++offset) {
        const auto byte = BYTE(bytes[offset]);
        QString problem;
        if (current.empty() && byte != 0xF0)
            problem = QStringLiteral("%1 is outside a system-exclusive message");
        else if (!current.empty() && byte == 0xF0)
            problem = QStringLiteral("%1 starts a message before the last one ended");
        else if (!current.empty() && (byte & 0x80) && byte != 0xF7)
            problem = QStringLiteral("%1 is no data byte of a system-exclusive message");
        if (!problem.isEmpty()) {
            if (error)
                *error = problem.arg(byteAt(offset, byte));
            return {};
        }
        current.push_back(byte);
        if (byte == 0xF7) {
            messages.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty() || messages.empty()) {
        if (error)
            *error = messages.empty() && current.empty()
                         ? QStringLiteral("it holds no system-exclusive message")
                         : QStringLiteral("its last message ends without F7");
        return {};
    }
    if (error)
        error->clear();
    return messages;
}

QByteArray join(const std::vector<Bytes>& messages) {
    QByteArray bytes;
    for (const Bytes& message : messages)
        bytes.append(reinterpret_cast<const char*>(message.data()), qsizetype(message.size()));
    return bytes;
}

bool read(const QString& path, std::vector<Bytes>* messages, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.size() > kMaxFileSize) {
        *error = QStringLiteral("it is larger than %1 MiB").arg(kMaxFileSize >> 20);
        return false;
    }
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (bytes.size() > kMaxFileSize) {
        *error = QStringLiteral("it is larger than %1 MiB").arg(kMaxFileSize >> 20);
        return false;
    }
    std::vector<Bytes> parsed = parse(bytes, error);
    if (parsed.empty())
        return false;
    *messages = std::move(parsed);
    return true;
}

bool write(const QString& path, const std::vector<Bytes>& messages, QString* error) {
    QSaveFile file(path);
    const QByteArray bytes = join(messages);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace syxfile
