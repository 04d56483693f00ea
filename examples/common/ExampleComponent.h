// What every example component does the same way: connection to the host and its notifications,
// the chosen MIDI ports (registered with the host under the component's own port names), the
// event filter for the chosen input, the property page class, and the saved state in a
// versioned frame. A component adds its own state, what it does with received events, and its
// page.
#pragma once

#include "ComObject.h"
#include "HostConnection.h"
#include "SysexBytes.h"

#include <dorvo/dorvo2.h>

#include <QDataStream>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace examples {

// What changed, for the pages that show a component.
enum Change : unsigned {
    kPortsChanged = 1,    // the host's port list or the component's choice
    kValuesChanged = 2,   // the component's own values
    kSettingsChanged = 4, // the component's settings
    kActivity = 8,        // something arrived, was sent or finished
};

class ComponentListener {
public:
    // Any thread, without the component's lock held: post the work to your own thread.
    virtual void componentChanged(unsigned changes) = 0;

protected:
    ~ComponentListener() = default;
};

struct ComponentClass {
    const CLSID* clsid;
    const CLSID* pageClsid;
    const IID* privateIid; // answered only by this library's component, for its page
    char magic[4];         // of the saved state
    std::uint16_t stateVersion;
    std::uint32_t maxStatePayload;
    bool usesOutput; // every component listens on an input port; some also send
};

class ExampleComponent : public ComObject,
                         public IMPInitialise,
                         public IMPNotificationSink,
                         public IMPEventFilter,
                         public ISpecifyPropertyPages,
                         public IPersistStream {
public:
    static constexpr int kInput = 0;
    static constexpr int kOutput = 1;

    explicit ExampleComponent(const ComponentClass& componentClass);
    ~ExampleComponent() override;

    // The component behind the pointer that the private IID gave.
    static ExampleComponent* fromPrivateInterface(void* pointer) {
        return static_cast<ExampleComponent*>(static_cast<IMPInitialise*>(pointer));
    }

    EXAMPLES_IUNKNOWN

    // IMPInitialise (GUI thread).
    STDMETHOD(MPConnect)
    (IUnknown* host, IMPAsyncOutput* output, DWORD a3, DWORD a4, DWORD* flags) override;
    STDMETHOD(MPDisconnect)() override;
    // IMPNotificationSink (GUI thread).
    STDMETHOD(OnNotify)(const MPNOTIFICATION* notification) override;
    // IMPEventFilter (MIDI receive thread).
    STDMETHOD(FilterEvents)(IMPEventQueue* queue, const MPFILTERINFO* info) override;
    STDMETHOD(GetFilterInfo)(DWORD* a, DWORD* b, DWORD* c) override;
    STDMETHOD(FilterSlot5)(DWORD a) override;
    // ISpecifyPropertyPages (GUI thread).
    STDMETHOD(GetPages)(CAUUID* pages) override;
    // IPersistStream (GUI thread).
    STDMETHOD(GetClassID)(CLSID* clsid) override;
    STDMETHOD(IsDirty)() override;
    STDMETHOD(Load)(IStream* stream) override;
    STDMETHOD(Save)(IStream* stream, BOOL clearDirty) override;
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) override;

    // ---- Ports ----
    bool usesDirection(int direction) const;
    // Any thread: the host's ports of the direction as last read.
    std::vector<PortInfo> availablePorts(int direction) const;
    // Any thread: the chosen port; number 0 when none is chosen or the host lacks it now.
    PortInfo chosenPort(int direction) const;
    // GUI thread: uses another port (a null id for none) and tells the host.
    void choosePort(int direction, const GUID& id, const QString& name);

    // ---- Pages ----
    void addListener(ComponentListener* listener);
    void removeListener(ComponentListener* listener);

protected:
    void* findInterface(REFIID iid) override;
    // The host's handle of the component: the IMPInitialise pointer it was created for.
    IUnknown* identity() { return static_cast<IMPInitialise*>(this); }
    const HostConnection& host() const { return m_host; }
    // Without m_mutex held.
    void notify(unsigned changes);
    void setDirty() { m_dirty = true; }

    // The name under which the component uses its port of the direction. Call
    // renamePortUsages when it changes.
    virtual QString portUsageName(int direction) const;
    void renamePortUsages();

    // MIDI receive thread: an event from the chosen input port; longBytes holds a long event's
    // bytes (after the F0). Without m_mutex held.
    virtual void receive(const MPEVENT& event, const Bytes& longBytes) = 0;
    // GUI thread, under m_mutex: the component's own part of the saved state.
    virtual void writeState(QDataStream& out) const = 0;
    // GUI thread: reads the own part; applies it only when all of it is sound, else leaves the
    // component as it was and fails.
    virtual HRESULT readState(QDataStream& in, std::uint16_t version) = 0;
    // GUI thread: before the component lets go of the host (end running work here).
    virtual void disconnecting() {}

    // Guards the ports and the component's own state.
    mutable std::mutex m_mutex;

private:
    struct Choice {
        GUID id{};
        QString name;
    };

    QByteArray stateFrame() const;
    void refreshPorts();
    void updateInputNumber();
    void addPortUsage(int direction);
    void removePortUsage(int direction);

    const ComponentClass m_class;
    HostConnection m_host;
    std::array<std::vector<PortInfo>, 2> m_ports;
    std::array<Choice, 2> m_chosen;
    std::atomic<DWORD> m_inputNumber{0};
    std::atomic<bool> m_dirty{false};

    std::mutex m_listenersMutex;
    std::vector<ComponentListener*> m_listeners;
};

bool isNullGuid(const GUID& id);

} // namespace examples
