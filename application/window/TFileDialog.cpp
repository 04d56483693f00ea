#include "TFileDialog.h"

#include <QFileDialog>

namespace {

TResponderSlot<TFileDialog::Answer(const TFileDialog::Request&)> responder;

} // namespace

TFileDialog::Answer TFileDialog::ask(const Request& request) {
    if (const Responder current = responder.get())
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
    return responder.exchange(std::move(newResponder));
}
