// What the setup dialog does to the Workspace: its Workspace list is taken over (new components
// loaded with a progress dialog, components left out removed once the user agrees), its port
// selection and Thru settings are applied to the Workspace's ports, and its pages are filled
// from the model before it shows.
#pragma once

#include "TPortRemapping.h"

#include <QString>

class ApplicationWindow;
class QListWidget;
class SetupDlg;

class TWorkspaceSetup {
public:
    TWorkspaceSetup(ApplicationWindow& window, SetupDlg& dialog)
        : m_window(window), m_dialog(dialog) {}

    // Readies the dialog for showing: its signals connected the first time, its pages filled,
    // the Workspace page current when asked. For a new Workspace the default ports and
    // components are taken over first; false when the dialog need not be shown after that.
    bool prepare(bool newWorkspace, bool workspacePage);
    // Fills the dialog's Workspace list with the Workspace's components.
    void refreshWorkspaceList();
    // The dialog's Workspace list becomes the Workspace.
    void takeWorkspaceList();
    // The dialog's port selection and Thru settings become the Workspace's.
    void takePortSelection();
    // The machine's ports are listed again and the dialog's port pages follow.
    void updateSystemPorts();
    // The re-mapping dialog over the Workspace's ports; the after-load form has no Cancel and
    // applies the choices however it is closed. True when the Workspace's ports changed.
    bool runRemapDialog(TPortRemapping::Form form);

private:
    void connectDialog();
    void rebuildPorts();
    QString loadListedComponents(QListWidget* list);
    void offerRemovalOfUnlisted(QListWidget* list);

    ApplicationWindow& m_window;
    SetupDlg& m_dialog;
    bool m_connected = false;
};
