#include "app/desktop/ScreenFit.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

QRect FitInside(const QRect& frame, const QRect& area)
{
    QRect fitted(frame.topLeft(), frame.size().boundedTo(area.size()));
    fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() - fitted.height() + 1));
    return fitted;
}

void PlaceOnScreen(QWidget& window)
{
    QScreen* screen = window.screen();
    if (!screen)
        return;
    // Before the window manager has framed the window its frame is its client area; once
    // framed, the frame counts too.
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    const QRect fitted = FitInside(frame, screen->availableGeometry());
    if (fitted == frame)
        return;
    const QSize border = frame.size() - client.size();
    window.resize(fitted.size() - border);
    window.move(fitted.topLeft());
}
