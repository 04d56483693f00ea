// The Workspace window: its menus and their gate, renaming, context menus, the MIDI Thru tool
// bar, help and the about box.
#include "About.h"
#include "ApplicationWindow.h"
#include "CVEXWrapper.h"
#include "HostingTestSupport.h"
#include "ShellTestSupport.h"
#include "TDocuSaveLoad.h"
#include "TWorkspaceMenus.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using dorvo2test::MessageRecorder;
using hostingtest::recordingEntry;

namespace {

struct MenuEntry {
    QString text;
    QKeySequence shortcut;
};

QList<MenuEntry> entriesOf(QMenu* menu) {
    QList<MenuEntry> entries;
    for (QAction* action : menu->actions())
        entries.append(
            {action->isSeparator() ? QStringLiteral("-") : action->text(), action->shortcut()});
    return entries;
}

QMenu* menuTitled(ApplicationWindow& window, const QString& title) {
    for (QAction* action : window.menuBar()->actions())
        if (action->text() == title)
            return action->menu();
    return nullptr;
}

QAction* entryTitled(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

void processEventsFor(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Closes whatever modal dialog comes up while a command runs, and says whether one did.
class ModalWatch {
public:
    ModalWatch() {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                seen.append(QString::fromLatin1(modal->metaObject()->className()));
                modal->close();
            }
        });
        m_timer.start();
    }
    QStringList seen;

private:
    QTimer m_timer;
};

class WorkspaceWindowTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(hostingtest::registerRecordingComponent()); }

    // Before the window, which deletes its components first.
    hostingtest::RecordingControl control;
    std::unique_ptr<ApplicationWindow> window = std::make_unique<ApplicationWindow>();
};

TEST_F(WorkspaceWindowTest, MenusHaveTheirEntriesAcceleratorsAndOrder) {
    QStringList titles;
    for (QAction* action : window->menuBar()->actions())
        titles.append(action->text());
    EXPECT_EQ(titles, (QStringList{"&File", "&Synchronize", "&Windows", "&Help"}));

    const QList<QPair<QString, QKeySequence>> file = {{"&New", QKeySequence("Ctrl+N")},
                                                      {"&Open...", QKeySequence("Ctrl+O")},
                                                      {"&Save", QKeySequence("Ctrl+S")},
                                                      {"Save As...", QKeySequence()},
                                                      {"-", QKeySequence()},
                                                      {"Setup...", QKeySequence()},
                                                      {"Re-map MIDI Ports...", QKeySequence()},
                                                      {"-", QKeySequence()},
                                                      {"Exit", QKeySequence("Ctrl+Q")}};
    const QList<QPair<QString, QKeySequence>> help = {{"Manual", QKeySequence("F1")},
                                                      {"-", QKeySequence()},
                                                      {"&About Quenor Dorvo", QKeySequence()}};
    auto expectEntries = [&](const QString& title, const auto& expected) {
        QMenu* menu = menuTitled(*window, title);
        ASSERT_NE(menu, nullptr) << title.toStdString();
        const auto entries = entriesOf(menu);
        ASSERT_EQ(entries.size(), expected.size()) << title.toStdString();
        for (int i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].text, expected[i].first);
            EXPECT_EQ(entries[i].shortcut, expected[i].second) << expected[i].first.toStdString();
        }
        for (QAction* action : menu->actions())
            EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    };
    expectEntries("&File", file);
    expectEntries("&Synchronize", QList<QPair<QString, QKeySequence>>{{"&Recall...", {}}});
    expectEntries("&Help", help);
    EXPECT_TRUE(menuTitled(*window, "&Windows")->actions().isEmpty());
}

