#include "TDocumentReader.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>
#include <QSize>
#include <QStringList>
#include <QtEndian>
#include <cstring>

namespace {

// Qt 3's variant type ids as the documents carry them.
enum Qt3Type : quint32 {
    Invalid = 0,
    Map = 1,
    List = 2,
    String = 3,
    StringList = 4,
    Rect = 8,
    Size = 9,
    Point = 14,
    Int = 16,
    UInt = 17,
    Bool = 18,
    Double = 19,
    CString = 20,
    ByteArray = 29,
    LongLong = 33,
    ULongLong = 34,
};

// Lists and maps inside variants may nest; a hostile document must not exhaust the stack.
constexpr int kMaxNesting = 32;
constexpr quint32 kNullString = 0xFFFFFFFFu;
constexpr int kUuidSize = 16;

QString tr(const char* text) {
    return QCoreApplication::translate("TDocumentReader", text);
}

// A defect found while reading; carries its offset to the top.
struct Defect {
    qint64 offset;
    QString text;
};

class Cursor {
public:
    explicit Cursor(const QByteArray& bytes) : m_bytes(bytes) {}

    qint64 offset() const { return m_offset; }
    qint64 remaining() const { return m_bytes.size() - m_offset; }

    [[noreturn]] void fail(qint64 at, const QString& text) const { throw Defect{at, text}; }

    void need(qint64 count, const char* what) const {
        if (count < 0 || count > remaining())
            fail(m_offset, tr("%1 cut short (%2 bytes needed, %3 left)")
                               .arg(tr(what))
                               .arg(count)
                               .arg(remaining()));
    }

    quint32 u32(const char* what) {
        need(4, what);
        const quint32 value = qFromBigEndian<quint32>(m_bytes.constData() + m_offset);
        m_offset += 4;
        return value;
    }
    qint32 i32(const char* what) { return qint32(u32(what)); }
    quint64 u64(const char* what) {
        need(8, what);
        const quint64 value = qFromBigEndian<quint64>(m_bytes.constData() + m_offset);
        m_offset += 8;
        return value;
    }
    quint8 u8(const char* what) {
        need(1, what);
        return quint8(m_bytes.at(m_offset++));
    }

    // A count of items that each take at least `itemSize` bytes: refused when the bytes left
    // cannot hold them, before anything is sized by it.
    qsizetype count(const char* what, qint64 itemSize) {
        const qint64 at = m_offset;
        const qint32 value = i32(what);
        if (value < 0 || qint64(value) * itemSize > remaining())
            fail(at, tr("%1 of %2 cannot be right (%3 bytes left)")
                         .arg(tr(what))
                         .arg(value)
                         .arg(remaining()));
        return value;
    }

    QByteArray raw(qint64 count, const char* what) {
        need(count, what);
        // Shares the document's bytes: a large state is not copied.
        const QByteArray slice = QByteArray::fromRawData(m_bytes.constData() + m_offset, count);
        m_offset += count;
        return slice;
    }

    QString string(const char* what) {
        const qint64 at = m_offset;
        const quint32 length = u32(what);
        if (length == kNullString)
            return QString();
        if (length % 2 != 0)
            fail(at, tr("%1 has an odd byte length %2").arg(tr(what)).arg(length));
        need(length, what);
        QString text(qsizetype(length / 2), Qt::Uninitialized);
        qFromBigEndian<char16_t>(m_bytes.constData() + m_offset, length / 2, text.data());
        m_offset += length;
        return text;
    }

    QByteArray bytes(const char* what) {
        const quint32 length = u32(what);
        if (length == kNullString)
            return QByteArray();
        return QByteArray(raw(length, what));
    }

    QUuid uuid(const char* what) {
        need(kUuidSize, what);
        const QUuid id =
            QUuid::fromRfc4122(QByteArrayView(m_bytes.constData() + m_offset, kUuidSize));
        m_offset += kUuidSize;
        return id;
    }

    QRect rect(const char* what) {
        const qint32 left = i32(what);
        const qint32 top = i32(what);
        const qint32 right = i32(what);
        const qint32 bottom = i32(what);
        return QRect(QPoint(left, top), QPoint(right, bottom));
    }

    QPoint point(const char* what) {
        const qint32 x = i32(what);
        const qint32 y = i32(what);
        return QPoint(x, y);
    }

