// Port tables and the persistent identities of the machine's ports.
#include "TUniMIDIPortAccessor.h"
#include "TestEnvironment.h"
#include "WarningCapture.h"

#include <QSettings>
#include <dorvo/objbase.h>
#include <gtest/gtest.h>

namespace {

constexpr int kIn = TMIDIPortAccessor::kInput;
constexpr int kOut = TMIDIPortAccessor::kOutput;

const QString kInputNames = QStringLiteral("/preferences/SystemPorts/Input/portNames");
const QString kInputIds = QStringLiteral("/preferences/SystemPorts/Input/portIds");
const QString kOutputNames = QStringLiteral("/preferences/SystemPorts/Output/portNames");
const QString kOutputIds = QStringLiteral("/preferences/SystemPorts/Output/portIds");

QString fromWide(LPCWSTR text) {
    return text ? QString::fromUtf16(text) : QString();
}

QUuid fromGuid(const GUID& guid) {
    return QUuid(guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                 guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
}

void freePortList(MPPORTLIST& list) {
    for (DWORD i = 0; i < list.count; ++i)
        CoTaskMemFree(list.ports[i].name);
    CoTaskMemFree(list.ports);
    list = MPPORTLIST{};
}

// ---- The port table ---------------------------------------------------------------------------

class TablePortAccessor : public TMIDIPortAccessor {
public:
    void put(int direction, const QUuid& id, const QString& entry) {
        m_ports[direction].insert(id, entry);
    }
};

class PortTableTest : public testing::Test {
protected:
    TablePortAccessor table;
    const QUuid a = QUuid::createUuid(), b = QUuid::createUuid(), c = QUuid::createUuid();
};

TEST_F(PortTableTest, IdsComeInPortNumberOrderAndNamelessEntriesAreLeftOut) {
    table.put(kIn, a, "10;Ten");
    table.put(kIn, b, "2;Two");
    table.put(kIn, c, "3");
    table.put(kOut, c, "1;Out");
    QList<QUuid> ids{QUuid::createUuid()};
    table.portIds(kIn, ids);
    EXPECT_EQ(ids, (QList<QUuid>{b, a}));
    table.portIds(kOut, ids);
    EXPECT_EQ(ids, QList<QUuid>{c});
    table.portIds(7, ids);
    EXPECT_TRUE(ids.isEmpty());
}

TEST_F(PortTableTest, LookupsByIdAndTheUnknownPort) {
    table.put(kIn, a, "3;USB MIDI");
    table.put(kOut, b, "12;Synth;Port A");
    EXPECT_EQ(table.portEntry(a), "3;USB MIDI");
    EXPECT_EQ(table.portName(a), "USB MIDI");
    EXPECT_EQ(table.portNumber(a), 3);
    EXPECT_EQ(table.portNumber(b), 12);
    EXPECT_EQ(table.portName(b), "Synth"); // cut at the name's own separator
    for (const QUuid& unknown : {c, QUuid()}) {
        EXPECT_EQ(table.portEntry(unknown), "0;<unknown port name>");
        EXPECT_EQ(table.portName(unknown), "<unknown port name>");
        EXPECT_EQ(table.portNumber(unknown), 0);
    }
    // The input table answers first when an id stands in both.
    table.put(kOut, a, "9;Other");
    EXPECT_EQ(table.portEntry(a), "3;USB MIDI");
}

TEST_F(PortTableTest, PortListIsTaskAllocatedInPortNumberOrder) {
    WarningCapture warnings;
    MPPORTLIST list{5, reinterpret_cast<MPPORTINFO*>(&list)};
    table.fillPortData(kOut, &list);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.ports, nullptr);
    table.put(kOut, c, "nameless");
    table.fillPortData(kOut, &list);
    EXPECT_EQ(list.ports, nullptr);
    table.put(kOut, a, "2;Zwei");
    table.put(kOut, b, "1;Eins");
    table.fillPortData(kOut, &list);
    ASSERT_EQ(list.count, 2u);
    EXPECT_EQ(list.ports[0].port, 1u);
    EXPECT_EQ(fromGuid(list.ports[0].portId), b);
    EXPECT_EQ(fromWide(list.ports[0].name), "Eins");
    EXPECT_EQ(list.ports[1].port, 2u);
    EXPECT_EQ(fromGuid(list.ports[1].portId), a);
    EXPECT_EQ(fromWide(list.ports[1].name), "Zwei");
    freePortList(list);
    table.fillPortData(-1, &list);
    EXPECT_EQ(list.count, 0u);
    table.fillPortData(kIn, nullptr);
    EXPECT_EQ(warnings.checks("MIDITransport"), QStringList{"pPortData"});
}

// ---- Persistent identities ----------------------------------------------------------------------

// The machine's devices as a test sets them.
class FakeDeviceAccessor : public TUniMIDIPortAccessor {
public:
    explicit FakeDeviceAccessor(QStringList inputs, QStringList outputs = {}) {
        m_devices[kIn] = std::move(inputs);
        m_devices[kOut] = std::move(outputs);
        rebuild();
    }
    int deviceCount(int direction) override { return int(m_devices[direction].size()); }
    QString deviceName(int direction, int index) override {
        return m_devices[direction].value(index);
    }
    QList<QUuid> ids(int direction) {
        QList<QUuid> result;
        portIds(direction, result);
        return result;
    }
    QStringList m_devices[kDirections];
};

class PersistentIdTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope,
                           QString::fromStdString(dorvo2test::makeTempDir("system-settings")));
    }
    void SetUp() override {
        current().clear();
        legacy().clear();
    }
    static std::unique_ptr<QSettings> store(QSettings::Scope scope, const char* organisation,
                                            const char* product) {
        auto settings =
            std::make_unique<QSettings>(QSettings::NativeFormat, scope, organisation, product);
        settings->setFallbacksEnabled(false);
        return settings;
    }
    static QSettings& current() {
        static auto settings = store(QSettings::UserScope, "QUENOR", "Dorvo2");
        settings->sync();
        return *settings;
    }
    static QSettings& legacy() {
        static auto settings = store(QSettings::SystemScope, "quenor.com", "Quenor Dorvo");
        settings->sync();
        return *settings;
    }
    static QStringList stored(const QString& key) { return current().value(key).toStringList(); }
};

