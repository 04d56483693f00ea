#include "TMarkdownChapter.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPaintDevice>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>
#include <algorithm>

namespace {

// Lengths in a text document (image sizes, margins, borders, indents) are in pixels of a 96 dpi
// screen; its layout scales them to the device.
constexpr qreal kDocumentDpi = 96.0;
// Screenshots show at three quarters of their size on a screen, and no image takes more than
// the text's width or this part of a page's height, so that it leaves room for its text.
constexpr qreal kImageScale = 0.75;
constexpr qreal kImageHeightShare = 0.6;

const QColor kHeadingColour(44, 52, 94);
const QColor kCodeGround(238, 239, 243);
const QColor kTableRule(150, 152, 165);

QFont bodyFont() {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(10);
    return font;
}

QString monospaceFamily() {
    return QStringLiteral("DejaVu Sans Mono");
}

bool isCode(const QTextBlock& block) {
    const QTextBlockFormat format = block.blockFormat();
    return block.isValid() &&
           (format.hasProperty(QTextFormat::BlockCodeFence) || format.nonBreakableLines());
}

// The picture without the rows and columns at its edges that are all the colour of its bottom
// right corner: a screenshot of a whole screen keeps only the windows on it.
QImage trimmed(const QImage& image) {
    const QRgb ground = image.pixel(image.width() - 1, image.height() - 1);
    const auto plain = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (image.pixel(x, y) != ground)
                    return false;
        return true;
    };
    QRect kept = image.rect();
    while (kept.height() > 1 && plain(kept.left(), kept.bottom(), kept.right(), kept.bottom()))
        kept.setBottom(kept.bottom() - 1);
    while (kept.height() > 1 && plain(kept.left(), kept.top(), kept.right(), kept.top()))
        kept.setTop(kept.top() + 1);
    while (kept.width() > 1 && plain(kept.right(), kept.top(), kept.right(), kept.bottom()))
        kept.setRight(kept.right() - 1);
    while (kept.width() > 1 && plain(kept.left(), kept.top(), kept.left(), kept.bottom()))
        kept.setLeft(kept.left() + 1);
    return image.copy(kept);
}

} // namespace

TMarkdownChapter::TMarkdownChapter() {
    m_document.setDefaultFont(bodyFont());
    m_document.setDocumentMargin(0);
    m_document.setIndentWidth(22);
}

bool TMarkdownChapter::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    m_document.setMarkdown(QString::fromUtf8(file.readAll()));
    m_title = QFileInfo(path).completeBaseName();
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() > 0 && !block.text().trimmed().isEmpty()) {
            m_title = block.text().trimmed();
            break;
        }
    }
    if (!readImages(path))
        return false;
    style();
    return true;
}

bool TMarkdownChapter::readImages(const QString& path) {
    const QDir folder = QFileInfo(path).absoluteDir();
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            // "picture.png#trim" shows the picture without its plain edges (trimmed()).
            const QString name = fragment.charFormat().toImageFormat().name();
            const QString option = name.section(QLatin1Char('#'), 1);
            const QString file = folder.filePath(name.section(QLatin1Char('#'), 0, 0));
            QImage image(file);
            if (image.isNull()) {
                m_error = QStringLiteral("%1: the image \"%2\" cannot be read (%3)")
                              .arg(path, name, file);
                return false;
            }
            if (option == QLatin1String("trim")) {
                image = trimmed(image);
            } else if (!option.isEmpty()) {
                m_error = QStringLiteral("%1: the image \"%2\" asks for \"%3\"; only \"trim\" "
                                         "is known")
                              .arg(path, name, option);
                return false;
            }
            m_document.addResource(QTextDocument::ImageResource, QUrl(name), image);
            for (int i = 0; i < fragment.length(); ++i)
                m_images.append({fragment.position() + i, image.size()});
        }
    }
    return true;
}

void TMarkdownChapter::style() {
    QTextCursor cursor(&m_document);
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        QTextCharFormat characters;
        cursor.setPosition(block.position());
        cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
        if (format.headingLevel() > 0) {
            format.setTopMargin(format.headingLevel() == 1 ? 0 : 14);
            format.setBottomMargin(format.headingLevel() == 1 ? 10 : 5);
            characters.setForeground(kHeadingColour);
            cursor.mergeCharFormat(characters);
        } else if (isCode(block)) {
            // One block per line: the space goes above the first and below the last.
            format.setBackground(kCodeGround);
            format.setLeftMargin(format.leftMargin() + 6);
            format.setTopMargin(isCode(block.previous()) ? 0 : 4);
            format.setBottomMargin(isCode(block.next()) ? 0 : 8);
            characters.setFontFamilies(QStringList{monospaceFamily()});
            characters.setFontPointSize(8.5);
            cursor.mergeCharFormat(characters);
        } else if (block.text() == QString(QChar::ObjectReplacementCharacter)) {
            // A paragraph that holds only a picture shows it centred.
            format.setAlignment(Qt::AlignHCenter);
            format.setTopMargin(6);
            format.setBottomMargin(10);
        } else if (format.topMargin() > 0 || format.bottomMargin() > 0) {
            // A paragraph (list items have no margins of their own).
            format.setTopMargin(2);
            format.setBottomMargin(6);
        }
        cursor.setBlockFormat(format);
    }
    // Inline code in the same face as the code blocks.
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().fontFixedPitch())
                continue;
            QTextCharFormat characters;
            characters.setFontFamilies(QStringList{monospaceFamily()});
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(characters);
        }
    }
    for (QTextFrame* frame : m_document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        format.setBorder(1);
        format.setBorderBrush(kTableRule);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderCollapse(true);
        format.setCellPadding(3);
        format.setCellSpacing(0);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        format.setTopMargin(2);
        format.setBottomMargin(8);
        format.setHeaderRowCount(1); // repeated on every page that the table reaches
        table->setFormat(format);
    }
}

int TMarkdownChapter::layOut(QPaintDevice* device, const QSizeF& pageSize) {
    m_document.documentLayout()->setPaintDevice(device);
    const qreal toDocument = kDocumentDpi / device->logicalDpiY();
    fitImages(pageSize.width() * toDocument, pageSize.height() * kImageHeightShare * toDocument);
    m_document.setPageSize(pageSize);
    return m_document.pageCount();
}

void TMarkdownChapter::fitImages(qreal maximumWidth, qreal maximumHeight) {
    QTextCursor cursor(&m_document);
    for (const Image& image : std::as_const(m_images)) {
        const qreal scale = std::min(
            {kImageScale, maximumWidth / image.size.width(), maximumHeight / image.size.height()});
        cursor.setPosition(image.position);
        cursor.setPosition(image.position + 1, QTextCursor::KeepAnchor);
        QTextImageFormat format = cursor.charFormat().toImageFormat();
        format.setWidth(image.size.width() * scale);
        format.setHeight(image.size.height() * scale);
        cursor.setCharFormat(format);
    }
}
