#include "TComponentInstance.h"

#include "InterfaceReference.h"

#include <dorvo/objbase.h>

namespace {

// In-process server or in-process handler.
constexpr DWORD kClassContext = 3;

} // namespace

TComponentInstance::TComponentInstance(const TCatalogueEntry& entry, const QString& instanceName,
                                       QObject* parent)
    : QObject(parent), m_entry(entry), m_instanceName(instanceName) {}

TComponentInstance::~TComponentInstance() {
    if (m_initialise)
        m_initialise->MPDisconnect();
    CoTaskMemFree(m_pages.pElems);
    m_pages = {0, nullptr};
    releaseInterfaces();
}

void TComponentInstance::releaseInterfaces() {
    dorvo::releaseReference(m_sync2);
    dorvo::releaseReference(m_sync1);
    dorvo::releaseReference(m_eventFilter);
    dorvo::releaseReference(m_persistence);
    dorvo::releaseReference(m_component);
    dorvo::releaseReference(m_initialise);
}

template <typename Interface> Interface* TComponentInstance::queryComponent(REFIID iid) const {
    if (!m_component)
        return nullptr;
    void* out = nullptr;
    // A failing answer owns nothing, whatever it left in out.
    if (FAILED(m_component->QueryInterface(iid, &out)))
        return nullptr;
    return static_cast<Interface*>(out);
}

bool TComponentInstance::connectComponent(IUnknown* hostObject, IMPAsyncOutput* hostOutput) {
    if (!createComponent())
        return false;
    dorvo::releaseReference(m_initialise);
    m_initialise = queryComponent<IMPInitialise>(IID_IMPInitialise);
    if (!m_initialise)
        return false;
    DWORD flags = MPCONNECT_LIVEINPUT;
    if (FAILED(m_initialise->MPConnect(hostObject, hostOutput, 1, 0, &flags)))
        return false;
    fetchPropertyPages();
    m_eventFilter = queryComponent<IMPEventFilter>(IID_IMPEventFilter);
    fetchSyncInterface();
    readIconsAndRecall();
    return true;
}

bool TComponentInstance::createComponent() {
    void* created = nullptr;
    const HRESULT result =
        CoCreateInstance(m_entry.classId, nullptr, kClassContext, IID_IMPInitialise, &created);
    dorvo::releaseReference(m_component);
    if (FAILED(result) || !created)
        return false;
    m_component = static_cast<IMPInitialise*>(created);
    return true;
}

void TComponentInstance::fetchPropertyPages() {
    ISpecifyPropertyPages* specify =
        queryComponent<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    if (!specify)
        return;
    CAUUID pages{0, nullptr};
    const HRESULT result = specify->GetPages(&pages);
    specify->Release();
    if (FAILED(result))
        return;
    CoTaskMemFree(m_pages.pElems);
    m_pages = pages;
    // A count without an array (or an array without a count) means no page.
    if (m_pages.cElems == 0 || !m_pages.pElems) {
        CoTaskMemFree(m_pages.pElems);
        m_pages = {0, nullptr};
    }
}

void TComponentInstance::fetchSyncInterface() {
    m_sync2 = queryComponent<IMPDeviceSync2>(IID_IMPDeviceSync2);
    if (!m_sync2)
        m_sync1 = queryComponent<IMPDeviceSync>(IID_IMPDeviceSync);
}

void TComponentInstance::readIconsAndRecall() {
    if (!hasSyncInterface()) {
        m_iconUrls[0] = m_entry.iconUrl;
        return;
    }
    LPWSTR icons[2] = {nullptr, nullptr};
    const HRESULT result =
        withSync([&](auto* sync) { return sync->GetIconURLs(&icons[0], &icons[1]); });
    for (int i = 0; i < 2; ++i) {
        if (result == S_OK && icons[i])
            m_iconUrls[i] = QString::fromUtf16(icons[i]);
        // Only a success hands the strings over.
        if (SUCCEEDED(result))
            CoTaskMemFree(icons[i]);
    }
    m_recallEnabled = true;
    DWORD defaultMask = 0;
    const HRESULT recall = getRecallInfo(nullptr, nullptr, nullptr, nullptr, &defaultMask);
    m_recallMask = recall == S_OK ? defaultMask : 0;
}

IPropertyPage* TComponentInstance::createPropertyPage() const {
    if (!hasPropertyPage())
        return nullptr;
    void* created = nullptr;
    const HRESULT result =
        CoCreateInstance(m_pages.pElems[0], nullptr, kClassContext, IID_IPropertyPage, &created);
    if (FAILED(result) || !created)
        return nullptr;
    return static_cast<IPropertyPage*>(created);
}

IPersistStream* TComponentInstance::persistence() {
    if (!m_persistenceAsked) {
        m_persistenceAsked = true;
        m_persistence = queryComponent<IPersistStream>(IID_IPersistStream);
    }
    return m_persistence;
}

QString TComponentInstance::statusText(HRESULT code) {
    QString text = QString::number(code);
    LPWSTR own = nullptr;
    const HRESULT result = withSync([&](auto* sync) { return sync->GetStatusText(code, &own); });
    if (SUCCEEDED(result)) {
        if (own)
            text = QString::fromUtf16(own);
        CoTaskMemFree(own);
    }
    return text;
}

HRESULT TComponentInstance::getRecallInfo(DWORD* selectionMode, LPWSTR* itemNames, DWORD* group,
                                          BOOL* offline, DWORD* defaultMask) {
    return withSync([&](auto* sync) {
        return sync->GetRecallInfo(selectionMode, itemNames, group, offline, defaultMask);
    });
}

HRESULT TComponentInstance::synchronize(DWORD direction, IMPClientProgressHandler* progress,
                                        DWORD recallMask) {
    return withSync([&](auto* sync) { return sync->Synchronize(direction, progress, recallMask); });
}

HRESULT TComponentInstance::requestCancel() {
    if (!hasSyncInterface())
        return E_UNEXPECTED;
    return withSync([](auto* sync) { return sync->CancelSynchronize(); });
}
