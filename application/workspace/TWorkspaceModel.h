// The Workspace without its window: the host object that every component receives, the
// component instances in Workspace order with unique names, the catalogue of installed
// components and the Workspace's MIDI ports. Views follow it through its signals; the host
// object asks it for the components' event filters and names (from any thread, hence the lock).
#pragma once

#include "TComponentCatalogue.h"
#include "TWorkspaceComponents.h"

#include <QList>
#include <QObject>
#include <QRecursiveMutex>
#include <QSet>
#include <QString>

class ClientIUnknown;
class QTimer;
class TComponentInstance;
class TVirtualMIDIPortAccessor;

class TWorkspaceModel : public QObject, public TWorkspaceComponents {
    Q_OBJECT
public:
    // What the component build's outer application gives its Workspace: its host object and
    // its output (either may be null).
    struct OuterApplication {
        IUnknown* host = nullptr;
        IMPAsyncOutput* output = nullptr;
    };

    // GUI thread. Creates the host object and, when the machine's ports can be listed, the
    // Workspace's port accessor.
    explicit TWorkspaceModel(QObject* parent = nullptr);
    // GUI thread. The same over the outer application's ports, time and output instead of the
    // machine's.
    explicit TWorkspaceModel(const OuterApplication& outer, QObject* parent = nullptr);
    // Removes every instance, then detaches the host object from the model and the ports.
    ~TWorkspaceModel() override;

    ClientIUnknown* hostObject() const { return m_hostObject; }
    // Null when the machine's ports cannot be listed.
    TVirtualMIDIPortAccessor* ports() const { return m_ports; }
    TComponentCatalogue& catalogue() { return m_catalogue; }

    // Creates the component of the entry under the name and connects it; null (nothing added)
    // when that fails. Names are not checked here: the callers decide what a clash means.
    TComponentInstance* add(const TCatalogueEntry& entry, const QString& name);
    // Takes the instance out of the Workspace at once; it is destroyed when control returns to
    // the event loop, after the views that showed it (instanceRemoving) let go.
    void remove(TComponentInstance* instance);
    // Takes every instance out and destroys them now, in Workspace order, together with those
    // removed but not yet destroyed: every view must have let go of them before.
    void clear();

    QList<TComponentInstance*> instances() const;
    bool contains(const TComponentInstance* instance) const;
    // True when an instance has exactly this name (case counts).
    bool nameInUse(const QString& name) const;

    enum class RenameResult { Renamed, Unchanged, Empty, NameInUse };
    // An empty name or one in use is refused and changes nothing. The outer application hears
    // of the new name on every port the component uses.
    RenameResult rename(TComponentInstance* instance, const QString& name);
    // True when a component says its own state changed since it was last saved.
    bool anyComponentDirty() const;

    // What the host object asks.
    QList<IMPEventFilter*> componentEventFilters() const override;
    std::optional<QString> componentInstanceName(const IUnknown* component) const override;

signals:
    void instanceAdded(TComponentInstance* instance);
    // Before the instance goes; it is still connected.
    void instanceRemoving(TComponentInstance* instance);
    void instanceRenamed(TComponentInstance* instance);
    // A message for the user from the model's own work: ports that could not be opened, a
    // registry file that could not be read (each problem once).
    void warning(const QString& text);
    // Devices were plugged or pulled: the machine's ports should be listed again. Comes once
    // the changes have settled (a hub with several ports changes them one after another).
    void devicesChanged();

public:
    // Signals devicesChanged again after the settling time (the moment was not right).
    void takeDeviceChangesLater();

private:
    void createPorts();
    void listenForDeviceChanges();
    void listenForRegistryProblems();
    void reportRegistryProblem(const QString& problem);
    void takeOut(TComponentInstance* instance);
    void dropComponentPorts(const IUnknown* component);
    void destroyInstance(TComponentInstance* instance);

    ClientIUnknown* m_hostObject = nullptr;
    TVirtualMIDIPortAccessor* m_ports = nullptr;
    TComponentCatalogue m_catalogue;
    QList<TComponentInstance*> m_instances;
    mutable QRecursiveMutex m_lock;
    QTimer* m_deviceSettle = nullptr;
    QSet<QString> m_registryProblemsShown;
};
