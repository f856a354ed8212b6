#include "controls/FancyButton.h"

#include "controls/FancyButtonGlyph.h"

#include <QAction>
#include <QDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcutEvent>
#include <algorithm>

TFancyButton::TFancyButton(QWidget* parent)
    : QWidget(parent), m_glyph(std::make_unique<TButtonGlyph>())
{
    resize(23, 22);
    setFocusPolicy(Qt::StrongFocus);
    // Moves without a button held drive the hot tracking.
    setMouseTracking(true);
}

TFancyButton::~TFancyButton() = default;

void TFancyButton::SetState(TFancyButtonState state)
{
    if (state == m_state)
        return;
    m_state = state;
    m_settingEnabled = true;
    setEnabled(state != fbsDisabled);
    m_settingEnabled = false;
    if (state == fbsDisabled) {
        m_pressing = false;
        m_hot = false;
    }
    m_glyph->CreateButtonGlyph(state, palette());
    update();
}

void TFancyButton::SetModalResult(int result)
{
    m_modalResult = std::clamp(result, 0, MaxModalResult);
}

void TFancyButton::SetAllowAllUp(bool allow)
{
    if (allow == m_allowAllUp)
        return;
    m_allowAllUp = allow;
    UpdateExclusive();
}

void TFancyButton::SetGroupIndex(int index)
{
    if (index == m_groupIndex)
        return;
    m_groupIndex = index;
    // A plain push button never stays latched.
    if (index == 0 && m_down) {
        m_down = false;
        if (m_state != fbsDisabled)
            m_state = RestingState();
        update();
    }
    UpdateExclusive();
}

void TFancyButton::SetDown(bool down)
{
    if (m_groupIndex == 0)
        down = false;
    if (down == m_down || (m_down && !m_allowAllUp))
        return;
    m_down = down;
    if (m_state != fbsDisabled)
        m_state = down ? fbsExclusive : RestingState();
    update();
    if (down)
        UpdateExclusive();
}

QPixmap TFancyButton::Glyph() const
{
    return m_glyph->Glyph();
}

void TFancyButton::SetGlyph(const QPixmap& glyph)
{
    m_glyph->SetGlyph(glyph);
    if (!glyph.isNull() && glyph.height() > 0 && glyph.width() % glyph.height() == 0) {
        const int count = glyph.width() / glyph.height();
        m_glyph->SetNumGlyphs(count > TButtonGlyph::StateCount ? 1 : count);
    }
    SizeToGlyph();
    update();
}

int TFancyButton::NumGlyphs() const
{
    return m_glyph->NumGlyphs();
}

void TFancyButton::SetNumGlyphs(int count)
{
    count = std::clamp(count, 1, TButtonGlyph::StateCount);
    if (count == m_glyph->NumGlyphs())
        return;
    m_glyph->SetNumGlyphs(count);
    SizeToGlyph();
    update();
}

void TFancyButton::SetTextOffsetLeft(int offset)
{
    m_textOffsetLeft = offset;
    update();
}

void TFancyButton::SetTextOffsetTop(int offset)
{
    m_textOffsetTop = offset;
    update();
}

void TFancyButton::SetTextShadowColor(const QColor& color)
{
    m_textShadowColor = color;
    update();
}

void TFancyButton::SetCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    UpdateShortcut();
    update();
}

void TFancyButton::Click()
{
    emit clicked();
}

void TFancyButton::SetAction(QAction* action)
{
    if (action == m_action)
        return;
    if (m_action)
        m_action->disconnect(this);
    disconnect(m_actionTrigger);
    m_action = action;
    if (!action)
        return;
    connect(action, &QAction::changed, this, &TFancyButton::ActionChanged);
    m_actionTrigger =
        connect(this, &TFancyButton::clicked, action, [action] { action->trigger(); });
    ActionChanged();

    const QIcon icon = action->icon();
    if (Glyph().isNull() && !icon.isNull()) {
        const QList<QSize> sizes = icon.availableSizes();
        const QSize size = sizes.isEmpty() ? QSize(16, 16) : sizes.first();
        QPixmap picture(size);
        picture.fill(QColor(255, 0, 255));
        QPainter painter(&picture);
        painter.drawPixmap(0, 0, icon.pixmap(size));
        painter.end();
        SetGlyph(picture);
    }
}

void TFancyButton::ActionChanged()
{
    if (!m_action)
        return;
    SetCaption(m_action->text());
    setToolTip(m_action->toolTip());
    setEnabled(m_action->isEnabled());
    if (isHidden() == m_action->isVisible())
        setVisible(m_action->isVisible());
}

void TFancyButton::SizeToGlyph()
{
    // Without a strip the button keeps its size rather than shrinking to nothing.
    const QSize cell = m_glyph->CellSize();
    if (!cell.isEmpty())
        resize(cell);
}

void TFancyButton::UpdateShortcut()
{
    if (m_shortcutId != 0)
        releaseShortcut(m_shortcutId);
    m_shortcutId = 0;
    const QKeySequence mnemonic = QKeySequence::mnemonic(m_caption);
    if (!mnemonic.isEmpty())
        m_shortcutId = grabShortcut(mnemonic);
}

