// The "workspace" cell of a row of the re-mapping dialog: the document port's name, never
// editable, and the row's entry in the Workspace port list.
#pragma once

#include <QTableWidgetItem>

class WSPortTableItem : public QTableWidgetItem {
public:
    WSPortTableItem(const QString& name, int index);

    // Entry in the Workspace port list of the table's direction.
    int index() const { return m_index; }

private:
    int m_index;
};
