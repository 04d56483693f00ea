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

// A host object with its notification point, reached as a component reaches them.
class ConnectionPointTest : public testing::Test {
protected:
    void SetUp() override {
        host = new ClientIUnknown;
        host->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
        ASSERT_EQ(container->FindConnectionPoint(IID_IMPNotificationSink, &point), S_OK);
    }
    void TearDown() override {
        if (point)
            point->Release();
        if (container)
            container->Release();
        if (host) {
            EXPECT_EQ(host->Release(), 0u);
        }
    }

    std::vector<IUnknown*> advised() {
        IEnumConnections* connections = nullptr;
        EXPECT_EQ(point->EnumConnections(&connections), S_OK);
        std::vector<IUnknown*> sinks;
        CONNECTDATA data{};
        while (connections->Next(1, &data, nullptr) == S_OK) {
            sinks.push_back(data.pUnk);
            data.pUnk->Release();
        }
        connections->Release();
        return sinks;
    }

    ClientIUnknown* host = nullptr;
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
};

TEST_F(ConnectionPointTest, CookiesCountUpAndAreNeverReused) {
    TestSink a(nullptr, 1), b(nullptr, 2), c(nullptr, 3), stranger(nullptr, 4, nullptr);
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(&stranger, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(stranger.references, 0u);
    EXPECT_EQ(point->Advise(&a, &cookie), S_OK);
    EXPECT_EQ(cookie, 1u);
    EXPECT_EQ(point->Advise(&b, &cookie), S_OK);
    EXPECT_EQ(cookie, 2u);
    EXPECT_EQ(point->Unadvise(1), S_OK);
    EXPECT_EQ(a.references, 0u);
    EXPECT_EQ(point->Advise(&c, &cookie), S_OK);
    EXPECT_EQ(cookie, 3u);
    EXPECT_EQ(point->Unadvise(1), E_FAIL);
    EXPECT_EQ(point->Unadvise(77), E_FAIL);
    EXPECT_EQ(advised(), (std::vector<IUnknown*>{&b, &c}));
    EXPECT_EQ(b.references, 1u);
    // Sinks still advised when the host goes are let go with it.
    point->Release();
    container->Release();
    EXPECT_EQ(host->Release(), 0u);
    point = nullptr, container = nullptr, host = nullptr;
    EXPECT_EQ(b.references, 0u);
    EXPECT_EQ(c.references, 0u);
}

TEST_F(ConnectionPointTest, FindsOnlyTheTwoPointsItCreated) {
    IConnectionPoint* found = point;
    EXPECT_EQ(container->FindConnectionPoint(IID_IMPEventFilter, &found), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(found, nullptr);

    IEnumConnectionPoints* points = nullptr;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    IConnectionPoint* got[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(3, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(got[0], point);
    IID iid{};
    EXPECT_EQ(got[1]->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, IID_IMPSecondarySink));
    IConnectionPointContainer* owner = nullptr;
    EXPECT_EQ(got[1]->GetConnectionPointContainer(&owner), S_OK);
    EXPECT_EQ(owner, container);
    owner->Release();
    got[0]->Release();
    got[1]->Release();
    points->Release();
}

TEST_F(ConnectionPointTest, NextFillsInChunksAndResetStartsOver) {
    TestSink a(nullptr, 1), b(nullptr, 2), c(nullptr, 3);
    DWORD cookie = 0;
    for (TestSink* sink : {&a, &b, &c})
        point->Advise(sink, &cookie);
    IEnumConnections* connections = nullptr;
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    CONNECTDATA data[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(2, data, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(data[0].pUnk, &a);
    EXPECT_EQ(data[1].pUnk, &b);
    EXPECT_EQ(data[1].dwCookie, 2u);
    EXPECT_EQ(a.references, 2u); // each entry carries a reference of its own
    data[0].pUnk->Release();
    data[1].pUnk->Release();
    EXPECT_EQ(connections->Next(2, data, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(data[0].pUnk, &c);
    data[0].pUnk->Release();

    EXPECT_EQ(connections->Reset(), S_OK);
    EXPECT_EQ(connections->Next(1, data, nullptr), S_OK);
    EXPECT_EQ(data[0].pUnk, &a);
    data[0].pUnk->Release();
    // Skipping far past the end does not wrap around to the first entries.
    EXPECT_EQ(connections->Skip(0xFFFFFFFFu), S_OK);
    EXPECT_EQ(connections->Next(1, data, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    IEnumConnections* clone = connections;
    EXPECT_EQ(connections->Clone(&clone), E_NOTIMPL);
    EXPECT_EQ(clone, nullptr);
    connections->Release();
    for (DWORD c = 1; c <= 3; ++c)
        point->Unadvise(c);
}

TEST_F(ConnectionPointTest, EnumeratorsAreObjectsOfTheirOwnThatKeepTheHostAlive) {
    TestSink sink(nullptr, 1);
    DWORD cookie = 0;
    point->Advise(&sink, &cookie);
    IEnumConnections* connections = nullptr;
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    IUnknown* identity = nullptr;
    connections->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(identity, static_cast<IUnknown*>(connections));
    identity->Release();
    IEnumConnectionPoints* points = nullptr;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);

    // Everything but the enumerators is let go: the host stays, with its sink.
    point->Release();
    container->Release();
    host->Release();
    point = nullptr, container = nullptr, host = nullptr;
    EXPECT_EQ(sink.references, 1u);
    CONNECTDATA data{};
    EXPECT_EQ(connections->Next(1, &data, nullptr), S_OK);
    EXPECT_EQ(data.pUnk, &sink);
    data.pUnk->Release();
    EXPECT_EQ(points->Release(), 0u);
    EXPECT_EQ(sink.references, 1u);
    // The last enumerator takes the host object with it.
    EXPECT_EQ(connections->Release(), 0u);
    EXPECT_EQ(sink.references, 0u);
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
    TestSink sink(nullptr, 1);
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(&sink, nullptr), E_POINTER);
    EXPECT_TRUE(warnings.hasAssert("pdwCookie", containerFile));
    EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
    EXPECT_TRUE(warnings.hasAssert("pUnk", containerFile));
    EXPECT_EQ(warnings.messages.size(), 7);
    EXPECT_EQ(sink.references, 0u);

    point->Advise(&sink, &cookie);
    IEnumConnections* connections = nullptr;
    point->EnumConnections(&connections);
    CONNECTDATA data[2] = {};
    ULONG fetched = 7;
    EXPECT_EQ(connections->Next(0, data, &fetched), S_OK);
    EXPECT_EQ(fetched, 0u);
    EXPECT_TRUE(warnings.hasAssert("cConnections > 0", containerFile));
    EXPECT_EQ(connections->Next(1, nullptr, &fetched), E_POINTER);
    EXPECT_TRUE(warnings.hasAssert("pConnectData", containerFile));
    // Served despite the warning, and the refused call did not move the enumerator.
    EXPECT_EQ(connections->Next(2, data, nullptr), S_FALSE);
    EXPECT_TRUE(warnings.hasAssert("cConnections == 1 || pcFetched != NULL", containerFile));
    EXPECT_EQ(data[0].pUnk, &sink);
    data[0].pUnk->Release();
    connections->Release();
    point->Unadvise(cookie);
}

TEST(ConnectionPointAloneTest, WithoutContainerOrPointEveryCallFailsCleanly) {
    WarningCapture warnings;
    auto* loose = new ClientIConnectionPoint(nullptr, IID_IMPNotificationSink);
    auto* owner = reinterpret_cast<IConnectionPointContainer*>(loose);
    EXPECT_EQ(loose->GetConnectionPointContainer(&owner), E_FAIL);
    EXPECT_EQ(owner, nullptr);
    EXPECT_TRUE(warnings.hasAssert("pOuter != NULL", containerFile));
    auto* connections = new ClientIEnumConnections(nullptr);
    CONNECTDATA data{};
    EXPECT_EQ(connections->Next(1, &data, nullptr), E_FAIL);
    auto* points = new ClientIEnumConnectionPoints(nullptr);
    IConnectionPoint* got = nullptr;
    EXPECT_EQ(points->Next(1, &got, nullptr), E_FAIL);
    EXPECT_EQ(warnings.messages.filter(QStringLiteral("pOuter != NULL")).size(), 3);
    EXPECT_EQ(loose->Release(), 0u);
    EXPECT_EQ(connections->Release(), 0u);
    EXPECT_EQ(points->Release(), 0u);
    auto* container = new ClientIConnectionPointContainer(nullptr);
    EXPECT_EQ(container->AddConnectionPoint(nullptr), E_POINTER);
    EXPECT_EQ(container->pointCount(), 0u);
    EXPECT_EQ(container->Release(), 0u);
}

} // namespace
