#include "SysexBytes.h"

#include <QRegularExpression>

namespace examples {

namespace {
constexpr BYTE kStart = 0xF0;
constexpr BYTE kEnd = 0xF7;
constexpr BYTE kFirstRealTime = 0xF8;
} // namespace

QString hexText(const Bytes& bytes) {
    QString text;
    text.reserve(int(bytes.size()) * 3);
    for (const BYTE byte : bytes) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

QString shortenedHex(const Bytes& bytes, int head) {
    const auto size = qsizetype(bytes.size());
    QString text;
    if (head > 0 && size > head + 1)
        text = hexText(Bytes(bytes.begin(), bytes.begin() + head)) + QStringLiteral(" ... ") +
               hexText(Bytes(bytes.end() - 1, bytes.end()));
    else
        text = hexText(bytes);
    return text + QStringLiteral(" (%1 bytes)").arg(size);
}

Bytes parseHex(const QString& text, QString* error) {
    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    Bytes bytes;
    for (QString token : text.split(separators, Qt::SkipEmptyParts)) {
        if (token.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            token = token.mid(2);
        if (token.isEmpty() || token.size() % 2 != 0) {
            if (error)
                *error = QStringLiteral("\"%1\" is not a whole number of hex bytes").arg(token);
            return {};
        }
        for (qsizetype i = 0; i < token.size(); i += 2) {
            bool ok = false;
            const uint value = token.mid(i, 2).toUInt(&ok, 16);
            if (!ok) {
                if (error)
                    *error = QStringLiteral("\"%1\" is not a hex byte").arg(token.mid(i, 2));
                return {};
            }
            bytes.push_back(BYTE(value));
        }
    }
    if (error)
        error->clear();
    return bytes;
}

std::vector<Bytes> splitSysex(const Bytes& bytes, std::size_t* skipped) {
    std::vector<Bytes> messages;
    Bytes current;
    std::size_t dropped = 0;
    for (const BYTE byte : bytes) {
        if (byte >= kFirstRealTime)
            continue; // real time may interleave with a message, and is none of its bytes
        if (byte == kStart) {
            dropped += current.size();
            current.assign(1, byte);
        } else if (current.empty()) {
            ++dropped;
        } else if (byte == kEnd) {
            current.push_back(byte);
            messages.push_back(std::move(current));
            current.clear();
        } else if (byte & 0x80) {
            dropped += current.size() + 1; // another status byte cut the message short
            current.clear();
        } else {
            current.push_back(byte);
        }
    }
    dropped += current.size();
    if (skipped)
        *skipped = dropped;
    return messages;
}

bool isCompleteSysex(const Bytes& message) {
    if (message.size() < 2 || message.front() != kStart || message.back() != kEnd)
        return false;
    for (std::size_t i = 1; i + 1 < message.size(); ++i) {
        if (message[i] & 0x80)
            return false;
    }
    return true;
}

} // namespace examples
