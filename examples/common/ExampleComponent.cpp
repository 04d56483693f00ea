#include "ExampleComponent.h"

#include "StateFormat.h"

#include <QBuffer>
#include <QUuid>

#include <algorithm>
#include <cstring>

namespace examples {

namespace {

// The receive thread's queue holds one event; this only bounds a misbehaving one.
constexpr int kMaxEventsPerBatch = 1024;
// Every port use of a component has the index 0; the direction tells them apart.
constexpr DWORD kPortUsageIndex = 0;

QUuid toUuid(const GUID& id) {
    return QUuid(id.Data1, id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3],
                 id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
}

GUID toGuid(const QUuid& id) {
    GUID guid{id.data1, id.data2, id.data3, {}};
    std::memcpy(guid.Data4, id.data4, sizeof guid.Data4);
    return guid;
}

void prepareStream(QDataStream& stream) {
    stream.setVersion(QDataStream::Qt_6_0);
    stream.setByteOrder(QDataStream::BigEndian);
}

} // namespace

bool isNullGuid(const GUID& id) {
    return IsEqualGUID(id, GUID_NULL);
}

ExampleComponent::ExampleComponent(const ComponentClass& componentClass)
    : m_class(componentClass) {}

ExampleComponent::~ExampleComponent() = default;

void* ExampleComponent::findInterface(REFIID iid) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMPInitialise) ||
        IsEqualIID(iid, *m_class.privateIid))
        return static_cast<IMPInitialise*>(this);
    if (IsEqualIID(iid, IID_IMPNotificationSink))
        return static_cast<IMPNotificationSink*>(this);
    if (IsEqualIID(iid, IID_IMPEventFilter))
        return static_cast<IMPEventFilter*>(this);
    if (IsEqualIID(iid, IID_ISpecifyPropertyPages))
        return static_cast<ISpecifyPropertyPages*>(this);
    if (IsEqualIID(iid, IID_IPersistStream) || IsEqualIID(iid, IID_IPersist))
        return static_cast<IPersistStream*>(this);
    return nullptr;
}

// ---- IMPInitialise ----

HRESULT ExampleComponent::MPConnect(IUnknown* host, IMPAsyncOutput* output, DWORD, DWORD,
                                    DWORD* flags) {
    if (!host || !flags)
        return E_POINTER;
    const HRESULT hr = m_host.connect(host, output, static_cast<IMPNotificationSink*>(this));
    if (FAILED(hr))
        return hr;
    *flags &= MPCONNECT_LIVEINPUT;
    refreshPorts();
    for (int direction : {kInput, kOutput})
        addPortUsage(direction);
    notify(kPortsChanged);
    return S_OK;
}

HRESULT ExampleComponent::MPDisconnect() {
    disconnecting();
    for (int direction : {kInput, kOutput})
        removePortUsage(direction);
    m_host.disconnect();
    return S_OK;
}

// ---- IMPNotificationSink ----

HRESULT ExampleComponent::OnNotify(const MPNOTIFICATION* notification) {
    if (!notification)
        return E_POINTER;
    if (!IsEqualGUID(notification->id, GUID_MPPortListChanged))
        return S_OK;
    refreshPorts();
    // A chosen port that has come back is in use again (one still registered is refused).
    for (int direction : {kInput, kOutput})
        addPortUsage(direction);
    notify(kPortsChanged);
    return S_OK;
}

// ---- IMPEventFilter ----

HRESULT ExampleComponent::FilterEvents(IMPEventQueue* queue, const MPFILTERINFO*) {
    if (!queue)
        return E_POINTER;
    BOOL found = FALSE;
    BOOL more = FALSE;
    MPEVENT event{};
    HRESULT hr = queue->GetFirstEvent(&found, &event, &more, MPEVENT_MASK_ALL);
    for (int count = 0; SUCCEEDED(hr) && found && count < kMaxEventsPerBatch; ++count) {
        Bytes longBytes;
        if (event.type & MPEVENT_MASK_LONG) {
            // The queue hands out a copy of its own for the caller to free.
            if (event.longData)
                longBytes.assign(event.longData, event.longData + event.dataLength);
            CoTaskMemFree(event.longData);
            event.longData = nullptr;
        }
        const DWORD input = m_inputNumber;
        if (input != 0 && event.port == input)
            receive(event, longBytes);
        if (!more)
            break;
        found = FALSE;
        hr = queue->GetNextEvent(&found, &event, &more, MPEVENT_MASK_ALL);
    }
    return S_OK;
}

HRESULT ExampleComponent::GetFilterInfo(DWORD*, DWORD*, DWORD*) {
    return E_NOTIMPL;
}

HRESULT ExampleComponent::FilterSlot5(DWORD) {
    return S_OK;
}

// ---- ISpecifyPropertyPages ----

HRESULT ExampleComponent::GetPages(CAUUID* pages) {
    if (!pages)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems)
        return E_OUTOFMEMORY;
    pages->pElems[0] = *m_class.pageClsid;
    pages->cElems = 1;
    return S_OK;
}

// ---- IPersistStream ----

HRESULT ExampleComponent::GetClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = *m_class.clsid;
    return S_OK;
}

HRESULT ExampleComponent::IsDirty() {
    return m_dirty ? S_OK : S_FALSE;
}

