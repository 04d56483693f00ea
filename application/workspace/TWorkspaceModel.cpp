#include "TWorkspaceModel.h"

#include "ClientIUnknown.h"
#include "DorvoAssert.h"
#include "TComponentInstance.h"
#include "TVirtualMIDIPortAccessor.h"
#include "TWinMIDIPortAccessor.h"

#include <dorvo/winreg.h>

#include <QMutexLocker>
#include <QTimer>
#include <mutex>

namespace {

// Devices that come and go one after another are taken together.
constexpr int kDeviceSettleMs = 250;
// The model that hears of plugged and pulled devices: the MIDI layer tells one listener.
TWorkspaceModel* deviceListener = nullptr;
// The same for problems with the registry's files.
TWorkspaceModel* registryListener = nullptr;

} // namespace

TWorkspaceModel::TWorkspaceModel(QObject* parent) : QObject(parent) {
    m_hostObject = new (std::nothrow) ClientIUnknown;
    if (!DORVO_CHECK_TEXT(m_hostObject, "m_hostObject"))
        return;
    m_hostObject->setWorkspaceWindow(this);
    listenForRegistryProblems();
    createPorts();
    listenForDeviceChanges();
}

TWorkspaceModel::TWorkspaceModel(const OuterApplication& outer, QObject* parent) : QObject(parent) {
    m_hostObject = new (std::nothrow) ClientIUnknown(ClientIUnknown::PortOwner::OuterApplication);
    if (!DORVO_CHECK_TEXT(m_hostObject, "m_hostObject"))
        return;
    m_hostObject->setWorkspaceWindow(this);
    m_hostObject->connect(outer.host, outer.output);
    listenForRegistryProblems();
    // The outer application tells of its port changes through its notifications.
    createPorts();
}

void TWorkspaceModel::listenForRegistryProblems() {
    registryListener = this;
    // Any thread; the destructor ends the calls, and a call already queued dies with the model.
    DorvoRegSetProblemHandler(
        [](const char* message, void* context) {
            auto* model = static_cast<TWorkspaceModel*>(context);
            const QString problem = QString::fromUtf8(message);
            QMetaObject::invokeMethod(
                model, [model, problem] { model->reportRegistryProblem(problem); },
                Qt::QueuedConnection);
        },
        this);
}

void TWorkspaceModel::reportRegistryProblem(const QString& problem) {
    if (m_registryProblemsShown.contains(problem))
        return;
    m_registryProblemsShown.insert(problem);
    emit warning(tr("The registry could not be read completely:\n%1\n\nInstalled components may "
                    "be missing from the list. The file was left as it is; once it is mended or "
                    "removed, the components can be registered again.")
                     .arg(problem));
}

void TWorkspaceModel::createPorts() {
    // Without the machine's port list there are no ports to offer, and components list none.
    TMIDIPortAccessor* machinePorts = m_hostObject->machinePortAccessor();
    if (!machinePorts)
        return;
    m_ports = new (std::nothrow) TVirtualMIDIPortAccessor(m_hostObject, machinePorts);
    if (!m_ports)
        return;
    m_hostObject->setPortListSource(m_ports);
    m_ports->setWarningHandler([this](const QString& text) { emit warning(text); });
}

void TWorkspaceModel::listenForDeviceChanges() {
    if (!m_ports)
        return;
    m_deviceSettle = new QTimer(this);
    m_deviceSettle->setSingleShot(true);
    m_deviceSettle->setInterval(kDeviceSettleMs);
    connect(m_deviceSettle, &QTimer::timeout, this, &TWorkspaceModel::devicesChanged);
    deviceListener = this;
    // Called on a thread of the MIDI layer; the destructor ends the calls before the timer goes.
    QTimer* timer = m_deviceSettle;
    TWinMIDIPortAccessor::setDevicesChangedHandler([timer] {
        QMetaObject::invokeMethod(timer, qOverload<>(&QTimer::start), Qt::QueuedConnection);
    });
}

void TWorkspaceModel::takeDeviceChangesLater() {
    if (m_deviceSettle)
        m_deviceSettle->start();
}

TWorkspaceModel::~TWorkspaceModel() {
    if (deviceListener == this) {
        TWinMIDIPortAccessor::setDevicesChangedHandler({});
        deviceListener = nullptr;
    }
    if (registryListener == this) {
        DorvoRegSetProblemHandler(nullptr, nullptr);
        registryListener = nullptr;
    }
    // Every instance goes while the host object still lives.
    clear();
    if (m_hostObject) {
        m_hostObject->setWorkspaceWindow(nullptr);
        {
            // A component that outlives the model must not list ports from a deleted accessor.
            std::unique_lock<std::recursive_mutex> lock;
            if (m_hostObject->portListLock())
                lock = std::unique_lock<std::recursive_mutex>(*m_hostObject->portListLock());
            m_hostObject->setPortListSource(nullptr);
            m_hostObject->freeCachedPortLists();
        }
        m_hostObject->Release();
        m_hostObject = nullptr;
    }
    delete m_ports;
    m_ports = nullptr;
    m_catalogue.forget();
}

