// The client services: the Workspace's port lists as components get them, and the registry of
// which component uses which port.
#include "ClientIUnknown.h"
#include "PortServiceTestObjects.h"
#include "TestObjects.h"

#include <gtest/gtest.h>

using namespace dorvo2test;

namespace {

const QUuid kSynthIn = QUuid::createUuid();
const QUuid kSynthOut = QUuid::createUuid();
const QUuid kMixerOut = QUuid::createUuid();
const QUuid kUnknownPort = QUuid::createUuid();

class ClientServicesTest : public testing::Test {
protected:
    static void SetUpTestSuite() { useVirtualDevices(); }
    void SetUp() override {
        ports.setPort(TMIDIPortAccessor::kInput, kSynthIn, 2, QStringLiteral("Synth In"));
        ports.setPort(TMIDIPortAccessor::kOutput, kMixerOut, 3, QStringLiteral("Mixer Out"));
        ports.setPort(TMIDIPortAccessor::kOutput, kSynthOut, 1, QStringLiteral("Synth Out"));
        host->setPortListSource(&ports);
        host->setWorkspaceWindow(&workspace);
        services = host->clientServices();
        ASSERT_NE(services, nullptr);
    }
    void TearDown() override { host->Release(); }

    HRESULT use(DWORD operation, const QUuid& port, const char16_t* name, IUnknown* component,
                DWORD index) {
        const GUID id = guidOf(port);
        return services->SetPortUsage(operation, &id, reinterpret_cast<LPCWSTR>(name), 0xBAD,
                                      component, index);
    }
    static std::vector<std::pair<DWORD, QString>> entriesOf(const MPPORTLIST& list) {
        std::vector<std::pair<DWORD, QString>> entries;
        for (DWORD i = 0; i < list.count; ++i)
            entries.emplace_back(list.ports[i].port, QString::fromUtf16(list.ports[i].name));
        return entries;
    }
    static void freeList(MPPORTLIST& list) {
        for (DWORD i = 0; i < list.count; ++i)
            CoTaskMemFree(list.ports[i].name);
        CoTaskMemFree(list.ports);
    }

    ClientIUnknown* host = new ClientIUnknown;
    ClientIMPClientServices* services = nullptr;
    FakePortList ports;
    FakeWorkspace workspace;
    // Components are told apart by address only; an array gives them increasing addresses.
    TestSink components[3] = {{nullptr, 0}, {nullptr, 1}, {nullptr, 2}};
};

TEST_F(ClientServicesTest, BothIdentifiersReachTheSameServices) {
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(host->QueryInterface(IID_IMPClientServices, &first), S_OK);
    ASSERT_EQ(host->QueryInterface(IID_IMPClientServices2, &second), S_OK);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, static_cast<IMPClientServices2*>(services));
    static_cast<IUnknown*>(first)->Release();
    static_cast<IUnknown*>(second)->Release();
}

TEST_F(ClientServicesTest, PortListsAreCopiesInPortNumberOrder) {
    MPPORTLIST outputs{99, reinterpret_cast<MPPORTINFO*>(this)};
    ASSERT_EQ(services->GetPortList(1, &outputs), S_OK);
    EXPECT_EQ(entriesOf(outputs),
              (std::vector<std::pair<DWORD, QString>>{{1, QStringLiteral("Synth Out")},
                                                      {3, QStringLiteral("Mixer Out")}}));
    EXPECT_TRUE(IsEqualGUID(outputs.ports[0].portId, guidOf(kSynthOut)));
    // Any nonzero direction means outputs; each caller gets names of its own.
    MPPORTLIST again{};
    ASSERT_EQ(services->GetPortList(7, &again), S_OK);
    ASSERT_EQ(again.count, 2u);
    EXPECT_NE(again.ports[0].name, outputs.ports[0].name);
    EXPECT_NE(again.ports[0].name, host->cachedPortList(1).ports[0].name);
    freeList(outputs);
    freeList(again);

    MPPORTLIST inputs{};
    ASSERT_EQ(services->GetPortList(0, &inputs), S_OK);
    EXPECT_EQ(entriesOf(inputs),
              (std::vector<std::pair<DWORD, QString>>{{2, QStringLiteral("Synth In")}}));
    freeList(inputs);
}

