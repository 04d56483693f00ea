#include "TDocumentWriter.h"

#include <QBuffer>

TDocumentWriter::TDocumentWriter(QDataStream& stream) : m_stream(stream) {
    m_stream.setVersion(QDataStream::Qt_3_3);
    m_stream.setByteOrder(QDataStream::BigEndian);
}

void TDocumentWriter::writeHeader(const QVariant& header) {
    m_stream << header;
}

void TDocumentWriter::writeGeometry(const QRect& geometry) {
    m_stream << QVariant(geometry);
}

void TDocumentWriter::writePortSection(const xdw::PortSection& section) {
    for (const QList<xdw::RemapRecord>& records : section.remap) {
        m_stream << qint32(records.size());
        for (const xdw::RemapRecord& record : records) {
            m_stream << record.port << qint32(record.targets.size());
            for (const QUuid& target : record.targets)
                m_stream << target;
        }
    }
    for (const QList<xdw::PortRecord>& records : section.ports) {
        m_stream << qint32(records.size());
        for (const xdw::PortRecord& record : records)
            m_stream << record.port << record.text;
    }
}

void TDocumentWriter::writeViewSettings(const QMap<QString, QVariant>& view) {
    m_stream << view;
}

void TDocumentWriter::writeComponent(const xdw::Component& component) {
    m_stream << QVariant(component.classId) << QVariant(component.name)
             << QVariant(qint32(component.editorOpen)) << QVariant(component.editorGeometry)
             << QVariant(component.iconPosition) << QVariant(quint32(component.recallMask))
             << QVariant(quint32(component.state.size()));
    m_stream.writeRawData(component.state.constData(), int(component.state.size()));
}

void TDocumentWriter::writeEnd(quint32 minorVersion, const QList<qint32>& recallEnabled,
                               const xdw::ThruSection& thru) {
    m_stream << QVariant(QUuid().toString()) << QVariant(QString());
    if (minorVersion >= 1) {
        QVariantList values;
        for (qint32 value : recallEnabled)
            values.append(QVariant(value));
        m_stream << QVariant(values);
    }
    if (minorVersion > 1) {
        m_stream << QVariant(qint32(thru.on));
        for (const xdw::ThruPort& port : thru.ports)
            m_stream << port.port << port.text;
    }
}

void TDocumentWriter::write(QDataStream& stream, const xdw::Document& document) {
    TDocumentWriter writer(stream);
    writer.writeHeader(document.header);
    writer.writeGeometry(document.geometry);
    writer.writePortSection(document.ports);
    writer.writeViewSettings(document.view);
    for (const xdw::Component& component : document.components)
        writer.writeComponent(component);
    writer.writeEnd(document.minorVersion(), document.recallEnabled.value_or(QList<qint32>()),
                    document.thru.value_or(xdw::ThruSection()));
}

QByteArray TDocumentWriter::bytes(const xdw::Document& document) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream stream(&buffer);
    write(stream, document);
    return bytes;
}
