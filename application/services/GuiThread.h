// The identity of the thread that runs the Workspace window, recorded once by the window's
// constructor; calls that arrive on other threads compare with it and are carried over.
#pragma once

class QThread;

namespace dorvo {

// GUI thread: records the calling thread unless one is recorded already.
void recordGuiThread();
// Any thread: the recorded thread, or null before the first Workspace window exists.
QThread* guiThread();

} // namespace dorvo
