// The editor wrapper against the recording component: the calls it makes and their order, the
// editor window and its page, the icons, and components that answer nonsense.
#include "ApplicationWindow.h"
#include "CVEXWrapper.h"
#include "CWrapContainer.h"
#include "ComTestSupport.h"
#include "HostingTestSupport.h"
#include "Images.h"
#include "TProgramEventFilter.h"
#include "TWorkspaceMenus.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <gtest/gtest.h>
#include <memory>

using hostingtest::RecordingControl;
using hostingtest::recordingEntry;

namespace {

const QStringList kConnectionCalls = {
    "CreateInstance IMPInitialise",
    "QueryInterface IMPInitialise",
    "MPConnect host=1 output=1 a3=1 a4=0 flags=64",
    "QueryInterface ISpecifyPropertyPages",
    "GetPages",
    "QueryInterface IMPEventFilter",
    "QueryInterface IMPDeviceSync2",
    "GetIconURLs",
    "GetRecallInfo mode=0 items=0 group=0 offline=0 mask=1",
};

const QStringList kPageOpened = {
    "Page created",     "Page.SetObjects 1 component",
    "Page.GetPageInfo", "Page.Activate window=found rect=0,0,320,240 modal=0",
    "Page.Show 5",
};

const QStringList kPageClosed = {"Page.Show 0", "Page.Deactivate", "Page.SetObjects 0",
                                 "Page destroyed"};

void deliverDeletions() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QImage imageOf(const QIcon& icon, const QSize& size) {
    return icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage genericIcon(const char* name) {
    return dorvo::lookupImage(name).toImage().convertToFormat(QImage::Format_ARGB32);
}

QAction* entryTitled(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

class EditorWrapperTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(hostingtest::registerRecordingComponent()); }

    // Adds a component with the behaviour set so far; the connection's calls are dropped.
    CVEXWrapper* add(DWORD kind = 0x2, const QString& name = "Synth") {
        control.apply();
        CVEXWrapper* component = window->addComponent(recordingEntry(kind), name);
        control.takeLog();
        return component;
    }
    void remove(CVEXWrapper* component) {
        window->removeComponent(component, false);
        deliverDeletions();
    }

    RecordingControl control;
    std::unique_ptr<ApplicationWindow> window = std::make_unique<ApplicationWindow>();
};

TEST_F(EditorWrapperTest, ConnectsInOrderAndDisconnectsOnceBeforeTheRelease) {
    control.apply();
    CVEXWrapper* component = window->addComponent(recordingEntry(), "Synth");
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(control.takeLog(), kConnectionCalls);
    EXPECT_EQ(window->iconView()->count(), 1);
    EXPECT_EQ(window->components(), QList<CVEXWrapper*>{component});
    EXPECT_NE(component->eventFilterInterface(), nullptr);
    EXPECT_TRUE(component->hasSyncInterface());
    EXPECT_TRUE(component->recallEnabled());
    EXPECT_EQ(window->model()->componentInstanceName(component->component()), "Synth");

    remove(component);
    EXPECT_EQ(control.takeLog(), (QStringList{"MPDisconnect", "destroyed"}));
    EXPECT_EQ(control.liveObjects(), 0);
    EXPECT_EQ(window->iconView()->count(), 0);
}

TEST_F(EditorWrapperTest, AsksForTheOlderSyncInterfaceOnlyWhenTheNewerIsMissing) {
    struct Case {
        BOOL sync2, sync1;
        QStringList queries;
        bool recall;
    };
    const Case cases[] = {
        {TRUE, TRUE, {"QueryInterface IMPDeviceSync2", "GetIconURLs"}, true},
        {FALSE,
         TRUE,
         {"QueryInterface IMPDeviceSync2", "QueryInterface IMPDeviceSync", "GetIconURLs"},
         true},
        {FALSE, FALSE, {"QueryInterface IMPDeviceSync2", "QueryInterface IMPDeviceSync"}, false},
    };
    for (const Case& c : cases) {
        control.behaviour.hasSync2 = c.sync2;
        control.behaviour.hasSync1 = c.sync1;
        control.apply();
        CVEXWrapper* component = window->addComponent(recordingEntry(), "Synth");
        ASSERT_NE(component, nullptr);
        const QStringList log = control.takeLog();
        const qsizetype first = log.indexOf("QueryInterface IMPDeviceSync2");
        ASSERT_GE(first, 0);
        EXPECT_EQ(log.mid(first, c.queries.size()), c.queries) << log.join(" | ").toStdString();
        EXPECT_EQ(component->recallEnabled(), c.recall);
        EXPECT_EQ(component->hasSyncInterface(), c.recall);
        EXPECT_EQ(log.contains("GetRecallInfo mode=0 items=0 group=0 offline=0 mask=1"), c.recall);
        EXPECT_EQ(component->statusText(E_FAIL),
                  c.recall ? QString("recorded status") : QString::number(E_FAIL));
        remove(component);
    }
}

TEST_F(EditorWrapperTest, ARefusedConnectionLeavesNoIconAndStillDisconnects) {
    control.behaviour.connectResult = E_FAIL;
    control.apply();
    EXPECT_EQ(window->addComponent(recordingEntry(), "Synth"), nullptr);
    EXPECT_EQ(window->iconView()->count(), 0);
    EXPECT_TRUE(window->components().isEmpty());
    const QStringList log = control.takeLog();
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList{"MPDisconnect", "destroyed"}));
    EXPECT_EQ(log.count("MPDisconnect"), 1);

    // A positive answer is no refusal.
    control.behaviour.connectResult = S_FALSE;
    control.apply();
    EXPECT_NE(window->addComponent(recordingEntry(), "Synth"), nullptr);

    TCatalogueEntry unknown = recordingEntry();
    unknown.classId.Data1 ^= 0xFFFF;
    EXPECT_EQ(window->addComponent(unknown, "Ghost"), nullptr);
    EXPECT_EQ(window->iconView()->count(), 1);
}

