// Lets Return and Enter pressed in a list box reach the dialog (its default button) instead of
// being taken by the list: such key presses are marked not accepted, and every event still
// goes on to the list.
#pragma once

#include <QObject>

class KeyPressEater : public QObject {
    Q_OBJECT
public:
    explicit KeyPressEater(QObject* parent = nullptr) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
