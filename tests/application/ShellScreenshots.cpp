// Shows the splash screen, the Workspace window (MIDI Thru tool bar docked, one icon per installed
// component, the first component's editor), the about box and, where the Demo Synth is
// installed, a Recall of three Demo Synths (its confirmation, and its progress in the middle of
// the transfers) on a real display and saves what the screen shows:
//   dorvo2_shell_screenshots OUTPUT_FOLDER
#include "About.h"
#include "ApplicationWindow.h"
#include "CSyncMainDlg.h"
#include "CVEXWrapper.h"
#include "CWrapContainer.h"
#include "ConfirmSynchronization.h"
#include "ScreenCapture.h"
#include "SetupDlg.h"
#include "ShellTestSupport.h"
#include "Splash.h"
#include "TUserMessage.h"
#include "TVirtualMIDIPortAccessor.h"
#include "cancelTotalRecall.h"
#include "singleProgress.h"

#include <dorvo/virtualmidi.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplashScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <memory>

namespace {

namespace vm = dorvo::virtualmidi;

bool choose(QComboBox* combo, const QString& text) {
    if (!combo || !dorvo2test::eventLoopUntil([&] { return combo->findText(text) >= 0; }, 3000))
        return false;
    combo->setCurrentIndex(combo->findText(text));
    return true;
}

// Three Demo Synths in recall groups 2, 1 and 0 on the simulated synthesizer, whose long messages
// take their time, so that the progress dialog can be seen while the second one's dumps travel:
// the first done, the last waiting.
bool saveRecallScreens(ApplicationWindow& window, const QDir& folder) {
    const TCatalogueEntry* synth = nullptr;
    for (const TCatalogueEntry& entry : *window.catalogue())
        if (entry.name == "Demo Synth")
            synth = &entry;
    if (!synth)
        return true;
    window.eraseCurrentDocument();
    TVirtualMIDIPortAccessor& ports = *window.portAccessor();
    const QString device = QString::fromLatin1(vm::kDemoSynthName);
    TVirtualMIDIPortAccessor::Selection selection;
    for (int direction : {0, 1})
        selection[direction] = {dorvo2test::machineIndex(ports, direction, vm::kDemoSynthName)};
    ports.applyPortSelection(selection, {});
    const QList<QPair<const char*, int>> synths = {{"Lead", 2}, {"Bass", 1}, {"Pads", 0}};
    for (const auto& [name, group] : synths) {
        CVEXWrapper* component = window.addComponent(*synth, name);
        if (!component)
            return false;
        component->showEditor();
        QWidget* page = component->editorWindow();
        if (!page || !choose(page->findChild<QComboBox*>("inputPort"), device) ||
            !choose(page->findChild<QComboBox*>("outputPort"), device))
            return false;
        page->findChild<QSpinBox*>("recallGroup")->setValue(group);
        component->closeEditor(true);
    }
    // Within the half second the editor waits for each answer.
    vm::setLongMessageDuration(vm::kDemoSynthName, std::chrono::milliseconds(250));

    bool confirmSaved = false;
    bool progressSaved = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* confirm = qobject_cast<ConfirmSynchronization*>(modal);
            confirm && !confirmSaved) {
            confirmSaved = true;
            settle(500);
            confirmSaved = saveScreenOf(confirm, folder.filePath("recall-confirm.png"));
            confirm->accept();
        }
        auto* progress = qobject_cast<CSyncMainDlg*>(modal);
        if (!progress)
            return;
        // A run that fails would wait for the user: this one ends it.
        QPushButton* cancel = progress->buttons()->buttonCancel();
        if (cancel->text() == "OK" || !progress->buttons()->buttonContinue()->isHidden()) {
            cancel->click();
            return;
        }
        const auto lines = progress->findChildren<singleProgress*>();
        if (progressSaved || lines.size() != 3 || lines[0]->buttonCancel()->text() != "Done" ||
            lines[1]->progressBar()->value() < 1)
            return;
        progressSaved = true;
        settle(150);
        progressSaved = saveScreenOf(progress, folder.filePath("recall-progress.png"));
    });
    watch.start();
    window.totalRecall();
    watch.stop();
    vm::setLongMessageDuration(vm::kDemoSynthName, std::chrono::milliseconds(0));
    if (!confirmSaved || !progressSaved)
        std::fprintf(stderr, "the Recall dialogs were not saved\n");
    return confirmSaved && progressSaved;
}

} // namespace

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
    about.close();
    return saveRecallScreens(window, folder) ? 0 : 1;
}
