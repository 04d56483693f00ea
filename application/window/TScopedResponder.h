// What the facades that stand between the host and the user (message boxes, file dialogs) share:
// a responder that tests install to answer instead of the user, kept behind a lock, and a scope
// that installs one and puts the previous one back.
#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <functional>
#include <utility>

template <typename Signature> class TResponderSlot {
public:
    using Function = std::function<Signature>;

    // Any thread.
    Function get() const {
        QMutexLocker lock(&m_mutex);
        return m_function;
    }
    // Any thread: gives the responder it replaces.
    Function exchange(Function function) {
        QMutexLocker lock(&m_mutex);
        std::swap(m_function, function);
        return function;
    }

private:
    mutable QMutex m_mutex;
    Function m_function;
};

// Installs a responder of Facade (which has Responder and setResponder) for the lifetime of the
// object and puts the previous one back.
template <typename Facade> class TScopedResponder {
public:
    explicit TScopedResponder(typename Facade::Responder responder)
        : m_previous(Facade::setResponder(std::move(responder))) {}
    ~TScopedResponder() { Facade::setResponder(std::move(m_previous)); }

    TScopedResponder(const TScopedResponder&) = delete;
    TScopedResponder& operator=(const TScopedResponder&) = delete;

private:
    typename Facade::Responder m_previous;
};
