#include "controls/URLStatic.h"

#include "controls/ShellOpen.h"

#include <QFont>
#include <QMouseEvent>
#include <QPalette>

TURLStatic::TURLStatic(QWidget* parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);

    QPalette linkPalette = palette();
    linkPalette.setColor(QPalette::WindowText, Qt::blue);
    setPalette(linkPalette);

    // Only these attributes are set, so the size still follows the parent's font.
    QFont linkFont;
    linkFont.setFamily(QStringLiteral("Arial"));
    linkFont.setUnderline(true);
    linkFont.setBold(false);
    linkFont.setItalic(false);
    setFont(linkFont);

    // The parent shows through.
    setAutoFillBackground(false);
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
