#include "ExampleTestSupport.h"

#include "ProgramRun.h"
#include "TMIDIPortAccessor.h"

#include <dorvo/qtpage.h>

#include <QBuffer>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "ClientIStream.h"

namespace exampletest {

ProgramResult runRegsvr(const QStringList& arguments) {
    std::vector<std::string> texts;
    for (const QString& argument : arguments)
        texts.push_back(argument.toLocal8Bit().toStdString());
    const dorvo2test::ProgramResult run = dorvo2test::runProgram(DORVO2_REGSVR, texts);
    return {run.exitCode, QString::fromLocal8Bit(run.output)};
}

void registerExamples() {
    static bool registered = false;
    if (registered)
        return;
    for (const char* library : {DEMOSYNTH_LIBRARY, MIDIMONITOR_LIBRARY, SYSEXLIBRARIAN_LIBRARY}) {
        const ProgramResult result = runRegsvr({QString::fromLocal8Bit(library)});
        ASSERT_EQ(result.exitCode, 0) << library << ": " << result.output.toStdString();
    }
    registered = true;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

std::optional<QString> TestWorkspace::componentInstanceName(const IUnknown* component) const {
    const auto it = names.find(component);
    return it == names.end() ? std::nullopt : std::optional<QString>(it->second);
}

// ---- HostedComponent ----

HostedComponent::HostedComponent(ClientIUnknown* host, TestWorkspace* workspace, REFCLSID clsid,
                                 const QString& name)
    : m_host(host), m_workspace(workspace) {
    // The calling order of the host's editor wrapper.
    void* created = nullptr;
    const HRESULT hr =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | 0x2, IID_IMPInitialise, &created);
    EXPECT_EQ(hr, S_OK);
    if (FAILED(hr))
        return;
    m_component = static_cast<IMPInitialise*>(created);
    m_workspace->names[m_component] = name;
    IMPAsyncOutput* output = nullptr;
    host->QueryInterface(IID_IMPAsyncOutput, reinterpret_cast<void**>(&output));
    DWORD flags = 64;
    EXPECT_EQ(m_component->MPConnect(host, output, 1, 0, &flags), S_OK);
    EXPECT_EQ(flags, 64u);
    output->Release();
    if (SUCCEEDED(
            m_component->QueryInterface(IID_IMPEventFilter, reinterpret_cast<void**>(&m_filter)))) {
        m_workspace->filters.append(m_filter);
        host->registerEventFilter(m_filter);
    }
}

HostedComponent::~HostedComponent() {
    hidePage();
    if (m_filter) {
        m_host->removeEventFilter(m_filter);
        m_workspace->filters.removeAll(m_filter);
        m_filter->Release();
    }
    if (m_component) {
        m_component->MPDisconnect();
        m_host->clientServices()->removeComponentPorts(m_component);
        m_workspace->names.erase(m_component);
        m_component->Release();
    }
}

void HostedComponent::showPage() {
    ISpecifyPropertyPages* specify = nullptr;
    ASSERT_EQ(
        m_component->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify)),
        S_OK);
    CAUUID pages{0, nullptr};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    specify->Release();
    ASSERT_EQ(pages.cElems, 1u);
    void* page = nullptr;
    const HRESULT hr = CoCreateInstance(pages.pElems[0], nullptr, CLSCTX_INPROC_SERVER | 0x2,
                                        IID_IPropertyPage, &page);
    CoTaskMemFree(pages.pElems);
    ASSERT_EQ(hr, S_OK);
    m_page = static_cast<IPropertyPage*>(page);
    IUnknown* object = m_component;
    ASSERT_EQ(m_page->SetObjects(1, &object), S_OK);
    PROPPAGEINFO info{};
    ASSERT_EQ(m_page->GetPageInfo(&info), S_OK);
    EXPECT_FALSE(QString::fromUtf16(info.pszTitle).isEmpty());
    CoTaskMemFree(info.pszTitle);
    EXPECT_GT(info.size.cx, 0);
    EXPECT_GT(info.size.cy, 0);
    m_container = std::make_unique<QWidget>();
    m_container->resize(info.size.cx, info.size.cy);
    m_container->show();
    const RECT area{0, 0, info.size.cx, info.size.cy};
    ASSERT_EQ(m_page->Activate(dorvo::qtpage::windowHandle(m_container.get()), &area, FALSE), S_OK);
    ASSERT_EQ(m_page->Show(SW_SHOW), S_OK);
}

