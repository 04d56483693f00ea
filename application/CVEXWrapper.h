// One component instance of the Workspace: a toolkit object for signals and slots, and at the
// same time an item of the Workspace window's icon view, with the instance name as its label.
// The view owns the item: clearing the view deletes the wrapper.
//
// The wrapper creates the component from its catalogue entry, connects it to the host object,
// keeps its interface pointers and Recall settings, shows its editor (the component's property
// page) in a CWrapContainer window, and takes everything down again in a fixed order.
#pragma once

#include "TComponentCatalogue.h"

#include <dorvo/dorvo2.h>

#include <QListWidgetItem>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

class ApplicationWindow;
class CWrapContainer;
class QListWidget;
class TSyncThread;
class singleProgress;

class CVEXWrapper : public QObject, public QListWidgetItem {
    Q_OBJECT
public:
    // GUI thread: the icon item appears in the view with the instance name.
    CVEXWrapper(ApplicationWindow* workspaceWindow, QListWidget* iconView,
                const TCatalogueEntry& entry, const QString& instanceName);
    ~CVEXWrapper() override;

    // Creates the component and connects it to the host: false when the class cannot be
    // created, lacks IMPInitialise or refuses the connection. The caller deletes the wrapper
    // then; the icon is set only on success.
    bool connectComponent(IUnknown* hostObject, IMPAsyncOutput* hostOutput);

    const TCatalogueEntry& entry() const { return m_entry; }
    const QString& instanceName() const { return m_instanceName; }
    // Ignored when text is empty; else the instance name, the icon label and the caption of an
    // open editor window.
    void rename(const QString& text);

    // ---- Editor ----

    bool hasEditorWindow() const { return !m_editorWindow.isNull(); }
    CWrapContainer* editorWindow() const;
    // The hidden window of a component that keeps its editor (kind bit 0x10); null otherwise.
    CWrapContainer* keptWindow() const;
    bool hasPropertyPage() const;
    // Brings an open editor window to the front, else opens the editor when the component has
    // a property page.
    void showEditor();
    // As opening the editor, first taking rect (left, top, right, bottom) as its geometry.
    void showEditorAt(const QRect& rect);
    // Hides and deletes the editor window; a component that keeps its window only hides it
    // unless forced.
    void closeEditor(bool force);
    // true when the window may close (the page is gone); false when it was only hidden and
    // kept (kind bit 0x10 without force).
    bool hideEditor(bool force);
    // The last normal geometry of the editor window (invalid until it was first shown) and
    // whether it was maximized when last hidden.
    QRect editorGeometry() const { return m_editorGeometry; }
    bool wasMaximized() const { return m_maximized; }

    // The container's events.
    void containerResized(CWrapContainer* window);
    void containerMoved(CWrapContainer* window);
    void containerClosed(CWrapContainer* window);

    // ---- Component ----

    // The component's identity (its IMPInitialise pointer); null until it is created.
    IUnknown* component() const { return m_component; }
    // Null when the component has none.
    IMPEventFilter* eventFilterInterface() const { return m_eventFilter; }
    // IPersistStream, asked for once; null when the component has none.
    IPersistStream* persistence();
    // The decimal code, or the component's own text for it when it gives one.
    QString statusText(HRESULT code);

    // ---- Recall and synchronization ----

    // IMPDeviceSync2, or IMPDeviceSync when the component lacks the first.
    bool hasSyncInterface() const { return m_sync2 || m_sync1; }
    // E_NOINTERFACE without a synchronization interface.
    HRESULT getRecallInfo(DWORD* selectionMode, LPWSTR* itemNames, DWORD* group, BOOL* offline,
                          DWORD* defaultMask);
    // Synchronization worker.
    HRESULT synchronize(DWORD direction, IMPClientProgressHandler* progress, DWORD recallMask);

    // The Recall icon when Recall is enabled, else the plain one; the embedded generic icons
    // when the component gives none.
    void refreshIcon();
    const QString& iconUrl(bool recallEnabled) const { return m_iconUrls[recallEnabled ? 1 : 0]; }

    bool recallEnabled() const { return m_recallEnabled; }
    void setRecallEnabled(bool enabled) { m_recallEnabled = enabled; }
    DWORD recallMask() const { return m_recallMask; }
    void setRecallMask(DWORD mask) { m_recallMask = mask; }

    // Any thread (the worker and AbortProgress): CancelSynchronize of the component.
    // E_UNEXPECTED without a wrapper (warned) or without a synchronization interface.
    static HRESULT requestCancel(CVEXWrapper* wrapper);
    // GUI thread: replaces the synchronization worker; the previous one is stopped and
    // destroyed. Null only destroys the previous one.
    void setSyncThread(TSyncThread* thread);
    TSyncThread* syncThread() const { return m_syncThread; }
    void setProgressLine(singleProgress* line);
    singleProgress* progressLine() const;

    // Sort key of the icon item: the view sorts by it.
    void setKey(const QString& key) { m_key = key; }
    const QString& key() const { return m_key; }
    bool operator<(const QListWidgetItem& other) const override;

public slots:
    void cancelSynchronization();
    void propPageShow();
    void propPageShowByMenu();

private:
    template <typename Call> HRESULT withSync(Call call) const {
        if (m_sync2)
            return call(m_sync2);
        if (m_sync1)
            return call(m_sync1);
        return E_NOINTERFACE;
    }
    template <typename Interface> Interface* queryComponent(REFIID iid) const;

    bool createComponent();
    void fetchPropertyPages();
    void fetchSyncInterface();
    void readIconsAndRecall();
    void openEditor();
    bool reopenKeptWindow();
    IPropertyPage* createPage();
    void releasePage(IPropertyPage* page);
    void saveGeometry(CWrapContainer* window);
    void releaseInterfaces();

    ApplicationWindow* m_workspaceWindow;
    TCatalogueEntry m_entry;
    QString m_instanceName;
    QString m_iconUrls[2]; // [0] Recall disabled, [1] Recall enabled
    IMPInitialise* m_initialise = nullptr;
    IUnknown* m_component = nullptr;
    IPersistStream* m_persistence = nullptr;
    bool m_persistenceAsked = false;
    IMPEventFilter* m_eventFilter = nullptr;
    IMPDeviceSync2* m_sync2 = nullptr;
    IMPDeviceSync* m_sync1 = nullptr;
    bool m_recallEnabled = false;
    DWORD m_recallMask = 0;
    TSyncThread* m_syncThread = nullptr;
    QPointer<QWidget> m_progressLine;
    CAUUID m_pages{0, nullptr};
    IPropertyPage* m_activePage = nullptr;
    QPointer<CWrapContainer> m_editorWindow;
    QPointer<CWrapContainer> m_keptWindow;
    QRect m_editorGeometry; // 0, 0, -1, -1: never shown
    bool m_maximized = false;
    QString m_key;
};
