// One use of the component, as a sequencer makes it: created by class identifier through the
// registry, connected to this program's host object and output, given and asked for its data,
// fed MIDI, disconnected and released. Every call is made on the thread that runs the session,
// which serves the component's window messages between commands.
#pragma once

#include <dorvo/dorvo2.h>

#include <memory>
#include <string>
#include <vector>

class TOuterHostObject;
class TOuterMidiFeed;
class TOuterOutput;

class TOuterSession {
public:
    TOuterSession();
    // Disconnects and releases what is still held.
    ~TOuterSession();

    TOuterSession(const TOuterSession&) = delete;
    TOuterSession& operator=(const TOuterSession&) = delete;

    // Creates and connects the component; false with a message when that fails.
    bool start();
    bool openInput(int port);
    bool openOutput(int port);

    // The commands; each reports what it did or why it failed.
    // A project file of this program, or (project false) the component's data as a file of
    // its own: a workspace document.
    bool load(const std::string& path, bool project);
    bool save(const std::string& path, bool project);
    bool play(const std::string& midiFile, int port);
    bool listPorts();
    bool notifyPortListChanged();
    bool resync();
    // Disconnects and releases the component; nothing after it.
    void end();

private:
    void releaseInterfaces();

    TOuterHostObject* m_host = nullptr;
    TOuterOutput* m_output = nullptr;
    IMPInitialise* m_component = nullptr;
    IPersistStream* m_persistence = nullptr;
    IDorvo2Comp* m_dorvo2Comp = nullptr;
    std::unique_ptr<TOuterMidiFeed> m_feed;
    bool m_connected = false;
};
