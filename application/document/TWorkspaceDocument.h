// A workspace document as data: everything an .XDW file holds, item by item, without the
// Workspace it came from or goes to. The reader fills one from bytes, the writer writes one, and
// the Workspace window gathers and applies them; programs without a display (dorvo2-xdw) use it
// as it is.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QUuid>
#include <QVariant>
#include <array>
#include <optional>

namespace xdw {

// Per-direction tables are arrays of two: input, then output.
constexpr int kDirections = 2;

// The version this program writes and the newest it reads.
inline constexpr double kFormatVersion = 2.00;
inline constexpr quint32 kMinorVersion = 2;

// The view settings' keys.
inline const QString kMinorVersionKey = QStringLiteral("fileformat-minorversion");
inline const QString kArrangementKey = QStringLiteral("iconview-arrangement");
inline const QString kSortingKey = QStringLiteral("iconview-sorting");

// "Version;2.00;Application Name;" followed by the application title.
QString headerText(const QString& applicationTitle);
// The header as the first item holds it: true when its major version is this program's and its
// version is not newer. The application name is not compared.
bool isCompatibleHeader(const QVariant& header, double version = kFormatVersion);

// A document port re-mapped to machine ports, most preferred first; a null first id assigns
// it to no machine port.
struct RemapRecord {
    QUuid port;
    QList<QUuid> targets;
    bool operator==(const RemapRecord&) const = default;
};

// A document port with the entry text ("number;name", perhaps followed by " [users]") of the
// machine port it stood for when the document was written.
struct PortRecord {
    QUuid port;
    QString text;
    bool operator==(const PortRecord&) const = default;
};

struct PortSection {
    std::array<QList<RemapRecord>, kDirections> remap;
    std::array<QList<PortRecord>, kDirections> ports;
    bool operator==(const PortSection&) const = default;
};

struct Component {
    QString classId; // QUuid text form
    QString name;
    qint32 editorOpen = 0;
    QRect editorGeometry;
    QPoint iconPosition;
    quint32 recallMask = 0;
    QByteArray state;
    // Where the entry ends in the file, for progress shown while components load.
    qint64 endOffset = 0;
    bool operator==(const Component& other) const {
        return classId == other.classId && name == other.name && editorOpen == other.editorOpen &&
               editorGeometry == other.editorGeometry && iconPosition == other.iconPosition &&
               recallMask == other.recallMask && state == other.state;
    }
};

struct ThruPort {
    QUuid port; // a machine port id; null for none
    QString text{QLatin1String("")};
    bool operator==(const ThruPort&) const = default;
};

struct ThruSection {
    qint32 on = 0;
    std::array<ThruPort, kDirections> ports;
    bool operator==(const ThruSection&) const = default;
};

struct Document {
    QVariant header;
    QRect geometry;
    PortSection ports;
    QMap<QString, QVariant> view;
    QList<Component> components;
    // Present from minor version 1 on.
    std::optional<QList<qint32>> recallEnabled;
    // Present from minor version 2 on.
    std::optional<ThruSection> thru;

    // "fileformat-minorversion" of the view settings; 0 without it.
    quint32 minorVersion() const;
};

} // namespace xdw
