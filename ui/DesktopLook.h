#pragma once

// The face and colours the forms take from the desktop: one face and size for every form, and
// link colours that stay readable on a dark palette as on a light one.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

// Whether a face is Arial or drawn to Arial's metrics, so texts laid out for Arial fit it.
bool IsArialMetricFace(const QString& family);

// The forms' font: Arial at 8 points where the machine resolves Arial (resolvedArial is the
// face it draws for it) to Arial or a metric twin; otherwise the desktop's own face at the
// same size, rather than whatever unrelated face stands in for Arial.
QFont FormFontFor(const QString& resolvedArial, const QFont& desktop);
// The same for this machine, with the application's font as the desktop's.
QFont FormFont();

// The contrast ratio of two colours as the web's accessibility guidelines define it (1 to 21).
double ContrastRatio(const QColor& a, const QColor& b);

// preferred where it is readable on background, otherwise the nearest colour towards white (on
// a dark background) or black (on a light one) that is.
QColor ReadableOn(const QColor& preferred, const QColor& background);

// A link colour readable on background: blue where it is, else the palette's link colour,
// else blue lightened (or darkened) until it is.
QColor ReadableLinkColour(const QPalette& palette, QPalette::ColorRole background);
