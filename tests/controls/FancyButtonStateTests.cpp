#include "controls/FancyButton.h"
#include "tests/controls/FancyButtonTestSupport.h"

#include <QDialog>
#include <QFont>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace fancytest;

namespace {

// Three buttons of group 1 and one of group 2 side by side in one parent.
struct TGroupWindow
{
    TGroupWindow()
    {
        for (int i = 0; i < 4; ++i) {
            buttons[i] = new TFancyButton(&window);
            buttons[i]->move(30 * i, 0);
            buttons[i]->SetGroupIndex(i < 3 ? 1 : 2);
        }
    }
    TFancyButton* operator[](int i) { return buttons[i]; }
    int DownCount()
    {
        int down = 0;
        for (TFancyButton* button : buttons)
            down += button->Down() ? 1 : 0;
        return down;
    }

    QWidget window;
    TFancyButton* buttons[4];
};

// A caption-only button with sharp text, so text colours can be found pixel by pixel.
void SetUpCaption(TFancyButton& button)
{
    UseFixedPalette(button);
    QFont font = button.font();
    font.setPixelSize(18);
    font.setStyleStrategy(QFont::NoAntialias);
    button.setFont(font);
    button.resize(80, 40);
    button.SetCaption(QStringLiteral("WM"));
}

} // namespace

TEST(FancyButtonGroup, DownNeedsAGroup)
{
    TFancyButton button;
    button.SetDown(true);
    EXPECT_FALSE(button.Down());
    ClickOn(&button);
    EXPECT_FALSE(button.Down());
    EXPECT_EQ(button.State(), TFancyButton::fbsUp) << "up under the pointer after a click";

    // Leaving the group lets go of a latched button.
    button.SetGroupIndex(3);
    button.SetDown(true);
    ASSERT_TRUE(button.Down());
    EXPECT_EQ(button.State(), TFancyButton::fbsExclusive);
    button.SetGroupIndex(0);
    EXPECT_FALSE(button.Down());
    EXPECT_NE(button.State(), TFancyButton::fbsExclusive);
}

TEST(FancyButtonGroup, AtMostOneLatchedAndItStaysWithoutAllowAllUp)
{
    TGroupWindow group;
    ClickOn(group[0]);
    EXPECT_TRUE(group[0]->Down());
    EXPECT_EQ(group[0]->State(), TFancyButton::fbsExclusive);
    ClickOn(group[3]);
    EXPECT_TRUE(group[3]->Down()) << "another group latches on its own";

    ClickOn(group[1]);
    EXPECT_TRUE(group[1]->Down());
    EXPECT_FALSE(group[0]->Down());
    EXPECT_NE(group[0]->State(), TFancyButton::fbsExclusive);
    EXPECT_TRUE(group[3]->Down());

    // Clicking or unsetting the latched button keeps it down.
    ClickOn(group[1]);
    EXPECT_TRUE(group[1]->Down());
    group[1]->SetDown(false);
    EXPECT_TRUE(group[1]->Down());
    EXPECT_EQ(group.DownCount(), 2);

    // Latching from code releases the other member as well.
    group[2]->SetDown(true);
    EXPECT_FALSE(group[1]->Down());
    EXPECT_EQ(group.DownCount(), 2);

    // A button of the same group in another parent is no member.
    TFancyButton stranger;
    stranger.SetGroupIndex(1);
    stranger.SetDown(true);
    EXPECT_TRUE(group[2]->Down());
}

TEST(FancyButtonGroup, AllowAllUpLetsTheLatchedButtonComeUp)
{
    TGroupWindow group;
    group[1]->SetAllowAllUp(true);
    // The setting spreads to the group.
    EXPECT_TRUE(group[0]->AllowAllUp());
    EXPECT_TRUE(group[2]->AllowAllUp());
    EXPECT_FALSE(group[3]->AllowAllUp());

    ClickOn(group[0]);
    ASSERT_TRUE(group[0]->Down());
    ClickOn(group[0]);
    EXPECT_FALSE(group[0]->Down());
    EXPECT_EQ(group.DownCount(), 0);
    EXPECT_NE(group[0]->State(), TFancyButton::fbsExclusive);
}

TEST(FancyButtonGroup, DoubleClickOnlyWhenLatched)
{
    TGroupWindow group;
    QSignalSpy doubles(group[0], &TFancyButton::doubleClicked);
    SendMouse(group[0], QEvent::MouseButtonDblClick, QPoint(5, 5));
    EXPECT_EQ(doubles.count(), 0);
    ClickOn(group[0]);
    SendMouse(group[0], QEvent::MouseButtonDblClick, QPoint(5, 5));
    EXPECT_EQ(doubles.count(), 1);
}

