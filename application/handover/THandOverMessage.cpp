#include "THandOverMessage.h"

#include <QtEndian>

namespace {

void appendUInt32(QByteArray& bytes, quint32 value) {
    char buffer[4];
    qToLittleEndian(value, buffer);
    bytes.append(buffer, 4);
}

quint32 uint32At(const QByteArray& bytes, int offset) {
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

} // namespace

QByteArray THandOverMessage::encode() const {
    QByteArray bytes;
    appendUInt32(bytes, senderProcessId);
    if (!path || path->isEmpty()) {
        appendUInt32(bytes, 0);
        return bytes;
    }
    appendUInt32(bytes, quint32(path->size() + 1));
    bytes.append(*path);
    bytes.append('\0');
    return bytes;
}

THandOverMessage::Status THandOverMessage::decode(const QByteArray& bytes,
                                                  THandOverMessage& message) {
    if (bytes.size() < kHeaderSize)
        return Status::Incomplete;
    const quint32 length = uint32At(bytes, 4);
    if (length > kMaxPathBytes)
        return Status::Malformed;
    const qsizetype total = kHeaderSize + qsizetype(length);
    if (bytes.size() < total)
        return Status::Incomplete;
    if (bytes.size() > total)
        return Status::Malformed;
    message.senderProcessId = uint32At(bytes, 0);
    message.path.reset();
    if (length == 0)
        return Status::Complete;
    const QByteArray record = bytes.mid(kHeaderSize, length - 1);
    if (bytes.at(total - 1) != '\0' || record.contains('\0'))
        return Status::Malformed;
    message.path = record;
    return Status::Complete;
}

QByteArray THandOverMessage::encodeAnswer(quint32 answer) {
    QByteArray bytes;
    appendUInt32(bytes, answer);
    return bytes;
}

std::optional<quint32> THandOverMessage::decodeAnswer(const QByteArray& bytes) {
    if (bytes.size() < kAnswerSize)
        return std::nullopt;
    return uint32At(bytes, 0);
}
