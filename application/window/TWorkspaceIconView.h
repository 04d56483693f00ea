// The Workspace window's icon view: large icons on the Workspace's colour, single selection,
// labels renamed in place (TIconViewDelegate). Return on an item counts as a double click; a
// press is reported with the item under it (null on empty space).
#pragma once

#include <QListWidget>

class TWorkspaceIconView : public QListWidget {
    Q_OBJECT
public:
    explicit TWorkspaceIconView(QWidget* parent);

signals:
    void itemRenamed(QListWidgetItem* item);
    void itemOpened(QListWidgetItem* item);
    void pressed(int button, QListWidgetItem* item, const QPoint& globalPosition);
    void contextMenuAt(QListWidgetItem* item, const QPoint& globalPosition);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};
