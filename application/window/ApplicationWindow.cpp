#include "ApplicationWindow.h"

#include "About.h"
#include "CVEXWrapper.h"
#include "CWrapContainer.h"
#include "ClientIUnknown.h"
#include "DorvoAssert.h"
#include "GuiThread.h"
#include "PreferenceKeys.h"
#include "SetupDlg.h"
#include "ShellLog.h"
#include "TComponentInstance.h"
#include "TEditorPageHosting.h"
#include "TManual.h"
#include "TOuterApplication.h"
#include "TSynchronizer.h"
#include "TThruToolBar.h"
#include "TUserMessage.h"
#include "TWorkspaceIconView.h"
#include "TWorkspaceLoader.h"
#include "TWorkspaceMenus.h"
#include "TWorkspaceModel.h"
#include "TWorkspaceSerializer.h"
#include "TWorkspaceSetup.h"
#include "Version.h"
#include "WindowForward.h"

#include <CAppServer.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QListWidget>
#include <QMenuBar>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kDocumentExtension = QStringLiteral(".XDW");
const QString kDefaultDirKey = Preferences::kPreferencesPage + QStringLiteral("defaultDir");
// "Automatically synchronize on file load": the Recall comes this long after the load.
constexpr int kRecallAfterLoadMs = 50;
constexpr int kRearrangeDelayMs = 100;

// Untitled documents are counted across every window of the process.
int untitledCounter = 0;

} // namespace

ApplicationWindow::ApplicationWindow() : QMainWindow(nullptr) {
    construct();
}

ApplicationWindow::ApplicationWindow(IUnknown* outerHost, IMPAsyncOutput* outerOutput,
                                     IMPPageHost* pageHost)
    : QMainWindow(nullptr),
      m_outer(std::make_unique<TOuterApplication>(outerHost, outerOutput, pageHost)) {
    construct();
    m_ready = true;
}

void ApplicationWindow::construct() {
    dorvo::recordGuiThread();
    addDocumentType(kDocumentExtension, dorvo::kApplicationTitle + tr(" Document"));
    createModel();
    m_setupDlg = new (std::nothrow) SetupDlg(this, dorvo::kDialogWindowFlags);
    if (DORVO_CHECK_TEXT(m_setupDlg, "m_setupDlg"))
        m_setup = std::make_unique<TWorkspaceSetup>(*this, *m_setupDlg);
    createMenus();
    createThruToolBar();
    createIconView();
    connect(qApp, &QCoreApplication::aboutToQuit, this, &ApplicationWindow::aboutToQuit);
}

ApplicationWindow::~ApplicationWindow() {
    writeDefaultDirectory();
    // The icons (with their editors and workers) go before the instances they show.
    for (CVEXWrapper* component : std::as_const(m_components))
        component->closeEditor(false);
    m_components.clear();
    delete m_iconView;
    m_iconView = nullptr;
    m_pageHosting.reset();
    m_setup.reset();
    delete m_setupDlg;
    m_setupDlg = nullptr;
    delete m_model;
    m_model = nullptr;
    delete m_thruBar;
    m_thruBar = nullptr;
}

void ApplicationWindow::createModel() {
    // Inside an outer application, the Workspace's ports, time and output are that
    // application's.
    if (m_outer)
        m_model = new TWorkspaceModel({m_outer->host(), m_outer->output()});
    else
        m_model = new TWorkspaceModel;
    connect(m_model, &TWorkspaceModel::instanceAdded, this, &ApplicationWindow::showInstance);
    connect(m_model, &TWorkspaceModel::instanceRemoving, this, &ApplicationWindow::forgetInstance);
    connect(m_model, &TWorkspaceModel::instanceRenamed, this, [this](TComponentInstance* instance) {
        if (CVEXWrapper* wrapper = wrapperOf(instance))
            wrapper->showName();
    });
    connect(m_model, &TWorkspaceModel::warning, this,
            [this](const QString& text) { TUserMessage::warning(messageParent(), text); });
    connect(m_model, &TWorkspaceModel::devicesChanged, this, &ApplicationWindow::takeDeviceChanges);
}

