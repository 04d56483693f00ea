// What the example tests share: the examples registered with dorvo2-regsvr into the test's own
// registry, a real host object over the virtual MIDI devices, components created and connected
// as the host does it, their pages shown in a container widget, and waiting with the event loop
// running.
#pragma once

#include "ClientIUnknown.h"
#include "TWorkspaceComponents.h"

#include <dorvo/dorvo2.h>
#include <dorvo/virtualmidi.h>

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace exampletest {

namespace vm = dorvo::virtualmidi;
using Bytes = std::vector<BYTE>;

inline const std::string kLoopback1 = "Dorvo Loopback 1";
inline const std::string kLoopback2 = "Dorvo Loopback 2";
inline const std::string kSynth = vm::kDemoSynthName;

struct ProgramResult {
    int exitCode = -1;
    QString output;
};
ProgramResult runRegsvr(const QStringList& arguments);
// Registers the three examples once per process.
void registerExamples();

// Runs the event loop until the condition holds or 10 s passed; true when it holds.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);

// The Workspace the host object asks for the components' names and filters.
class TestWorkspace : public TWorkspaceComponents {
public:
    QList<IMPEventFilter*> componentEventFilters() const override { return filters; }
    std::optional<QString> componentInstanceName(const IUnknown* component) const override;
    QList<IMPEventFilter*> filters;
    std::map<const IUnknown*, QString> names;
};

// One component as the host holds it, with its page shown once showPage was called.
class HostedComponent {
public:
    HostedComponent(ClientIUnknown* host, TestWorkspace* workspace, REFCLSID clsid,
                    const QString& name);
    ~HostedComponent();
    HostedComponent(const HostedComponent&) = delete;
    HostedComponent& operator=(const HostedComponent&) = delete;

    IMPInitialise* component() const { return m_component; }
    template <typename Interface> Interface* query(REFIID iid) const {
        void* out = nullptr;
        if (FAILED(m_component->QueryInterface(iid, &out)))
            return nullptr;
        static_cast<IUnknown*>(out)->Release(); // the component holds it while the test runs
        return static_cast<Interface*>(out);
    }

    // Creates the page by the component's first page class and shows it in a container.
    void showPage();
    QWidget* container() const { return m_container.get(); }
    template <typename Widget> Widget* child(const QString& name) const {
        return m_container ? m_container->findChild<Widget*>(name) : nullptr;
    }
    // Picks the entry of that text in the page's port combo box (objectName), once listed.
    bool choosePort(const QString& comboName, const std::string& portName);

    QByteArray save(BOOL clearDirty = TRUE);
    HRESULT load(const QByteArray& state);

private:
    void hidePage();

    ClientIUnknown* const m_host;
    TestWorkspace* const m_workspace;
    IMPInitialise* m_component = nullptr;
    IMPEventFilter* m_filter = nullptr;
    IPropertyPage* m_page = nullptr;
    std::unique_ptr<QWidget> m_container;
};

// A host object over the machine's (virtual) ports, like the Workspace window's.
class HostFixture : public testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    int portNumber(int direction, const std::string& name) const;
    GUID portId(int direction, const std::string& name) const;
    // Opens the machine port of that name, as the Workspace does for its ports.
    void openPort(int direction, const std::string& name);
    // The device list changed: the host's ports follow, and the components hear of it.
    void updatePorts();
    // "Instance name port name, ..." of the host's port-use registry.
    QString portUsers(int direction, const std::string& name) const;

    std::unique_ptr<HostedComponent> create(REFCLSID clsid, const QString& name);

    ClientIUnknown* m_host = nullptr;
    TestWorkspace m_workspace;
};

// Records what a synchronizing component reports, on whatever thread it reports.
class RecordingProgress : public IMPClientProgressHandler {
public:
    struct Report {
        DWORD progress;
        DWORD total;
        QString message;
    };
    HRESULT STDMETHODCALLTYPE ReportProgress(DWORD, DWORD progress, DWORD total,
                                             LPCWSTR message) override;
    HRESULT STDMETHODCALLTYPE AbortProgress(DWORD, HRESULT) override { return S_OK; }
    std::vector<Report> reports() const;
    // Called after each report, on the reporting thread.
    std::function<void(const Report&)> onReport;

private:
    mutable std::mutex m_mutex;
    std::vector<Report> m_reports;
};

// The bytes of the output device's long messages (what the host sent there).
std::vector<Bytes> sentLongMessages(const std::string& device);

} // namespace exampletest
