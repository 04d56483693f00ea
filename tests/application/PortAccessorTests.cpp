// The Workspace port accessor on the virtual MIDI devices: which ports a selection opens and
// closes, what components are then given, document ports and their re-mapping, the warning for
// ports that cannot be opened, the machine's ports changing underneath, and MIDI Thru.
#include "ClientIConnectionPoint.h"
#include "SetupTestSupport.h"
#include "TestObjects.h"
#include "ThruScenario.h"

#include <gtest/gtest.h>

using namespace dorvo2test;

namespace {

const std::string kSynth = vm::kDemoSynthName;

class PortAccessorTest : public testing::Test {
protected:
    static void SetUpTestSuite() { useVirtualDevices(); }
    // Devices in this order: Loopback 1, Loopback 2, the synthesizer, Loopback 3.
    void SetUp() override {
        vm::reset();
        vm::addLoopback(kLoopback3);
        ports = std::make_unique<WorkspacePorts>();
    }
    void TearDown() override {
        ports.reset();
        vm::reset();
    }

    TVirtualMIDIPortAccessor& accessor() { return *ports->accessor; }
    bool apply(const Selection& selection) { return accessor().applySelection(selection); }
    QString entry(int direction, const std::string& device) {
        return WorkspacePorts::entry(ports->devicePort(direction, device), device);
    }
    HRESULT use(const QUuid& port, const char16_t* name, TestSink& component, DWORD index) {
        const GUID id = guidOf(port);
        return ports->host->clientServices()->SetPortUsage(
            MPPORTUSAGE_ADD, &id, reinterpret_cast<LPCWSTR>(name), 0, &component, index);
    }

