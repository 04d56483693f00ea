// The icon view's context menus: one for a component (editor, synchronization, Recall,
// removal) and one for the empty space (setup, arrangement). Building a menu and acting on the
// chosen entry are apart from running it, which only the user does.
#pragma once

#include <dorvo/dorvo2.h>

#include <QList>
#include <QPair>
#include <QString>

class ApplicationWindow;
class CVEXWrapper;
class QAction;
class QMenu;
class QWidget;

class TWorkspaceMenus {
public:
    // What an entry does; kept in the entry's data.
    enum MenuChoice {
        ChoiceShowEditor = 1,
        ChoiceCloseEditor,
        ChoiceSynchronize,
        ChoiceRecallEnabled,
        ChoiceConfigureRecall,
        ChoiceRemove,
        ChoiceModifyWorkspace,
        ChoiceArrangeByName,
        ChoiceLeftToRight,
        ChoiceTopToBottom,
    };

    explicit TWorkspaceMenus(ApplicationWindow& window) : m_window(window) {}

    QMenu* createComponentMenu(CVEXWrapper* component, QWidget* parent);
    QMenu* createSpaceMenu(QWidget* parent);
    void actOnComponentMenu(CVEXWrapper* component, QAction* chosen);
    void actOnSpaceMenu(QAction* chosen);

    // The entries of "Configure Recall": the names of the component's list with their values
    // (0 for the first, then 1, 2, 4, ...); empty names are left out.
    static QList<QPair<QString, DWORD>> recallMenuEntries(const QString& itemNames);
    // The recall mask after choosing the entry with value v.
    static DWORD recallMaskAfterChoice(DWORD mask, DWORD selectionMode, DWORD value);

private:
    void addRecallSubmenu(QMenu* menu, CVEXWrapper* component);

    ApplicationWindow& m_window;
};
