// The setup dialog's own small classes: the port items of its port views and the filter that
// lets Return reach the dialog from its list boxes.
#include "KeyPressEater.h"
#include "MidiPortsCheckListItem.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

TEST(SetupItemsTest, PortItemsAnnounceEveryChangeOfTheirCheckMark) {
    QTreeWidget view;
    const QUuid id = QUuid::createUuid();
    auto* item = new MidiPortsCheckListItem(&view, QStringLiteral("Dorvo Loopback 1"), id, 3);
    auto* other = new QTreeWidgetItem(&view, QStringList(QStringLiteral("plain")));
    QList<std::pair<MidiPortsCheckListItem*, bool>> seen;
    QObject::connect(item, &MidiPortsCheckListItem::stateChanged,
                     [&seen](MidiPortsCheckListItem* changed) {
                         seen.append({changed, changed->isOn()});
                     });

    // A click on the box reaches the item through the view's model.
    const QModelIndex index = view.model()->index(0, 0);
    view.model()->setData(index, Qt::Checked, Qt::CheckStateRole);
    view.model()->setData(index, Qt::Checked, Qt::CheckStateRole); // no change, no signal
    item->setText(0, QStringLiteral("renamed"));
    item->activate();
    item->setOn(true);
    EXPECT_EQ(seen, (QList<std::pair<MidiPortsCheckListItem*, bool>>{
                        {item, true}, {item, false}, {item, true}}));

    EXPECT_EQ(item->portId(), id);
    EXPECT_EQ(item->portIndex(), 3);
    EXPECT_TRUE(item->flags() & Qt::ItemIsUserCheckable);
    EXPECT_EQ(MidiPortsCheckListItem::from(view.topLevelItem(0)), item);
    EXPECT_EQ(MidiPortsCheckListItem::from(other), nullptr);
    EXPECT_EQ(MidiPortsCheckListItem::from(nullptr), nullptr);
    // The view deletes its items, this one included, without a second deletion of the object.
    view.clear();
    EXPECT_EQ(view.topLevelItemCount(), 0);
}

TEST(SetupItemsTest, ReturnInAListBoxReachesBothTheListAndTheDefaultButton) {
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->addItems({QStringLiteral("Demo Synth"), QStringLiteral("MIDI Monitor")});
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    layout->addWidget(list);
    layout->addWidget(ok);
    KeyPressEater eater;
    list->installEventFilter(&eater);
    int clicks = 0, activations = 0;
    QObject::connect(ok, &QPushButton::clicked, [&clicks] { ++clicks; });
    QObject::connect(list, &QListWidget::itemActivated, [&activations] { ++activations; });
    dialog.show();
    list->setCurrentRow(1);

    for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(list, &press);
    }
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(activations, 2);
    // Other keys are the list's own.
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(list, &up);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(clicks, 2);
}
