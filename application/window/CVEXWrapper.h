// The icon of one Workspace component in the window's icon view, with the instance name as its
// label, and the component's editor: its property page in a CWrapContainer window. The view
// owns the item; the Workspace model owns the instance that the item shows, and the instance
// outlives the item.
//
// The item also keeps what belongs to the window rather than to the Workspace: the editor's
// geometry, the synchronization worker and its progress line.
#pragma once

#include "TComponentInstance.h"

#include <dorvo/dorvo2.h>

#include <QListWidgetItem>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

class CWrapContainer;
class QListWidget;
class TEditorPageHosting;
class TSyncThread;
class singleProgress;

class CVEXWrapper : public QObject, public QListWidgetItem {
    Q_OBJECT
public:
    // GUI thread: the icon item appears in the view with the instance's name and icon.
    CVEXWrapper(TComponentInstance* instance, QListWidget* iconView);
    // Closes the editor and stops the synchronization worker; the instance stays.
    ~CVEXWrapper() override;

    TComponentInstance* instance() const { return m_instance; }
    const TCatalogueEntry& entry() const { return m_instance->entry(); }
    const QString& instanceName() const { return m_instance->instanceName(); }
    // After the model renamed the instance: the icon label and the caption of an open editor.
    void showName();

    // ---- Editor ----

    // An editor window of its own, or (component build) a page shown by the outer application.
    bool hasEditorWindow() const;
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
    // The component build: editors become pages of the outer application through this (not
    // owned; null: windows of their own).
    void setPageHosting(TEditorPageHosting* hosting) { m_pageHosting = hosting; }
    bool showsEditorAsPage() const;
    // Set by a load whose document had the editor open, until the editor is opened again.
    void setEditorWasOpen(bool wasOpen) { m_editorWasOpen = wasOpen; }
    bool editorWasOpen() const { return m_editorWasOpen; }

    // The last normal geometry of the editor window (invalid until it was first shown) and
    // whether it was maximized when last hidden.
    QRect editorGeometry() const { return m_editorGeometry; }
    bool wasMaximized() const { return m_maximized; }

    // The container's events.
    void containerResized(CWrapContainer* window);
    void containerMoved(CWrapContainer* window);
    void containerClosed(CWrapContainer* window);

    // ---- The instance, for the window's commands ----

    IUnknown* component() const { return m_instance->component(); }
    IMPEventFilter* eventFilterInterface() const { return m_instance->eventFilterInterface(); }
    IPersistStream* persistence() { return m_instance->persistence(); }
    QString statusText(HRESULT code) { return m_instance->statusText(code); }
    bool hasSyncInterface() const { return m_instance->hasSyncInterface(); }
    HRESULT getRecallInfo(DWORD* selectionMode, LPWSTR* itemNames, DWORD* group, BOOL* offline,
                          DWORD* defaultMask) {
        return m_instance->getRecallInfo(selectionMode, itemNames, group, offline, defaultMask);
    }
    HRESULT synchronize(DWORD direction, IMPClientProgressHandler* progress, DWORD recallMask) {
        return m_instance->synchronize(direction, progress, recallMask);
    }
    const QString& iconUrl(bool recallEnabled) const { return m_instance->iconUrl(recallEnabled); }
    bool recallEnabled() const { return m_instance->recallEnabled(); }
    void setRecallEnabled(bool enabled) { m_instance->setRecallEnabled(enabled); }
    DWORD recallMask() const { return m_instance->recallMask(); }
    void setRecallMask(DWORD mask) { m_instance->setRecallMask(mask); }

    // ---- Recall and synchronization ----

    // The Recall icon when Recall is enabled, else the plain one; the embedded generic icons
    // when the component gives none.
    void refreshIcon();

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
    void openEditor();
    bool reopenKeptWindow();
    void releasePage(IPropertyPage* page);
    void saveGeometry(CWrapContainer* window);

    TComponentInstance* const m_instance;
    TSyncThread* m_syncThread = nullptr;
    QPointer<QWidget> m_progressLine;
    IPropertyPage* m_activePage = nullptr;
    QPointer<CWrapContainer> m_editorWindow;
    QPointer<CWrapContainer> m_keptWindow;
    TEditorPageHosting* m_pageHosting = nullptr;
    bool m_editorWasOpen = false;
    QRect m_editorGeometry; // 0, 0, -1, -1: never shown
    bool m_maximized = false;
    QString m_key;
};