bool TFancyButton::event(QEvent* event)
{
    if (event->type() == QEvent::Shortcut) {
        auto* shortcut = static_cast<QShortcutEvent*>(event);
        if (shortcut->shortcutId() == m_shortcutId) {
            const QWidget* parent = parentWidget();
            if (m_state != fbsDisabled && isVisible() && (!parent || parent->isVisible()))
                Click();
            return true;
        }
    }
    return QWidget::event(event);
}

void TFancyButton::changeEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::EnabledChange:
        // Enabling or disabling the widget (or its parent) from outside moves the state along.
        if (!m_settingEnabled) {
            if (!isEnabled()) {
                m_state = fbsDisabled;
                m_pressing = false;
                m_hot = false;
            } else if (m_state == fbsDisabled) {
                m_state = m_down ? fbsExclusive : RestingState();
            }
            update();
        }
        break;
    case QEvent::PaletteChange:
        // The disabled picture is painted in the palette's colours.
        m_glyph->RebuildDisabled(palette());
        update();
        break;
    case QEvent::FontChange:
    case QEvent::LayoutDirectionChange:
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

void TFancyButton::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || m_state == fbsDisabled)
        return;
    if (!m_down) {
        m_state = fbsDown;
        update();
    }
    m_pressing = true;
}

void TFancyButton::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    const QPoint pos = event->position().toPoint();
    if (m_pressing) {
        const bool inside = rect().contains(pos);
        const TFancyButtonState state = m_down ? fbsExclusive : inside ? fbsDown : fbsUp;
        if (state != m_state) {
            m_state = state;
            update();
        }
    } else if (!m_hot) {
        UpdateTracking(pos);
    }
}

void TFancyButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !m_pressing)
        return;
    m_pressing = false;
    const QPoint pos = event->position().toPoint();
    const bool inside = rect().contains(pos);
    if (m_groupIndex == 0) {
        if (m_state != fbsDisabled)
            m_state = fbsMouseOut;
        m_hot = false;
        update();
    } else if (inside) {
        SetDown(!m_down);
        update();
    } else {
        if (m_down)
            m_state = fbsExclusive;
        update();
    }

    // A press let go outside the button is abandoned: no click and no dialog result.
    if (inside) {
        QPointer<TFancyButton> guard(this);
        Click();
        if (!guard)
            return;
        HandModalResultToDialog();
        if (!guard)
            return;
    }
    UpdateTracking(pos);
}

void TFancyButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click is only a double click for a latched button.
    event->accept();
    if (event->button() == Qt::LeftButton && m_down)
        emit doubleClicked();
}

void TFancyButton::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const bool escape = key == Qt::Key_Escape && m_modalResult == mrCancel;
    if (!enter && !escape) {
        // The dialog keeps its own handling of the keys the button leaves alone.
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    QPointer<TFancyButton> guard(this);
    Click();
    if (guard)
        HandModalResultToDialog();
}

void TFancyButton::HandModalResultToDialog()
{
    if (m_modalResult == mrNone)
        return;
    if (auto* dialog = qobject_cast<QDialog*>(window()))
        dialog->done(m_modalResult);
}

void TFancyButton::enterEvent(QEnterEvent* event)
{
    MouseEnter();
    QWidget::enterEvent(event);
}

void TFancyButton::leaveEvent(QEvent* event)
{
    MouseLeave();
    QWidget::leaveEvent(event);
}

void TFancyButton::MouseEnter()
{
    if (m_hot || m_state == fbsDisabled)
        return;
    const QWidget* grabber = QWidget::mouseGrabber();
    if (grabber && grabber != this)
        return;
    m_hot = true;
    if (m_state == fbsMouseOut)
        m_state = fbsUp;
    update();
}

void TFancyButton::MouseLeave()
{
    if (!m_hot || m_state == fbsDisabled || m_pressing)
        return;
    m_hot = false;
    if (m_state == fbsUp)
        m_state = fbsMouseOut;
    update();
}

void TFancyButton::UpdateTracking(const QPoint& pointer)
{
    if (m_state == fbsDisabled)
        return;
    const bool over = rect().contains(pointer);
    if (over == m_hot)
        return;
    if (m_hot)
        MouseLeave();
    else
        MouseEnter();
}

void TFancyButton::UpdateExclusive()
{
    QWidget* parent = parentWidget();
    if (m_groupIndex == 0 || !parent)
        return;
    const auto siblings = parent->findChildren<TFancyButton*>(Qt::FindDirectChildrenOnly);
    for (TFancyButton* sibling : siblings) {
        if (sibling != this && sibling->m_groupIndex == m_groupIndex)
            sibling->ButtonPressed(this);
    }
}

void TFancyButton::ButtonPressed(TFancyButton* sender)
{
    if (sender->m_down && m_down) {
        m_down = false;
        if (m_state != fbsDisabled)
            m_state = RestingState();
        update();
    }
    m_allowAllUp = sender->m_allowAllUp;
}
