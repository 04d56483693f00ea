// Workspace documents of the Workspace window: the bytes it writes, what a load brings back and
// reports, the file commands with their questions, the re-mapping of missing ports, and damaged
// documents and failing disks that must not cost the user anything.
#include "ApplicationWindow.h"
#include "CVEXWrapper.h"
#include "ClientIUnknown.h"
#include "DocumentBytes.h"
#include "GuidConversion.h"
#include "HostingTestSupport.h"
#include "PreferenceKeys.h"
#include "SetupDlg.h"
#include "ShellTestSupport.h"
#include "TFileDialog.h"
#include "TVirtualMIDIPortAccessor.h"
#include "TestEnvironment.h"
#include "portMappingDlg.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDataStream>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QListWidget>
#include <QTableWidget>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

using documenttest::Bytes;
using dorvo2test::MessageRecorder;
using hostingtest::RecordingControl;
using hostingtest::recordingEntry;

namespace {

constexpr int kIn = TMIDIPortAccessor::kInput;
constexpr int kOut = TMIDIPortAccessor::kOutput;
const QUuid kRecording = uuidFromGuid(CLSID_RecordingComponent);
const QUuid kNotInstalled("{0badc0de-0000-4000-8000-000000000001}");
const QString kComponentsFailed = "Following component(s) could not be loaded.\nPlease ensure "
                                  "that you have installed required component(s) correctly.\n";

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Answers every file dialog with the next of a list of names (empty: cancelled) and keeps the
// requests.
class FileDialogScript {
public:
    FileDialogScript()
        : m_scope([this](const TFileDialog::Request& request) {
              requests.append(request);
              return TFileDialog::Answer{answers.isEmpty() ? QString() : answers.takeFirst(),
                                         request.selectedFilter};
          }) {}
    QStringList answers;
    QList<TFileDialog::Request> requests;

private:
    TScopedFileDialogResponder m_scope;
};

class DocumentWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hostingtest::registerRecordingComponent());
        control.apply();
        window->setupDialog()->settings().setValue(
            Preferences::kPreferencesPage + QStringLiteral("defaultDir"), folder);
        window->yNewSession();
        window->setupDialog()->reject();
        // A load would offer a Recall 50 ms later; these tests open documents one after another.
        dorvo2test::switchOffAutoSync(window->setupDialog());
        messages.requests.clear();
    }

    TVirtualMIDIPortAccessor& ports() { return *window->portAccessor(); }
    QUuid systemId(int direction, const QString& name) {
        for (const QUuid& id : ports().systemIds(direction))
            if (ports().systemPorts()->portName(id) == name)
                return id;
        return QUuid();
    }
    QString entry(const QUuid& id) { return ports().systemPorts()->portEntry(id); }

    CVEXWrapper* add(const QString& name, const char* state = "") {
        std::strncpy(control.behaviour.state, state, sizeof control.behaviour.state - 1);
        control.apply();
        return window->addComponent(recordingEntry(), name);
    }

    QByteArray saved() {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QDataStream stream(&buffer);
        EXPECT_EQ(window->saveToStream(stream, true, false), S_OK);
        return bytes;
    }
    HRESULT load(const QByteArray& bytes, bool quiet = false) {
        window->eraseCurrentDocument();
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QDataStream stream(&buffer);
        return window->loadFromStream(stream, quiet);
    }
    CVEXWrapper* named(const QString& name) {
        for (CVEXWrapper* component : window->components())
            if (component->instanceName() == name)
                return component;
        return nullptr;
    }
    QPoint iconAt(CVEXWrapper* component) {
        return window->iconView()->visualItemRect(component).topLeft();
    }

    RecordingControl control;
    MessageRecorder messages{QMessageBox::Yes};
    const QString folder = QString::fromStdString(dorvo2test::makeTempDir("documents"));
    std::unique_ptr<ApplicationWindow> window = std::make_unique<ApplicationWindow>();
};

