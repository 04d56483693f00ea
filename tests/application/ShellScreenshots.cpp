// Shows the splash screen, the Workspace window (MIDI Thru tool bar docked, one icon per installed
// component, the first component's editor) and the about box on a real display and saves what
// the screen shows:
//   dorvo2_shell_screenshots OUTPUT_FOLDER
#include "About.h"
#include "ApplicationWindow.h"
#include "CVEXWrapper.h"
#include "CWrapContainer.h"
#include "ScreenCapture.h"
#include "SetupDlg.h"
#include "Splash.h"

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QSplashScreen>
#include <QWindow>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: dorvo2_shell_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(folder.path());

    std::unique_ptr<QSplashScreen> splash(dorvo::createSplashScreen());
    if (!splash)
        return 1;
    settle(500);
    if (!saveScreenOf(splash.get(), folder.filePath("splash.png")))
        return 1;
    splash.reset();

    ApplicationWindow window;
    window.setWindowTitle("Quenor Dorvo");
    window.resize(600, 400);
    window.yNewSession();
    // The new Workspace's setup dialog (nothing is chosen by default) would cover the window.
    window.setupDialog()->reject();
    // Whatever components are installed in the registry this program was given.
    if (const QList<TCatalogueEntry>* installed = window.catalogue())
        for (const TCatalogueEntry& entry : *installed)
            window.addComponent(entry, entry.name);
    window.thruToolBar()->show();
    window.show();
    settle(800);
    if (!saveScreenOf(&window, folder.filePath("workspace-window.png")))
        return 1;

    // The first component with a page shows its editor window.
    for (CVEXWrapper* component : window.components()) {
        if (!component->hasPropertyPage())
            continue;
        component->showEditor();
        settle(800);
        if (component->hasEditorWindow() &&
            !saveScreenOf(component->editorWindow(), folder.filePath("editor-window.png")))
            return 1;
        component->closeEditor(true);
        break;
    }

    About about(&window);
    about.show();
    settle(500);
    if (!saveScreenOf(&about, folder.filePath("about-box.png")))
        return 1;
    return 0;
}
