// The Workspace's contents: taking over the setup dialog's list with its questions and
// warnings, the icons' order, and the components' event filters on the host object.
#include "ApplicationWindow.h"
#include "CListBoxVEXElement.h"
#include "CVEXWrapper.h"
#include "ClientIUnknown.h"
#include "ComTestSupport.h"
#include "HostingTestSupport.h"
#include "SetupDlg.h"
#include "ShellTestSupport.h"
#include "TWinMIDIPortAccessor.h"
#include "TWorkspaceMenus.h"
#include "TestEnvironment.h"
#include "noCancelProgresss.h"

#include <dorvo/virtualmidi.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using dorvo2test::MessageRecorder;
using hostingtest::RecordingControl;
using hostingtest::recordingEntry;

namespace {

const QString kRemovalQuestion = "Are you sure you want to remove following component(s)?\n\n"
                                 "Pressing Yes will permanently remove it from your Workspace.\n";
const QString kLoadFailure = "Following component(s) could not be loaded.\nPlease ensure that "
                             "you have installed required component(s) correctly.\n";

QStringList namesOf(const QList<CVEXWrapper*>& components) {
    QStringList names;
    for (const CVEXWrapper* component : components)
        names.append(component->instanceName());
    return names;
}

QStringList viewOrder(QListWidget* view) {
    QStringList names;
    for (int i = 0; i < view->count(); ++i)
        names.append(view->item(i)->text());
    return names;
}

class WorkspaceContentsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hostingtest::registerRecordingComponent());
        control.apply();
    }

    QListWidget* list() { return window->setupDialog()->workspaceList(); }
    void setList(const QList<QPair<QString, TCatalogueEntry>>& entries) {
        list()->clear();
        for (const auto& [name, entry] : entries)
            new CListBoxVEXElement(entry, name, list());
    }
    void setList(const QStringList& names) {
        QList<QPair<QString, TCatalogueEntry>> entries;
        for (const QString& name : names)
            entries.append({name, recordingEntry()});
        setList(entries);
    }
    void addAll(const QStringList& names) {
        for (const QString& name : names)
            ASSERT_NE(window->addComponent(recordingEntry(), name), nullptr);
    }

    RecordingControl control;
    std::unique_ptr<ApplicationWindow> window = std::make_unique<ApplicationWindow>();
};

TEST_F(WorkspaceContentsTest, AListWhoseNamesAllExistAddsAndAsksNothing) {
    addAll({"Synth", "Mixer"});
    window->setModified(false);
    control.takeLog();
    setList(QStringList{"Mixer", "Synth"});
    list()->addItem("a plain text item is no component");
    MessageRecorder messages;
    window->newDoc();
    EXPECT_EQ(namesOf(window->components()), (QStringList{"Synth", "Mixer"}));
    EXPECT_TRUE(messages.requests.isEmpty());
    EXPECT_FALSE(window->isModified());
    EXPECT_FALSE(control.takeLog().contains("CreateInstance IMPInitialise"));
}

TEST_F(WorkspaceContentsTest, NewEntriesLoadWithAProgressDialog) {
    addAll({"Synth"});
    window->setModified(false);
    setList(QStringList{"Synth", "Bass", "Lead"});
    struct Seen {
        QString title, label;
        int value = -1, maximum = -1;
        bool modal = false;
        QWidget* parent = nullptr;
    };
    QList<Seen> seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* dialog = window->findChild<noCancelProgresss*>())
            seen.append({dialog->windowTitle(), dialog->msgLabel()->text(),
                         dialog->loadingProgress()->value(), dialog->loadingProgress()->maximum(),
                         dialog->isModal(), dialog->parentWidget()});
    });
    watch.start(0);
    MessageRecorder messages;
    window->newDoc();
    watch.stop();
    EXPECT_EQ(namesOf(window->components()), (QStringList{"Synth", "Bass", "Lead"}));
    EXPECT_TRUE(window->isModified());
    EXPECT_TRUE(messages.requests.isEmpty());
    ASSERT_EQ(seen.size(), 2); // one turn of the event loop per loaded component
    EXPECT_EQ(seen[0].title, "loading...");
    EXPECT_EQ(seen[0].label, "Now loading component ( 2 / 3 )\n    Bass");
    EXPECT_EQ(seen[0].value, 3);
    EXPECT_EQ(seen[0].maximum, 6);
    EXPECT_TRUE(seen[0].modal);
    EXPECT_EQ(seen[0].parent, window.get()); // the setup dialog is hidden
    EXPECT_EQ(seen[1].label, "Now loading component ( 3 / 3 )\n    Lead");
    EXPECT_EQ(seen[1].value, 5);
    EXPECT_EQ(window->findChild<noCancelProgresss*>(), nullptr);
}

