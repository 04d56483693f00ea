// Shows the setup dialog of a new Workspace on a real display, with a component chosen, ports
// checked and MIDI Thru on, and saves each of its three pages as the screen shows it:
//   dorvo2_setup_screenshots OUTPUT_FOLDER
#include "ApplicationWindow.h"
#include "MidiPortsCheckListItem.h"
#include "ScreenCapture.h"
#include "SetupDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <cstdio>

namespace {

void checkFirstPorts(QTreeWidget* view, int count) {
    for (int row = 0; row < view->topLevelItemCount() && row < count; ++row) {
        if (auto* port = MidiPortsCheckListItem::from(view->topLevelItem(row)))
            port->setOn(true);
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: dorvo2_setup_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(folder.path());

    ApplicationWindow window;
    window.resize(600, 400);
    window.show();
    // A new Workspace without defaults: the dialog comes up on its Workspace page.
    window.yNewSession();
    SetupDlg* dialog = window.setupDialog();
    if (!dialog || !dialog->isVisible()) {
        std::fprintf(stderr, "the setup dialog did not open\n");
        return 1;
    }
    auto* available = dialog->findChild<QListWidget*>("deviceEditorList");
    if (available && available->count() > 0) {
        available->item(0)->setSelected(true);
        dialog->left2Right();
        dialog->left2Right();
    }
    checkFirstPorts(dialog->findChild<QTreeWidget*>("inputPortsView"), 2);
    checkFirstPorts(dialog->findChild<QTreeWidget*>("outputPortsView"), 1);
    dialog->findChild<QGroupBox*>("midiThruGroup")->setChecked(true);
    dialog->findChild<QComboBox*>("thruInPortCombo")->setCurrentIndex(1);
    dialog->findChild<QComboBox*>("thruOutPortCombo")->setCurrentIndex(1);

    auto* tabs = dialog->findChild<QTabWidget*>("setupTab");
    const char* const files[] = {"setup-workspace.png", "setup-midi-settings.png",
                                 "setup-preferences.png"};
    for (int page = 0; page < 3; ++page) {
        tabs->setCurrentIndex(page);
        dialog->raise();
        dialog->activateWindow();
        settle(500);
        if (!saveScreenOf(dialog, folder.filePath(files[page])))
            return 1;
    }
    std::printf("%dx%d\n", dialog->width(), dialog->height());
    dialog->reject();
    return 0;
}
