// Stand-ins for what components hand to the host, and a catcher for the warning channel.
#pragma once

#include <dorvo/dorvo2.h>

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <atomic>
#include <functional>
#include <vector>

namespace dorvo2test {

// A component's notification sink with its own reference count. Records each notification
// into a shared log under its name.
class TestSink : public IMPNotificationSink {
public:
    // The sink answers IUnknown and, when it offers one, the given sink interface.
    TestSink(std::vector<int>* log, int name, bool offersSinkInterface = true,
             const IID& sinkInterface = IID_IMPNotificationSink)
        : m_log(log), m_name(name), m_offersSinkInterface(offersSinkInterface),
          m_sinkInterface(sinkInterface) {}
    virtual ~TestSink() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) ||
            (m_offersSinkInterface && IsEqualIID(iid, m_sinkInterface))) {
            *out = static_cast<IMPNotificationSink*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_count; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_count; }

    HRESULT STDMETHODCALLTYPE OnNotify(const MPNOTIFICATION* notification) override {
        if (m_log)
            m_log->push_back(m_name);
        m_lastId = notification->id;
        if (m_onNotify)
            m_onNotify();
        return E_FAIL; // the host ignores what sinks answer
    }

    // References held by others (the sink lives on the test's stack, so it starts at 0).
    ULONG references() const { return m_count; }
    GUID lastId() const { return m_lastId; }
    void onNotify(std::function<void()> action) { m_onNotify = std::move(action); }

private:
    std::vector<int>* m_log;
    int m_name;
    bool m_offersSinkInterface;
    IID m_sinkInterface;
    std::atomic<ULONG> m_count{0};
    GUID m_lastId{};
    std::function<void()> m_onNotify;
};

// Collects what goes to the warning channel while it lives.
class WarningCapture {
public:
    WarningCapture() {
        m_previous = qInstallMessageHandler(&WarningCapture::handle);
        active() = this;
    }
    ~WarningCapture() {
        active() = nullptr;
        qInstallMessageHandler(m_previous);
    }
    const QStringList& messages() const { return m_messages; }
    // True when one message is "ASSERT: "<text>" in <file> (<some line>)".
    bool hasAssert(const QString& text, const QString& file) const {
        const QString prefix = QStringLiteral("ASSERT: \"%1\" in %2 (").arg(text, file);
        for (const QString& message : m_messages) {
            if (message.startsWith(prefix) && message.endsWith(QLatin1Char(')'))) {
                bool isNumber = false;
                message.mid(prefix.size()).chopped(1).toInt(&isNumber);
                if (isNumber)
                    return true;
            }
        }
        return false;
    }

private:
    static WarningCapture*& active() {
        static WarningCapture* capture = nullptr;
        return capture;
    }
    static void handle(QtMsgType, const QMessageLogContext&, const QString& message) {
        if (active())
            active()->m_messages.append(message);
    }

    QtMessageHandler m_previous = nullptr;
    QStringList m_messages;
};

} // namespace dorvo2test
