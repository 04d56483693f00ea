#include "ApplicationWindow.h"

#include "About.h"
#include "CListBoxVEXElement.h"
#include "CVEXWrapper.h"
#include "CWrapContainer.h"
#include "ClientIUnknown.h"
#include "DorvoAssert.h"
#include "GuiThread.h"
#include "PreferenceKeys.h"
#include "SetupDlg.h"
#include "ShellLog.h"
#include "TIconViewDelegate.h"
#include "TSynchronizer.h"
#include "TUserMessage.h"
#include "TVirtualMIDIPortAccessor.h"
#include "TWinMIDIPortAccessor.h"
#include "TWorkspaceLoader.h"
#include "TWorkspaceSerializer.h"
#include "Version.h"
#include "noCancelProgresss.h"
#include "portMappingDlg.h"

#include <dorvo/objbase.h>

#include <CAppServer.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMutexLocker>
#include <QProgressBar>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <mutex>

namespace {

const QString kDocumentExtension = QStringLiteral(".XDW");
const QString kDefaultDirKey = Preferences::kPreferencesPage + QStringLiteral("defaultDir");
constexpr int kUnchecked = -1;
// The value of an entry of "Configure Recall".
const char* const kRecallValue = "recallValue";
// The check mark an entry had when the menu was built.
const char* const kWasChecked = "wasChecked";
// The selection mode that GetRecallInfo gave with the entries.
const char* const kSelectionMode = "selectionMode";
constexpr DWORD kToggleSelection = 0x80000000u;
// Names listed in the question about components to remove; the rest are counted.
constexpr int kListedRemovals = 10;
constexpr int kRearrangeDelayMs = 100;
constexpr int kLateRearrangeDelayMs = 1000;
// "Automatically synchronize on file load": the Recall comes this long after the load.
constexpr int kRecallAfterLoadMs = 50;

// Untitled documents are counted across every window of the process.
int untitledCounter = 0;
// Devices that come and go one after another (a hub with several ports) are taken together.
constexpr int kDeviceSettleMs = 250;
// The window that hears of plugged and pulled devices: the MIDI layer tells one listener.
ApplicationWindow* deviceListener = nullptr;

QAction* addChoice(QMenu* menu, const QString& text, ApplicationWindow::MenuChoice choice,
                   int checked = kUnchecked) {
    QAction* action = menu->addAction(text);
    action->setData(int(choice));
    if (checked != kUnchecked) {
        action->setCheckable(true);
        action->setChecked(checked != 0);
        action->setProperty(kWasChecked, checked != 0);
    }
    return action;
}

} // namespace

ApplicationWindow::ApplicationWindow() : QMainWindow(nullptr) {
    dorvo::recordGuiThread();
    addDocumentType(kDocumentExtension, dorvo::kApplicationTitle + tr(" Document"));
    createHostObject();
    createSetupDialog();
    createMenus();
    createThruToolBar();
    createIconView();
    connect(qApp, &QCoreApplication::aboutToQuit, this, &ApplicationWindow::aboutToQuit);
}

ApplicationWindow::~ApplicationWindow() {
    if (deviceListener == this) {
        TWinMIDIPortAccessor::setDevicesChangedHandler({});
        deviceListener = nullptr;
    }
    writeDefaultDirectory();
    QMutexLocker lock(&m_workspaceLock);
    while (!m_components.isEmpty())
        removeComponent(m_components.last(), false);
    if (m_hostObject) {
        m_hostObject->setWorkspaceWindow(nullptr);
        {
            // A component that outlives the window must not list ports from a deleted accessor.
            std::unique_lock<std::recursive_mutex> lock;
            if (m_hostObject->portListLock())
                lock = std::unique_lock<std::recursive_mutex>(*m_hostObject->portListLock());
            m_hostObject->setPortListSource(nullptr);
            m_hostObject->freeCachedPortLists();
        }
        m_hostObject->Release();
        m_hostObject = nullptr;
    }
    delete m_iconView;
    m_iconView = nullptr;
    delete m_setupDlg;
    m_setupDlg = nullptr;
    delete m_portAccessor;
    m_portAccessor = nullptr;
    delete m_thruToolBar;
    m_thruToolBar = nullptr;
    forgetCatalogue();
}

