#pragma once

#include <QColor>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <memory>

class QAction;
class TButtonGlyph;

// A self-painted picture button: its face is one picture of a strip of up to five (one per
// state), with the caption drawn centred over it. It tracks the mouse, can latch down as one of
// a group of buttons in the same parent, and hands a result to the dialog that holds it.
class TFancyButton : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(TFancyButtonState State READ State WRITE SetState)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
    Q_PROPERTY(bool AllowAllUp READ AllowAllUp WRITE SetAllowAllUp)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
    Q_PROPERTY(bool Down READ Down WRITE SetDown)
    Q_PROPERTY(QPixmap Glyph READ Glyph WRITE SetGlyph)
    Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE SetNumGlyphs)
    Q_PROPERTY(int TextOffsetLeft READ TextOffsetLeft WRITE SetTextOffsetLeft)
    Q_PROPERTY(int TextOffsetTop READ TextOffsetTop WRITE SetTextOffsetTop)
    Q_PROPERTY(QColor TextShadowColor READ TextShadowColor WRITE SetTextShadowColor)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    enum TFancyButtonState
    {
        fbsUp,
        fbsDown,
        fbsMouseOut,
        fbsExclusive,
        fbsDisabled
    };
    Q_ENUM(TFancyButtonState)

    // Dialog results as QDialog::done() receives them; 0 is none, 2 is Cancel.
    static constexpr int mrNone = 0;
    static constexpr int mrOk = 1;
    static constexpr int mrCancel = 2;
    static constexpr int MaxModalResult = 8;

    explicit TFancyButton(QWidget* parent = nullptr);
    ~TFancyButton() override;

    TFancyButtonState State() const { return m_state; }
    void SetState(TFancyButtonState state);
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result);
    bool AllowAllUp() const { return m_allowAllUp; }
    void SetAllowAllUp(bool allow);
    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int index);
    bool Down() const { return m_down; }
    void SetDown(bool down);
    QPixmap Glyph() const;
    void SetGlyph(const QPixmap& glyph);
    int NumGlyphs() const;
    void SetNumGlyphs(int count);
    int TextOffsetLeft() const { return m_textOffsetLeft; }
    void SetTextOffsetLeft(int offset);
    int TextOffsetTop() const { return m_textOffsetTop; }
    void SetTextOffsetTop(int offset);
    // An invalid colour draws no shadow.
    QColor TextShadowColor() const { return m_textShadowColor; }
    void SetTextShadowColor(const QColor& color);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);

    // uic sets a stored property through set<Name>.
    void setState(TFancyButtonState state) { SetState(state); }
    void setModalResult(int result) { SetModalResult(result); }
    void setAllowAllUp(bool allow) { SetAllowAllUp(allow); }
    void setGroupIndex(int index) { SetGroupIndex(index); }
    void setDown(bool down) { SetDown(down); }
    void setGlyph(const QPixmap& glyph) { SetGlyph(glyph); }
    void setNumGlyphs(int count) { SetNumGlyphs(count); }
    void setTextOffsetLeft(int offset) { SetTextOffsetLeft(offset); }
    void setTextOffsetTop(int offset) { SetTextOffsetTop(offset); }
    void setTextShadowColor(const QColor& color) { SetTextShadowColor(color); }
    void setCaption(const QString& caption) { SetCaption(caption); }

    // Whether the pointer is over the button, as the button tracks it.
    bool Hot() const { return m_hot; }

    // Raises clicked(), as a completed press does.
    void Click();

    // Follows the action's text, enabled and visible state and tool tip, and triggers it on a
    // click. A button without a strip takes the action's icon on a fuchsia background.
    QAction* Action() const { return m_action; }
    void SetAction(QAction* action);

    // The paint rectangle's picture position and caption rectangle.
    struct TButtonLayout
    {
        QPoint GlyphPos;
        QRect TextBounds;
    };
    TButtonLayout CalcButtonLayout(const QRect& client, const QPoint& textOffset) const;

    QSize sizeHint() const override { return QSize(23, 22); }

signals:
    void clicked();
    void doubleClicked();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void DrawButtonText(class QPainter& painter, const QRect& textBounds) const;
    void MouseEnter();
    void MouseLeave();
    void UpdateTracking(const QPoint& pointer);
    void UpdateExclusive();
    void ButtonPressed(TFancyButton* sender);
    void HandModalResultToDialog();
    void SizeToGlyph();
    void UpdateShortcut();
    TFancyButtonState RestingState() const { return m_hot ? fbsUp : fbsMouseOut; }

    void ActionChanged();

    std::unique_ptr<TButtonGlyph> m_glyph;
    QPointer<QAction> m_action;
    QMetaObject::Connection m_actionTrigger;
    TFancyButtonState m_state = fbsMouseOut;
    int m_modalResult = mrNone;
    bool m_allowAllUp = false;
    int m_groupIndex = 0;
    bool m_down = false;
    int m_textOffsetLeft = 0;
    int m_textOffsetTop = 0;
    QColor m_textShadowColor;
    QString m_caption;
    bool m_pressing = false;
    bool m_hot = false;
    int m_shortcutId = 0;
    // Keeps State and the widget's enabled flag in step without feeding back.
    bool m_settingEnabled = false;
};

using TFancyButtonState = TFancyButton::TFancyButtonState;
