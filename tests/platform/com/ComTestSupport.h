// Helpers of the component-object tests: captured warnings, registry entries written by hand and
// child programs.
#pragma once

#include "ProgramRun.h"

#include <dorvo/objbase.h>
#include <dorvo/winreg.h>

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace comtest {

// Collects what the code under test writes with qWarning while it exists.
class WarningCapture {
public:
    WarningCapture();
    ~WarningCapture();
    WarningCapture(const WarningCapture&) = delete;
    WarningCapture& operator=(const WarningCapture&) = delete;

    QString text() const { return m_messages.join(QLatin1Char('\n')); }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);

    QStringList m_messages;
    QtMessageHandler m_previous;
};

// Writes HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 with the given default value.
void registerInprocServer(REFCLSID clsid, const QString& path);
void registerInprocServerValue(REFCLSID clsid, DWORD type, const void* data, DWORD bytes);
void unregisterInprocServer(REFCLSID clsid);

// The default (empty valueName) or named text value of a key below HKEY_CLASSES_ROOT; false
// when the key or the value does not exist.
bool readClassesText(const QString& keyName, const QString& valueName, QString* text);

QString classKeyName(REFCLSID clsid);

using dorvo2test::ProgramResult;
using dorvo2test::runProgram;

// True while the shared library at path is loaded into this process.
bool isLibraryLoaded(const std::string& path);

} // namespace comtest
