// The workspace document format on its own: the writer's bytes against bytes spelled out by
// hand, the reader on documents of every version, and the reader against damaged and hostile
// documents.
#include "DocumentBytes.h"
#include "TDocumentReader.h"
#include "TDocumentWriter.h"

#include <QBuffer>
#include <QDataStream>
#include <gtest/gtest.h>

using documenttest::Bytes;
using Outcome = TDocumentReader::Outcome;

namespace {

const QUuid kSynth("{6a1c0e53-1f3a-4d2b-9c1e-0a7d5e4b3c21}");
const QUuid kMonitor("{0b2f7e8a-5c4d-4e3f-8a1b-2c3d4e5f6071}");
const QUuid kPortA("{11111111-0000-0000-0000-000000000001}");
const QUuid kPortB("{22222222-0000-0000-0000-000000000002}");
const QUuid kMachine1("{33333333-0000-0000-0000-000000000003}");
const QUuid kMachine2("{44444444-0000-0000-0000-000000000004}");

// Two components, a re-mapped input port and an output port, Thru on from input to output.
xdw::Document fullDocument() {
    xdw::Document document;
    document.header = xdw::headerText(QStringLiteral("Quenor Dorvo"));
    document.geometry = QRect(QPoint(10, 20), QPoint(609, 419));
    // Table records in increasing id order, as the Workspace writes them.
    document.ports.remap[0] = {{kPortA, {kMachine1, QUuid()}}, {kPortB, {}}};
    document.ports.ports[0] = {{kPortB, "2;In B"}, {kPortA, "1;In A [Demo Synth]"}};
    document.ports.ports[1] = {{kMachine2, "1;Out"}};
    document.view = {{xdw::kMinorVersionKey, QVariant(quint32(2))},
                     {xdw::kArrangementKey, QVariant(qint32(1))},
                     {xdw::kSortingKey, QVariant(qint32(0))}};
    document.components = {
        {kSynth.toString(), "Synth", 1, QRect(5, 6, 300, 200), QPoint(0, 0), 6, "\x01\x02\xFF"},
        {kMonitor.toString(), "Monitor", 0, QRect(QPoint(0, 0), QPoint(-1, -1)), QPoint(-1, -1), 0,
         QByteArray()}};
    document.recallEnabled = QList<qint32>{1, 0};
    xdw::ThruSection thru;
    thru.on = 1;
    thru.ports[0] = {kMachine1, "1;In A"};
    thru.ports[1] = {kMachine2, QString(QLatin1String(""))};
    document.thru = thru;
    return document;
}

Bytes fullDocumentBytes() {
    Bytes bytes;
    bytes.header().vRect(QRect(QPoint(10, 20), QPoint(609, 419)));
    // Re-mapping: input with two records, output none.
    bytes.i32(2).uuid(kPortA).i32(2).uuid(kMachine1).uuid(QUuid()).uuid(kPortB).i32(0);
    bytes.i32(0);
    // Port lists in the Workspace's order.
    bytes.i32(2).uuid(kPortB).string("2;In B").uuid(kPortA).string("1;In A [Demo Synth]");
    bytes.i32(1).uuid(kMachine2).string("1;Out");
    bytes.view(2, 1, 0);
    bytes.component(kSynth, "Synth", 1, QRect(5, 6, 300, 200), QPoint(0, 0), 6, "\x01\x02\xFF");
    bytes.component(kMonitor, "Monitor", 0, QRect(QPoint(0, 0), QPoint(-1, -1)), QPoint(-1, -1), 0,
                    QByteArray());
    bytes.endOfComponents();
    bytes.vList(2).vInt(1).vInt(0);
    bytes.vInt(1).uuid(kMachine1).string("1;In A").uuid(kMachine2).string("");
    return bytes;
}

TEST(DocumentFormatTest, WriterPutsEveryItemWhereTheFormatSaysAndTheReaderTakesItBack) {
    // An empty Workspace, spelled out to the byte.
    xdw::Document empty;
    empty.header = xdw::headerText(QStringLiteral("Quenor Dorvo"));
    empty.geometry = QRect(0, 0, 1, 1);
    empty.view = {{xdw::kMinorVersionKey, QVariant(quint32(2))},
                  {xdw::kArrangementKey, QVariant(qint32(0))},
                  {xdw::kSortingKey, QVariant(qint32(0))}};
    const QByteArray emptyBytes = QByteArray::fromHex(
        "00000003 00000054 0056006500720073 0069006f006e003b 0032002e00300030 003b004100700070"
        "006c006900630061 00740069006f006e 0020004e0061006d 0065003b00510075 0065006e006f0072"
        "00200044006f0072 0076006f"
        "00000008 00000000 00000000 00000000 00000000"
        "00000000 00000000 00000000 00000000"
        "00000003"
        "0000002e 00660069006c00650066006f0072006d00610074002d006d0069006e006f0072007600650072"
        "00730069006f006e 00000011 00000002"
        "00000028 00690063006f006e0076006900650077002d0061007200720061006e00670065006d0065006e"
        "0074 00000010 00000000"
        "00000020 00690063006f006e0076006900650077002d0073006f007200740069006e0067"
        "00000010 00000000"
        "00000003 0000004c"
        "007b00300030003000300030003000300030002d0030003000300030002d0030003000300030"
        "002d0030003000300030002d003000300030003000300030003000300030003000300030007d"
        "00000003 ffffffff"
        "00000002 00000000"
        "00000010 00000000 00000000000000000000000000000000 00000000"
        "00000000000000000000000000000000 00000000");
    EXPECT_EQ(TDocumentWriter::bytes(empty).toHex().toStdString(),
              emptyBytes.toHex().toStdString());

    const xdw::Document document = fullDocument();
    const QByteArray bytes = fullDocumentBytes();
    EXPECT_EQ(TDocumentWriter::bytes(document).toHex().toStdString(), bytes.toHex().toStdString());

    const TDocumentReader::Result read = TDocumentReader::read(bytes);
    ASSERT_EQ(read.outcome, Outcome::Complete) << read.defectLine().toStdString();
    EXPECT_EQ(read.endOffset, bytes.size());
    EXPECT_EQ(read.document.header, document.header);
    EXPECT_EQ(read.document.geometry, document.geometry);
    EXPECT_EQ(read.document.ports, document.ports);
    EXPECT_EQ(read.document.view, document.view);
    EXPECT_EQ(read.document.components, document.components);
    EXPECT_EQ(read.document.recallEnabled, document.recallEnabled);
    EXPECT_EQ(read.document.thru, document.thru);
    EXPECT_EQ(read.document.components.first().endOffset, bytes.indexOf("\x01\x02\xFF") + 3);
    EXPECT_TRUE(read.defectLine().isEmpty());
}

TEST(DocumentFormatTest, HeadersOfThisMajorVersionUpToThisVersionAreCompatible) {
    for (const char* version : {"2.00", "2.0", "2"}) {
        EXPECT_TRUE(xdw::isCompatibleHeader(
            QStringLiteral("Version;%1;Application Name;Dorvo").arg(version)))
            << version;
    }
    for (const char* version : {"2.01", "2.5", "1.99", "3.00", "", "two", "nan", "inf"}) {
        EXPECT_FALSE(xdw::isCompatibleHeader(
            QStringLiteral("Version;%1;Application Name;Dorvo").arg(version)))
            << version;
    }
    EXPECT_FALSE(xdw::isCompatibleHeader(QStringLiteral("Version;2.00;Application Name")));
    EXPECT_FALSE(xdw::isCompatibleHeader(QVariant(2)));
    // The application name is not compared: either build opens the other's documents.
    EXPECT_TRUE(xdw::isCompatibleHeader(QStringLiteral("Version;2.00;Application Name;Other")));

    Bytes newer;
    newer.header("3.00").vRect(QRect(0, 0, 1, 1));
    const TDocumentReader::Result read = TDocumentReader::read(newer);
    EXPECT_EQ(read.outcome, Outcome::Incompatible);
    EXPECT_EQ(read.itemsRead, TDocumentReader::Header);
    EXPECT_EQ(TDocumentReader::read(QByteArray("random bytes, not a document")).outcome,
              Outcome::Incompatible);
    EXPECT_EQ(TDocumentReader::read(QByteArray()).outcome, Outcome::Incompatible);
}

TEST(DocumentFormatTest, OlderMinorVersionsEndWithoutTheLaterItems) {
    Bytes minor0;
    minor0.header("2.0").vRect(QRect(1, 2, 3, 4)).noPorts();
    // Minor 0 documents may lack the key altogether.
    minor0.u32(1).string("iconview-sorting").vInt(1);
    minor0.component(kSynth, "Synth", 0, QRect(), QPoint(3, 4), 1, "abc").endOfComponents();
    TDocumentReader::Result read = TDocumentReader::read(minor0);
    ASSERT_EQ(read.outcome, Outcome::Complete) << read.defectLine().toStdString();
    EXPECT_EQ(read.document.minorVersion(), 0u);
    EXPECT_EQ(read.document.components.size(), 1);
    EXPECT_FALSE(read.document.recallEnabled.has_value());
    EXPECT_FALSE(read.document.thru.has_value());
    EXPECT_EQ(read.endOffset, minor0.size());

    Bytes minor1;
    minor1.header().vRect(QRect(1, 2, 3, 4)).noPorts().view(1);
    minor1.component(kSynth, "Synth", 0, QRect(), QPoint(3, 4), 1, "abc").endOfComponents();
    minor1.vList(1).vInt(0);
    read = TDocumentReader::read(minor1);
    ASSERT_EQ(read.outcome, Outcome::Complete) << read.defectLine().toStdString();
    EXPECT_EQ(read.document.recallEnabled, QList<qint32>{0});
    EXPECT_FALSE(read.document.thru.has_value());
}

// Cut anywhere, the document is refused with the offset of the cut, never read past its end,
// and only entries read whole are kept.
TEST(DocumentFormatTest, ADocumentCutAnywhereIsDamagedAtTheCut) {
    const QByteArray whole = fullDocumentBytes();
    for (qsizetype length = 0; length < whole.size(); ++length) {
        const QByteArray cut = whole.left(length);
        const TDocumentReader::Result read = TDocumentReader::read(cut);
        ASSERT_NE(read.outcome, Outcome::Complete) << length;
        if (read.outcome == Outcome::Damaged) {
            EXPECT_LE(read.defectOffset, length) << length;
            EXPECT_TRUE(
                read.defectLine().startsWith(QStringLiteral("byte %1: ").arg(read.defectOffset)));
        }
        for (const xdw::Component& component : read.document.components)
            EXPECT_LE(component.endOffset, length);
        if (read.hasItem(TDocumentReader::Ports)) {
            EXPECT_EQ(read.document.ports, fullDocument().ports) << length;
        } else {
            EXPECT_EQ(read.document.ports, xdw::PortSection()) << length;
        }
    }
}

TEST(DocumentFormatTest, HostileCountsAndLengthsAreRefusedBeforeAnythingIsSizedByThem) {
    auto body = [] {
        Bytes bytes;
        bytes.header().vRect(QRect(0, 0, 10, 10));
        return bytes;
    };
    struct Case {
        const char* what;
        QByteArray bytes;
        qsizetype defectAt;
        const char* defectMentions;
    };
    QList<Case> cases;
    {
        Bytes b = body();
        const qsizetype at = b.size();
        b.i32(0x7FFFFFFF);
        cases.append({"port count of 2^31-1", b, at, "re-mapping table of 2147483647"});
    }
    {
        Bytes b = body();
        b.i32(0).i32(0);
        const qsizetype at = b.size();
        b.i32(-1);
        cases.append({"negative port count", b, at, "port list of -1"});
    }
    {
        Bytes b = body();
        b.noPorts().view(2);
        b.vString(kSynth.toString());
        const qsizetype at = b.size();
        b.u32(documenttest::kString).u32(0x7FFFFFFF);
        cases.append({"string length 0x7FFFFFFF", b, at + 4, "component name has an odd"});
    }
    {
        Bytes b = body();
        b.noPorts().view(2);
        b.vString(kSynth.toString()).vString("Synth").vInt(0).vRect(QRect()).vPoint(QPoint());
        b.vUInt(0).vUInt(0xFFFFFFFFu);
        const qsizetype at = b.size();
        b.raw("only a few bytes of state");
        cases.append({"state size 0xFFFFFFFF", b, at, "state block cut short"});
    }
    {
        Bytes b = body();
        b.noPorts();
        const qsizetype at = b.size();
        b.u32(1).string("deep");
        for (int i = 0; i < 100; ++i)
            b.vList(1);
        b.vInt(1);
        cases.append({"lists nested 100 deep", b, at + 4 + 12 + 31 * 8, "nests lists too deeply"});
    }
    {
        Bytes b = body();
        b.noPorts().view(2);
        const qsizetype at = b.size();
        b.vString("not a class id").vString("Synth");
        cases.append({"class id that is no GUID", b, at, "is not a class identifier"});
    }
    {
        Bytes b = body();
        b.noPorts();
        const qsizetype at = b.size() + 4 + 4 + 2;
        b.u32(1).string("k").u32(0x0BAD);
        cases.append({"unknown value type", b, at, "unknown type 2989"});
    }
    {
        Bytes b = body();
        b.noPorts().view(2);
        const qsizetype at = b.size();
        b.vInt(7);
        cases.append({"class id of the wrong type", b, at, "value type 16 where 3 belongs"});
    }
    for (const Case& c : cases) {
        const TDocumentReader::Result read = TDocumentReader::read(c.bytes);
        EXPECT_EQ(read.outcome, Outcome::Damaged) << c.what;
        EXPECT_EQ(read.defectOffset, c.defectAt) << c.what << ": " << read.defect.toStdString();
        EXPECT_TRUE(read.defect.contains(QLatin1String(c.defectMentions)))
            << c.what << ": " << read.defect.toStdString();
        EXPECT_TRUE(read.document.components.isEmpty()) << c.what;
    }
}

} // namespace
