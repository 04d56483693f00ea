#include "TWorkspaceSetup.h"

#include "ApplicationWindow.h"
#include "CListBoxVEXElement.h"
#include "CVEXWrapper.h"
#include "SetupDlg.h"
#include "TUserMessage.h"
#include "TVirtualMIDIPortAccessor.h"
#include "TWorkspaceModel.h"
#include "Version.h"
#include "noCancelProgresss.h"
#include "portMappingDlg.h"

#include <CAppServer.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

// Names listed in the question about components to remove; the rest are counted.
constexpr int kListedRemovals = 10;
constexpr int kRearrangeDelayMs = 100;
constexpr int kLateRearrangeDelayMs = 1000;

QString tr(const char* text) {
    return QCoreApplication::translate("ApplicationWindow", text);
}

} // namespace

bool TWorkspaceSetup::prepare(bool newWorkspace, bool workspacePage) {
    if (!m_connected) {
        connectDialog();
        m_dialog.fillDeviceEditorList(m_window.catalogue());
        m_connected = true;
    }
    rebuildPorts();
    TVirtualMIDIPortAccessor* ports = m_window.portAccessor();
    if (newWorkspace) {
        m_dialog.recallDefaultMIDIPorts();
        takePortSelection();
        m_dialog.recallDefaultWorkspace();
        takeWorkspaceList();
        m_dialog.resetChangedFlags();
        m_window.setModified(false);
        const bool openFailure = ports && ports->openFailure();
        if (!m_window.components().isEmpty() && !openFailure)
            return false;
    }
    m_dialog.setWindowTitle(tr("Setup for ") + QFileInfo(m_window.documentName()).fileName());
    if (ports && ports->openFailure()) {
        m_dialog.markPortsChanged();
        if (newWorkspace) {
            m_dialog.showMidiSettingsPage();
            workspacePage = false;
        }
    }
    refreshWorkspaceList();
    if (workspacePage)
        m_dialog.showWorkspacePage();
    return true;
}

void TWorkspaceSetup::connectDialog() {
    ApplicationWindow* window = &m_window;
    QObject::connect(&m_dialog, &SetupDlg::workspaceUpdate, window, &ApplicationWindow::newDoc);
    QObject::connect(&m_dialog, &SetupDlg::portSetupUpdate, window,
                     &ApplicationWindow::selectedPortsChanged);
    QObject::connect(&m_dialog, &SetupDlg::doHelp, window,
                     qOverload<QWidget*>(&ApplicationWindow::doHelp));
    QObject::connect(&m_dialog, &SetupDlg::showWarningMsg, window,
                     &ApplicationWindow::showWarningMsg);
    QObject::connect(&m_dialog, &SetupDlg::doUpdatePortsList, window,
                     &ApplicationWindow::updateSystemPorts);
}

void TWorkspaceSetup::rebuildPorts() {
    TVirtualMIDIPortAccessor* ports = m_window.portAccessor();
    if (!ports)
        return;
    const TVirtualMIDIPortAccessor::ThruSettings thru = ports->thruSettings();
    for (int direction : {TMIDIPortAccessor::kInput, TMIDIPortAccessor::kOutput}) {
        QList<QUuid> ids = ports->systemIds(direction);
        QStringList texts = ports->displayTexts(direction);
        QList<int> selected = ports->currentSelection(direction);
        const int thruPort =
            direction == TMIDIPortAccessor::kInput ? thru.inputPort : thru.outputPort;
        m_dialog.rebuildMIDIPorts(direction, ids, texts, selected, thruPort);
    }
    m_dialog.setMIDIThruCheck(thru.on);
}

void TWorkspaceSetup::takePortSelection() {
    TVirtualMIDIPortAccessor* ports = m_window.portAccessor();
    if (!ports)
        return;
    if (ports->applyPortSelection(m_dialog.portSelection(), m_dialog.thruSettings()))
        m_window.setModified(true);
    m_window.showThruToolBar(ports->thruSettings().on);
}

void TWorkspaceSetup::updateSystemPorts() {
    TVirtualMIDIPortAccessor* ports = m_window.portAccessor();
    if (!ports)
        return;
    ports->updateSystemPorts();
    const TVirtualMIDIPortAccessor::ThruSettings thru = ports->thruSettings();
    for (int direction : {TMIDIPortAccessor::kInput, TMIDIPortAccessor::kOutput}) {
        QList<QUuid> ids = ports->systemIds(direction);
        QStringList texts = ports->displayTexts(direction);
        QList<int> selected;
        const int thruPort =
            direction == TMIDIPortAccessor::kInput ? thru.inputPort : thru.outputPort;
        m_dialog.rebuildMIDIPorts_forUpdate(direction, ids, texts, selected, thruPort);
    }
}