    // One variant of any type the format can carry; `depth` counts enclosing lists and maps.
    QVariant variant(const char* what, int depth = 0) {
        const qint64 at = m_offset;
        const quint32 type = u32(what);
        switch (type) {
        case Invalid:
            string(what);
            return QVariant();
        case Map:
            return nestedMap(what, depth, at);
        case List:
            return nestedList(what, depth, at);
        case String:
            return string(what);
        case StringList: {
            const qsizetype n = count(what, 4);
            QStringList list;
            for (qsizetype i = 0; i < n; ++i)
                list.append(string(what));
            return list;
        }
        case Rect:
            return rect(what);
        case Size: {
            const qint32 width = i32(what);
            const qint32 height = i32(what);
            return QSize(width, height);
        }
        case Point:
            return point(what);
        case Int:
            return i32(what);
        case UInt:
            return u32(what);
        case Bool:
            return u8(what) != 0;
        case Double: {
            const quint64 bits = u64(what);
            double value;
            static_assert(sizeof value == sizeof bits);
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        case CString:
        case ByteArray:
            return bytes(what);
        case LongLong:
            return qlonglong(u64(what));
        case ULongLong:
            return qulonglong(u64(what));
        default:
            fail(at, tr("%1 has a value of unknown type %2").arg(tr(what)).arg(type));
        }
    }

    // A variant that must be of one type: the document's own items are never anything else.
    QVariant typed(quint32 expected, const char* what) {
        const qint64 at = m_offset;
        need(4, what);
        const quint32 type = qFromBigEndian<quint32>(m_bytes.constData() + m_offset);
        if (type != expected)
            fail(at, tr("%1 has the value type %2 where %3 belongs")
                         .arg(tr(what))
                         .arg(type)
                         .arg(expected));
        return variant(what);
    }

    QMap<QString, QVariant> map(const char* what, int depth) {
        // A key and a variant take at least eight bytes.
        const qsizetype n = count(what, 8);
        QMap<QString, QVariant> values;
        for (qsizetype i = 0; i < n; ++i) {
            const QString key = string(what);
            values.insert(key, variant(what, depth + 1));
        }
        return values;
    }

private:
    QVariant nestedList(const char* what, int depth, qint64 at) {
        if (depth >= kMaxNesting)
            fail(at, tr("%1 nests lists too deeply").arg(tr(what)));
        const qsizetype n = count(what, 4);
        QVariantList list;
        list.reserve(n);
        for (qsizetype i = 0; i < n; ++i)
            list.append(variant(what, depth + 1));
        return list;
    }
    QVariant nestedMap(const char* what, int depth, qint64 at) {
        if (depth >= kMaxNesting)
            fail(at, tr("%1 nests maps too deeply").arg(tr(what)));
        return QVariant(map(what, depth));
    }

    const QByteArray& m_bytes;
    qint64 m_offset = 0;
};

// ---- The document's items -----------------------------------------------------------------

void readPortSection(Cursor& in, xdw::PortSection& section) {
    for (int direction = 0; direction < xdw::kDirections; ++direction) {
        // A record is an id and a count at least.
        const qsizetype records = in.count(QT_TR_NOOP("re-mapping table"), kUuidSize + 4);
        for (qsizetype i = 0; i < records; ++i) {
            xdw::RemapRecord record;
            record.port = in.uuid(QT_TR_NOOP("re-mapped port"));
            const qsizetype targets = in.count(QT_TR_NOOP("re-mapping targets"), kUuidSize);
            record.targets.reserve(targets);
            for (qsizetype t = 0; t < targets; ++t)
                record.targets.append(in.uuid(QT_TR_NOOP("re-mapping target")));
            section.remap[direction].append(record);
        }
    }
    for (int direction = 0; direction < xdw::kDirections; ++direction) {
        const qsizetype ports = in.count(QT_TR_NOOP("port list"), kUuidSize + 4);
        for (qsizetype i = 0; i < ports; ++i) {
            xdw::PortRecord record;
            record.port = in.uuid(QT_TR_NOOP("port id"));
            record.text = in.string(QT_TR_NOOP("port text"));
            section.ports[direction].append(record);
        }
    }
}

// The end marker's class id: the null id's text form (any case, with or without braces), or no
// text at all.
bool isNullIdText(QString text) {
    text.remove(QLatin1Char('{')).remove(QLatin1Char('}')).remove(QLatin1Char('-'));
    return text.isEmpty() || (text.size() == 32 && text.count(QLatin1Char('0')) == 32);
}

// False at the end marker.
bool readComponent(Cursor& in, xdw::Document& document) {
    const qint64 entryStart = in.offset();
    xdw::Component component;
    component.classId = in.typed(String, QT_TR_NOOP("class id")).toString();
    if (QUuid(component.classId).isNull()) {
        if (!isNullIdText(component.classId))
            in.fail(entryStart, tr("the class id \"%1\" is not a class identifier")
                                    .arg(component.classId.left(80)));
        const QVariant name = in.typed(String, QT_TR_NOOP("end of components"));
        if (!name.toString().isNull())
            in.fail(entryStart, tr("the class id at the end of the components is not "
                                   "followed by the end marker"));
        return false;
    }
    component.name = in.typed(String, QT_TR_NOOP("component name")).toString();
    component.editorOpen = in.typed(Int, QT_TR_NOOP("editor open")).toInt();
    component.editorGeometry = in.typed(Rect, QT_TR_NOOP("editor geometry")).toRect();
    component.iconPosition = in.typed(Point, QT_TR_NOOP("icon position")).toPoint();
    component.recallMask = in.typed(UInt, QT_TR_NOOP("recall mask")).toUInt();
    const quint32 size = in.typed(UInt, QT_TR_NOOP("state size")).toUInt();
    component.state = in.raw(qint64(size), QT_TR_NOOP("state block"));
    component.endOffset = in.offset();
    document.components.append(component);
    return true;
}

void readRecallEnabled(Cursor& in, xdw::Document& document) {
    const QVariant list = in.typed(List, QT_TR_NOOP("recall-enabled list"));
    QList<qint32> values;
    for (const QVariant& value : list.toList())
        values.append(value.toInt());
    document.recallEnabled = values;
}

void readThru(Cursor& in, xdw::Document& document) {
    xdw::ThruSection thru;
    thru.on = in.typed(Int, QT_TR_NOOP("MIDI Thru switch")).toInt();
    for (int direction = 0; direction < xdw::kDirections; ++direction) {
        thru.ports[direction].port = in.uuid(QT_TR_NOOP("MIDI Thru port"));
        thru.ports[direction].text = in.string(QT_TR_NOOP("MIDI Thru port text"));
    }
    document.thru = thru;
}

void readBody(Cursor& in, TDocumentReader::Result& result) {
    xdw::Document& document = result.document;
    document.geometry = in.typed(Rect, QT_TR_NOOP("window geometry")).toRect();
    result.itemsRead = TDocumentReader::Geometry;
    xdw::PortSection ports;
    readPortSection(in, ports);
    document.ports = ports;
    result.itemsRead = TDocumentReader::Ports;
    document.view = in.map(QT_TR_NOOP("view settings"), 0);
    result.itemsRead = TDocumentReader::View;
    while (readComponent(in, document)) {
    }
    result.itemsRead = TDocumentReader::Components;
    const quint32 minor = document.minorVersion();
    if (minor >= 1)
        readRecallEnabled(in, document);
    result.itemsRead = TDocumentReader::RecallEnabled;
    if (minor > 1)
        readThru(in, document);
    result.itemsRead = TDocumentReader::Thru;
}

} // namespace

QString TDocumentReader::Result::defectLine() const {
    if (outcome == Outcome::Complete)
        return QString();
    return tr("byte %1: %2").arg(defectOffset).arg(defect);
}

TDocumentReader::Result TDocumentReader::read(const QByteArray& bytes) {
    Result result;
    Cursor in(bytes);
    try {
        result.document.header = in.variant(QT_TR_NOOP("header"));
        result.itemsRead = Header;
    } catch (const Defect& defect) {
        result.outcome = Outcome::Incompatible;
        result.defect = tr("not a workspace document (%1)").arg(defect.text);
        return result;
    }
    if (!xdw::isCompatibleHeader(result.document.header)) {
        result.outcome = Outcome::Incompatible;
        result.defect = tr("the header \"%1\" is not one of version 2.00 or older")
                            .arg(result.document.header.toString().left(80));
        return result;
    }
    try {
        readBody(in, result);
    } catch (const Defect& defect) {
        result.outcome = Outcome::Damaged;
        result.defectOffset = defect.offset;
        result.defect = defect.text;
        return result;
    }
    result.outcome = Outcome::Complete;
    result.endOffset = in.offset();
    return result;
}
