#include "TManualPrinter.h"

#include "TMarkdownChapter.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

constexpr int kResolution = 300;          // dots per inch of the PDF's page coordinates
const QMarginsF kMargins(22, 20, 22, 12); // millimetres: left, top, right, bottom
constexpr qreal kFooterMillimetres = 12;

const QColor kBand(102, 105, 124); // the Workspace's ground
const QColor kQuiet(110, 112, 125);

qreal millimetres(qreal value) {
    return value * kResolution / 25.4;
}

QFont font(qreal points, bool bold = false) {
    QFont face;
    face.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Sans Serif")});
    face.setStyleHint(QFont::SansSerif);
    face.setPointSizeF(points);
    face.setBold(bold);
    return face;
}

} // namespace

TManualPrinter::TManualPrinter(QString title, QString subtitle)
    : m_title(std::move(title)), m_subtitle(std::move(subtitle)) {}

bool TManualPrinter::print(const std::vector<std::unique_ptr<TMarkdownChapter>>& chapters,
                           const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    QPdfWriter writer(&file);
    writer.setResolution(kResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, kMargins,
                                     QPageLayout::Millimeter));
    writer.setTitle(m_title + QStringLiteral(" ") + m_subtitle);
    writer.setCreator(QStringLiteral("dorvo2-manual"));

    // The painter's origin is the top left corner inside the margins.
    const QRectF area(QPointF(0, 0), writer.pageLayout().paintRectPixels(kResolution).size());
    const QRectF body(area.topLeft(),
                      QSizeF(area.width(), area.height() - millimetres(kFooterMillimetres)));
    const QRectF footer(body.bottomLeft(), area.bottomRight());

    // The title page is page 1; every chapter begins on a page of its own.
    QList<int> firstPages;
    QList<int> pageCounts;
    int next = 2;
    for (const auto& chapter : chapters) {
        const int pages = chapter->layOut(&writer, body.size());
        firstPages.append(next);
        pageCounts.append(pages);
        next += pages;
    }

    QPainter painter;
    if (!painter.begin(&writer)) {
        m_error = QStringLiteral("%1: the PDF cannot be written").arg(path);
        file.cancelWriting();
        return false;
    }
    drawTitlePage(painter, area, chapters, firstPages);
    for (std::size_t c = 0; c < chapters.size(); ++c) {
        QTextDocument& document = chapters[c]->document();
        for (int page = 0; page < pageCounts[int(c)]; ++page) {
            writer.newPage();
            const QRectF shown(0, page * body.height(), body.width(), body.height());
            // The clip leaves out the page's last two rows of dots: what begins on the next
            // page (a picture) starts exactly there.
            const QRectF clip = shown.adjusted(0, 0, 0, -2);
            painter.save();
            painter.translate(0, -shown.top());
            painter.setClipRect(clip);
            QAbstractTextDocumentLayout::PaintContext context;
            context.clip = clip;
            context.palette.setColor(QPalette::Text, Qt::black);
            document.documentLayout()->draw(&painter, context);
            painter.restore();
            drawFooter(painter, footer, chapters[c]->title(), firstPages[int(c)] + page);
        }
    }
    painter.end();
    if (!file.commit()) {
        m_error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void TManualPrinter::drawTitlePage(QPainter& painter, const QRectF& page,
                                   const std::vector<std::unique_ptr<TMarkdownChapter>>& chapters,
                                   const QList<int>& firstPages) const {
    painter.save();
    const QRectF band(page.left(), page.top(), page.width(), millimetres(3));
    painter.fillRect(band, kBand);

    qreal y = page.top() + millimetres(45);
    painter.setPen(QColor(34, 36, 48));
    painter.setFont(font(34, true));
    const QFontMetricsF titleMetrics(painter.font(), painter.device());
    painter.drawText(QPointF(page.left(), y), m_title);
    y += titleMetrics.height();
    painter.setFont(font(15));
    painter.setPen(kQuiet);
    painter.drawText(QPointF(page.left(), y), m_subtitle);
    y += millimetres(30);

    painter.setPen(QColor(44, 52, 94));
    painter.setFont(font(13, true));
    painter.drawText(QPointF(page.left(), y), QStringLiteral("Contents"));
    y += millimetres(10);

    painter.setFont(font(11));
    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal numberWidth = metrics.horizontalAdvance(QStringLiteral("0000"));
    for (std::size_t c = 0; c < chapters.size(); ++c) {
        const QString number = QString::number(firstPages[int(c)]);
        const QString title = metrics.elidedText(chapters[c]->title(), Qt::ElideRight,
                                                 page.width() - 2 * numberWidth);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(page.left(), y), title);
        painter.drawText(QPointF(page.right() - metrics.horizontalAdvance(number), y), number);
        // A dotted leader from the title to its page number.
        painter.setPen(QPen(kQuiet, millimetres(0.25), Qt::DotLine));
        const qreal from = page.left() + metrics.horizontalAdvance(title) + millimetres(2);
        const qreal to = page.right() - numberWidth;
        if (to > from)
            painter.drawLine(QPointF(from, y), QPointF(to, y));
        y += metrics.height() * 1.6;
    }
    painter.restore();
}

void TManualPrinter::drawFooter(QPainter& painter, const QRectF& footer, const QString& chapter,
                                int pageNumber) const {
    painter.save();
    const qreal rule = footer.top() + millimetres(4);
    painter.setPen(QPen(kQuiet, millimetres(0.2)));
    painter.drawLine(QPointF(footer.left(), rule), QPointF(footer.right(), rule));
    painter.setFont(font(8.5));
    const QRectF text(footer.left(), rule + millimetres(1), footer.width(),
                      footer.bottom() - rule - millimetres(1));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop, m_title + QStringLiteral(" · ") + chapter);
    painter.setPen(Qt::black);
    painter.drawText(text, Qt::AlignRight | Qt::AlignTop, QString::number(pageNumber));
    painter.restore();
}
