// Prints the manual's chapters into one A4 PDF: a title page with the contents, then every
// chapter from a page of its own, each page numbered in its footer with the chapter's title.
#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <memory>
#include <vector>

class QPainter;
class TMarkdownChapter;

class TManualPrinter {
public:
    TManualPrinter(QString title, QString subtitle);

    // Writes the PDF to path, in place only once it is complete; false, with error() saying why,
    // when it cannot be written.
    bool print(const std::vector<std::unique_ptr<TMarkdownChapter>>& chapters, const QString& path);
    const QString& error() const { return m_error; }

private:
    void drawTitlePage(QPainter& painter, const QRectF& page,
                       const std::vector<std::unique_ptr<TMarkdownChapter>>& chapters,
                       const QList<int>& firstPages) const;
    void drawFooter(QPainter& painter, const QRectF& footer, const QString& chapter,
                    int pageNumber) const;

    const QString m_title;
    const QString m_subtitle;
    QString m_error;
};
