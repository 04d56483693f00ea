// Connection points of the host object: advising, cookies, enumerators and argument checks.
#include "ClientIConnectionPoint.h"
#include "ClientIConnectionPointContainer.h"
#include "ClientIEnumConnectionPoints.h"
#include "ClientIEnumConnections.h"
#include "ClientIUnknown.h"
#include "TestObjects.h"

#include <gtest/gtest.h>

using dorvo2test::TestSink;
using dorvo2test::WarningCapture;

namespace {

const QString containerFile = QStringLiteral("ClientIConnectionPointContainer");

// A host object with its notification point, as a component reaches them.
class ConnectionPointTest : public testing::Test {
protected:
    void SetUp() override {
        host = new ClientIUnknown;
        ASSERT_EQ(host->QueryInterface(IID_IConnectionPointContainer,
                                       reinterpret_cast<void**>(&container)),
                  S_OK);
        ASSERT_EQ(container->FindConnectionPoint(IID_IMPNotificationSink, &point), S_OK);
    }
    void TearDown() override {
        point->Release();
        container->Release();
        EXPECT_EQ(host->Release(), 0u);
    }

    std::vector<IUnknown*> enumerateSinks(ULONG chunk) {
        IEnumConnections* connections = nullptr;
        EXPECT_EQ(point->EnumConnections(&connections), S_OK);
        std::vector<IUnknown*> sinks;
        CONNECTDATA data[4] = {};
        ULONG fetched = 0;
        while (connections->Next(chunk, data, &fetched), fetched > 0) {
            for (ULONG i = 0; i < fetched; ++i) {
                sinks.push_back(data[i].pUnk);
                data[i].pUnk->Release();
            }
        }
        connections->Release();
        return sinks;
    }

    ClientIUnknown* host = nullptr;
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
};

TEST_F(ConnectionPointTest, CookiesCountUpAndAreNeverReused) {
    TestSink a(nullptr, 1), b(nullptr, 2), c(nullptr, 3);
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(&a, &cookie), S_OK);
    EXPECT_EQ(cookie, 1u);
    EXPECT_EQ(point->Advise(&b, &cookie), S_OK);
    EXPECT_EQ(cookie, 2u);
    EXPECT_EQ(point->Unadvise(1), S_OK);
    EXPECT_EQ(a.references(), 0u);
    EXPECT_EQ(point->Advise(&c, &cookie), S_OK);
    EXPECT_EQ(cookie, 3u);
    // Unknown and already removed cookies change nothing.
    EXPECT_EQ(point->Unadvise(1), E_FAIL);
    EXPECT_EQ(point->Unadvise(77), E_FAIL);
    EXPECT_EQ(enumerateSinks(1), (std::vector<IUnknown*>{&b, &c}));
    EXPECT_EQ(b.references(), 1u);
    EXPECT_EQ(c.references(), 1u);
    point->Unadvise(2);
    point->Unadvise(3);
    EXPECT_EQ(b.references(), 0u);
    EXPECT_EQ(c.references(), 0u);
}

