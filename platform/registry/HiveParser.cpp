#include "HiveParser.h"

#include "KeyPath.h"

#include <QStringDecoder>
#include <QtEndian>
#include <optional>

namespace dorvo::registry {
namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView skipBlanks(QStringView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.mid(1);
    return text;
}

QStringView trimBlanks(QStringView text) {
    text = skipBlanks(text);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// 1 to 8 hexadecimal digits and nothing else.
std::optional<DWORD> parseHexNumber(QStringView digits) {
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    DWORD number = 0;
    for (QChar c : digits) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return std::nullopt;
        number = number << 4 | DWORD(digit);
    }
    return number;
}

QByteArray textData(const QString& text) {
    QByteArray data(text.size() * 2 + 2, '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text[i].unicode(), data.data() + 2 * i);
    return data;
}

QByteArray dwordData(DWORD number) {
    QByteArray data(4, '\0');
    qToLittleEndian<quint32>(number, data.data());
    return data;
}

class HiveParser {
public:
    HiveParseResult parse(QByteArrayView text);

private:
    bool parseLine(QStringView line);
    bool parseSection(QStringView line);
    bool parseValue(QStringView line);
    bool parseData(QStringView text, DWORD& type, QByteArray& data);
    bool parseBytes(QStringView text, QByteArray& data);
    std::optional<QString> parseQuoted(QStringView& text);
    bool fail(const QString& reason);

    std::unique_ptr<RegistryKey> m_root = std::make_unique<RegistryKey>();
    RegistryKey* m_currentKey = nullptr;
    QString m_error;
};

HiveParseResult HiveParser::parse(QByteArrayView text) {
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    int lineNumber = 0;
    while (!text.isEmpty()) {
        ++lineNumber;
        const qsizetype end = text.indexOf('\n');
        QByteArrayView line = end < 0 ? text : text.first(end);
        text = end < 0 ? QByteArrayView() : text.sliced(end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        const QString decoded = decoder.decode(line);
        const bool parsed =
            decoder.hasError() ? fail(QStringLiteral("not valid UTF-8")) : parseLine(decoded);
        if (!parsed)
            return {nullptr, lineNumber, m_error};
    }
    return {std::move(m_root), 0, QString()};
}

bool HiveParser::fail(const QString& reason) {
    m_error = reason;
    return false;
}

bool HiveParser::parseLine(QStringView line) {
    line = trimBlanks(line);
    if (line.isEmpty() || line.front() == u';' || line.front() == u'#')
        return true;
    if (line.front() == u'[')
        return parseSection(line);
    if (line.front() == u'@' || line.front() == u'"')
        return parseValue(line);
    return fail(QStringLiteral("unexpected text; expected a [key path], a value or a comment"));
}

bool HiveParser::parseSection(QStringView line) {
    if (!line.endsWith(u']'))
        return fail(QStringLiteral("a section header must end with ]"));
    const QList<QStringView> names = line.mid(1, line.size() - 2).split(u'\\');
    if (names.size() > kMaxKeyDepth)
        return fail(QStringLiteral("key path deeper than %1 levels").arg(kMaxKeyDepth));
    RegistryKey* key = m_root.get();
    for (QStringView name : names) {
        if (name.isEmpty())
            return fail(QStringLiteral("empty key name in a section header"));
        if (!isStorableKeyName(name))
            return fail(QStringLiteral("control character in a key name"));
        RegistryKey* subkey = key->findExactSubkey(name);
        key = subkey ? subkey : &key->addSubkey(name.toString());
    }
    m_currentKey = key;
    return true;
}

bool HiveParser::parseValue(QStringView line) {
    if (m_currentKey == nullptr)
        return fail(QStringLiteral("value before the first [key path]"));
    QString name;
    if (line.front() == u'@') {
        line = line.mid(1);
    } else {
        const std::optional<QString> quoted = parseQuoted(line);
        if (!quoted)
            return false;
        name = *quoted;
    }
    line = skipBlanks(line);
    if (line.isEmpty() || line.front() != u'=')
        return fail(QStringLiteral("expected = after the value name"));
    DWORD type = REG_NONE;
    QByteArray data;
    if (!parseData(skipBlanks(line.mid(1)), type, data))
        return false;
    m_currentKey->setExactValue(name, type, data);
    return true;
}

bool HiveParser::parseData(QStringView text, DWORD& type, QByteArray& data) {
    if (text.startsWith(u'"')) {
        const std::optional<QString> quoted = parseQuoted(text);
        if (!quoted)
            return false;
        if (!skipBlanks(text).isEmpty())
            return fail(QStringLiteral("unexpected text after the closing quote"));
        type = REG_SZ;
        data = textData(*quoted);
        return true;
    }
    if (text.startsWith(u"dword:")) {
        const std::optional<DWORD> number = parseHexNumber(text.mid(6));
        if (!number)
            return fail(QStringLiteral("dword: needs 1 to 8 hexadecimal digits"));
        type = REG_DWORD;
        data = dwordData(*number);
        return true;
    }
    if (text.startsWith(u"hex:")) {
        type = REG_BINARY;
        return parseBytes(text.mid(4), data);
    }
    if (text.startsWith(u"hex(")) {
        const qsizetype close = text.indexOf(u"):");
        const std::optional<DWORD> number =
            close < 0 ? std::nullopt : parseHexNumber(text.mid(4, close - 4));
        if (!number)
            return fail(QStringLiteral("hex(type): needs a type of 1 to 8 hexadecimal digits"));
        type = *number;
        return parseBytes(text.mid(close + 2), data);
    }
    return fail(QStringLiteral("expected \"text\", dword:, hex: or hex(type): after ="));
}

bool HiveParser::parseBytes(QStringView text, QByteArray& data) {
    text = skipBlanks(text);
    while (!text.isEmpty()) {
        const int high = text.size() >= 2 ? hexDigit(text[0]) : -1;
        const int low = text.size() >= 2 ? hexDigit(text[1]) : -1;
        if (high < 0 || low < 0)
            return fail(QStringLiteral("expected bytes as two hexadecimal digits each, "
                                       "separated by commas"));
        data.append(char(high << 4 | low));
        text = skipBlanks(text.mid(2));
        if (text.isEmpty())
            break;
        if (text.front() != u',')
            return fail(QStringLiteral("expected a comma between bytes"));
        text = skipBlanks(text.mid(1));
        if (text.isEmpty())
            return fail(QStringLiteral("a comma must be followed by a byte"));
    }
    return true;
}

// text starts at the opening quote; on success it is left just after the closing one.
std::optional<QString> HiveParser::parseQuoted(QStringView& text) {
    QString result;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            text = text.mid(i + 1);
            return result;
        }
        if (c == u'\\') {
            if (++i == text.size())
                break;
            switch (text[i].unicode()) {
            case u'\\':
            case u'"':
                result.append(text[i]);
                continue;
            case u'n':
                result.append(u'\n');
                continue;
            case u'r':
                result.append(u'\r');
                continue;
            case u't':
                result.append(u'\t');
                continue;
            case u'u': {
                const std::optional<DWORD> unit =
                    i + 4 < text.size() ? parseHexNumber(text.mid(i + 1, 4)) : std::nullopt;
                if (!unit) {
                    fail(QStringLiteral("\\u needs four hexadecimal digits"));
                    return std::nullopt;
                }
                result.append(QChar(char16_t(*unit)));
                i += 4;
                continue;
            }
            default:
                fail(QStringLiteral("unknown escape sequence in a string"));
                return std::nullopt;
            }
        }
        // A tab typed by hand is harmless; other control characters must be escaped.
        if (isControlCharacter(c.unicode()) && c != u'\t') {
            fail(QStringLiteral("control character in a string; write it as \\u00XX"));
            return std::nullopt;
        }
        result.append(c);
    }
    fail(QStringLiteral("unterminated string"));
    return std::nullopt;
}

} // namespace

HiveParseResult parseHive(QByteArrayView text) {
    return HiveParser().parse(text);
}

} // namespace dorvo::registry
