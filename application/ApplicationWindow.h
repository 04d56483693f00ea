// The Workspace window: the program's main window with one icon per component, its menus and
// commands, the MIDI Thru tool bar, the setup dialog, the host object that every component
// receives, and the Workspace's component list. It is also the workspace document.
#pragma once

#include "TComponentCatalogue.h"
#include "TDocuSaveLoad.h"
#include "TPortRemapping.h"
#include "TWorkspaceComponents.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QRecursiveMutex>

class CVEXWrapper;
class ClientIUnknown;
class QDockWidget;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QSpinBox;
class QTimer;
class SetupDlg;
class TVirtualMIDIPortAccessor;

class ApplicationWindow : public QMainWindow,
                          public NS_Utilities::TDocuSaveLoad,
                          public TWorkspaceComponents {
    Q_OBJECT
    Q_INTERFACES(NS_Utilities::TDocuSaveLoad)
public:
    // What a context menu entry does; kept in the entry's data.
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

    // GUI thread. Not ready for commands until yNewSession() runs.
    ApplicationWindow();
    ~ApplicationWindow() override;

    bool isReady() const { return m_ready; }
    const QString& pendingDocument() const { return m_pendingDocument; }
    QListWidget* iconView() const { return m_iconView; }
    SetupDlg* setupDialog() const { return m_setupDlg; }
    TVirtualMIDIPortAccessor* portAccessor() const { return m_portAccessor; }
    ClientIUnknown* hostObject() const { return m_hostObject; }
    QDockWidget* thruToolBar() const { return m_thruToolBar; }
    QSpinBox* thruChannelBox() const { return m_thruChannel; }
    QLabel* toolBarText() const { return m_toolBarText; }
    QMenu* windowsMenu() const { return m_windowsMenu; }
    const QList<CVEXWrapper*>& components() const { return m_components; }

    // The program's top-level windows that a modal dialog of any of them blocks together: this
    // window, then each open editor window in Workspace order.
    QList<QWidget*> programWindows() const;

    // Creates the component of the entry under a name, connects it to the host object and
    // appends it to the Workspace; null (and nothing added) when that fails or without an icon
    // view.
    CVEXWrapper* addComponent(const TCatalogueEntry& entry, const QString& name);
    // With confirmation the user is asked first and may decline.
    void removeComponent(CVEXWrapper* component, bool confirm);
    // True when a component has exactly this name (case counts).
    bool nameInUse(const QString& name) const;
    // Fills the setup dialog's Workspace list with the Workspace's components.
    void refreshSetupList();
    // Readies the setup dialog for showing: its signals connected the first time, its pages
    // filled, the Workspace page current when asked. For a new Workspace the default ports and
    // components are taken over first; false when the dialog need not be shown after that.
    bool prepareSetupDialog(bool newWorkspace, bool workspacePage);
    // Prepares the setup dialog and shows it, modal, when there is something to choose.
    void openSetupDialog(bool newWorkspace, bool workspacePage);
    // A component that goes leaves no port registrations behind.
    void dropComponentPorts(const IUnknown* component);

    // The installed components, read on first use; null when there are none.
    const QList<TCatalogueEntry>* catalogue() { return m_catalogue.entries(); }
    // The next catalogue() reads the registry again.
    void forgetCatalogue() { m_catalogue.forget(); }
    // The first catalogue entry of the class; null when it is not installed.
    const TCatalogueEntry* findCatalogueEntry(const CLSID& classId) {
        return m_catalogue.find(classId);
    }

    // A minimized window comes back as it was (maximized or normal); any other becomes the
    // active window.
    void bringWindowForward(QWidget* window);

    // The context menus, built and acted on apart from running them, which only the user does.
    QMenu* createComponentMenu(CVEXWrapper* component, QWidget* parent);
    QMenu* createSpaceMenu(QWidget* parent);
    void actOnComponentMenu(CVEXWrapper* component, QAction* chosen);
    void actOnSpaceMenu(QAction* chosen);

    // The entries of "Configure Recall": the names of the component's list with their values
    // (0 for the first, then 1, 2, 4, ...); empty names are left out.
    static QList<QPair<QString, DWORD>> recallMenuEntries(const QString& itemNames);
    // The recall mask after choosing the entry with value v.
    static DWORD recallMaskAfterChoice(DWORD mask, DWORD selectionMode, DWORD value);

    bool isSorting() const { return m_sorting; }
    void setSorting(bool sorting) { m_sorting = sorting; }

    // What a quiet load would have shown; reset at the start of each load.
    QString& pendingWarningText() { return m_pendingWarning; }
    // The re-mapping dialog over the Workspace's ports; the after-load form has no Cancel and
    // applies the choices however it is closed. True when the Workspace's ports changed (the
    // document is then modified).
    bool runRemapDialog(TPortRemapping::Form form);
    // Shows or hides the MIDI Thru tool bar without handing its channel over again.
    void showThruToolBarOnly(bool thruOn);

    // The document interface.
    QString defaultCaption() const override;
    QString applicationName() const override;
    bool isModified() override;
    HRESULT saveToStream(QDataStream& stream, bool quiet, bool keepModified) override;
    HRESULT loadFromStream(QDataStream& stream, bool quiet) override;
    void setDocumentName(const QString& name) override;

    // What the host object asks of its Workspace.
    QList<IMPEventFilter*> componentEventFilters() const override;
    std::optional<QString> componentInstanceName(const IUnknown* component) const override;

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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createHostObject();
    void createSetupDialog();
    void createMenus();
    void createThruToolBar();
    void createIconView();
    void updateCaption();
    void startNewDocument();
    bool openPendingDocument();
    void offerRecallAfterLoad();
    void addRecallSubmenu(QMenu* menu, CVEXWrapper* component);
    void writeDefaultDirectory();
    void createPortAccessor();
    void listenForDeviceChanges();
    void takeDeviceChanges();
    void connectSetupDialog();
    void rebuildSetupPorts();
    void showThruToolBar(bool thruOn);
    QWidget* messageParent() const;
    QString loadListedComponents(QListWidget* list);
    void offerRemovalOfUnlisted(QListWidget* list);
    void rejectRename(CVEXWrapper* component, const QString& message);

    bool m_ready = false;
    QString m_pendingDocument;
    QMenu* m_windowsMenu = nullptr;
    QListWidget* m_iconView = nullptr;
    bool m_arrangeEnabled = true;
    QList<CVEXWrapper*> m_components;
    SetupDlg* m_setupDlg = nullptr;
    bool m_setupConnected = false;
    TVirtualMIDIPortAccessor* m_portAccessor = nullptr;
    ClientIUnknown* m_hostObject = nullptr;
    mutable QRecursiveMutex m_workspaceLock;
    TComponentCatalogue m_catalogue;
    QDockWidget* m_thruToolBar = nullptr;
    QSpinBox* m_thruChannel = nullptr;
    QLabel* m_toolBarText = nullptr;
    bool m_sorting = false;
    QString m_pendingWarning;
    QTimer* m_deviceUpdate = nullptr;
};
