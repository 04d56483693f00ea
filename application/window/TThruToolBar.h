// The MIDI Thru tool bar: a dockable bar with the channel box ("Original" or 1-16) that floats
// as a small stays-on-top window when the user drags it off the window.
#pragma once

#include <QDockWidget>

class QLabel;
class QSpinBox;

class TThruToolBar : public QDockWidget {
    Q_OBJECT
public:
    explicit TThruToolBar(QWidget* parent);

    QSpinBox* channelBox() const { return m_channel; }
    QLabel* text() const { return m_text; }

    // Shows the bar and hands the box's channel over again (the routes just made start on their
    // own channels), or hides it.
    void showForThru(bool thruOn);
    // Docked: the long label; floating: the short one, as a frameless stays-on-top window once
    // the user let go of it.
    void positionChanged();

signals:
    // 0 for "Original".
    void channelChanged(int channel);

private:
    QLabel* m_text = nullptr;
    QSpinBox* m_channel = nullptr;
};
