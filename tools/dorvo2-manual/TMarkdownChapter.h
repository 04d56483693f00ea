// One chapter of the manual: a Markdown file read into a text document, with the images it
// names read from the file's own folder, styled for print and laid out on pages of a given size.
#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QTextDocument>

class QPaintDevice;

class TMarkdownChapter {
public:
    TMarkdownChapter();
    TMarkdownChapter(const TMarkdownChapter&) = delete;
    TMarkdownChapter& operator=(const TMarkdownChapter&) = delete;

    // Reads the file and every image it names; false, with error() saying what is missing, when
    // one of them cannot be read.
    bool load(const QString& path);
    const QString& error() const { return m_error; }

    // The text of the chapter's first heading, else the file's name without its suffix.
    const QString& title() const { return m_title; }

    // Lays the chapter out for the device on pages of pageSize (device pixels): images show at
    // three quarters of their size on a screen, smaller where a page is too small for that.
    // Returns the number of pages.
    int layOut(QPaintDevice* device, const QSizeF& pageSize);
    QTextDocument& document() { return m_document; }

private:
    struct Image {
        int position = 0; // of the image's character in the document
        QSize size;       // of the picture shown, in pixels
    };

    bool readImages(const QString& path);
    void style();
    void fitImages(qreal maximumWidth, qreal maximumHeight);

    QTextDocument m_document;
    QList<Image> m_images;
    QString m_title;
    QString m_error;
};
