#pragma once

#include "app/desktop/HelpViewer.h"

#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QWindow>

namespace helptest {

inline QTextBrowser* Browser(THelpViewer& window)
{
    return window.findChild<QTextBrowser*>("Browser");
}

inline QPushButton* Button(THelpViewer& window, const char* name)
{
    return window.findChild<QPushButton*>(QString::fromLatin1(name));
}

inline QString PageText(THelpViewer& window)
{
    return Browser(window)->toPlainText();
}

// Clicks the first link to href on the page shown, as the user would: scrolled into view and
// pressed with the mouse. False when the page has no such link.
inline bool ClickLink(THelpViewer& window, const QString& href)
{
    QTextBrowser* browser = Browser(window);
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isAnchor() || fragment.charFormat().anchorHref() != href)
                continue;
            QTextCursor cursor(browser->document());
            cursor.setPosition(fragment.position() + fragment.length() / 2);
            browser->setTextCursor(cursor);
            browser->ensureCursorVisible();
            const QPoint point = browser->cursorRect(cursor).center();
            if (browser->anchorAt(point) != href)
                return false;
            QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, point);
            return true;
        }
    }
    return false;
}

// A click delivered through the widget's window, the way the window system delivers one, so
// that a modal dialog's blocking applies (a click sent straight to a widget ignores it).
inline void ClickThroughWindow(QWidget* widget)
{
    QWidget* top = widget->window();
    const QPoint point = widget->mapTo(top, widget->rect().center());
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, point);
}

} // namespace helptest