void ApplicationWindow::createHostObject() {
    m_hostObject = new (std::nothrow) ClientIUnknown;
    if (!DORVO_CHECK_TEXT(m_hostObject, "m_hostObject"))
        return;
    m_hostObject->setWorkspaceWindow(this);
    createPortAccessor();
}

void ApplicationWindow::createPortAccessor() {
    // Without the machine's port list there are no ports to offer, and components list none.
    TMIDIPortAccessor* machinePorts = m_hostObject->machinePortAccessor();
    if (!machinePorts)
        return;
    m_portAccessor = new (std::nothrow) TVirtualMIDIPortAccessor(m_hostObject, machinePorts);
    if (m_portAccessor) {
        m_hostObject->setPortListSource(m_portAccessor);
        listenForDeviceChanges();
    }
}

void ApplicationWindow::listenForDeviceChanges() {
    m_deviceUpdate = new QTimer(this);
    m_deviceUpdate->setSingleShot(true);
    m_deviceUpdate->setInterval(kDeviceSettleMs);
    connect(m_deviceUpdate, &QTimer::timeout, this, &ApplicationWindow::takeDeviceChanges);
    deviceListener = this;
    // Called on a thread of the MIDI layer; the destructor ends the calls before the timer goes.
    QTimer* timer = m_deviceUpdate;
    TWinMIDIPortAccessor::setDevicesChangedHandler([timer] {
        QMetaObject::invokeMethod(timer, qOverload<>(&QTimer::start), Qt::QueuedConnection);
    });
}

void ApplicationWindow::takeDeviceChanges() {
    if (!m_ready)
        return;
    // Not beneath a dialog that chose among the ports as listed (the re-mapping dialog); the
    // setup dialog takes the new list into its views.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != m_setupDlg) {
        m_deviceUpdate->start();
        return;
    }
    updateSystemPorts();
}

void ApplicationWindow::createSetupDialog() {
    m_setupDlg = new (std::nothrow) SetupDlg(this, dorvo::kDialogWindowFlags);
    DORVO_CHECK_TEXT(m_setupDlg, "m_setupDlg");
}

void ApplicationWindow::createMenus() {
    QMenu* file = new QMenu(tr("&File"), this);
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
    help->addAction(tr("&About Quenor Dorvo"), this, &ApplicationWindow::about);
    menuBar()->addMenu(help);
}

void ApplicationWindow::createThruToolBar() {
    m_thruToolBar = new QDockWidget(tr("MIDI Thru"), this);
    m_thruToolBar->setObjectName(QStringLiteral("MIDIThruToolBar"));
    m_thruToolBar->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    m_thruToolBar->setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);

    // The bar itself is the handle: dragging it by its label floats or docks it.
    auto* bar = new QWidget(m_thruToolBar);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(4);
    layout->addSpacing(5);
    m_toolBarText = new QLabel(tr("MIDI Thru Ch."), bar);
    m_toolBarText->setObjectName(QStringLiteral("toolBarText"));
    m_toolBarText->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layout->addWidget(m_toolBarText);
    m_thruChannel = new QSpinBox(bar);
    m_thruChannel->setRange(0, 16);
    m_thruChannel->setSingleStep(1);
    m_thruChannel->setSpecialValueText(tr("Original"));
    layout->addWidget(m_thruChannel);
    layout->addSpacing(5);
    layout->addStretch(1);
    m_thruToolBar->setTitleBarWidget(bar);
    auto* body = new QWidget(m_thruToolBar);
    body->setFixedHeight(0);
    m_thruToolBar->setWidget(body);

    connect(m_thruChannel, &QSpinBox::valueChanged, this, &ApplicationWindow::convertChChanged);
    auto positionChanged = [this] { toolBarPositionChanged(m_thruToolBar); };
    connect(m_thruToolBar, &QDockWidget::topLevelChanged, this, positionChanged);
    connect(m_thruToolBar, &QDockWidget::dockLocationChanged, this, positionChanged);
    addDockWidget(Qt::TopDockWidgetArea, m_thruToolBar);
    m_thruToolBar->toggleViewAction()->setVisible(false);
    m_thruToolBar->hide();
}