TEST_F(ClientServicesTest, NoPortsGiveAnEmptyListWithoutArray) {
    ports.clearPorts();
    MPPORTLIST inputs{5, reinterpret_cast<MPPORTINFO*>(this)};
    EXPECT_EQ(services->GetPortList(0, &inputs), S_OK);
    EXPECT_EQ(inputs.count, 0u);
    EXPECT_EQ(inputs.ports, nullptr);
    // Without a Workspace port list nothing is listed either.
    host->setPortListSource(nullptr);
    EXPECT_EQ(services->GetPortList(1, &inputs), S_OK);
    EXPECT_EQ(inputs.count, 0u);
    EXPECT_EQ(inputs.ports, nullptr);
}

TEST_F(ClientServicesTest, AnUpdateFreesTheCachedListsAndTellsTheComponents) {
    MPPORTLIST outputs{};
    services->GetPortList(1, &outputs);
    freeList(outputs);
    const QUuid added = QUuid::createUuid();
    ports.setPort(TMIDIPortAccessor::kOutput, added, 2, QStringLiteral("New Out"));
    // Until the update, components keep seeing the list they saw, and the new port is not
    // theirs to use.
    services->GetPortList(1, &outputs);
    EXPECT_EQ(outputs.count, 2u);
    freeList(outputs);
    EXPECT_EQ(use(MPPORTUSAGE_ADD, added, u"", &components[0], 0), E_INVALIDARG);

    TestSink sink(nullptr, 1);
    IConnectionPoint* point = nullptr;
    host->connectionPointContainer()->FindConnectionPoint(IID_IMPNotificationSink, &point);
    DWORD cookie = 0;
    point->Advise(&sink, &cookie);
    host->portListChanged();
    EXPECT_TRUE(IsEqualGUID(sink.lastId, GUID_MPPortListChanged));
    EXPECT_EQ(host->cachedPortList(1).ports, nullptr);

    services->GetPortList(1, &outputs);
    EXPECT_EQ(entriesOf(outputs),
              (std::vector<std::pair<DWORD, QString>>{{1, QStringLiteral("Synth Out")},
                                                      {2, QStringLiteral("New Out")},
                                                      {3, QStringLiteral("Mixer Out")}}));
    freeList(outputs);
    EXPECT_EQ(use(MPPORTUSAGE_ADD, added, u"", &components[0], 0), S_OK);
    point->Unadvise(cookie);
    point->Release();
}

TEST_F(ClientServicesTest, AddingTwiceOrAnUnknownPortIsRefused) {
    IUnknown* synth = &components[0];
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kSynthIn, u"In", synth, 0), S_OK);
    // The same number and direction again, under another port or the same one.
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kSynthIn, u"In", synth, 0), E_FAIL);
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kSynthIn, u"In", synth, 1), E_FAIL);
    // The same number in the other direction is another use.
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kSynthOut, u"Out", synth, 0), S_OK);
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kMixerOut, u"Out 2", synth, 0), E_FAIL);
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kMixerOut, u"Out 2", synth, 1), S_OK);

    // A port outside the Workspace's lists leaves no trace of the component: it is still
    // unknown afterwards.
    IUnknown* stranger = &components[1];
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kUnknownPort, u"", stranger, 0), E_INVALIDARG);
    EXPECT_EQ(use(MPPORTUSAGE_RENAME, kSynthIn, u"x", stranger, 0), E_INVALIDARG);
    EXPECT_EQ(use(MPPORTUSAGE_REMOVE, kSynthIn, u"", stranger, 0), E_INVALIDARG);
}