TEST_F(DocumentWindowTest, WritesTheWorkspaceItemByItem) {
    window->setGeometry(QRect(40, 50, 600, 400));
    Bytes empty;
    empty.header().vRect(window->geometry()).noPorts().view(2).endOfComponents().vList(0).noThru();
    EXPECT_EQ(saved().toHex().toStdString(), empty.bytes().toHex().toStdString());

    // Machine ports with Thru from one loopback to the other; then two document ports of
    // another machine stand for the input, one re-mapped here, one assigned to no port.
    const QUuid loop1 = systemId(kIn, "Dorvo Loopback 1");
    const QUuid loop2 = systemId(kOut, "Dorvo Loopback 2");
    ASSERT_FALSE(loop1.isNull());
    ASSERT_FALSE(loop2.isNull());
    TVirtualMIDIPortAccessor::Selection selection;
    selection[kIn] = {int(ports().systemIds(kIn).indexOf(loop1))};
    selection[kOut] = {int(ports().systemIds(kOut).indexOf(loop2))};
    ports().applyPortSelection(selection, {true, selection[kIn][0] + 1, selection[kOut][0] + 1});
    const QUuid low("{00000000-0000-4000-8000-0000000000a1}");
    const QUuid high("{ffffffff-0000-4000-8000-0000000000a2}");
    ports().setWorkspacePorts(kIn, {high, low});
    ports().setRemapTable(kIn, {{high, {loop1}}, {low, {QUuid()}}});
    ports().applySelection(selection, TVirtualMIDIPortAccessor::WorkspaceList::Keep, true);

    CVEXWrapper* kept = add("Kept", "first state");
    ASSERT_NE(kept, nullptr);
    kept->setRecallMask(5);
    control.behaviour.classIdResult = E_FAIL;
    ASSERT_NE(add("Without class id", "never written"), nullptr);
    control.behaviour.classIdResult = S_OK;
    window->iconView()->setFlow(QListView::TopToBottom);
    window->setSorting(true);

    Bytes full;
    full.header().vRect(window->geometry());
    full.i32(2).uuid(low).i32(1).uuid(QUuid()).uuid(high).i32(1).uuid(loop1);
    full.i32(0);
    full.i32(2).uuid(high).string(entry(loop1)).uuid(low).string("0;<unknown port name>");
    full.i32(1).uuid(loop2).string(entry(loop2));
    full.view(2, 1, 1);
    full.component(kRecording, "Kept", 0, QRect(QPoint(0, 0), QPoint(-1, -1)), iconAt(kept), 5,
                   "first state");
    full.endOfComponents().vList(1).vInt(kept->recallEnabled() ? 1 : 0);
    // Thru's input is no Workspace port of its own id any more: its text is empty.
    full.vInt(1).uuid(loop1).string("").uuid(loop2).string(entry(loop2));
    EXPECT_EQ(saved().toHex().toStdString(), full.bytes().toHex().toStdString());
    EXPECT_TRUE(control.takeLog().contains("Save clearDirty=1"));
}

