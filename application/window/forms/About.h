// The about box: the about image with the product's name, release and legal notices painted
// on it, shown at the image's size.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <memory>

namespace Ui {
class About;
}
class QLabel;

class About : public QDialog {
    Q_OBJECT
public:
    // GUI thread; the caller runs it modally.
    explicit About(QWidget* parent = nullptr);
    ~About() override;

    QLabel* aboutLabel() const;

    // "HostAbout.png" with the texts painted on; null when the image is missing.
    static QPixmap paintedImage();

private:
    std::unique_ptr<Ui::About> m_ui;
};
