#include "DocumentJson.h"

#include <QJsonArray>
#include <QSize>
#include <QStringList>

namespace {

const char* const kDirectionNames[xdw::kDirections] = {"input", "output"};

QJsonValue text(const QString& value) {
    return value.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(value);
}

QJsonObject rect(const QRect& value) {
    return {{"left", value.left()},
            {"top", value.top()},
            {"right", value.right()},
            {"bottom", value.bottom()}};
}

QJsonObject point(const QPoint& value) {
    return {{"x", value.x()}, {"y", value.y()}};
}

QJsonValue typed(const QVariant& value);

// The name Qt 3 gave the variant's type, and its value.
QPair<QString, QJsonValue> nameAndValue(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
        return {"Int", value.toInt()};
    case QMetaType::UInt:
        return {"UInt", double(value.toUInt())};
    case QMetaType::LongLong:
        return {"LongLong", double(value.toLongLong())};
    case QMetaType::ULongLong:
        return {"ULongLong", double(value.toULongLong())};
    case QMetaType::Bool:
        return {"Bool", value.toBool()};
    case QMetaType::Double:
        return {"Double", value.toDouble()};
    case QMetaType::QString:
        return {"String", text(value.toString())};
    case QMetaType::QStringList: {
        QJsonArray items;
        for (const QString& item : value.toStringList())
            items.append(text(item));
        return {"StringList", items};
    }
    case QMetaType::QByteArray:
        return {"ByteArray", QString::fromLatin1(value.toByteArray().toHex())};
    case QMetaType::QRect:
        return {"Rect", rect(value.toRect())};
    case QMetaType::QPoint:
        return {"Point", point(value.toPoint())};
    case QMetaType::QSize: {
        const QSize size = value.toSize();
        return {"Size", QJsonObject{{"width", size.width()}, {"height", size.height()}}};
    }
    case QMetaType::QVariantList: {
        QJsonArray items;
        for (const QVariant& item : value.toList())
            items.append(typed(item));
        return {"List", items};
    }
    case QMetaType::QVariantMap: {
        QJsonObject items;
        const QVariantMap map = value.toMap();
        for (auto entry = map.cbegin(); entry != map.cend(); ++entry)
            items.insert(entry.key(), typed(entry.value()));
        return {"Map", items};
    }
    default:
        return {"Invalid", QJsonValue(QJsonValue::Null)};
    }
}

QJsonValue typed(const QVariant& value) {
    const auto [name, json] = nameAndValue(value);
    return QJsonArray{name, json};
}

QJsonObject remap(const xdw::PortSection& section) {
    QJsonObject directions;
    for (int direction = 0; direction < xdw::kDirections; ++direction) {
        QJsonArray records;
        for (const xdw::RemapRecord& record : section.remap[direction]) {
            QJsonArray targets;
            for (const QUuid& target : record.targets)
                targets.append(target.toString());
            records.append(QJsonObject{{"port", record.port.toString()}, {"targets", targets}});
        }
        directions.insert(kDirectionNames[direction], records);
    }
    return directions;
}

QJsonObject ports(const xdw::PortSection& section) {
    QJsonObject directions;
    for (int direction = 0; direction < xdw::kDirections; ++direction) {
        QJsonArray records;
        for (const xdw::PortRecord& record : section.ports[direction])
            records.append(
                QJsonObject{{"port", record.port.toString()}, {"text", text(record.text)}});
        directions.insert(kDirectionNames[direction], records);
    }
    return directions;
}

QJsonObject component(const xdw::Component& entry) {
    return {{"clsid", text(entry.classId)},
            {"name", text(entry.name)},
            {"editorOpen", entry.editorOpen},
            {"editorGeometry", rect(entry.editorGeometry)},
            {"iconPosition", point(entry.iconPosition)},
            {"recallMask", double(entry.recallMask)},
            {"state", QString::fromLatin1(entry.state.toHex())}};
}

QJsonObject thru(const xdw::ThruSection& section) {
    QJsonObject object{{"on", section.on}};
    for (int direction = 0; direction < xdw::kDirections; ++direction) {
        const xdw::ThruPort& port = section.ports[direction];
        object.insert(kDirectionNames[direction],
                      QJsonObject{{"port", port.port.toString()}, {"text", text(port.text)}});
    }
    return object;
}

} // namespace

QJsonObject documentJson(const xdw::Document& document) {
    QJsonObject view;
    for (auto entry = document.view.cbegin(); entry != document.view.cend(); ++entry)
        view.insert(entry.key(), typed(entry.value()));
    QJsonArray components;
    for (const xdw::Component& entry : document.components)
        components.append(component(entry));

    QJsonObject json{{"header", text(document.header.toString())},
                     {"geometry", rect(document.geometry)},
                     {"remap", remap(document.ports)},
                     {"ports", ports(document.ports)},
                     {"view", view},
                     {"components", components}};
    if (document.recallEnabled) {
        QJsonArray values;
        for (qint32 value : *document.recallEnabled)
            values.append(value);
        json.insert("recallEnabled", values);
    }
    if (document.thru)
        json.insert("thru", thru(*document.thru));
    return json;
}
