// The host object of the component build: its services pass calls to an outer application's
// host object and output, keep the port uses here, and label what they pass on with the
// component's Workspace name.
#include "ClientIConnectionPoint.h"
#include "ClientIUnknown.h"
#include "GuidConversion.h"
#include "PortServiceTestObjects.h"
#include "TestObjects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dorvo2test;

namespace {

const QUuid kOuterIn = QUuid::createUuid(), kOuterOut = QUuid::createUuid();
const QUuid kDocumentOut = QUuid::createUuid();

// The outer application: its ports, its port-use calls, its clock and its output. Whether it
// offers the second-version services and the clock is chosen per test.
class OuterApplication : public IMPClientServices2, public IMPTimeInfo, public IMPAsyncOutput {
public:
    bool secondVersion = true;
    bool clock = true;
    QString outputName = QStringLiteral("Out A");
    std::vector<std::string> calls;
    std::vector<DWORD> sentPorts;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMPClientServices) ||
            (secondVersion && IsEqualIID(iid, IID_IMPClientServices2)))
            *out = static_cast<IMPClientServices2*>(this);
        else if (clock && IsEqualIID(iid, IID_IMPTimeInfo))
            *out = static_cast<IMPTimeInfo*>(this);
        else
            return E_NOINTERFACE;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetPortList(DWORD direction, MPPORTLIST* list) override {
        list->count = 1;
        list->ports = static_cast<MPPORTINFO*>(CoTaskMemAlloc(sizeof(MPPORTINFO)));
        const QString name = direction ? outputName : QStringLiteral("In A");
        list->ports[0] = {direction ? 7u : 4u, guidOf(direction ? kOuterOut : kOuterIn), nullptr};
        list->ports[0].name = static_cast<LPWSTR>(CoTaskMemAlloc((name.size() + 1) * 2));
        std::copy_n(name.utf16(), name.size() + 1, list->ports[0].name);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ServicesSlot4(DWORD, DWORD, DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE ServicesSlot5(DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE ServicesSlot6(DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetPortUsage(DWORD operation, const GUID* portId, LPCWSTR name,
                                           ULONG_PTR value, IUnknown*, DWORD index) override {
        const QString port = uuidFromGuid(*portId) == kOuterOut ? "out" : "other";
        calls.push_back(QStringLiteral("%1 %2 [%3] %4 %5")
                            .arg(operation)
                            .arg(port, name ? QString::fromUtf16(name) : QStringLiteral("-"))
                            .arg(value)
                            .arg(index)
                            .toStdString());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CheckConversion(LONGLONG, DWORD, DWORD, DWORD, DWORD,
                                              DWORD) override {
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE TimeInfoSlot4(LONGLONG, DWORD, DWORD, DWORD, DWORD, DWORD) override {
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE TimeInfoSlot5(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) override {
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetTimeValue(DWORD which, DWORD* value) override {
        *value = which * 100;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SendEvent(const MPEVENT* event, DWORD) override {
        sentPorts.push_back(event->port);
        return S_FALSE;
    }
};

class OuterServicesTest : public testing::Test {
protected:
    void connect() {
        host = new ClientIUnknown(ClientIUnknown::PortOwner::OuterApplication);
        host->setWorkspaceWindow(&workspace);
        EXPECT_EQ(host->connect(static_cast<IMPClientServices2*>(&outer), &outer), S_OK);
        services = host->clientServices();
        workspace.names[&components[0]] = QStringLiteral("Synth 1");
        workspace.names[&components[1]] = QStringLiteral("Mixer");
    }
    void TearDown() override {
        if (host)
            host->Release();
    }
    HRESULT use(DWORD operation, const QUuid& port, const char16_t* name, int component,
                DWORD index) {
        const GUID id = guidOf(port);
        return services->SetPortUsage(operation, &id, reinterpret_cast<LPCWSTR>(name), 0x51,
                                      &components[component], index);
    }
    // The output list as components get it: "port id-is-document name".
    QString listedOutput() {
        MPPORTLIST list{0, nullptr};
        EXPECT_EQ(services->GetPortList(1, &list), S_OK);
        QString text;
        for (DWORD i = 0; i < list.count; ++i) {
            text += QStringLiteral("%1 %2 %3")
                        .arg(list.ports[i].port)
                        .arg(uuidFromGuid(list.ports[i].portId) == kDocumentOut)
                        .arg(QString::fromUtf16(list.ports[i].name));
            CoTaskMemFree(list.ports[i].name);
        }
        CoTaskMemFree(list.ports);
        return text;
    }

    OuterApplication outer;
    ClientIUnknown* host = nullptr;
    ClientIMPClientServices* services = nullptr;
    FakeWorkspace workspace;
    TestSink components[2] = {{nullptr, 0}, {nullptr, 1}};
};

TEST_F(OuterServicesTest, PortUsesReachTheOuterApplicationLabelledAndTranslated) {
    connect();
    ASSERT_TRUE(services->isConnectedToOuter());
    EXPECT_EQ(host->machinePortAccessor()->portEntry(kOuterOut), QStringLiteral("7;Out A"));
    EXPECT_EQ(listedOutput(), QStringLiteral("7 0 Out A"));

    EXPECT_EQ(use(MPPORTUSAGE_ADD, kOuterOut, u"In", 0, 1), S_OK);
    // Nothing changes: nothing is passed on. A use that is not there is an invalid argument.
    EXPECT_EQ(use(MPPORTUSAGE_RENAME, kOuterOut, u"In", 0, 1), S_OK);
    EXPECT_EQ(use(MPPORTUSAGE_RENAME, kOuterIn, u"In", 0, 9), E_INVALIDARG);
    EXPECT_EQ(use(7, kOuterOut, u"In", 0, 1), E_INVALIDARG);
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kOuterIn, u"", 0, 2), S_OK);
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kOuterOut, u"Main", 1, 1), S_OK);
    const GUID outerOut = guidOf(kOuterOut);
    EXPECT_EQ(services->SetPortUsage(MPPORTUSAGE_ADD, &outerOut, nullptr, 0, nullptr, 0),
              E_POINTER);
    EXPECT_TRUE(services->isPortUsed(guidOf(kOuterOut)));
    EXPECT_EQ(services->portUsersText(kOuterOut), QStringLiteral("Synth 1 In, Mixer Main"));
    EXPECT_EQ(services->portUsersText(kOuterIn), QStringLiteral("Synth 1"));

    // A new name goes out for every use of the component.
    workspace.names[&components[0]] = QStringLiteral("Lead");
    services->renameComponentPorts(&components[0]);
    // Removing the component removes each of its uses, one call each.
    services->removeComponentPorts(&components[0]);
    EXPECT_EQ(outer.calls, (std::vector<std::string>{
                               "1 out [Synth 1 In] 81 1", "1 other [Synth 1] 81 2",
                               "1 out [Mixer Main] 81 1", "2 out [Lead In] 81 1",
                               "2 other [Lead] 81 2", "0 out [-] 81 1", "0 other [-] 81 2"}));
    EXPECT_EQ(services->portUsersText(kOuterOut), QStringLiteral("Mixer Main"));

    // A document's port that the Workspace re-maps to the outer port: components know it by
    // the document's id, and the outer application hears of its own id.
    outer.calls.clear();
    host->setPortIdentities(1, {{kOuterOut, kDocumentOut}});
    EXPECT_EQ(listedOutput(), QStringLiteral("7 1 Out A"));
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kDocumentOut, u"Thru", 0, 3), S_OK);
    EXPECT_EQ(outer.calls, std::vector<std::string>{"1 out [Lead Thru] 81 3"});
    EXPECT_EQ(use(MPPORTUSAGE_ADD, QUuid::createUuid(), u"X", 0, 4), E_INVALIDARG);

    // Time and output are the outer application's, unchanged.
    DWORD value = 0;
    EXPECT_EQ(host->timeInfo()->GetTimeValue(2, &value), S_OK);
    EXPECT_EQ(value, 200u);
    EXPECT_EQ(host->timeInfo()->CheckConversion(0, 1, 0, 0, 0, 0), S_FALSE);
    EXPECT_EQ(services->ServicesSlot5(1), S_FALSE);
    MPEVENT event{};
    event.port = 7;
    EXPECT_EQ(host->asyncOutput()->SendEvent(&event, 0), S_FALSE);
    EXPECT_EQ(host->sendEvent(&event, 1), S_FALSE);
    EXPECT_EQ(outer.sentPorts, (std::vector<DWORD>{7, 7}));
    // The client information is a part of this host object only, and without the outer
    // interface it implements nothing.
    IMPClientInfo* info = nullptr;
    ASSERT_EQ(host->QueryInterface(IID_IMPClientInfo, reinterpret_cast<void**>(&info)), S_OK);
    EXPECT_EQ(info->ClientInfoSlot3(1, 2, 3, 4), E_NOTIMPL);
    info->Release();
    ClientIUnknown* standAlone = new ClientIUnknown;
    EXPECT_EQ(standAlone->QueryInterface(IID_IMPClientInfo, reinterpret_cast<void**>(&info)),
              E_NOINTERFACE);
    standAlone->Release();
}

TEST_F(OuterServicesTest, AFirstVersionOuterApplicationWithoutAClockStillListsPorts) {
    outer.secondVersion = false;
    outer.clock = false;
    connect();
    EXPECT_EQ(listedOutput(), QStringLiteral("7 0 Out A"));
    // Only the local entries change.
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kOuterOut, u"In", 0, 1), S_OK);
    EXPECT_EQ(services->portUsersText(kOuterOut), QStringLiteral("Synth 1 In"));
    services->removeComponentPorts(&components[0]);
    EXPECT_TRUE(outer.calls.empty());
    DWORD value = 0;
    EXPECT_EQ(host->timeInfo()->GetTimeValue(1, &value), E_NOTIMPL);
    EXPECT_EQ(host->timeInfo()->CheckConversion(0, 1, 0, 0, 0, 0), E_FAIL);
    EXPECT_EQ(host->timeInfo()->TimeInfoSlot5(0, 0, 0, 0, 0, 0), E_NOTIMPL);
}

