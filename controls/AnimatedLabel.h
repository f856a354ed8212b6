#pragma once

#include <QColor>
#include <QLabel>
#include <QtGlobal>
#include <optional>

class QTimer;

// A label whose caption blinks, scrolls across it or fades in and out, driven by its own timer.
// The animation follows the number of ticks since the label was made, not when it was chosen.
class TAnimatedLabel : public QLabel
{
    Q_OBJECT
public:
    enum TAnimationType
    {
        atNone,
        atFlash,
        atFly,
        atFade
    };
    Q_ENUM(TAnimationType)

private:
    Q_PROPERTY(TAnimationType AnimationType READ AnimationType WRITE SetAnimationType)
    Q_PROPERTY(int Interval READ GetInterval WRITE SetInterval)

public:
    explicit TAnimatedLabel(QWidget* parent = nullptr);
    explicit TAnimatedLabel(const QString& text, QWidget* parent = nullptr);

    // A plain field: the next tick shows the new kind.
    TAnimationType AnimationType() const { return m_animationType; }
    void SetAnimationType(TAnimationType type) { m_animationType = type; }
    void setAnimationType(TAnimationType type) { SetAnimationType(type); }

    // The tick period in milliseconds, kept by the timer itself. 0 stops the ticks.
    int GetInterval() const;
    void SetInterval(int milliseconds);
    void setInterval(int milliseconds) { SetInterval(milliseconds); }

    // Ticks since construction; only grows (the setter lets a caller pick a frame).
    qint64 TickCount() const { return m_tickCount; }
    void SetTickCount(qint64 ticks) { m_tickCount = ticks < 0 ? 0 : ticks; }
    const QTimer* Timer() const { return m_timer; }

    // The timer's handler: asks for a repaint, then counts the tick.
    void OnTimer();

    // What the current tick shows, as painted.
    bool FlashShowsCaption() const;
    // The caption's left edge for atFly; none on a label without width.
    std::optional<int> FlyCaptionX() const;
    QColor FadeCaptionColor() const;
    // The system button face as this label's palette gives it.
    QColor ButtonFace() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintCaptionLine(QPainter& painter, int x, const QColor& color) const;

    QTimer* m_timer;
    qint64 m_tickCount = 0;
    TAnimationType m_animationType = atNone;
};
