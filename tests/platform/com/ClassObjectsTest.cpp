#include "ComTestSupport.h"
#include "TestComponentIds.h"
#include "TestEnvironment.h"

#include <dorvo/dorvo2.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <dlfcn.h>
#include <thread>
#include <vector>

extern "C" {
HRESULT createWithNullClass(void** object);
HRESULT createWithNullInterface(const CLSID* clsid, void** object);
HRESULT classObjectWithNullClass(void** object);
}

namespace {

// Nothing here enters an apartment: creating objects must work without one.
class ClassObjects : public testing::Test {
protected:
    void SetUp() override {
        QString path;
        if (!comtest::readClassesText(serverKey(), QString(), &path)) {
            const auto result = comtest::runProgram(DORVO2_REGSVR, {TEST_COMPONENT});
            ASSERT_EQ(result.exitCode, 0) << result.output;
        }
        CoFreeUnusedLibrariesEx(0, 0);
    }

    static QString serverKey() {
        return comtest::classKeyName(CLSID_DorvoTestComponent) + QStringLiteral("\\InprocServer32");
    }

    static GUID newClass() {
        GUID clsid;
        EXPECT_EQ(CoCreateGuid(&clsid), S_OK);
        return clsid;
    }

    // The loaded library's own answer; S_OK also when it is not loaded at all.
    static HRESULT libraryCanUnloadNow() {
        void* handle = dlopen(TEST_COMPONENT, RTLD_NOW | RTLD_NOLOAD);
        if (!handle)
            return S_OK;
        auto canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(handle, "DllCanUnloadNow"));
        const HRESULT hr = canUnloadNow();
        dlclose(handle);
        return hr;
    }

    static QString scratchPath(const char* name) {
        static const QString dir = QString::fromStdString(dorvo2test::makeTempDir("com"));
        return dir + QLatin1Char('/') + QLatin1String(name);
    }
};

// Holds the test component aggregated, as a host object holds its inner service objects.
class OuterObject : public IUnknown {
public:
    ~OuterObject() {
        if (m_inner)
            m_inner->Release();
    }
    HRESULT aggregate() {
        return CoCreateInstance(CLSID_DorvoTestComponent, this, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&m_inner));
    }
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return m_inner ? m_inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
    STDMETHOD_(ULONG, Release)() override { return --m_refs; }
    ULONG refs() const { return m_refs; }

private:
    IUnknown* m_inner = nullptr;
    ULONG m_refs = 1;
};

TEST_F(ClassObjects, CreatesARegisteredClassThatAnswersItsInterfacesOnly) {
    IPersist* persist = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DorvoTestComponent, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IPersist, reinterpret_cast<void**>(&persist)),
              S_OK);
    CLSID reported = GUID_NULL;
    EXPECT_EQ(persist->GetClassID(&reported), S_OK);
    EXPECT_TRUE(IsEqualCLSID(reported, CLSID_DorvoTestComponent));

    IMPEventFilter* filter = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IMPEventFilter, reinterpret_cast<void**>(&filter)), S_OK);
    DWORD a = 0, b = 0, c = 0;
    EXPECT_EQ(filter->GetFilterInfo(&a, &b, &c), S_OK);
    EXPECT_EQ(c, 7u);

    IUnknown* identity1 = nullptr;
    IUnknown* identity2 = nullptr;
    persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity1));
    filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity2));
    EXPECT_EQ(identity1, identity2);
    identity1->Release();
    identity2->Release();

    void* stream = &a;
    EXPECT_EQ(persist->QueryInterface(IID_IStream, &stream), E_NOINTERFACE);
    EXPECT_EQ(stream, nullptr);

    filter->Release();
    EXPECT_EQ(persist->Release(), 0u);
}

