#include "TOuterSession.h"

#include "InterfaceReference.h"
#include "TOuterConsole.h"
#include "TOuterHostObject.h"
#include "TOuterMainPage.h"
#include "TOuterMidiFeed.h"
#include "TOuterOutput.h"
#include "TOuterPageHost.h"
#include "TOuterProject.h"
#include "TOuterWindows.h"

#include <dorvo/dorvo2comp.h>

namespace {

template <class Interface> Interface* query(IUnknown* object, REFIID iid) {
    void* out = nullptr;
    if (!object || FAILED(object->QueryInterface(iid, &out)))
        return nullptr;
    return static_cast<Interface*>(out);
}

// What the component's Workspace listens to.
constexpr DWORD kLiveInput = MPCONNECT_LIVEINPUT;

} // namespace

TOuterSession::TOuterSession() : m_host(new TOuterHostObject), m_output(new TOuterOutput) {}

TOuterSession::~TOuterSession() {
    end();
    dorvo::releaseReference(m_output);
    dorvo::releaseReference(m_host);
}

bool TOuterSession::openWindows() {
    auto windows = std::make_unique<TOuterWindows>();
    std::string reason;
    if (!windows->open(reason)) {
        TOuterConsole::error("%s", reason.c_str());
        return false;
    }
    auto mainPage = std::make_unique<TOuterMainPage>(*windows);
    if (!mainPage->createWindow())
        return false;
    windows->flush();
    m_windows = std::move(windows);
    m_mainPage = std::move(mainPage);
    m_pageHost = std::make_unique<TOuterPageHost>(*m_windows);
    m_host->setPageHost(m_pageHost.get());
    return true;
}

bool TOuterSession::start() {
    const HRESULT created =
        CoCreateInstance(CLSID_Dorvo2Comp, nullptr, CLSCTX_INPROC_SERVER, IID_IMPInitialise,
                         reinterpret_cast<void**>(&m_component));
    if (FAILED(created) || !m_component) {
        TOuterConsole::error("The component cannot be created (0x%08X): is libdorvo2comp.so "
                             "registered (dorvo2-regsvr libdorvo2comp.so)?",
                             unsigned(created));
        m_component = nullptr;
        return false;
    }
    m_persistence = query<IPersistStream>(m_component, IID_IPersistStream);
    m_dorvo2Comp = query<IDorvo2Comp>(m_component, IID_IDorvo2Comp);
    m_feed =
        std::make_unique<TOuterMidiFeed>(query<IMPEventFilter>(m_component, IID_IMPEventFilter));
    DWORD flags = kLiveInput;
    const HRESULT connected = m_component->MPConnect(m_host->identity(), m_output, 1, 0, &flags);
    if (FAILED(connected)) {
        TOuterConsole::error("The component refused the connection (0x%08X)", unsigned(connected));
        return false;
    }
    m_connected = true;
    TOuterConsole::print("connected flags=0x%X sinks=%zu", unsigned(flags), m_host->sinkCount());
    return true;
}

bool TOuterSession::openInput(int port) {
    if (!m_feed || !m_feed->openInput(port)) {
        TOuterConsole::error("Input port %d cannot be opened", port);
        return false;
    }
    TOuterConsole::print("input port=%d open", port);
    return true;
}

bool TOuterSession::openOutput(int port) {
    if (!m_output->openPort(port)) {
        TOuterConsole::error("Output port %d cannot be opened", port);
        return false;
    }
    TOuterConsole::print("output port=%d open", port);
    return true;
}

bool TOuterSession::load(const std::string& path, bool project) {
    std::vector<std::uint8_t> data;
    std::string reason;
    const bool read = project ? TOuterProject::read(path, data, reason)
                              : TOuterProject::readFile(path, data, reason);
    if (!read) {
        TOuterConsole::error("%s", reason.c_str());
        return false;
    }
    TMemoryStream stream(std::move(data));
    const HRESULT loaded = m_persistence ? m_persistence->Load(&stream) : E_NOINTERFACE;
    if (FAILED(loaded)) {
        TOuterConsole::error("The component did not load %s (0x%08X)", path.c_str(),
                             unsigned(loaded));
        return false;
    }
    TOuterConsole::print("loaded %zu bytes from %s", stream.bytes().size(), path.c_str());
    return true;
}

