// The Workspace window: the program's main window. It shows the Workspace model as an icon
// view (one CVEXWrapper per component instance), wires the menus, the MIDI Thru bar and the
// setup dialog to the model, and is the workspace document.
#pragma once

#include "TComponentCatalogue.h"
#include "TDocuSaveLoad.h"
#include "TPortRemapping.h"
#include "TThruToolBar.h"
#include "TWorkspaceModel.h"

#include <QList>
#include <QMainWindow>
#include <QRecursiveMutex>
#include <memory>
#include <thread>

class CVEXWrapper;
class ClientIUnknown;
class QDockWidget;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QSpinBox;
class SetupDlg;
class TComponentInstance;
class TEditorPageHosting;
class TOuterApplication;
class TVirtualMIDIPortAccessor;
class TWorkspaceSetup;

class ApplicationWindow : public QMainWindow, public NS_Utilities::TDocuSaveLoad {
    Q_OBJECT
    Q_INTERFACES(NS_Utilities::TDocuSaveLoad)
public:
    // GUI thread. Not ready for commands until yNewSession() runs.
    ApplicationWindow();
    // GUI thread, the component build's window: the outer application's host object, output
    // and page-hosting interface, each held with a reference and each possibly null. Ready for
    // commands at once.
    ApplicationWindow(IUnknown* outerHost, IMPAsyncOutput* outerOutput, IMPPageHost* pageHost);
    ~ApplicationWindow() override;

    bool isReady() const { return m_ready; }
    const QString& pendingDocument() const { return m_pendingDocument; }
    TWorkspaceModel* model() const { return m_model; }
    QListWidget* iconView() const { return m_iconView; }
    SetupDlg* setupDialog() const { return m_setupDlg; }
    TVirtualMIDIPortAccessor* portAccessor() const { return m_model->ports(); }
    ClientIUnknown* hostObject() const { return m_model->hostObject(); }
    QDockWidget* thruToolBar() const { return m_thruBar; }
    // Null in the component build, which has no Thru bar.
    QSpinBox* thruChannelBox() const { return m_thruBar ? m_thruBar->channelBox() : nullptr; }
    QLabel* toolBarText() const { return m_thruBar ? m_thruBar->text() : nullptr; }
    QMenu* windowsMenu() const { return m_windowsMenu; }
    // The icons of the model's instances, in Workspace order.
    const QList<CVEXWrapper*>& components() const { return m_components; }

    // The program's top-level windows that a modal dialog of any of them blocks together: this
    // window, then each open editor window in Workspace order.
    QList<QWidget*> programWindows() const;

    // Adds a component of the entry under a name to the model; its icon, or null (nothing
    // added) when that fails or without an icon view.
    CVEXWrapper* addComponent(const TCatalogueEntry& entry, const QString& name);
    // With confirmation the user is asked first and may decline.
    void removeComponent(CVEXWrapper* component, bool confirm);
    // True when a component has exactly this name (case counts).
    bool nameInUse(const QString& name) const { return m_model->nameInUse(name); }
    // Fills the setup dialog's Workspace list with the Workspace's components.
    void refreshSetupList();
    // Prepares the setup dialog and shows it, modal, when there is something to choose.
    void openSetupDialog(bool newWorkspace, bool workspacePage);
    // Readies the setup dialog without showing it; false when it need not be shown.
    bool prepareSetupDialog(bool newWorkspace, bool workspacePage);
    // The setup dialog while it is open, else this window.
    QWidget* messageParent() const;

    // The installed components, read on first use; null when there are none.
    const QList<TCatalogueEntry>* catalogue() { return m_model->catalogue().entries(); }
    // The next catalogue() reads the registry again.
    void forgetCatalogue() { m_model->catalogue().forget(); }
    // The first catalogue entry of the class; null when it is not installed.
    const TCatalogueEntry* findCatalogueEntry(const CLSID& classId) {
        return m_model->catalogue().find(classId);
    }

    bool isSorting() const { return m_sorting; }
    void setSorting(bool sorting) { m_sorting = sorting; }

    // What a quiet load would have shown; reset at the start of each load.
    QString& pendingWarningText() { return m_pendingWarning; }
    // The re-mapping dialog over the Workspace's ports; the after-load form has no Cancel and
    // applies the choices however it is closed. True when the Workspace's ports changed (the
    // document is then modified).
    bool runRemapDialog(TPortRemapping::Form form);
    // Shows or hides the MIDI Thru tool bar without handing its channel over again.
    void showThruToolBarOnly(bool thruOn) {
        if (m_thruBar)
            m_thruBar->setVisible(thruOn);
    }
    // Shows it handing the channel over again, or hides it.
    void showThruToolBar(bool thruOn) {
        if (m_thruBar)
            m_thruBar->showForThru(thruOn);
    }