TEST_F(DocumentWindowTest, LoadsComponentsAndReportsThoseThatCannotBe) {
    control.behaviour.loadResult = E_FAIL;
    hostingtest::setText(control.behaviour.recallItems, "All;Tones");
    Bytes document;
    document.header().vRect(QRect(QPoint(30, 40), QPoint(529, 339))).noPorts().view(1);
    document.component(kNotInstalled, "Missing One", 0, QRect(), QPoint(0, 0), 0, "xyz");
    document.component(kRecording, "Here", 1, QRect(QPoint(70, 80), QPoint(369, 279)), QPoint(0, 0),
                       3, "hello");
    const qsizetype cutAt = document.size() + 20;
    document.component(kRecording, "Off", 0, QRect(), QPoint(-1, -1), 0, "");
    document.endOfComponents().vList(3).vInt(1).vInt(1).vInt(0);
    control.apply();
    ASSERT_EQ(load(document), S_OK);

    ASSERT_EQ(window->components().size(), 2);
    CVEXWrapper* here = named("Here");
    CVEXWrapper* off = named("Off");
    ASSERT_TRUE(here && off);
    EXPECT_EQ(window->geometry(), QRect(QPoint(30, 40), QPoint(529, 339)));
    EXPECT_EQ(here->recallMask(), 3u);
    EXPECT_TRUE(here->hasEditorWindow());
    EXPECT_EQ(here->editorGeometry(), QRect(QPoint(70, 80), QPoint(369, 279)));
    EXPECT_FALSE(off->hasEditorWindow());
    EXPECT_TRUE(here->recallEnabled());
    EXPECT_FALSE(off->recallEnabled());
    const QStringList log = control.takeLog();
    EXPECT_TRUE(log.contains("Load hello"));
    EXPECT_TRUE(log.contains("Load "));
    // A minor version 1 document leaves Thru as it was.
    EXPECT_FALSE(ports().thruSettings().on);
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_EQ(messages.texts().first(),
              kComponentsFailed +
                  "\nComponent \"Missing One\" - Status: <component not installed>" +
                  "\nComponent \"Here\" - Status: recorded status" +
                  "\nComponent \"Off\" - Status: recorded status");

    // A quiet load shows nothing and keeps the text for whoever asks.
    messages.requests.clear();
    window->pendingWarningText() = "from before";
    ASSERT_EQ(load(document, true), S_OK);
    EXPECT_TRUE(messages.texts().isEmpty());
    EXPECT_TRUE(
        window->pendingWarningText().startsWith(kComponentsFailed + "\nComponent \"Missing"));

    // Damaged documents load what came before the damage and say where it is.
    messages.requests.clear();
    const QByteArray cut = document.bytes().left(cutAt);
    EXPECT_EQ(load(cut), E_FAIL);
    EXPECT_EQ(window->components().size(), 1);
    ASSERT_EQ(messages.texts().size(), 2) << messages.texts().join("|").toStdString();
    EXPECT_TRUE(messages.texts()[1].startsWith("Document failed to open, due to the following "
                                               "reason:\nThe document is damaged at byte "))
        << messages.texts()[1].toStdString();

    // Hostile counts and lengths are refused with a message like any damage.
    const QList<QPair<const char*, Bytes>> hostile = [] {
        Bytes head;
        head.header().vRect(QRect(0, 0, 99, 99));
        Bytes ports = head;
        ports.i32(0x7FFFFFFF);
        Bytes name = head;
        name.noPorts().view(2).vString(kRecording.toString()).u32(documenttest::kString);
        name.u32(0x7FFFFFFF);
        Bytes state = head;
        state.noPorts().view(2).vString(kRecording.toString()).vString("S").vInt(0);
        state.vRect(QRect()).vPoint(QPoint()).vUInt(0).vUInt(0xFFFFFFFFu).raw("tiny");
        return QList<QPair<const char*, Bytes>>{
            {"port count", ports}, {"string length", name}, {"state size", state}};
    }();
    for (const auto& [what, bytes] : hostile) {
        messages.requests.clear();
        EXPECT_EQ(load(bytes), E_FAIL) << what;
        ASSERT_EQ(messages.texts().size(), 1) << what;
        EXPECT_TRUE(messages.texts()[0].contains("The document is damaged at byte")) << what;
        EXPECT_TRUE(window->components().isEmpty()) << what;
    }

    messages.requests.clear();
    Bytes newer;
    newer.header("3.00").vRect(QRect());
    EXPECT_EQ(load(newer), E_FAIL);
    EXPECT_EQ(messages.texts(),
              QStringList{"Document failed to open, due to the following reason:\nDocument is "
                          "not compatible with this version of software."});
    EXPECT_TRUE(window->components().isEmpty());
}

