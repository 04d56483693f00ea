// Stand-ins for what components hand to the host, and a catcher for the warning channel.
#pragma once

#include <dorvo/dorvo2.h>

#include <QRegularExpression>
#include <QStringList>
#include <functional>
#include <vector>

namespace dorvo2test {

// A component's sink, on the test's stack (so its count starts at 0). It answers IUnknown and,
// when it offers one, the given sink interface, and logs its name on each notification.
class TestSink : public IMPNotificationSink {
public:
    TestSink(std::vector<int>* log, int name, const IID* sinkInterface = &IID_IMPNotificationSink)
        : m_log(log), m_name(name), m_sinkInterface(sinkInterface) {}
    virtual ~TestSink() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) &&
            !(m_sinkInterface && IsEqualIID(iid, *m_sinkInterface)))
            return E_NOINTERFACE;
        *out = static_cast<IMPNotificationSink*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE OnNotify(const MPNOTIFICATION* notification) override {
        if (m_log)
            m_log->push_back(m_name);
        lastId = notification->id;
        if (onNotify)
            onNotify();
        return E_FAIL; // the host ignores what sinks answer
    }

    ULONG references = 0;
    GUID lastId{};
    std::function<void()> onNotify;

private:
    std::vector<int>* m_log;
    int m_name;
    const IID* m_sinkInterface;
};

// Collects what goes to the warning channel while it lives.
class WarningCapture {
public:
    WarningCapture() : m_previous(qInstallMessageHandler(&handle)) { active() = this; }
    ~WarningCapture() {
        active() = nullptr;
        qInstallMessageHandler(m_previous);
    }
    // True when a message reads exactly "ASSERT: "<text>" in <file> (<line>)".
    bool hasAssert(const QString& text, const QString& file) const {
        const QRegularExpression form(QStringLiteral("^ASSERT: \"%1\" in %2 \\(\\d+\\)$")
                                          .arg(QRegularExpression::escape(text), file));
        return messages.indexOf(form) >= 0;
    }
    QStringList messages;

private:
    static WarningCapture*& active() {
        static WarningCapture* capture = nullptr;
        return capture;
    }
    static void handle(QtMsgType, const QMessageLogContext&, const QString& message) {
        if (active())
            active()->messages.append(message);
    }
    QtMessageHandler m_previous;
};

} // namespace dorvo2test
