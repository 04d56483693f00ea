// Components written in C and hosts written in C++ share one table layout: the C component is
// called through the C++ declarations, and calls the host's C++ objects through the C ones.
#include "CComponentIds.h"
#include "CLayout.h"

#include <dorvo/dorvo2.h>
#include <dorvo/winreg.h>

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QString>

#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

TEST(SdkLayout, RecordsAndTableSlotsAreTheSameInC) {
    // Slots are the published method orders, counted from QueryInterface at 0.
    const std::vector<size_t> expected = {
        sizeof(MPEVENT),
        offsetof(MPEVENT, port),
        offsetof(MPEVENT, channel),
        offsetof(MPEVENT, selector),
        offsetof(MPEVENT, sequence),
        offsetof(MPEVENT, received),
        offsetof(MPEVENT, dataLength),
        offsetof(MPEVENT, data),
        sizeof(MPPORTINFO),
        offsetof(MPPORTINFO, name),
        sizeof(MPFILTERINFO),
        sizeof(MPNOTIFICATION),
        sizeof(STATSTG),
        offsetof(STATSTG, clsid),
        sizeof(PROPPAGEINFO),
        sizeof(CONNECTDATA),
        sizeof(CAUUID),
        8,  // LARGE_INTEGER
        2,  // WCHAR
        4,  // BOOL
        5,  // IStream::Seek
        13, // IStream::Clone
        7,  // IPersistStream::GetSizeMax
        13, // IPropertyPage::TranslateAccelerator
        7,  // IConnectionPoint::EnumConnections
        7,  // IMPClientServices2::SetPortUsage
        10, // IMPEventQueue::QueueSlot10
        6,  // IMPTimeInfo::GetTimeValue
        1,  // IMPClientProgressHandler::AbortProgress
        7,  // IMPDeviceSync2::GetRecallInfo
        4,  // IDorvo2Comp::Resync
        3,  // IMPPageHost::Call
    };
    ASSERT_EQ(cLayoutCount, expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(cLayout[i], expected[i]) << "entry " << i << " of AllHeaders.c";
}

// One interface of a host-side object that lives on the test's stack.
template <typename Interface> class HostObject : public Interface {
public:
    explicit HostObject(const IID& iid) : m_iid(iid) {}
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, m_iid)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
    STDMETHOD_(ULONG, Release)() override { return --m_refs; }
    ULONG refs() const { return m_refs; }

private:
    const IID& m_iid;
    ULONG m_refs = 1;
};

struct TimeInfo : HostObject<IMPTimeInfo> {
    TimeInfo() : HostObject(IID_IMPTimeInfo) {}
    STDMETHOD(CheckConversion)
    (LONGLONG time, DWORD source, DWORD a3, DWORD a4, DWORD target, DWORD a6) override {
        calls.push_back({uint64_t(time), source, a3, a4, target, a6});
        return MP_E_TIMEFORMAT;
    }
    STDMETHOD(TimeInfoSlot4)(LONGLONG, DWORD, DWORD, DWORD, DWORD, DWORD) override {
        return E_NOTIMPL;
    }
    STDMETHOD(TimeInfoSlot5)(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) override {
        return E_NOTIMPL;
    }
    STDMETHOD(GetTimeValue)(DWORD which, DWORD* value) override {
        *value = which == 2 ? 960 : 1;
        return S_OK;
    }
    std::vector<std::vector<uint64_t>> calls;
};

// The host object: the component reaches the time information through it.
struct Host : HostObject<IUnknown> {
    Host() : HostObject(IID_IUnknown) {}
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IMPTimeInfo))
            return timeInfo.QueryInterface(riid, ppv);
        return HostObject::QueryInterface(riid, ppv);
    }
    TimeInfo timeInfo;
};

struct SentEvent {
    MPEVENT event;
    std::string longBytes;
};

struct Output : HostObject<IMPAsyncOutput> {
    Output() : HostObject(IID_IMPAsyncOutput) {}
    STDMETHOD(SendEvent)(const MPEVENT* event, DWORD flags) override {
        SentEvent sent{*event, {}};
        if (event->type & MPEVENT_MASK_LONG) {
            // The sender frees its bytes after the call: keep a copy.
            sent.longBytes.assign(reinterpret_cast<const char*>(event->longData),
                                  event->dataLength);
            sent.event.longData = nullptr;
        }
        if (flags & 1)
            sentEvents.push_back(sent);
        return S_OK;
    }
    std::vector<SentEvent> sentEvents;
};