TEST_F(DocumentWindowTest, FileCommandsNameSaveAndOpenDocumentsAsTheUserChooses) {
    FileDialogScript dialogs;
    const QString untitled = window->documentName();
    EXPECT_TRUE(untitled.startsWith(folder + "/Untitled ")) << untitled.toStdString();
    ASSERT_NE(add("Synth", "state"), nullptr);

    // A new document proposes its untitled name with the extension in the default folder.
    dialogs.answers = {folder + "/mine"};
    window->doSave();
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].kind, TFileDialog::Kind::Save);
    EXPECT_EQ(dialogs.requests[0].caption, "Choose a XDW filename to save under");
    EXPECT_EQ(dialogs.requests[0].start, untitled + ".XDW");
    EXPECT_EQ(dialogs.requests[0].filter, "Quenor Dorvo Document( *.XDW)");
    const QString mine = folder + "/mine.XDW";
    EXPECT_EQ(window->documentName(), mine);
    EXPECT_EQ(window->windowTitle(), "mine.XDW - Quenor Dorvo");
    EXPECT_TRUE(window->isNamed());
    EXPECT_FALSE(window->isModified());
    const QByteArray mineBytes = readFile(mine);
    EXPECT_TRUE(mineBytes.contains("state"));

    // Declining to overwrite keeps the other file and the document's own name.
    writeFile(folder + "/other.XDW", "precious");
    {
        MessageRecorder declining(QMessageBox::No);
        dialogs.answers = {folder + "/other.XDW"};
        window->doSaveAs();
        ASSERT_EQ(declining.texts().size(), 2);
        EXPECT_EQ(declining.texts()[0],
                  "A file called " + folder +
                      "/other.XDW already exists. Do you want to overwrite it?");
        EXPECT_EQ(declining.texts()[1], "Document \"" + folder + "/other.XDW\" not saved.");
    }
    EXPECT_EQ(readFile(folder + "/other.XDW"), "precious");
    EXPECT_EQ(window->documentName(), mine);
    EXPECT_TRUE(window->isNamed());

    // A cancelled Save As keeps the name as well.
    dialogs.answers = {QString()};
    window->doSaveAs();
    EXPECT_EQ(window->documentName(), mine);
    EXPECT_TRUE(window->isNamed());

    // A component with unsaved changes makes the document modified.
    control.behaviour.dirty = TRUE;
    ASSERT_NE(add("Dirty"), nullptr);
    window->setModified(false);
    EXPECT_TRUE(window->isModified());
    window->setModified(false);
    control.behaviour.dirty = FALSE;
    control.apply();
    window->removeComponent(named("Dirty"), false);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    window->setModified(false);

    // Choosing notes.txt opens notes.XDW; a lower-case extension is the file's own.
    QFile::copy(mine, folder + "/notes.XDW");
    QFile::copy(mine, folder + "/song.xdw");
    dialogs.requests.clear();
    dialogs.answers = {folder + "/notes.txt"};
    window->doLoad();
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].caption, "Choose a XDW document to load");
    EXPECT_EQ(dialogs.requests[0].start, folder);
    EXPECT_EQ(window->documentName(), folder + "/notes.XDW");
    ASSERT_EQ(window->components().size(), 1);
    EXPECT_EQ(window->components()[0]->instanceName(), "Synth");
    dialogs.answers = {folder + "/song.xdw"};
    window->doLoad();
    EXPECT_EQ(window->documentName(), folder + "/song.xdw");
    EXPECT_TRUE(window->isNamed());

    // The same unmodified document handed over again is left as it is.
    CVEXWrapper* before = window->components()[0];
    window->createFromFile(folder + "/song.xdw");
    window->reCreateFromFile();
    EXPECT_EQ(window->components().value(0), before);

    // Beneath the setup dialog, which has no loop of its own, another document waits.
    window->createFromFile(mine);
    window->doSetup();
    ASSERT_TRUE(window->setupDialog()->isVisible());
    window->reCreateFromFile();
    EXPECT_EQ(window->documentName(), folder + "/song.xdw");
    window->setupDialog()->reject();
    window->reCreateFromFile();
    EXPECT_EQ(window->documentName(), mine);
    EXPECT_EQ(window->windowTitle(), "mine.XDW - Quenor Dorvo");

    // A document that is not read whole is not saved over without a name being asked for.
    writeFile(folder + "/cut.XDW", mineBytes.left(mineBytes.size() - 30));
    messages.requests.clear();
    dialogs.answers = {folder + "/cut.XDW"};
    window->doLoad();
    EXPECT_FALSE(window->isNamed());
    EXPECT_EQ(messages.texts().last(),
              "Document \"" + folder + "/cut.XDW\" failed to load completly?");
}

TEST_F(DocumentWindowTest, AStartUpDocumentOfAnotherFormatIsRefused) {
    ApplicationWindow starting;
    starting.createFromFile(folder + "/song.mid");
    starting.yNewSession();
    starting.setupDialog()->reject();
    ASSERT_FALSE(messages.texts().isEmpty());
    EXPECT_EQ(messages.texts().first(), "Could not open '" + folder + "/song.mid' Wrong Format.");
    EXPECT_TRUE(starting.windowTitle().startsWith("Untitled "))
        << starting.windowTitle().toStdString();
}

