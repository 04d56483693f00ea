// The MIDI Monitor lists what arrives on its chosen port, follows the host's port list, and
// has no synchronization.
#include "ExampleTestSupport.h"
#include "MidiMonitorIds.h"
#include "TMIDIPortAccessor.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTime>
#include <QTreeWidget>

using namespace exampletest;

namespace {

constexpr int kIn = TMIDIPortAccessor::kInput;

class MidiMonitorTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        openPort(kIn, kLoopback1);
        openPort(kIn, kLoopback2);
        monitor = create(CLSID_MidiMonitor, QStringLiteral("Monitor"));
        monitor->showPage();
        list = monitor->child<QTreeWidget>(QStringLiteral("eventList"));
        ASSERT_NE(list, nullptr);
    }
    void TearDown() override {
        monitor.reset();
        HostFixture::TearDown();
    }
    QStringList row(int index) const {
        QStringList texts;
        const QTreeWidgetItem* item = list->topLevelItem(index);
        for (int column = 0; item && column < item->columnCount(); ++column)
            texts << item->text(column);
        return texts;
    }

    std::unique_ptr<HostedComponent> monitor;
    QTreeWidget* list = nullptr;
};

TEST_F(MidiMonitorTest, ListsWhatArrivesOnItsPortOnly) {
    ASSERT_TRUE(monitor->choosePort(QStringLiteral("inputPort"), kLoopback1));
    EXPECT_EQ(portUsers(kIn, kLoopback1), QStringLiteral("Monitor MIDI In"));

    Bytes dump = {0xF0, 0x43, 0x10, 0x4C};
    for (BYTE i = 0; i < 35; ++i)
        dump.push_back(i);
    dump.push_back(0xF7);                       // 40 bytes
    vm::inject(kLoopback2, {0x90, 0x30, 0x30}); // another port: not the monitor's
    vm::inject(kLoopback1, {0x92, 0x3C, 0x40});
    vm::inject(kLoopback1, dump);
    vm::inject(kLoopback1, {0xC5, 0x07});
    ASSERT_TRUE(waitUntil([&] { return list->topLevelItemCount() == 3; }));

    EXPECT_EQ(row(0).mid(1),
              (QStringList{QString::fromStdString(kLoopback1), QStringLiteral("Note On"),
                           QStringLiteral("3"), QStringLiteral("92 3C 40")}));
    EXPECT_EQ(
        row(1).mid(1),
        (QStringList{QString::fromStdString(kLoopback1), QStringLiteral("System Exclusive"),
                     QString(), QStringLiteral("F0 43 10 4C 00 01 02 03 ... F7 (40 bytes)")}));
    EXPECT_EQ(row(2).mid(2), (QStringList{QStringLiteral("Program Change"), QStringLiteral("6"),
                                          QStringLiteral("C5 07")}));
    EXPECT_TRUE(QTime::fromString(row(0).at(0), QStringLiteral("hh:mm:ss.zzz")).isValid());
    EXPECT_EQ(monitor->child<QLabel>(QStringLiteral("eventCount"))->text(),
              QStringLiteral("3 event(s)"));

    monitor->child<QPushButton>(QStringLiteral("clearButton"))->click();
    EXPECT_TRUE(waitUntil([&] { return list->topLevelItemCount() == 0; }));
    vm::inject(kLoopback1, {0x80, 0x3C, 0x00});
    ASSERT_TRUE(waitUntil([&] { return list->topLevelItemCount() == 1; }));
    EXPECT_EQ(row(0).at(2), QStringLiteral("Note Off"));
}

TEST_F(MidiMonitorTest, FollowsTheHostsPortListAndKeepsAPortThatWent) {
    auto* ports = monitor->child<QComboBox>(QStringLiteral("inputPort"));
    EXPECT_EQ(ports->findText(QStringLiteral("Extra Loop")), -1);
    vm::addLoopback("Extra Loop");
    updatePorts();
    ASSERT_TRUE(waitUntil([&] { return ports->findText(QStringLiteral("Extra Loop")) > 0; }));

    openPort(kIn, "Extra Loop");
    ASSERT_TRUE(monitor->choosePort(QStringLiteral("inputPort"), "Extra Loop"));
    vm::inject("Extra Loop", {0xB0, 0x07, 0x64});
    ASSERT_TRUE(waitUntil([&] { return list->topLevelItemCount() == 1; }));

    // Gone from the machine: still the monitor's choice, shown as not available.
    vm::removeDevice("Extra Loop");
    updatePorts();
    EXPECT_TRUE(waitUntil(
        [&] { return ports->currentText() == QStringLiteral("Extra Loop (not available)"); }));
}

