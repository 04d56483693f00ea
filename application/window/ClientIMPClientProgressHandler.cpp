#include "ClientIMPClientProgressHandler.h"

#include "CProgressMarshaller.h"
#include "DorvoAssert.h"
#include "GuiThread.h"
#include "TSyncThread.h"
#include "cancelTotalRecall.h"
#include "singleProgress.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <algorithm>
#include <climits>

namespace {

bool onGuiThread() {
    QThread* gui = dorvo::guiThread();
    if (!gui && QCoreApplication::instance())
        gui = QCoreApplication::instance()->thread();
    return QThread::currentThread() == gui;
}

} // namespace

ClientIMPClientProgressHandler::ClientIMPClientProgressHandler(singleProgress* line,
                                                               cancelTotalRecall* dialog,
                                                               LONG* syncCounter, bool* syncError,
                                                               bool lastGroup, QObject* parent)
    : QObject(parent), m_line(line), m_dialog(dialog), m_syncCounter(syncCounter),
      m_syncError(syncError), m_lastGroup(lastGroup) {
    DORVO_CHECK_TEXT(m_syncCounter && (0 < *m_syncCounter) && m_syncError,
                     "m_plSyncCounter && ( 0 < *m_plSyncCounter ) && pbSyncError");
}

HRESULT ClientIMPClientProgressHandler::ReportProgress(DWORD, DWORD progress, DWORD total,
                                                       LPCWSTR message) {
    const QString text = message ? QString::fromUtf16(message) : QString();
    if (onGuiThread())
        guiUpdate(CProgressMarshaller::Progress, text, progress, total);
    else
        new CProgressMarshaller(this, CProgressMarshaller::Progress, text, progress, total);
    return S_OK;
}

HRESULT ClientIMPClientProgressHandler::AbortProgress(DWORD, HRESULT code) {
    if (m_syncThread)
        m_syncThread->requestStop(code);
    return S_OK;
}

void ClientIMPClientProgressHandler::guiUpdate(int kind, const QString& message, DWORD progress,
                                               DWORD total) {
    if (kind == CProgressMarshaller::Progress)
        showProgress(message, progress, total);
    else
        finishLine(kind);
}

void ClientIMPClientProgressHandler::showProgress(const QString& message, DWORD progress,
                                                  DWORD total) {
    auto* line = qobject_cast<singleProgress*>(m_line.data());
    if (!line)
        return;
    line->progressLabel()->setText(message);
    // The bar counts in int; larger numbers keep their proportion, and progress never passes
    // the total.
    const DWORD scale = total > DWORD(INT_MAX) ? total / DWORD(INT_MAX) + 1 : 1;
    const int scaledTotal = int(total / scale);
    line->progressBar()->setRange(0, scaledTotal);
    line->progressBar()->setValue(std::min(int(std::min(progress, total) / scale), scaledTotal));
}

void ClientIMPClientProgressHandler::finishLine(int kind) {
    if (auto* line = qobject_cast<singleProgress*>(m_line.data())) {
        QPushButton* button = line->buttonCancel();
        button->setEnabled(false);
        button->show();
        if (kind == CProgressMarshaller::Done)
            button->setText(tr("Done"));
        else if (kind == CProgressMarshaller::Failed)
            button->setText(tr("Failed"));
        else
            button->setText(tr("Canceled"));
    }
    if (kind == CProgressMarshaller::Failed && m_syncError)
        *m_syncError = true;
    // A second report of the same end must not finish the group early.
    if (!m_syncCounter || *m_syncCounter <= 0)
        return;
    if (--*m_syncCounter == 0)
        finishGroup();
}

void ClientIMPClientProgressHandler::finishGroup() {
    auto* dialog = qobject_cast<cancelTotalRecall*>(m_dialog.data());
    if (!dialog)
        return;
    if (m_syncError && *m_syncError) {
        if (m_lastGroup)
            dialog->buttonCancel()->setText(tr("OK"));
        else
            dialog->buttonContinue()->show();
        return;
    }
    if (auto* progressDialog = qobject_cast<QDialog*>(dialog->window()))
        progressDialog->accept();
}
