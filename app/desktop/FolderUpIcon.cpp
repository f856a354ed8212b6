#include "app/desktop/FolderUpIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap DrawFolderUp(int scale)
{
    QPixmap pixmap(20 * scale, 17 * scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);

    // The folder's back with its tab, then the open front.
    QPainterPath back;
    back.moveTo(1.5, 5.5);
    back.lineTo(1.5, 4);
    back.quadTo(1.5, 3.5, 2, 3.5);
    back.lineTo(6, 3.5);
    back.lineTo(7.5, 5.5);
    back.lineTo(13.5, 5.5);
    back.lineTo(13.5, 15.5);
    back.lineTo(1.5, 15.5);
    back.closeSubpath();
    painter.setPen(QPen(QColor(138, 98, 10), 1));
    painter.setBrush(QColor(236, 184, 48));
    painter.drawPath(back);

    QPainterPath front;
    front.moveTo(1.5, 15.5);
    front.lineTo(3, 8.5);
    front.lineTo(15.5, 8.5);
    front.lineTo(13.5, 15.5);
    front.closeSubpath();
    QLinearGradient shine(0, 8, 0, 16);
    shine.setColorAt(0, QColor(255, 226, 120));
    shine.setColorAt(1, QColor(246, 196, 64));
    painter.setBrush(shine);
    painter.drawPath(front);

    // The arrow up, over the folder's right edge.
    QPainterPath arrow;
    arrow.moveTo(16, 0.8);
    arrow.lineTo(19.4, 5);
    arrow.lineTo(17.3, 5);
    arrow.lineTo(17.3, 10);
    arrow.lineTo(14.7, 10);
    arrow.lineTo(14.7, 5);
    arrow.lineTo(12.6, 5);
    arrow.closeSubpath();
    painter.setPen(QPen(QColor(20, 90, 20), 0.8));
    painter.setBrush(QColor(60, 170, 60));
    painter.drawPath(arrow);
    return pixmap;
}

} // namespace

QIcon FolderUpIcon()
{
    QIcon icon;
    icon.addPixmap(DrawFolderUp(1));
    icon.addPixmap(DrawFolderUp(2));
    return icon;
}
