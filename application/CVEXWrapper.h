// One component instance of the Workspace: a toolkit object for signals and slots, and at the
// same time an item of the Workspace window's icon view, with the instance name as its label.
// The view owns the item: clearing the view deletes the wrapper.
//
// What the Workspace window needs of a component lives here already: its name, its icon, its
// Recall settings and whether its editor window is open. Creating the component, its property
// page and its editor container come with the component hosting.
#pragma once

#include <dorvo/dorvo2.h>

#include <QListWidgetItem>
#include <QObject>
#include <QPointer>
#include <QString>

class ApplicationWindow;
class QListWidget;

class CVEXWrapper : public QObject, public QListWidgetItem {
    Q_OBJECT
public:
    // GUI thread: the icon item appears in the view with the instance name.
    CVEXWrapper(ApplicationWindow* workspaceWindow, QListWidget* iconView,
                const QString& instanceName);
    ~CVEXWrapper() override;

    const QString& instanceName() const { return m_instanceName; }
    // Ignored when text is empty; else the instance name, the icon label and the caption of an
    // open editor window.
    void rename(const QString& text);

    bool hasEditorWindow() const { return !m_editorWindow.isNull(); }
    QWidget* editorWindow() const { return m_editorWindow; }
    // Brings an open editor window to the front, else opens the editor when the component has
    // a property page.
    void showEditor();
    // Hides and deletes the editor window; a component that keeps its window hides it unless
    // forced.
    void closeEditor(bool force);

    // The Recall icon when Recall is enabled, else the plain one; the embedded generic icons
    // when the component gives none.
    void refreshIcon();

    bool recallEnabled() const { return m_recallEnabled; }
    void setRecallEnabled(bool enabled) { m_recallEnabled = enabled; }
    DWORD recallMask() const { return m_recallMask; }
    void setRecallMask(DWORD mask) { m_recallMask = mask; }

    // The component's identity (its IMPInitialise pointer); null until it is created.
    IUnknown* component() const { return m_component; }
    // Null when the component has none.
    IMPEventFilter* eventFilterInterface() const { return m_eventFilter; }
    IMPDeviceSync* deviceSync() const { return m_sync; }

    // Sort key of the icon item: the view sorts by it.
    void setKey(const QString& key) { m_key = key; }
    const QString& key() const { return m_key; }
    bool operator<(const QListWidgetItem& other) const override;

public slots:
    void propPageShow();
    void propPageShowByMenu();

private:
    ApplicationWindow* m_workspaceWindow;
    QString m_instanceName;
    QString m_iconUrls[2]; // [0] Recall disabled, [1] Recall enabled
    IUnknown* m_component = nullptr;
    IMPEventFilter* m_eventFilter = nullptr;
    IMPDeviceSync* m_sync = nullptr;
    bool m_recallEnabled = false;
    DWORD m_recallMask = 0;
    QPointer<QWidget> m_editorWindow;
    QString m_key;
};
