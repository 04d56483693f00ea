// The component build's library as an outer application uses it: loaded by path, asked for its
// class factories, its component object created, connected, fed MIDI, saved, loaded and
// released from this (non-GUI) thread, while the library runs the toolkit on a GUI thread of
// its own. The library's traces are read from the file DORVO2_TRACE names.
#include "TDocumentReader.h"
#include "TDocumentWriter.h"
#include "TestEnvironment.h"

#include <dorvo/dorvo2.h>
#include <dorvo/dorvo2comp.h>
#include <dorvo/objbase.h>
#include <dorvo/winreg.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMetaObject>
#include <QThread>

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <vector>

namespace {

const CLSID& kComponentClass = CLSID_Dorvo2Comp;
const CLSID& kPageClass = CLSID_Dorvo2CompPropertyPage;

struct Library {
    void* handle = nullptr;
    HRESULT (*getClassObject)(REFCLSID, REFIID, LPVOID*) = nullptr;
    HRESULT (*canUnloadNow)() = nullptr;
    HRESULT (*registerServer)() = nullptr;
    HRESULT (*unregisterServer)() = nullptr;
};

// Loaded once and never unloaded, as an outer application does once an object existed.
Library& library() {
    static Library loaded = [] {
        Library l;
        l.handle = dlopen(DORVO2_COMPONENT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!l.handle)
            return l;
        l.getClassObject =
            reinterpret_cast<decltype(l.getClassObject)>(dlsym(l.handle, "DllGetClassObject"));
        l.canUnloadNow =
            reinterpret_cast<decltype(l.canUnloadNow)>(dlsym(l.handle, "DllCanUnloadNow"));
        l.registerServer =
            reinterpret_cast<decltype(l.registerServer)>(dlsym(l.handle, "DllRegisterServer"));
        l.unregisterServer =
            reinterpret_cast<decltype(l.unregisterServer)>(dlsym(l.handle, "DllUnregisterServer"));
        return l;
    }();
    return loaded;
}

const std::string& traceFile() {
    static const std::string path = dorvo2test::makeTempDir("trace") + "/trace.txt";
    return path;
}

// The trace lines written since the last call.
QStringList newTraces() {
    static qsizetype seen = 0;
    QFile file(QString::fromStdString(traceFile()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = file.readAll();
    const QByteArray fresh = all.mid(seen);
    seen = all.size();
    return QString::fromUtf8(fresh).split('\n', Qt::SkipEmptyParts);
}

// A stream over bytes in memory, as an outer application's project file gives one.
class MemoryStream : public IStream {
public:
    QByteArray bytes;
    qsizetype position = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(void* destination, ULONG count, ULONG* read) override {
        const qsizetype n = std::min<qsizetype>(count, bytes.size() - position);
        memcpy(destination, bytes.constData() + position, size_t(n));
        position += n;
        if (read)
            *read = ULONG(n);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG count, ULONG* written) override {
        bytes.append(static_cast<const char*>(data), count);
        ++writes;
        if (written)
            *written = count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* statistics, DWORD) override {
        *statistics = STATSTG{};
        statistics->cbSize.QuadPart = ULONGLONG(bytes.size() - position);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
    int writes = 0;
};

// The outer application's host object: a notification connection point that records who was
// advised and unadvised.
class OuterHost : public IConnectionPointContainer, public IConnectionPoint {
public:
    std::vector<DWORD> advised;
    std::vector<DWORD> unadvised;
    DWORD nextCookie = 1;
    IUnknown* sink = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPointContainer))
            *out = static_cast<IConnectionPointContainer*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
        if (!IsEqualIID(iid, IID_IMPNotificationSink))
            return E_NOINTERFACE;
        *point = this;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* newSink, DWORD* cookie) override {
        sink = newSink;
        advised.push_back(*cookie = nextCookie++);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        unadvised.push_back(cookie);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
};

// A batch of events as the outer application hands it to the filter.
class EventBatch : public IMPEventQueue {
public:
    std::vector<MPEVENT> events;
    std::size_t next = 0;
    int reads = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SetSelectors(const MPSELECTORLIST*, const MPSELECTORLIST*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFirstEvent(BOOL* found, MPEVENT* event, BOOL* more,
                                            DWORD mask) override {
        next = 0;
        return GetNextEvent(found, event, more, mask);
    }
    HRESULT STDMETHODCALLTYPE GetNextEvent(BOOL* found, MPEVENT* event, BOOL* more,
                                           DWORD) override {
        ++reads;
        *found = next < events.size();
        if (*found)
            *event = events[next++];
        *more = next < events.size();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNextEvent2(BOOL*, MPEVENT*, BOOL*, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PeekEvent(DWORD, MPEVENT*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutEvents(DWORD, const MPEVENT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueueSlot9(DWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueueSlot10(DWORD) override { return E_NOTIMPL; }
};

template <class Interface> Interface* query(IUnknown* object, REFIID iid) {
    void* out = nullptr;
    if (FAILED(object->QueryInterface(iid, &out)))
        return nullptr;
    return static_cast<Interface*>(out);
}

IMPInitialise* createComponent() {
    IClassFactory* factory = nullptr;
    if (library().getClassObject(kComponentClass, IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory)) != S_OK)
        return nullptr;
    IMPInitialise* object = nullptr;
    factory->CreateInstance(nullptr, IID_IMPInitialise, reinterpret_cast<void**>(&object));
    factory->Release();
    return object;
}

xdw::Document savedDocument(IPersistStream* persistence) {
    MemoryStream stream;
    EXPECT_EQ(persistence->Save(&stream, TRUE), S_OK);
    EXPECT_EQ(stream.writes, 1) << "one Write call";
    ULARGE_INTEGER size{};
    EXPECT_EQ(persistence->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, ULONGLONG(stream.bytes.size())) << "GetSizeMax is Save's length";
    const TDocumentReader::Result read = TDocumentReader::read(stream.bytes);
    EXPECT_EQ(read.outcome, TDocumentReader::Outcome::Complete) << read.defectLine().toStdString();
    return read.document;
}

class ComponentLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("DORVO2_TRACE", traceFile().c_str(), 1);
        ASSERT_TRUE(library().handle) << dlerror();
    }
};

// In one test, in this order: what holds before any component object existed cannot be seen
// again afterwards.
TEST_F(ComponentLibraryTest, FactoriesCountsRegistrationAndTheObjectsLife) {
    Library& l = library();
    ASSERT_TRUE(l.getClassObject && l.canUnloadNow && l.registerServer && l.unregisterServer);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(
        l.getClassObject(kComponentClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    EXPECT_EQ(factory->AddRef(), 2u) << "handed out with one reference, the caller's";
    EXPECT_EQ(factory->Release(), 1u);
    void* other = &l;
    EXPECT_EQ(factory->QueryInterface(IID_IStream, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(factory->Release(), 0u);
    other = &l;
    EXPECT_EQ(l.getClassObject(kComponentClass, IID_IStream, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr) << "and the factory is freed (the leak checker would tell)";
    EXPECT_EQ(l.getClassObject(IID_IStream, IID_IClassFactory, &other), CLASS_E_CLASSNOTAVAILABLE);

    // Locks: exactly 1 raises, anything else lowers.
    ASSERT_EQ(l.getClassObject(kPageClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(l.canUnloadNow(), S_OK);
    EXPECT_EQ(newTraces(), QStringList{"Unloading Component DLL"});
    factory->LockServer(1);
    factory->LockServer(1);
    EXPECT_EQ(l.canUnloadNow(), S_FALSE);
    factory->LockServer(2);
    EXPECT_EQ(l.canUnloadNow(), S_FALSE);
    factory->LockServer(0);
    EXPECT_EQ(l.canUnloadNow(), S_OK);
    factory->Release();

    // Registration.
    EXPECT_EQ(l.unregisterServer(), SELFREG_E_CLASS) << "nothing registered";
    EXPECT_EQ(l.registerServer(), S_OK);
    EXPECT_EQ(l.registerServer(), S_OK) << "again, over the same entries";
    IUnknown* created = nullptr;
    ASSERT_EQ(CoCreateInstance(kComponentClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&created)),
              S_OK)
        << "found through the registry";
    newTraces();
    EXPECT_EQ(created->Release(), 0u);
    EXPECT_EQ(newTraces(), QStringList{"CompIMPInitialise::Release() yields:0"});
    EXPECT_EQ(l.canUnloadNow(), S_FALSE) << "for the rest of the process";
    HKEY deep = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT,
                              u"CLSID\\{3D6E2B14-8C51-4F0A-9B27-61D40E85A34C}\\a\\b\\c", 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &deep, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(deep);
    EXPECT_EQ(l.unregisterServer(), S_OK);
    EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{3D6E2B14-8C51-4F0A-9B27-61D40E85A34C}", 0,
                            KEY_READ, &deep),
              ERROR_SUCCESS)
        << "the class key went with everything below it";
    EXPECT_EQ(l.unregisterServer(), SELFREG_E_CLASS);

    // Building an object: the owner and its five parts, in order.
    IMPInitialise* object = createComponent();
    ASSERT_TRUE(object);
    EXPECT_EQ(
        newTraces(),
        (QStringList{"CompIMPInitialise::CompIMPInitialise() Constructor called - useCount: 1",
                     "CompIMPNotificationSink::CompIMPNotificationSink() Constructor called - "
                     "useCount: 1",
                     "CompISpecifyPropertyPages::CompISpecifyPropertyPages() Constructor called - "
                     "useCount: 1",
                     "CompIMPEventFilter::CompIMPEventFilter() Constructor called - useCount: 1",
                     "CompDorvo2Comp::CompDorvo2Comp() Constructor called - useCount: 1",
                     "CompIPersistStream::CompIPersistStream() Constructor called - useCount: 1",
                     "CompIMPInitialise::Release() yields:1"}));

    // Every interface reaches every other; the last Release through a part ends the owner once.
    auto* persistence = query<IPersistStream>(object, IID_IPersistStream);
    ASSERT_TRUE(persistence);
    auto* pages = query<ISpecifyPropertyPages>(persistence, IID_ISpecifyPropertyPages);
    ASSERT_TRUE(pages);
    auto* identity = query<IUnknown>(pages, IID_IUnknown);
    EXPECT_EQ(identity, static_cast<IUnknown*>(object));
    CAUUID classes{};
    EXPECT_EQ(pages->GetPages(nullptr), E_OUTOFMEMORY);
    ASSERT_EQ(pages->GetPages(&classes), S_OK);
    ASSERT_EQ(classes.cElems, 1u);
    EXPECT_TRUE(IsEqualGUID(classes.pElems[0], kPageClass));
    CoTaskMemFree(classes.pElems);
    CLSID persisted{};
    EXPECT_EQ(persistence->GetClassID(&persisted), S_OK);
    EXPECT_TRUE(IsEqualGUID(persisted, kComponentClass));
    EXPECT_EQ(persistence->IsDirty(), S_FALSE) << "no Workspace yet";
    identity->Release();
    pages->Release();
    object->Release();
    newTraces();
    EXPECT_EQ(persistence->Release(), 0u);
    EXPECT_EQ(newTraces(), QStringList{"CompIMPInitialise::Release() yields:0"});
}

TEST_F(ComponentLibraryTest, ConnectsOnceSavesLoadsFromThisThreadAndDisconnects) {
    IMPInitialise* object = createComponent();
    ASSERT_TRUE(object);
    auto* persistence = query<IPersistStream>(object, IID_IPersistStream);
    ASSERT_TRUE(persistence);

    OuterHost first;
    OuterHost second;
    DWORD flags = 0xFF;
    EXPECT_EQ(object->MPConnect(nullptr, nullptr, 1, 0, &flags), E_POINTER);
    EXPECT_EQ(
        object->MPConnect(static_cast<IConnectionPointContainer*>(&first), nullptr, 1, 0, nullptr),
        E_POINTER);
    ASSERT_EQ(
        object->MPConnect(static_cast<IConnectionPointContainer*>(&first), nullptr, 1, 0, &flags),
        S_OK);
    EXPECT_EQ(flags, 0x40u);
    ASSERT_EQ(first.advised.size(), 1u);
    newTraces();
    flags = 0x01;
    ASSERT_EQ(
        object->MPConnect(static_cast<IConnectionPointContainer*>(&second), nullptr, 1, 0, &flags),
        S_OK);
    EXPECT_EQ(flags, 0u);
    EXPECT_TRUE(newTraces().contains("WARNING: MPConnect - MPDisconnect sequence error"));
    EXPECT_EQ(first.unadvised, first.advised) << "the first connection ended";
    ASSERT_EQ(second.advised.size(), 1u);
    EXPECT_TRUE(second.unadvised.empty());
    auto* sink = query<IMPNotificationSink>(second.sink, IID_IMPNotificationSink);
    ASSERT_TRUE(sink) << "the advised object is the component's sink";
    const MPNOTIFICATION notification{};
    EXPECT_EQ(sink->OnNotify(&notification), E_FAIL) << "no Workspace to tell yet";

    // Before any window: the empty Workspace's document.
    const xdw::Document empty = savedDocument(persistence);
    EXPECT_EQ(empty.header.toString(), "Version;2.00;Application Name;Dorvo");
    EXPECT_EQ(empty.geometry, QRect(QPoint(100, 100), QPoint(499, 399)));
    EXPECT_TRUE(empty.components.isEmpty());
    EXPECT_EQ(empty.view.value(xdw::kSortingKey).toInt(), 0);

    // A load from this thread returns once the GUI thread has read the document.
    xdw::Document sorted = empty;
    sorted.view[xdw::kSortingKey] = qint32(1);
    MemoryStream document;
    document.bytes = TDocumentWriter::bytes(sorted);
    ASSERT_EQ(persistence->Load(&document), S_OK);
    EXPECT_EQ(savedDocument(persistence).view.value(xdw::kSortingKey).toInt(), 1)
        << "the loaded Workspace is the one saved";
    EXPECT_EQ(persistence->IsDirty(), S_FALSE);
    EXPECT_EQ(sink->OnNotify(&notification), S_OK) << "the Workspace hears it now";
    MemoryStream nothing;
    EXPECT_EQ(persistence->Load(&nothing), E_FAIL);
    EXPECT_EQ(persistence->Load(nullptr), E_FAIL);

    // Editors and Recall are asked for from this thread and happen later; unknown components
    // are no error here.
    auto* dorvo2Comp = query<IDorvo2Comp>(object, IID_IDorvo2Comp);
    ASSERT_TRUE(dorvo2Comp);
    EXPECT_EQ(dorvo2Comp->DisplayEditor(0, reinterpret_cast<IUnknown*>(&document)), S_OK);
    EXPECT_EQ(dorvo2Comp->Resync(1), S_OK);
    dorvo2Comp->Release();

    EXPECT_EQ(object->MPDisconnect(), S_OK);
    EXPECT_EQ(second.unadvised, second.advised);
    EXPECT_EQ(persistence->IsDirty(), S_FALSE) << "the window went with the connection";
    EXPECT_EQ(savedDocument(persistence).view.value(xdw::kSortingKey).toInt(), 0);
    sink->Release();
    persistence->Release();
    EXPECT_EQ(object->Release(), 0u);
}

TEST_F(ComponentLibraryTest, FiltersOnlyLiveInputAndFreesWhatItDrops) {
    IMPInitialise* object = createComponent();
    ASSERT_TRUE(object);
    auto* filter = query<IMPEventFilter>(object, IID_IMPEventFilter);
    ASSERT_TRUE(filter);
    DWORD a = 0, b = 0, c = 0;
    EXPECT_EQ(filter->GetFilterInfo(&a, &b, &c), S_OK);
    EXPECT_EQ(std::vector<DWORD>({a, b, c}), std::vector<DWORD>({2, 2, 7}));

    EventBatch batch;
    MPEVENT note{};
    note.type = MPEVENT_NOTEON;
    batch.events = {note, note, note};
    MPFILTERINFO played{0, 3, 1, 0, 0, 0};
    EXPECT_EQ(filter->FilterEvents(&batch, &played), S_OK);
    EXPECT_EQ(batch.reads, 0) << "a batch without live input is not read";
    played.flags = MPFILTER_LIVEINPUT;
    EXPECT_EQ(filter->FilterEvents(&batch, &played), S_OK);
    EXPECT_EQ(batch.reads, 3) << "first, then next until no more";

    // A long event's data belongs to the component once queued: the pusher frees it after
    // delivery (with no Workspace to deliver to), or the filter when the ring is full.
    EventBatch sysex;
    for (int i = 0; i < 2000; ++i) {
        MPEVENT event{};
        event.type = MPEVENT_MASK_LONG & 0x10000;
        event.dataLength = 4;
        event.longData = static_cast<BYTE*>(CoTaskMemAlloc(4));
        sysex.events.push_back(event);
    }
    EXPECT_EQ(filter->FilterEvents(&sysex, &played), S_OK);
    filter->Release();
    EXPECT_EQ(object->Release(), 0u) << "stops the pusher after what it holds";
}

// A load that the GUI thread only begins after the caller stopped waiting, and after the
// connection it belonged to ended: it does nothing, and its bytes are still its own.
TEST_F(ComponentLibraryTest, ALateLoadAfterADisconnectDoesNothing) {
    IMPInitialise* object = createComponent();
    ASSERT_TRUE(object);
    auto* persistence = query<IPersistStream>(object, IID_IPersistStream);
    OuterHost host;
    DWORD flags = 0x40;
    ASSERT_EQ(
        object->MPConnect(static_cast<IConnectionPointContainer*>(&host), nullptr, 1, 0, &flags),
        S_OK);

    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    object->AddRef();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [object, opened] {
            opened.wait();
            object->MPDisconnect(); // on the GUI thread, before the carried load runs
            object->Release();
        },
        Qt::QueuedConnection);

    xdw::Document sorted;
    sorted.header = QStringLiteral("Version;2.00;Application Name;Dorvo");
    sorted.geometry = QRect(10, 10, 300, 200);
    sorted.view[xdw::kMinorVersionKey] = quint32(2);
    sorted.view[xdw::kSortingKey] = qint32(1);
    sorted.recallEnabled = QList<qint32>();
    sorted.thru = xdw::ThruSection();
    MemoryStream document;
    document.bytes = TDocumentWriter::bytes(sorted);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(persistence->Load(&document), S_OK);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000))
        << "the caller gave up after a second";
    document.bytes.fill('\xEE'); // the caller's buffer is its own again
    gate.set_value();

    // Carried after the load: runs once the load record did.
    auto* dorvo2Comp = query<IDorvo2Comp>(object, IID_IDorvo2Comp);
    EXPECT_EQ(dorvo2Comp->Resync(0), S_OK);
    dorvo2Comp->Release();
    EXPECT_EQ(object->MPDisconnect(), S_OK);
    EXPECT_EQ(persistence->IsDirty(), S_FALSE);
    EXPECT_EQ(savedDocument(persistence).view.value(xdw::kSortingKey).toInt(), 0)
        << "no Workspace was made by the late load";
    persistence->Release();
    EXPECT_EQ(object->Release(), 0u);
}

// Work on the library's GUI thread, waited for. (A promise rather than a blocking connection:
// the race checker sees through the one, not through Qt's own wait.)
void onGuiThread(const std::function<void()>& work) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&work, done] {
            work();
            done->set_value();
        },
        Qt::QueuedConnection);
    finished.wait();
}

// Polls a question asked on the GUI thread for up to 5 s.
bool eventually(const std::function<bool()>& question) {
    for (int i = 0; i < 500; ++i) {
        bool answer = false;
        onGuiThread([&] { answer = question(); });
        if (answer)
            return true;
        QThread::msleep(10);
    }
    return false;
}

IPropertyPage* createPage() {
    IClassFactory* factory = nullptr;
    if (library().getClassObject(kPageClass, IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory)) != S_OK)
        return nullptr;
    IPropertyPage* page = nullptr;
    factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page));
    factory->Release();
    return page;
}