TEST_F(OuterServicesTest, APortListChangeGetsTheNewNamesBeforeTheComponentsHear) {
    connect();
    TestSink sink(nullptr, 0);
    QString nameHeard;
    sink.onNotify = [&] { nameHeard = host->machinePortAccessor()->portName(kOuterOut); };
    ClientIConnectionPoint* point =
        host->connectionPointContainer()->pointFor(IID_IMPNotificationSink);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    outer.outputName = QStringLiteral("Renamed Out");
    MPNOTIFICATION notification{};
    notification.id = GUID_MPPortListChanged;
    EXPECT_EQ(host->Notify(&notification), S_OK);
    EXPECT_EQ(nameHeard, QStringLiteral("Renamed Out"));
    point->Unadvise(cookie);
}

TEST_F(OuterServicesTest, TheOuterApplicationsPortsOpenWithoutDevicesAndCarryItsMidi) {
    connect();
    RecordingFilter filter;
    workspace.filters = {&filter};
    // An input is fed by the outer application; an output only marks the port as the
    // Workspace's. Neither touches a device, so ports the machine does not have open too.
    EXPECT_TRUE(host->openPort(false, 4));
    EXPECT_TRUE(host->openPort(true, 7));
    EXPECT_TRUE(host->openPort(true, 900));
    EXPECT_TRUE(host->isPortOpen(false, 4));
    EXPECT_TRUE(host->isPortOpen(true, 900));

    MPEVENT note{};
    note.type = MPEVENT_NOTEON;
    note.port = 4;
    host->receiveForeignEvent(&note);
    note.port = 5; // no input open there
    host->receiveForeignEvent(&note);
    ASSERT_EQ(filter.callCount(), 1u);
    EXPECT_EQ(filter.calls()[0].event.port, 4u);
    EXPECT_EQ(filter.calls()[0].event.received, 1u);

    // What the Workspace itself sends (its Thru) goes to the outer output like the components'.
    note.port = 900;
    EXPECT_EQ(host->sendEvent(&note, 1), S_FALSE);
    EXPECT_EQ(outer.sentPorts, std::vector<DWORD>{900});
    host->closePort(false, 4);
    host->closePort(true, 900);
    EXPECT_FALSE(host->isPortOpen(false, 4));
    EXPECT_FALSE(host->isPortOpen(true, 900));
    note.port = 4;
    host->receiveForeignEvent(&note);
    EXPECT_EQ(filter.callCount(), 1u) << "a closed input hears nothing";
}

} // namespace
