// Records what the layer's callbacks report, with the thread they ran on and a copy of the bytes
// of every returned buffer (the header may be reused the moment the callback returns).
#pragma once

#include <dorvo/mmsystem.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace dorvo2test {

struct MidiCallbackEntry {
    UINT message = 0;
    DWORD_PTR param1 = 0;
    DWORD_PTR param2 = 0;
    std::thread::id thread;
    MIDIHDR* header = nullptr; // for MIM_LONGDATA, MIM_LONGERROR, MOM_DONE
    DWORD flags = 0;           // the header's flags when the callback ran
    std::vector<std::uint8_t> bytes;
};

class MidiCallbackLog {
public:
    static void inputCallback(HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                              DWORD_PTR param2);
    static void outputCallback(HMIDIOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                               DWORD_PTR param2);
    DWORD_PTR instance() { return reinterpret_cast<DWORD_PTR>(this); }

    std::vector<MidiCallbackEntry> entries() const;
    std::vector<MidiCallbackEntry> entries(UINT message) const;
    // Polls until `count` entries of `message` are there or 20 s passed; true when they are.
    bool waitFor(UINT message, std::size_t count) const;
    // Polls the condition (called without the log's lock) until it holds or 20 s passed.
    bool waitUntil(const std::function<bool()>& condition) const;
    void clear();
    // Runs inside the callback, on the layer's thread, before the entry is recorded.
    std::function<void(const MidiCallbackEntry&)> onEntry;

private:
    void record(UINT message, DWORD_PTR param1, DWORD_PTR param2, bool output);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<MidiCallbackEntry> m_entries;
};

} // namespace dorvo2test
