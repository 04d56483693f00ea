#include "TSynchronizer.h"

#include "ApplicationWindow.h"
#include "CSyncMainDlg.h"
#include "CVEXWrapper.h"
#include "ClientIMPClientProgressHandler.h"
#include "ConfirmSynchronization.h"
#include "DorvoAssert.h"
#include "SetupDlg.h"
#include "TSyncThread.h"
#include "TUserMessage.h"
#include "TWorkspaceMenus.h"
#include "cancelTotalRecall.h"
#include "singleProgress.h"

#include <dorvo/objbase.h>

#include <QCoreApplication>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("TSynchronizer", text);
}

} // namespace

struct TSynchronizer::Group {
    QList<CVEXWrapper*> components;
    QList<singleProgress*> lines;
};

// ---- Select and confirm -----------------------------------------------------------------------

void TSynchronizer::selectAndConfirm(QWidget* owner, CVEXWrapper* single, const QString& caption,
                                     bool toHardware, bool afterLoad) {
    Selection selection = select(owner, single);
    if (selection.components.isEmpty()) {
        if (!afterLoad || selection.declined)
            TUserMessage::warning(owner,
                                  tr("There are no available components supporting Recall in your "
                                     "Workspace."));
        return;
    }
    ConfirmSynchronization dialog(owner, dorvo::kDialogWindowFlags);
    if (!caption.isEmpty())
        dialog.setWindowTitle(caption);
    dialog.setToHardware(toHardware);
    if (m_window.isSorting()) {
        selection.directionList.sort();
        selection.editorList.sort();
    }
    dialog.setDirectionList(selection.directionList);
    dialog.setEditorList(selection.editorList);
    QObject::connect(&dialog, &ConfirmSynchronization::doHelp, &m_window,
                     qOverload<QWidget*>(&ApplicationWindow::doHelp));
    if (dialog.exec() == QDialog::Accepted)
        run(owner, dialog.toHardware(), selection.components, selection.directionList.isEmpty());
}

TSynchronizer::Selection TSynchronizer::select(QWidget* owner, CVEXWrapper* single) {
    Selection selection;
    for (CVEXWrapper* component : m_window.components()) {
        if (single ? component != single : !component->recallEnabled())
            continue;
        DWORD mode = 0;
        LPWSTR names = nullptr;
        BOOL offline = FALSE;
        QString items;
        if (SUCCEEDED(component->getRecallInfo(&mode, &names, nullptr, &offline, nullptr))) {
            if (names)
                items = QString::fromUtf16(names);
            CoTaskMemFree(names);
        } else {
            offline = FALSE;
        }
        if (offline && !overrideOffline(owner, component)) {
            selection.declined = true;
            continue;
        }
        const QString& name = component->instanceName();
        const QString description = recallDescription(items, component->recallMask(), mode);
        if (description.isNull())
            selection.directionList.append(name);
        else if (description.toLower() == QLatin1String("according to editor setting"))
            selection.editorList.append(name);
        else
            selection.directionList.append(name + QStringLiteral(" - ") + description);
        selection.components.append(component);
    }
    return selection;
}

bool TSynchronizer::overrideOffline(QWidget* owner, CVEXWrapper* component) {
    const QString caption = tr("%1 - Offline Override?").arg(TUserMessage::applicationTitle());
    const QString text = tr("A component called %1 is set to off-line editing mode.\nDo you want "
                            "to override this setting?")
                             .arg(component->instanceName());
    return TUserMessage::show({TUserMessage::Kind::Question, owner, caption, text,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                               QMessageBox::No}) == QMessageBox::Yes;
}

QString TSynchronizer::recallDescription(const QString& itemNames, quint32 mask, quint32 mode) {
    // The items as "Configure Recall" offers them: the first for no mask, then a bit each.
    const auto entries = TWorkspaceMenus::recallMenuEntries(itemNames);
    if (entries.isEmpty())
        return QString();
    if (mask == 0)
        return entries.first().first;
    QStringList chosen;
    for (const auto& [name, value] : entries)
        if (value & mask)
            chosen.append(name);
    // A mode with its top bit set lets the user choose several items at once.
    if (qint32(mode) >= 0 && chosen.size() > 1)
        chosen = chosen.mid(0, 1);
    // Empty, not null, when the mask names none of the items.
    return chosen.isEmpty() ? QStringLiteral("") : chosen.join(QStringLiteral(", "));
}

// ---- Run --------------------------------------------------------------------------------------

