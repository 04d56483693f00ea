// An item of the setup dialog's lists that stands for one catalogue entry: by the entry's name
// in the list of installed components, or by a component's instance name in the Workspace list.
#pragma once

#include "TComponentCatalogue.h"

#include <QListWidgetItem>

class CListBoxVEXElement : public QListWidgetItem {
public:
    // Tells these items apart from plain text items of the same list.
    static constexpr int kItemType = QListWidgetItem::UserType + 1;

    // GUI thread: appended to list when one is given.
    CListBoxVEXElement(const TCatalogueEntry& entry, const QString& text,
                       QListWidget* list = nullptr);

    const TCatalogueEntry& entry() const { return m_entry; }

    // The item as one of these, or null for any other item.
    static CListBoxVEXElement* from(QListWidgetItem* item);

private:
    TCatalogueEntry m_entry;
};