QSize pageSize(IPropertyPage* page) {
    PROPPAGEINFO info{};
    EXPECT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(info.cb, 48u);
    EXPECT_EQ(QString::fromUtf16(info.pszTitle), QStringLiteral("Dorvo"));
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
    return QSize(info.size.cx, info.size.cy);
}

// The outer application's window, here a widget of this process: the page is reparented in Qt.
struct HostFrame {
    QWidget* frame = nullptr;
    HWND handle = nullptr;
    HostFrame() {
        onGuiThread([this] {
            frame = new QWidget;
            frame->resize(900, 700);
            frame->show();
            handle = reinterpret_cast<HWND>(frame->winId());
        });
    }
    ~HostFrame() {
        onGuiThread([this] { delete frame; });
    }
    // The page's wrapper while it is inside the frame.
    QMainWindow* wrapper() const { return frame->findChild<QMainWindow*>(); }
    QString workspaceTitle() const {
        QMainWindow* placed = wrapper();
        return placed && placed->centralWidget() ? placed->centralWidget()->windowTitle()
                                                 : QString();
    }
};

TEST_F(ComponentLibraryTest, ThePropertyPageShowsTheWorkspaceInTheOuterWindow) {
    IMPInitialise* object = createComponent();
    ASSERT_TRUE(object);
    OuterHost host;
    DWORD flags = 0x40;
    ASSERT_EQ(
        object->MPConnect(static_cast<IConnectionPointContainer*>(&host), nullptr, 1, 0, &flags),
        S_OK);
    auto* pages = query<ISpecifyPropertyPages>(object, IID_ISpecifyPropertyPages);
    ASSERT_TRUE(pages);
    CAUUID classes{};
    EXPECT_EQ(pages->GetPages(nullptr), E_OUTOFMEMORY);
    ASSERT_EQ(pages->GetPages(&classes), S_OK);
    ASSERT_EQ(classes.cElems, 1u);
    EXPECT_TRUE(IsEqualCLSID(classes.pElems[0], kPageClass));
    CoTaskMemFree(classes.pElems);
    pages->Release();

    IPropertyPage* page = createPage();
    ASSERT_TRUE(page);
    const RECT full{0, 0, 640, 480};
    EXPECT_EQ(pageSize(page), QSize(400, 300));
    EXPECT_EQ(page->Activate(nullptr, &full, FALSE), E_UNEXPECTED) << "no object yet";
    EXPECT_EQ(page->Activate(nullptr, nullptr, FALSE), E_POINTER);
    IUnknown* objects[2] = {object, nullptr};
    EXPECT_EQ(page->SetObjects(2, objects), E_INVALIDARG);
    EXPECT_EQ(page->SetObjects(1, nullptr), E_POINTER);
    EXPECT_EQ(page->SetObjects(1, objects + 1), E_UNEXPECTED);
    IUnknown* foreign[1] = {static_cast<IConnectionPointContainer*>(&host)};
    EXPECT_EQ(page->SetObjects(1, foreign), E_NOINTERFACE) << "only this library's object";
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    EXPECT_EQ(pageSize(page), QSize(400, 300));
    EXPECT_EQ(page->Show(2), E_INVALIDARG);
    EXPECT_EQ(page->Show(SW_SHOW), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    EXPECT_EQ(page->Help(nullptr), E_NOTIMPL);

    {
        HostFrame frame;
        // From this thread: answered at once, done on the GUI thread afterwards.
        EXPECT_EQ(page->Activate(frame.handle, &full, FALSE), S_OK);
        EXPECT_TRUE(eventually([&] {
            QMainWindow* wrapper = frame.wrapper();
            return wrapper && wrapper->isVisible() && wrapper->size() == QSize(640, 480);
        })) << "the Workspace inside the outer window";
        EXPECT_EQ(pageSize(page), QSize(640, 480));
        // Never loaded and empty: the first activation starts an untitled Workspace.
        EXPECT_TRUE(eventually([&] {
            if (QWidget* dialog = QApplication::activeModalWidget())
                dialog->close();
            return frame.workspaceTitle().contains(QStringLiteral("Untitled"));
        })) << frame.workspaceTitle().toStdString();

        const RECT moved{10, 20, 330, 260};
        EXPECT_EQ(page->Move(&moved), S_OK);
        EXPECT_TRUE(eventually([&] {
            return frame.wrapper() && frame.wrapper()->geometry() == QRect(10, 20, 320, 240);
        }));
        EXPECT_EQ(pageSize(page), QSize(320, 240));
        // The same window again: only the size changes.
        const RECT larger{0, 0, 500, 400};
        EXPECT_EQ(page->Activate(frame.handle, &larger, FALSE), S_OK);
        EXPECT_TRUE(eventually(
            [&] { return frame.wrapper() && frame.wrapper()->size() == QSize(500, 400); }));

        EXPECT_EQ(page->Deactivate(), S_OK);
        onGuiThread([&] { EXPECT_EQ(frame.wrapper(), nullptr) << "out of the outer window"; });
        EXPECT_EQ(page->Deactivate(), E_UNEXPECTED) << "not shown any more";
    }

    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(page->Activate(nullptr, &full, FALSE), E_UNEXPECTED);
    EXPECT_EQ(page->Release(), 0u);
    EXPECT_EQ(object->MPDisconnect(), S_OK);
    EXPECT_EQ(object->Release(), 0u);
}

TEST_F(ComponentLibraryTest, AfterALoadTheFirstActivationKeepsTheLoadedWorkspace) {
    IMPInitialise* object = createComponent();
    ASSERT_TRUE(object);
    OuterHost host;
    DWORD flags = 0x40;
    ASSERT_EQ(
        object->MPConnect(static_cast<IConnectionPointContainer*>(&host), nullptr, 1, 0, &flags),
        S_OK);
    auto* persistence = query<IPersistStream>(object, IID_IPersistStream);
    MemoryStream saved;
    ASSERT_EQ(persistence->Save(&saved, TRUE), S_OK);
    ASSERT_EQ(persistence->Load(&saved), S_OK);

    IPropertyPage* page = createPage();
    IUnknown* objects[1] = {object};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    {
        HostFrame frame;
        const RECT rect{0, 0, 300, 200};
        EXPECT_EQ(page->Activate(frame.handle, &rect, FALSE), S_OK);
        EXPECT_TRUE(eventually([&] { return frame.wrapper() && frame.wrapper()->isVisible(); }));
        QThread::msleep(200);
        onGuiThread([&] {
            EXPECT_FALSE(frame.workspaceTitle().contains(QStringLiteral("Untitled")))
                << frame.workspaceTitle().toStdString();
        });
        EXPECT_EQ(page->Deactivate(), S_OK);
    }
    // The page holds the object: the object outlives the disconnect until the page goes.
    EXPECT_EQ(object->MPDisconnect(), S_OK);
    persistence->Release();
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_EQ(page->Release(), 0u);
}

} // namespace