// A full disk fails the write; the file saved before stays as it was and nothing is left beside
// it.
TEST_F(DocumentWindowTest, AFailedWriteKeepsTheLastGoodFile) {
    FileDialogScript dialogs;
    ASSERT_NE(add("Synth", "a state that makes the document longer than the limit below"), nullptr);
    dialogs.answers = {folder + "/kept.XDW"};
    window->doSave();
    const QByteArray good = readFile(folder + "/kept.XDW");
    ASSERT_GT(good.size(), 200);

    ASSERT_NE(add("Second"), nullptr);
    window->setModified(true);
    messages.requests.clear();
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    window->doSave();
    setrlimit(RLIMIT_FSIZE, &previous);
    signal(SIGXFSZ, previousHandler);

    ASSERT_EQ(messages.texts().size(), 1) << messages.texts().join("|").toStdString();
    EXPECT_TRUE(
        messages.texts()[0].startsWith("Could not open '" + folder + "/kept.XDW' for writing: "))
        << messages.texts()[0].toStdString();
    EXPECT_EQ(readFile(folder + "/kept.XDW"), good);
    EXPECT_TRUE(window->isModified());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"kept.XDW"});

    // A folder the user may not write into: only meaningful where permissions hold.
    if (geteuid() != 0) {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        messages.requests.clear();
        window->doSave();
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_EQ(messages.texts().size(), 1);
        EXPECT_EQ(readFile(folder + "/kept.XDW"), good);
    }
}

// Runs `act` on the re-mapping dialog once it is up, then closes it as the user would.
void onRemapDialog(std::function<void(portMappingDlg&)> act, bool accept) {
    QTimer::singleShot(0, [act, accept] {
        auto* dialog = qobject_cast<portMappingDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
        if (accept)
            dialog->accept();
        else
            dialog->close();
    });
}

TEST_F(DocumentWindowTest, MissingPortsAreReMappedByTheUser) {
    const QUuid oldKeys("{0d0c0000-0000-4000-8000-000000000001}");
    const QUuid oldSynth("{0d0c0000-0000-4000-8000-000000000002}");
    const QUuid oldOut("{0d0c0000-0000-4000-8000-000000000003}");
    Bytes document;
    document.header().vRect(QRect(0, 0, 500, 300)).i32(0).i32(0);
    document.i32(2).uuid(oldKeys).string("1;Old Keys<[Inp]>").uuid(oldSynth).string("2;Old Synth");
    document.i32(1).uuid(oldOut).string("1;Old Out");
    document.view(2).endOfComponents().vList(0).noThru();

    const QUuid loop1 = systemId(kIn, "Dorvo Loopback 1");
    const int loop1Row = int(ports().systemIds(kIn).indexOf(loop1));
    bool cancelShown = true;
    QStringList names;
    onRemapDialog(
        [&](portMappingDlg& dialog) {
            cancelShown = dialog.cancelButton()->isVisible();
            for (int row = 0; row < 2; ++row)
                names.append(dialog.table(kIn)->item(row, 0)->text());
            // One machine port for both: the first choice gives way to the second.
            dialog.systemCombo(kIn, 0)->setCurrentIndex(loop1Row + 1);
            dialog.systemCombo(kIn, 1)->setCurrentIndex(loop1Row + 1);
            EXPECT_EQ(dialog.systemCombo(kIn, 0)->currentText(), "Not Assigned");
            EXPECT_EQ(dialog.choices(kIn), (QList<int>{-1, loop1Row}));
        },
        false);
    ASSERT_EQ(load(document), S_OK);
    EXPECT_FALSE(cancelShown);
    EXPECT_EQ(names, (QStringList{"Old Keys", "Old Synth"}));
    EXPECT_EQ(messages.texts().value(0), "Following MIDI port(s) could not be found.\nInput:\nOld "
                                         "Keys\nOld Synth\nOutput:\nOld Out");
    // Closing the after-load form applied the choices.
    EXPECT_EQ(ports().workspacePorts(kIn), QList<QUuid>{oldSynth});
    EXPECT_EQ(ports().remapTable(kIn).value(oldSynth), QList<QUuid>{loop1});
    EXPECT_TRUE(ports().workspacePorts(kOut).isEmpty());
    EXPECT_TRUE(ports().remapTable(kOut).isEmpty());
    EXPECT_EQ(ports().workspaceEntryText(kIn, oldSynth), entry(loop1));
    EXPECT_TRUE(window->hostObject()->isPortOpen(false, ports().systemPorts()->portNumber(loop1)));

    // Mapping the port back onto a machine port of its own id drops the entry; a null first
    // entry keeps a port unassigned although its own id is present.
    const QUuid loop2 = systemId(kIn, "Dorvo Loopback 2");
    ports().setWorkspacePorts(kIn, {loop2, oldSynth});
    ports().setRemapTable(kIn, {{loop2, {QUuid()}}, {oldSynth, {loop1}}});
    int shownForLoop2 = 0;
    onRemapDialog(
        [&](portMappingDlg& dialog) {
            EXPECT_TRUE(dialog.cancelButton()->isVisible());
            for (int row = 0; row < 2; ++row) {
                if (dialog.table(kIn)->item(row, 0)->text() == "Dorvo Loopback 1")
                    continue;
                shownForLoop2 = dialog.systemCombo(kIn, row)->currentIndex();
            }
        },
        true);
    window->runRemapDialog(TPortRemapping::Form::Normal);
    EXPECT_EQ(shownForLoop2, 0);

    ports().setRemapTable(kIn, {{loop2, {loop1}}});
    ports().setWorkspacePorts(kIn, {loop2});
    const int loop2Row = int(ports().systemIds(kIn).indexOf(loop2));
    window->setModified(false);
    onRemapDialog(
        [&](portMappingDlg& dialog) { dialog.systemCombo(kIn, 0)->setCurrentIndex(loop2Row + 1); },
        true);
    EXPECT_TRUE(window->runRemapDialog(TPortRemapping::Form::Normal));
    EXPECT_FALSE(ports().remapTable(kIn).contains(loop2));
    EXPECT_TRUE(window->isModified());

    // Cancelled, the normal form changes nothing.
    onRemapDialog([&](portMappingDlg& dialog) { dialog.systemCombo(kIn, 0)->setCurrentIndex(0); },
                  false);
    EXPECT_FALSE(window->runRemapDialog(TPortRemapping::Form::Normal));
    EXPECT_EQ(ports().workspacePorts(kIn), QList<QUuid>{loop2});

    // A quiet load re-maps without asking: ports that are nowhere leave the Workspace.
    messages.requests.clear();
    ASSERT_EQ(load(document, true), S_OK);
    EXPECT_TRUE(messages.texts().isEmpty());
    EXPECT_TRUE(
        window->pendingWarningText().startsWith("Following MIDI port(s) could not be found."));
    EXPECT_TRUE(ports().workspacePorts(kIn).isEmpty());
}

