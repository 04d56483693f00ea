// The ports of the outer application, in the component build: the same tables as the machine's
// accessor, filled from the outer application's port lists instead of from devices. The client
// services fill them (under their lock) when they connect and when the outer application says
// that its ports changed; the Workspace's port view reads them on the GUI thread, so every read
// takes the same lock.
#pragma once

#include "TMIDIPortAccessor.h"

#include <functional>
#include <mutex>

class TProxyMIDIPortAccessor : public TMIDIPortAccessor {
public:
    // lock guards the tables; refill reads them again from the outer application (rebuild).
    TProxyMIDIPortAccessor(std::recursive_mutex& lock, std::function<void()> refill);
    ~TProxyMIDIPortAccessor() override;

    void portIds(int direction, QList<QUuid>& ids) override;
    QString portEntry(const QUuid& id) override;
    QString portName(const QUuid& id) override;
    int portNumber(const QUuid& id) override;
    void fillPortData(int direction, MPPORTLIST* pPortData) override;
    void rebuild() override;

    // Under the lock: replaces the direction's table by the outer application's list, whose
    // entries are read as they stand (the caller frees the list).
    void takePortList(int direction, const MPPORTLIST& list);
    // Under the lock.
    bool knows(int direction, const QUuid& id) const;

private:
    std::recursive_mutex& m_lock;
    std::function<void()> m_refill;
};
