// The port re-mapping dialog: for each document port of the Workspace, per direction, the
// machine port it stands for, chosen in a combo of the machine's ports. One machine port is
// chosen for at most one document port of a direction.
#pragma once

#include <QDialog>
#include <QList>
#include <QMap>
#include <QStringList>
#include <array>
#include <memory>

namespace Ui {
class portMappingDlg;
}
class QComboBox;
class QTableWidget;

class portMappingDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWorkspaceColumn = 0;
    static constexpr int kSystemColumn = 1;

    // GUI thread.
    explicit portMappingDlg(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~portMappingDlg() override;

    // One direction's table (0 input, 1 output): a row per document port with its name and
    // the position of its machine port in systemNames (-1 for none).
    void fill(int direction, const QStringList& systemNames, const QStringList& documentNames,
              const QList<int>& chosen);
    // Per direction, per document port: the machine port chosen, -1 for none.
    QList<int> choices(int direction) const;

    QTableWidget* table(int direction) const;
    QComboBox* systemCombo(int direction, int row) const;
    QWidget* cancelButton() const;

public slots:
    virtual void init();
    virtual void InitTable(QTableWidget* table);
    virtual void inputMappingChanged(int row, int column);
    virtual void outputMappingChanged(int row, int column);
    void accept() override;
    virtual void cancel();
    virtual void languageChange();

private:
    void mappingChanged(int direction, int row, int column);
    int documentIndex(int direction, int row) const;

    std::unique_ptr<Ui::portMappingDlg> m_ui;
    std::array<QMap<int, int>, 2> m_maps;
};
