// The example components in a real Workspace: installed with the registration command, found in
// the catalogue, added through the window, and Demo Synth's page shown in its editor window.
#include "ApplicationWindow.h"
#include "CVEXWrapper.h"
#include "CWrapContainer.h"
#include "ComTestSupport.h"
#include "Images.h"
#include "SetupDlg.h"
#include "TDocumentReader.h"
#include "TFileDialog.h"
#include "TVirtualMIDIPortAccessor.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QListWidget>
#include <QSlider>
#include <gtest/gtest.h>

namespace {

CVEXWrapper* componentNamed(ApplicationWindow& window, const QString& name) {
    for (CVEXWrapper* component : window.components())
        if (component->instanceName() == name)
            return component;
    return nullptr;
}

void registerExamples() {
    for (const char* library : {DEMO_SYNTH, MIDI_MONITOR, SYSEX_LIBRARIAN}) {
        const comtest::ProgramResult result = comtest::runProgram(DORVO2_REGSVR, {library});
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ExampleComponentsTest, JoinAWorkspaceAndDemoSynthShowsItsPageInItsEditorWindow) {
    registerExamples();
    ApplicationWindow window;
    window.yNewSession();
    const QList<TCatalogueEntry>* installed = window.catalogue();
    ASSERT_NE(installed, nullptr);
    QStringList names;
    for (const TCatalogueEntry& entry : *installed) {
        names.append(entry.name);
        ASSERT_NE(window.addComponent(entry, entry.name), nullptr) << entry.name.toStdString();
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{"Demo Synth", "MIDI Monitor", "SysEx Librarian"}));
    EXPECT_EQ(window.iconView()->count(), 3);

    CVEXWrapper* synth = componentNamed(window, "Demo Synth");
    ASSERT_NE(synth, nullptr);
    EXPECT_TRUE(synth->hasSyncInterface());
    EXPECT_TRUE(synth->recallEnabled());
    // Its own Recall icon, not the generic one.
    const QImage generic = dorvo::lookupImage("Generic_02.png").toImage();
    EXPECT_NE(synth->icon().pixmap(generic.size()).toImage().convertToFormat(generic.format()),
              generic);

    synth->showEditor();
    QPointer<CWrapContainer> editor = synth->editorWindow();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->windowTitle(), "Demo Synth");
    QPointer<QWidget> page = editor->findChild<QWidget*>("demoSynthPage");
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->isVisible());
    EXPECT_EQ(page->geometry(), editor->rect());
    editor->resize(editor->width() + 40, editor->height() + 30);
    QCoreApplication::processEvents();
    EXPECT_EQ(page->geometry(), editor->rect());

    // Demo Synth keeps its editor: closing hides it, and the same page comes back.
    EXPECT_FALSE(editor->close());
    EXPECT_FALSE(editor->isVisible());
    EXPECT_FALSE(synth->hasEditorWindow());
    synth->showEditor();
    EXPECT_EQ(synth->editorWindow(), editor.data());
    EXPECT_TRUE(page && page->isVisible());

    CVEXWrapper* monitor = componentNamed(window, "MIDI Monitor");
    ASSERT_NE(monitor, nullptr);
    EXPECT_FALSE(monitor->hasSyncInterface());
    monitor->showEditor();
    QPointer<CWrapContainer> monitorEditor = monitor->editorWindow();
    ASSERT_TRUE(monitorEditor);
    EXPECT_TRUE(monitorEditor->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(monitorEditor.isNull());

    window.eraseCurrentDocument();
    EXPECT_TRUE(editor.isNull());
    EXPECT_EQ(window.iconView()->count(), 0);
}