TEST_F(DocumentWindowTest, ThruSettingsFollowTheirPortsById) {
    const QUuid in2 = systemId(kIn, "Dorvo Loopback 2");
    const QUuid out1 = systemId(kOut, "Dorvo Loopback 1");
    Bytes document;
    document.header().vRect(QRect(0, 0, 500, 300)).i32(0).i32(0);
    document.i32(1).uuid(in2).string("7;Dorvo Loopback 2");
    document.i32(1).uuid(out1).string("9;Dorvo Loopback 1");
    document.view(2).endOfComponents().vList(0);
    document.vInt(1).uuid(in2).string("ignored").uuid(out1).string("");
    ASSERT_EQ(load(document), S_OK);
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join("|").toStdString();
    const TVirtualMIDIPortAccessor::ThruSettings thru = ports().thruSettings();
    EXPECT_TRUE(thru.on);
    EXPECT_EQ(thru.inputPort, ports().systemIds(kIn).indexOf(in2) + 1);
    EXPECT_EQ(thru.outputPort, ports().systemIds(kOut).indexOf(out1) + 1);
    EXPECT_FALSE(window->thruToolBar()->isHidden());

    // A Thru port that is not present here is no port; Thru stays on as read.
    Bytes elsewhere;
    elsewhere.header().vRect(QRect(0, 0, 500, 300)).noPorts().view(2).endOfComponents().vList(0);
    elsewhere.vInt(1).uuid(kNotInstalled).string("").uuid(out1).string("");
    ASSERT_EQ(load(elsewhere), S_OK);
    EXPECT_TRUE(ports().thruSettings().on);
    EXPECT_EQ(ports().thruSettings().inputPort, 0);
}

} // namespace