    ShownMessages messages;
    std::unique_ptr<WorkspacePorts> ports;
};

TEST_F(PortAccessorTest, ApplyingOpensAndClosesExactlyThePortsThatChanged) {
    std::vector<int> notified;
    TestSink component(&notified, 1);
    DWORD cookie = 0;
    ports->host->connectionPointContainer()
        ->pointFor(IID_IMPNotificationSink)
        ->Advise(&component, &cookie);

    EXPECT_TRUE(apply(ports->select({kLoopback1, kLoopback2}, {kLoopback1})));
    EXPECT_EQ(ports->listed(kIn), (QStringList{entry(kIn, kLoopback1), entry(kIn, kLoopback2)}));
    EXPECT_EQ(ports->listed(kOut), QStringList{entry(kOut, kLoopback1)});
    EXPECT_FALSE(ports->isOpen(kIn, kLoopback3));
    EXPECT_FALSE(ports->isOpen(kOut, kLoopback2));
    EXPECT_EQ(notified.size(), 1u);

    // A filter that only the inputs open now carry: an input closed and opened again would
    // come back without it.
    RecordingFilter onOpenInputs;
    ports->host->registerEventFilter(&onOpenInputs);
    EXPECT_TRUE(apply(ports->select({kLoopback3, kLoopback1}, {kLoopback1, kLoopback2})));
    EXPECT_FALSE(ports->isOpen(kIn, kLoopback2));
    EXPECT_TRUE(ports->isOpen(kIn, kLoopback3));
    EXPECT_TRUE(ports->isOpen(kOut, kLoopback2));
    vm::inject(kLoopback1, {0x90, 0x3C, 0x40});
    EXPECT_TRUE(onOpenInputs.waitForCalls(1)) << "Loopback 1 was reopened";
    EXPECT_EQ(ports->listed(kIn), (QStringList{entry(kIn, kLoopback1), entry(kIn, kLoopback3)}));
    EXPECT_EQ(ports->listed(kOut), (QStringList{entry(kOut, kLoopback1), entry(kOut, kLoopback2)}));
    // The Workspace keeps its order: a port joins at the end.
    EXPECT_EQ(accessor().workspacePorts(kIn),
              (QList<QUuid>{ports->id(kIn, kLoopback1), ports->id(kIn, kLoopback3)}));
    EXPECT_EQ(accessor().currentSelection(kIn),
              (QList<int>{ports->index(kIn, kLoopback1), ports->index(kIn, kLoopback3)}));
    EXPECT_EQ(notified.size(), 2u);

    // The same choice again: nothing changes and nobody is told.
    EXPECT_FALSE(apply(ports->select({kLoopback1, kLoopback3}, {kLoopback2, kLoopback1})));
    EXPECT_EQ(notified.size(), 2u);

    // Closing alone also takes the ports from the components' lists.
    EXPECT_TRUE(apply(ports->select({kLoopback1, kLoopback3}, {kLoopback2})));
    EXPECT_EQ(ports->listed(kOut), QStringList{entry(kOut, kLoopback2)});
    EXPECT_FALSE(ports->isOpen(kOut, kLoopback1));
    EXPECT_EQ(notified.size(), 3u);
    EXPECT_TRUE(apply(Selection{}));
    EXPECT_TRUE(ports->listed(kIn).isEmpty());
    EXPECT_TRUE(accessor().workspacePorts(kOut).isEmpty());
    EXPECT_FALSE(ports->isOpen(kIn, kLoopback1));
    EXPECT_FALSE(ports->isOpen(kOut, kLoopback2));

    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_FALSE(accessor().openFailure());
    ports->host->connectionPointContainer()->pointFor(IID_IMPNotificationSink)->Unadvise(cookie);
}

TEST_F(PortAccessorTest, PortsThatCannotBeOpenedAreReportedOnceAndTriedAgain) {
    // Listed when the host object was made, gone now.
    vm::removeDevice(kLoopback3);
    const Selection selection = ports->select({kLoopback1, kLoopback3}, {kLoopback3});
    EXPECT_TRUE(apply(selection));
    const QString warning = QStringLiteral("Following MIDI ports can not be opened at this time."
                                           "\nInput:\nDorvo Loopback 3\nOutput:\nDorvo Loopback 3");
    EXPECT_EQ(messages.texts, QStringList{warning});
    EXPECT_TRUE(accessor().openFailure());
    EXPECT_TRUE(ports->isOpen(kIn, kLoopback1));
    EXPECT_EQ(ports->listed(kIn), QStringList{entry(kIn, kLoopback1)});
    EXPECT_TRUE(ports->listed(kOut).isEmpty());
    // They stay chosen, and the same apply tries them again.
    EXPECT_EQ(accessor().currentSelection(kOut), QList<int>{ports->index(kOut, kLoopback3)});
    EXPECT_FALSE(apply(selection));
    EXPECT_EQ(messages.texts, (QStringList{warning, warning}));

    vm::addLoopback(kLoopback3);
    EXPECT_FALSE(apply(selection));
    EXPECT_EQ(messages.texts.size(), 2);
    EXPECT_FALSE(accessor().openFailure());
    EXPECT_EQ(ports->listed(kOut), QStringList{entry(kOut, kLoopback3)});

    // Only the failing direction is named.
    vm::removeDevice(kLoopback3);
    apply(Selection{});
    apply(ports->select({kLoopback1}, {kLoopback3}));
    EXPECT_EQ(messages.texts.last(),
              QStringLiteral("Following MIDI ports can not be opened at this time."
                             "\nOutput:\nDorvo Loopback 3"));
}

TEST_F(PortAccessorTest, DocumentPortsResolveThroughTheirRemapping) {
    const QUuid absent = QUuid::createUuid(), docA = QUuid::createUuid(),
                docB = QUuid::createUuid();
    const QUuid out1 = ports->id(kOut, kLoopback1), out2 = ports->id(kOut, kLoopback2),
                out3 = ports->id(kOut, kLoopback3);
    accessor().setRemapTable(
        kOut,
        {{docA, {absent, out2, out1}}, {docB, {QUuid(), out1}}, {out3, {absent}}, {absent, {}}});
    EXPECT_EQ(accessor().resolve(kOut, docA), out2);
    EXPECT_EQ(accessor().remapTable(kOut).value(docA), (QList<QUuid>{out2, absent, out1}));
    EXPECT_TRUE(accessor().resolve(kOut, docB).isNull()) << "assigned to no port";
    EXPECT_EQ(accessor().resolve(kOut, out3), out3) << "nothing of the entry is present";
    EXPECT_EQ(accessor().resolve(kOut, absent), absent) << "an empty entry";
    EXPECT_EQ(accessor().resolve(kOut, QUuid()), QUuid());
    EXPECT_TRUE(accessor().isPresent(out3));
    EXPECT_FALSE(accessor().isPresent(absent));

    // Choosing machine ports: a document port that stands for one keeps its place and names
    // it to components; the others join at the end under their own ids.
    accessor().setWorkspacePorts(kOut, {docB, docA});
    accessor().setRemapTable(kOut, {{docA, {absent, out2}}, {docB, {QUuid(), out1}}});
    EXPECT_TRUE(apply(ports->select({}, {kLoopback2, kLoopback1})));
    EXPECT_EQ(accessor().workspacePorts(kOut), (QList<QUuid>{docB, docA, out1}));
    EXPECT_EQ(accessor().remapTable(kOut).value(docA).first(), out2);
    QList<QUuid> ids;
    EXPECT_EQ(ports->listed(kOut, &ids),
              (QStringList{entry(kOut, kLoopback1), entry(kOut, kLoopback2)}));
    EXPECT_EQ(ids, (QList<QUuid>{out1, docA}));

    // Dropping the port drops the document port that stood for it, with its re-mapping.
    EXPECT_TRUE(apply(ports->select({}, {kLoopback1})));
    EXPECT_EQ(accessor().workspacePorts(kOut), (QList<QUuid>{docB, out1}));
    EXPECT_FALSE(accessor().remapTable(kOut).contains(docA));
    EXPECT_FALSE(ports->isOpen(kOut, kLoopback2));

    // A document port with a machine port's own id, assigned to no port, stands for that port
    // again when it is chosen: no second entry of the same id.
    accessor().setWorkspacePorts(kOut, {out3, out1});
    accessor().setRemapTable(kOut, {{out3, {QUuid()}}});
    EXPECT_TRUE(apply(ports->select({}, {kLoopback1, kLoopback3})));
    EXPECT_EQ(accessor().workspacePorts(kOut), (QList<QUuid>{out3, out1}));
    EXPECT_FALSE(accessor().remapTable(kOut).contains(out3));
    EXPECT_EQ(ports->listed(kOut), (QStringList{entry(kOut, kLoopback1), entry(kOut, kLoopback3)}));
}

TEST_F(PortAccessorTest, AKeptWorkspaceListOnlyOpensAndClosesPorts) {
    const QUuid docIn = QUuid::createUuid();
    const QUuid in1 = ports->id(kIn, kLoopback1);
    accessor().setWorkspacePorts(kIn, {docIn});
    accessor().setRemapTable(kIn, {{docIn, {in1}}});
    accessor().applySelection(ports->select({kLoopback1, kLoopback2}, {}),
                              TVirtualMIDIPortAccessor::WorkspaceList::Keep, true);
    EXPECT_TRUE(ports->isOpen(kIn, kLoopback2));
    EXPECT_EQ(accessor().workspacePorts(kIn), QList<QUuid>{docIn});
    QList<QUuid> ids;
    EXPECT_EQ(ports->listed(kIn, &ids), QStringList{entry(kIn, kLoopback1)});
    EXPECT_EQ(ids, QList<QUuid>{docIn});

    accessor().applySelection(ports->select({kLoopback2}, {}),
                              TVirtualMIDIPortAccessor::WorkspaceList::Keep);
    EXPECT_EQ(accessor().workspacePorts(kIn), QList<QUuid>{docIn});
    EXPECT_FALSE(ports->isOpen(kIn, kLoopback1));
    EXPECT_TRUE(ports->listed(kIn).isEmpty());

    // Emptied maps: components see nothing until the next apply.
    accessor().applySelection(ports->select({kLoopback1}, {}),
                              TVirtualMIDIPortAccessor::WorkspaceList::Keep);
    EXPECT_EQ(ports->listed(kIn).size(), 1);
    accessor().clearWorkspaceMaps();
    EXPECT_TRUE(ports->listed(kIn).isEmpty());

    // Positions the machine does not have are ignored with a check warning.
    WarningCapture warnings;
    const Selection withStrangers{QList<int>{-1, ports->index(kIn, kLoopback1), 99}, {}};
    EXPECT_FALSE(
        accessor().applySelection(withStrangers, TVirtualMIDIPortAccessor::WorkspaceList::Keep));
    EXPECT_TRUE(ports->isOpen(kIn, kLoopback1));
    EXPECT_EQ(warnings.messages.size(), 2);
}

TEST_F(PortAccessorTest, DisplayTextsNameTheComponentsThatUseAPort) {
    const QUuid docA = QUuid::createUuid();
    const QUuid out1 = ports->id(kOut, kLoopback1), out2 = ports->id(kOut, kLoopback2);
    accessor().setWorkspacePorts(kOut, {docA});
    accessor().setRemapTable(kOut, {{docA, {out2}}});
    apply(ports->select({}, {kLoopback1, kLoopback2}));

    TestSink components[2] = {{nullptr, 0}, {nullptr, 1}};
    ports->workspace.names[&components[0]] = QStringLiteral("Mixer");
    ports->workspace.names[&components[1]] = QStringLiteral("Synth");
    ASSERT_EQ(use(out1, u"Port 1", components[0], 0), S_OK);
    ASSERT_EQ(use(out1, u"", components[1], 0), S_OK);
    // Components know the port by its document port id.
    ASSERT_EQ(use(docA, u"Main", components[1], 1), S_OK);

    EXPECT_EQ(
        accessor().displayTexts(kOut),
        (QStringList{"Dorvo Loopback 1 [Mixer Port 1, Synth]", "Dorvo Loopback 2 [Synth Main]",
                     QString::fromStdString(kSynth), "Dorvo Loopback 3"}));
    EXPECT_EQ(accessor().displayTexts(kIn).first(), QStringLiteral("Dorvo Loopback 1"));
    EXPECT_TRUE(accessor().displayText(kOut, 4).isEmpty());
}

TEST_F(PortAccessorTest, UpdatingFollowsPortsThatMovedAndDropsPortsThatWent) {
    const QUuid docOut = QUuid::createUuid();
    const QUuid out3 = ports->id(kOut, kLoopback3);
    accessor().setWorkspacePorts(kOut, {docOut});
    accessor().setRemapTable(kOut, {{docOut, {out3}}});
    apply(ports->select({kLoopback1, kLoopback2}, {kLoopback2, kLoopback3}));
    accessor().applyThruSettings(ports->thru(true, kLoopback1, kLoopback3));
    const int oldOut3 = ports->devicePort(kOut, kLoopback3);

    // Loopback 2 goes; Loopback 3 moves to the synthesizer's number, which moves down.
    vm::removeDevice(kLoopback2);
    accessor().updateSystemPorts();
    EXPECT_EQ(ports->index(kOut, kLoopback2), -1);
    const int newOut3 = ports->devicePort(kOut, kLoopback3);
    ASSERT_EQ(newOut3, oldOut3 - 1);
    EXPECT_EQ(accessor().currentSelection(kIn), QList<int>{ports->index(kIn, kLoopback1)});
    EXPECT_EQ(accessor().currentSelection(kOut), QList<int>{ports->index(kOut, kLoopback3)});
    EXPECT_FALSE(ports->host->isPortOpen(true, oldOut3));
    // Loopback 2's number belongs to the synthesizer now, which was not chosen.
    EXPECT_FALSE(ports->host->isPortOpen(true, newOut3 - 1));

    // Components, told of the change, reach the same device under its new number, through
    // the re-mapped document port.
    QList<QUuid> ids;
    EXPECT_EQ(ports->listed(kOut, &ids), QStringList{entry(kOut, kLoopback3)});
    EXPECT_EQ(ids, QList<QUuid>{docOut});
    EXPECT_TRUE(ports->listed(kIn) == QStringList{entry(kIn, kLoopback1)});
    vm::clearSent(kLoopback3);
    MPEVENT note{};
    note.type = 0x40;
    note.port = DWORD(newOut3);
    note.data[0] = 0x3C;
    note.data[1] = 0x40;
    EXPECT_EQ(ports->host->sendEvent(&note, 1), S_OK);
    EXPECT_EQ(sentBytes(kLoopback3, 1), (std::vector<Bytes>{{0x90, 0x3C, 0x40}}));
    // The Thru route follows its ports.
    EXPECT_EQ(accessor().thruSettings().outputPort, ports->index(kOut, kLoopback3) + 1);
    vm::clearSent(kLoopback3);
    vm::inject(kLoopback1, {0x91, 0x3C, 0x40});
    EXPECT_EQ(sentBytes(kLoopback3, 1), (std::vector<Bytes>{{0x91, 0x3C, 0x40}}));
}

TEST_F(PortAccessorTest, ThruRoutesFromInputToOutputOnTheVirtualDevices) {
    expectThruEndToEnd(*ports,
                       {kLoopback1, kLoopback2, kLoopback2, [](const std::vector<Bytes>& messages) {
                            for (const Bytes& message : messages)
                                vm::inject(kLoopback1, message);
                        }});
    // The settings the route was made from are what the setup dialog shows.
    EXPECT_TRUE(ports->accessor->thruSettings().on);
    EXPECT_EQ(ports->accessor->thruSettings().inputPort, 0);
    EXPECT_EQ(ports->accessor->thruSettings().outputPort, ports->index(kOut, kLoopback2) + 1);
}

} // namespace