void TWorkspaceSetup::refreshWorkspaceList() {
    QListWidget* list = m_dialog.workspaceList();
    if (!list)
        return;
    list->clear();
    for (const CVEXWrapper* component : m_window.components())
        new CListBoxVEXElement(component->entry(), component->instanceName(), list);
    if (m_window.isSorting())
        list->sortItems(Qt::AscendingOrder);
}

void TWorkspaceSetup::takeWorkspaceList() {
    QListWidget* list = m_dialog.workspaceList();
    if (!list)
        return;
    const QString failures = loadListedComponents(list);
    offerRemovalOfUnlisted(list);
    QTimer::singleShot(kRearrangeDelayMs, &m_window, &ApplicationWindow::rearrangeIcons);
    if (!m_dialog.isHidden())
        refreshWorkspaceList();
    QCoreApplication::sendPostedEvents();
    QTimer::singleShot(kLateRearrangeDelayMs, &m_window, &ApplicationWindow::rearrangeIcons);
    if (!failures.isEmpty())
        TUserMessage::warning(m_window.messageParent(),
                              tr("Following component(s) could not be loaded.\nPlease ensure "
                                 "that you have installed required component(s) correctly.\n") +
                                  failures);
}

// Adds every entry of the list whose name is not in use yet, with a progress dialog; gives the
// names that failed, each after a line break.
QString TWorkspaceSetup::loadListedComponents(QListWidget* list) {
    const int count = list->count();
    noCancelProgresss progress(m_window.messageParent(),
                               Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    progress.setModal(true);
    progress.show();
    progress.loadingProgress()->setRange(0, 2 * count);
    CAppServer::PrepareForBusyAction(nullptr);
    QString failures;
    for (int i = 0; i < count; ++i) {
        // Taken again each turn: processing events may have changed the list.
        const CListBoxVEXElement* element = CListBoxVEXElement::from(list->item(i));
        if (!element || m_window.nameInUse(element->text()))
            continue;
        const QString name = element->text();
        const TCatalogueEntry entry = element->entry();
        progress.msgLabel()->setText(
            tr("Now loading component ( %1 / %2 )\n").arg(i + 1).arg(count) +
            QStringLiteral("    ") + name);
        progress.msgLabel()->repaint();
        progress.loadingProgress()->setValue(2 * i + 1);
        QCoreApplication::processEvents();
        if (m_window.addComponent(entry, name))
            m_window.setModified(true);
        else
            failures += QLatin1Char('\n') + name;
        progress.loadingProgress()->setValue(2 * i + 2);
    }
    progress.close();
    return failures;
}

// Components without an entry of their name (in any case) in the list go, once the user agrees.
void TWorkspaceSetup::offerRemovalOfUnlisted(QListWidget* list) {
    QList<CVEXWrapper*> unlisted;
    for (CVEXWrapper* component : m_window.components())
        if (list->findItems(component->instanceName(), Qt::MatchFixedString).isEmpty())
            unlisted.append(component);
    if (unlisted.isEmpty())
        return;
    QString names;
    for (int i = 0; i < unlisted.size() && i < kListedRemovals; ++i)
        names += QLatin1Char('\n') + unlisted[i]->instanceName();
    if (unlisted.size() > kListedRemovals)
        names += tr("\n ... %1 more, a total of %2 components.")
                     .arg(unlisted.size() - kListedRemovals)
                     .arg(unlisted.size());
    const QString question = tr("Are you sure you want to remove following component(s)?\n\n"
                                "Pressing Yes will permanently remove it from your Workspace.\n");
    if (TUserMessage::question(&m_dialog, question + names) != QMessageBox::Yes)
        return;
    for (CVEXWrapper* component : std::as_const(unlisted))
        m_window.removeComponent(component, false);
}

bool TWorkspaceSetup::runRemapDialog(TPortRemapping::Form form) {
    if (!m_window.portAccessor())
        return false;
    const bool afterLoad = form == TPortRemapping::Form::AfterLoad;
    portMappingDlg dialog(&m_window, dorvo::kDialogWindowFlags);
    if (afterLoad)
        dialog.cancelButton()->hide();
    TPortRemapping remapping(*m_window.portAccessor());
    for (int direction : {TMIDIPortAccessor::kInput, TMIDIPortAccessor::kOutput}) {
        const TPortRemapping::Lists lists = remapping.prepare(direction, form);
        dialog.fill(direction, lists.systemNames, lists.documentNames, lists.chosen);
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (!accepted && !afterLoad)
        return false;
    const TPortRemapping::Choices choices{dialog.choices(TMIDIPortAccessor::kInput),
                                          dialog.choices(TMIDIPortAccessor::kOutput)};
    if (!remapping.apply(choices))
        return false;
    m_window.setModified(true);
    return true;
}
