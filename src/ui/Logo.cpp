#include "ui/Logo.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace k32 {

QPixmap DrawLogo() {
    // One ink colour on a transparent ground, without smoothing: a one-bit picture.
    const QColor ink(0x1f, 0x2a, 0x44);
    QImage image(265, 34, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);

    // A swept wing over a short tail: the kestrel in flight.
    QPainterPath wing;
    wing.moveTo(2, 22);
    wing.cubicTo(12, 8, 26, 3, 44, 2);
    wing.cubicTo(34, 8, 28, 13, 24, 18);
    wing.lineTo(36, 17);
    wing.cubicTo(28, 22, 18, 26, 8, 27);
    wing.closeSubpath();
    p.drawPath(wing);
    p.drawRect(2, 29, 40, 2);

    QFont name("Sans Serif");
    name.setPixelSize(22);
    name.setBold(true);
    name.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    name.setStyleStrategy(QFont::NoAntialias);
    p.setFont(name);
    p.setPen(ink);
    p.drawText(QRect(52, 0, 213, 26), Qt::AlignLeft | Qt::AlignVCenter, "KESTRAMA 32");
    QFont tag("Sans Serif");
    tag.setPixelSize(9);
    tag.setStyleStrategy(QFont::NoAntialias);
    p.setFont(tag);
    p.drawText(QRect(53, 24, 212, 10), Qt::AlignLeft | Qt::AlignVCenter,
               "mailbox reports for post offices");
    p.end();
    return QPixmap::fromImage(image);
}

}  // namespace k32
