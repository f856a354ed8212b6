#include "controls/AnimatedLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QTimer>

namespace {

constexpr int DefaultInterval = 100;
constexpr qint64 TicksPerCycle = 10;

// One channel of the fade: the integer step from one colour to the other, truncated toward zero
// and kept to its low 8 bits.
int FadeChannel(int from, int to, int phase)
{
    return (from + (to - from) * phase / 9) & 0xFF;
}

} // namespace

TAnimatedLabel::TAnimatedLabel(QWidget* parent) : TAnimatedLabel(QString(), parent) {}

TAnimatedLabel::TAnimatedLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent), m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, &TAnimatedLabel::OnTimer);
    m_timer->start(DefaultInterval);
}

int TAnimatedLabel::GetInterval() const
{
    return m_timer->interval();
}

void TAnimatedLabel::SetInterval(int milliseconds)
{
    // A zero interval would fire whenever the event loop is idle and keep a core busy; a
    // timer with no period does not tick at all.
    if (milliseconds <= 0) {
        m_timer->stop();
        m_timer->setInterval(0);
        return;
    }
    m_timer->start(milliseconds);
}

void TAnimatedLabel::OnTimer()
{
    update();
    ++m_tickCount;
}

bool TAnimatedLabel::FlashShowsCaption() const
{
    return (m_tickCount / TicksPerCycle) % 2 == 1;
}

std::optional<int> TAnimatedLabel::FlyCaptionX() const
{
    const int w = width();
    if (w <= 0)
        return std::nullopt;
    return static_cast<int>(w - 2 * (m_tickCount % w));
}

QColor TAnimatedLabel::FadeCaptionColor() const
{
    const QColor font = palette().color(foregroundRole());
    const QColor back = ButtonFace();
    const qint64 cycle = m_tickCount / TicksPerCycle;
    const int phase = static_cast<int>(m_tickCount % TicksPerCycle);
    const bool fadingIn = cycle % 2 == 0;
    const QColor& from = fadingIn ? back : font;
    const QColor& to = fadingIn ? font : back;
    return QColor(FadeChannel(from.red(), to.red(), phase),
                  FadeChannel(from.green(), to.green(), phase),
                  FadeChannel(from.blue(), to.blue(), phase));
}

QColor TAnimatedLabel::ButtonFace() const
{
    return palette().color(QPalette::Button);
}

void TAnimatedLabel::PaintCaptionLine(QPainter& painter, int x, const QColor& color) const
{
    const QFontMetrics metrics(font());
    // One line: line breaks in the caption do not start new lines.
    QString line = text();
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QRect box(x, 0, metrics.horizontalAdvance(line), metrics.height());
    // The text's own background is opaque, in button face.
    painter.fillRect(box, ButtonFace());
    painter.setFont(font());
    painter.setPen(color);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
}

void TAnimatedLabel::paintEvent(QPaintEvent* event)
{
    switch (m_animationType) {
    case atNone:
        QLabel::paintEvent(event);
        return;
    case atFlash:
        if (FlashShowsCaption()) {
            QLabel::paintEvent(event);
        } else {
            QPainter painter(this);
            painter.fillRect(rect(), ButtonFace());
        }
        return;
    case atFly: {
        QPainter painter(this);
        painter.fillRect(rect(), ButtonFace());
        if (const std::optional<int> x = FlyCaptionX())
            PaintCaptionLine(painter, *x, palette().color(foregroundRole()));
        return;
    }
    case atFade: {
        QPainter painter(this);
        PaintCaptionLine(painter, 0, FadeCaptionColor());
        return;
    }
    }
}
