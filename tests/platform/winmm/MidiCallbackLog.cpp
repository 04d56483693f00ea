#include "MidiCallbackLog.h"

namespace dorvo2test {

void MidiCallbackLog::inputCallback(HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                    DWORD_PTR param2) {
    reinterpret_cast<MidiCallbackLog*>(instance)->record(message, param1, param2, false);
}

void MidiCallbackLog::outputCallback(HMIDIOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                     DWORD_PTR param2) {
    reinterpret_cast<MidiCallbackLog*>(instance)->record(message, param1, param2, true);
}

void MidiCallbackLog::record(UINT message, DWORD_PTR param1, DWORD_PTR param2, bool output) {
    MidiCallbackEntry entry;
    entry.message = message;
    entry.param1 = param1;
    entry.param2 = param2;
    entry.thread = std::this_thread::get_id();
    if (message == MIM_LONGDATA || message == MIM_LONGERROR || message == MOM_DONE) {
        entry.header = reinterpret_cast<MIDIHDR*>(param1);
        entry.flags = entry.header->dwFlags;
        const DWORD count = output ? entry.header->dwBufferLength : entry.header->dwBytesRecorded;
        const auto* data = reinterpret_cast<const std::uint8_t*>(entry.header->lpData);
        entry.bytes.assign(data, data + count);
    }
    if (onEntry)
        onEntry(entry);
    // Last: a test may end, and destroy the log, as soon as it sees the entry.
    std::lock_guard lock(m_mutex);
    m_entries.push_back(entry);
    m_changed.notify_all();
}

std::vector<MidiCallbackEntry> MidiCallbackLog::entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

std::vector<MidiCallbackEntry> MidiCallbackLog::entries(UINT message) const {
    std::vector<MidiCallbackEntry> matching;
    for (const auto& entry : entries()) {
        if (entry.message == message)
            matching.push_back(entry);
    }
    return matching;
}

bool MidiCallbackLog::waitFor(UINT message, std::size_t count) const {
    return waitUntil([&] { return entries(message).size() >= count; });
}

bool MidiCallbackLog::waitUntil(const std::function<bool()>& condition) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::milliseconds(10));
    }
    return true;
}

void MidiCallbackLog::clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

} // namespace dorvo2test