TComponentInstance* TWorkspaceModel::add(const TCatalogueEntry& entry, const QString& name) {
    auto* instance = new TComponentInstance(entry, name, this);
    // Listed before it connects: a component that names its ports in MPConnect is known by its
    // instance name already.
    {
        QMutexLocker lock(&m_lock);
        m_instances.append(instance);
    }
    IMPAsyncOutput* output = m_hostObject ? m_hostObject->asyncOutput() : nullptr;
    if (!instance->connectComponent(m_hostObject, output)) {
        {
            QMutexLocker lock(&m_lock);
            m_instances.removeOne(instance);
        }
        destroyInstance(instance);
        return nullptr;
    }
    if (m_hostObject)
        m_hostObject->registerEventFilter(instance->eventFilterInterface());
    emit instanceAdded(instance);
    return instance;
}

void TWorkspaceModel::takeOut(TComponentInstance* instance) {
    if (m_hostObject)
        m_hostObject->removeEventFilter(instance->eventFilterInterface());
    {
        QMutexLocker lock(&m_lock);
        m_instances.removeOne(instance);
    }
    emit instanceRemoving(instance);
}

void TWorkspaceModel::remove(TComponentInstance* instance) {
    if (!contains(instance))
        return;
    takeOut(instance);
    // The window deletes the item that showed the instance later as well, and that item's
    // worker and editor still call into the component until then.
    connect(instance, &QObject::destroyed, this,
            [this, identity = instance->component()] { dropComponentPorts(identity); });
    instance->deleteLater();
}

void TWorkspaceModel::clear() {
    for (TComponentInstance* instance : instances()) {
        takeOut(instance);
        destroyInstance(instance);
    }
    // Instances taken out but not yet destroyed go now as well.
    for (TComponentInstance* instance :
         findChildren<TComponentInstance*>(Qt::FindDirectChildrenOnly))
        destroyInstance(instance);
}

void TWorkspaceModel::destroyInstance(TComponentInstance* instance) {
    const IUnknown* identity = instance->component();
    delete instance;
    // A component that goes leaves no port registrations behind.
    dropComponentPorts(identity);
}

void TWorkspaceModel::dropComponentPorts(const IUnknown* component) {
    if (component && m_hostObject && m_hostObject->clientServices())
        m_hostObject->clientServices()->removeComponentPorts(component);
}

QList<TComponentInstance*> TWorkspaceModel::instances() const {
    QMutexLocker lock(&m_lock);
    return m_instances;
}

bool TWorkspaceModel::contains(const TComponentInstance* instance) const {
    QMutexLocker lock(&m_lock);
    return instance && m_instances.contains(instance);
}

bool TWorkspaceModel::nameInUse(const QString& name) const {
    QMutexLocker lock(&m_lock);
    for (const TComponentInstance* instance : m_instances)
        if (instance->instanceName() == name)
            return true;
    return false;
}

TWorkspaceModel::RenameResult TWorkspaceModel::rename(TComponentInstance* instance,
                                                      const QString& name) {
    if (!instance || name == instance->instanceName())
        return RenameResult::Unchanged;
    if (name.isEmpty())
        return RenameResult::Empty;
    if (nameInUse(name))
        return RenameResult::NameInUse;
    {
        QMutexLocker lock(&m_lock);
        instance->setInstanceName(name);
    }
    if (m_hostObject && m_hostObject->clientServices())
        m_hostObject->clientServices()->renameComponentPorts(instance->component());
    emit instanceRenamed(instance);
    return RenameResult::Renamed;
}

bool TWorkspaceModel::anyComponentDirty() const {
    QMutexLocker lock(&m_lock);
    for (TComponentInstance* instance : m_instances) {
        IPersistStream* persistence = instance->persistence();
        if (persistence && persistence->IsDirty() == S_OK)
            return true;
    }
    return false;
}

QList<IMPEventFilter*> TWorkspaceModel::componentEventFilters() const {
    QList<IMPEventFilter*> filters;
    QMutexLocker lock(&m_lock);
    for (const TComponentInstance* instance : m_instances)
        if (IMPEventFilter* filter = instance->eventFilterInterface())
            filters.append(filter);
    return filters;
}

std::optional<QString> TWorkspaceModel::componentInstanceName(const IUnknown* component) const {
    QMutexLocker lock(&m_lock);
    for (const TComponentInstance* instance : m_instances)
        if (component && instance->component() == component)
            return instance->instanceName();
    return std::nullopt;
}
