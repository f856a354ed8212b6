#include "tests/settings/options/OptionsTestFixture.h"

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <string>

namespace optionstest {
namespace {

// Where the dialog meets a screen too small for it: the groups scroll, the buttons stay.
class OptionsFitTest : public OptionsTest
{
protected:
    QScrollArea* Scroller() const { return Get<QScrollArea>("GroupScroller"); }
    QRect FreeArea() const { return dlg->screen()->availableGeometry(); }

    // The part of w that the user sees: for a control among the groups, the part inside the
    // scrolled view.
    QRect SeenPart(QWidget* w) const
    {
        QWidget* view = Scroller()->viewport();
        if (!view->isAncestorOf(w))
            return w->visibleRegion().boundingRect();
        const QRect place(w->mapTo(view, QPoint(0, 0)), w->size());
        return view->rect().intersected(place).translated(-place.topLeft());
    }

    // Empty when the user sees all of w, or as much of it as the view can hold.
    std::string Unseen(QWidget* w) const
    {
        const QRect seen = SeenPart(w);
        const QSize room = Scroller()->viewport()->size();
        const bool fits = !Scroller()->viewport()->isAncestorOf(w) ||
                          (w->width() <= room.width() && w->height() <= room.height());
        if (fits ? seen == w->rect() : !seen.isEmpty())
            return {};
        return w->objectName().toStdString() + " is hidden";
    }

    // So that Tab stops at each control.
    void EnableEveryControl() const
    {
        SetChecked(Check("AddLinksCheckbox"), true);
        SetChecked(Check("UseImagesCheckbox"), true);
        ChooseLevel(2);
        SetChecked(Check("BreadcrumbsCheckbox"), true);
    }

    // Presses Tab from OK through the whole order: each control takes the focus in turn and
    // comes into view; OK, Cancel and Help stay in view throughout. Of the levels only the
    // one selected is a stop, as in every radio group.
    void TabThroughEveryControl() const
    {
        dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
        QStringList stops = kTabOrder;
        stops.removeIf([this](const QString& name) {
            auto* level = qobject_cast<QRadioButton*>(Get<QWidget>(qPrintable(name)));
            return level && !level->isChecked();
        });
        Button("OKBtn")->setFocus(Qt::TabFocusReason);
        for (qsizetype i = 0; i < stops.size(); ++i) {
            if (i > 0)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCoreApplication::processEvents();
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            ASSERT_EQ(focus->objectName().toStdString(), stops[i].toStdString()) << "Tab " << i;
            EXPECT_EQ(Unseen(focus), "");
            for (const char* name : {"OKBtn", "CancelBtn", "HelpButton"})
                EXPECT_EQ(Unseen(Button(name)), "") << "focus on " << stops[i].toStdString();
        }

        // What Tab does not stop at: the other levels, every label and every group's title.
        for (QWidget* w : Get<QWidget>("GroupPane")->findChildren<QWidget*>()) {
            if (!w->objectName().isEmpty() && w->isVisibleTo(dlg.get()) &&
                w->parentWidget() != Browser()) {
                const QRect place(w->mapTo(Scroller()->widget(), QPoint(0, 0)), w->size());
                Scroller()->ensureVisible(place.center().x(), place.center().y(),
                                          w->width() / 2 + 1, w->height() / 2 + 1);
                EXPECT_EQ(Unseen(w), "");
            }
        }
    }
};

TEST_F(OptionsFitTest, ShownItComesInsideTheScreensFreeAreaAtFullSizeWhereItFits)
{
    Create(false);
    const QSize natural = dlg->size();
    const QRect free = FreeArea();
    // Placed by its owner so that it would reach past the bottom right corner.
    dlg->move(free.right() - natural.width() / 2, free.bottom() - natural.height() / 2);
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    EXPECT_TRUE(free.contains(dlg->frameGeometry()));

    // Where the whole dialog fits, nothing scrolls: it looks as it always did.
    const QSize border = dlg->frameGeometry().size() - dlg->size();
    if (free.width() >= natural.width() + border.width() &&
        free.height() >= natural.height() + border.height()) {
        QWidget* pane = Get<QWidget>("GroupPane");
        EXPECT_EQ(dlg->size(), natural);
        EXPECT_EQ(Scroller()->viewport()->size(), pane->size());
        EXPECT_FALSE(Scroller()->verticalScrollBar()->isVisible());
        EXPECT_FALSE(Scroller()->horizontalScrollBar()->isVisible());
    } else {
        // A screen too small for it (a large font): the groups scroll instead.
        EXPECT_TRUE(Scroller()->verticalScrollBar()->isVisible() ||
                    Scroller()->horizontalScrollBar()->isVisible());
    }
}

TEST_F(OptionsFitTest, InAnAreaHalfItsHeightTheGroupsScrollAndTabShowsEveryControl)
{
    Create();
    EnableEveryControl();
    const QSize full = dlg->frameGeometry().size();
    // Wide enough for a scroll bar beside the groups.
    const QRect area(FreeArea().topLeft() + QPoint(20, 30),
                     QSize(full.width() * 5 / 4, full.height() / 2));
    dlg->FitInto(area);
    QCoreApplication::processEvents();
    EXPECT_TRUE(area.contains(dlg->frameGeometry()));
    // The vertical scroll bar is given its own room, so nothing scrolls sideways.
    EXPECT_TRUE(Scroller()->verticalScrollBar()->isVisible());
    EXPECT_FALSE(Scroller()->horizontalScrollBar()->isVisible());
    TabThroughEveryControl();

    // Back on the full screen, the dialog is whole again.
    dlg->FitInto(FreeArea());
    EXPECT_EQ(dlg->frameGeometry().size(), full);
}

TEST_F(OptionsFitTest, InAnAreaNarrowerAndLowerTheButtonsStayAndTabShowsEveryControl)
{
    Create();
    EnableEveryControl();
    const QSize full = dlg->frameGeometry().size();
    const QRect area(FreeArea().topLeft(), QSize(full.width() * 3 / 4, full.height() / 2));
    dlg->FitInto(area);
    QCoreApplication::processEvents();
    EXPECT_TRUE(area.contains(dlg->frameGeometry()));
    EXPECT_TRUE(Scroller()->verticalScrollBar()->isVisible());
    EXPECT_TRUE(Scroller()->horizontalScrollBar()->isVisible());
    TabThroughEveryControl();
}

} // namespace
} // namespace optionstest
