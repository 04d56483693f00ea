// The host object: one identity for all services, its lifetime, notifications, and the answers
// of the time information and the Qt-host marker.
#include "ClientIUnknown.h"
#include "TestObjects.h"

#include <gtest/gtest.h>

using dorvo2test::TestSink;
using dorvo2test::WarningCapture;

namespace {

template <class Interface = IUnknown> Interface* query(IUnknown* object, REFIID iid) {
    void* out = nullptr;
    EXPECT_EQ(object->QueryInterface(iid, &out), S_OK);
    return static_cast<Interface*>(out);
}

IConnectionPoint* pointOf(IUnknown* host, REFIID iid) {
    auto* container = query<IConnectionPointContainer>(host, IID_IConnectionPointContainer);
    IConnectionPoint* point = nullptr;
    container->FindConnectionPoint(iid, &point);
    container->Release();
    return point;
}

TEST(HostObjectTest, EveryServiceAnswersWithTheHostsIdentity) {
    auto* host = new ClientIUnknown;
    const IID* services[] = {&IID_IMPTimeInfo, &IID_IMPQTBasedHost, &IID_IConnectionPointContainer};
    std::vector<IUnknown*> held;
    for (const IID* iid : services) {
        IUnknown* service = query(host, *iid);
        held.push_back(service);
        held.push_back(query(service, IID_IUnknown));
        EXPECT_EQ(held.back(), static_cast<IUnknown*>(host));
        for (const IID* other : services) { // from one service to the others
            held.push_back(query(service, *other));
            EXPECT_EQ(held.back(), query(host, *other));
            held.push_back(held.back());
        }
    }
    EXPECT_EQ(held[0], static_cast<IUnknown*>(host->timeInfo()));
    IConnectionPoint* point = pointOf(host, IID_IMPNotificationSink);
    held.push_back(point);
    held.push_back(query(point, IID_IUnknown));
    EXPECT_EQ(held.back(), static_cast<IUnknown*>(host));
    EXPECT_EQ(host->referenceCount(), 1 + held.size());
    for (IUnknown* object : held)
        object->Release();

    const IID* absent[] = {&IID_IStream, &IID_IMPEventFilter, &IID_IMPNotificationSink};
    for (const IID* iid : absent) {
        void* out = host;
        EXPECT_EQ(host->QueryInterface(*iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    WarningCapture warnings;
    EXPECT_EQ(host->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_TRUE(warnings.hasAssert("out", QStringLiteral("ClientIUnknown")));
    EXPECT_EQ(host->Release(), 0u);
}

TEST(HostObjectTest, AServiceKeptByAComponentKeepsTheHostAlive) {
    auto* host = new ClientIUnknown;
    auto* timeInfo = query<IMPTimeInfo>(host, IID_IMPTimeInfo);
    TestSink sink(nullptr, 1);
    IConnectionPoint* point = pointOf(host, IID_IMPNotificationSink);
    DWORD cookie = 0;
    point->Advise(&sink, &cookie);
    point->Release();

    EXPECT_EQ(host->Release(), 1u); // the window lets go
    DWORD value = 0;
    EXPECT_EQ(timeInfo->GetTimeValue(2, &value), S_OK);
    EXPECT_EQ(sink.references, 1u);
    // The component's release tears down the host with its inner objects (the leak checker
    // sees any that stayed), and the sink still advised is let go.
    EXPECT_EQ(timeInfo->Release(), 0u);
    EXPECT_EQ(sink.references, 0u);
}

TEST(HostObjectTest, NotifyCallsTheNotificationSinksInAdviseOrder) {
    auto* host = new ClientIUnknown;
    MPNOTIFICATION notification{};
    notification.id = GUID_MPPortListChanged;
    EXPECT_EQ(host->Notify(&notification), S_OK);

    std::vector<int> log;
    TestSink first(&log, 1), second(&log, 2), third(&log, 3);
    TestSink elsewhere(&log, 9, &IID_IMPSecondarySink);
    IConnectionPoint* point = pointOf(host, IID_IMPNotificationSink);
    IConnectionPoint* secondary = pointOf(host, IID_IMPSecondarySink);
    DWORD cookies[4] = {};
    ASSERT_EQ(secondary->Advise(&elsewhere, &cookies[3]), S_OK);
    point->Advise(&second, &cookies[0]);
    point->Advise(&first, &cookies[1]);
    point->Advise(&third, &cookies[2]);
    EXPECT_EQ(host->Notify(&notification), S_OK);
    EXPECT_EQ(log, (std::vector<int>{2, 1, 3}));
    EXPECT_TRUE(IsEqualGUID(first.lastId, GUID_MPPortListChanged));

    // A sink may unadvise itself and others while it is notified.
    second.onNotify = [&] {
        point->Unadvise(cookies[0]);
        point->Unadvise(cookies[1]);
    };
    log.clear();
    EXPECT_EQ(host->Notify(&notification), S_OK);
    EXPECT_EQ(log, (std::vector<int>{2, 1, 3}));
    EXPECT_EQ(first.references, 0u);
    log.clear();
    host->Notify(&notification);
    EXPECT_EQ(log, (std::vector<int>{3}));

    log.clear();
    WarningCapture warnings;
    EXPECT_EQ(host->Notify(nullptr), E_POINTER);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(warnings.hasAssert("notification", QStringLiteral("ClientIUnknown")));
    point->Release();
    secondary->Release();
    host->Release();
    EXPECT_EQ(third.references, 0u);
    EXPECT_EQ(elsewhere.references, 0u);
}

TEST(HostObjectTest, CachedPortListsAreFreedWholeAndLeftEmpty) {
    auto* host = new ClientIUnknown;
    EXPECT_EQ(host->workspaceWindow(), nullptr);
    EXPECT_EQ(host->portListSource(), nullptr);
    EXPECT_NE(host->portListLock(), nullptr);
    MPPORTLIST& outputs = host->cachedPortList(5);
    EXPECT_EQ(&host->cachedPortList(1), &outputs);
    EXPECT_NE(&host->cachedPortList(0), &outputs);
    for (int round = 0; round < 2; ++round) {
        outputs.count = 2;
        outputs.ports = static_cast<MPPORTINFO*>(CoTaskMemAlloc(2 * sizeof(MPPORTINFO)));
        outputs.ports[0].name = static_cast<LPWSTR>(CoTaskMemAlloc(4 * sizeof(WCHAR)));
        outputs.ports[1].name = nullptr;
        if (round == 0) {
            host->freeCachedPortLists();
            EXPECT_EQ(outputs.count, 0u);
            EXPECT_EQ(outputs.ports, nullptr);
        }
    }
    host->Release(); // frees the list of the second round
}

TEST(TimeInfoTest, ConvertsEqualFormatsAndMusicalFormatsToFormatZero) {
    auto* host = new ClientIUnknown;
    auto* timeInfo = query<IMPTimeInfo>(host, IID_IMPTimeInfo);
    const DWORD accepted[][2] = {{0, 0}, {7, 7}, {1, 0}, {2, 0}, {3, 0}};
    const DWORD refused[][2] = {{4, 0}, {0, 2}, {2, 1}, {1, 3}};
    for (const auto& formats : accepted)
        EXPECT_EQ(timeInfo->CheckConversion(1LL << 40, formats[0], 11, 12, formats[1], 13), S_OK);
    for (const auto& formats : refused)
        EXPECT_EQ(timeInfo->CheckConversion(1LL << 40, formats[0], 11, 12, formats[1], 13),
                  MP_E_TIMEFORMAT);
    EXPECT_EQ(timeInfo->TimeInfoSlot4(0, 0, 0, 0, 0, 0), E_NOTIMPL);
    EXPECT_EQ(timeInfo->TimeInfoSlot5(0, 0, 0, 0, 0, 0), E_NOTIMPL);

    DWORD value = 0;
    EXPECT_EQ(timeInfo->GetTimeValue(1, &value), S_OK);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(timeInfo->GetTimeValue(2, &value), S_OK);
    EXPECT_EQ(value, 960u);
    EXPECT_EQ(timeInfo->GetTimeValue(3, &value), MP_E_TIMEFORMAT);
    EXPECT_EQ(value, 960u);
    EXPECT_EQ(timeInfo->GetTimeValue(1, nullptr), E_INVALIDARG);
    timeInfo->Release();
    host->Release();
}

TEST(QtBasedHostTest, MatchesOnlyTheToolkitVersionItRunsOn) {
    auto* host = new ClientIUnknown;
    auto* marker = query<IMPQTBasedHost>(host, IID_IMPQTBasedHost);
    DWORD isQtHost = 0;
    EXPECT_EQ(marker->IsQtHost(&isQtHost), S_OK);
    EXPECT_EQ(isQtHost, 1u);
    EXPECT_EQ(marker->IsQtHost(nullptr), E_POINTER);

    // The running library's own version text, independent of how the host asks for it.
    const QStringList parts = QString::fromLatin1(qVersion()).split(QLatin1Char('.'));
    const int major = parts.value(0).toInt(), minor = parts.value(1).toInt();
    EXPECT_EQ(marker->MatchApplication(DORVO_QT_APPLICATION_ID(major, minor)), S_OK);
    EXPECT_EQ(marker->MatchApplication(DORVO_QT_APPLICATION_ID(major, minor + 1)), E_FAIL);
    EXPECT_EQ(marker->MatchApplication(DORVO_QT_APPLICATION_ID(minor, major)), E_FAIL);
    EXPECT_EQ(marker->MatchApplication(0), E_FAIL);
    marker->Release();
    host->Release();
}

} // namespace
