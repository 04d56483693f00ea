#include "TWorkspaceIconView.h"

#include "TIconViewDelegate.h"

#include <QKeyEvent>
#include <QMouseEvent>

TWorkspaceIconView::TWorkspaceIconView(QWidget* parent) : QListWidget(parent) {
    setViewMode(QListView::IconMode);
    setIconSize(QSize(96, 96));
    setMovement(QListView::Static);
    setWordWrap(false);
    setResizeMode(QListView::Adjust);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setSpacing(8);
    setUniformItemSizes(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, QColor(102, 105, 124));
    setPalette(colours);
    setAutoFillBackground(true);

    auto* delegate = new TIconViewDelegate(this);
    setItemDelegate(delegate);
    connect(delegate, &TIconViewDelegate::itemRenamed, this,
            [this](const QModelIndex& index) { emit itemRenamed(item(index.row())); });
    connect(this, &QListWidget::itemDoubleClicked, this, &TWorkspaceIconView::itemOpened);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        emit contextMenuAt(itemAt(at), viewport()->mapToGlobal(at));
    });
}

void TWorkspaceIconView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && currentItem()) {
        emit itemOpened(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void TWorkspaceIconView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    emit pressed(int(event->button()), itemAt(at), viewport()->mapToGlobal(at));
    QListWidget::mousePressEvent(event);
}
