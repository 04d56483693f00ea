// The example components in a real Workspace: installed with the registration command, found in
// the catalogue, added through the window, and Demo Synth's page shown in its editor window.
#include "ApplicationWindow.h"
#include "CVEXWrapper.h"
#include "CWrapContainer.h"
#include "ComTestSupport.h"
#include "Images.h"

#include <QCoreApplication>
#include <QListWidget>
#include <gtest/gtest.h>

namespace {

CVEXWrapper* componentNamed(ApplicationWindow& window, const QString& name) {
    for (CVEXWrapper* component : window.components())
        if (component->instanceName() == name)
            return component;
    return nullptr;
}

TEST(ExampleComponentsTest, JoinAWorkspaceAndDemoSynthShowsItsPageInItsEditorWindow) {
    for (const char* library : {DEMO_SYNTH, MIDI_MONITOR, SYSEX_LIBRARIAN}) {
        const comtest::ProgramResult result = comtest::runProgram(DORVO2_REGSVR, {library});
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }
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

} // namespace
