#include "HiveWriter.h"

#include "KeyPath.h"

#include <QtEndian>

namespace dorvo::registry {
namespace {

void appendUtf8(QByteArray& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.append(char(codePoint));
    } else if (codePoint < 0x800) {
        out.append(char(0xC0 | codePoint >> 6));
        out.append(char(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.append(char(0xE0 | codePoint >> 12));
        out.append(char(0x80 | (codePoint >> 6 & 0x3F)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    } else {
        out.append(char(0xF0 | codePoint >> 18));
        out.append(char(0x80 | (codePoint >> 12 & 0x3F)));
        out.append(char(0x80 | (codePoint >> 6 & 0x3F)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    }
}

void appendHex(QByteArray& out, DWORD number, int digits) {
    out.append(QByteArray::number(number, 16).rightJustified(digits, '0'));
}

// Every UTF-16 sequence survives: what UTF-8 cannot carry (unpaired surrogates) and what an
// editor would mangle (control characters) is escaped.
void appendQuoted(QByteArray& out, QStringView text) {
    out.append('"');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        switch (unit) {
        case u'\\':
            out.append("\\\\");
            break;
        case u'"':
            out.append("\\\"");
            break;
        case u'\n':
            out.append("\\n");
            break;
        case u'\r':
            out.append("\\r");
            break;
        case u'\t':
            out.append("\\t");
            break;
        default:
            if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
                text[i + 1].isLowSurrogate()) {
                appendUtf8(out, QChar::surrogateToUcs4(unit, text[++i].unicode()));
            } else if (QChar::isSurrogate(unit) || isControlCharacter(unit)) {
                out.append("\\u");
                appendHex(out, unit, 4);
            } else {
                appendUtf8(out, unit);
            }
        }
    }
    out.append('"');
}

bool isTerminatedText(const QByteArray& data) {
    return data.size() >= 2 && data.size() % 2 == 0 && data.endsWith(QByteArrayView("\0\0", 2));
}

QString textOf(const QByteArray& data) {
    QString text(data.size() / 2 - 1, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(qFromLittleEndian<quint16>(data.constData() + 2 * i));
    return text;
}

void appendBytes(QByteArray& out, const QByteArray& data) {
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i > 0)
            out.append(',');
        appendHex(out, quint8(data[i]), 2);
    }
}

void appendValue(QByteArray& out, const RegistryValue& value) {
    if (value.name.isEmpty())
        out.append('@');
    else
        appendQuoted(out, value.name);
    out.append('=');
    if (value.type == REG_SZ && isTerminatedText(value.data)) {
        appendQuoted(out, textOf(value.data));
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        out.append("dword:");
        appendHex(out, qFromLittleEndian<quint32>(value.data.constData()), 8);
    } else if (value.type == REG_BINARY) {
        out.append("hex:");
        appendBytes(out, value.data);
    } else {
        out.append("hex(");
        appendHex(out, value.type, 1);
        out.append("):");
        appendBytes(out, value.data);
    }
    out.append('\n');
}

// A key gets a section when something would be lost without it; keys on the way to a deeper
// section are implied by that section.
void appendKey(QByteArray& out, const RegistryKey& key, const QString& path) {
    if (!path.isEmpty() && (!key.values().empty() || key.subkeyCount() == 0)) {
        out.append("\n[");
        out.append(path.toUtf8());
        out.append("]\n");
        for (const RegistryValue& value : key.values())
            appendValue(out, value);
    }
    for (size_t i = 0; i < key.subkeyCount(); ++i) {
        const RegistryKey& subkey = key.subkeyAt(i);
        appendKey(out, subkey, path.isEmpty() ? subkey.name() : path + u'\\' + subkey.name());
    }
}

} // namespace

QByteArray formatHive(const RegistryKey& root, QStringView hiveName) {
    QByteArray out = "; Dorvo2 registry, " + hiveName.toUtf8() +
                     " hive. Comments other than these two lines are not kept.\n"
                     "; [Key\\Path] starts a key; its values follow: @=\"default\", "
                     "\"name\"=\"text\", \"name\"=dword:0000002a, \"name\"=hex:01,ff, "
                     "\"name\"=hex(7):.. for other types.\n";
    appendKey(out, root, QString());
    return out;
}

} // namespace dorvo::registry