TEST_F(ClientServicesTest, RemoveRenameAndReidentifyFindTheirUse) {
    IUnknown* synth = &components[0];
    workspace.names[synth] = QStringLiteral("Synth");
    ASSERT_EQ(use(MPPORTUSAGE_ADD, kSynthOut, u"A", synth, 4), S_OK);

    EXPECT_EQ(use(MPPORTUSAGE_REMOVE, kMixerOut, u"", synth, 4), E_FAIL);  // never added
    EXPECT_EQ(use(MPPORTUSAGE_RENAME, kMixerOut, u"B", synth, 4), E_FAIL); // other port id
    EXPECT_EQ(services->portUsersText(kSynthOut), QStringLiteral("Synth A"));
    EXPECT_EQ(use(MPPORTUSAGE_RENAME, kSynthOut, u"B", synth, 9), S_OK); // found by port id
    EXPECT_EQ(services->portUsersText(kSynthOut), QStringLiteral("Synth B"));
    EXPECT_EQ(use(MPPORTUSAGE_RENAME, kSynthIn, u"C", synth, 4), E_FAIL); // other direction

    EXPECT_EQ(use(MPPORTUSAGE_REIDENTIFY, kMixerOut, nullptr, synth, 4), S_OK);
    EXPECT_EQ(services->portUsersText(kSynthOut), QString());
    EXPECT_EQ(services->portUsersText(kMixerOut), QStringLiteral("Synth B"));
    EXPECT_EQ(use(MPPORTUSAGE_REIDENTIFY, kSynthIn, nullptr, synth, 4), E_FAIL);

    EXPECT_EQ(use(7, kMixerOut, u"", synth, 4), E_FAIL);
    EXPECT_EQ(use(MPPORTUSAGE_REMOVE, kMixerOut, u"", synth, 0), S_OK);
    EXPECT_EQ(services->portUsersText(kMixerOut), QString());
    EXPECT_EQ(use(MPPORTUSAGE_REMOVE, kMixerOut, u"", synth, 0), E_FAIL);
    // The number is free again.
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kSynthOut, u"", synth, 4), S_OK);
}

TEST_F(ClientServicesTest, UsersTextNamesTheComponentsStillInTheWorkspace) {
    IUnknown* mixer = &components[0];
    IUnknown* synth = &components[1];
    IUnknown* gone = &components[2];
    workspace.names[mixer] = QStringLiteral("Mixer");
    workspace.names[synth] = QStringLiteral("Synth");
    ASSERT_EQ(use(MPPORTUSAGE_ADD, kSynthOut, u"Port 1", mixer, 0), S_OK);
    ASSERT_EQ(use(MPPORTUSAGE_ADD, kSynthOut, nullptr, synth, 0), S_OK);
    ASSERT_EQ(use(MPPORTUSAGE_ADD, kSynthOut, u"Left", gone, 0), S_OK);
    ASSERT_EQ(use(MPPORTUSAGE_ADD, kMixerOut, u"Other", synth, 1), S_OK);

    EXPECT_EQ(services->portUsersText(kSynthOut), QStringLiteral("Mixer Port 1, Synth"));
    EXPECT_EQ(services->portUsersText(guidOf(kMixerOut)), QStringLiteral("Synth Other"));
    EXPECT_EQ(services->portUsersText(kUnknownPort), QString());

    services->removeComponentPorts(mixer);
    EXPECT_EQ(services->portUsersText(kSynthOut), QStringLiteral("Synth"));
    // The component is unknown now, not just without uses.
    EXPECT_EQ(use(MPPORTUSAGE_REMOVE, kSynthOut, u"", mixer, 0), E_INVALIDARG);
    host->setWorkspaceWindow(nullptr);
    EXPECT_EQ(services->portUsersText(kSynthOut), QString());
}

TEST_F(ClientServicesTest, BadArgumentsAndAMissingHostGiveErrors) {
    EXPECT_EQ(services->GetPortList(0, nullptr), E_POINTER);
    EXPECT_EQ(services->SetPortUsage(MPPORTUSAGE_ADD, nullptr, nullptr, 0, &components[0], 0),
              E_POINTER);
    const GUID id = guidOf(kSynthIn);
    EXPECT_EQ(services->SetPortUsage(MPPORTUSAGE_ADD, &id, nullptr, 0, nullptr, 0), E_POINTER);
    EXPECT_EQ(services->ServicesSlot4(1, 2, 3), E_NOTIMPL);

    auto* orphan = new ClientIMPClientServices(nullptr);
    WarningCapture warnings;
    MPPORTLIST list{3, nullptr};
    EXPECT_EQ(orphan->GetPortList(0, &list), E_OUTOFMEMORY);
    EXPECT_EQ(orphan->SetPortUsage(MPPORTUSAGE_ADD, &id, nullptr, 0, &components[0], 0), E_FAIL);
    EXPECT_TRUE(warnings.hasAssert("pOuter != NULL", QStringLiteral("ClientIMPClientServices")));
    EXPECT_EQ(orphan->portUsersText(kSynthIn), QString());
    EXPECT_EQ(orphan->Release(), 0u);
}

} // namespace
