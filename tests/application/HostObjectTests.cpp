// The host object: one identity for all services, its lifetime, notifications, and the answers
// of the time information and the Qt-host marker.
#include "ClientIUnknown.h"
#include "TestObjects.h"

#include <QRegularExpression>
#include <QtGlobal>
#include <gtest/gtest.h>

using dorvo2test::TestSink;
using dorvo2test::WarningCapture;

namespace {

template <class Interface> Interface* queryService(IUnknown* object, REFIID iid) {
    void* out = nullptr;
    EXPECT_EQ(object->QueryInterface(iid, &out), S_OK);
    return static_cast<Interface*>(out);
}

IConnectionPoint* notificationPoint(IUnknown* host, REFIID iid = IID_IMPNotificationSink) {
    auto* container = queryService<IConnectionPointContainer>(host, IID_IConnectionPointContainer);
    IConnectionPoint* point = nullptr;
    EXPECT_EQ(container->FindConnectionPoint(iid, &point), S_OK);
    container->Release();
    return point;
}

MPNOTIFICATION portListChanged() {
    MPNOTIFICATION notification{};
    notification.id = GUID_MPPortListChanged;
    return notification;
}

TEST(HostObjectTest, EveryServiceSharesTheHostsIdentity) {
    auto* host = new ClientIUnknown;
    IUnknown* self = queryService<IUnknown>(host, IID_IUnknown);
    EXPECT_EQ(self, static_cast<IUnknown*>(host));
    self->Release();

    const IID* services[] = {&IID_IMPTimeInfo, &IID_IMPQTBasedHost, &IID_IConnectionPointContainer};
    for (const IID* iid : services) {
        auto* service = queryService<IUnknown>(host, *iid);
        ASSERT_NE(service, nullptr);
        EXPECT_NE(service, static_cast<IUnknown*>(host));
        EXPECT_EQ(queryService<IUnknown>(service, IID_IUnknown), static_cast<IUnknown*>(host));
        host->Release();
        // From one service to the others, and back to the same pointer.
        for (const IID* other : services) {
            auto* reached = queryService<IUnknown>(service, *other);
            EXPECT_EQ(reached, queryService<IUnknown>(host, *other));
            reached->Release();
            reached->Release();
        }
        service->Release();
    }
    EXPECT_EQ(queryService<IUnknown>(host, IID_IMPTimeInfo),
              static_cast<IUnknown*>(host->timeInfo()));
    host->Release();
    // A connection point belongs to the same identity too.
    IConnectionPoint* point = notificationPoint(host);
    EXPECT_EQ(queryService<IUnknown>(point, IID_IUnknown), static_cast<IUnknown*>(host));
    host->Release();
    point->Release();
    EXPECT_EQ(host->referenceCount(), 1u);
    EXPECT_EQ(host->Release(), 0u);
}

TEST(HostObjectTest, UnknownInterfacesAreRefusedWithANullPointer) {
    auto* host = new ClientIUnknown;
    const IID* absent[] = {&IID_IStream, &IID_IMPEventFilter, &IID_IConnectionPoint,
                           &IID_IMPNotificationSink};
    for (const IID* iid : absent) {
        void* out = host;
        EXPECT_EQ(host->QueryInterface(*iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    WarningCapture warnings;
    EXPECT_EQ(host->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_TRUE(warnings.hasAssert("out", QStringLiteral("ClientIUnknown")));
    EXPECT_EQ(host->referenceCount(), 1u);
    host->Release();
}

TEST(HostObjectTest, ServiceReferencesCountOnTheHostAndKeepItAlive) {
    auto* host = new ClientIUnknown;
    auto* timeInfo = queryService<IMPTimeInfo>(host, IID_IMPTimeInfo);
    EXPECT_EQ(host->referenceCount(), 2u);
    EXPECT_EQ(timeInfo->AddRef(), 3u);
    EXPECT_EQ(timeInfo->Release(), 2u);

    TestSink sink(nullptr, 1);
    IConnectionPoint* point = notificationPoint(host);
    DWORD cookie = 0;
    point->Advise(&sink, &cookie);
    point->Release();

    // The window lets go; the component still holds its time information.
    EXPECT_EQ(host->Release(), 1u);
    DWORD value = 0;
    EXPECT_EQ(timeInfo->GetTimeValue(2, &value), S_OK);
    EXPECT_EQ(value, 960u);
    EXPECT_EQ(sink.references(), 1u);
    // Its release tears the host down with every inner object, and the sink is let go.
    EXPECT_EQ(timeInfo->Release(), 0u);
    EXPECT_EQ(sink.references(), 0u);
}

TEST(HostObjectTest, NotifyCallsTheAdvisedSinksInAdviseOrder) {
    auto* host = new ClientIUnknown;
    const MPNOTIFICATION notification = portListChanged();
    EXPECT_EQ(host->Notify(&notification), S_OK);

    std::vector<int> log;
    TestSink first(&log, 1), second(&log, 2), third(&log, 3);
    TestSink elsewhere(&log, 9, true, IID_IMPSecondarySink);
    IConnectionPoint* point = notificationPoint(host);
    IConnectionPoint* secondary = notificationPoint(host, IID_IMPSecondarySink);
    DWORD cookies[3] = {};
    DWORD otherCookie = 0;
    // The second point is never called, whatever is advised there.
    ASSERT_EQ(secondary->Advise(&elsewhere, &otherCookie), S_OK);
    point->Advise(&second, &cookies[0]);
    point->Advise(&first, &cookies[1]);
    point->Advise(&third, &cookies[2]);

    EXPECT_EQ(host->Notify(&notification), S_OK);
    EXPECT_EQ(log, (std::vector<int>{2, 1, 3}));
    EXPECT_TRUE(IsEqualGUID(first.lastId(), GUID_MPPortListChanged));

    log.clear();
    point->Unadvise(cookies[1]);
    EXPECT_EQ(host->Notify(&notification), S_OK);
    EXPECT_EQ(log, (std::vector<int>{2, 3}));

    log.clear();
    WarningCapture warnings;
    EXPECT_EQ(host->Notify(nullptr), E_POINTER);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(warnings.hasAssert("notification", QStringLiteral("ClientIUnknown")));

    point->Unadvise(cookies[0]);
    point->Unadvise(cookies[2]);
    point->Release();
    secondary->Release();
    host->Release();
    // The host let go of the sink still advised on the second point.
    EXPECT_EQ(elsewhere.references(), 0u);
}

TEST(HostObjectTest, ASinkMayUnadviseWhileBeingNotified) {
    auto* host = new ClientIUnknown;
    std::vector<int> log;
    TestSink first(&log, 1), second(&log, 2), third(&log, 3);
    IConnectionPoint* point = notificationPoint(host);
    DWORD cookies[3] = {};
    point->Advise(&first, &cookies[0]);
    point->Advise(&second, &cookies[1]);
    point->Advise(&third, &cookies[2]);
    // The second sink leaves, and takes the first one with it.
    second.onNotify([&] {
        point->Unadvise(cookies[1]);
        point->Unadvise(cookies[0]);
    });
    const MPNOTIFICATION notification = portListChanged();
    EXPECT_EQ(host->Notify(&notification), S_OK);
    EXPECT_EQ(log, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(first.references(), 0u);
    EXPECT_EQ(second.references(), 0u);

    log.clear();
    host->Notify(&notification);
    EXPECT_EQ(log, (std::vector<int>{3}));
    point->Unadvise(cookies[2]);
    point->Release();
    host->Release();
}

TEST(HostObjectTest, TheWorkspaceWindowAndPortListsStartEmpty) {
    auto* host = new ClientIUnknown;
    EXPECT_EQ(host->workspaceWindow(), nullptr);
    EXPECT_EQ(host->portListSource(), nullptr);
    EXPECT_NE(host->portMapLock(), nullptr);
    EXPECT_NE(host->portListLock(), nullptr);
    EXPECT_EQ(host->cachedPortList(0).count, 0u);
    EXPECT_EQ(host->cachedPortList(1).ports, nullptr);

    // A cached list is freed entry by entry (names, then the array), leaving it empty.
    MPPORTLIST& outputs = host->cachedPortList(5);
    outputs.count = 2;
    outputs.ports = static_cast<MPPORTINFO*>(CoTaskMemAlloc(2 * sizeof(MPPORTINFO)));
    outputs.ports[0].name = static_cast<LPWSTR>(CoTaskMemAlloc(4 * sizeof(WCHAR)));
    outputs.ports[1].name = nullptr;
    EXPECT_EQ(&host->cachedPortList(1), &outputs);
    host->freeCachedPortLists();
    EXPECT_EQ(outputs.count, 0u);
    EXPECT_EQ(outputs.ports, nullptr);

    // A list still cached when the host goes is freed with it (checked by the leak checker).
    outputs.count = 1;
    outputs.ports = static_cast<MPPORTINFO*>(CoTaskMemAlloc(sizeof(MPPORTINFO)));
    outputs.ports[0].name = static_cast<LPWSTR>(CoTaskMemAlloc(2 * sizeof(WCHAR)));
    host->Release();
}

TEST(TimeInfoTest, ConvertsEqualFormatsAndMusicalFormatsToFormatZero) {
    auto* host = new ClientIUnknown;
    auto* timeInfo = queryService<IMPTimeInfo>(host, IID_IMPTimeInfo);
    struct Case {
        DWORD source, target;
        HRESULT expected;
    } cases[] = {{0, 0, S_OK},
                 {7, 7, S_OK},
                 {1, 0, S_OK},
                 {2, 0, S_OK},
                 {3, 0, S_OK},
                 {4, 0, MP_E_TIMEFORMAT},
                 {0, 2, MP_E_TIMEFORMAT},
                 {2, 1, MP_E_TIMEFORMAT},
                 {1, 3, MP_E_TIMEFORMAT}};
    for (const Case& c : cases)
        EXPECT_EQ(timeInfo->CheckConversion(123456789012LL, c.source, 11, 12, c.target, 13),
                  c.expected)
            << c.source << " to " << c.target;
    EXPECT_EQ(timeInfo->TimeInfoSlot4(0, 0, 0, 0, 0, 0), E_NOTIMPL);
    EXPECT_EQ(timeInfo->TimeInfoSlot5(0, 0, 0, 0, 0, 0), E_NOTIMPL);

    DWORD value = 0;
    EXPECT_EQ(timeInfo->GetTimeValue(1, &value), S_OK);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(timeInfo->GetTimeValue(2, &value), S_OK);
    EXPECT_EQ(value, 960u);
    value = 42;
    EXPECT_EQ(timeInfo->GetTimeValue(3, &value), MP_E_TIMEFORMAT);
    EXPECT_EQ(timeInfo->GetTimeValue(0, &value), MP_E_TIMEFORMAT);
    EXPECT_EQ(value, 42u);
    EXPECT_EQ(timeInfo->GetTimeValue(1, nullptr), E_INVALIDARG);
    timeInfo->Release();
    host->Release();
}

TEST(QtBasedHostTest, MatchesOnlyTheToolkitVersionItRunsOn) {
    auto* host = new ClientIUnknown;
    auto* marker = queryService<IMPQTBasedHost>(host, IID_IMPQTBasedHost);
    DWORD isQtHost = 0;
    EXPECT_EQ(marker->IsQtHost(&isQtHost), S_OK);
    EXPECT_EQ(isQtHost, 1u);
    EXPECT_EQ(marker->IsQtHost(nullptr), E_POINTER);

    // The running library's own version text, independent of how the host asks for it.
    const QStringList parts = QString::fromLatin1(qVersion()).split(QLatin1Char('.'));
    ASSERT_GE(parts.size(), 2);
    const int major = parts[0].toInt();
    const int minor = parts[1].toInt();
    EXPECT_EQ(marker->MatchApplication(DORVO_QT_APPLICATION_ID(major, minor)), S_OK);
    EXPECT_EQ(marker->MatchApplication(DORVO_QT_APPLICATION_ID(major, minor + 1)), E_FAIL);
    EXPECT_EQ(marker->MatchApplication(DORVO_QT_APPLICATION_ID(major - 1, minor)), E_FAIL);
    EXPECT_EQ(marker->MatchApplication(DORVO_QT_APPLICATION_ID(minor, major)), E_FAIL);
    EXPECT_EQ(marker->MatchApplication(0), E_FAIL);
    marker->Release();
    host->Release();
}

} // namespace
