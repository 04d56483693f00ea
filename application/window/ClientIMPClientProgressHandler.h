// What a synchronizing component reports its progress to. Reports from the component's worker
// thread cross to the GUI thread as posted events (CProgressMarshaller); there the handler
// updates the component's progress line and, when the run ends, counts the group's unfinished
// synchronizations down and closes the progress dialog or leaves it open after a failure.
#pragma once

#include <dorvo/dorvo2.h>

#include <QObject>
#include <QPointer>

class TSyncThread;
class cancelTotalRecall;
class singleProgress;

class ClientIMPClientProgressHandler : public QObject, public IMPClientProgressHandler {
    Q_OBJECT
public:
    // GUI thread. The counter and the flag belong to the group's run and outlive the handler;
    // lastGroup chooses how a failed run ends (the dialog's button becomes "OK", else
    // "Continue" is shown).
    ClientIMPClientProgressHandler(singleProgress* line, cancelTotalRecall* dialog,
                                   LONG* syncCounter, bool* syncError, bool lastGroup,
                                   QObject* parent = nullptr);

    // Synchronization worker or GUI thread: the message (null gives an empty one) and the
    // progress of total on the line; S_OK.
    HRESULT STDMETHODCALLTYPE ReportProgress(DWORD ignored, DWORD progress, DWORD total,
                                             LPCWSTR message) override;
    // Synchronization worker: while the run goes on, the first call records code as its
    // result and asks the component to cancel; S_OK.
    HRESULT STDMETHODCALLTYPE AbortProgress(DWORD ignored, HRESULT code) override;

    // GUI thread: the worker whose reports this handler takes.
    void setSyncThread(TSyncThread* thread) { m_syncThread = thread; }

    // What a report of each kind does; kinds as CProgressMarshaller's.
    void guiUpdate(int kind, const QString& message, DWORD progress, DWORD total);

private:
    void showProgress(const QString& message, DWORD progress, DWORD total);
    void finishLine(int kind);
    void finishGroup();

    QPointer<QWidget> m_line;
    QPointer<QWidget> m_dialog;
    LONG* const m_syncCounter;
    bool* const m_syncError;
    const bool m_lastGroup;
    TSyncThread* m_syncThread = nullptr;
};