void ApplicationWindow::createIconView() {
    auto* box = new QFrame(this);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    m_iconView = new (std::nothrow) QListWidget(box);
    setCentralWidget(box);
    if (!DORVO_CHECK_TEXT(m_iconView, "m_iconView"))
        return;
    layout->addWidget(m_iconView);

    m_iconView->setViewMode(QListView::IconMode);
    m_iconView->setIconSize(QSize(96, 96));
    m_iconView->setMovement(QListView::Static);
    m_iconView->setWordWrap(false);
    m_iconView->setResizeMode(QListView::Adjust);
    m_iconView->setFlow(QListView::LeftToRight);
    m_iconView->setWrapping(true);
    m_iconView->setSpacing(8);
    m_iconView->setUniformItemSizes(false);
    m_iconView->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_iconView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_iconView->setEditTriggers(QAbstractItemView::SelectedClicked |
                                QAbstractItemView::EditKeyPressed);
    m_iconView->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette palette = m_iconView->palette();
    palette.setColor(QPalette::Base, QColor(102, 105, 124));
    m_iconView->setPalette(palette);
    m_iconView->setAutoFillBackground(true);

    auto* delegate = new TIconViewDelegate(m_iconView);
    m_iconView->setItemDelegate(delegate);
    connect(delegate, &TIconViewDelegate::itemRenamed, this, [this](const QModelIndex& index) {
        handle_itemRenamed(m_iconView->item(index.row()));
    });
    connect(m_iconView, &QListWidget::itemDoubleClicked, this,
            &ApplicationWindow::handle_doubleClicked);
    connect(m_iconView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        handle_contextMenuRequested(m_iconView->itemAt(at),
                                    m_iconView->viewport()->mapToGlobal(at));
    });
    // Return on an item, and presses on empty space, come through the event filter.
    m_iconView->installEventFilter(this);
    m_iconView->viewport()->installEventFilter(this);
    m_iconView->show();
}

bool ApplicationWindow::eventFilter(QObject* watched, QEvent* event) {
    if (m_iconView && watched == m_iconView && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_iconView->currentItem()) {
            handle_doubleClicked(m_iconView->currentItem());
            return true;
        }
    }
    if (m_iconView && watched == m_iconView->viewport() &&
        event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        const QPoint at = press->position().toPoint();
        handle_mouseButtonPressed(int(press->button()), m_iconView->itemAt(at),
                                  m_iconView->viewport()->mapToGlobal(at));
    }
    return QMainWindow::eventFilter(watched, event);
}

QList<QWidget*> ApplicationWindow::programWindows() const {
    QList<QWidget*> windows{const_cast<ApplicationWindow*>(this)};
    QMutexLocker lock(&m_workspaceLock);
    for (CVEXWrapper* component : m_components)
        if (component->hasEditorWindow())
            windows.append(component->editorWindow());
    return windows;
}

// ---- Workspace contents ----------------------------------------------------------------------

CVEXWrapper* ApplicationWindow::addComponent(const TCatalogueEntry& entry, const QString& name) {
    if (!m_iconView)
        return nullptr;
    auto* component = new CVEXWrapper(this, m_iconView, entry, name);
    {
        QMutexLocker lock(&m_workspaceLock);
        m_components.append(component);
    }
    IMPAsyncOutput* output = m_hostObject ? m_hostObject->asyncOutput() : nullptr;
    if (!component->connectComponent(m_hostObject, output)) {
        {
            QMutexLocker lock(&m_workspaceLock);
            m_components.removeOne(component);
        }
        delete component;
        return nullptr;
    }
    if (m_hostObject)
        m_hostObject->registerEventFilter(component->eventFilterInterface());
    return component;
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
    QMutexLocker lock(&m_workspaceLock);
    if (!m_components.contains(component))
        return;
    setModified(true);
    if (m_hostObject)
        m_hostObject->removeEventFilter(component->eventFilterInterface());
    m_components.removeOne(component);
    component->closeEditor(false);
    component->deleteLater();
}

bool ApplicationWindow::nameInUse(const QString& name) const {
    QMutexLocker lock(&m_workspaceLock);
    for (const CVEXWrapper* component : m_components)
        if (component->instanceName() == name)
            return true;
    return false;
}

