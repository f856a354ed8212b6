#include "controls/FancyButton.h"
#include "controls/FancyButtonGlyph.h"

#include <QBrush>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace {

constexpr int TextFlags = Qt::AlignCenter | Qt::TextShowMnemonic;

// Alternate pixels of button face and button highlight, as a latched button's background.
QBrush CheckeredBrush(const QPalette& palette)
{
    QImage pattern(8, 8, QImage::Format_RGB32);
    const QRgb face = palette.color(QPalette::Button).rgb();
    const QRgb highlight = palette.color(QPalette::Light).rgb();
    for (int y = 0; y < pattern.height(); ++y) {
        for (int x = 0; x < pattern.width(); ++x)
            pattern.setPixel(x, y, (x + y) % 2 == 0 ? highlight : face);
    }
    return QBrush(pattern);
}

} // namespace

TFancyButton::TButtonLayout TFancyButton::CalcButtonLayout(const QRect& client,
                                                           const QPoint& textOffset) const
{
    const int width = client.width();
    const int height = client.height();
    const QSize glyphSize = m_glyph->CellSize();

    QRect textBounds(0, 0, 0, 0);
    if (!m_caption.isEmpty()) {
        const QFontMetrics metrics(font());
        const QRect measured =
            metrics.boundingRect(QRect(0, 0, width, 0), Qt::TextShowMnemonic, m_caption);
        // Room for the shadow and the italic overhang.
        textBounds = QRect(0, 0, measured.width() + 5, measured.height());
    }

    // Integer division rounds toward zero, as the layout expects.
    TButtonLayout layout;
    layout.GlyphPos = client.topLeft() + QPoint((width - glyphSize.width() + 1) / 2,
                                                (height - glyphSize.height() + 1) / 2);
    layout.TextBounds = textBounds.translated(
        client.topLeft() +
        QPoint((width - textBounds.width() + 1) / 2, (height - textBounds.height() + 1) / 2) +
        textOffset);
    return layout;
}

void TFancyButton::DrawButtonText(QPainter& painter, const QRect& textBounds) const
{
    if (m_caption.isEmpty())
        return;
    const QPalette& colours = palette();
    if (m_state == fbsDisabled) {
        painter.setPen(colours.color(QPalette::Light));
        painter.drawText(textBounds.translated(1, 1), TextFlags, m_caption);
        painter.setPen(colours.color(QPalette::Dark));
        painter.drawText(textBounds, TextFlags, m_caption);
    } else if (m_textShadowColor.isValid()) {
        painter.setPen(m_textShadowColor);
        painter.drawText(textBounds, TextFlags, m_caption);
        painter.setPen(colours.color(QPalette::ButtonText));
        painter.drawText(textBounds.translated(-2, -2), TextFlags, m_caption);
    } else {
        painter.setPen(colours.color(QPalette::ButtonText));
        painter.drawText(textBounds, TextFlags, m_caption);
    }
}

void TFancyButton::paintEvent(QPaintEvent*)
{
    if (m_state == fbsDisabled)
        m_pressing = false;
    else if (m_state == fbsUp || m_state == fbsMouseOut)
        m_state = RestingState();

    QPainter painter(this);
    painter.setFont(font());
    painter.fillRect(rect(), palette().color(QPalette::Button));

    // A single picture has no pressed cell, so a pressed or latched button shows it moved by
    // two pixels instead.
    const bool pushed = m_state == fbsDown || m_state == fbsExclusive;
    QRect paintRect = rect();
    if (m_glyph->NumGlyphs() == 1 && pushed)
        paintRect.translate(2, 2);

    if (m_state == fbsExclusive)
        painter.fillRect(paintRect, CheckeredBrush(palette()));

    QPoint textOffset(m_textOffsetLeft, m_textOffsetTop);
    if (pushed)
        textOffset += QPoint(1, 1);

    const TButtonLayout layout = CalcButtonLayout(paintRect, textOffset);
    if (const QImage* picture = m_glyph->CreateButtonGlyph(m_state, palette()))
        painter.drawImage(layout.GlyphPos, *picture);
    DrawButtonText(painter, layout.TextBounds);
}
