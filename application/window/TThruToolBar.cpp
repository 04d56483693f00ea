#include "TThruToolBar.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

namespace {

// While the user still drags the floating bar, the new window flags wait this long.
constexpr int kDragRetryMs = 50;

} // namespace

TThruToolBar::TThruToolBar(QWidget* parent) : QDockWidget(tr("MIDI Thru"), parent) {
    setObjectName(QStringLiteral("MIDIThruToolBar"));
    setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);

    // The bar itself is the handle: dragging it by its label floats or docks it.
    auto* bar = new QWidget(this);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(4);
    layout->addSpacing(5);
    m_text = new QLabel(tr("MIDI Thru Ch."), bar);
    m_text->setObjectName(QStringLiteral("toolBarText"));
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layout->addWidget(m_text);
    m_channel = new QSpinBox(bar);
    m_channel->setRange(0, 16);
    m_channel->setSingleStep(1);
    m_channel->setSpecialValueText(tr("Original"));
    layout->addWidget(m_channel);
    layout->addSpacing(5);
    layout->addStretch(1);
    setTitleBarWidget(bar);
    auto* body = new QWidget(this);
    body->setFixedHeight(0);
    setWidget(body);

    connect(m_channel, &QSpinBox::valueChanged, this, &TThruToolBar::channelChanged);
    connect(this, &QDockWidget::topLevelChanged, this, &TThruToolBar::positionChanged);
    connect(this, &QDockWidget::dockLocationChanged, this, &TThruToolBar::positionChanged);
    toggleViewAction()->setVisible(false);
    hide();
}

void TThruToolBar::showForThru(bool thruOn) {
    if (!thruOn) {
        hide();
        return;
    }
    show();
    const int channel = m_channel->value();
    m_channel->setValue(0);
    m_channel->setValue(channel);
}

void TThruToolBar::positionChanged() {
    if (!isFloating()) {
        m_text->setText(tr("MIDI Thru Ch."));
        toggleViewAction()->setVisible(false);
        return;
    }
    if (windowFlags() & Qt::WindowStaysOnTopHint)
        return;
    // New window flags while the user still drags the bar would end the drag.
    if (QApplication::mouseButtons() != Qt::NoButton) {
        QTimer::singleShot(kDragRetryMs, this, &TThruToolBar::positionChanged);
        return;
    }
    const QPoint position = pos();
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::FramelessWindowHint |
                   Qt::WindowStaysOnTopHint);
    move(position);
    m_text->setText(tr("Ch."));
    resize(minimumSizeHint());
    show();
}
