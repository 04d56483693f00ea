#include "TFileDialog.h"

#include <QFileDialog>
#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex stateMutex;
TFileDialog::Responder responder;

} // namespace

TFileDialog::Answer TFileDialog::ask(const Request& request) {
    Responder current;
    {
        QMutexLocker lock(&stateMutex);
        current = responder;
    }
    if (current)
        return current(request);
    Answer answer{QString(), request.selectedFilter};
    if (request.kind == Kind::Open)
        answer.fileName = QFileDialog::getOpenFileName(
            request.parent, request.caption, request.start, request.filter, &answer.selectedFilter);
    else
        // The overwrite question is the document's own, asked after the extension is fixed.
        answer.fileName = QFileDialog::getSaveFileName(
            request.parent, request.caption, request.start, request.filter, &answer.selectedFilter,
            QFileDialog::DontConfirmOverwrite);
    return answer;
}

TFileDialog::Responder TFileDialog::setResponder(Responder newResponder) {
    QMutexLocker lock(&stateMutex);
    Responder previous = std::move(responder);
    responder = std::move(newResponder);
    return previous;
}