bool TOuterSession::save(const std::string& path, bool project) {
    TMemoryStream stream;
    ULARGE_INTEGER size{};
    const HRESULT measured = m_persistence ? m_persistence->GetSizeMax(&size) : E_NOINTERFACE;
    const HRESULT saved = SUCCEEDED(measured) ? m_persistence->Save(&stream, TRUE) : measured;
    if (FAILED(saved)) {
        TOuterConsole::error("The component did not save (0x%08X)", unsigned(saved));
        return false;
    }
    std::string reason;
    if (!TOuterProject::write(path, stream.bytes(), project, reason)) {
        TOuterConsole::error("%s", reason.c_str());
        return false;
    }
    TOuterConsole::print("saved %zu bytes (size asked first: %llu) to %s", stream.bytes().size(),
                         static_cast<unsigned long long>(size.QuadPart), path.c_str());
    return true;
}

bool TOuterSession::play(const std::string& midiFile, int port) {
    std::vector<std::uint8_t> bytes;
    std::string reason;
    if (!TOuterProject::readFile(midiFile, bytes, reason)) {
        TOuterConsole::error("%s", reason.c_str());
        return false;
    }
    const int events = m_feed ? m_feed->play(bytes, port) : 0;
    TOuterConsole::print("played %d events from %s on port %d", events, midiFile.c_str(), port);
    return true;
}

bool TOuterSession::listPorts() {
    for (DWORD direction : {0u, 1u}) {
        MPPORTLIST list{};
        if (FAILED(m_host->GetPortList(direction, &list)))
            return false;
        for (DWORD i = 0; i < list.count; ++i) {
            const GUID& id = list.ports[i].portId;
            TOuterConsole::print(
                "%s port=%u id={%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x} \"%s\"",
                direction ? "output" : "input", list.ports[i].port, unsigned(id.Data1),
                unsigned(id.Data2), unsigned(id.Data3), id.Data4[0], id.Data4[1], id.Data4[2],
                id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7],
                TOuterConsole::utf8(list.ports[i].name).c_str());
            CoTaskMemFree(list.ports[i].name);
        }
        CoTaskMemFree(list.ports);
    }
    return true;
}

bool TOuterSession::notifyPortListChanged() {
    const int heard = m_host->notify(GUID_MPPortListChanged);
    TOuterConsole::print("notified %d sinks", heard);
    return true;
}

bool TOuterSession::resync() {
    const HRESULT result = m_dorvo2Comp ? m_dorvo2Comp->Resync(0) : E_NOINTERFACE;
    TOuterConsole::print("resync 0x%08X", unsigned(result));
    return SUCCEEDED(result);
}

bool TOuterSession::windowed(const char* command) {
    if (m_windows && m_mainPage && m_pageHost)
        return true;
    TOuterConsole::error("%s needs the program's windows: start it with --window", command);
    return false;
}

bool TOuterSession::showPage() {
    return windowed("show") && m_mainPage->show(m_component);
}

bool TOuterSession::hidePage() {
    return windowed("hide") && m_mainPage->hide();
}

bool TOuterSession::resizeWindow(int width, int height) {
    return windowed("resize") && m_mainPage->resize(width, height);
}

bool TOuterSession::listPages() {
    return windowed("pages") && m_pageHost->list();
}

bool TOuterSession::saveScreen(const std::string& path) {
    if (!windowed("snapshot"))
        return false;
    std::string reason;
    if (!m_windows->saveScreen(path, reason)) {
        TOuterConsole::error("The screen could not be saved in %s: %s", path.c_str(),
                             reason.c_str());
        return false;
    }
    TOuterConsole::print("screen saved in %s", path.c_str());
    return true;
}

bool TOuterSession::closePage(const std::string& title) {
    return windowed("close-page") && m_pageHost->closeByUser(title);
}

void TOuterSession::end() {
    // The pages go while the component they show is still connected; the component's release
    // of its editors' pages during the disconnection still finds the page host.
    if (m_mainPage)
        m_mainPage->release();
    if (m_pageHost)
        m_pageHost->closeAll();
    if (m_feed)
        m_feed->closeInputs();
    if (m_connected && m_component) {
        m_component->MPDisconnect();
        TOuterConsole::print("disconnected");
    }
    m_connected = false;
    m_feed.reset();
    closeWindows();
    releaseInterfaces();
}

void TOuterSession::closeWindows() {
    m_host->setPageHost(nullptr);
    m_pageHost.reset();
    m_mainPage.reset();
    if (m_windows)
        m_windows->close();
}

void TOuterSession::releaseInterfaces() {
    dorvo::releaseReference(m_dorvo2Comp);
    dorvo::releaseReference(m_persistence);
    if (m_component) {
        const ULONG left = m_component->Release();
        TOuterConsole::print("released (%lu references left)", static_cast<unsigned long>(left));
        m_component = nullptr;
    }
}
