// Synchronizing components with their hardware: one component from its context menu, or every
// component that takes part in Recall. The user confirms which components transfer and in which
// direction; then the components run in groups, the highest recall group first, each on a
// worker thread of its own, while a progress dialog shows one line per component. GUI thread.
#pragma once

#include <QList>
#include <QStringList>

class ApplicationWindow;
class CSyncMainDlg;
class CVEXWrapper;
class QWidget;

class TSynchronizer {
public:
    explicit TSynchronizer(ApplicationWindow& window) : m_window(window) {}

    // The components that take part, or the single one given, confirmed with the user and run.
    // A caption replaces the confirmation's own. After a load, finding no component is no
    // news unless the user declined an off-line override.
    void selectAndConfirm(QWidget* owner, CVEXWrapper* single, const QString& caption,
                          bool toHardware, bool afterLoad);
    // Runs the selection group by group; the user may stop between groups after a failure,
    // and a closed dialog stops the running transfers and waits for them.
    void run(QWidget* owner, bool toHardware, const QList<CVEXWrapper*>& selection,
             bool allFollowEditor);

    // What the confirmation lists for a component with Recall items (";"-separated names): its
    // first item without a mask, else the items whose bits the mask has (only the first of them
    // unless the mode allows several). Null without items.
    static QString recallDescription(const QString& itemNames, quint32 mask, quint32 mode);

private:
    struct Selection {
        QList<CVEXWrapper*> components;
        QStringList directionList;
        QStringList editorList;
        bool declined = false;
    };
    Selection select(QWidget* owner, CVEXWrapper* single);
    bool overrideOffline(QWidget* owner, CVEXWrapper* component);

    struct Group;
    QList<Group> groups(const QList<CVEXWrapper*>& selection);
    void addLines(CSyncMainDlg& dialog, QList<Group>& groups, bool single);
    // False when the user stopped the run.
    bool runGroup(CSyncMainDlg& dialog, const Group& group, bool lastGroup, bool toHardware,
                  bool perLineCancel);

    ApplicationWindow& m_window;
};
