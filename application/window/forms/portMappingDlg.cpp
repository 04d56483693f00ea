#include "portMappingDlg.h"

#include "WSPortTableItem.h"
#include "ui_portMappingDlg.h"

#include <QComboBox>
#include <QHeaderView>
#include <QSignalBlocker>

namespace {

constexpr int kIn = 0;
constexpr int kOut = 1;

} // namespace

portMappingDlg::portMappingDlg(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), m_ui(new Ui::portMappingDlg) {
    m_ui->setupUi(this);
    connect(m_ui->buttonOk, &QPushButton::clicked, this, &portMappingDlg::accept);
    connect(m_ui->buttonCancel, &QPushButton::clicked, this, &portMappingDlg::cancel);
    init();
}

portMappingDlg::~portMappingDlg() = default;

void portMappingDlg::init() {
    InitTable(m_ui->inputPortTable);
    InitTable(m_ui->outputPortTable);
}

void portMappingDlg::InitTable(QTableWidget* table) {
    table->verticalHeader()->hide();
    table->setContentsMargins(0, 0, 0, 0);
    QHeaderView* header = table->horizontalHeader();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Stretch);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    // Only the combos take the keyboard: a focused name cell would look chosen.
    table->setFocusPolicy(Qt::NoFocus);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

QTableWidget* portMappingDlg::table(int direction) const {
    return direction == kOut ? m_ui->outputPortTable : m_ui->inputPortTable;
}

QComboBox* portMappingDlg::systemCombo(int direction, int row) const {
    return qobject_cast<QComboBox*>(table(direction)->cellWidget(row, kSystemColumn));
}

QWidget* portMappingDlg::cancelButton() const {
    return m_ui->buttonCancel;
}

void portMappingDlg::fill(int direction, const QStringList& systemNames,
                          const QStringList& documentNames, const QList<int>& chosen) {
    QTableWidget* portTable = table(direction);
    portTable->setRowCount(0);
    m_maps[direction].clear();
    const QStringList entries = QStringList{tr("Not Assigned")} + systemNames;
    for (int i = 0; i < documentNames.size(); ++i) {
        const int choice = i < chosen.size() ? chosen.at(i) : -1;
        m_maps[direction].insert(i, choice);
        portTable->insertRow(i);
        portTable->setItem(i, kWorkspaceColumn, new WSPortTableItem(documentNames.at(i), i));
        auto* combo = new QComboBox(portTable);
        combo->setEditable(false);
        combo->addItems(entries);
        combo->setCurrentIndex(choice + 1);
        connect(combo, &QComboBox::currentIndexChanged, this, [this, direction, i] {
            if (direction == kOut)
                outputMappingChanged(i, kSystemColumn);
            else
                inputMappingChanged(i, kSystemColumn);
        });
        portTable->setCellWidget(i, kSystemColumn, combo);
    }
    // A closing row, so that the last port does not sit on the table's edge.
    const int last = portTable->rowCount();
    portTable->insertRow(last);
    for (int column : {kWorkspaceColumn, kSystemColumn}) {
        auto* filler = new QTableWidgetItem;
        filler->setFlags(Qt::NoItemFlags);
        portTable->setItem(last, column, filler);
    }
}

QList<int> portMappingDlg::choices(int direction) const {
    return m_maps[direction].values();
}

int portMappingDlg::documentIndex(int direction, int row) const {
    const auto* item =
        dynamic_cast<const WSPortTableItem*>(table(direction)->item(row, kWorkspaceColumn));
    return item ? item->index() : -1;
}

void portMappingDlg::inputMappingChanged(int row, int column) {
    mappingChanged(kIn, row, column);
}

void portMappingDlg::outputMappingChanged(int row, int column) {
    mappingChanged(kOut, row, column);
}

void portMappingDlg::mappingChanged(int direction, int row, int column) {
    const int index = documentIndex(direction, row);
    QComboBox* combo = systemCombo(direction, row);
    if (column != kSystemColumn || index < 0 || !combo)
        return;
    const int entry = combo->currentIndex();
    m_maps[direction][index] = entry - 1;
    if (entry <= 0)
        return;
    QTableWidget* portTable = table(direction);
    for (int other = 0; other < portTable->rowCount(); ++other) {
        const int otherIndex = documentIndex(direction, other);
        if (other == row || otherIndex < 0 || m_maps[direction].value(otherIndex) + 1 != entry)
            continue;
        m_maps[direction][otherIndex] = -1;
        if (QComboBox* otherCombo = systemCombo(direction, other)) {
            const QSignalBlocker quiet(otherCombo);
            otherCombo->setCurrentIndex(0);
        }
    }
}

void portMappingDlg::accept() {
    QDialog::accept();
}

void portMappingDlg::cancel() {
    reject();
}

void portMappingDlg::languageChange() {
    m_ui->retranslateUi(this);
}
