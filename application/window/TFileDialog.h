// Every file name the host asks the user for goes through here. In the program it is the
// toolkit's file dialog; tests install a responder that sees each request and answers it.
#pragma once

#include "TScopedResponder.h"

#include <QString>

class QWidget;

class TFileDialog {
public:
    enum class Kind { Open, Save };

    struct Request {
        Kind kind;
        QWidget* parent;
        QString caption;
        // The directory (open) or the proposed file name (save) the dialog starts with.
        QString start;
        // Filters joined with ";;".
        QString filter;
        QString selectedFilter;
    };

    struct Answer {
        // Empty when the user cancelled.
        QString fileName;
        QString selectedFilter;
    };

    using Responder = std::function<Answer(const Request&)>;

    // GUI thread: a modal dialog, or the responder's answer.
    static Answer ask(const Request& request);

    // Any thread: installs a responder (an empty one brings the dialogs back) and gives the one
    // it replaces.
    static Responder setResponder(Responder responder);
};

using TScopedFileDialogResponder = TScopedResponder<TFileDialog>;
