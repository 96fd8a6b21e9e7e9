#include "ui/program_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tobrel {

// Drawn on a 64 x 64 grid and scaled; resources/tobrelpa.svg is the same picture.
QPixmap ProgramPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    const QPointF folds[] = {{4, 14},  {22, 8},  {42, 14}, {60, 8},
                             {60, 52}, {42, 58}, {22, 52}, {4, 58}};
    p.setPen(QPen(QColor(0x2e, 0x5e, 0x3a), 2));
    p.setBrush(QColor(0xe8, 0xf0, 0xd8));
    p.drawPolygon(folds, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc8, 0xdc, 0xb4));
    const QPointF middle[] = {{22, 8}, {42, 14}, {42, 58}, {22, 52}};
    p.drawPolygon(middle, 4);

    QPainterPath track;
    track.moveTo(9, 48);
    track.cubicTo(18, 40, 16, 30, 28, 32);
    track.cubicTo(38, 34, 40, 24, 46, 22);
    p.setPen(QPen(QColor(0xd0, 0x20, 0x20), 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(track);

    QPainterPath pin;
    pin.moveTo(46, 30);
    pin.cubicTo(40, 22, 38, 18, 38, 14);
    pin.arcTo(38, 6, 16, 16, 180, -180);
    pin.cubicTo(54, 18, 52, 22, 46, 30);
    p.setPen(QPen(QColor(0x12, 0x30, 0x80), 1.5));
    p.setBrush(QColor(0x20, 0x50, 0xc0));
    p.drawPath(pin);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(46, 14), 3, 3);
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 22, 32, 48, 64, 128, 256})
        icon.addPixmap(ProgramPixmap(size));
    return icon;
}

}  // namespace tobrel
