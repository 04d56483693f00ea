#include "CListBoxVEXElement.h"

CListBoxVEXElement::CListBoxVEXElement(const TCatalogueEntry& entry, const QString& text,
                                       QListWidget* list)
    : QListWidgetItem(text, list, kItemType), m_entry(entry) {}

CListBoxVEXElement* CListBoxVEXElement::from(QListWidgetItem* item) {
    return item && item->type() == kItemType ? static_cast<CListBoxVEXElement*>(item) : nullptr;
}
