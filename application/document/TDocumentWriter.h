// Writes a workspace document item by item, in the byte layout of the format: Qt 3.3's data
// stream encoding, big-endian, nothing around it. The Workspace writes components one at a time
// as each saves its state; a whole document can also be written at once.
#pragma once

#include "TWorkspaceDocument.h"

#include <QDataStream>

class TDocumentWriter {
public:
    // The stream is switched to the format's encoding; it must stay alive while writing.
    explicit TDocumentWriter(QDataStream& stream);

    // Items 1 to 4: header, window geometry, port section, view settings.
    void writeHeader(const QVariant& header);
    void writeGeometry(const QRect& geometry);
    void writePortSection(const xdw::PortSection& section);
    void writeViewSettings(const QMap<QString, QVariant>& view);
    // One component entry with its state block.
    void writeComponent(const xdw::Component& component);
    // The end marker, then the recall-enabled list and the Thru section when the view
    // settings' minor version has them.
    void writeEnd(quint32 minorVersion, const QList<qint32>& recallEnabled,
                  const xdw::ThruSection& thru);

    // The whole document; a missing recall list or Thru section is written empty.
    static void write(QDataStream& stream, const xdw::Document& document);
    static QByteArray bytes(const xdw::Document& document);

private:
    QDataStream& m_stream;
};
