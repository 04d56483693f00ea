#include "Template.h"

#include <dorvo/qtpage.h>

#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

#include <cstring>
#include <string>

namespace tmpl {

namespace {

const char kMagic[4] = {'T', 'M', 'P', 'L'};
constexpr BYTE kStateVersion = 1;
constexpr ULONG kStateSize = sizeof kMagic + 2; // magic, version, channel

// A copy of text in task memory, which the receiver frees with CoTaskMemFree.
LPOLESTR taskString(const char16_t* text) {
    const size_t bytes = (std::char_traits<char16_t>::length(text) + 1) * sizeof(WCHAR);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (copy)
        std::memcpy(copy, text, bytes);
    return copy;
}

} // namespace

// ---- The component ---------------------------------------------------------------------------

HRESULT TemplateComponent::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IMPInitialise || iid == IID_TemplateComponent)
        *out = static_cast<IMPInitialise*>(this);
    else if (iid == IID_IMPEventFilter)
        *out = static_cast<IMPEventFilter*>(this);
    else if (iid == IID_IPersistStream || iid == IID_IPersist)
        *out = static_cast<IPersistStream*>(this);
    else if (iid == IID_ISpecifyPropertyPages)
        *out = static_cast<ISpecifyPropertyPages*>(this);
    else
        return E_NOINTERFACE;
    addRef();
    return S_OK;
}

TemplateComponent::~TemplateComponent() {
    MPDisconnect();
}

HRESULT TemplateComponent::MPConnect(IUnknown* host, IMPAsyncOutput* output, DWORD, DWORD,
                                     DWORD* flags) {
    if (!host || !flags)
        return E_POINTER;
    // Of what the host offers, only live input is understood.
    *flags &= MPCONNECT_LIVEINPUT;
    // The host passes its output; IMPClientServices, IMPTimeInfo and the notification point
    // are asked of `host` when a component needs them.
    if (output)
        output->AddRef();
    if (m_output)
        m_output->Release();
    m_output = output;
    return S_OK;
}

HRESULT TemplateComponent::MPDisconnect() {
    if (m_output)
        m_output->Release();
    m_output = nullptr;
    return S_OK;
}

HRESULT TemplateComponent::FilterEvents(IMPEventQueue* queue, const MPFILTERINFO*) {
    if (!queue)
        return E_POINTER;
    BOOL found = FALSE;
    BOOL more = FALSE;
    MPEVENT event{};
    if (FAILED(queue->GetFirstEvent(&found, &event, &more, MPEVENT_MASK_ALL)) || !found)
        return S_OK;
    // Events of every open input come here. An editor of one device would look at its own
    // input only (event.port, a number from IMPClientServices::GetPortList); the Template counts
    // the channel's events of all inputs.
    if (event.type & MPEVENT_MASK_LONG)
        CoTaskMemFree(event.longData); // the queue hands out a copy of its own
    else if (int(event.channel) == m_channel)
        ++m_events;
    return S_OK;
}

HRESULT TemplateComponent::GetClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_Template;
    return S_OK;
}

HRESULT TemplateComponent::Load(IStream* stream) {
    if (!stream)
        return E_POINTER;
    BYTE state[kStateSize] = {};
    ULONG read = 0;
    const HRESULT hr = stream->Read(state, kStateSize, &read);
    if (FAILED(hr))
        return hr;
    // A state of another format or version is refused; the component stays as it was.
    if (read != kStateSize || std::memcmp(state, kMagic, sizeof kMagic) != 0 ||
        state[4] != kStateVersion || state[5] > 15)
        return E_FAIL;
    m_channel = state[5];
    m_dirty = false;
    return S_OK;
}

HRESULT TemplateComponent::Save(IStream* stream, BOOL clearDirty) {
    if (!stream)
        return E_POINTER;
    BYTE state[kStateSize] = {};
    std::memcpy(state, kMagic, sizeof kMagic);
    state[4] = kStateVersion;
    state[5] = BYTE(m_channel);
    ULONG written = 0;
    const HRESULT hr = stream->Write(state, kStateSize, &written);
    if (FAILED(hr))
        return hr;
    if (written != kStateSize)
        return E_FAIL;
    if (clearDirty)
        m_dirty = false;
    return S_OK;
}

