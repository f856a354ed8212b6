#include "controls/URLStatic.h"

#include "controls/ShellOpen.h"
#include "ui/DesktopLook.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QMouseEvent>
#include <QPalette>

TURLStatic::TURLStatic(QWidget* parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);

    FollowBackground();

    // Only these attributes are set, so the size still follows the parent's font.
    QFont linkFont;
    linkFont.setFamily(FormFont().family());
    linkFont.setUnderline(true);
    linkFont.setBold(false);
    linkFont.setItalic(false);
    setFont(linkFont);

    // The parent shows through.
    setAutoFillBackground(false);
}

void TURLStatic::FollowBackground()
{
    // A colour stored with the form (or set by the program) is kept as it is.
    const QPalette current = palette();
    const QPalette inherited =
        parentWidget() ? parentWidget()->palette() : QApplication::palette(this);
    const QColor text = current.color(QPalette::WindowText);
    if (text != m_linkColour && text != inherited.color(QPalette::WindowText))
        return;
    // Blue on a light background; on a dark one a colour that stays readable. Only the text's
    // colour is the label's own, so the background still comes from the parent.
    const QColor colour = ReadableLinkColour(current, QPalette::Window);
    if (colour == m_linkColour && text == colour)
        return;
    m_linkColour = colour;
    QPalette linkPalette;
    linkPalette.setColor(QPalette::WindowText, colour);
    setPalette(linkPalette);
}

void TURLStatic::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        FollowBackground();
}

void TURLStatic::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    // The address opens on the press itself; the label's own press handling (text selection,
    // link tracking, passing the press on to the parent) is skipped, so no click follows.
    m_leftDown = true;
    event->accept();
    ShellOpen(m_url);
}

void TURLStatic::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QLabel::mouseDoubleClickEvent(event);
        return;
    }
    // The second press of a double click must not open the address a second time.
    m_leftDown = true;
    event->accept();
}

void TURLStatic::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_leftDown) {
        // The press was ours; its release completes nothing.
        m_leftDown = false;
        event->accept();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}