void ApplicationWindow::takeDeviceChanges() {
    if (!m_ready)
        return;
    // Not beneath a dialog that chose among the ports as listed (the re-mapping dialog); the
    // setup dialog takes the new list into its views.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != m_setupDlg) {
        m_model->takeDeviceChangesLater();
        return;
    }
    updateSystemPorts();
}

void ApplicationWindow::createMenus() {
    QMenu* file = new QMenu(tr("&File"), this);
    if constexpr (dorvo::kComponentBuild) {
        // The outer application keeps the Workspace in its own project: documents are imported
        // and exported, and the outer application ends the session.
        file->addAction(tr("&Import..."), QKeySequence(Qt::CTRL | Qt::Key_I), this,
                        &ApplicationWindow::doLoad);
        file->addAction(tr("&Export..."), QKeySequence(Qt::CTRL | Qt::Key_E), this,
                        &ApplicationWindow::doSaveAs);
        file->addSeparator();
        file->addAction(tr("&Setup..."), this, &ApplicationWindow::doSetup);
    } else {
        file->addAction(tr("&New"), QKeySequence(Qt::CTRL | Qt::Key_N), this,
                        &ApplicationWindow::newSession);
        file->addAction(tr("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O), this,
                        &ApplicationWindow::doLoad);
        file->addAction(tr("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S), this,
                        &ApplicationWindow::doSave);
        file->addAction(tr("Save As..."), this, &ApplicationWindow::doSaveAs);
        file->addSeparator();
        file->addAction(tr("Setup..."), this, &ApplicationWindow::doSetup);
        file->addAction(tr("Re-map MIDI Ports..."), this, &ApplicationWindow::doRemapPorts);
        file->addSeparator();
        file->addAction(tr("Exit"), QKeySequence(Qt::CTRL | Qt::Key_Q), this, &QWidget::close);
    }
    menuBar()->addMenu(file);

    QMenu* synchronize = new QMenu(tr("&Synchronize"), this);
    synchronize->addAction(tr("&Recall..."), this, &ApplicationWindow::totalRecall);
    menuBar()->addMenu(synchronize);

    m_windowsMenu = new QMenu(tr("&Windows"), this);
    connect(m_windowsMenu, &QMenu::aboutToShow, this, &ApplicationWindow::windowsMenuAboutToShow);
    menuBar()->addMenu(m_windowsMenu);

    QMenu* help = new QMenu(tr("&Help"), this);
    help->addAction(tr("Manual"), QKeySequence(Qt::Key_F1), this,
                    qOverload<>(&ApplicationWindow::doHelp));
    help->addSeparator();
    help->addAction(tr("&About ") + dorvo::kApplicationTitle, this, &ApplicationWindow::about);
    menuBar()->addMenu(help);
}

void ApplicationWindow::createThruToolBar() {
    // The component build has no MIDI Thru: the outer application routes its own ports.
    if constexpr (dorvo::kComponentBuild)
        return;
    m_thruBar = new TThruToolBar(this);
    connect(m_thruBar, &TThruToolBar::channelChanged, this, &ApplicationWindow::convertChChanged);
    addDockWidget(Qt::TopDockWidgetArea, m_thruBar);
    m_thruBar->hide();
}

void ApplicationWindow::createIconView() {
    auto* box = new QFrame(this);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new TWorkspaceIconView(box);
    m_iconView = view;
    setCentralWidget(box);
    layout->addWidget(view);
    connect(view, &TWorkspaceIconView::itemRenamed, this, &ApplicationWindow::handle_itemRenamed);
    connect(view, &TWorkspaceIconView::itemOpened, this, &ApplicationWindow::handle_doubleClicked);
    connect(view, &TWorkspaceIconView::pressed, this,
            &ApplicationWindow::handle_mouseButtonPressed);
    connect(view, &TWorkspaceIconView::contextMenuAt, this,
            &ApplicationWindow::handle_contextMenuRequested);
    view->show();
}

QList<QWidget*> ApplicationWindow::programWindows() const {
    QList<QWidget*> windows{const_cast<ApplicationWindow*>(this)};
    for (CVEXWrapper* component : m_components)
        if (component->hasEditorWindow())
            windows.append(component->editorWindow());
    return windows;
}

// ---- Workspace contents ----------------------------------------------------------------------

CVEXWrapper* ApplicationWindow::addComponent(const TCatalogueEntry& entry, const QString& name) {
    if (!m_iconView || !m_model)
        return nullptr;
    TComponentInstance* instance = m_model->add(entry, name);
    return instance ? wrapperOf(instance) : nullptr;
}

void ApplicationWindow::showInstance(TComponentInstance* instance) {
    if (!m_iconView)
        return;
    auto* wrapper = new CVEXWrapper(instance, m_iconView);
    wrapper->setPageHosting(m_pageHosting.get());
    m_components.append(wrapper);
}

void ApplicationWindow::forgetInstance(TComponentInstance* instance) {
    CVEXWrapper* component = wrapperOf(instance);
    if (!component)
        return;
    m_components.removeOne(component);
    component->closeEditor(false);
    // The model destroys the instance later too; the icon goes first.
    component->deleteLater();
}

CVEXWrapper* ApplicationWindow::wrapperOf(const TComponentInstance* instance) const {
    for (CVEXWrapper* component : m_components)
        if (component->instance() == instance)
            return component;
    return nullptr;
}

void ApplicationWindow::removeComponent(CVEXWrapper* component, bool confirm) {
    if (!DORVO_CHECK_TEXT(component, "obj"))
        return;
    if (confirm) {
        const QString text = tr("Are you sure you want to remove \"%1\" component?\n\nPressing "
                                "Yes will permanently remove it from your Workspace.")
                                 .arg(component->instanceName());
        if (TUserMessage::question(this, text) != QMessageBox::Yes)
            return;
    }
    CAppServer::PrepareForBusyAction(nullptr);
    if (!m_components.contains(component))
        return;
    setModified(true);
    m_model->remove(component->instance());
}

void ApplicationWindow::eraseCurrentDocument() {
    for (CVEXWrapper* component : std::as_const(m_components))
        component->closeEditor(false);
    m_components.clear();
    if (DORVO_CHECK_TEXT(m_iconView, "m_iconView")) {
        m_arrangeEnabled = false;
        m_iconView->clear();
        m_iconView->setFlow(QListView::LeftToRight);
        m_sorting = false;
        m_arrangeEnabled = true;
    }
    if (m_model)
        m_model->clear();
    setModified(false);
    setNamed(false);
}

void ApplicationWindow::rearrangeIcons() {
    if (!m_arrangeEnabled || !m_iconView)
        return;
    for (int position = 0; position < m_components.size(); ++position) {
        CVEXWrapper* component = m_components[position];
        component->setKey(m_sorting ? component->instanceName()
                                    : QStringLiteral("%1").arg(position, 10));
    }
    m_iconView->sortItems(Qt::AscendingOrder);
}

// ---- Document ---------------------------------------------------------------------------------

QString ApplicationWindow::defaultCaption() const {
    return dorvo::kApplicationTitle;
}

QString ApplicationWindow::applicationName() const {
    return dorvo::kApplicationTitle;
}

bool ApplicationWindow::isModified() {
    if (!TDocuSaveLoad::isModified() && m_model && m_model->anyComponentDirty())
        setModified(true);
    return TDocuSaveLoad::isModified();
}

HRESULT ApplicationWindow::saveToStream(QDataStream& stream, bool quiet, bool keepModified) {
    return TWorkspaceSerializer(*this).save(stream, quiet, keepModified);
}

HRESULT ApplicationWindow::loadFromStream(QDataStream& stream, bool quiet) {
    return TWorkspaceLoader(*this).load(stream, quiet);
}

void ApplicationWindow::setDocumentName(const QString& name) {
    {
        QMutexLocker lock(&m_documentLock);
        setDocumentNameOnly(QDir::toNativeSeparators(name));
    }
    setModified(false);
    setNamed(true);
    updateCaption();
}

void ApplicationWindow::updateCaption() {
    QMutexLocker lock(&m_documentLock);
    if (!DORVO_CHECK_TEXT(!documentName().isEmpty(), "! m_documentName.isEmpty()"))
        return;
    setWindowTitle(QFileInfo(documentName()).fileName() + QStringLiteral(" - ") +
                   applicationName());
}

void ApplicationWindow::yNewSession() {
    qCDebug(lcShell, "yNewSession at %lld ms", dorvo::shellClockMs());
    m_ready = true;
    if (!m_pendingDocument.isEmpty() && openPendingDocument())
        return;
    startNewDocument();
}

bool ApplicationWindow::openPendingDocument() {
    if (TWorkspaceLoader(*this).loadFile(m_pendingDocument, kDocumentExtension) != S_OK)
        return false;
    setDocumentName(m_pendingDocument);
    offerRecallAfterLoad();
    return true;
}

void ApplicationWindow::createFromFile(const QString& fileName) {
    m_pendingDocument = fileName;
}

void ApplicationWindow::reCreateFromFile() {
    qCDebug(lcShell, "reCreateFromFile at %lld ms", dorvo::shellClockMs());
    // Not beneath a modal dialog: the setup dialog is modal without a loop of its own.
    if (QThread::currentThread()->loopLevel() > 1 || QApplication::activeModalWidget())
        return;
    if (documentName() == QDir::toNativeSeparators(m_pendingDocument) && !isModified())
        return;
    if (askToSaveChanges(this) != S_OK)
        return;
    eraseCurrentDocument();
    QCoreApplication::processEvents();
    setWindowTitle(applicationName());
    yNewSession();
}

void ApplicationWindow::newSession() {
    if (!m_ready)
        return;
    startNewDocument();
}

void ApplicationWindow::startNewDocument() {
    if (askToSaveChanges(this) != S_OK)
        return;
    eraseCurrentDocument();
    QString directory;
    if (m_setupDlg)
        directory = m_setupDlg->settings().value(kDefaultDirKey).toString();
    // An empty directory would put the document at the root of the file system.
    if (directory.isEmpty())
        directory = TDocuSaveLoad::documentsFolder();
    ++untitledCounter;
    {
        QMutexLocker lock(&m_documentLock);
        setDocumentNameOnly(QDir::toNativeSeparators(directory + QStringLiteral("/Untitled ") +
                                                     QString::number(untitledCounter)));
    }
    updateCaption();
    openSetupDialog(true, true);
}

void ApplicationWindow::writeDefaultDirectory() {
    if (!m_setupDlg)
        return;
    const QString name = QDir::fromNativeSeparators(documentName());
    const QString directory = name.isEmpty() ? QString() : QFileInfo(name).path();
    m_setupDlg->settings().setValue(kDefaultDirKey, QDir::toNativeSeparators(directory));
    m_setupDlg->settings().sync();
}

// The file commands do nothing before the window is ready.

void ApplicationWindow::doLoad() {
    if (!m_ready)
        return;
    const HRESULT result = load(this, 0);
    if (result == E_ABORT)
        return;
    if (result == S_OK) {
        offerRecallAfterLoad();
        return;
    }
    TUserMessage::warning(this,
                          tr("Document \"%1\" failed to load completly?").arg(documentName()));
}

void ApplicationWindow::doSave() {
    if (!m_ready)
        return;
    save(this, 0);
}

void ApplicationWindow::doSaveAs() {
    if (!m_ready)
        return;
    saveAs(this, 0);
}

void ApplicationWindow::doSetup() {
    if (!m_ready)
        return;
    openSetupDialog(false, false);
}

void ApplicationWindow::doRemapPorts() {
    if (!m_ready)
        return;
    runRemapDialog(TPortRemapping::Form::Normal);
}

bool ApplicationWindow::runRemapDialog(TPortRemapping::Form form) {
    return m_setup && m_setup->runRemapDialog(form);
}

void ApplicationWindow::totalRecall() {
    if (!m_ready)
        return;
    TSynchronizer(*this).selectAndConfirm(this, nullptr, QString(), true, false);
}

// ---- Setup -----------------------------------------------------------------------------------

void ApplicationWindow::openSetupDialog(bool newWorkspace, bool workspacePage) {
    if (!prepareSetupDialog(newWorkspace, workspacePage))
        return;
    // Modal for the whole program, without a loop of its own: the dialog's buttons signal
    // what is to be done, and nothing waits for it to close.
    m_setupDlg->setWindowModality(Qt::ApplicationModal);
    m_setupDlg->show();
    m_setupDlg->raise();
    m_setupDlg->activateWindow();
}

bool ApplicationWindow::prepareSetupDialog(bool newWorkspace, bool workspacePage) {
    return m_setup && m_setup->prepare(newWorkspace, workspacePage);
}

void ApplicationWindow::refreshSetupList() {
    if (m_setup)
        m_setup->refreshWorkspaceList();
}

void ApplicationWindow::newDoc() {
    if (DORVO_CHECK_TEXT(m_setup, "m_setupDlg"))
        m_setup->takeWorkspaceList();
}

void ApplicationWindow::selectedPortsChanged() {
    if (m_setup)
        m_setup->takePortSelection();
}

void ApplicationWindow::updateSystemPorts() {
    if (m_setup)
        m_setup->updateSystemPorts();
}

QWidget* ApplicationWindow::messageParent() const {
    if (m_setupDlg && !m_setupDlg->isHidden())
        return m_setupDlg;
    return const_cast<ApplicationWindow*>(this);
}

void ApplicationWindow::offerRecallAfterLoad() {
    if (m_setupDlg && m_setupDlg->autoSync())
        QTimer::singleShot(kRecallAfterLoadMs, this, &ApplicationWindow::totalRecallAfterLoad);
}

void ApplicationWindow::totalRecallAfterLoad() {
    TSynchronizer(*this).selectAndConfirm(this, nullptr, QString(), true, true);
}

void ApplicationWindow::totalRecallCompClient() {
    // Only the component build recalls on a resynchronization request.
    if constexpr (!dorvo::kComponentBuild)
        return;
    // What the quiet load before it would have shown.
    if (!m_pendingWarning.isEmpty()) {
        TUserMessage::warning(this, m_pendingWarning);
        m_pendingWarning.clear();
    }
    if (m_setupDlg && m_setupDlg->autoSync() && !m_components.isEmpty())
        TSynchronizer(*this).selectAndConfirm(this, nullptr, QString(), true, true);
}

// ---- The component build ----------------------------------------------------------------------

HRESULT ApplicationWindow::displayEditor(IUnknown* component) {
    if (!component)
        return E_FAIL;
    for (CVEXWrapper* wrapper : std::as_const(m_components)) {
        if (wrapper->instance()->component() == component) {
            wrapper->showEditor();
            return S_OK;
        }
    }
    return E_FAIL;
}

void ApplicationWindow::notifyComponents(const MPNOTIFICATION* notification) {
    ClientIUnknown* host = hostObject();
    if (!host || !notification)
        return;
    // The components hear on the GUI thread, where their sinks expect to be called; a port list
    // change first gets the new names, so that a component asking at once finds them.
    const MPNOTIFICATION copy = *notification;
    if (IsEqualGUID(copy.id, GUID_MPPortListChanged)) {
        if (host->clientServices())
            host->clientServices()->refreshPortNames();
        // The Workspace follows the outer application's new port list, then tells the
        // components.
        QMetaObject::invokeMethod(this, &ApplicationWindow::updateSystemPorts,
                                  Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, copy] {
            if (ClientIUnknown* current = hostObject())
                current->Notify(&copy);
        },
        Qt::QueuedConnection);
}

void ApplicationWindow::resyncComponents(LONGLONG value) {
    m_resyncValue = value;
    QTimer::singleShot(0, this, &ApplicationWindow::totalRecallCompClient);
}

LRESULT ApplicationWindow::callPageHost(IPropertyPage* page, DWORD code, LPVOID data) {
    return m_outer ? m_outer->callPageHost(page, code, data) : 0;
}

void ApplicationWindow::setClientWindow(HWND window, std::thread::id thread) {
    if (m_outer)
        m_outer->setClientWindow(window, thread);
}

bool ApplicationWindow::hasClientWindow() const {
    return m_outer && m_outer->hasClientWindow();
}

void ApplicationWindow::setEditorPageHosting(std::unique_ptr<TEditorPageHosting> hosting) {
    m_pageHosting = std::move(hosting);
    for (CVEXWrapper* wrapper : std::as_const(m_components))
        wrapper->setPageHosting(m_pageHosting.get());
}

void ApplicationWindow::reopenEditors() {
    for (CVEXWrapper* wrapper : std::as_const(m_components))
        if (wrapper->editorWasOpen())
            wrapper->showEditor();
}

void ApplicationWindow::closeEditorPages() {
    if (m_pageHosting)
        m_pageHosting->closeAllPages();
}

void ApplicationWindow::aboutToQuit() {
    forgetCatalogue();
}

void ApplicationWindow::showWarningMsg(QString& text) {
    TUserMessage::warning(messageParent(), text);
}

// ---- Closing ----------------------------------------------------------------------------------

void ApplicationWindow::closeEvent(QCloseEvent* event) {
    if (!DORVO_CHECK_TEXT(event, "e"))
        return;
    if (askToSaveChanges(this) != S_OK) {
        event->ignore();
        return;
    }
    CAppServer::PrepareForBusyAction(nullptr);
    eraseCurrentDocument();
    if (m_thruBar)
        m_thruBar->close();
    QCoreApplication::processEvents();
    event->accept();
}

// ---- Windows, help, about ---------------------------------------------------------------------

void ApplicationWindow::windowsMenuAboutToShow() {
    if (!m_ready)
        return;
    m_windowsMenu->clear();
    for (CVEXWrapper* component : std::as_const(m_components)) {
        if (!component->hasEditorWindow())
            continue;
        QAction* entry = m_windowsMenu->addAction(component->instanceName());
        connect(entry, &QAction::triggered, component, &CVEXWrapper::propPageShowByMenu);
    }
}

void ApplicationWindow::setAppWindowActive() {
    dorvo::bringWindowForward(this);
}

void ApplicationWindow::doHelp() {
    if (!m_ready)
        return;
    doHelp(this);
}

void ApplicationWindow::doHelp(QWidget* parent) {
    TManual::open(parent);
}

void ApplicationWindow::about() {
    if (!m_ready)
        return;
    About box(this);
    box.exec();
}

// ---- Icon view --------------------------------------------------------------------------------

void ApplicationWindow::handle_doubleClicked(QListWidgetItem* item) {
    auto* component = dynamic_cast<CVEXWrapper*>(item);
    if (!component || !item->isSelected())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    component->showEditor();
    QApplication::restoreOverrideCursor();
}

void ApplicationWindow::handle_mouseButtonPressed(int button, QListWidgetItem* item,
                                                  const QPoint&) {
    if (button == Qt::LeftButton && !item && m_iconView)
        m_iconView->clearSelection();
}

void ApplicationWindow::handle_contextMenuRequested(QListWidgetItem* item, const QPoint& position) {
    auto* component = dynamic_cast<CVEXWrapper*>(item);
    TWorkspaceMenus menus(*this);
    QMenu* menu =
        component ? menus.createComponentMenu(component, this) : menus.createSpaceMenu(this);
    QAction* chosen = menu->exec(position);
    if (component)
        menus.actOnComponentMenu(component, chosen);
    else
        menus.actOnSpaceMenu(chosen);
    delete menu;
}

void ApplicationWindow::handle_itemRenamed(QListWidgetItem* item) {
    auto* component = dynamic_cast<CVEXWrapper*>(item);
    if (!DORVO_CHECK_TEXT(component, "anObject"))
        return;
    switch (m_model->rename(component->instance(), item->text())) {
    case TWorkspaceModel::RenameResult::Unchanged:
        return;
    case TWorkspaceModel::RenameResult::Empty:
        rejectRename(component, tr("Empty name is not allowed.\nThis change will be ignored."));
        return;
    case TWorkspaceModel::RenameResult::NameInUse:
        rejectRename(component, tr("Individual Components must have unique names.\nThis change "
                                   "will be ignored."));
        return;
    case TWorkspaceModel::RenameResult::Renamed:
        setModified(true);
        rearrangeIcons();
        return;
    }
}

void ApplicationWindow::rejectRename(CVEXWrapper* component, const QString& message) {
    TUserMessage::warning(this, message);
    component->setText(component->instanceName());
}

// ---- MIDI Thru tool bar ---------------------------------------------------------------------

void ApplicationWindow::convertChChanged(int channel) {
    if (hostObject() && channel >= 0)
        hostObject()->setThruChannel(DWORD(channel));
}

void ApplicationWindow::toolBarPositionChanged(QDockWidget* toolBar) {
    if (toolBar && toolBar == m_thruBar)
        m_thruBar->positionChanged();
}