void ApplicationWindow::eraseCurrentDocument() {
    QMutexLocker lock(&m_workspaceLock);
    for (CVEXWrapper* component : std::as_const(m_components)) {
        if (m_hostObject)
            m_hostObject->removeEventFilter(component->eventFilterInterface());
        component->closeEditor(false);
    }
    m_components.clear();
    if (DORVO_CHECK_TEXT(m_iconView, "m_iconView")) {
        m_arrangeEnabled = false;
        m_iconView->clear();
        m_iconView->setFlow(QListView::LeftToRight);
        m_sorting = false;
        m_arrangeEnabled = true;
    }
    setModified(false);
    setNamed(false);
}

void ApplicationWindow::dropComponentPorts(const IUnknown* component) {
    if (m_hostObject && m_hostObject->clientServices())
        m_hostObject->clientServices()->removeComponentPorts(component);
}

void ApplicationWindow::refreshSetupList() {
    QListWidget* list = m_setupDlg ? m_setupDlg->workspaceList() : nullptr;
    if (!list)
        return;
    list->clear();
    QMutexLocker lock(&m_workspaceLock);
    for (const CVEXWrapper* component : std::as_const(m_components))
        new CListBoxVEXElement(component->entry(), component->instanceName(), list);
    if (m_sorting)
        list->sortItems(Qt::AscendingOrder);
}

QWidget* ApplicationWindow::messageParent() const {
    if (m_setupDlg && !m_setupDlg->isHidden())
        return m_setupDlg;
    return const_cast<ApplicationWindow*>(this);
}

void ApplicationWindow::newDoc() {
    if (!DORVO_CHECK_TEXT(m_setupDlg, "m_setupDlg"))
        return;
    QListWidget* list = m_setupDlg->workspaceList();
    if (!list)
        return;
    const QString failures = loadListedComponents(list);
    offerRemovalOfUnlisted(list);
    QTimer::singleShot(kRearrangeDelayMs, this, &ApplicationWindow::rearrangeIcons);
    if (!m_setupDlg->isHidden())
        refreshSetupList();
    QCoreApplication::sendPostedEvents();
    QTimer::singleShot(kLateRearrangeDelayMs, this, &ApplicationWindow::rearrangeIcons);
    if (!failures.isEmpty())
        TUserMessage::warning(messageParent(),
                              tr("Following component(s) could not be loaded.\nPlease ensure "
                                 "that you have installed required component(s) correctly.\n") +
                                  failures);
}

// Adds every entry of the list whose name is not in use yet, with a progress dialog; gives the
// names that failed, each after a line break.
QString ApplicationWindow::loadListedComponents(QListWidget* list) {
    const int count = list->count();
    noCancelProgresss progress(messageParent(),
                               Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    progress.setModal(true);
    progress.show();
    progress.loadingProgress()->setRange(0, 2 * count);
    CAppServer::PrepareForBusyAction(nullptr);
    QString failures;
    for (int i = 0; i < count; ++i) {
        // Taken again each turn: processing events may have changed the list.
        const CListBoxVEXElement* element = CListBoxVEXElement::from(list->item(i));
        if (!element || nameInUse(element->text()))
            continue;
        const QString name = element->text();
        const TCatalogueEntry entry = element->entry();
        progress.msgLabel()->setText(
            tr("Now loading component ( %1 / %2 )\n").arg(i + 1).arg(count) +
            QStringLiteral("    ") + name);
        progress.msgLabel()->repaint();
        progress.loadingProgress()->setValue(2 * i + 1);
        QCoreApplication::processEvents();
        if (addComponent(entry, name))
            setModified(true);
        else
            failures += QLatin1Char('\n') + name;
        progress.loadingProgress()->setValue(2 * i + 2);
    }
    progress.close();
    return failures;
}

// Components without an entry of their name (in any case) in the list go, once the user agrees.
void ApplicationWindow::offerRemovalOfUnlisted(QListWidget* list) {
    QList<CVEXWrapper*> unlisted;
    {
        QMutexLocker lock(&m_workspaceLock);
        for (CVEXWrapper* component : std::as_const(m_components))
            if (list->findItems(component->instanceName(), Qt::MatchFixedString).isEmpty())
                unlisted.append(component);
    }
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
    if (TUserMessage::question(m_setupDlg, question + names) != QMessageBox::Yes)
        return;
    for (CVEXWrapper* component : std::as_const(unlisted))
        removeComponent(component, false);
}

void ApplicationWindow::rearrangeIcons() {
    if (!m_arrangeEnabled || !m_iconView)
        return;
    QMutexLocker lock(&m_workspaceLock);
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
    if (!TDocuSaveLoad::isModified()) {
        QMutexLocker lock(&m_workspaceLock);
        for (CVEXWrapper* component : std::as_const(m_components)) {
            IPersistStream* persistence = component->persistence();
            if (persistence && persistence->IsDirty() == S_OK) {
                setModified(true);
                break;
            }
        }
    }
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
        QMutexLocker lock(&m_workspaceLock);
        setDocumentNameOnly(QDir::toNativeSeparators(name));
    }
    setModified(false);
    setNamed(true);
    updateCaption();
}