TEST_F(WorkspaceWindowTest, CommandsBeforeTheWindowIsReadyDoNothing) {
    MessageRecorder messages;
    ModalWatch modal;
    window->addComponent(recordingEntry(), "Synth");
    EXPECT_FALSE(window->isReady());
    entryTitled(menuTitled(*window, "&File"), "&New")->trigger();
    entryTitled(menuTitled(*window, "&Help"), "Manual")->trigger();
    entryTitled(menuTitled(*window, "&Help"), "&About Quenor Dorvo")->trigger();
    processEventsFor(100);
    EXPECT_TRUE(window->documentName().isEmpty());
    EXPECT_EQ(window->components().size(), 1);
    EXPECT_TRUE(messages.requests.isEmpty());
    EXPECT_TRUE(modal.seen.isEmpty());

    window->yNewSession();
    EXPECT_TRUE(window->isReady());
    EXPECT_TRUE(window->components().isEmpty()); // the new document begins an empty Workspace
    const QString first = window->documentName();
    EXPECT_TRUE(first.contains(QRegularExpression("/Untitled \\d+$"))) << first.toStdString();
    EXPECT_TRUE(window->windowTitle().endsWith(" - Quenor Dorvo"));
    EXPECT_FALSE(window->isNamed());

    entryTitled(menuTitled(*window, "&File"), "&New")->trigger();
    EXPECT_NE(window->documentName(), first);
    entryTitled(menuTitled(*window, "&Help"), "Manual")->trigger();
    ASSERT_EQ(messages.requests.size(), 1);
    EXPECT_EQ(messages.requests[0].kind, TUserMessage::Kind::Warning);
    EXPECT_EQ(messages.requests[0].caption, "Quenor Dorvo");
    // No manual beside the test program nor installed above it: the installed place is named.
    EXPECT_EQ(messages.requests[0].text,
              QString("Failed to load \"%1\" help document.\n\nPlease try "
                      "re-installing the package.\n")
                  .arg(QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                       "/../share/doc/dorvo2/Dorvo.pdf")));
    entryTitled(menuTitled(*window, "&Help"), "&About Quenor Dorvo")->trigger();
    EXPECT_EQ(modal.seen, QStringList{"About"});
}

TEST_F(WorkspaceWindowTest, ClosingAModifiedDocumentAsksAndCancelKeepsTheWindow) {
    window->yNewSession();
    window->addComponent(recordingEntry(), "Synth");
    window->setModified(true);
    {
        MessageRecorder cancel(QMessageBox::Cancel);
        EXPECT_FALSE(window->close());
        ASSERT_EQ(cancel.requests.size(), 1);
        EXPECT_TRUE(cancel.requests[0].text.startsWith("Save changes to "));
        EXPECT_EQ(cancel.requests[0].escapeButton, QMessageBox::Cancel);
        EXPECT_EQ(window->components().size(), 1);
    }
    MessageRecorder no(QMessageBox::No);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(window->components().isEmpty());
}

class RenameTest : public WorkspaceWindowTest {
protected:
    void SetUp() override {
        WorkspaceWindowTest::SetUp();
        synth = window->addComponent(recordingEntry(), "Synth");
        mixer = window->addComponent(recordingEntry(), "Mixer");
        window->setModified(false);
    }
    void renameByUser(CVEXWrapper* component, const QString& text) {
        component->setText(text); // as the view's editor leaves it
        window->handle_itemRenamed(component);
    }
    CVEXWrapper* synth = nullptr;
    CVEXWrapper* mixer = nullptr;
};

TEST_F(RenameTest, ToItsOwnNameChangesNothing) {
    MessageRecorder messages;
    renameByUser(synth, "Synth");
    EXPECT_EQ(synth->instanceName(), "Synth");
    EXPECT_FALSE(window->isModified());
    EXPECT_TRUE(messages.requests.isEmpty());
}

TEST_F(RenameTest, ToAnotherComponentsNameIsRefusedAndTheOldNameComesBack) {
    MessageRecorder messages;
    renameByUser(synth, "Mixer");
    ASSERT_EQ(messages.requests.size(), 1);
    EXPECT_EQ(messages.requests[0].kind, TUserMessage::Kind::Warning);
    EXPECT_EQ(messages.requests[0].caption, "Quenor Dorvo");
    EXPECT_EQ(messages.requests[0].text,
              "Individual Components must have unique names.\nThis change will be ignored.");
    EXPECT_EQ(synth->instanceName(), "Synth");
    EXPECT_EQ(synth->text(), "Synth");
    EXPECT_FALSE(window->isModified());
}

TEST_F(RenameTest, ANameThatDiffersOnlyInCaseIsAccepted) {
    MessageRecorder messages;
    renameByUser(synth, "MIXER");
    EXPECT_TRUE(messages.requests.isEmpty());
    EXPECT_EQ(synth->instanceName(), "MIXER");
    EXPECT_EQ(synth->text(), "MIXER");
    EXPECT_TRUE(window->isModified());
}

TEST_F(RenameTest, AnEmptyNameIsRefused) {
    MessageRecorder messages;
    renameByUser(mixer, "");
    EXPECT_EQ(messages.texts(),
              QStringList{"Empty name is not allowed.\nThis change will be ignored."});
    EXPECT_EQ(mixer->text(), "Mixer");
    EXPECT_FALSE(window->isModified());
}

