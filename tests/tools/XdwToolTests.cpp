// dorvo2-xdw as scripts use it: dump prints a sound document as JSON of the agreed shape,
// validate names the first defect of a damaged one with its byte offset; neither needs a
// display.
#include "DocumentBytes.h"
#include "ProgramRun.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using documenttest::Bytes;
using dorvo2test::runProgram;

namespace {

const std::string kTool = DORVO2_XDW;

std::string documentPath(const char* name) {
    return std::string(DOCUMENTS_DIR) + "/" + name;
}

std::string writeDocument(const QByteArray& bytes) {
    static int counter = 0;
    const std::string path =
        dorvo2test::makeTempDir("xdw") + "/document" + std::to_string(++counter) + ".XDW";
    QFile file(QString::fromStdString(path));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

QJsonObject dumped(const std::string& path) {
    const auto result = runProgram(kTool, {"dump", path});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return QJsonDocument::fromJson(QByteArray::fromStdString(result.output)).object();
}

TEST(XdwToolTest, DumpsDocumentsAsJson) {
    const QJsonObject remapped = dumped(documentPath("remapped.XDW"));
    EXPECT_EQ(remapped["header"].toString(), "Version;2.00;Application Name;Quenor Dorvo");
    EXPECT_EQ(remapped["geometry"].toObject(),
              (QJsonObject{{"left", 0}, {"top", 0}, {"right", 639}, {"bottom", 479}}));
    const QJsonArray remapInput = remapped["remap"]["input"].toArray();
    ASSERT_EQ(remapInput.size(), 2);
    EXPECT_EQ(remapInput[0]["port"].toString(), "{11111111-0000-4000-8000-000000000001}");
    EXPECT_EQ(remapInput[0]["targets"].toArray(),
              (QJsonArray{"{33333333-0000-4000-8000-000000000003}",
                          "{00000000-0000-0000-0000-000000000000}"}));
    EXPECT_TRUE(remapped["remap"]["output"].toArray().isEmpty());
    EXPECT_EQ(remapped["ports"]["input"][1].toObject(),
              (QJsonObject{{"port", "{11111111-0000-4000-8000-000000000001}"},
                           {"text", "1;In A [Synth]"}}));
    EXPECT_EQ(remapped["view"].toObject(),
              (QJsonObject{{"fileformat-minorversion", QJsonArray{"UInt", 2}},
                           {"iconview-arrangement", QJsonArray{"Int", 0}},
                           {"iconview-sorting", QJsonArray{"Int", 1}}}));
    const QJsonObject synth = remapped["components"][0].toObject();
    EXPECT_EQ(synth["clsid"].toString(), "{6a1c0e53-1f3a-4d2b-9c1e-0a7d5e4b3c21}");
    EXPECT_EQ(synth["name"].toString(), "Synth");
    EXPECT_EQ(synth["editorOpen"].toInt(), 1);
    EXPECT_EQ(synth["editorGeometry"].toObject()["right"].toInt(), 300);
    EXPECT_EQ(synth["iconPosition"].toObject(), (QJsonObject{{"x", 0}, {"y", 0}}));
    EXPECT_EQ(synth["recallMask"].toInt(), 3);
    EXPECT_EQ(synth["state"].toString(), "0102");
    EXPECT_EQ(remapped["recallEnabled"].toArray(), QJsonArray{1});
    EXPECT_EQ(remapped["thru"]["on"].toInt(), 1);
    EXPECT_EQ(remapped["thru"]["output"].toObject(),
              (QJsonObject{{"port", "{33333333-0000-4000-8000-000000000003}"}, {"text", ""}}));

    // Older minor versions have neither the recall-enabled list nor Thru.
    const QJsonObject minor0 = dumped(documentPath("minor0.XDW"));
    EXPECT_FALSE(minor0.contains("recallEnabled"));
    EXPECT_FALSE(minor0.contains("thru"));
    EXPECT_TRUE(minor0["components"].toArray().isEmpty());
    EXPECT_TRUE(dumped(documentPath("minor1.XDW")).contains("recallEnabled"));
    EXPECT_FALSE(dumped(documentPath("minor1.XDW")).contains("thru"));

    // A null string is null; the examples' own document has their three states.
    Bytes nullName;
    nullName.header().vRect(QRect()).noPorts().view(2);
    nullName.component(QUuid("{6a1c0e53-1f3a-4d2b-9c1e-0a7d5e4b3c21}"), QString(), 0, QRect(),
                       QPoint(), 0, "");
    nullName.endOfComponents().vList(1).vInt(1).noThru();
    EXPECT_TRUE(dumped(writeDocument(nullName))["components"][0]["name"].isNull());
    EXPECT_EQ(dumped(documentPath("examples.XDW"))["components"].toArray().size(), 3);
}

TEST(XdwToolTest, ValidateNamesTheFirstDefectAndItsOffset) {
    for (const char* name : {"examples.XDW", "remapped.XDW", "minor0.XDW", "minor1.XDW"}) {
        const auto result = runProgram(kTool, {"validate", documentPath(name)});
        EXPECT_EQ(result.exitCode, 0) << name << ": " << result.output;
        EXPECT_TRUE(result.output.empty()) << result.output;
    }

    QFile real(QString::fromStdString(documentPath("remapped.XDW")));
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    const QByteArray whole = real.readAll();
    const std::string cut = writeDocument(whole.left(whole.size() - 5));
    auto result = runProgram(kTool, {"validate", cut});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;
    // The last Thru port's id lacks its last byte.
    EXPECT_NE(result.output.find(cut + ": byte " + std::to_string(whole.size() - 16 - 4) +
                                 ": MIDI Thru port cut short"),
              std::string::npos)
        << result.output;

    Bytes hostile;
    hostile.header().vRect(QRect());
    hostile.i32(0x7FFFFFFF);
    result = runProgram(kTool, {"validate", writeDocument(hostile)});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find(": byte 112: re-mapping table of 2147483647"), std::string::npos)
        << result.output;

    result = runProgram(kTool, {"dump", writeDocument("not a document")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("byte 0: not a workspace document"), std::string::npos)
        << result.output;
    EXPECT_EQ(runProgram(kTool, {"validate", "/no/such/file.XDW"}).exitCode, 1);
    EXPECT_EQ(runProgram(kTool, {"check", cut}).exitCode, 2);
    EXPECT_EQ(runProgram(kTool, {"--help"}).exitCode, 0);
}

} // namespace