void HostedComponent::hidePage() {
    if (!m_page)
        return;
    m_page->Show(SW_HIDE);
    m_page->Deactivate();
    m_page->SetObjects(0, nullptr);
    m_page->Release();
    m_page = nullptr;
    m_container.reset();
}

bool HostedComponent::choosePort(const QString& comboName, const std::string& portName) {
    auto* combo = child<QComboBox>(comboName);
    if (!combo)
        return false;
    // A port the host has just listed reaches the page with the event loop.
    const QString text = QString::fromStdString(portName);
    if (!waitUntil([&] { return combo->findText(text) >= 0; }, 2000))
        return false;
    combo->setCurrentIndex(combo->findText(text));
    return true;
}

QByteArray HostedComponent::save(BOOL clearDirty) {
    IPersistStream* persist = query<IPersistStream>(IID_IPersistStream);
    EXPECT_NE(persist, nullptr);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    auto* stream = new ClientIStream;
    stream->setDevice(&buffer);
    EXPECT_EQ(persist->Save(stream, clearDirty), S_OK);
    stream->Release();
    buffer.close();
    return bytes;
}

HRESULT HostedComponent::load(const QByteArray& state) {
    IPersistStream* persist = query<IPersistStream>(IID_IPersistStream);
    QByteArray bytes = state;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    auto* stream = new ClientIStream;
    stream->setDevice(&buffer);
    const HRESULT hr = persist->Load(stream);
    stream->Release();
    return hr;
}

// ---- HostFixture ----

void HostFixture::SetUpTestSuite() {
    registerExamples();
}

void HostFixture::SetUp() {
    vm::reset();
    m_host = new ClientIUnknown;
    m_host->setWorkspaceWindow(&m_workspace);
    m_host->setPortListSource(m_host->machinePortAccessor());
}

void HostFixture::TearDown() {
    m_host->setWorkspaceWindow(nullptr);
    m_host->Release();
    vm::reset();
}

namespace {

QUuid machinePortId(ClientIUnknown* host, int direction, const std::string& name) {
    TMIDIPortAccessor* ports = host->machinePortAccessor();
    QList<QUuid> ids;
    ports->portIds(direction, ids);
    for (const QUuid& id : ids) {
        if (ports->portName(id) == QString::fromStdString(name))
            return id;
    }
    return QUuid();
}

} // namespace

int HostFixture::portNumber(int direction, const std::string& name) const {
    const QUuid id = machinePortId(m_host, direction, name);
    return id.isNull() ? 0 : m_host->machinePortAccessor()->portNumber(id);
}

GUID HostFixture::portId(int direction, const std::string& name) const {
    const QUuid id = machinePortId(m_host, direction, name);
    GUID guid{id.data1, id.data2, id.data3, {}};
    std::copy(std::begin(id.data4), std::end(id.data4), guid.Data4);
    return guid;
}

void HostFixture::openPort(int direction, const std::string& name) {
    const int number = portNumber(direction, name);
    ASSERT_NE(number, 0) << name;
    ASSERT_TRUE(m_host->openPort(direction == TMIDIPortAccessor::kOutput, number)) << name;
}

void HostFixture::updatePorts() {
    m_host->machinePortAccessor()->rebuild();
    m_host->portListChanged();
}

QString HostFixture::portUsers(int direction, const std::string& name) const {
    return m_host->clientServices()->portUsersText(portId(direction, name));
}

std::unique_ptr<HostedComponent> HostFixture::create(REFCLSID clsid, const QString& name) {
    return std::make_unique<HostedComponent>(m_host, &m_workspace, clsid, name);
}

// ---- RecordingProgress ----

HRESULT RecordingProgress::ReportProgress(DWORD, DWORD progress, DWORD total, LPCWSTR message) {
    Report report{progress, total, message ? QString::fromUtf16(message) : QString()};
    {
        std::lock_guard lock(m_mutex);
        m_reports.push_back(report);
    }
    if (onReport)
        onReport(report);
    return S_OK;
}

std::vector<RecordingProgress::Report> RecordingProgress::reports() const {
    std::lock_guard lock(m_mutex);
    return m_reports;
}

std::vector<Bytes> sentLongMessages(const std::string& device) {
    std::vector<Bytes> messages;
    for (const vm::SentMessage& message : vm::sentMessages(device)) {
        if (message.longMessage)
            messages.push_back(message.bytes);
    }
    return messages;
}

} // namespace exampletest