TEST_F(RenameTest, SortedViewFollowsTheNewName) {
    QMenu* space = TWorkspaceMenus(*window).createSpaceMenu(window.get());
    TWorkspaceMenus(*window).actOnSpaceMenu(entryTitled(space, "Arrange by Name"));
    delete space;
    ASSERT_TRUE(window->isSorting());
    processEventsFor(150); // the rearrangement runs 100 ms later
    EXPECT_EQ(window->iconView()->item(0), mixer);
    renameByUser(mixer, "Zither");
    EXPECT_EQ(window->iconView()->item(0), synth);
    EXPECT_EQ(window->iconView()->item(1), mixer);
}

TEST_F(WorkspaceWindowTest, ComponentMenuWithoutSynchronization) {
    control.behaviour.hasSync1 = control.behaviour.hasSync2 = FALSE;
    control.apply();
    CVEXWrapper* synth = window->addComponent(recordingEntry(), "Synth");
    std::unique_ptr<QMenu> menu(TWorkspaceMenus(*window).createComponentMenu(synth, window.get()));
    QStringList texts;
    for (QAction* action : menu->actions())
        texts.append(action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(texts, (QStringList{"Open", "Close", "-", "Synchronize...", "Recall Enabled", "-",
                                  "Remove..."}));
    EXPECT_FALSE(entryTitled(menu.get(), "Close")->isEnabled());
    EXPECT_FALSE(entryTitled(menu.get(), "Synchronize...")->isEnabled());
    EXPECT_FALSE(entryTitled(menu.get(), "Recall Enabled")->isEnabled());

    MessageRecorder declines(QMessageBox::No);
    TWorkspaceMenus(*window).actOnComponentMenu(synth, entryTitled(menu.get(), "Remove..."));
    ASSERT_EQ(declines.requests.size(), 1);
    EXPECT_EQ(declines.requests[0].text,
              "Are you sure you want to remove \"Synth\" component?\n\nPressing Yes will "
              "permanently remove it from your Workspace.");
    EXPECT_EQ(window->components().size(), 1);
}

TEST_F(WorkspaceWindowTest, RemovingAConfirmedComponentMarksTheDocument) {
    CVEXWrapper* synth = window->addComponent(recordingEntry(), "Synth");
    window->addComponent(recordingEntry(), "Mixer");
    window->setModified(false);
    std::unique_ptr<QMenu> menu(TWorkspaceMenus(*window).createComponentMenu(synth, window.get()));
    MessageRecorder agrees(QMessageBox::Yes);
    TWorkspaceMenus(*window).actOnComponentMenu(synth, entryTitled(menu.get(), "Remove..."));
    ASSERT_EQ(window->components().size(), 1);
    EXPECT_EQ(window->components()[0]->instanceName(), "Mixer");
    EXPECT_TRUE(window->isModified());
    EXPECT_FALSE(window->nameInUse("Synth"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->iconView()->count(), 1);
}

TEST_F(WorkspaceWindowTest, SpaceMenuArrangementAndSorting) {
    auto entries = [&] {
        std::unique_ptr<QMenu> menu(TWorkspaceMenus(*window).createSpaceMenu(window.get()));
        QStringList texts;
        for (QAction* action : menu->actions())
            texts.append((action->isSeparator() ? "-" : action->text()) +
                         (action->isChecked() ? "*" : ""));
        return texts;
    };
    EXPECT_EQ(entries(), (QStringList{"Modify Workspace...", "Arrange by Name", "-",
                                      "Left To Right*", "Top To Bottom"}));
    {
        std::unique_ptr<QMenu> menu(TWorkspaceMenus(*window).createSpaceMenu(window.get()));
        TWorkspaceMenus(*window).actOnSpaceMenu(entryTitled(menu.get(), "Left To Right"));
        EXPECT_FALSE(window->isModified()); // the current arrangement: nothing to do
        TWorkspaceMenus(*window).actOnSpaceMenu(entryTitled(menu.get(), "Top To Bottom"));
        EXPECT_TRUE(window->isModified());
        TWorkspaceMenus(*window).actOnSpaceMenu(entryTitled(menu.get(), "Arrange by Name"));
    }
    EXPECT_EQ(entries(), (QStringList{"Modify Workspace...", "Arrange by Name*", "-",
                                      "Left To Right", "Top To Bottom*"}));
    window->eraseCurrentDocument();
    EXPECT_FALSE(window->isModified());
    EXPECT_EQ(entries(), (QStringList{"Modify Workspace...", "Arrange by Name", "-",
                                      "Left To Right*", "Top To Bottom"}));
}

TEST(RecallMenuTest, EmptyPartsGiveNoEntries) {
    const auto entries = TWorkspaceMenus::recallMenuEntries("Patch;;Global;Drums;");
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0], qMakePair(QString("Patch"), DWORD(0)));
    EXPECT_EQ(entries[1], qMakePair(QString("Global"), DWORD(1)));
    EXPECT_EQ(entries[2], qMakePair(QString("Drums"), DWORD(2)));
    EXPECT_TRUE(TWorkspaceMenus::recallMenuEntries(";;").isEmpty());
    // Values stop at the mask's top bit.
    EXPECT_EQ(TWorkspaceMenus::recallMenuEntries(QString("x;").repeated(40)).size(), 33);
}

