#include "HostingTestSupport.h"

#include "ComTestSupport.h"

#include <gtest/gtest.h>

namespace hostingtest {

bool registerRecordingComponent() {
    static const bool registered = [] {
        const comtest::ProgramResult result =
            comtest::runProgram(DORVO2_REGSVR, {RECORDING_COMPONENT});
        if (result.exitCode != 0)
            ADD_FAILURE() << "registering the recording component failed:\n" << result.output;
        return result.exitCode == 0;
    }();
    return registered;
}

TCatalogueEntry recordingEntry(DWORD kind) {
    TCatalogueEntry entry;
    entry.kind = kind;
    entry.name = QString::fromUtf16(kRecordingComponentName);
    entry.classId = CLSID_RecordingComponent;
    return entry;
}

RecordingControl::RecordingControl() {
    if (!registerRecordingComponent())
        return;
    const HRESULT result =
        CoGetClassObject(CLSID_RecordingComponent, 3, nullptr, IID_IRecordingControl,
                         reinterpret_cast<void**>(&m_control));
    EXPECT_EQ(result, S_OK);
    apply();
    takeLog();
}

RecordingControl::~RecordingControl() {
    if (!m_control)
        return;
    behaviour = RecordingBehaviour();
    apply();
    m_control->Release();
}

void RecordingControl::apply() {
    if (m_control)
        m_control->SetBehaviour(&behaviour);
}

QStringList RecordingControl::takeLog() {
    LPWSTR text = nullptr;
    if (!m_control || FAILED(m_control->TakeLog(&text)))
        return {};
    const QString log = QString::fromUtf16(text);
    CoTaskMemFree(text);
    return log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

long RecordingControl::liveObjects() {
    return m_control ? m_control->LiveObjects() : -1;
}

void setText(WCHAR (&field)[260], const QString& text) {
    const qsizetype length = std::min<qsizetype>(text.size(), 259);
    std::copy(text.utf16(), text.utf16() + length, field);
    field[length] = 0;
}

} // namespace hostingtest