HRESULT TemplateComponent::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size)
        return E_POINTER;
    size->QuadPart = kStateSize;
    return S_OK;
}

HRESULT TemplateComponent::GetPages(CAUUID* pages) {
    if (!pages)
        return E_POINTER;
    // The caller frees the array with CoTaskMemFree.
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    pages->cElems = pages->pElems ? 1 : 0;
    if (!pages->pElems)
        return E_OUTOFMEMORY;
    pages->pElems[0] = CLSID_TemplatePage;
    return S_OK;
}

void TemplateComponent::setChannel(int channel) {
    if (channel == m_channel || channel < 0 || channel > 15)
        return;
    m_channel = channel;
    m_events = 0;
    m_dirty = true;
}

// ---- The property page -----------------------------------------------------------------------

TemplatePage::~TemplatePage() {
    SetObjects(0, nullptr);
}

HRESULT TemplatePage::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IPropertyPage)
        return E_NOINTERFACE;
    *out = static_cast<IPropertyPage*>(this);
    addRef();
    return S_OK;
}

QWidget* TemplatePage::widget() {
    if (m_widget || !m_component)
        return m_widget;
    g_madeWidgets = true;
    TemplateComponent* component = m_component;
    auto* page = new QWidget;
    auto* channel = new QSpinBox(page);
    channel->setRange(1, 16);
    channel->setValue(component->channel() + 1);
    auto* events = new QLabel(page);
    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("MIDI channel:"), channel);
    form->addRow(QStringLiteral("Events received:"), events);
    // The page lives no longer than its reference to the component: both go in SetObjects(0).
    QObject::connect(channel, &QSpinBox::valueChanged, page,
                     [component](int value) { component->setChannel(value - 1); });
    // The count grows on a MIDI reader thread; the page looks at it from the GUI thread.
    auto showCount = [component, events] {
        events->setText(QString::number(component->eventCount()));
    };
    showCount();
    auto* timer = new QTimer(page);
    QObject::connect(timer, &QTimer::timeout, page, showCount);
    timer->start(200);
    m_widget = page;
    return m_widget;
}

void TemplatePage::dropWidget() {
    dorvo::qtpage::detachPage(m_widget);
    delete m_widget;
}

HRESULT TemplatePage::SetObjects(ULONG count, IUnknown** objects) {
    dropWidget();
    if (m_component)
        m_component->Release();
    m_component = nullptr;
    if (count == 0)
        return S_OK;
    if (!objects || !objects[0])
        return E_POINTER;
    void* found = nullptr;
    if (FAILED(objects[0]->QueryInterface(IID_TemplateComponent, &found)) || !found)
        return E_NOINTERFACE;
    m_component = static_cast<TemplateComponent*>(static_cast<IMPInitialise*>(found));
    return S_OK;
}

HRESULT TemplatePage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info)
        return E_POINTER;
    QWidget* page = widget();
    if (!page)
        return E_UNEXPECTED;
    const QSize size = page->sizeHint().expandedTo(QSize(240, 80));
    *info = {sizeof(PROPPAGEINFO),
             taskString(u"Template"),
             {size.width(), size.height()},
             nullptr,
             nullptr,
             0};
    return info->pszTitle ? S_OK : E_OUTOFMEMORY;
}

HRESULT TemplatePage::Activate(HWND parent, LPCRECT rect, BOOL) {
    QWidget* page = widget();
    return page ? dorvo::qtpage::embedPage(page, parent, rect) : E_UNEXPECTED;
}

HRESULT TemplatePage::Deactivate() {
    dropWidget();
    return S_OK;
}

HRESULT TemplatePage::Show(UINT showCommand) {
    return m_widget ? dorvo::qtpage::showPage(m_widget, showCommand) : E_UNEXPECTED;
}

HRESULT TemplatePage::Move(LPCRECT rect) {
    return m_widget ? dorvo::qtpage::movePage(m_widget, rect) : E_UNEXPECTED;
}

} // namespace tmpl