// Holds one event; a long event's bytes go out as the caller's own task-allocated copy.
struct Queue : HostObject<IMPEventQueue> {
    Queue(const MPEVENT& event, std::string longBytes = {})
        : HostObject(IID_IMPEventQueue), event(event), longBytes(std::move(longBytes)) {}
    STDMETHOD(SetSelectors)(const MPSELECTORLIST*, const MPSELECTORLIST*) override { return S_OK; }
    STDMETHOD(GetFirstEvent)(BOOL* found, MPEVENT* out, BOOL* more, DWORD typeMask) override {
        askedMask = typeMask;
        *out = event;
        if (!longBytes.empty()) {
            out->longData = static_cast<BYTE*>(CoTaskMemAlloc(longBytes.size()));
            std::memcpy(out->longData, longBytes.data(), longBytes.size());
            out->dataLength = DWORD(longBytes.size());
        }
        *found = TRUE;
        *more = FALSE;
        return S_OK;
    }
    STDMETHOD(GetNextEvent)(BOOL*, MPEVENT*, BOOL*, DWORD) override { return S_OK; }
    STDMETHOD(GetNextEvent2)(BOOL*, MPEVENT*, BOOL*, DWORD) override { return S_OK; }
    STDMETHOD(PeekEvent)(DWORD, MPEVENT*, DWORD) override { return E_FAIL; }
    STDMETHOD(PutEvents)(DWORD, const MPEVENT*) override { return S_OK; }
    STDMETHOD(QueueSlot9)(DWORD, DWORD) override { return E_FAIL; }
    STDMETHOD(QueueSlot10)(DWORD) override { return E_FAIL; }
    MPEVENT event;
    std::string longBytes;
    DWORD askedMask = 0;
};

