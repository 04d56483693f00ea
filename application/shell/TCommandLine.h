// What the program was asked on its command line. The first plain argument is the document to
// open, as a file manager or the desktop's menu entry hands it over; "--" ends the options, so
// that a document whose name starts with a dash can be opened too.
#pragma once

#include <QString>
#include <QStringList>

class TCommandLine {
public:
    enum class Request { Run, Help, Version, ListComponents, Wrong };

    // arguments without the program's name. Options that the program does not know are left
    // to Qt (-platform, -display and the like) and never taken for the document.
    static TCommandLine parse(const QStringList& arguments);

    Request request() const { return m_request; }
    // The document to open; empty for none.
    const QString& document() const { return m_document; }
    // For Wrong: what was wrong, for the user.
    const QString& problem() const { return m_problem; }

    static QString usage();
    static QString versionText();

private:
    Request m_request = Request::Run;
    QString m_document;
    QString m_problem;
};