QByteArray ExampleComponent::stateFrame() const {
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        prepareStream(out);
        std::lock_guard lock(m_mutex);
        for (const Choice& choice : m_chosen)
            out << toUuid(choice.id) << choice.name;
        writeState(out);
    }
    return frameState(m_class.magic, m_class.stateVersion, payload);
}

HRESULT ExampleComponent::Save(IStream* stream, BOOL clearDirty) {
    const HRESULT hr = examples::writeState(stream, stateFrame());
    if (SUCCEEDED(hr) && clearDirty)
        m_dirty = false;
    return hr;
}

HRESULT ExampleComponent::Load(IStream* stream) {
    std::uint16_t version = 0;
    QByteArray payload;
    HRESULT hr = examples::readState(stream, m_class.magic, m_class.stateVersion,
                                     m_class.maxStatePayload, &version, &payload);
    if (FAILED(hr))
        return hr;
    QDataStream in(payload);
    prepareStream(in);
    std::array<Choice, 2> loaded;
    for (Choice& choice : loaded) {
        QUuid id;
        in >> id >> choice.name;
        choice.id = toGuid(id);
    }
    if (in.status() != QDataStream::Ok)
        return kStateDamaged;
    hr = readState(in, version);
    if (FAILED(hr))
        return hr;
    for (int direction : {kInput, kOutput}) {
        if (usesDirection(direction))
            choosePort(direction, loaded[direction].id, loaded[direction].name);
    }
    m_dirty = false;
    notify(kValuesChanged | kSettingsChanged | kPortsChanged);
    return S_OK;
}

HRESULT ExampleComponent::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size)
        return E_POINTER;
    size->QuadPart = ULONGLONG(stateFrame().size());
    return S_OK;
}

// ---- Ports ----

bool ExampleComponent::usesDirection(int direction) const {
    return direction == kInput || (direction == kOutput && m_class.usesOutput);
}

std::vector<PortInfo> ExampleComponent::availablePorts(int direction) const {
    std::lock_guard lock(m_mutex);
    return direction == kInput || direction == kOutput ? m_ports[direction]
                                                       : std::vector<PortInfo>{};
}

PortInfo ExampleComponent::chosenPort(int direction) const {
    if (direction != kInput && direction != kOutput)
        return {};
    std::lock_guard lock(m_mutex);
    const Choice& choice = m_chosen[direction];
    PortInfo info{0, choice.id, choice.name};
    if (isNullGuid(choice.id))
        return info;
    for (const PortInfo& port : m_ports[direction]) {
        if (IsEqualGUID(port.id, choice.id)) {
            info.number = port.number;
            break;
        }
    }
    return info;
}

void ExampleComponent::choosePort(int direction, const GUID& id, const QString& name) {
    if (!usesDirection(direction))
        return;
    {
        std::lock_guard lock(m_mutex);
        if (IsEqualGUID(m_chosen[direction].id, id)) {
            m_chosen[direction].name = name;
            return;
        }
    }
    removePortUsage(direction);
    {
        std::lock_guard lock(m_mutex);
        m_chosen[direction] = {id, name};
    }
    addPortUsage(direction);
    updateInputNumber();
    setDirty();
    notify(kPortsChanged);
}

QString ExampleComponent::portUsageName(int direction) const {
    return direction == kInput ? QStringLiteral("MIDI In") : QStringLiteral("MIDI Out");
}

void ExampleComponent::renamePortUsages() {
    for (int direction : {kInput, kOutput}) {
        const PortInfo port = chosenPort(direction);
        if (usesDirection(direction) && !isNullGuid(port.id))
            m_host.setPortUsage(MPPORTUSAGE_RENAME, port.id, portUsageName(direction), identity(),
                                kPortUsageIndex);
    }
}

void ExampleComponent::refreshPorts() {
    std::array<std::vector<PortInfo>, 2> ports = {m_host.portList(0), m_host.portList(1)};
    {
        std::lock_guard lock(m_mutex);
        m_ports = std::move(ports);
    }
    updateInputNumber();
}

void ExampleComponent::updateInputNumber() {
    m_inputNumber = chosenPort(kInput).number;
}

void ExampleComponent::addPortUsage(int direction) {
    const PortInfo port = chosenPort(direction);
    // A port the host does not list cannot be registered; the choice is kept for when it
    // comes back.
    if (usesDirection(direction) && port.number != 0)
        m_host.setPortUsage(MPPORTUSAGE_ADD, port.id, portUsageName(direction), identity(),
                            kPortUsageIndex);
}

void ExampleComponent::removePortUsage(int direction) {
    const PortInfo port = chosenPort(direction);
    if (usesDirection(direction) && !isNullGuid(port.id))
        m_host.setPortUsage(MPPORTUSAGE_REMOVE, port.id, QString(), identity(), kPortUsageIndex);
}

// ---- Pages ----

void ExampleComponent::addListener(ComponentListener* listener) {
    std::lock_guard lock(m_listenersMutex);
    m_listeners.push_back(listener);
}

void ExampleComponent::removeListener(ComponentListener* listener) {
    std::lock_guard lock(m_listenersMutex);
    std::erase(m_listeners, listener);
}

void ExampleComponent::notify(unsigned changes) {
    // Held while the listeners run, so that one that removes itself waits for its last call.
    std::lock_guard lock(m_listenersMutex);
    for (ComponentListener* listener : m_listeners)
        listener->componentChanged(changes);
}

} // namespace examples