void ApplicationWindow::updateCaption() {
    QMutexLocker lock(&m_workspaceLock);
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
    if (!m_pendingDocument.endsWith(kDocumentExtension, Qt::CaseInsensitive)) {
        TUserMessage::critical(this,
                               tr("Could not open '%1' Wrong Format.").arg(m_pendingDocument));
        return false;
    }
    QFile file(m_pendingDocument);
    if (!file.open(QIODevice::ReadOnly)) {
        TUserMessage::critical(
            this,
            tr("Could not open '%1' for reading: %2").arg(m_pendingDocument, file.errorString()));
        return false;
    }
    QDataStream stream(&file);
    stream.setVersion(QDataStream::Qt_3_3);
    const HRESULT result = loadFromStream(stream, false);
    file.close();
    if (result != S_OK)
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
        QMutexLocker lock(&m_workspaceLock);
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
    if (!m_portAccessor)
        return false;
    const bool afterLoad = form == TPortRemapping::Form::AfterLoad;
    portMappingDlg dialog(this, dorvo::kDialogWindowFlags);
    if (afterLoad)
        dialog.cancelButton()->hide();
    TPortRemapping remapping(*m_portAccessor);
    for (int direction : {TMIDIPortAccessor::kInput, TMIDIPortAccessor::kOutput}) {
        const TPortRemapping::Lists lists = remapping.prepare(direction, form);
        dialog.fill(direction, lists.systemNames, lists.documentNames, lists.chosen);
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (!accepted && !afterLoad)
        return false;
    const TPortRemapping::Choices choices{dialog.choices(TMIDIPortAccessor::kInput),
                                          dialog.choices(TMIDIPortAccessor::kOutput)};
    if (!remapping.apply(choices, this))
        return false;
    setModified(true);
    return true;
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
    if (!m_setupDlg)
        return false;
    if (!m_setupConnected) {
        connectSetupDialog();
        m_setupDlg->fillDeviceEditorList(catalogue());
        m_setupConnected = true;
    }
    rebuildSetupPorts();
    if (newWorkspace) {
        m_setupDlg->recallDefaultMIDIPorts();
        selectedPortsChanged();
        m_setupDlg->recallDefaultWorkspace();
        newDoc();
        m_setupDlg->resetChangedFlags();
        setModified(false);
        const bool openFailure = m_portAccessor && m_portAccessor->openFailure();
        if (!m_components.isEmpty() && !openFailure)
            return false;
    }
    m_setupDlg->setWindowTitle(tr("Setup for ") + QFileInfo(documentName()).fileName());
    if (m_portAccessor && m_portAccessor->openFailure()) {
        m_setupDlg->markPortsChanged();
        if (newWorkspace) {
            m_setupDlg->showMidiSettingsPage();
            workspacePage = false;
        }
    }
    refreshSetupList();
    if (workspacePage)
        m_setupDlg->showWorkspacePage();
    return true;
}

void ApplicationWindow::connectSetupDialog() {
    connect(m_setupDlg, &SetupDlg::workspaceUpdate, this, &ApplicationWindow::newDoc);
    connect(m_setupDlg, &SetupDlg::portSetupUpdate, this, &ApplicationWindow::selectedPortsChanged);
    connect(m_setupDlg, &SetupDlg::doHelp, this, qOverload<QWidget*>(&ApplicationWindow::doHelp));
    connect(m_setupDlg, &SetupDlg::showWarningMsg, this, &ApplicationWindow::showWarningMsg);
    connect(m_setupDlg, &SetupDlg::doUpdatePortsList, this, &ApplicationWindow::updateSystemPorts);
}

void ApplicationWindow::rebuildSetupPorts() {
    if (!m_portAccessor)
        return;
    const TVirtualMIDIPortAccessor::ThruSettings thru = m_portAccessor->thruSettings();
    for (int direction : {TMIDIPortAccessor::kInput, TMIDIPortAccessor::kOutput}) {
        QList<QUuid> ids = m_portAccessor->systemIds(direction);
        QStringList texts = m_portAccessor->displayTexts(direction);
        QList<int> selected = m_portAccessor->currentSelection(direction);
        const int thruPort =
            direction == TMIDIPortAccessor::kInput ? thru.inputPort : thru.outputPort;
        m_setupDlg->rebuildMIDIPorts(direction, ids, texts, selected, thruPort);
    }
    m_setupDlg->setMIDIThruCheck(thru.on);
}

void ApplicationWindow::selectedPortsChanged() {
    if (!m_setupDlg || !m_portAccessor)
        return;
    QWidget* parent = m_setupDlg->isVisible() ? static_cast<QWidget*>(m_setupDlg) : this;
    if (m_portAccessor->applyPortSelection(m_setupDlg->portSelection(), m_setupDlg->thruSettings(),
                                           parent))
        setModified(true);
    showThruToolBar(m_portAccessor->thruSettings().on);
}

void ApplicationWindow::showThruToolBarOnly(bool thruOn) {
    if (m_thruToolBar)
        m_thruToolBar->setVisible(thruOn);
}

void ApplicationWindow::showThruToolBar(bool thruOn) {
    if (!m_thruToolBar || !m_thruChannel)
        return;
    if (!thruOn) {
        m_thruToolBar->hide();
        return;
    }
    m_thruToolBar->show();
    // The routes just made start on their own channels; the box's value is handed over again.
    const int channel = m_thruChannel->value();
    m_thruChannel->setValue(0);
    m_thruChannel->setValue(channel);
}

void ApplicationWindow::updateSystemPorts() {
    if (!m_portAccessor)
        return;
    m_portAccessor->updateSystemPorts();
    if (!m_setupDlg)
        return;
    const TVirtualMIDIPortAccessor::ThruSettings thru = m_portAccessor->thruSettings();
    for (int direction : {TMIDIPortAccessor::kInput, TMIDIPortAccessor::kOutput}) {
        QList<QUuid> ids = m_portAccessor->systemIds(direction);
        QStringList texts = m_portAccessor->displayTexts(direction);
        QList<int> selected;
        const int thruPort =
            direction == TMIDIPortAccessor::kInput ? thru.inputPort : thru.outputPort;
        m_setupDlg->rebuildMIDIPorts_forUpdate(direction, ids, texts, selected, thruPort);
    }
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
}

void ApplicationWindow::aboutToQuit() {
    forgetCatalogue();
}

void ApplicationWindow::showWarningMsg(QString& text) {
    QWidget* parent =
        (m_setupDlg && m_setupDlg->isVisible()) ? static_cast<QWidget*>(m_setupDlg) : this;
    TUserMessage::warning(parent, text);
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
    if (m_thruToolBar)
        m_thruToolBar->close();
    QCoreApplication::processEvents();
    event->accept();
}

// ---- Windows, help, about ---------------------------------------------------------------------

void ApplicationWindow::windowsMenuAboutToShow() {
    if (!m_ready)
        return;
    m_windowsMenu->clear();
    QMutexLocker lock(&m_workspaceLock);
    for (CVEXWrapper* component : std::as_const(m_components)) {
        if (!component->hasEditorWindow())
            continue;
        QAction* entry = m_windowsMenu->addAction(component->instanceName());
        connect(entry, &QAction::triggered, component, &CVEXWrapper::propPageShowByMenu);
    }
}

void ApplicationWindow::setAppWindowActive() {
    bringWindowForward(this);
}

void ApplicationWindow::bringWindowForward(QWidget* window) {
    if (!window)
        return;
    if (window->isMinimized()) {
        if (window->windowState() & Qt::WindowMaximized)
            window->showMaximized();
        else
            window->showNormal();
        return;
    }
    window->raise();
    window->activateWindow();
}

void ApplicationWindow::doHelp() {
    if (!m_ready)
        return;
    doHelp(this);
}

void ApplicationWindow::doHelp(QWidget* parent) {
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/Dorvo.pdf");
    // A viewer started on a missing file would fail out of our sight; the user is told here.
    const bool opened =
        QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    if (!opened)
        TUserMessage::warning(parent, tr("Failed to load \"%1\" help document.\n\nPlease try "
                                         "re-installing the package.\n")
                                          .arg(path));
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
    QMenu* menu = component ? createComponentMenu(component, this) : createSpaceMenu(this);
    QAction* chosen = menu->exec(position);
    if (component)
        actOnComponentMenu(component, chosen);
    else
        actOnSpaceMenu(chosen);
    delete menu;
}

QMenu* ApplicationWindow::createComponentMenu(CVEXWrapper* component, QWidget* parent) {
    auto* menu = new QMenu(parent);
    const bool editorOpen = component->hasEditorWindow();
    const bool canSynchronize = component->hasSyncInterface();
    addChoice(menu, editorOpen ? tr("Show") : tr("Open"), ChoiceShowEditor);
    addChoice(menu, tr("Close"), ChoiceCloseEditor)->setEnabled(editorOpen);
    menu->addSeparator();
    addChoice(menu, tr("Synchronize..."), ChoiceSynchronize)->setEnabled(canSynchronize);
    addChoice(menu, tr("Recall Enabled"), ChoiceRecallEnabled, component->recallEnabled())
        ->setEnabled(canSynchronize);
    if (canSynchronize)
        addRecallSubmenu(menu, component);
    menu->addSeparator();
    addChoice(menu, tr("Remove..."), ChoiceRemove);
    return menu;
}

void ApplicationWindow::addRecallSubmenu(QMenu* menu, CVEXWrapper* component) {
    DWORD selectionMode = 0;
    LPWSTR names = nullptr;
    const HRESULT result =
        component->getRecallInfo(&selectionMode, &names, nullptr, nullptr, nullptr);
    const QString text = (result == S_OK && names) ? QString::fromUtf16(names) : QString();
    // Only a success hands the text over.
    if (SUCCEEDED(result))
        CoTaskMemFree(names);
    const auto entries = recallMenuEntries(text);
    if (entries.isEmpty())
        return;
    QMenu* submenu = menu->addMenu(tr("Configure Recall"));
    const DWORD mask = component->recallMask();
    for (const auto& [name, value] : entries) {
        const bool checked = value == 0 ? mask == 0 : (mask & value) != 0;
        QAction* entry = addChoice(submenu, name, ChoiceConfigureRecall, checked);
        entry->setProperty(kRecallValue, uint(value));
        entry->setProperty(kSelectionMode, uint(selectionMode));
    }
}

QList<QPair<QString, DWORD>> ApplicationWindow::recallMenuEntries(const QString& itemNames) {
    QList<QPair<QString, DWORD>> entries;
    const QStringList parts = itemNames.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    // A mask has 32 bits: names past the last bit have no value to stand for.
    for (int n = 0; n < parts.size() && n <= 32; ++n)
        entries.append({parts[n], n == 0 ? DWORD(0) : DWORD(1u << (n - 1))});
    return entries;
}

DWORD ApplicationWindow::recallMaskAfterChoice(DWORD mask, DWORD selectionMode, DWORD value) {
    if ((selectionMode & kToggleSelection) && value != 0)
        return mask ^ value;
    return value;
}

void ApplicationWindow::actOnComponentMenu(CVEXWrapper* component, QAction* chosen) {
    if (!chosen || !component)
        return;
    switch (chosen->data().toInt()) {
    case ChoiceShowEditor:
        component->showEditor();
        break;
    case ChoiceCloseEditor:
        component->closeEditor(false);
        break;
    case ChoiceSynchronize:
        TSynchronizer(*this).selectAndConfirm(this, component, tr("Confirm Synchronization"), true,
                                              false);
        break;
    case ChoiceRecallEnabled: {
        const bool enabled = !chosen->property(kWasChecked).toBool();
        if (enabled != component->recallEnabled()) {
            component->setRecallEnabled(enabled);
            component->refreshIcon();
        }
        setModified(true);
        break;
    }
    case ChoiceConfigureRecall:
        setModified(true);
        component->setRecallMask(recallMaskAfterChoice(component->recallMask(),
                                                       chosen->property(kSelectionMode).toUInt(),
                                                       chosen->property(kRecallValue).toUInt()));
        break;
    case ChoiceRemove:
        removeComponent(component, true);
        QTimer::singleShot(100, this, &ApplicationWindow::rearrangeIcons);
        break;
    default:
        break;
    }
}

QMenu* ApplicationWindow::createSpaceMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const bool leftToRight = !m_iconView || m_iconView->flow() == QListView::LeftToRight;
    addChoice(menu, tr("Modify Workspace..."), ChoiceModifyWorkspace);
    addChoice(menu, tr("Arrange by Name"), ChoiceArrangeByName, m_sorting);
    menu->addSeparator();
    addChoice(menu, tr("Left To Right"), ChoiceLeftToRight, leftToRight);
    addChoice(menu, tr("Top To Bottom"), ChoiceTopToBottom, !leftToRight);
    return menu;
}

