// The splash screen of the program's start: the splash image with the product's name and
// release painted on.
#pragma once

#include <QPixmap>

class QSplashScreen;

namespace dorvo {

// "HostSplash.png" with "Dorvo V2.3.1" centred near its foot; null without the image.
QPixmap paintedSplashImage();
// GUI thread: a shown splash screen, or null when there is no image.
QSplashScreen* createSplashScreen();

} // namespace dorvo