TEST_F(WorkspaceContentsTest, TwelveMissingComponentsAreNamedTenAndCounted) {
    QStringList twelve;
    for (int i = 1; i <= 12; ++i)
        twelve.append(QString("C%1").arg(i, 2, 10, QChar('0')));
    addAll(twelve + QStringList{"Keep"});
    // An entry that differs only in case keeps its component and still loads as a new one.
    setList(QStringList{"keep"});
    {
        MessageRecorder declines(QMessageBox::No);
        window->newDoc();
        ASSERT_EQ(declines.requests.size(), 1);
        const TUserMessage::Request& question = declines.requests[0];
        EXPECT_EQ(question.kind, TUserMessage::Kind::Question);
        EXPECT_EQ(question.caption, "Quenor Dorvo");
        EXPECT_EQ(question.parent, window->setupDialog());
        EXPECT_EQ(question.defaultButton, QMessageBox::Yes);
        EXPECT_EQ(question.escapeButton, QMessageBox::No);
        EXPECT_EQ(question.text, kRemovalQuestion +
                                     "\nC01\nC02\nC03\nC04\nC05\nC06\nC07\nC08\nC09\nC10" +
                                     "\n ... 2 more, a total of 12 components.");
    }
    EXPECT_EQ(window->components().size(), 14);
    EXPECT_TRUE(window->nameInUse("keep"));

    MessageRecorder agrees(QMessageBox::Yes);
    window->newDoc();
    ASSERT_EQ(agrees.requests.size(), 1);
    EXPECT_EQ(namesOf(window->components()), (QStringList{"Keep", "keep"}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->iconView()->count(), 2);
    EXPECT_EQ(control.takeLog().count("MPDisconnect"), 12);

    // Three components to remove are all named, without the count.
    addAll({"X", "Y", "Z"});
    MessageRecorder again(QMessageBox::No);
    window->newDoc();
    ASSERT_EQ(again.requests.size(), 1);
    EXPECT_EQ(again.requests[0].text, kRemovalQuestion + "\nX\nY\nZ");
}

TEST_F(WorkspaceContentsTest, ComponentsThatCannotBeLoadedAreNamedInOneWarning) {
    TCatalogueEntry ghost = recordingEntry();
    ghost.classId.Data1 = 0x0BADC0DE; // not registered at all
    TCatalogueEntry missing = recordingEntry();
    missing.classId.Data1 = 0x0BADC0DF;
    comtest::registerInprocServer(missing.classId, "/nonexistent/libmissing.so");
    TCatalogueEntry garbage = recordingEntry();
    garbage.classId.Data1 = 0x0BADC0E0;
    const QString notALibrary =
        QString::fromStdString(dorvo2test::makeTempDir("garbage")) + "/lib.so";
    QFile file(notALibrary);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is text, not a shared library\n");
    file.close();
    comtest::registerInprocServer(garbage.classId, notALibrary);

    setList({{"Synth", recordingEntry()},
             {"Ghost", ghost},
             {"Missing", missing},
             {"Garbage", garbage}});
    comtest::WarningCapture warnings;
    MessageRecorder messages;
    window->newDoc();
    EXPECT_EQ(namesOf(window->components()), QStringList{"Synth"});
    ASSERT_EQ(messages.requests.size(), 1);
    EXPECT_EQ(messages.requests[0].kind, TUserMessage::Kind::Warning);
    EXPECT_EQ(messages.requests[0].caption, "Quenor Dorvo");
    EXPECT_EQ(messages.requests[0].parent, window.get());
    EXPECT_EQ(messages.requests[0].text, kLoadFailure + "\nGhost\nMissing\nGarbage");
    // The loader's own reasons reach the log.
    EXPECT_TRUE(warnings.text().contains("libmissing.so")) << warnings.text().toStdString();
    EXPECT_TRUE(warnings.text().contains(notALibrary)) << warnings.text().toStdString();
    EXPECT_EQ(window->iconView()->count(), 1);
}

TEST_F(WorkspaceContentsTest, IconsFollowTheListOrderOrTheNamesWhenSorting) {
    window->setupDialog()->show(); // an open dialog gets its list back from the Workspace
    setList(QStringList{"Zeta", "Alpha", "Mid"});
    MessageRecorder messages;
    window->newDoc();
    EXPECT_EQ(messages.requests.size(), 0);
    window->rearrangeIcons();
    EXPECT_EQ(viewOrder(window->iconView()), (QStringList{"Zeta", "Alpha", "Mid"}));
    EXPECT_EQ(window->components()[2]->key(), "         2");
    ASSERT_EQ(list()->count(), 3);
    for (int i = 0; i < 3; ++i) {
        const CListBoxVEXElement* element = CListBoxVEXElement::from(list()->item(i));
        ASSERT_NE(element, nullptr);
        EXPECT_EQ(element->text(), window->components()[i]->instanceName());
        EXPECT_TRUE(IsEqualGUID(element->entry().classId, CLSID_RecordingComponent));
    }

    std::unique_ptr<QMenu> space(TWorkspaceMenus(*window).createSpaceMenu(window.get()));
    for (QAction* action : space->actions())
        if (action->text() == "Arrange by Name")
            TWorkspaceMenus(*window).actOnSpaceMenu(action);
    window->rearrangeIcons();
    EXPECT_EQ(viewOrder(window->iconView()), (QStringList{"Alpha", "Mid", "Zeta"}));
    EXPECT_EQ(namesOf(window->components()), (QStringList{"Zeta", "Alpha", "Mid"}));
    window->refreshSetupList();
    EXPECT_EQ(viewOrder(list()), (QStringList{"Alpha", "Mid", "Zeta"}));

    // Beyond ten components the keys still sort as numbers.
    for (int i = 0; i < 9; ++i)
        window->addComponent(recordingEntry(), QString("N%1").arg(i));
    TWorkspaceMenus(*window).actOnSpaceMenu(space->actions()[1]);
    window->rearrangeIcons();
    EXPECT_EQ(viewOrder(window->iconView()), namesOf(window->components()));
    window->setupDialog()->hide();
}

TEST_F(WorkspaceContentsTest, ComponentsReceiveInputUntilTheyAreRemoved) {
    namespace vm = dorvo::virtualmidi;
    setenv("DORVO2_MIDI", "virtual", 1);
    vm::reset();
    TWinMIDIPortAccessor ports;
    int input = 0;
    for (int index = 0; index < ports.deviceCount(0); ++index)
        if (ports.deviceName(0, index) == "Dorvo Loopback 1")
            input = index + 1;
    ASSERT_GT(input, 0);
    CVEXWrapper* synth = window->addComponent(recordingEntry(), "Synth");
    ASSERT_TRUE(window->hostObject()->openPort(false, input)); // takes the Workspace's filters
    control.takeLog();

    // The filters that saw one note, counted until the expected number arrived or 2 s passed.
    auto filtersReached = [&](BYTE note, int expected) {
        vm::inject("Dorvo Loopback 1", {0x90, note, 100});
        QElapsedTimer timer;
        timer.start();
        QStringList log;
        while (timer.elapsed() < 2000 && log.count("FilterEvents") < expected) {
            log += control.takeLog();
            QThread::msleep(5);
        }
        return log.count("FilterEvents");
    };
    EXPECT_EQ(filtersReached(60, 1), 1);
    ASSERT_NE(window->addComponent(recordingEntry(), "Bass"), nullptr); // joins the open input
    EXPECT_EQ(filtersReached(61, 2), 2);

    window->removeComponent(synth, false);
    window->eraseCurrentDocument();
    EXPECT_TRUE(window->components().isEmpty());
    EXPECT_EQ(window->iconView()->count(), 0);
    EXPECT_EQ(filtersReached(62, 1), 0);
    EXPECT_EQ(control.liveObjects(), 0);
    window->hostObject()->closePort(false, input);
    vm::reset();
}

} // namespace
