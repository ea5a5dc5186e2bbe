#include "shell/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>

namespace flashsmith::shell {

namespace {

// Everything is drawn on a 32-unit grid and scaled.
void DrawPicture(QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 90), 2));
    p.setBrush(QColor(170, 215, 250));
    p.drawRect(3, 6, 26, 20);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 200, 40));
    p.drawEllipse(QPointF(22, 12), 3, 3);
    p.setBrush(QColor(50, 150, 60));
    QPolygonF hills;
    hills << QPointF(4, 25) << QPointF(12, 14) << QPointF(18, 21) << QPointF(22, 17) << QPointF(28, 25);
    p.drawPolygon(hills);
}

void DrawSound(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 70, 170));
    p.drawEllipse(QPointF(10, 24), 5, 4);
    p.drawEllipse(QPointF(23, 21), 5, 4);
    p.drawRect(QRectF(13.5, 6, 2.5, 18));
    p.drawRect(QRectF(26.5, 3, 2.5, 18));
    QPolygonF beam;
    beam << QPointF(13.5, 6) << QPointF(29, 3) << QPointF(29, 8) << QPointF(13.5, 11);
    p.drawPolygon(beam);
}

void DrawJava(QPainter& p) {
    p.setPen(QPen(QColor(180, 80, 20), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(21, 14, 8, 8), -90 * 16, 180 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 90, 30));
    QPainterPath cup;
    cup.moveTo(6, 13);
    cup.lineTo(24, 13);
    cup.lineTo(22, 26);
    cup.quadTo(15, 29, 8, 26);
    cup.closeSubpath();
    p.drawPath(cup);
    p.setBrush(QColor(120, 120, 120));
    p.drawRoundedRect(QRectF(4, 27, 22, 3), 1.5, 1.5);
    p.setPen(QPen(QColor(150, 150, 150), 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11, 10), QPointF(12, 4));
    p.drawLine(QPointF(16, 10), QPointF(17, 3));
}

void DrawLanguage(QPainter& p) {
    p.setPen(QPen(QColor(90, 60, 20), 1.5));
    p.setBrush(QColor(255, 240, 170));
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(2, 4, 28, 19), 4, 4);
    QPolygonF tail;
    tail << QPointF(8, 22) << QPointF(6, 29) << QPointF(14, 22);
    bubble.addPolygon(tail);
    p.drawPath(bubble.simplified());
    QFont f;
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(150, 40, 40));
    p.drawText(QRectF(2, 4, 28, 19), Qt::AlignCenter, "Ab");
}

void DrawFirmware(QPainter& p) {
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(QColor(90, 100, 120));
    p.drawRoundedRect(QRectF(9, 2, 14, 28), 3, 3);
    p.setBrush(QColor(160, 220, 160));
    p.drawRect(QRectF(11, 5, 10, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 220, 220));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) p.drawRect(QRectF(11.5 + c * 3.3, 18 + r * 3.5, 2.4, 2.2));
}

QPixmap Draw(int index, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    switch (index) {
        case kIconPicture: DrawPicture(p); break;
        case kIconSound: DrawSound(p); break;
        case kIconJava: DrawJava(p); break;
        case kIconLanguage: DrawLanguage(p); break;
        default: DrawFirmware(p); break;
    }
    return pm;
}

}  // namespace

QIcon ResourceIcon(int index) {
    static std::array<QIcon, 5> icons;
    if (index < 0 || index > 4) index = kIconFirmware;
    if (icons[index].isNull()) {
        QIcon icon;
        icon.addPixmap(Draw(index, 16));
        icon.addPixmap(Draw(index, 32));
        icons[index] = icon;
    }
    return icons[index];
}

QIcon AppIcon() {
    static QIcon icon;
    if (icon.isNull()) {
        QIcon i;
        for (int size : {16, 32, 64}) {
            QPixmap pm = Draw(kIconFirmware, size);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(size / 32.0, size / 32.0);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(250, 170, 20));
            QPolygonF spark;
            spark << QPointF(26, 1) << QPointF(22, 9) << QPointF(26, 9) << QPointF(21, 17) << QPointF(31, 7)
                  << QPointF(27, 7) << QPointF(30, 1);
            p.drawPolygon(spark);
            i.addPixmap(pm);
        }
        icon = i;
    }
    return icon;
}

}  // namespace flashsmith::shell