// A target for CopyTo: only Write is used.
struct TargetStream : HostObject<IStream> {
    TargetStream() : HostObject(IID_IStream) {}
    STDMETHOD(Read)(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* written) override {
        bytes.append(static_cast<const char*>(pv), cb);
        *written = cb;
        return S_OK;
    }
    STDMETHOD(Seek)(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHOD(SetSize)(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHOD(CopyTo)(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(Commit)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(Revert)() override { return E_NOTIMPL; }
    STDMETHOD(LockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(UnlockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(Stat)(STATSTG*, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(Clone)(IStream**) override { return E_NOTIMPL; }
    std::string bytes;
};

class CComponent : public testing::Test {
protected:
    // The component registers itself, in C, as an installer would have it do.
    static void SetUpTestSuite() {
        void* library = dlopen(C_COMPONENT, RTLD_NOW);
        ASSERT_NE(library, nullptr) << dlerror();
        auto registerServer =
            reinterpret_cast<LPFNREGISTERSERVER>(dlsym(library, "DllRegisterServer"));
        ASSERT_NE(registerServer, nullptr);
        EXPECT_EQ(registerServer(), S_OK);
        dlclose(library);
    }

    template <typename Interface> static Interface* create(const IID& iid) {
        Interface* object = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_DorvoCTestComponent, nullptr, CLSCTX_INPROC_SERVER, iid,
                                   reinterpret_cast<void**>(&object)),
                  S_OK);
        return object;
    }

    static LARGE_INTEGER move(LONGLONG distance) {
        LARGE_INTEGER value;
        value.QuadPart = distance;
        return value;
    }
    static ULARGE_INTEGER count(ULONGLONG bytes) {
        ULARGE_INTEGER value;
        value.QuadPart = bytes;
        return value;
    }
};

TEST_F(CComponent, RegistersItsOwnPath) {
    OLECHAR clsid[39];
    StringFromGUID2(CLSID_DorvoCTestComponent, clsid, 39);
    const std::u16string keyName = u"CLSID\\" + std::u16string(clsid) + u"\\InprocServer32";
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    WCHAR path[1024] = {};
    DWORD bytes = sizeof path - 2;
    EXPECT_EQ(
        RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &bytes),
        ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(QString::fromUtf16(path), QFileInfo(QStringLiteral(C_COMPONENT)).canonicalFilePath());
}

TEST_F(CComponent, StreamMethodsTakeValueArgumentsAndHandOutTaskMemory) {
    IStream* stream = create<IStream>(IID_IStream);
    ASSERT_NE(stream, nullptr);
    ULONG done = 0;
    EXPECT_EQ(stream->Write("abcdefgh", 8, &done), S_OK);
    EXPECT_EQ(done, 8u);

    ULARGE_INTEGER position = count(0);
    EXPECT_EQ(stream->Seek(move(-3), STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 5u);
    char buffer[8] = {};
    EXPECT_EQ(stream->Read(buffer, 8, &done), S_OK);
    EXPECT_EQ(std::string(buffer, done), "fgh");

    // The high word of a 64-bit value passed by value arrives.
    EXPECT_EQ(stream->Seek(move(0x100000002LL), STREAM_SEEK_SET, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 0x100000002ULL);
    EXPECT_EQ(stream->Seek(move(-0x100000003LL), STREAM_SEEK_CUR, &position),
              STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream->Seek(move(0), 7, &position), STG_E_INVALIDFUNCTION);

    EXPECT_EQ(stream->SetSize(count(4)), S_OK);
    STATSTG stat = {};
    ASSERT_EQ(stream->Stat(&stat, 0), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 4u);
    EXPECT_TRUE(IsEqualCLSID(stat.clsid, CLSID_DorvoCTestComponent));
    ASSERT_NE(stat.pwcsName, nullptr);
    EXPECT_EQ(std::u16string(stat.pwcsName), u"ccomponent");
    CoTaskMemFree(stat.pwcsName);

    // CopyTo calls the C++ target through the C declaration of IStream::Write.
    TargetStream target;
    ULARGE_INTEGER read = count(0), written = count(0);
    EXPECT_EQ(stream->Seek(move(1), STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(stream->CopyTo(&target, count(0x100000002ULL), &read, &written), S_OK);
    EXPECT_EQ(target.bytes, "bcd");
    EXPECT_EQ(read.QuadPart, 3u);
    EXPECT_EQ(written.QuadPart, 3u);
    EXPECT_EQ(stream->CopyTo(nullptr, count(1), nullptr, nullptr), STG_E_INVALIDPOINTER);

    IMPInitialise* initialise = nullptr;
    ASSERT_EQ(stream->QueryInterface(IID_IMPInitialise, reinterpret_cast<void**>(&initialise)),
              S_OK);
    IStream* same = nullptr;
    ASSERT_EQ(initialise->QueryInterface(IID_IStream, reinterpret_cast<void**>(&same)), S_OK);
    EXPECT_EQ(same, stream);
    void* none = &done;
    EXPECT_EQ(initialise->QueryInterface(IID_IPersistStream, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    same->Release();
    initialise->Release();
    EXPECT_EQ(stream->Release(), 0u);
}

TEST_F(CComponent, ConnectsToTheHostAndFiltersEventsThroughTheCDeclarations) {
    IMPInitialise* initialise = create<IMPInitialise>(IID_IMPInitialise);
    ASSERT_NE(initialise, nullptr);
    Host host;
    Output output;
    DWORD flags = MPCONNECT_LIVEINPUT | 0x101;
    ASSERT_EQ(initialise->MPConnect(&host, &output, 0x11111111, 0x22222222, &flags), S_OK);
    EXPECT_EQ(flags, MPCONNECT_LIVEINPUT);
    ASSERT_EQ(host.timeInfo.calls.size(), 1u);
    EXPECT_EQ(host.timeInfo.calls[0], (std::vector<uint64_t>{uint64_t(CTEST_TIME), 2, 0x11111111,
                                                             0x22222222, 0, CTEST_LAST_WORD}));
    EXPECT_EQ(host.timeInfo.refs(), 1u) << "released after use";
    EXPECT_EQ(output.refs(), 2u) << "kept while connected";

    IMPEventFilter* filter = nullptr;
    ASSERT_EQ(initialise->QueryInterface(IID_IMPEventFilter, reinterpret_cast<void**>(&filter)),
              S_OK);
    DWORD a = 0, b = 0, c = 0;
    EXPECT_EQ(filter->GetFilterInfo(&a, &b, &c), S_OK);
    EXPECT_EQ(a, 960u);
    EXPECT_EQ(HRESULT(b), MP_E_TIMEFORMAT);
    EXPECT_EQ(c, CTEST_FILTER_WORD);

    MPEVENT note = {};
    note.type = MPEVENT_NOTEON;
    note.port = 3;
    note.channel = 9;
    note.sequence = 0x1122334455667788ULL;
    note.received = 1;
    note.data[0] = 0x90;
    note.data[1] = 60;
    note.data[2] = 100;
    MPFILTERINFO info = {0xABCDEF0012345678ULL, 0xABCDEF0012345679ULL, 1, 0, MPFILTER_LIVEINPUT, 0};
    Queue noteQueue(note);
    EXPECT_EQ(filter->FilterEvents(&noteQueue, &info), S_OK);
    EXPECT_EQ(noteQueue.askedMask, MPEVENT_MASK_ALL);

    MPEVENT sysex = {};
    sysex.type = MPEVENT_SYSEX;
    sysex.port = 4;
    Queue sysexQueue(sysex, std::string("\x41\x10\xF7", 3));
    EXPECT_EQ(filter->FilterEvents(&sysexQueue, &info), S_OK);
    info.flags = 0;
    EXPECT_EQ(filter->FilterEvents(&noteQueue, &info), S_OK) << "not live input: ignored";

    ASSERT_EQ(output.sentEvents.size(), 2u);
    const MPEVENT& sentNote = output.sentEvents[0].event;
    EXPECT_EQ(sentNote.type, MPEVENT_NOTEON);
    EXPECT_EQ(sentNote.port, 3u);
    EXPECT_EQ(sentNote.channel, 10u);
    EXPECT_EQ(sentNote.selector, 0x12345678u);
    EXPECT_EQ(sentNote.sequence, 0x1122334455667788ULL);
    EXPECT_EQ(sentNote.received, 1u);
    EXPECT_EQ(std::memcmp(sentNote.data, note.data, 4), 0);
    EXPECT_EQ(output.sentEvents[1].event.port, 4u);
    EXPECT_EQ(output.sentEvents[1].longBytes, std::string("\x41\x10\xF7", 3));

    EXPECT_EQ(initialise->MPConnect(nullptr, &output, 1, 0, &flags), E_POINTER);
    EXPECT_EQ(initialise->MPDisconnect(), S_OK);
    EXPECT_EQ(output.refs(), 1u);
    filter->Release();
    EXPECT_EQ(initialise->Release(), 0u);
}

} // namespace
