// The example components in a real Workspace: installed with the registration command, found in
// the catalogue, added through the window, and Demo Synth's page shown in its editor window.
#include "ApplicationWindow.h"
#include "CSyncMainDlg.h"
#include "CVEXWrapper.h"
#include "CWrapContainer.h"
#include "ComTestSupport.h"
#include "ConfirmSynchronization.h"
#include "Images.h"
#include "SetupDlg.h"
#include "ShellTestSupport.h"
#include "TDocumentReader.h"
#include "TFileDialog.h"
#include "TVirtualMIDIPortAccessor.h"
#include "TestEnvironment.h"
#include "cancelTotalRecall.h"

#include <dorvo/virtualmidi.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
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
    dorvo2test::switchOffAutoSync(window.setupDialog());
    window.setGeometry(QRect(60, 70, 700, 500));

    TVirtualMIDIPortAccessor& ports = *window.portAccessor();
    TVirtualMIDIPortAccessor::Selection selection;
    selection[0] = {0, 1};
    selection[1] = {1};
    ports.applyPortSelection(selection, {true, 2, 2});
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
    ports.applyPortSelection({}, {});
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

template <typename Widget> Widget* control(CVEXWrapper* synth, const char* name) {
    return synth->editorWindow() ? synth->editorWindow()->findChild<Widget*>(name) : nullptr;
}

bool chooseInCombo(QComboBox* combo, const QString& text) {
    // The port list reaches the page with the event loop.
    if (!combo || !dorvo2test::eventLoopUntil([&] { return combo->findText(text) >= 0; }, 3000))
        return false;
    combo->setCurrentIndex(combo->findText(text));
    return true;
}

// Runs a Recall in the direction given; a run that fails anywhere is ended and reported.
bool recall(ApplicationWindow& window, bool toHardware) {
    bool failed = false;
    dorvo2test::ModalScript script(
        {dorvo2test::on<ConfirmSynchronization>([&](ConfirmSynchronization& dialog) {
             (toHardware ? dialog.toHardwareButton() : dialog.fromHardwareButton())
                 ->setChecked(true);
             dialog.accept();
             return true;
         }),
         dorvo2test::on<CSyncMainDlg>([&](CSyncMainDlg& dialog) {
             cancelTotalRecall* buttons = dialog.buttons();
             if (buttons->buttonContinue()->isHidden() && buttons->buttonCancel()->text() != "OK")
                 return false;
             failed = true;
             buttons->buttonCancel()->click();
             return true;
         })});
    window.totalRecall();
    return !failed;
}

// Three Demo Synths in recall groups 5, 2 and 0 against the one simulated synthesizer: from the
// hardware they all show its memory; to the hardware they send in group order, so that the
// synthesizer ends with what the editor of group 0 holds, which a Recall from it then shows
// in every editor.
TEST(ExampleComponentsTest, ARecallRunsDemoSynthsGroupByGroupAgainstTheSimulatedSynthesizer) {
    namespace vm = dorvo::virtualmidi;
    registerExamples();
    vm::reset();
    dorvo2test::MessageRecorder overrides(QMessageBox::Yes);
    ApplicationWindow window;
    window.yNewSession();
    window.setupDialog()->reject();
    TVirtualMIDIPortAccessor& ports = *window.portAccessor();
    const QString device = QString::fromLatin1(vm::kDemoSynthName);
    TVirtualMIDIPortAccessor::Selection selection;
    selection[0] = {dorvo2test::machineIndex(ports, 0, vm::kDemoSynthName)};
    selection[1] = {dorvo2test::machineIndex(ports, 1, vm::kDemoSynthName)};
    ports.applyPortSelection(selection, {});

    const TCatalogueEntry* entry = nullptr;
    for (const TCatalogueEntry& installed : *window.catalogue())
        if (installed.name == "Demo Synth")
            entry = &installed;
    ASSERT_NE(entry, nullptr);
    QList<CVEXWrapper*> synths;
    for (int group : {5, 2, 0}) {
        CVEXWrapper* synth = window.addComponent(*entry, QStringLiteral("Synth %1").arg(group));
        ASSERT_NE(synth, nullptr);
        synth->showEditor();
        control<QSpinBox>(synth, "recallGroup")->setValue(group);
        ASSERT_TRUE(chooseInCombo(control<QComboBox>(synth, "inputPort"), device));
        ASSERT_TRUE(chooseInCombo(control<QComboBox>(synth, "outputPort"), device));
        synths.append(synth);
    }
    // The editors start with values of their own; the synthesizer holds its preset (cutoff 72).
    for (CVEXWrapper* synth : synths)
        ASSERT_NE(control<QSlider>(synth, "cutoff")->value(), 72);

    ASSERT_TRUE(recall(window, false));
    for (CVEXWrapper* synth : synths)
        EXPECT_EQ(control<QSlider>(synth, "cutoff")->value(), 72)
            << synth->instanceName().toStdString();

    // Edited off-line, each differently; the Recall overrides off-line after asking.
    const int cutoffs[] = {50, 20, 5};
    for (int i = 0; i < 3; ++i) {
        control<QCheckBox>(synths[i], "offline")->setChecked(true);
        control<QSlider>(synths[i], "cutoff")->setValue(cutoffs[i]);
    }
    vm::clearSent(vm::kDemoSynthName);
    overrides.requests.clear();
    ASSERT_TRUE(recall(window, true));
    EXPECT_EQ(overrides.requests.size(), 3u);
    QList<int> sentCutoffs;
    for (const vm::SentMessage& message : vm::sentMessages(vm::kDemoSynthName)) {
        // F0 7D 31 dd 11 01 08 v1 v2 ...: a dump of the filter block, v2 its cutoff.
        const auto& bytes = message.bytes;
        if (bytes.size() > 8 && bytes[0] == 0xF0 && bytes[4] == 0x11 && bytes[5] == 0x01)
            sentCutoffs.append(bytes[8]);
    }
    EXPECT_EQ(sentCutoffs, (QList<int>{50, 20, 5}));

    ASSERT_TRUE(recall(window, false));
    for (CVEXWrapper* synth : synths)
        EXPECT_EQ(control<QSlider>(synth, "cutoff")->value(), 5)
            << synth->instanceName().toStdString();
    window.eraseCurrentDocument();
}

} // namespace
