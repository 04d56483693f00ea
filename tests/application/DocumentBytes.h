// Workspace document bytes spelled out field by field, as the format describes them, for tests
// that compare what the program writes with what it should write and that feed the reader
// documents of every kind. Independent of the program's own writer.
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QUuid>
#include <ostream>

// Test failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace documenttest {

// Qt 3 variant type ids.
enum : quint32 { kList = 2, kString = 3, kRect = 8, kPoint = 14, kInt = 16, kUInt = 17 };

class Bytes {
public:
    Bytes& u32(quint32 value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            m_bytes.append(char((value >> shift) & 0xFF));
        return *this;
    }
    Bytes& i32(qint32 value) { return u32(quint32(value)); }
    Bytes& raw(const QByteArray& bytes) {
        m_bytes.append(bytes);
        return *this;
    }
    // Length in bytes, then UTF-16 big-endian; 0xFFFFFFFF for the null string.
    Bytes& string(const QString& text) {
        if (text.isNull())
            return u32(0xFFFFFFFFu);
        u32(quint32(text.size() * 2));
        for (QChar c : text) {
            m_bytes.append(char(c.unicode() >> 8));
            m_bytes.append(char(c.unicode() & 0xFF));
        }
        return *this;
    }
    Bytes& uuid(const QUuid& id) { return raw(id.toRfc4122()); }

    Bytes& vString(const QString& text) { return u32(kString).string(text); }
    Bytes& vInt(qint32 value) { return u32(kInt).i32(value); }
    Bytes& vUInt(quint32 value) { return u32(kUInt).u32(value); }
    Bytes& vRect(const QRect& r) {
        return u32(kRect).i32(r.left()).i32(r.top()).i32(r.right()).i32(r.bottom());
    }
    Bytes& vPoint(const QPoint& p) { return u32(kPoint).i32(p.x()).i32(p.y()); }
    // The list's count; its items follow with further calls.
    Bytes& vList(quint32 count) { return u32(kList).u32(count); }

    // "Version;2.00;Application Name;Quenor Dorvo" unless told otherwise.
    Bytes& header(const QString& version = QStringLiteral("2.00")) {
        return vString(QStringLiteral("Version;%1;Application Name;Quenor Dorvo").arg(version));
    }
    // The three view settings in key order: arrangement, sorting, minor version.
    Bytes& view(quint32 minor, qint32 arrangement = 0, qint32 sorting = 0) {
        u32(3);
        string(QStringLiteral("fileformat-minorversion")).vUInt(minor);
        string(QStringLiteral("iconview-arrangement")).vInt(arrangement);
        return string(QStringLiteral("iconview-sorting")).vInt(sorting);
    }
    Bytes& noPorts() { return i32(0).i32(0).i32(0).i32(0); }
    Bytes& component(const QUuid& classId, const QString& name, qint32 editorOpen,
                     const QRect& editor, const QPoint& icon, quint32 mask,
                     const QByteArray& state) {
        vString(classId.toString()).vString(name).vInt(editorOpen).vRect(editor).vPoint(icon);
        return vUInt(mask).vUInt(quint32(state.size())).raw(state);
    }
    Bytes& endOfComponents() { return vString(QUuid().toString()).vString(QString()); }
    Bytes& noThru() { return vInt(0).uuid(QUuid()).string(QString("")).uuid(QUuid()).string(""); }

    qsizetype size() const { return m_bytes.size(); }
    const QByteArray& bytes() const { return m_bytes; }
    operator QByteArray() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

} // namespace documenttest
