// The component build driven by a separate program that plays the sequencer: dorvo2-outerhost
// creates the registered component through the registry, gives it a workspace document with
// the three example components, plays MIDI into it from its own thread, keeps it in a project
// file and gets the same document back in a second run. Every run ends with disconnect and
// release, and the leak checker of each run must find nothing.
#include "ProgramRun.h"
#include "TDocumentReader.h"
#include "TestEnvironment.h"

#include <QFile>
#include <gtest/gtest.h>

using dorvo2test::runProgram;

namespace {

const std::string kOuterHost = DORVO2_OUTERHOST;
const std::string kRegister = DORVO2_REGSVR;

QByteArray contents(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const std::string& path, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class OuterHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* library : {DORVO2_COMPONENT_LIBRARY, DORVO2_EXAMPLE_LIBRARIES}) {
            const auto registered = runProgram(kRegister, {library});
            ASSERT_EQ(registered.exitCode, 0) << registered.output;
        }
    }

    std::string folder = dorvo2test::makeTempDir("outerhost");
};

TEST_F(OuterHostTest, KeepsTheWorkspaceInItsProjectAcrossRuns) {
    const std::string notes = folder + "/notes.mid";
    // Note on, note off, and an identity request, as a keyboard would send them.
    write(notes, QByteArray::fromHex("903C64803C00F07E7F0601F7"));
    const std::string project = folder + "/session.proj";
    const std::string first = folder + "/first.XDW";
    const auto run = runProgram(kOuterHost, {"import", std::string(DOCUMENTS_DIR) + "/examples.XDW",
                                             "play", notes, "1", "wait", "200", "save", project,
                                             "export", first, "quit"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char* line : {"connected flags=0x40 sinks=1", "played 3 events", "disconnected",
                             "released (0 references left)"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;

    const QByteArray saved = contents(first);
    const TDocumentReader::Result read = TDocumentReader::read(saved);
    ASSERT_EQ(read.outcome, TDocumentReader::Outcome::Complete) << read.defectLine().toStdString();
    QStringList names;
    for (const xdw::Component& component : read.document.components)
        names << component.name;
    EXPECT_EQ(names, (QStringList{"Demo Synth 1", "MIDI Monitor 1", "SysEx Librarian 1"}));
    EXPECT_TRUE(read.document.header.toString().endsWith(";Dorvo"));
    const QByteArray stored = contents(project);
    EXPECT_TRUE(stored.startsWith("DORVO2OUTERHOST1"));
    EXPECT_TRUE(stored.endsWith(saved)) << "the project holds what the component saved";

    // A second process gives the project back to a new component and gets the same bytes.
    const std::string second = folder + "/second.XDW";
    const auto again = runProgram(kOuterHost, {"load", project, "export", second, "quit"});
    ASSERT_EQ(again.exitCode, 0) << again.output;
    EXPECT_EQ(contents(second), saved);
}

TEST_F(OuterHostTest, RefusesWhatItCannotUseAndKeepsTheFile) {
    const std::string project = folder + "/cut.proj";
    write(project, QByteArray("DORVO2OUTERHOST1") +
                       QByteArray("\x40\x00\x00\x00\x00\x00\x00\x00", 8) + QByteArray("short"));
    const QByteArray before = contents(project);
    const auto cut = runProgram(kOuterHost, {"load", project, "save", project, "quit"});
    EXPECT_EQ(cut.exitCode, 3) << cut.output;
    EXPECT_NE(cut.output.find("cut short"), std::string::npos) << cut.output;
    EXPECT_EQ(contents(project), before) << "the failed load ended the script before the save";
    EXPECT_NE(cut.output.find("released (0 references left)"), std::string::npos) << cut.output;

    const auto unknown = runProgram(kOuterHost, {"jump", "quit"});
    EXPECT_EQ(unknown.exitCode, 1) << unknown.output;

    const auto unregistered =
        runProgram("/usr/bin/env",
                   {"DORVO2_REGISTRY_DIR=" + dorvo2test::makeTempDir("empty"), kOuterHost, "quit"});
    EXPECT_EQ(unregistered.exitCode, 2) << unregistered.output;
    EXPECT_NE(unregistered.output.find("dorvo2-regsvr libdorvo2comp.so"), std::string::npos)
        << unregistered.output;
}

} // namespace
