// What a second start of the program sends to the running one: its process id and, when it was
// given one, the path of a document to open. On the channel it reads, in little-endian order:
//   4 bytes  the sender's process id
//   4 bytes  L, the number of path bytes including the terminating NUL (0: no path)
//   L bytes  the path in the file system's 8-bit encoding, NUL-terminated
// and the answer is 4 bytes: 1 when the running Workspace window took the message, else 0.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

struct THandOverMessage {
    static constexpr int kHeaderSize = 8;
    static constexpr int kAnswerSize = 4;
    // Far beyond any path the file system accepts; a longer claim is not a path.
    static constexpr quint32 kMaxPathBytes = 64 * 1024;

    enum class Status { Complete, Incomplete, Malformed };

    quint32 senderProcessId = 0;
    std::optional<QByteArray> path; // without the NUL; none when the sender had no path

    QByteArray encode() const;
    // Reads a message from the bytes received so far. Complete fills `message`; Incomplete
    // asks for more bytes; Malformed bytes can never become a message (a length beyond the
    // limit, a path without its NUL or with one inside, bytes after the end).
    static Status decode(const QByteArray& bytes, THandOverMessage& message);

    static QByteArray encodeAnswer(quint32 answer);
    // The answer, or nothing until four bytes arrived.
    static std::optional<quint32> decodeAnswer(const QByteArray& bytes);
};
