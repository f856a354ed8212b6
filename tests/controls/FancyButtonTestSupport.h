#pragma once

#include "controls/FancyButton.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QRect>
#include <QVector>
#include <functional>
#include <ostream>

inline void PrintTo(const QColor& colour, std::ostream* out)
{
    *out << colour.name().toStdString();
}
inline void PrintTo(const QRect& rect, std::ostream* out)
{
    *out << "(" << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height()
         << ")";
}
inline void PrintTo(const QPoint& point, std::ostream* out)
{
    *out << "(" << point.x() << "," << point.y() << ")";
}

namespace fancytest {

// Fixed colours, so pictures compare exactly whatever the platform's style.
inline const QColor Face(212, 208, 200);
inline const QColor Highlight(255, 255, 240);
inline const QColor Shadow(90, 90, 90);
inline const QColor Text(0, 0, 255);
inline const QColor KeyColour(0, 128, 128);

// One colour per cell, none of them white, grey or the transparent colour.
inline const QVector<QColor> CellColours{QColor(200, 30, 30), QColor(30, 160, 30),
                                         QColor(30, 30, 200), QColor(200, 160, 30),
                                         QColor(160, 30, 160)};

inline void UseFixedPalette(QWidget& widget)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Button, Face);
    palette.setColor(QPalette::Light, Highlight);
    palette.setColor(QPalette::Dark, Shadow);
    palette.setColor(QPalette::ButtonText, Text);
    widget.setPalette(palette);
}

// A strip of count solid cells of cellSize; the strip's bottom-left pixel (in cell 0) holds
// the transparent colour.
inline QPixmap MakeStrip(int count, QSize cellSize = QSize(16, 16))
{
    QImage strip(cellSize.width() * count, cellSize.height(), QImage::Format_RGB32);
    for (int cell = 0; cell < count; ++cell) {
        QPainter painter(&strip);
        painter.fillRect(QRect(QPoint(cell * cellSize.width(), 0), cellSize),
                         CellColours[cell % CellColours.size()]);
    }
    strip.setPixelColor(0, strip.height() - 1, KeyColour);
    return QPixmap::fromImage(strip);
}

inline QImage Render(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QColor PixelAt(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

// The smallest rectangle holding every pixel of the colour; empty when there is none.
inline QRect BoundsOf(const QImage& image, const QColor& colour)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == colour)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

inline void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos,
                      Qt::MouseButton button = Qt::LeftButton,
                      Qt::MouseButtons buttons = Qt::LeftButton)
{
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void PressAt(QWidget* widget, QPoint pos)
{
    SendMouse(widget, QEvent::MouseButtonPress, pos);
}
inline void MoveTo(QWidget* widget, QPoint pos, bool held = true)
{
    SendMouse(widget, QEvent::MouseMove, pos, Qt::NoButton, held ? Qt::LeftButton : Qt::NoButton);
}
inline void ReleaseAt(QWidget* widget, QPoint pos)
{
    SendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}
inline void ClickOn(QWidget* widget)
{
    const QPoint centre = widget->rect().center();
    PressAt(widget, centre);
    ReleaseAt(widget, centre);
}

inline void Enter(QWidget* widget)
{
    const QPointF pos = widget->rect().center();
    QEnterEvent event(pos, pos, widget->mapToGlobal(pos));
    QApplication::sendEvent(widget, &event);
}
inline void Leave(QWidget* widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

} // namespace fancytest