TEST_F(EditorWrapperTest, EditorOpensItsPageInAContainerThatFollowsTheWindow) {
    window->yNewSession();
    CVEXWrapper* component = add();
    component->showEditor();
    EXPECT_EQ(control.takeLog(), kPageOpened);
    QPointer<CWrapContainer> editor = component->editorWindow();
    ASSERT_TRUE(editor);
    EXPECT_STREQ(editor->metaObject()->className(), "CWrapContainer");
    EXPECT_TRUE(editor->isWindow());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(editor->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(editor->windowTitle(), "Synth");
    EXPECT_EQ(editor->size(), QSize(320, 240));
    EXPECT_EQ(editor->minimumSize(), QSize(100, 100));
    QWidget* page = editor->findChild<QWidget*>(kRecordingPageWidget);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->geometry(), QRect(0, 0, 320, 240));
    EXPECT_TRUE(window->programWindows().contains(editor.data()));

    window->windowsMenuAboutToShow();
    ASSERT_EQ(window->windowsMenu()->actions().size(), 1);
    EXPECT_EQ(window->windowsMenu()->actions()[0]->text(), "Synth");
    window->windowsMenu()->actions()[0]->trigger(); // brings the same window forward
    component->propPageShow();
    EXPECT_TRUE(control.takeLog().isEmpty());
    EXPECT_EQ(component->editorWindow(), editor.data());

    window->model()->rename(component->instance(), "Bass");
    EXPECT_EQ(editor->windowTitle(), "Bass");
    editor->resize(400, 300);
    QCoreApplication::processEvents();
    EXPECT_TRUE(control.takeLog().contains("Page.Move 0,0,400,300"));
    EXPECT_EQ(page->size(), QSize(400, 300));

    EXPECT_TRUE(editor->close());
    EXPECT_EQ(control.takeLog(), kPageClosed);
    EXPECT_FALSE(component->hasEditorWindow()); // at once, though deleted a turn later
    deliverDeletions();
    EXPECT_TRUE(editor.isNull());
    EXPECT_FALSE(component->hasEditorWindow());
    window->windowsMenuAboutToShow();
    EXPECT_TRUE(window->windowsMenu()->actions().isEmpty());
}

TEST_F(EditorWrapperTest, AModalDialogOfTheWorkspaceBlocksTheEditorWindows) {
    TProgramEventFilter filter(window.get());
    qApp->installEventFilter(&filter);
    window->show();
    CVEXWrapper* component = add();
    component->showEditor();
    QWidget* page = component->editorWindow()->findChild<QWidget*>(kRecordingPageWidget);
    ASSERT_NE(page, nullptr);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    EXPECT_FALSE(filter.eventFilter(page, &press));

    QDialog dialog(window.get());
    dialog.setWindowModality(Qt::WindowModal); // Qt itself blocks only the Workspace window
    dialog.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(filter.modalOwner(), window.get());
    EXPECT_TRUE(filter.eventFilter(page, &press));
    dialog.close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(filter.eventFilter(page, &press));
    qApp->removeEventFilter(&filter);
}