    // ---- The component build: what the component object asks of its window (GUI thread) ----

    // Taken around every call of the outer application's threads into the document.
    QRecursiveMutex& workspaceLock() const { return m_documentLock; }
    // Shows the editor of the component whose identity is component; E_FAIL for null or a
    // component that is not in the Workspace.
    HRESULT displayEditor(IUnknown* component);
    // Hands the outer application's notification to the components.
    void notifyComponents(const MPNOTIFICATION* notification);
    // Recalls the Workspace later on the GUI thread (totalRecallCompClient).
    void resyncComponents(LONGLONG value);
    // The outer application's page-hosting Call, made on its own thread (0 without one).
    LRESULT callPageHost(IPropertyPage* page, DWORD code, LPVOID data);
    // The outer thread's window, through which callPageHost reaches that thread.
    void setClientWindow(HWND window, std::thread::id thread);
    bool hasClientWindow() const;
    // Editors as pages of the outer application, from now on and for every icon (owned).
    void setEditorPageHosting(std::unique_ptr<TEditorPageHosting> hosting);
    // After a load: opens the editors that the document had open.
    void reopenEditors();
    // The outer application's thread: asks the outer application to close every editor page.
    void closeEditorPages();

    // The document interface.
    QString defaultCaption() const override;
    QString applicationName() const override;
    bool isModified() override;
    HRESULT saveToStream(QDataStream& stream, bool quiet, bool keepModified) override;
    HRESULT loadFromStream(QDataStream& stream, bool quiet) override;
    void setDocumentName(const QString& name) override;

public slots:
    void yNewSession();
    void createFromFile(const QString& fileName);
    void reCreateFromFile();
    void aboutToQuit();
    void eraseCurrentDocument() override;
    void rearrangeIcons();
    void newSession() override;
    void doLoad();
    void doSave();
    void doSaveAs();
    void doSetup();
    void showWarningMsg(QString& text);
    void newDoc();
    void selectedPortsChanged();
    void doRemapPorts();
    void updateSystemPorts();
    void totalRecall();
    void totalRecallAfterLoad();
    void totalRecallCompClient();
    void windowsMenuAboutToShow();
    void setAppWindowActive();
    void doHelp();
    void doHelp(QWidget* parent);
    void about();
    void handle_doubleClicked(QListWidgetItem* item);
    void handle_mouseButtonPressed(int button, QListWidgetItem* item, const QPoint& position);
    void handle_contextMenuRequested(QListWidgetItem* item, const QPoint& position);
    void handle_itemRenamed(QListWidgetItem* item);
    void convertChChanged(int channel);
    void toolBarPositionChanged(QDockWidget* toolBar);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void construct();
    void createModel();
    void createMenus();
    void createThruToolBar();
    void createIconView();
    void showInstance(TComponentInstance* instance);
    void forgetInstance(TComponentInstance* instance);
    CVEXWrapper* wrapperOf(const TComponentInstance* instance) const;
    void updateCaption();
    void startNewDocument();
    bool openPendingDocument();
    void offerRecallAfterLoad();
    void writeDefaultDirectory();
    void takeDeviceChanges();
    void rejectRename(CVEXWrapper* component, const QString& message);

    bool m_ready = false;
    QString m_pendingDocument;
    TWorkspaceModel* m_model = nullptr;
    QMenu* m_windowsMenu = nullptr;
    QListWidget* m_iconView = nullptr;
    bool m_arrangeEnabled = true;
    QList<CVEXWrapper*> m_components;
    SetupDlg* m_setupDlg = nullptr;
    std::unique_ptr<TWorkspaceSetup> m_setup;
    // The document name, read by other threads while the GUI thread may change it.
    mutable QRecursiveMutex m_documentLock;
    TThruToolBar* m_thruBar = nullptr;
    bool m_sorting = false;
    QString m_pendingWarning;
    std::unique_ptr<TOuterApplication> m_outer;
    std::unique_ptr<TEditorPageHosting> m_pageHosting;
    // The resynchronization request's value: the outer application's window that is to own
    // the Recall's dialogs.
    LONGLONG m_resyncValue = 0;
};
