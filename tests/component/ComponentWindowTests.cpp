// The Workspace window as the component build compiles it: the outer application keeps the
// documents, so the File menu imports and exports; there is no MIDI Thru; the texts say "Dorvo";
// the preferences live apart from the program's.
#include "ApplicationWindow.h"
#include "PreferenceKeys.h"
#include "TUserMessage.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>

namespace {

QStringList actionTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

TEST(ComponentWindowTest, MenusTitlesAndSettingsOfTheComponentBuild) {
    ApplicationWindow window(nullptr, nullptr, nullptr);
    EXPECT_TRUE(window.isReady()) << "made for the outer application, ready at once";
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    const QMenu* file = menus[0]->menu();
    EXPECT_EQ(actionTexts(file), (QStringList{"&Import...", "&Export...", "-", "&Setup..."}));
    EXPECT_EQ(file->actions()[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I));
    EXPECT_EQ(file->actions()[1]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_EQ(actionTexts(menus[3]->menu()).last(), "&About Dorvo");
    EXPECT_EQ(window.thruToolBar(), nullptr);
    EXPECT_EQ(window.thruChannelBox(), nullptr);
    window.showThruToolBar(true); // a document with Thru on changes nothing here
    EXPECT_EQ(window.applicationName(), "Dorvo");
    EXPECT_EQ(TUserMessage::applicationTitle(), "Dorvo");
    EXPECT_STREQ(Preferences::kProduct, "Dorvo2Proxy");
    EXPECT_EQ(Preferences::kPreferencesPage, "/preferences64/PreferencesPage/");
    EXPECT_EQ(window.callPageHost(nullptr, MPPAGEHOST_SHOWAGAIN, nullptr), 0)
        << "no page-hosting interface to call";
    EXPECT_EQ(window.displayEditor(nullptr), E_FAIL);
}

} // namespace