TEST_F(EditorWrapperTest, AWindowKeepingComponentHidesTheSameWindowAndPage) {
    CVEXWrapper* component = add(0x12);
    component->showEditor();
    control.takeLog();
    QPointer<CWrapContainer> editor = component->editorWindow();
    QPointer<QWidget> page = editor->findChild<QWidget*>(kRecordingPageWidget);

    EXPECT_FALSE(editor->close()); // refused: hidden instead
    deliverDeletions();
    ASSERT_TRUE(editor);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_FALSE(component->hasEditorWindow());
    EXPECT_EQ(component->keptWindow(), editor.data());
    EXPECT_EQ(control.takeLog(), QStringList{"Page.Show 0"});

    component->showEditor();
    EXPECT_EQ(component->editorWindow(), editor.data());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(page);
    EXPECT_EQ(control.takeLog(), QStringList{"Page.Show 5"});

    // The context menu's Close keeps it too.
    std::unique_ptr<QMenu> menu(
        TWorkspaceMenus(*window).createComponentMenu(component, window.get()));
    control.takeLog();
    TWorkspaceMenus(*window).actOnComponentMenu(component, entryTitled(menu.get(), "Close"));
    EXPECT_EQ(control.takeLog(), QStringList{"Page.Show 0"});
    EXPECT_TRUE(editor);

    remove(component);
    EXPECT_TRUE(editor.isNull());
    EXPECT_EQ(control.takeLog(), kPageClosed + QStringList({"MPDisconnect", "destroyed"}));
}

TEST_F(EditorWrapperTest, MinimumSizeIsThePageSizeUpTo100) {
    const QList<QPair<SIZE, QSize>> cases = {
        {{60, 40}, {60, 40}}, {{150, 80}, {100, 80}}, {{700, 500}, {100, 100}}};
    for (const auto& [pageSize, minimum] : cases) {
        control.behaviour.pageSize = pageSize;
        CVEXWrapper* component = add();
        component->showEditor();
        ASSERT_TRUE(component->hasEditorWindow());
        EXPECT_EQ(component->editorWindow()->minimumSize(), minimum);
        EXPECT_EQ(component->editorWindow()->size(), QSize(pageSize.cx, pageSize.cy));
        remove(component);
    }
}

TEST_F(EditorWrapperTest, ReopeningRestoresGeometryOrTheMaximizedState) {
    CVEXWrapper* component = add();
    EXPECT_FALSE(component->editorGeometry().isValid());
    component->showEditor();
    component->editorWindow()->setGeometry(40, 50, 300, 200);
    QCoreApplication::processEvents();
    component->editorWindow()->close();
    deliverDeletions();
    EXPECT_EQ(component->editorGeometry(), QRect(40, 50, 300, 200));
    control.takeLog();

    component->showEditor();
    EXPECT_EQ(component->editorWindow()->geometry(), QRect(40, 50, 300, 200));
    EXPECT_TRUE(control.takeLog().contains("Page.Activate window=found rect=0,0,300,200 modal=0"));

    component->editorWindow()->showMaximized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(component->editorWindow()->isMaximized());
    component->closeEditor(false);
    EXPECT_TRUE(component->wasMaximized());
    EXPECT_EQ(component->editorGeometry(), QRect(40, 50, 300, 200)); // the normal one stays

    component->showEditor();
    EXPECT_TRUE(component->editorWindow()->isMaximized());
    component->editorWindow()->showNormal();
    QCoreApplication::processEvents();
    component->closeEditor(false);
    EXPECT_FALSE(component->wasMaximized());
    component->showEditor();
    EXPECT_FALSE(component->editorWindow()->isMaximized());

    // A document's saved geometry opens the editor where it was.
    component->closeEditor(false);
    component->showEditorAt(QRect(QPoint(10, 20), QPoint(209, 169)));
    EXPECT_EQ(component->editorWindow()->geometry(), QRect(10, 20, 200, 150));
}

