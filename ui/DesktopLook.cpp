#include "ui/DesktopLook.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <cmath>

namespace {

// Normal text is readable from this ratio on (the guidelines' level AA).
constexpr double ReadableRatio = 4.5;

double Luminance(const QColor& colour)
{
    auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

} // namespace

bool IsArialMetricFace(const QString& family)
{
    // Arimo and Liberation Sans were drawn to Arial's widths, Nimbus Sans and TeX Gyre Heros to
    // Helvetica's, which Arial shares.
    static const char* const twins[] = {"Arial",       "Arimo",         "Liberation Sans",
                                        "Nimbus Sans", "Nimbus Sans L", "TeX Gyre Heros",
                                        "Helvetica",   "Albany AMT"};
    for (const char* twin : twins) {
        if (family.compare(QLatin1String(twin), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QFont FormFontFor(const QString& resolvedArial, const QFont& desktop)
{
    QFont font;
    font.setFamily(IsArialMetricFace(resolvedArial) ? QStringLiteral("Arial") : desktop.family());
    font.setPointSize(8);
    return font;
}

QFont FormFont()
{
    const QFont arial(QStringLiteral("Arial"), 8);
    return FormFontFor(QFontInfo(arial).family(), QGuiApplication::font());
}

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& preferred, const QColor& background)
{
    if (ContrastRatio(preferred, background) >= ReadableRatio)
        return preferred;
    // Towards white on a dark background, towards black on a light one; one of the two ends
    // always reaches the ratio.
    const double target = Luminance(background) < 0.18 ? 1.0 : 0.0;
    const QColor from = preferred.toRgb();
    QColor colour = from;
    for (int step = 1; step <= 20 && ContrastRatio(colour, background) < ReadableRatio; ++step) {
        const double t = step / 20.0;
        colour = QColor::fromRgbF(from.redF() + (target - from.redF()) * t,
                                  from.greenF() + (target - from.greenF()) * t,
                                  from.blueF() + (target - from.blueF()) * t);
    }
    return colour;
}

QColor ReadableLinkColour(const QPalette& palette, QPalette::ColorRole background)
{
    const QColor back = palette.color(QPalette::Active, background);
    const QColor blue(Qt::blue);
    if (ContrastRatio(blue, back) >= ReadableRatio)
        return blue;
    const QColor link = palette.color(QPalette::Active, QPalette::Link);
    if (ContrastRatio(link, back) >= ReadableRatio)
        return link;
    return ReadableOn(blue, back);
}
