// What the screenshot programs share: letting a real display catch up, and saving what it shows
// of a window.
#pragma once

#include <QString>

class QWidget;

// Runs the event loop for `milliseconds`, so that the window system maps and paints.
void settle(int milliseconds);
// Saves the screen's pixels of the widget's window as a PNG; false, with a line on stderr, when
// that fails.
bool saveScreenOf(QWidget* widget, const QString& path);