TEST_F(EditorWrapperTest, IconsFollowTheRecallState) {
    const QImage disabled = genericIcon("Generic_01.png");
    const QImage enabled = genericIcon("Generic_02.png");
    ASSERT_FALSE(disabled.isNull());
    ASSERT_NE(disabled, enabled);
    CVEXWrapper* component = add();
    ASSERT_TRUE(component->recallEnabled());
    EXPECT_EQ(imageOf(component->icon(), enabled.size()), enabled);

    std::unique_ptr<QMenu> menu(
        TWorkspaceMenus(*window).createComponentMenu(component, window.get()));
    window->setModified(false);
    TWorkspaceMenus(*window).actOnComponentMenu(component,
                                                entryTitled(menu.get(), "Recall Enabled"));
    EXPECT_FALSE(component->recallEnabled());
    EXPECT_TRUE(window->isModified());
    EXPECT_EQ(imageOf(component->icon(), disabled.size()), disabled);

    // The component's own icons, as a path and as a file URL.
    const QString folder = QString::fromStdString(dorvo2test::makeTempDir("icons"));
    auto writeIcon = [&](const QString& name, Qt::GlobalColor colour) {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(folder + "/" + name));
        return image;
    };
    const QImage red = writeIcon("off.png", Qt::red);
    const QImage blue = writeIcon("on.png", Qt::blue);
    hostingtest::setText(control.behaviour.iconDisabled, folder + "/off.png");
    hostingtest::setText(control.behaviour.iconEnabled, "file://" + folder + "/on.png");
    CVEXWrapper* own = add(0x2, "Own");
    EXPECT_EQ(imageOf(own->icon(), blue.size()), blue);
    own->setRecallEnabled(false);
    own->refreshIcon();
    EXPECT_EQ(imageOf(own->icon(), red.size()), red);

    // Without a synchronization interface the catalogue's icon is the one.
    control.behaviour.hasSync1 = control.behaviour.hasSync2 = FALSE;
    control.apply();
    TCatalogueEntry entry = recordingEntry();
    entry.iconUrl = folder + "/on.png";
    CVEXWrapper* plain = window->addComponent(entry, "Plain");
    EXPECT_FALSE(plain->recallEnabled());
    EXPECT_EQ(imageOf(plain->icon(), blue.size()), blue);
}

TEST_F(EditorWrapperTest, RecallDefaultsAndItemsComeFromTheComponent) {
    control.behaviour.defaultMask = 5;
    hostingtest::setText(control.behaviour.recallItems, "Patch;;Global");
    CVEXWrapper* component = add();
    EXPECT_EQ(component->recallMask(), 5u);
    std::unique_ptr<QMenu> menu(
        TWorkspaceMenus(*window).createComponentMenu(component, window.get()));
    EXPECT_TRUE(
        control.takeLog().contains("GetRecallInfo mode=1 items=1 group=0 offline=0 mask=0"));
    QAction* configure = entryTitled(menu.get(), "Configure Recall");
    ASSERT_NE(configure, nullptr);
    QStringList entries;
    for (QAction* action : configure->menu()->actions())
        entries.append(action->text());
    EXPECT_EQ(entries, (QStringList{"Patch", "Global"}));

    control.behaviour.recallResult = S_FALSE; // only S_OK gives Recall information
    control.behaviour.nullStatusText = TRUE;
    CVEXWrapper* quiet = add(0x2, "Quiet");
    EXPECT_EQ(quiet->recallMask(), 0u);
    EXPECT_EQ(quiet->statusText(1223), "1223");
    menu.reset(TWorkspaceMenus(*window).createComponentMenu(quiet, window.get()));
    EXPECT_EQ(entryTitled(menu.get(), "Configure Recall"), nullptr);
}

// ---- Components that answer nonsense ----------------------------------------------------------

