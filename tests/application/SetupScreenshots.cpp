// Shows the setup dialog of a new Workspace on a real display, with a component chosen, ports
// checked and MIDI Thru on, and saves each of its three pages as the screen shows it; then opens
// a document made on another machine, whose ports are missing here, and saves the re-mapping
// dialog that comes up:
//   dorvo2_setup_screenshots OUTPUT_FOLDER
#include "ApplicationWindow.h"
#include "DocumentBytes.h"
#include "MidiPortsCheckListItem.h"
#include "ScreenCapture.h"
#include "SetupDlg.h"
#include "TUserMessage.h"
#include "portMappingDlg.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDataStream>
#include <QDir>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

namespace {

void checkFirstPorts(QTreeWidget* view, int count) {
    for (int row = 0; row < view->topLevelItemCount() && row < count; ++row) {
        if (auto* port = MidiPortsCheckListItem::from(view->topLevelItem(row)))
            port->setOn(true);
    }
}

// A document of another studio: two keyboards and a synthesizer that this machine lacks.
QByteArray documentOfAnotherStudio() {
    documenttest::Bytes bytes;
    bytes.header().vRect(QRect(QPoint(80, 60), QPoint(679, 459))).i32(0).i32(0);
    bytes.i32(2).uuid(QUuid("{5e1e0000-0000-4000-8000-000000000001}")).string("1;Studio Keys");
    bytes.uuid(QUuid("{5e1e0000-0000-4000-8000-000000000002}")).string("2;Drum Pads");
    bytes.i32(1).uuid(QUuid("{5e1e0000-0000-4000-8000-000000000003}")).string("1;Rack Synth");
    bytes.view(2).endOfComponents().vList(0).noThru();
    return bytes;
}

// Loads the document; the re-mapping dialog it brings up is saved once it shows, with the first
// keyboard assigned to this machine's first port.
bool saveRemapDialog(ApplicationWindow& window, const QString& path) {
    TScopedUserMessageResponder answer(
        [](const TUserMessage::Request&) { return QMessageBox::Ok; });
    bool saved = false;
    QTimer::singleShot(300, [&] {
        auto* dialog = qobject_cast<portMappingDlg*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (QComboBox* combo = dialog->systemCombo(0, 0))
            combo->setCurrentIndex(1);
        dialog->raise();
        dialog->activateWindow();
        settle(500);
        saved = saveScreenOf(dialog, path);
        dialog->accept();
    });
    QBuffer buffer;
    buffer.setData(documentOfAnotherStudio());
    buffer.open(QIODevice::ReadOnly);
    QDataStream stream(&buffer);
    window.loadFromStream(stream, false);
    if (!saved)
        std::fprintf(stderr, "the re-mapping dialog did not come up\n");
    return saved;
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
    const QSize setupSize = dialog->size();
    dialog->reject();
    if (!saveRemapDialog(window, folder.filePath("remap-ports.png")))
        return 1;
    std::printf("%dx%d\n", setupSize.width(), setupSize.height());
    return 0;
}
