// The setup dialog's "MIDI Settings" page: one check box per machine port and direction, the
// MIDI Thru ports chosen among the checked ones, and the port choice kept as defaults by id.
#include "SetupDlg.h"

#include "DorvoAssert.h"
#include "MidiPortsCheckListItem.h"
#include "PreferenceKeys.h"
#include "ui_SetupDlg.h"

#include <QKeyEvent>
#include <QSignalBlocker>
#include <algorithm>

namespace {

constexpr int kInput = TMIDIPortAccessor::kInput;
constexpr int kOutput = TMIDIPortAccessor::kOutput;

const QString kThruOnKey = Preferences::kMidiPortsPage + QStringLiteral("MIDIThru/ThruOn");

// "InputPorts/ids" and the like, under the MIDI ports group.
QString portsKey(const QString& group, const QString& name) {
    return Preferences::kMidiPortsPage + group + QStringLiteral("/") + name;
}

QString thruKey(const QString& group, const QString& name) {
    return Preferences::kMidiPortsPage + QStringLiteral("MIDIThru/") + group + QStringLiteral("/") +
           name;
}

// The port's name without the components that use it ("name [users]").
QString portNameOf(const QString& text) {
    const qsizetype users = text.indexOf(QStringLiteral(" ["));
    return users < 0 ? text : text.left(users);
}

} // namespace

// ---- The views and combos of a direction ------------------------------------------------------

QTreeWidget* SetupDlg::portsView(int direction) const {
    return direction == kOutput ? m_ui->outputPortsView : m_ui->inputPortsView;
}

QComboBox* SetupDlg::thruCombo(int direction) const {
    return direction == kOutput ? m_ui->thruOutPortCombo : m_ui->thruInPortCombo;
}

QString SetupDlg::portGroup(int direction) {
    return direction == kOutput ? QStringLiteral("OutputPorts") : QStringLiteral("InputPorts");
}

int SetupDlg::directionOf(const QTreeWidget* view) const {
    if (view && view == m_ui->inputPortsView)
        return kInput;
    if (view && view == m_ui->outputPortsView)
        return kOutput;
    return -1;
}

QList<MidiPortsCheckListItem*> SetupDlg::portItems(const QTreeWidget* view) {
    QList<MidiPortsCheckListItem*> items;
    for (int row = 0; view && row < view->topLevelItemCount(); ++row) {
        if (MidiPortsCheckListItem* item = MidiPortsCheckListItem::from(view->topLevelItem(row)))
            items.append(item);
    }
    return items;
}

QList<MidiPortsCheckListItem*> SetupDlg::checkedItems(const QTreeWidget* view) {
    QList<MidiPortsCheckListItem*> items = portItems(view);
    items.removeIf([](const MidiPortsCheckListItem* item) { return !item->isOn(); });
    return items;
}

MidiPortsCheckListItem* SetupDlg::thruItem(int direction) const {
    const QList<MidiPortsCheckListItem*> checked = checkedItems(portsView(direction));
    const int entry = thruCombo(direction)->currentIndex();
    return entry > 0 && entry <= checked.size() ? checked[entry - 1] : nullptr;
}

int SetupDlg::thruEntryOf(int direction, const QUuid& id) const {
    const QList<MidiPortsCheckListItem*> checked = checkedItems(portsView(direction));
    for (int k = 0; !id.isNull() && k < checked.size(); ++k) {
        if (checked[k]->portId() == id)
            return k + 1;
    }
    return 0;
}

void SetupDlg::setThruComboEmpty(QComboBox* combo, bool empty) {
    combo->setItemText(0, empty ? tr("- No Port Selected -") : tr("- Not Assigned -"));
    combo->setEnabled(!empty && m_ui->midiThruGroup->isChecked());
}

void SetupDlg::connectPortViews() {
    for (QTreeWidget* view : {m_ui->inputPortsView, m_ui->outputPortsView}) {
        connect(view, &QTreeWidget::itemActivated, this, [](QTreeWidgetItem* item) {
            if (MidiPortsCheckListItem* port = MidiPortsCheckListItem::from(item))
                port->activate();
        });
    }
}

