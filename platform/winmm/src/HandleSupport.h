// What the input and output handles share: the table that turns handle values into objects (so
// that a stale or made-up handle is refused, never followed), and the checks on headers and open
// flags.
#pragma once

#include "Backend.h"

#include <dorvo/mmsystem.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace dorvo::winmm {

// A value for a new handle of either direction: never null and never used twice in a process,
// so that a closed handle or one of the other direction is not mistaken for an open one.
std::uintptr_t newHandleValue();

template <class Handle> class HandleTable {
public:
    void insert(std::uintptr_t value, std::shared_ptr<Handle> handle) {
        std::lock_guard lock(m_mutex);
        m_handles[value] = std::move(handle);
    }
    std::shared_ptr<Handle> find(const void* value) const {
        std::lock_guard lock(m_mutex);
        const auto it = m_handles.find(reinterpret_cast<std::uintptr_t>(value));
        return it == m_handles.end() ? nullptr : it->second;
    }
    void remove(const void* value) {
        std::lock_guard lock(m_mutex);
        m_handles.erase(reinterpret_cast<std::uintptr_t>(value));
    }

private:
    mutable std::mutex m_mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<Handle>> m_handles;
};

// The header flags are read by the application's threads while ours change them.
inline DWORD headerFlags(const MIDIHDR* header) {
    return std::atomic_ref<DWORD>(const_cast<MIDIHDR*>(header)->dwFlags).load();
}
inline void changeHeaderFlags(MIDIHDR* header, DWORD set, DWORD clear) {
    std::atomic_ref<DWORD> flags(header->dwFlags);
    DWORD old = flags.load();
    while (!flags.compare_exchange_weak(old, (old & ~clear) | set)) {
    }
}

// A header pointer and size that the functions may use (not whether it is prepared).
MMRESULT checkHeader(const MIDIHDR* header, UINT size);
// A header ready to be queued: prepared, not queued already, with a buffer.
MMRESULT checkHeaderForQueue(const MIDIHDR* header, UINT size);
MMRESULT prepareHeader(MIDIHDR* header, UINT size);
MMRESULT unprepareHeader(MIDIHDR* header, UINT size);

// The callback mode of an open call: MMSYSERR_NOERROR with `function` set (or null for
// CALLBACK_NULL), or the error for modes this layer does not offer.
MMRESULT callbackFromOpenFlags(DWORD_PTR callback, DWORD flags, void** function);

// midiInOpen and midiOutOpen. Handle names its public handle type (Handle::Public) and its
// callback type (Handle::Callback).
template <class Handle>
MMRESULT openHandle(HandleTable<Handle>& table, Direction direction,
                    typename Handle::Public* opened, UINT deviceId, DWORD_PTR callback,
                    DWORD_PTR instance, DWORD flags) {
    if (opened == nullptr)
        return MMSYSERR_INVALPARAM;
    *opened = nullptr;
    void* function = nullptr;
    if (const MMRESULT result = callbackFromOpenFlags(callback, flags, &function);
        result != MMSYSERR_NOERROR)
        return result;
    MidiBackend& backend = midiBackend();
    const auto names = backend.deviceNames(direction);
    if (deviceId >= names.size())
        return MMSYSERR_BADDEVICEID;
    const auto value = reinterpret_cast<typename Handle::Public>(newHandleValue());
    const auto handle = std::make_shared<Handle>(
        value, reinterpret_cast<typename Handle::Callback>(function), instance);
    // In the table before it opens: the open notification may already use the handle.
    table.insert(reinterpret_cast<std::uintptr_t>(value), handle);
    if (const MMRESULT result = handle->open(backend, deviceId, names[deviceId]);
        result != MMSYSERR_NOERROR) {
        table.remove(value);
        return result;
    }
    *opened = value;
    return MMSYSERR_NOERROR;
}

// midiInClose and midiOutClose: the handle stays valid when it refuses to close.
template <class Handle> MMRESULT closeHandle(HandleTable<Handle>& table, const void* value) {
    const auto handle = table.find(value);
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    const MMRESULT result = handle->close();
    if (result == MMSYSERR_NOERROR)
        table.remove(value);
    return result;
}

// A call on an open handle, or MMSYSERR_INVALHANDLE for one that is not.
template <class Handle, class Call>
MMRESULT withHandle(const HandleTable<Handle>& table, const void* value, Call call) {
    const auto handle = table.find(value);
    return handle ? call(*handle) : MMSYSERR_INVALHANDLE;
}

} // namespace dorvo::winmm
