// The client services: port lists as components get them, and the port-use registry.
#include "ClientIConnectionPoint.h"
#include "ClientIUnknown.h"
#include "PortServiceTestObjects.h"
#include "TestObjects.h"

#include <gtest/gtest.h>

using namespace dorvo2test;

namespace {

const QUuid kSynthIn = QUuid::createUuid(), kSynthOut = QUuid::createUuid();
const QUuid kMixerOut = QUuid::createUuid(), kUnknown = QUuid::createUuid();

class ClientServicesTest : public testing::Test {
protected:
    static void SetUpTestSuite() { useVirtualDevices(); }
    void SetUp() override {
        ports.setPort(TMIDIPortAccessor::kInput, kSynthIn, 2, QStringLiteral("Synth In"));
        ports.setPort(TMIDIPortAccessor::kOutput, kMixerOut, 3, QStringLiteral("Mixer Out"));
        ports.setPort(TMIDIPortAccessor::kOutput, kSynthOut, 1, QStringLiteral("Synth Out"));
        host->setPortListSource(&ports);
        host->setWorkspaceWindow(&workspace);
    }
    void TearDown() override { host->Release(); }

    HRESULT use(DWORD operation, const QUuid& port, const char16_t* name, int component,
                DWORD index) {
        const GUID id = guidOf(port);
        return services->SetPortUsage(operation, &id, reinterpret_cast<LPCWSTR>(name), 0xBAD,
                                      &components[component], index);
    }
    // "number name" per entry; frees the list.
    QStringList listed(DWORD direction) {
        MPPORTLIST list{99, reinterpret_cast<MPPORTINFO*>(this)};
        EXPECT_EQ(services->GetPortList(direction, &list), S_OK);
        QStringList entries;
        for (DWORD i = 0; i < list.count; ++i) {
            entries << QStringLiteral("%1 %2")
                           .arg(list.ports[i].port)
                           .arg(QString::fromUtf16(list.ports[i].name));
            EXPECT_NE(list.ports[i].name, host->cachedPortList(direction).ports[i].name);
            CoTaskMemFree(list.ports[i].name);
        }
        EXPECT_EQ(list.ports == nullptr, list.count == 0);
        CoTaskMemFree(list.ports);
        return entries;
    }