TEST(RecallMenuTest, ToggleModeFlipsBitsOtherwiseTheMaskIsTheChoice) {
    EXPECT_EQ(TWorkspaceMenus::recallMaskAfterChoice(0x5, 0, 0x2), 0x2u);
    EXPECT_EQ(TWorkspaceMenus::recallMaskAfterChoice(0x5, 0x80000000u, 0x2), 0x7u);
    EXPECT_EQ(TWorkspaceMenus::recallMaskAfterChoice(0x7, 0x80000000u, 0x2), 0x5u);
    EXPECT_EQ(TWorkspaceMenus::recallMaskAfterChoice(0x7, 0x80000000u, 0), 0u);
}

TEST_F(WorkspaceWindowTest, ThruToolBarFloatsBorderlessOnTopAndDocksBack) {
    window->show();
    QDockWidget* bar = window->thruToolBar();
    bar->show();
    EXPECT_EQ(window->toolBarText()->text(), "MIDI Thru Ch.");
    EXPECT_EQ(window->toolBarText()->objectName(), "toolBarText");
    EXPECT_EQ(bar->windowTitle(), "MIDI Thru");
    EXPECT_EQ(window->thruChannelBox()->minimum(), 0);
    EXPECT_EQ(window->thruChannelBox()->maximum(), 16);
    EXPECT_EQ(window->thruChannelBox()->text(), "Original");
    EXPECT_FALSE(bar->toggleViewAction()->isVisible()); // not in the dock-window menu

    bar->setFloating(true);
    QCoreApplication::processEvents();
    EXPECT_TRUE(bar->isWindow());
    EXPECT_TRUE(bar->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(bar->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(window->toolBarText()->text(), "Ch.");

    bar->setFloating(false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(bar->isWindow());
    EXPECT_EQ(window->toolBarText()->text(), "MIDI Thru Ch.");
    EXPECT_FALSE(bar->toggleViewAction()->isVisible());

    bar->setFloating(true); // a second time it floats on top again
    QCoreApplication::processEvents();
    EXPECT_TRUE(bar->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->toolBarText()->text(), "Ch.");
}

TEST_F(WorkspaceWindowTest, IsADocumentWithItsTypeAndCaption) {
    void* document = window->qt_metacast("NS_Utilities::TDocuSaveLoad");
    EXPECT_EQ(document, static_cast<NS_Utilities::TDocuSaveLoad*>(window.get()));
    EXPECT_EQ(window->extensions(), QStringList{".XDW"});
    EXPECT_EQ(window->descriptions(), QStringList{"Quenor Dorvo Document"});

    window->setModified(true);
    window->setDocumentName("/tmp/songs/Live Set.XDW");
    EXPECT_EQ(window->windowTitle(), "Live Set.XDW - Quenor Dorvo");
    EXPECT_TRUE(window->isNamed());
    EXPECT_FALSE(window->isModified());
}

TEST_F(WorkspaceWindowTest, AboutBoxShowsThePaintedImageAtItsSize) {
    About box(window.get());
    EXPECT_EQ(box.objectName(), "About");
    EXPECT_EQ(box.windowTitle(), "About");
    EXPECT_EQ(box.parentWidget(), window.get());
    QLabel* label = box.findChild<QLabel*>("aboutLabel");
    ASSERT_EQ(label, box.aboutLabel());
    EXPECT_TRUE(label->hasScaledContents());
    EXPECT_EQ(label->pixmap().size(), QSize(460, 288));
    EXPECT_EQ(label->size(), QSize(460, 288));
    EXPECT_EQ(box.minimumSize(), QSize(460, 288));
    EXPECT_EQ(box.maximumSize(), QSize(460, 288));
    // The notices are painted on the image, so it differs from the plain one.
    EXPECT_NE(label->pixmap().toImage(), QPixmap(":/images/HostAbout.png").toImage());
}

} // namespace