TEST_F(PersistentIdTest, StoresEntriesWithDirectionMarkersUnderTheSystemPortKeys) {
    FakeDeviceAccessor ports({"In A", "In B"}, {"Out A"});
    EXPECT_EQ(stored(kInputNames), (QStringList{"1;In A<[Inp]>", "2;In B<[Inp]>"}));
    EXPECT_EQ(stored(kOutputNames), QStringList{"1;Out A<[Out]>"});
    const QList<QUuid> in = ports.ids(kIn);
    ASSERT_EQ(in.size(), 2);
    EXPECT_EQ(stored(kInputIds), (QStringList{in[0].toString(), in[1].toString()}));
    EXPECT_EQ(stored(kOutputIds), QStringList{ports.ids(kOut).value(0).toString()});
    EXPECT_EQ(ports.portEntry(in[1]), "2;In B");
}

TEST_F(PersistentIdTest, DevicesOfOneNameKeepTheirIdsInOrderOnTheNextRun) {
    QList<QUuid> first;
    {
        FakeDeviceAccessor ports({"Synth", "Other", "Synth"}, {"Synth"});
        first = ports.ids(kIn);
        ASSERT_EQ(first.size(), 3);
        EXPECT_NE(first[0], first[2]);
        EXPECT_FALSE(ports.ids(kOut).contains(first[0]));
        EXPECT_FALSE(ports.ids(kOut).contains(first[2]));
    }
    FakeDeviceAccessor nextRun({"Synth", "Other", "Synth"}, {"Synth"});
    EXPECT_EQ(nextRun.ids(kIn), first);
    EXPECT_EQ(stored(kInputIds).size(), 3);
}

TEST_F(PersistentIdTest, ReturningDeviceGetsItsOldIdAtItsNewPosition) {
    QUuid idA, idB;
    {
        FakeDeviceAccessor ports({"A", "B"});
        idA = ports.ids(kIn).value(0);
        idB = ports.ids(kIn).value(1);
    }
    {
        FakeDeviceAccessor unplugged({"B"});
        EXPECT_EQ(unplugged.ids(kIn), QList<QUuid>{idB});
        EXPECT_EQ(unplugged.portNumber(idB), 1);
        EXPECT_EQ(unplugged.portEntry(idA), "0;<unknown port name>");
    }
    // A device without a name is not listed, but keeps its place in the numbering.
    FakeDeviceAccessor back({"C", "", "B", "A"});
    const QList<QUuid> ids = back.ids(kIn);
    ASSERT_EQ(ids.size(), 3);
    EXPECT_FALSE(ids[0] == idA || ids[0] == idB);
    EXPECT_EQ(ids[1], idB);
    EXPECT_EQ(ids[2], idA);
    EXPECT_EQ(back.portEntry(idA), "4;A");
    // A rebuild of the same accessor follows the devices as well.
    back.m_devices[kIn] = QStringList{"A"};
    back.rebuild();
    EXPECT_EQ(back.ids(kIn), QList<QUuid>{idA});
    EXPECT_EQ(back.portNumber(idA), 1);
}