TEST(FancyButtonMouse, PressDragAndRelease)
{
    TFancyButton button;
    QSignalSpy clicks(&button, &TFancyButton::clicked);
    Enter(&button);
    EXPECT_TRUE(button.Hot());
    EXPECT_EQ(button.State(), TFancyButton::fbsUp);

    PressAt(&button, QPoint(5, 5));
    EXPECT_EQ(button.State(), TFancyButton::fbsDown);
    // While pressing, leaving does not count and moves outside show the button up.
    Leave(&button);
    EXPECT_TRUE(button.Hot());
    MoveTo(&button, QPoint(40, 5));
    EXPECT_EQ(button.State(), TFancyButton::fbsUp);
    MoveTo(&button, QPoint(22, 21));
    EXPECT_EQ(button.State(), TFancyButton::fbsDown);
    MoveTo(&button, QPoint(22, 22));
    EXPECT_EQ(button.State(), TFancyButton::fbsUp) << "the row below the button is outside";
    MoveTo(&button, QPoint(3, 3));
    ReleaseAt(&button, QPoint(3, 3));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button.State(), TFancyButton::fbsUp);
    EXPECT_TRUE(button.Hot());

    // A press given up outside the button is no click.
    PressAt(&button, QPoint(5, 5));
    MoveTo(&button, QPoint(-3, 5));
    ReleaseAt(&button, QPoint(-3, 5));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(button.Hot());
    EXPECT_EQ(button.State(), TFancyButton::fbsMouseOut);

    // Other buttons do nothing.
    SendMouse(&button, QEvent::MouseButtonPress, QPoint(5, 5), Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(button.State(), TFancyButton::fbsMouseOut);
}

TEST(FancyButtonMouse, HotTracking)
{
    TFancyButton button;
    UseFixedPalette(button);
    button.SetGlyph(MakeStrip(3));
    EXPECT_EQ(PixelAt(Render(button), 8, 8), CellColours[2]);
    Enter(&button);
    EXPECT_TRUE(button.Hot());
    EXPECT_EQ(PixelAt(Render(button), 8, 8), CellColours[0]);
    Leave(&button);
    EXPECT_FALSE(button.Hot());
    EXPECT_EQ(button.State(), TFancyButton::fbsMouseOut);

    // A move over the button without a press finds the pointer too.
    MoveTo(&button, QPoint(4, 4), false);
    EXPECT_TRUE(button.Hot());
    Leave(&button);

    // A disabled button tracks nothing; enabling it brings it back mouse-out.
    button.setEnabled(false);
    EXPECT_EQ(button.State(), TFancyButton::fbsDisabled);
    Enter(&button);
    EXPECT_FALSE(button.Hot());
    button.setEnabled(true);
    EXPECT_EQ(button.State(), TFancyButton::fbsMouseOut);
}

TEST(FancyButtonKeys, EnterAndEscapeHandTheResultToTheDialog)
{
    QDialog dialog;
    auto* button = new TFancyButton(&dialog);
    QSignalSpy clicks(button, &TFancyButton::clicked);
    dialog.show();

    // Without a result Enter only clicks.
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(dialog.isVisible());

    button->SetModalResult(6);
    QTest::keyClick(button, Qt::Key_Enter);
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 6);

    // Escape is the button's only when it cancels.
    dialog.show();
    dialog.setResult(0);
    button->SetModalResult(TFancyButton::mrOk);
    QTest::keyClick(button, Qt::Key_Escape);
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_NE(dialog.result(), TFancyButton::mrOk);

    dialog.show();
    button->SetModalResult(TFancyButton::mrCancel);
    QTest::keyClick(button, Qt::Key_Escape);
    EXPECT_EQ(clicks.count(), 3);
    EXPECT_EQ(dialog.result(), TFancyButton::mrCancel);
    EXPECT_FALSE(dialog.isVisible());

    // Results outside what a dialog takes are kept in range.
    button->SetModalResult(40);
    EXPECT_EQ(button->ModalResult(), 8);
    button->SetModalResult(-1);
    EXPECT_EQ(button->ModalResult(), 0);
}

TEST(FancyButtonKeys, MouseClickHandsTheResultButAnAbandonedPressDoesNot)
{
    QDialog dialog;
    auto* button = new TFancyButton(&dialog);
    button->SetModalResult(TFancyButton::mrOk);
    dialog.show();
    PressAt(button, QPoint(5, 5));
    ReleaseAt(button, QPoint(50, 5));
    EXPECT_TRUE(dialog.isVisible());
    ClickOn(button);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), TFancyButton::mrOk);
}

