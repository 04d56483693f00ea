#include "TIconViewDelegate.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>

TIconViewDelegate::TIconViewDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void TIconViewDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    const QString text = item.text;

    // Icon and selection as the style draws them (the text invisible, so that the layout stays
    // the same), then the label on its white ground.
    item.palette.setColor(QPalette::Text, Qt::transparent);
    item.palette.setColor(QPalette::HighlightedText, Qt::transparent);
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
    const bool selected = item.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(textRect, selected ? item.palette.highlight() : QBrush(Qt::white));
    painter->setPen(selected ? option.palette.color(QPalette::HighlightedText) : QColor(Qt::black));
    painter->setFont(item.font);
    const QString shown = item.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width() - 2);
    painter->drawText(textRect, int(item.displayAlignment), shown);
    painter->restore();
}

QWidget* TIconViewDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setMaxLength(kMaxTextLength);
    return editor;
}

void TIconViewDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    QStyledItemDelegate::setModelData(editor, model, index);
    emit itemRenamed(index);
}
