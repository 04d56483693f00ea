// Bringing one of the program's windows to the user's attention.
#pragma once

class QWidget;

namespace dorvo {

// A minimized window comes back as it was (maximized or normal); any other becomes the active
// window. Null is ignored.
void bringWindowForward(QWidget* window);

} // namespace dorvo