TEST_F(PersistentIdTest, NameWithSeparatorKeepsItsIdAndTheListDoesNotGrow) {
    QUuid id;
    {
        FakeDeviceAccessor ports({"Synth; Port 1"});
        id = ports.ids(kIn).value(0);
    }
    FakeDeviceAccessor nextRun({"Synth; Port 1"});
    EXPECT_EQ(nextRun.ids(kIn), QList<QUuid>{id});
    EXPECT_EQ(stored(kInputNames), QStringList{"1;Synth; Port 1<[Inp]>"});
}

TEST_F(PersistentIdTest, DeletedIdsListMakesAllIdsNew) {
    QList<QUuid> first;
    {
        FakeDeviceAccessor ports({"A", "B"});
        first = ports.ids(kIn);
    }
    current().remove(kInputIds);
    current().sync();
    FakeDeviceAccessor nextRun({"A", "B"});
    const QList<QUuid> ids = nextRun.ids(kIn);
    ASSERT_EQ(ids.size(), 2);
    EXPECT_FALSE(first.contains(ids[0]) || first.contains(ids[1]));
    // Only the devices seen now are stored again, names and ids side by side.
    EXPECT_EQ(stored(kInputNames).size(), 2);
    EXPECT_EQ(stored(kInputIds), (QStringList{ids[0].toString(), ids[1].toString()}));
}

TEST_F(PersistentIdTest, ListsThatDoNotFitTogetherAreDiscardedSilently) {
    const QUuid kept = QUuid::createUuid();
    const QList<std::pair<QStringList, QStringList>> broken = {
        {{"1;A<[Inp]>", "2;B<[Inp]>"}, {kept.toString()}},                 // lengths differ
        {{"1;A<[Inp]>"}, {"not an id"}},                                   // id does not parse
        {{"1;A<[Inp]>"}, {QUuid().toString()}},                            // null id
        {{"A<[Inp]>", "2;B<[Inp]>"}, {kept.toString(), kept.toString()}}}; // no number field
    for (const auto& [names, ids] : broken) {
        current().setValue(kInputNames, names);
        current().setValue(kInputIds, ids);
        current().sync();
        WarningCapture warnings;
        FakeDeviceAccessor ports({"A", "B"});
        const QList<QUuid> now = ports.ids(kIn);
        ASSERT_EQ(now.size(), 2);
        EXPECT_FALSE(now.contains(kept)) << names.join('|').toStdString();
        EXPECT_EQ(stored(kInputNames), (QStringList{"1;A<[Inp]>", "2;B<[Inp]>"}));
        EXPECT_TRUE(warnings.messages().isEmpty());
    }
}

TEST_F(PersistentIdTest, LegacyIdsAreCarriedOverIntoTheCurrentStore) {
    const QUuid oldIn = QUuid::createUuid(), oldOut = QUuid::createUuid();
    legacy().setValue(kInputNames, QStringList{"4;Old Synth<[Inp]>"});
    legacy().setValue(kInputIds, QStringList{oldIn.toString()});
    legacy().setValue(kOutputNames, QStringList{"1;Old Synth<[Out]>"});
    legacy().setValue(kOutputIds, QStringList{oldOut.toString()});
    legacy().sync();
    {
        FakeDeviceAccessor ports({"New", "Old Synth"}, {"Old Synth"});
        EXPECT_EQ(ports.ids(kIn).value(1), oldIn);
        EXPECT_EQ(ports.ids(kOut), QList<QUuid>{oldOut});
        EXPECT_EQ(ports.portEntry(oldIn), "2;Old Synth");
    }
    EXPECT_EQ(stored(kInputNames).value(0), "4;Old Synth<[Inp]>");
    EXPECT_EQ(stored(kInputIds).value(0), oldIn.toString());
    EXPECT_EQ(stored(kOutputIds), QStringList{oldOut.toString()});
    // From now on the current store decides, whatever the legacy one says.
    legacy().setValue(kInputIds, QStringList{QUuid::createUuid().toString()});
    legacy().sync();
    FakeDeviceAccessor nextRun({"Old Synth"});
    EXPECT_EQ(nextRun.ids(kIn), QList<QUuid>{oldIn});
}

} // namespace
