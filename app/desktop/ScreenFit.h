#pragma once

// Keeping windows on the screen: at twice the scale, or with a larger font, a window placed at
// its design position would reach past the screen's edge.

#include <QRect>

class QWidget;

// Where a window's frame goes so that it lies inside area: where it is when it fits there,
// otherwise moved in, and made smaller only where it is larger than the area.
QRect FitInside(const QRect& frame, const QRect& area);

// Puts a top-level window inside the available area of its screen (the part the desktop's
// panels leave free).
void PlaceOnScreen(QWidget& window);