TEST_F(ConnectionPointTest, SinkWithoutThePointsInterfaceCannotConnect) {
    TestSink stranger(nullptr, 1, false);
    DWORD cookie = 99;
    EXPECT_EQ(point->Advise(&stranger, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(stranger.references(), 0u);
    EXPECT_TRUE(enumerateSinks(1).empty());
    // The refused advise took no cookie.
    TestSink sink(nullptr, 2);
    point->Advise(&sink, &cookie);
    EXPECT_EQ(cookie, 1u);
    point->Unadvise(cookie);
}

TEST_F(ConnectionPointTest, FindsOnlyTheTwoPointsItCreated) {
    IConnectionPoint* found = point;
    EXPECT_EQ(container->FindConnectionPoint(IID_IMPEventFilter, &found), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(found, nullptr);

    IConnectionPoint* secondary = nullptr;
    ASSERT_EQ(container->FindConnectionPoint(IID_IMPSecondarySink, &secondary), S_OK);
    IID iid{};
    EXPECT_EQ(secondary->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, IID_IMPSecondarySink));
    EXPECT_NE(secondary, point);

    IConnectionPointContainer* owner = nullptr;
    EXPECT_EQ(secondary->GetConnectionPointContainer(&owner), S_OK);
    EXPECT_EQ(owner, container);
    owner->Release();
    secondary->Release();
}

TEST_F(ConnectionPointTest, NextFillsInChunksAndResetStartsOver) {
    TestSink a(nullptr, 1), b(nullptr, 2), c(nullptr, 3);
    DWORD cookie = 0;
    point->Advise(&a, &cookie);
    point->Advise(&b, &cookie);
    point->Advise(&c, &cookie);

    IEnumConnections* connections = nullptr;
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    CONNECTDATA data[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(2, data, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(data[0].dwCookie, 1u);
    EXPECT_EQ(data[0].pUnk, &a);
    EXPECT_EQ(data[1].pUnk, &b);
    // Each entry carries a reference of its own.
    EXPECT_EQ(a.references(), 2u);
    data[0].pUnk->Release();
    data[1].pUnk->Release();

    EXPECT_EQ(connections->Next(2, data, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(data[0].pUnk, &c);
    EXPECT_EQ(data[0].dwCookie, 3u);
    data[0].pUnk->Release();

    EXPECT_EQ(connections->Next(2, data, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    EXPECT_EQ(connections->Reset(), S_OK);
    EXPECT_EQ(connections->Next(1, data, nullptr), S_OK);
    EXPECT_EQ(data[0].pUnk, &a);
    data[0].pUnk->Release();

    EXPECT_EQ(connections->Skip(1), S_OK);
    EXPECT_EQ(connections->Next(1, data, nullptr), S_OK);
    EXPECT_EQ(data[0].pUnk, &c);
    data[0].pUnk->Release();
    // Skipping far past the end does not wrap around to the first entries.
    connections->Skip(0xFFFFFFFFu);
    EXPECT_EQ(connections->Next(1, data, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    IEnumConnections* clone = connections;
    EXPECT_EQ(connections->Clone(&clone), E_NOTIMPL);
    EXPECT_EQ(clone, nullptr);
    connections->Release();
    for (DWORD c = 1; c <= 3; ++c)
        point->Unadvise(c);
}

TEST_F(ConnectionPointTest, PointEnumeratorGivesBothPointsInCreationOrder) {
    IEnumConnectionPoints* points = nullptr;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    IConnectionPoint* got[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(3, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(got[0], point);
    IID iid{};
    got[1]->GetConnectionInterface(&iid);
    EXPECT_TRUE(IsEqualIID(iid, IID_IMPSecondarySink));
    got[0]->Release();
    got[1]->Release();
    points->Reset();
    EXPECT_EQ(points->Next(1, got, nullptr), S_OK);
    EXPECT_EQ(got[0], point);
    got[0]->Release();
    points->Release();
}

TEST_F(ConnectionPointTest, EnumeratorsAreObjectsOfTheirOwnThatKeepTheHostAlive) {
    TestSink sink(nullptr, 1);
    DWORD cookie = 0;
    point->Advise(&sink, &cookie);

    IEnumConnections* connections = nullptr;
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    IUnknown* identity = nullptr;
    ASSERT_EQ(connections->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(connections));
    EXPECT_NE(identity, static_cast<IUnknown*>(host));
    identity->Release();
    void* other = &cookie;
    EXPECT_EQ(connections->QueryInterface(IID_IConnectionPoint, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    IEnumConnectionPoints* points = nullptr;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    const ULONG held = host->referenceCount();

    // The component lets go of everything but its enumerators: the host stays, with its sink.
    point->Release();
    container->Release();
    EXPECT_EQ(host->Release(), held - 3);
    EXPECT_EQ(sink.references(), 1u);
    CONNECTDATA data{};
    EXPECT_EQ(connections->Next(1, &data, nullptr), S_OK);
    EXPECT_EQ(data.pUnk, &sink);
    data.pUnk->Release();

    EXPECT_EQ(points->Release(), 0u);
    EXPECT_EQ(sink.references(), 1u);
    // The last enumerator takes the host object, its point and the sink's reference with it.
    EXPECT_EQ(connections->Release(), 0u);
    EXPECT_EQ(sink.references(), 0u);

    // What TearDown releases.
    host = new ClientIUnknown;
    host->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    container->FindConnectionPoint(IID_IMPNotificationSink, &point);
}

TEST_F(ConnectionPointTest, NullArgumentsAreRefusedWithTheirWarnings) {
    WarningCapture warnings;
    EXPECT_EQ(container->EnumConnectionPoints(nullptr), E_POINTER);
    EXPECT_TRUE(warnings.hasAssert("ppEnum", containerFile));
    EXPECT_EQ(container->FindConnectionPoint(IID_IMPNotificationSink, nullptr), E_POINTER);
    EXPECT_TRUE(warnings.hasAssert("ppCP", containerFile));
    EXPECT_EQ(point->GetConnectionInterface(nullptr), E_POINTER);
    EXPECT_TRUE(warnings.hasAssert("pIID", containerFile));
    EXPECT_EQ(point->GetConnectionPointContainer(nullptr), E_POINTER);
    EXPECT_TRUE(warnings.hasAssert("ppCPC", containerFile));
    EXPECT_EQ(point->EnumConnections(nullptr), E_POINTER);
    EXPECT_EQ(warnings.messages().size(), 5);

    TestSink sink(nullptr, 1);
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(&sink, nullptr), E_POINTER);
    EXPECT_TRUE(warnings.hasAssert("pdwCookie", containerFile));
    EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
    EXPECT_TRUE(warnings.hasAssert("pUnk", containerFile));
    EXPECT_EQ(point->Advise(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(warnings.messages().size(), 9);
    EXPECT_EQ(sink.references(), 0u);
    EXPECT_TRUE(enumerateSinks(1).empty());
}

TEST_F(ConnectionPointTest, NextWarnsAboutDoubtfulCallsAndRefusesANullArray) {
    TestSink a(nullptr, 1), b(nullptr, 2);
    DWORD cookie = 0;
    point->Advise(&a, &cookie);
    point->Advise(&b, &cookie);
    IEnumConnections* connections = nullptr;
    point->EnumConnections(&connections);
    WarningCapture warnings;
    CONNECTDATA data[2] = {};
    ULONG fetched = 7;

    EXPECT_EQ(connections->Next(0, data, &fetched), S_OK);
    EXPECT_EQ(fetched, 0u);
    EXPECT_TRUE(warnings.hasAssert("cConnections > 0", containerFile));

    // Two requested without a count to say how many came: warned, and still served.
    EXPECT_EQ(connections->Next(2, data, nullptr), S_OK);
    EXPECT_TRUE(warnings.hasAssert("cConnections == 1 || pcFetched != NULL", containerFile));
    data[0].pUnk->Release();
    data[1].pUnk->Release();

    connections->Reset();
    fetched = 7;
    EXPECT_EQ(connections->Next(1, nullptr, &fetched), E_POINTER);
    EXPECT_EQ(fetched, 0u);
    EXPECT_TRUE(warnings.hasAssert("pConnectData", containerFile));
    // The refused call did not move the enumerator.
    EXPECT_EQ(connections->Next(1, data, nullptr), S_OK);
    EXPECT_EQ(data[0].pUnk, &a);
    data[0].pUnk->Release();
    connections->Release();
    point->Unadvise(1);
    point->Unadvise(2);
}

TEST(ConnectionPointAloneTest, WithoutContainerOrPointEveryCallFailsCleanly) {
    WarningCapture warnings;
    auto* loose = new ClientIConnectionPoint(nullptr, IID_IMPNotificationSink);
    IConnectionPointContainer* owner = reinterpret_cast<IConnectionPointContainer*>(loose);
    EXPECT_EQ(loose->GetConnectionPointContainer(&owner), E_FAIL);
    EXPECT_EQ(owner, nullptr);
    EXPECT_TRUE(warnings.hasAssert("pOuter != NULL", containerFile));
    // Without an outer object the point answers for itself.
    IUnknown* identity = nullptr;
    EXPECT_EQ(loose->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(loose));
    identity->Release();
    EXPECT_EQ(loose->Release(), 0u);

    auto* connections = new ClientIEnumConnections(nullptr);
    CONNECTDATA data{};
    ULONG fetched = 5;
    EXPECT_EQ(connections->Next(1, &data, &fetched), E_FAIL);
    EXPECT_EQ(connections->Release(), 0u);
    auto* points = new ClientIEnumConnectionPoints(nullptr);
    IConnectionPoint* got = nullptr;
    EXPECT_EQ(points->Next(1, &got, nullptr), E_FAIL);
    EXPECT_EQ(points->Release(), 0u);
    EXPECT_EQ(warnings.messages().filter(QStringLiteral("pOuter != NULL")).size(), 3);
}

TEST(ConnectionPointAloneTest, AStandAloneContainerFreesItsPointsAndTheirSinks) {
    auto* container = new ClientIConnectionPointContainer(nullptr);
    ASSERT_EQ(container->AddConnectionPoint(&IID_IMPNotificationSink), S_OK);
    WarningCapture warnings;
    EXPECT_EQ(container->AddConnectionPoint(nullptr), E_POINTER);
    EXPECT_EQ(container->pointCount(), 1u);

    IConnectionPoint* point = nullptr;
    ASSERT_EQ(container->FindConnectionPoint(IID_IMPNotificationSink, &point), S_OK);
    // The point's references count on the container.
    EXPECT_EQ(container->referenceCount(), 2u);
    TestSink sink(nullptr, 1);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    EXPECT_EQ(point->Release(), 1u);
    EXPECT_EQ(sink.references(), 1u);
    // Still advised when the container goes: the point releases the sink on its way out.
    EXPECT_EQ(container->Release(), 0u);
    EXPECT_EQ(sink.references(), 0u);
}

} // namespace