void TSynchronizer::run(QWidget* owner, bool toHardware, const QList<CVEXWrapper*>& selection,
                        bool allFollowEditor) {
    if (!DORVO_CHECK_TEXT(!selection.isEmpty(), "0 < compList.size()"))
        return;
    const bool single = selection.size() == 1;
    CSyncMainDlg dialog(owner, dorvo::kDialogWindowFlags);
    QString caption = tr("Synchronization Progress");
    if (!allFollowEditor)
        caption += (toHardware ? tr(" - To") : tr(" - From")) + tr(" Hardware");
    dialog.setWindowTitle(caption);

    cancelTotalRecall* buttons = dialog.buttons();
    buttons->buttonContinue()->hide();
    QObject::connect(buttons->buttonCancel(), &QPushButton::clicked, &dialog, &QDialog::reject);
    if (single)
        buttons->buttonCancel()->setText(tr("Cancel"));
    else
        QObject::connect(buttons->buttonContinue(), &QPushButton::clicked, &dialog,
                         &CSyncMainDlg::accept);

    QList<Group> ordered = groups(selection);
    addLines(dialog, ordered, single);
    for (qsizetype i = 0; i < ordered.size(); ++i) {
        const bool lastGroup = i == ordered.size() - 1;
        if (!runGroup(dialog, ordered.at(i), lastGroup, toHardware, !single))
            break;
    }
    for (CVEXWrapper* component : selection)
        component->setProgressLine(nullptr);
}

QList<TSynchronizer::Group> TSynchronizer::groups(const QList<CVEXWrapper*>& selection) {
    // Keyed by the complement of the group number: ascending keys run the highest group first.
    QMap<quint32, Group> byKey;
    for (CVEXWrapper* component : selection) {
        DWORD group = 0;
        if (FAILED(component->getRecallInfo(nullptr, nullptr, &group, nullptr, nullptr)))
            group = 0;
        byKey[~quint32(group)].components.append(component);
    }
    return byKey.values();
}

void TSynchronizer::addLines(CSyncMainDlg& dialog, QList<Group>& groups, bool single) {
    int labelWidth = 0;
    QList<singleProgress*> all;
    for (Group& group : groups) {
        for (CVEXWrapper* component : group.components) {
            singleProgress* line = dialog.addLine();
            line->componentName()->setText(component->instanceName());
            line->buttonCancel()->hide();
            component->setProgressLine(line);
            group.lines.append(line);
            all.append(line);
            labelWidth = std::max(labelWidth, line->componentName()->sizeHint().width());
        }
    }
    for (singleProgress* line : std::as_const(all))
        line->componentName()->setMinimumWidth(labelWidth);
    const QSize lineSize = all.first()->sizeHint();
    dialog.lineView()->setMinimumSize(lineSize.width() + labelWidth, lineSize.height());
    if (single)
        dialog.resize(dialog.minimumSizeHint());
}

bool TSynchronizer::runGroup(CSyncMainDlg& dialog, const Group& group, bool lastGroup,
                             bool toHardware, bool perLineCancel) {
    LONG remaining = LONG(group.components.size());
    bool failed = false;
    if (perLineCancel) {
        for (qsizetype i = 0; i < group.components.size(); ++i) {
            QPushButton* cancel = group.lines.at(i)->buttonCancel();
            QObject::connect(cancel, &QPushButton::clicked, group.components.at(i),
                             &CVEXWrapper::cancelSynchronization);
            cancel->show();
        }
    }
    dialog.lineView()->verticalScrollBar()->setValue(group.lines.first()->y());

    QList<ClientIMPClientProgressHandler*> handlers;
    QList<TSyncThread*> threads;
    for (qsizetype i = 0; i < group.components.size(); ++i) {
        CVEXWrapper* component = group.components.at(i);
        auto* handler = new ClientIMPClientProgressHandler(group.lines.at(i), dialog.buttons(),
                                                           &remaining, &failed, lastGroup);
        auto* thread = new TSyncThread(component, toHardware ? 1 : 0, handler);
        component->setSyncThread(thread);
        thread->start(QThread::LowestPriority);
        handlers.append(handler);
        threads.append(thread);
    }

    const int result = dialog.exec();

    // Nothing of the group may outlive it: running transfers are asked to stop and waited for.
    for (TSyncThread* thread : std::as_const(threads))
        if (thread->isRunning() && !thread->stopRequested())
            thread->requestStop(ERROR_CANCELLED);
    for (TSyncThread* thread : std::as_const(threads))
        thread->wait();
    QCoreApplication::sendPostedEvents();
    for (ClientIMPClientProgressHandler* handler : std::as_const(handlers))
        handler->deleteLater();
    for (CVEXWrapper* component : group.components)
        component->setSyncThread(nullptr);

    if (result != QDialog::Accepted)
        return false;
    if (!lastGroup && failed) {
        dialog.buttons()->buttonContinue()->hide();
        dialog.buttons()->buttonCancel()->setFocus();
    }
    return true;
}