TEST_F(EditorWrapperTest, WithoutAUsablePageArrayThereIsNoEditor) {
    struct Case {
        const char* what;
        void (*set)(RecordingBehaviour&);
    };
    const Case cases[] = {
        {"no property pages", [](RecordingBehaviour& b) { b.hasPages = FALSE; }},
        {"success without interfaces", [](RecordingBehaviour& b) { b.nullInterfaces = TRUE; }},
        {"a count without an array",
         [](RecordingBehaviour& b) {
             b.pageCount = 5;
             b.nullPageArray = TRUE;
         }},
        {"failing GetPages with a count",
         [](RecordingBehaviour& b) {
             b.pageCount = 3;
             b.getPagesResult = E_FAIL;
         }},
        {"an empty array", [](RecordingBehaviour& b) { b.pageCount = 0; }},
    };
    window->yNewSession();
    for (const Case& c : cases) {
        control.behaviour = RecordingBehaviour();
        c.set(control.behaviour);
        CVEXWrapper* component = add();
        ASSERT_NE(component, nullptr) << c.what;
        EXPECT_FALSE(component->icon().isNull()) << c.what;
        EXPECT_FALSE(component->hasPropertyPage()) << c.what;
        component->showEditor();
        EXPECT_FALSE(component->hasEditorWindow()) << c.what;
        std::unique_ptr<QMenu> menu(
            TWorkspaceMenus(*window).createComponentMenu(component, window.get()));
        TWorkspaceMenus(*window).actOnComponentMenu(component, entryTitled(menu.get(), "Open"));
        window->windowsMenuAboutToShow();
        EXPECT_TRUE(window->windowsMenu()->actions().isEmpty()) << c.what;
        remove(component);
        EXPECT_FALSE(control.takeLog().contains("Page created")) << c.what;
        EXPECT_EQ(control.liveObjects(), 0) << c.what;
    }
    control.behaviour = RecordingBehaviour();
    control.behaviour.nullInterfaces = TRUE;
    CVEXWrapper* bare = add();
    EXPECT_EQ(bare->eventFilterInterface(), nullptr);
    EXPECT_FALSE(bare->hasSyncInterface());
    EXPECT_EQ(bare->persistence(), nullptr);
    EXPECT_EQ(bare->statusText(-5), "-5");
}

TEST_F(EditorWrapperTest, FailingSynchronizationQueriesLeaveTheDefaults) {
    control.behaviour.iconResult = E_FAIL;
    control.behaviour.recallResult = E_FAIL;
    control.behaviour.defaultMask = 0xDEAD;
    control.behaviour.statusResult = E_FAIL;
    hostingtest::setText(control.behaviour.recallItems, "Ignored;Items");
    CVEXWrapper* component = add();
    ASSERT_NE(component, nullptr);
    EXPECT_TRUE(component->recallEnabled());
    EXPECT_EQ(component->recallMask(), 0u);
    EXPECT_TRUE(component->iconUrl(false).isEmpty());
    EXPECT_TRUE(component->iconUrl(true).isEmpty());
    EXPECT_EQ(imageOf(component->icon(), QSize(64, 64)),
              imageOf(QIcon(dorvo::lookupImage("Generic_02.png")), QSize(64, 64)));
    EXPECT_EQ(component->statusText(E_FAIL), QString::number(E_FAIL));
    std::unique_ptr<QMenu> menu(
        TWorkspaceMenus(*window).createComponentMenu(component, window.get()));
    EXPECT_EQ(entryTitled(menu.get(), "Configure Recall"), nullptr);
}

TEST_F(EditorWrapperTest, AbsurdOrFailingPagesLeaveNoBrokenWindow) {
    comtest::WarningCapture warnings;
    control.behaviour.pageSize = {-5, 100000};
    CVEXWrapper* component = add();
    component->showEditor();
    ASSERT_TRUE(component->hasEditorWindow());
    EXPECT_EQ(component->editorWindow()->size(), QSize(1, 4096));
    EXPECT_EQ(component->editorWindow()->minimumSize(), QSize(1, 100));
    EXPECT_TRUE(control.takeLog().contains("Page.Activate window=found rect=0,0,1,4096 modal=0"));
    EXPECT_TRUE(warnings.text().contains("A property page of -5 x 100000 pixels"));
    remove(component);

    control.behaviour = RecordingBehaviour();
    control.behaviour.activateResult = E_FAIL;
    component = add();
    component->showEditor();
    EXPECT_FALSE(component->hasEditorWindow());
    EXPECT_EQ(window->programWindows().size(), 1);
    QStringList log = control.takeLog();
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList{"Page.SetObjects 0", "Page destroyed"}));
    EXPECT_TRUE(warnings.text().contains("could not be activated"));
    remove(component);

    control.behaviour = RecordingBehaviour();
    control.behaviour.pageInfoResult = E_FAIL;
    component = add();
    component->showEditor();
    EXPECT_FALSE(component->hasEditorWindow());
    EXPECT_EQ(control.takeLog(),
              (QStringList{"Page created", "Page.SetObjects 1 component", "Page.GetPageInfo",
                           "Page.SetObjects 0", "Page destroyed"}));
}

} // namespace
