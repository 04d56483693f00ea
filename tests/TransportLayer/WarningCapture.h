// Collects what the code under test prints on Qt's warning channel, for tests of its checks.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <mutex>

class WarningCapture {
public:
    WarningCapture() {
        instance() = this;
        m_previous = qInstallMessageHandler(&WarningCapture::handle);
    }
    ~WarningCapture() {
        qInstallMessageHandler(m_previous);
        instance() = nullptr;
    }

    QStringList messages() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }
    // The failed-check texts, i.e. what stands in quotes of "ASSERT: "..." in <module> (<line>)".
    QStringList checks(const QString& module) const {
        QStringList found;
        for (const QString& message : messages()) {
            const QString prefix = QStringLiteral("ASSERT: \"");
            const QString suffix = QStringLiteral("\" in ") + module + QStringLiteral(" (");
            const qsizetype end = message.indexOf(suffix);
            if (message.startsWith(prefix) && end > 0)
                found.append(message.mid(prefix.size(), end - prefix.size()));
        }
        return found;
    }

private:
    static WarningCapture*& instance() {
        static WarningCapture* current = nullptr;
        return current;
    }
    static void handle(QtMsgType, const QMessageLogContext&, const QString& message) {
        if (WarningCapture* capture = instance()) {
            std::lock_guard<std::mutex> lock(capture->m_mutex);
            capture->m_messages.append(message);
        }
    }

    mutable std::mutex m_mutex;
    QStringList m_messages;
    QtMessageHandler m_previous = nullptr;
};