TEST(FancyButtonKeys, AcceleratorClicks)
{
    QWidget window;
    auto* button = new TFancyButton(&window);
    button->SetCaption(QStringLiteral("&Open"));
    QSignalSpy clicks(button, &TFancyButton::clicked);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QTest::keyClick(&window, Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    QTest::keyClick(&window, Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    button->SetState(TFancyButton::fbsDisabled);
    QTest::keyClick(&window, Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    button->SetState(TFancyButton::fbsMouseOut);
    button->SetCaption(QStringLiteral("Sa&ve"));
    QTest::keyClick(&window, Qt::Key_O, Qt::AltModifier);
    QTest::keyClick(&window, Qt::Key_V, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 2);
}

TEST(FancyButtonPainting, OneCellMovesTwoPixelsWhenPushed)
{
    // A single picture with a one-pixel marker in its top-left corner.
    QImage strip(16, 16, QImage::Format_RGB32);
    strip.fill(CellColours[0]);
    strip.setPixelColor(0, 0, CellColours[1]);
    strip.setPixelColor(0, 15, KeyColour);
    TFancyButton button;
    UseFixedPalette(button);
    button.SetGlyph(QPixmap::fromImage(strip));
    EXPECT_EQ(PixelAt(Render(button), 0, 0), CellColours[1]);

    PressAt(&button, QPoint(5, 5));
    const QImage pressed = Render(button);
    EXPECT_EQ(PixelAt(pressed, 2, 2), CellColours[1]);
    EXPECT_EQ(PixelAt(pressed, 0, 0), Face);
    EXPECT_EQ(PixelAt(pressed, 15, 15), CellColours[0]);
    ReleaseAt(&button, QPoint(5, 5));
    EXPECT_EQ(PixelAt(Render(button), 0, 0), CellColours[1]);

    // With a pressed cell of its own the picture stays in place.
    QImage twoCells(32, 16, QImage::Format_RGB32);
    twoCells.fill(CellColours[0]);
    twoCells.setPixelColor(0, 0, CellColours[1]);
    twoCells.setPixelColor(0, 15, KeyColour);
    button.SetGlyph(QPixmap::fromImage(twoCells));
    PressAt(&button, QPoint(5, 5));
    EXPECT_EQ(PixelAt(Render(button), 0, 0), CellColours[1]);
}

TEST(FancyButtonPainting, LatchedButtonIsCheckered)
{
    TFancyButton button;
    UseFixedPalette(button);
    button.SetGroupIndex(1);
    button.SetDown(true);
    const QImage image = Render(button);
    // Without a picture of its own the face moves like a single picture does.
    EXPECT_EQ(PixelAt(image, 1, 1), Face);
    const QColor a = PixelAt(image, 4, 4);
    const QColor b = PixelAt(image, 5, 4);
    EXPECT_NE(a, b);
    EXPECT_TRUE((a == Face && b == Highlight) || (a == Highlight && b == Face));
    EXPECT_EQ(PixelAt(image, 5, 5), a);
}

TEST(FancyButtonPainting, CaptionShadowOffsetsAndDisabledText)
{
    TFancyButton button;
    SetUpCaption(button);
    const QRect plain = BoundsOf(Render(button), Text);
    ASSERT_FALSE(plain.isEmpty());
    EXPECT_LE(std::abs(plain.center().x() - 40), 3) << "caption centred";

    // The shadow lies where the text was; the text moves two pixels left and up.
    const QColor shadowColour(220, 0, 0);
    button.SetTextShadowColor(shadowColour);
    const QImage shadowed = Render(button);
    EXPECT_EQ(BoundsOf(shadowed, Text), plain.translated(-2, -2));
    EXPECT_EQ(BoundsOf(shadowed, shadowColour).bottomRight(), plain.bottomRight());
    button.SetTextShadowColor(QColor());

    button.SetTextOffsetLeft(5);
    button.SetTextOffsetTop(-3);
    EXPECT_EQ(BoundsOf(Render(button), Text), plain.translated(5, -3));
    // Pushed, the caption moves one more pixel each way, and two more with the face of a
    // button that has a single picture (here none).
    button.SetState(TFancyButton::fbsDown);
    EXPECT_EQ(BoundsOf(Render(button), Text), plain.translated(8, 0));
    button.SetTextOffsetLeft(0);
    button.SetTextOffsetTop(0);

    button.SetState(TFancyButton::fbsDisabled);
    const QImage disabled = Render(button);
    EXPECT_TRUE(BoundsOf(disabled, Text).isEmpty());
    EXPECT_EQ(BoundsOf(disabled, Shadow), plain);
    EXPECT_EQ(BoundsOf(disabled, Highlight).bottomRight(), plain.bottomRight() + QPoint(1, 1));
}

TEST(FancyButtonPainting, PictureAndCaptionCentredIndependently)
{
    TFancyButton button;
    SetUpCaption(button);
    button.SetGlyph(MakeStrip(1, QSize(10, 6)));
    button.resize(41, 31);
    const TFancyButton::TButtonLayout layout = button.CalcButtonLayout(button.rect(), QPoint(0, 0));
    EXPECT_EQ(layout.GlyphPos, QPoint(16, 13));
    const QRect text = layout.TextBounds;
    EXPECT_EQ(text.left(), (41 - text.width() + 1) / 2);
    EXPECT_EQ(text.top(), (31 - text.height() + 1) / 2);
    const QFontMetrics metrics(button.font());
    EXPECT_GE(text.width(), metrics.horizontalAdvance(QStringLiteral("WM")) + 5);
    EXPECT_LE(text.width(), metrics.horizontalAdvance(QStringLiteral("WM")) + 8);
    EXPECT_EQ(text.height(), metrics.height());

    const TFancyButton::TButtonLayout moved =
        button.CalcButtonLayout(button.rect().translated(2, 2), QPoint(4, 1));
    EXPECT_EQ(moved.GlyphPos, QPoint(18, 15));
    EXPECT_EQ(moved.TextBounds, text.translated(6, 3));
}
