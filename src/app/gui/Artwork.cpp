#include "app/gui/Artwork.h"

#include "base/Version.h"

#include <QBuffer>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace tarnwick::gui
{

namespace
{

void drawScreen(QPainter& p, const QRectF& r, const QColor& glow)
{
    p.setPen(QPen(QColor(30, 40, 60), r.width() / 14));
    p.setBrush(QColor(235, 240, 248));
    p.drawRoundedRect(r, r.width() / 10, r.width() / 10);
    const QRectF glass = r.adjusted(r.width() / 7, r.height() / 6, -r.width() / 7, -r.height() / 6);
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawRect(glass);
}

} // namespace

QPixmap appIconPixmap(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    QLinearGradient bg(0, 0, 0, s);
    bg.setColorAt(0, QColor(80, 150, 230));
    bg.setColorAt(1, QColor(20, 70, 160));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(0, 0, s, s), s / 6, s / 6);
    drawScreen(p, QRectF(s * 0.08, s * 0.18, s * 0.36, s * 0.30), QColor(120, 220, 120));
    drawScreen(p, QRectF(s * 0.56, s * 0.52, s * 0.36, s * 0.30), QColor(255, 210, 80));
    p.setPen(QPen(Qt::white, std::max(1.0, s / 14), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.26, s * 0.52), QPointF(s * 0.26, s * 0.67));
    p.drawLine(QPointF(s * 0.26, s * 0.67), QPointF(s * 0.56, s * 0.67));
    p.drawLine(QPointF(s * 0.74, s * 0.48), QPointF(s * 0.74, s * 0.33));
    p.drawLine(QPointF(s * 0.74, s * 0.33), QPointF(s * 0.44, s * 0.33));
    return pm;
}

std::string appIconPng(int size)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    appIconPixmap(size).save(&buffer, "PNG");
    return bytes.toStdString();
}

QIcon appIcon()
{
    QIcon icon;
    for (int size : { 16, 22, 24, 32, 48, 64 })
        icon.addPixmap(appIconPixmap(size));
    return icon;
}

QIcon configIcon()
{
    QIcon icon;
    for (int size : { 16, 32 }) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const double s = size;
        // A sheet with a folded corner, ruled lines and a small screen on it.
        QPainterPath sheet;
        sheet.moveTo(s * 0.15, s * 0.05);
        sheet.lineTo(s * 0.65, s * 0.05);
        sheet.lineTo(s * 0.85, s * 0.25);
        sheet.lineTo(s * 0.85, s * 0.95);
        sheet.lineTo(s * 0.15, s * 0.95);
        sheet.closeSubpath();
        p.setPen(QPen(QColor(60, 80, 120), std::max(1.0, s / 24)));
        p.setBrush(QColor(250, 250, 245));
        p.drawPath(sheet);
        p.setPen(QPen(QColor(120, 150, 200), std::max(1.0, s / 32)));
        for (int i = 0; i < 3; ++i)
            p.drawLine(QPointF(s * 0.25, s * (0.22 + 0.1 * i)), QPointF(s * 0.58, s * (0.22 + 0.1 * i)));
        drawScreen(p, QRectF(s * 0.30, s * 0.56, s * 0.42, s * 0.30), QColor(120, 220, 120));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QPixmap bannerPicture()
{
    QPixmap pm(185, 73);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 185, 73);
    bg.setColorAt(0, QColor(25, 80, 170));
    bg.setColorAt(1, QColor(90, 170, 240));
    p.fillRect(pm.rect(), bg);
    p.drawPixmap(8, 12, appIconPixmap(48));
    QFont title("DejaVu Sans");
    title.setPixelSize(24);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(62, 10, 120, 32), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tarnwick"));
    QFont sub("DejaVu Sans");
    sub.setPixelSize(11);
    p.setFont(sub);
    p.setPen(QColor(220, 235, 255));
    p.drawText(QRect(62, 42, 120, 20), Qt::AlignLeft | Qt::AlignVCenter,
        QStringLiteral("IP switcher V") + QLatin1String(kVersion));
    return pm;
}

QPixmap stripFrame(int width, int height, int frame)
{
    QPixmap pm(width, height);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 0, height);
    bg.setColorAt(0, QColor(15, 45, 100));
    bg.setColorAt(1, QColor(40, 110, 190));
    p.fillRect(pm.rect(), bg);

    // Two machines, the packets between them travelling along a cable.
    const double w = width;
    const QRectF top(w * 0.25, height * 0.12, w * 0.5, w * 0.38);
    const QRectF bottom(w * 0.25, height * 0.70, w * 0.5, w * 0.38);
    drawScreen(p, top, QColor(120, 220, 120));
    drawScreen(p, bottom, QColor(255, 210, 80));
    const double x = w / 2;
    const double y0 = top.bottom() + 4;
    const double y1 = bottom.top() - 4;
    p.setPen(QPen(QColor(200, 220, 255), 3));
    p.drawLine(QPointF(x, y0), QPointF(x, y1));
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        const double t = std::fmod(frame * 0.02 + i * 0.25, 1.0);
        const bool down = i % 2 == 0;
        const double y = down ? y0 + (y1 - y0) * t : y1 - (y1 - y0) * t;
        p.setBrush(down ? QColor(120, 255, 120) : QColor(255, 220, 90));
        p.drawEllipse(QPointF(down ? x - 9 : x + 9, y), 5, 5);
    }
    return pm;
}

} // namespace tarnwick::gui
