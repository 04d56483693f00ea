// Draws and edits the labels of the Workspace's icon view: the label text sits on a solid white
// background, names are at most 63 characters long, and a finished rename is reported with the
// item's new text already in place, so that the window can accept it or put the old name back.
#pragma once

#include <QStyledItemDelegate>

class TIconViewDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kMaxTextLength = 63;

    explicit TIconViewDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

signals:
    // The label at index was edited by the user; its text is the new one.
    void itemRenamed(const QModelIndex& index) const;
};