void ApplicationWindow::actOnSpaceMenu(QAction* chosen) {
    if (!chosen || !m_iconView)
        return;
    const int choice = chosen->data().toInt();
    switch (choice) {
    case ChoiceModifyWorkspace:
        openSetupDialog(false, true);
        break;
    case ChoiceArrangeByName:
        setModified(true);
        m_sorting = !m_sorting;
        QTimer::singleShot(100, this, &ApplicationWindow::rearrangeIcons);
        break;
    case ChoiceLeftToRight:
    case ChoiceTopToBottom: {
        const QListView::Flow flow =
            choice == ChoiceLeftToRight ? QListView::LeftToRight : QListView::TopToBottom;
        if (m_iconView->flow() != flow) {
            setModified(true);
            m_iconView->setFlow(flow);
        }
        break;
    }
    default:
        break;
    }
}

void ApplicationWindow::handle_itemRenamed(QListWidgetItem* item) {
    auto* component = dynamic_cast<CVEXWrapper*>(item);
    if (!DORVO_CHECK_TEXT(component, "anObject"))
        return;
    const QString text = item->text();
    if (text == component->instanceName())
        return;
    if (text.isEmpty()) {
        rejectRename(component, tr("Empty name is not allowed.\nThis change will be ignored."));
        return;
    }
    if (nameInUse(text)) {
        rejectRename(component, tr("Individual Components must have unique names.\nThis change "
                                   "will be ignored."));
        return;
    }
    setModified(true);
    component->rename(text);
    rearrangeIcons();
}

