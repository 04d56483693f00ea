// Paints the program's embedded images into a folder, for the build to embed them:
//   dorvo2-images OUTPUT_FOLDER
// Every image is 32-bit without alpha, at the size the program expects of it.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kNight(34, 36, 48);
const QColor kSlate(102, 105, 124);
const QColor kPaper(236, 236, 240);
const QColor kAmber(238, 170, 60);
const QColor kGreen(92, 196, 120);

QImage canvas(int width, int height, const QColor& fill) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

// A row of mixer faders: the picture that stands for MIDI hardware throughout.
void paintFaders(QPainter& p, const QRectF& area, int count, const QColor& cap) {
    const qreal step = area.width() / count;
    for (int i = 0; i < count; ++i) {
        const qreal x = area.left() + step * (i + 0.5);
        p.setPen(QPen(QColor(20, 20, 26), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        const qreal level = 0.5 + 0.4 * std::sin(i * 1.3);
        const qreal y = area.bottom() - level * area.height();
        p.setPen(Qt::NoPen);
        p.setBrush(cap);
        p.drawRoundedRect(QRectF(x - step * 0.3, y - 4, step * 0.6, 8), 2, 2);
    }
}

void paintWordmark(QPainter& p, const QRectF& area, const QColor& colour) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(int(area.height()));
    font.setBold(true);
    font.setLetterSpacing(QFont::PercentageSpacing, 120);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("DORVO"));
}

QImage hostSplash() {
    QImage image = canvas(460, 288, kNight);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 288);
    sky.setColorAt(0, QColor(58, 62, 84));
    sky.setColorAt(1, kNight);
    p.fillRect(image.rect(), sky);
    paintWordmark(p, QRectF(40, 48, 380, 64), kPaper);
    p.setPen(QPen(kAmber, 2));
    p.drawLine(40, 124, 420, 124);
    paintFaders(p, QRectF(40, 140, 380, 48), 16, kAmber);
    return image;
}

QImage hostAbout() {
    QImage image = canvas(460, 288, kPaper);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, 0, 140);
    band.setColorAt(0, QColor(58, 62, 84));
    band.setColorAt(1, kNight);
    p.fillRect(QRect(0, 0, 460, 140), band);
    paintWordmark(p, QRectF(34, 30, 300, 52), kPaper);
    paintFaders(p, QRectF(34, 92, 392, 36), 20, kAmber);
    p.setPen(QPen(kAmber, 2));
    p.drawLine(0, 141, 460, 141);
    return image;
}

// A component's default icon: a rack unit with knobs and a display; the Recall icon lights its
// display green.
QImage genericIcon(bool recall) {
    QImage image = canvas(96, 96, kSlate);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 20, 26), 2));
    QLinearGradient metal(0, 24, 0, 72);
    metal.setColorAt(0, QColor(196, 198, 206));
    metal.setColorAt(1, QColor(128, 130, 142));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(6, 24, 84, 48), 5, 5);
    p.setBrush(recall ? kGreen : QColor(60, 64, 70));
    p.drawRect(QRectF(14, 32, 30, 14));
    for (int i = 0; i < 3; ++i) {
        QRadialGradient knob(QPointF(56 + i * 12, 38), 6);
        knob.setColorAt(0, QColor(90, 92, 100));
        knob.setColorAt(1, QColor(30, 30, 36));
        p.setBrush(knob);
        p.drawEllipse(QPointF(56 + i * 12, 40), 5, 5);
    }
    p.setBrush(recall ? kAmber : QColor(80, 84, 92));
    for (int i = 0; i < 6; ++i)
        p.drawRect(QRectF(14 + i * 12, 56, 8, 8));
    return image;
}

QImage applicationIcon() {
    QImage image = canvas(32, 32, kNight);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    paintFaders(p, QRectF(3, 6, 26, 20), 4, kAmber);
    return image;
}

QImage badge(int width, int height, const QColor& ground, const QString& text) {
    QImage image = canvas(width, height, ground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kPaper, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2, 2, width - 4, height - 4), 4, 4);
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(height / 2);
    font.setBold(true);
    p.setFont(font);
    p.drawText(image.rect(), Qt::AlignCenter, text);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    // Painting needs no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: dorvo2-images OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "dorvo2-images: cannot create %s\n", argv[1]);
        return 1;
    }
    const QList<QPair<QString, std::function<QImage()>>> images = {
        {QStringLiteral("HostSplash.png"), hostSplash},
        {QStringLiteral("HostAbout.png"), hostAbout},
        {QStringLiteral("Generic_01.png"), [] { return genericIcon(false); }},
        {QStringLiteral("Generic_02.png"), [] { return genericIcon(true); }},
        {QStringLiteral("bg.png"), [] { return canvas(1, 1, kSlate); }},
        {QStringLiteral("appli32_256.png"), applicationIcon},
        {QStringLiteral("KVrecall_64x37.png"),
         [] { return badge(64, 37, kGreen, QStringLiteral("R")); }},
        {QStringLiteral("VEX2_64x39.png"),
         [] { return badge(64, 39, kNight, QStringLiteral("VEX")); }},
    };
    for (const auto& [name, paint] : images) {
        if (!paint().save(folder.filePath(name), "PNG")) {
            std::fprintf(stderr, "dorvo2-images: cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