// Saved, erased and opened again, a Workspace of the examples comes back as it was: the same
// components with their names, icons, Recall settings, editors and states, the same ports and
// Thru, and saving it again writes the same bytes.
TEST(ExampleComponentsTest, AWorkspaceRoundTripsThroughItsDocument) {
    registerExamples();
    const QString folder = QString::fromStdString(dorvo2test::makeTempDir("roundtrip"));
    QStringList fileAnswers;
    TScopedFileDialogResponder dialogs([&](const TFileDialog::Request& request) {
        return TFileDialog::Answer{fileAnswers.takeFirst(), request.selectedFilter};
    });
    ApplicationWindow window;
    window.yNewSession();
    window.setupDialog()->reject();
    window.setGeometry(QRect(60, 70, 700, 500));

    TVirtualMIDIPortAccessor& ports = *window.portAccessor();
    TVirtualMIDIPortAccessor::Selection selection;
    selection[0] = {0, 1};
    selection[1] = {1};
    ports.applyPortSelection(selection, {true, 2, 2}, &window);
    const QList<TCatalogueEntry>* installed = window.catalogue();
    ASSERT_NE(installed, nullptr);
    for (const TCatalogueEntry& entry : *installed)
        ASSERT_NE(window.addComponent(entry, entry.name + " 1"), nullptr);
    ASSERT_EQ(window.components().size(), 3);

    CVEXWrapper* synth = componentNamed(window, "Demo Synth 1");
    ASSERT_NE(synth, nullptr);
    synth->setRecallMask(4);
    synth->showEditorAt(QRect(QPoint(120, 130), QPoint(619, 529)));
    QSlider* slider = synth->editorWindow()->findChild<QSlider*>();
    ASSERT_NE(slider, nullptr);
    slider->setValue(slider->maximum() - 3);
    CVEXWrapper* monitor = componentNamed(window, "MIDI Monitor 1");
    ASSERT_NE(monitor, nullptr);
    monitor->setRecallEnabled(false);
    window.iconView()->setFlow(QListView::TopToBottom);
    window.rearrangeIcons();

    const QString first = folder + "/studio.XDW";
    fileAnswers = {first};
    window.doSave();
    const QByteArray saved = fileBytes(first);
    const TDocumentReader::Result read = TDocumentReader::read(saved);
    ASSERT_EQ(read.outcome, TDocumentReader::Outcome::Complete);
    ASSERT_EQ(read.document.components.size(), 3);
    for (const xdw::Component& entry : read.document.components)
        EXPECT_FALSE(entry.state.isEmpty()) << entry.name.toStdString();
    const QList<QUuid> inputs = ports.workspacePorts(0);
    const QList<QUuid> outputs = ports.workspacePorts(1);
    ASSERT_EQ(inputs.size(), 2);

    window.eraseCurrentDocument();
    ports.applyPortSelection({}, {}, &window);
    EXPECT_TRUE(window.components().isEmpty());
    EXPECT_FALSE(ports.thruSettings().on);

    fileAnswers = {first};
    window.doLoad();
    EXPECT_EQ(window.documentName(), first);
    EXPECT_EQ(window.geometry(), QRect(60, 70, 700, 500));
    QStringList names;
    for (const CVEXWrapper* component : window.components())
        names.append(component->instanceName());
    EXPECT_EQ(names, (QStringList{"Demo Synth 1", "MIDI Monitor 1", "SysEx Librarian 1"}));
    synth = componentNamed(window, "Demo Synth 1");
    ASSERT_NE(synth, nullptr);
    EXPECT_EQ(synth->recallMask(), 4u);
    ASSERT_TRUE(synth->hasEditorWindow());
    EXPECT_EQ(synth->editorGeometry(), QRect(QPoint(120, 130), QPoint(619, 529)));
    EXPECT_EQ(synth->editorWindow()->findChild<QSlider*>()->value(), slider->maximum() - 3);
    EXPECT_FALSE(componentNamed(window, "MIDI Monitor 1")->recallEnabled());
    EXPECT_FALSE(componentNamed(window, "MIDI Monitor 1")->hasEditorWindow());
    EXPECT_EQ(window.iconView()->flow(), QListView::TopToBottom);
    EXPECT_EQ(ports.workspacePorts(0), inputs);
    EXPECT_EQ(ports.workspacePorts(1), outputs);
    EXPECT_EQ(ports.currentSelection(0), (QList<int>{0, 1}));
    EXPECT_TRUE(ports.thruSettings().on);
    EXPECT_EQ(ports.thruSettings().inputPort, 2);
    EXPECT_EQ(ports.thruSettings().outputPort, 2);

    const QString second = folder + "/again.XDW";
    fileAnswers = {second};
    window.doSaveAs();
    EXPECT_EQ(fileBytes(second).toHex().toStdString(), saved.toHex().toStdString());
    window.eraseCurrentDocument();
}

} // namespace