void ApplicationWindow::rejectRename(CVEXWrapper* component, const QString& message) {
    TUserMessage::warning(this, message);
    component->setText(component->instanceName());
}

// ---- MIDI Thru tool bar ---------------------------------------------------------------------

void ApplicationWindow::convertChChanged(int channel) {
    if (m_hostObject && channel >= 0)
        m_hostObject->setThruChannel(DWORD(channel));
}

void ApplicationWindow::toolBarPositionChanged(QDockWidget* toolBar) {
    if (!toolBar)
        return;
    if (!toolBar->isFloating()) {
        m_toolBarText->setText(tr("MIDI Thru Ch."));
        toolBar->toggleViewAction()->setVisible(false);
        return;
    }
    if (toolBar->windowFlags() & Qt::WindowStaysOnTopHint)
        return;
    // New window flags while the user still drags the bar would end the drag; the bar becomes
    // a stays-on-top window once it is let go.
    if (QApplication::mouseButtons() != Qt::NoButton) {
        QTimer::singleShot(50, this, [this, toolBar] { toolBarPositionChanged(toolBar); });
        return;
    }
    const QPoint position = toolBar->pos();
    toolBar->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::FramelessWindowHint |
                            Qt::WindowStaysOnTopHint);
    toolBar->move(position);
    m_toolBarText->setText(tr("Ch."));
    toolBar->resize(toolBar->minimumSizeHint());
    toolBar->show();
}

// ---- What the host object asks ----------------------------------------------------------------

QList<IMPEventFilter*> ApplicationWindow::componentEventFilters() const {
    QList<IMPEventFilter*> filters;
    QMutexLocker lock(&m_workspaceLock);
    for (const CVEXWrapper* component : m_components)
        if (IMPEventFilter* filter = component->eventFilterInterface())
            filters.append(filter);
    return filters;
}

std::optional<QString> ApplicationWindow::componentInstanceName(const IUnknown* component) const {
    QMutexLocker lock(&m_workspaceLock);
    for (const CVEXWrapper* wrapper : m_components)
        if (component && wrapper->component() == component)
            return wrapper->instanceName();
    return std::nullopt;
}
