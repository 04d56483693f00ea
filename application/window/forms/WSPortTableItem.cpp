#include "WSPortTableItem.h"

WSPortTableItem::WSPortTableItem(const QString& name, int index)
    : QTableWidgetItem(name, QTableWidgetItem::UserType), m_index(index) {
    setFlags(flags() & ~Qt::ItemIsEditable & ~Qt::ItemIsSelectable);
}