TEST_F(ClassObjects, AggregatedObjectDelegatesToItsOuterObject) {
    OuterObject outer;
    ASSERT_EQ(outer.aggregate(), S_OK);
    EXPECT_EQ(outer.refs(), 1u) << "the inner object holds no counted reference on its outer";

    IPersist* persist = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    EXPECT_EQ(outer.refs(), 2u);
    CLSID reported = GUID_NULL;
    EXPECT_EQ(persist->GetClassID(&reported), S_OK);
    EXPECT_TRUE(IsEqualCLSID(reported, CLSID_DorvoTestComponent));

    IUnknown* identity = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    persist->AddRef();
    EXPECT_EQ(outer.refs(), 3u);
    persist->Release();
    persist->Release();
    EXPECT_EQ(outer.refs(), 1u);
    EXPECT_EQ(libraryCanUnloadNow(), S_FALSE) << "the aggregated object still lives";
}

TEST_F(ClassObjects, LibraryStaysLoadedWhileObjectsOrLocksLiveAndIsUnloadedAfter) {
    IPersist* persist = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DorvoTestComponent, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IPersist, reinterpret_cast<void**>(&persist)),
              S_OK);
    EXPECT_EQ(libraryCanUnloadNow(), S_FALSE);
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_TRUE(comtest::isLibraryLoaded(TEST_COMPONENT));
    persist->Release();
    EXPECT_EQ(libraryCanUnloadNow(), S_OK);
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_FALSE(comtest::isLibraryLoaded(TEST_COMPONENT));

    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_DorvoTestComponent, CLSCTX_INPROC_SERVER, nullptr,
                               IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_TRUE(comtest::isLibraryLoaded(TEST_COMPONENT)) << "loaded again on demand";
    factory->LockServer(TRUE);
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_TRUE(comtest::isLibraryLoaded(TEST_COMPONENT));
    factory->LockServer(FALSE);
    factory->Release();
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_FALSE(comtest::isLibraryLoaded(TEST_COMPONENT));
}

TEST_F(ClassObjects, CreationAndUnloadingFromSeveralThreadsAtOnce) {
    std::atomic<int> failures{0};
    std::atomic<bool> creating{true};
    // Unloading waits until the library has been idle for a while: a creator may still be
    // running the end of its last Release inside the library's code.
    std::thread unloader([&] {
        while (creating)
            CoFreeUnusedLibrariesEx(500, 0);
    });
    std::vector<std::thread> creators;
    for (int t = 0; t < 3; ++t) {
        creators.emplace_back([&] {
            for (int i = 0; i < 150; ++i) {
                IPersist* persist = nullptr;
                CLSID reported = GUID_NULL;
                if (CoCreateInstance(CLSID_DorvoTestComponent, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IPersist, reinterpret_cast<void**>(&persist)) != S_OK ||
                    persist->GetClassID(&reported) != S_OK)
                    ++failures;
                if (persist)
                    persist->Release();
            }
        });
    }
    for (std::thread& creator : creators)
        creator.join();
    creating = false;
    unloader.join();
    EXPECT_EQ(failures, 0);
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_FALSE(comtest::isLibraryLoaded(TEST_COMPONENT));
}

TEST_F(ClassObjects, AnIdleLibraryIsUnloadedOnlyAfterTheDelay) {
    IPersist* persist = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DorvoTestComponent, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IPersist, reinterpret_cast<void**>(&persist)),
              S_OK);
    persist->Release();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(comtest::isLibraryLoaded(TEST_COMPONENT)) << "the default delay is long";
    CoFreeUnusedLibrariesEx(50, 0);
    EXPECT_TRUE(comtest::isLibraryLoaded(TEST_COMPONENT)) << "idle for less than 50 ms";
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    CoFreeUnusedLibrariesEx(50, 0);
    EXPECT_FALSE(comtest::isLibraryLoaded(TEST_COMPONENT));
}