bool SetupDlg::eventFilter(QObject* watched, QEvent* event) {
    // Return in a port view flips the current port there, and does not close the dialog.
    auto* view = qobject_cast<QTreeWidget*>(watched);
    if (directionOf(view) >= 0 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        MidiPortsCheckListItem* item = MidiPortsCheckListItem::from(view->currentItem());
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && item) {
            item->activate();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- What the Workspace window reads ----------------------------------------------------------

QList<int> SetupDlg::selectedPorts(int direction) const {
    QList<int> selected;
    for (const MidiPortsCheckListItem* item : checkedItems(portsView(direction)))
        selected.append(item->portIndex());
    return selected;
}

TVirtualMIDIPortAccessor::Selection SetupDlg::portSelection() const {
    return {selectedPorts(kInput), selectedPorts(kOutput)};
}

TVirtualMIDIPortAccessor::ThruSettings SetupDlg::thruSettings() const {
    TVirtualMIDIPortAccessor::ThruSettings thru;
    thru.on = m_ui->midiThruGroup->isChecked();
    const MidiPortsCheckListItem* input = thruItem(kInput);
    const MidiPortsCheckListItem* output = thruItem(kOutput);
    thru.inputPort = input ? input->portIndex() + 1 : 0;
    thru.outputPort = output ? output->portIndex() + 1 : 0;
    return thru;
}

// ---- Filling the page -------------------------------------------------------------------------

void SetupDlg::rebuildMIDIPorts(const int direction, QList<QUuid>& ids, QStringList& texts,
                                QList<int>& selected, int thruPort) {
    if (!DORVO_CHECK(direction == kInput || direction == kOutput))
        return;
    QTreeWidget* view = portsView(direction);
    QComboBox* combo = thruCombo(direction);
    view->clear();
    for (int index = 0; index < ids.size(); ++index) {
        auto* item = new MidiPortsCheckListItem(
            view, index < texts.size() ? texts[index] : QString(), ids[index], index);
        item->setOn(selected.contains(index));
        connect(item, &MidiPortsCheckListItem::stateChanged, this, &SetupDlg::midiPortChanged);
    }
    view->resizeColumnToContents(0);

    combo->clear();
    combo->addItem(tr("- Not Assigned -"));
    int current = 0;
    for (const MidiPortsCheckListItem* item : checkedItems(view)) {
        combo->addItem(item->text(0));
        if (item->portIndex() + 1 == thruPort)
            current = combo->count() - 1;
    }
    combo->setCurrentIndex(current);
    setThruComboEmpty(combo, combo->count() == 1);
}

void SetupDlg::rebuildMIDIPorts_forUpdate(const int direction, QList<QUuid>& ids,
                                          QStringList& texts, QList<int>& selected, int thruPort) {
    Q_UNUSED(thruPort);
    if (!DORVO_CHECK(direction == kInput || direction == kOutput))
        return;
    const QString group = portGroup(direction);
    // New ports are chosen when they are default ports.
    selected.clear();
    const QStringList defaults =
        m_settings.value(portsKey(group, QStringLiteral("ids"))).toStringList();
    for (const QString& text : defaults) {
        const int index = int(ids.indexOf(QUuid(text)));
        if (index >= 0 && !selected.contains(index))
            selected.append(index);
    }
    // Ports still present keep the user's choice, applied or not. A Thru port that went is no
    // Thru port any more (its old number would name another port now).
    const MidiPortsCheckListItem* oldThru = thruItem(direction);
    int newThru = 0;
    for (const MidiPortsCheckListItem* item : portItems(portsView(direction))) {
        const int index = int(ids.indexOf(item->portId()));
        if (index < 0)
            continue;
        if (item->isOn() && !selected.contains(index))
            selected.append(index);
        else if (!item->isOn())
            selected.removeAll(index);
        if (item == oldThru)
            newThru = index + 1;
    }
    std::sort(selected.begin(), selected.end());
    rebuildMIDIPorts(direction, ids, texts, selected, newThru);
    if (thruCombo(direction)->currentIndex() == 0) {
        const QUuid defaultThru(m_settings.value(thruKey(group, QStringLiteral("ids"))).toString());
        thruCombo(direction)->setCurrentIndex(thruEntryOf(direction, defaultThru));
    }
    setMIDIThruCheck(m_ui->midiThruGroup->isChecked());
}

void SetupDlg::setMIDIThruCheck(bool on) {
    // The Workspace's own state, not a change of the user's: Apply stays as it is.
    {
        const QSignalBlocker quiet(m_ui->midiThruGroup);
        m_ui->midiThruGroup->setChecked(on);
    }
    for (int direction : {kInput, kOutput}) {
        QComboBox* combo = thruCombo(direction);
        combo->setEnabled(on && combo->count() > 1);
    }
}

// ---- The user's changes -----------------------------------------------------------------------

void SetupDlg::midiPortChanged(MidiPortsCheckListItem* item) {
    markPortsChanged();
    if (!item)
        return;
    const int direction = directionOf(item->treeWidget());
    if (direction < 0)
        return;
    QComboBox* combo = thruCombo(direction);
    int position = 1;
    for (const MidiPortsCheckListItem* other : portItems(portsView(direction))) {
        if (other == item)
            break;
        position += other->isOn() ? 1 : 0;
    }
    int current = combo->currentIndex();
    if (item->isOn()) {
        combo->insertItem(position, item->text(0));
        if (current >= position)
            ++current;
        setThruComboEmpty(combo, false);
    } else if (position < combo->count()) {
        combo->removeItem(position);
        if (current == position)
            current = 0;
        else if (current > position)
            --current;
        setThruComboEmpty(combo, combo->count() == 1);
    }
    combo->setCurrentIndex(current >= 0 && current < combo->count() ? current : 0);
}

void SetupDlg::portRefresh() {
    markPortsChanged();
    emit doUpdatePortsList();
}

void SetupDlg::midiThruChanged() {
    markPortsChanged();
}

void SetupDlg::midiThruCheckToggled(bool on) {
    if (on) {
        for (int direction : {kInput, kOutput}) {
            QComboBox* combo = thruCombo(direction);
            if (combo->count() > 1)
                combo->setEnabled(true);
        }
    }
    markPortsChanged();
}

// ---- Defaults ---------------------------------------------------------------------------------

void SetupDlg::storeDefaultMIDIPorts(const QString& group, QTreeWidget* view, QComboBox* combo) {
    if (!DORVO_CHECK(view) || !DORVO_CHECK(combo))
        return;
    QStringList ids, names;
    for (const MidiPortsCheckListItem* item : checkedItems(view)) {
        ids << item->portId().toString();
        names << portNameOf(item->text(0));
    }
    const int entry = combo->currentIndex();
    const bool chosen = entry > 0 && entry <= ids.size();
    m_settings.setValue(thruKey(group, QStringLiteral("ids")), chosen ? ids[entry - 1] : QString());
    m_settings.setValue(thruKey(group, QStringLiteral("descriptors")),
                        chosen ? names[entry - 1] : QString());
    m_settings.setValue(portsKey(group, QStringLiteral("ids")), ids);
    m_settings.setValue(portsKey(group, QStringLiteral("descriptors")), names);
}

void SetupDlg::setDefaultMIDIPorts() {
    storeDefaultMIDIPorts(portGroup(kInput), m_ui->inputPortsView, m_ui->thruInPortCombo);
    storeDefaultMIDIPorts(portGroup(kOutput), m_ui->outputPortsView, m_ui->thruOutPortCombo);
    m_settings.setValue(kThruOnKey, m_ui->midiThruGroup->isChecked() ? QStringLiteral("1")
                                                                     : QStringLiteral("0"));
}

void SetupDlg::restoreDefaultMIDIPorts(const QString& group, QTreeWidget* view,
                                       QStringList& unavailable, QComboBox* combo) {
    if (!DORVO_CHECK(view) || !DORVO_CHECK(combo))
        return;
    const QList<MidiPortsCheckListItem*> items = portItems(view);
    for (MidiPortsCheckListItem* item : items)
        item->setOn(false);
    const QStringList qslDefUuids =
        m_settings.value(portsKey(group, QStringLiteral("ids"))).toStringList();
    const QStringList qslDefNames =
        m_settings.value(portsKey(group, QStringLiteral("descriptors"))).toStringList();
    DORVO_CHECK(qslDefUuids.count() == qslDefNames.count());
    for (qsizetype i = 0; i < qslDefUuids.size(); ++i) {
        const QUuid id(qslDefUuids[i]);
        const auto found = std::find_if(items.begin(), items.end(), [&id](const auto* item) {
            return !id.isNull() && item->portId() == id;
        });
        if (found != items.end())
            (*found)->setOn(true);
        else
            unavailable << (i < qslDefNames.size() ? qslDefNames[i] : qslDefUuids[i]);
    }
    const int direction = directionOf(view);
    if (direction < 0)
        return;
    const QUuid thruId(m_settings.value(thruKey(group, QStringLiteral("ids"))).toString());
    combo->setCurrentIndex(thruEntryOf(direction, thruId));
}

void SetupDlg::recallDefaultMIDIPorts() {
    QStringList unavailable[2];
    restoreDefaultMIDIPorts(portGroup(kInput), m_ui->inputPortsView, unavailable[kInput],
                            m_ui->thruInPortCombo);
    restoreDefaultMIDIPorts(portGroup(kOutput), m_ui->outputPortsView, unavailable[kOutput],
                            m_ui->thruOutPortCombo);
    m_ui->midiThruGroup->setChecked(
        m_settings.value(kThruOnKey, QStringLiteral("0")).toString().toInt() != 0);
    if (unavailable[kInput].isEmpty() && unavailable[kOutput].isEmpty())
        return;
    QString text = tr("Following MIDI ports are unavailable.");
    if (!unavailable[kInput].isEmpty())
        text += QStringLiteral("\nInput:\n") + unavailable[kInput].join(QStringLiteral("\n"));
    if (!unavailable[kOutput].isEmpty())
        text += QStringLiteral("\nOutput:\n") + unavailable[kOutput].join(QStringLiteral("\n"));
    emit showWarningMsg(text);
}
