#include "TWorkspaceMenus.h"

#include "ApplicationWindow.h"
#include "CVEXWrapper.h"
#include "TSynchronizer.h"

#include <dorvo/objbase.h>

#include <QListWidget>
#include <QMenu>
#include <QTimer>

namespace {

constexpr int kUnchecked = -1;
// The value of an entry of "Configure Recall".
const char* const kRecallValue = "recallValue";
// The check mark an entry had when the menu was built.
const char* const kWasChecked = "wasChecked";
// The selection mode that GetRecallInfo gave with the entries.
const char* const kSelectionMode = "selectionMode";
constexpr DWORD kToggleSelection = 0x80000000u;
constexpr int kRearrangeDelayMs = 100;

QAction* addChoice(QMenu* menu, const QString& text, TWorkspaceMenus::MenuChoice choice,
                   int checked = kUnchecked) {
    QAction* action = menu->addAction(text);
    action->setData(int(choice));
    if (checked != kUnchecked) {
        action->setCheckable(true);
        action->setChecked(checked != 0);
        action->setProperty(kWasChecked, checked != 0);
    }
    return action;
}

} // namespace

QMenu* TWorkspaceMenus::createComponentMenu(CVEXWrapper* component, QWidget* parent) {
    auto* menu = new QMenu(parent);
    const bool editorOpen = component->hasEditorWindow();
    const bool canSynchronize = component->hasSyncInterface();
    addChoice(menu, editorOpen ? QMenu::tr("Show") : QMenu::tr("Open"), ChoiceShowEditor);
    addChoice(menu, QMenu::tr("Close"), ChoiceCloseEditor)->setEnabled(editorOpen);
    menu->addSeparator();
    addChoice(menu, QMenu::tr("Synchronize..."), ChoiceSynchronize)->setEnabled(canSynchronize);
    addChoice(menu, QMenu::tr("Recall Enabled"), ChoiceRecallEnabled, component->recallEnabled())
        ->setEnabled(canSynchronize);
    if (canSynchronize)
        addRecallSubmenu(menu, component);
    menu->addSeparator();
    addChoice(menu, QMenu::tr("Remove..."), ChoiceRemove);
    return menu;
}

void TWorkspaceMenus::addRecallSubmenu(QMenu* menu, CVEXWrapper* component) {
    DWORD selectionMode = 0;
    LPWSTR names = nullptr;
    const HRESULT result =
        component->getRecallInfo(&selectionMode, &names, nullptr, nullptr, nullptr);
    const QString text = (result == S_OK && names) ? QString::fromUtf16(names) : QString();
    // Only a success hands the text over.
    if (SUCCEEDED(result))
        CoTaskMemFree(names);
    const auto entries = recallMenuEntries(text);
    if (entries.isEmpty())
        return;
    QMenu* submenu = menu->addMenu(QMenu::tr("Configure Recall"));
    const DWORD mask = component->recallMask();
    for (const auto& [name, value] : entries) {
        const bool checked = value == 0 ? mask == 0 : (mask & value) != 0;
        QAction* entry = addChoice(submenu, name, ChoiceConfigureRecall, checked);
        entry->setProperty(kRecallValue, uint(value));
        entry->setProperty(kSelectionMode, uint(selectionMode));
    }
}

QList<QPair<QString, DWORD>> TWorkspaceMenus::recallMenuEntries(const QString& itemNames) {
    QList<QPair<QString, DWORD>> entries;
    const QStringList parts = itemNames.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    // A mask has 32 bits: names past the last bit have no value to stand for.
    for (int n = 0; n < parts.size() && n <= 32; ++n)
        entries.append({parts[n], n == 0 ? DWORD(0) : DWORD(1u << (n - 1))});
    return entries;
}

DWORD TWorkspaceMenus::recallMaskAfterChoice(DWORD mask, DWORD selectionMode, DWORD value) {
    if ((selectionMode & kToggleSelection) && value != 0)
        return mask ^ value;
    return value;
}

void TWorkspaceMenus::actOnComponentMenu(CVEXWrapper* component, QAction* chosen) {
    if (!chosen || !component)
        return;
    switch (chosen->data().toInt()) {
    case ChoiceShowEditor:
        component->showEditor();
        break;
    case ChoiceCloseEditor:
        component->closeEditor(false);
        break;
    case ChoiceSynchronize:
        TSynchronizer(m_window).selectAndConfirm(&m_window, component,
                                                 QMenu::tr("Confirm Synchronization"), true, false);
        break;
    case ChoiceRecallEnabled: {
        const bool enabled = !chosen->property(kWasChecked).toBool();
        if (enabled != component->recallEnabled()) {
            component->setRecallEnabled(enabled);
            component->refreshIcon();
        }
        m_window.setModified(true);
        break;
    }
    case ChoiceConfigureRecall:
        m_window.setModified(true);
        component->setRecallMask(recallMaskAfterChoice(component->recallMask(),
                                                       chosen->property(kSelectionMode).toUInt(),
                                                       chosen->property(kRecallValue).toUInt()));
        break;
    case ChoiceRemove:
        m_window.removeComponent(component, true);
        QTimer::singleShot(kRearrangeDelayMs, &m_window, &ApplicationWindow::rearrangeIcons);
        break;
    default:
        break;
    }
}

QMenu* TWorkspaceMenus::createSpaceMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    QListWidget* view = m_window.iconView();
    const bool leftToRight = !view || view->flow() == QListView::LeftToRight;
    addChoice(menu, QMenu::tr("Modify Workspace..."), ChoiceModifyWorkspace);
    addChoice(menu, QMenu::tr("Arrange by Name"), ChoiceArrangeByName, m_window.isSorting());
    menu->addSeparator();
    addChoice(menu, QMenu::tr("Left To Right"), ChoiceLeftToRight, leftToRight);
    addChoice(menu, QMenu::tr("Top To Bottom"), ChoiceTopToBottom, !leftToRight);
    return menu;
}

void TWorkspaceMenus::actOnSpaceMenu(QAction* chosen) {
    QListWidget* view = m_window.iconView();
    if (!chosen || !view)
        return;
    const int choice = chosen->data().toInt();
    switch (choice) {
    case ChoiceModifyWorkspace:
        m_window.openSetupDialog(false, true);
        break;
    case ChoiceArrangeByName:
        m_window.setModified(true);
        m_window.setSorting(!m_window.isSorting());
        QTimer::singleShot(kRearrangeDelayMs, &m_window, &ApplicationWindow::rearrangeIcons);
        break;
    case ChoiceLeftToRight:
    case ChoiceTopToBottom: {
        const QListView::Flow flow =
            choice == ChoiceLeftToRight ? QListView::LeftToRight : QListView::TopToBottom;
        if (view->flow() != flow) {
            m_window.setModified(true);
            view->setFlow(flow);
        }
        break;
    }
    default:
        break;
    }
}