TEST_F(ClassObjects, ClassesThatCannotBeCreatedGiveTheirCodeAWarningAndANullPointer) {
    auto create = [](REFCLSID clsid, QString* warning) {
        comtest::WarningCapture capture;
        void* object = &capture;
        const HRESULT hr =
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object);
        EXPECT_EQ(object, nullptr);
        *warning = capture.text();
        return hr;
    };
    QString warning;

    const GUID unregistered = newClass();
    EXPECT_EQ(create(unregistered, &warning), REGDB_E_CLASSNOTREG);
    EXPECT_TRUE(warning.contains(comtest::classKeyName(unregistered))) << qPrintable(warning);

    const GUID missingFile = newClass();
    const QString missingPath = scratchPath("missing.so");
    comtest::registerInprocServer(missingFile, missingPath);
    EXPECT_EQ(create(missingFile, &warning), CO_E_DLLNOTFOUND);
    EXPECT_TRUE(warning.contains(missingPath)) << qPrintable(warning);
    EXPECT_TRUE(warning.contains(QStringLiteral("No such file"))) << qPrintable(warning);

    const GUID notALibrary = newClass();
    const QString garbagePath = scratchPath("garbage.so");
    QFile garbage(garbagePath);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(200, '\x7f'));
    garbage.close();
    comtest::registerInprocServer(notALibrary, garbagePath);
    EXPECT_EQ(create(notALibrary, &warning), CO_E_DLLNOTFOUND);
    EXPECT_TRUE(warning.contains(garbagePath)) << qPrintable(warning);

    const GUID noExports = newClass();
    comtest::registerInprocServer(noExports, QStringLiteral(NO_EXPORTS_LIBRARY));
    EXPECT_EQ(create(noExports, &warning), CO_E_ERRORINDLL);
    EXPECT_TRUE(warning.contains(QStringLiteral("DllGetClassObject"))) << qPrintable(warning);
    EXPECT_TRUE(warning.contains(QStringLiteral(NO_EXPORTS_LIBRARY))) << qPrintable(warning);
    EXPECT_FALSE(comtest::isLibraryLoaded(NO_EXPORTS_LIBRARY)) << "closed again";

    // An empty path would have the loader hand out the program itself.
    const GUID emptyPath = newClass();
    comtest::registerInprocServer(emptyPath, QString());
    EXPECT_EQ(create(emptyPath, &warning), CO_E_DLLNOTFOUND);

    const GUID numberNotPath = newClass();
    const DWORD number = 42;
    comtest::registerInprocServerValue(numberNotPath, REG_DWORD, &number, sizeof number);
    EXPECT_EQ(create(numberNotPath, &warning), REGDB_E_READREGDB);
    EXPECT_TRUE(warning.contains(QStringLiteral("InprocServer32"))) << qPrintable(warning);

    // The library is found and loaded, but does not know the class registered for it.
    const GUID foreignClass = newClass();
    comtest::registerInprocServer(foreignClass, QStringLiteral(TEST_COMPONENT));
    EXPECT_EQ(create(foreignClass, &warning), CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(ClassObjects, RefusesNullOutPointersAndOtherContexts) {
    EXPECT_EQ(CoCreateInstance(CLSID_DorvoTestComponent, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IUnknown, nullptr),
              E_POINTER);
    EXPECT_EQ(CoGetClassObject(CLSID_DorvoTestComponent, CLSCTX_INPROC_SERVER, nullptr,
                               IID_IClassFactory, nullptr),
              E_POINTER);
    void* object = &object;
    comtest::WarningCapture capture;
    EXPECT_EQ(CoCreateInstance(CLSID_DorvoTestComponent, nullptr, 0x4 /* local server */,
                               IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);

    object = &object;
    EXPECT_EQ(createWithNullClass(&object), E_INVALIDARG);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(createWithNullInterface(&CLSID_DorvoTestComponent, &object), E_INVALIDARG);
    EXPECT_EQ(classObjectWithNullClass(&object), E_INVALIDARG);
}

} // namespace
