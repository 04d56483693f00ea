#include "GuiThread.h"

#include <QThread>
#include <atomic>

namespace {
std::atomic<QThread*> recorded{nullptr};
}

namespace dorvo {

void recordGuiThread() {
    QThread* expected = nullptr;
    recorded.compare_exchange_strong(expected, QThread::currentThread());
}

QThread* guiThread() {
    return recorded.load();
}

} // namespace dorvo
