// One use of the component, as a sequencer makes it: created by class identifier through the
// registry, connected to this program's host object and output, given and asked for its data,
// fed MIDI, disconnected and released. Every call is made on the thread that runs the session,
// which serves the component's window messages between commands. With windows, the component's
// page is shown in this program's main window and its editors as pages in windows of their own.
#pragma once

#include <dorvo/dorvo2.h>

#include <memory>
#include <string>
#include <vector>

class TOuterHostObject;
class TOuterMainPage;
class TOuterMidiFeed;
class TOuterOutput;
class TOuterPageHost;
class TOuterWindows;

class TOuterSession {
public:
    TOuterSession();
    // Disconnects and releases what is still held.
    ~TOuterSession();

    TOuterSession(const TOuterSession&) = delete;
    TOuterSession& operator=(const TOuterSession&) = delete;

    // Connects to the X display and makes the main window, before start; false with a message
    // when that fails.
    bool openWindows();
    // Null without windows.
    TOuterWindows* windows() { return m_windows.get(); }

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
    // The window commands, which need windows.
    bool showPage();
    bool hidePage();
    bool resizeWindow(int width, int height);
    bool listPages();
    // The whole screen as a PPM file.
    bool saveScreen(const std::string& path);
    bool closePage(const std::string& title);
    // Disconnects and releases the component; nothing after it.
    void end();

private:
    void releaseInterfaces();
    bool windowed(const char* command);
    void closeWindows();

    // First, so that it goes last: the pages and the host object's page host use it.
    std::unique_ptr<TOuterWindows> m_windows;
    TOuterHostObject* m_host = nullptr;
    TOuterOutput* m_output = nullptr;
    IMPInitialise* m_component = nullptr;
    IPersistStream* m_persistence = nullptr;
    IDorvo2Comp* m_dorvo2Comp = nullptr;
    std::unique_ptr<TOuterMidiFeed> m_feed;
    std::unique_ptr<TOuterMainPage> m_mainPage;
    std::unique_ptr<TOuterPageHost> m_pageHost;
    bool m_connected = false;
};