TEST_F(MidiMonitorTest, HasNoSynchronizationAndSavesItsPort) {
    EXPECT_EQ(monitor->query<IMPDeviceSync2>(IID_IMPDeviceSync2), nullptr);
    EXPECT_EQ(monitor->query<IMPDeviceSync>(IID_IMPDeviceSync), nullptr);
    ASSERT_TRUE(monitor->choosePort(QStringLiteral("inputPort"), kLoopback2));
    const QByteArray state = monitor->save();
    EXPECT_EQ(state.left(4), QByteArray("DMON"));

    auto other = create(CLSID_MidiMonitor, QStringLiteral("Monitor 2"));
    ASSERT_EQ(other->load(state), S_OK);
    EXPECT_TRUE(portUsers(kIn, kLoopback2).contains(QStringLiteral("Monitor 2 MIDI In")));
    EXPECT_EQ(other->load(state.left(10)), DORVO_HR(0x80047D42));
    // Another component's state is refused.
    EXPECT_EQ(other->load(QByteArray("DSYN").append(state.mid(4))), DORVO_HR(0x80047D40));
}

TEST_F(MidiMonitorTest, RefusesCallsThatABrokenHostMakes) {
    IMPInitialise* component = monitor->component();
    DWORD flags = 64;
    EXPECT_EQ(component->MPConnect(nullptr, nullptr, 1, 0, &flags), E_POINTER);
    EXPECT_EQ(component->MPConnect(m_host, nullptr, 1, 0, nullptr), E_POINTER);
    EXPECT_EQ(monitor->query<IMPEventFilter>(IID_IMPEventFilter)->FilterEvents(nullptr, nullptr),
              E_POINTER);
    EXPECT_EQ(monitor->query<IMPNotificationSink>(IID_IMPNotificationSink)->OnNotify(nullptr),
              E_POINTER);
    EXPECT_EQ(monitor->query<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages)->GetPages(nullptr),
              E_POINTER);
    auto* persist = monitor->query<IPersistStream>(IID_IPersistStream);
    EXPECT_EQ(persist->Load(nullptr), STG_E_INVALIDPOINTER);
    EXPECT_EQ(persist->Save(nullptr, TRUE), STG_E_INVALIDPOINTER);
    EXPECT_EQ(persist->GetClassID(nullptr), E_POINTER);
    CLSID clsid{};
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_MidiMonitor));

    // A page handed something that is not its component, or nothing, shows nothing.
    IPropertyPage* page = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_MidiMonitorPage, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IPropertyPage, reinterpret_cast<void**>(&page)),
              S_OK);
    PROPPAGEINFO info{};
    EXPECT_EQ(page->GetPageInfo(&info), E_UNEXPECTED);
    QWidget container;
    const RECT area{0, 0, 100, 100};
    EXPECT_EQ(page->Activate(reinterpret_cast<HWND>(container.winId()), &area, FALSE),
              E_UNEXPECTED);
    EXPECT_EQ(page->Show(SW_SHOW), E_UNEXPECTED);
    IUnknown* notMine = m_host;
    EXPECT_EQ(page->SetObjects(1, &notMine), E_NOINTERFACE);
    EXPECT_EQ(page->SetObjects(1, nullptr), E_POINTER);
    IUnknown* mine = component;
    ASSERT_EQ(page->SetObjects(1, &mine), S_OK);
    EXPECT_EQ(page->GetPageInfo(nullptr), E_POINTER);
    EXPECT_EQ(page->Activate(nullptr, &area, FALSE), E_INVALIDARG);
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
    page->Release();
    EXPECT_TRUE(container.children().isEmpty());
}

} // namespace
