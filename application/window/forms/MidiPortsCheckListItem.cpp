#include "MidiPortsCheckListItem.h"

MidiPortsCheckListItem::MidiPortsCheckListItem(QTreeWidget* view, const QString& text,
                                               const QUuid& portId, int portIndex)
    : QTreeWidgetItem(view, QStringList(text), kItemType), m_portId(portId),
      m_portIndex(portIndex) {
    setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    setCheckState(0, Qt::Unchecked);
}

void MidiPortsCheckListItem::setOn(bool on) {
    setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
}

void MidiPortsCheckListItem::activate() {
    setOn(!isOn());
}

void MidiPortsCheckListItem::setData(int column, int role, const QVariant& value) {
    const bool checkMark = column == 0 && role == Qt::CheckStateRole;
    const bool wasOn = checkMark && isOn();
    QTreeWidgetItem::setData(column, role, value);
    if (checkMark && isOn() != wasOn)
        emit stateChanged(this);
}

MidiPortsCheckListItem* MidiPortsCheckListItem::from(QTreeWidgetItem* item) {
    return item && item->type() == kItemType ? static_cast<MidiPortsCheckListItem*>(item) : nullptr;
}