    ClientIUnknown* host = new ClientIUnknown;
    ClientIMPClientServices* services = host->clientServices();
    FakePortList ports;
    FakeWorkspace workspace;
    // Told apart by address only; an array gives them increasing addresses.
    TestSink components[3] = {{nullptr, 0}, {nullptr, 1}, {nullptr, 2}};
};

TEST_F(ClientServicesTest, PortListsAreFreshCopiesAfterAnUpdate) {
    void* first = nullptr;
    host->QueryInterface(IID_IMPClientServices, &first);
    EXPECT_EQ(first, static_cast<IMPClientServices2*>(services));
    static_cast<IUnknown*>(first)->Release();

    EXPECT_EQ(listed(1), (QStringList{"1 Synth Out", "3 Mixer Out"}));
    EXPECT_EQ(listed(7), (QStringList{"1 Synth Out", "3 Mixer Out"}));
    EXPECT_EQ(listed(0), (QStringList{"2 Synth In"}));
    // Components keep the list they saw until the host is told of the update.
    const QUuid added = QUuid::createUuid();
    ports.setPort(TMIDIPortAccessor::kOutput, added, 2, QStringLiteral("New Out"));
    EXPECT_EQ(listed(1).size(), 2);
    EXPECT_EQ(use(MPPORTUSAGE_ADD, added, u"", 0, 0), E_INVALIDARG);

    TestSink sink(nullptr, 1);
    auto* point = host->connectionPointContainer()->pointFor(IID_IMPNotificationSink);
    DWORD cookie = 0;
    point->Advise(&sink, &cookie);
    host->portListChanged();
    EXPECT_TRUE(IsEqualGUID(sink.lastId, GUID_MPPortListChanged));
    EXPECT_EQ(listed(1), (QStringList{"1 Synth Out", "2 New Out", "3 Mixer Out"}));
    EXPECT_EQ(use(MPPORTUSAGE_ADD, added, u"", 0, 0), S_OK);
    point->Unadvise(cookie);

    ports.clearPorts();
    host->portListChanged();
    EXPECT_TRUE(listed(0).isEmpty());
}

TEST_F(ClientServicesTest, RegistryOperationsFindTheirUse) {
    workspace.names[&components[0]] = QStringLiteral("Synth");
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kSynthOut, u"A", 0, 4), S_OK);
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kSynthOut, u"A", 0, 4), E_FAIL);    // same index and direction
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kMixerOut, u"B", 0, 4), E_FAIL);    // same index and direction
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kSynthOut, u"B", 0, 5), E_FAIL);    // same port
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kSynthIn, u"In", 0, 4), S_OK);      // other direction
    EXPECT_EQ(use(MPPORTUSAGE_REMOVE, kMixerOut, u"", 0, 4), E_FAIL);  // never added
    EXPECT_EQ(use(MPPORTUSAGE_RENAME, kMixerOut, u"B", 0, 4), E_FAIL); // other port id
    EXPECT_EQ(use(MPPORTUSAGE_RENAME, kSynthOut, u"B", 0, 9), S_OK);
    EXPECT_EQ(services->portUsersText(kSynthOut), QStringLiteral("Synth B"));
    EXPECT_EQ(use(MPPORTUSAGE_REIDENTIFY, kMixerOut, nullptr, 0, 4), S_OK);
    EXPECT_EQ(services->portUsersText(kSynthOut), QString());
    EXPECT_EQ(services->portUsersText(kMixerOut), QStringLiteral("Synth B"));
    EXPECT_EQ(use(7, kMixerOut, u"", 0, 4), E_FAIL);
    EXPECT_EQ(use(MPPORTUSAGE_REMOVE, kMixerOut, u"", 0, 0), S_OK);
    EXPECT_EQ(services->portUsersText(kMixerOut), QString());

    // An unknown port leaves no entry: the component is still unknown afterwards.
    EXPECT_EQ(use(MPPORTUSAGE_ADD, kUnknown, u"", 1, 0), E_INVALIDARG);
    EXPECT_EQ(use(MPPORTUSAGE_RENAME, kSynthIn, u"x", 1, 0), E_INVALIDARG);
    EXPECT_EQ(services->SetPortUsage(MPPORTUSAGE_ADD, nullptr, nullptr, 0, &components[0], 1),
              E_POINTER);
    const GUID id = guidOf(kSynthIn);
    EXPECT_EQ(services->SetPortUsage(MPPORTUSAGE_ADD, &id, nullptr, 0, nullptr, 1), E_POINTER);
}

TEST_F(ClientServicesTest, UsersTextNamesTheComponentsStillInTheWorkspace) {
    workspace.names = {{&components[0], "Mixer"}, {&components[1], "Synth"}};
    ASSERT_EQ(use(MPPORTUSAGE_ADD, kSynthOut, u"Port 1", 0, 0), S_OK);
    ASSERT_EQ(use(MPPORTUSAGE_ADD, kSynthOut, nullptr, 1, 0), S_OK);
    ASSERT_EQ(use(MPPORTUSAGE_ADD, kSynthOut, u"Gone", 2, 0), S_OK);
    EXPECT_EQ(services->portUsersText(kSynthOut), QStringLiteral("Mixer Port 1, Synth"));
    EXPECT_EQ(services->portUsersText(guidOf(kUnknown)), QString());
    services->removeComponentPorts(&components[0]);
    EXPECT_EQ(services->portUsersText(kSynthOut), QStringLiteral("Synth"));
    EXPECT_EQ(use(MPPORTUSAGE_REMOVE, kSynthOut, u"", 0, 0), E_INVALIDARG);
}

TEST_F(ClientServicesTest, WithoutListOrHostTheServicesAnswerErrors) {
    EXPECT_EQ(services->GetPortList(0, nullptr), E_POINTER);
    auto* orphan = new ClientIMPClientServices(nullptr);
    WarningCapture warnings;
    MPPORTLIST list{};
    EXPECT_EQ(orphan->GetPortList(0, &list), E_OUTOFMEMORY);
    const GUID id = guidOf(kSynthIn);
    EXPECT_EQ(orphan->SetPortUsage(MPPORTUSAGE_ADD, &id, nullptr, 0, &components[0], 0), E_FAIL);
    EXPECT_TRUE(warnings.hasAssert("pOuter != NULL", QStringLiteral("ClientIMPClientServices")));
    EXPECT_EQ(orphan->Release(), 0u);
}

} // namespace
