// One component of the Workspace: the component object created from its catalogue entry and
// connected to the host object, its interface pointers, its instance name and its Recall
// settings. The Workspace model creates and destroys instances; the window shows each one as
// an icon (CVEXWrapper) and opens its editor from the page class given here.
#pragma once

#include "TComponentCatalogue.h"

#include <dorvo/dorvo2.h>

#include <QObject>
#include <QString>

class TComponentInstance : public QObject {
    Q_OBJECT
public:
    TComponentInstance(const TCatalogueEntry& entry, const QString& instanceName,
                       QObject* parent = nullptr);
    // Disconnects the component (also after a refused MPConnect, which may have taken host
    // pointers already) and releases every interface.
    ~TComponentInstance() override;

    // Creates the component and connects it to the host: false when the class cannot be
    // created, lacks IMPInitialise or refuses the connection.
    bool connectComponent(IUnknown* hostObject, IMPAsyncOutput* hostOutput);

    const TCatalogueEntry& entry() const { return m_entry; }
    const QString& instanceName() const { return m_instanceName; }
    // The model keeps names unique; this only stores the name.
    void setInstanceName(const QString& name) { m_instanceName = name; }

    // The component's identity (its IMPInitialise pointer); null until it is created.
    IUnknown* component() const { return m_component; }
    // Null when the component has none.
    IMPEventFilter* eventFilterInterface() const { return m_eventFilter; }
    // IPersistStream, asked for once; null when the component has none.
    IPersistStream* persistence();
    // The decimal code, or the component's own text for it when it gives one.
    QString statusText(HRESULT code);

    // Whether the component names a property page for its editor.
    bool hasPropertyPage() const { return m_pages.cElems > 0 && m_pages.pElems; }
    // A new object of the editor's property page class; null without one or when it cannot be
    // created. The caller owns the reference.
    IPropertyPage* createPropertyPage() const;

    // IMPDeviceSync2, or IMPDeviceSync when the component lacks the first.
    bool hasSyncInterface() const { return m_sync2 || m_sync1; }
    // E_NOINTERFACE without a synchronization interface.
    HRESULT getRecallInfo(DWORD* selectionMode, LPWSTR* itemNames, DWORD* group, BOOL* offline,
                          DWORD* defaultMask);
    // Synchronization worker.
    HRESULT synchronize(DWORD direction, IMPClientProgressHandler* progress, DWORD recallMask);
    // Any thread: CancelSynchronize of the component; E_UNEXPECTED without a synchronization
    // interface.
    HRESULT requestCancel();

    // The component's icon for each Recall state ([0] disabled, [1] enabled); empty when it
    // gives none.
    const QString& iconUrl(bool recallEnabled) const { return m_iconUrls[recallEnabled ? 1 : 0]; }
    bool recallEnabled() const { return m_recallEnabled; }
    void setRecallEnabled(bool enabled) { m_recallEnabled = enabled; }
    DWORD recallMask() const { return m_recallMask; }
    void setRecallMask(DWORD mask) { m_recallMask = mask; }

private:
    template <typename Call> HRESULT withSync(Call call) const {
        if (m_sync2)
            return call(m_sync2);
        if (m_sync1)
            return call(m_sync1);
        return E_NOINTERFACE;
    }
    template <typename Interface> Interface* queryComponent(REFIID iid) const;

    bool createComponent();
    void fetchPropertyPages();
    void fetchSyncInterface();
    void readIconsAndRecall();
    void releaseInterfaces();

    TCatalogueEntry m_entry;
    QString m_instanceName;
    QString m_iconUrls[2];
    IMPInitialise* m_initialise = nullptr;
    IUnknown* m_component = nullptr;
    IPersistStream* m_persistence = nullptr;
    bool m_persistenceAsked = false;
    IMPEventFilter* m_eventFilter = nullptr;
    IMPDeviceSync2* m_sync2 = nullptr;
    IMPDeviceSync* m_sync1 = nullptr;
    bool m_recallEnabled = false;
    DWORD m_recallMask = 0;
    CAUUID m_pages{0, nullptr};
};
