// One MIDI port of the machine in the setup dialog's port views: a check box with the port's
// text, its persistent id and its position in the machine's port list of its direction. Every
// change of the check mark, by the user or by the program, is announced with stateChanged.
#pragma once

#include <QObject>
#include <QTreeWidgetItem>
#include <QUuid>

class MidiPortsCheckListItem : public QObject, public QTreeWidgetItem {
    Q_OBJECT
public:
    // Tells these items apart from other items of a view.
    static constexpr int kItemType = QTreeWidgetItem::UserType + 2;

    // GUI thread: appended to the view, unchecked.
    MidiPortsCheckListItem(QTreeWidget* view, const QString& text, const QUuid& portId,
                           int portIndex);

    const QUuid& portId() const { return m_portId; }
    int portIndex() const { return m_portIndex; }

    bool isOn() const { return checkState(0) == Qt::Checked; }
    void setOn(bool on);
    // Activation (Return, a double click) flips the check mark.
    void activate();

    void setData(int column, int role, const QVariant& value) override;

    // The item as one of these, or null for any other item.
    static MidiPortsCheckListItem* from(QTreeWidgetItem* item);

signals:
    void stateChanged(MidiPortsCheckListItem* item);

private:
    const QUuid m_portId;
    const int m_portIndex;
};
