#include "controls/FancyButton.h"
#include "controls/FancyButtonGlyph.h"
#include "tests/controls/FancyButtonTestSupport.h"

#include <QWidget>
#include <array>
#include <gtest/gtest.h>
#include <memory>

using namespace fancytest;

namespace {

// Shows the button in the given state, the way the pointer or the program puts it there.
void PutInState(TFancyButton& button, TFancyButtonState state)
{
    Leave(&button);
    button.SetState(TFancyButton::fbsMouseOut);
    if (state == TFancyButton::fbsUp)
        Enter(&button);
    else
        button.SetState(state);
    ASSERT_EQ(button.State(), state);
}

} // namespace

TEST(FancyButtonStrip, NewButtonDefaults)
{
    TFancyButton button;
    EXPECT_EQ(button.size(), QSize(23, 22));
    EXPECT_EQ(button.State(), TFancyButton::fbsMouseOut);
    EXPECT_EQ(button.NumGlyphs(), 1);
    EXPECT_EQ(button.ModalResult(), 0);
    EXPECT_FALSE(button.AllowAllUp());
    EXPECT_EQ(button.GroupIndex(), 0);
    EXPECT_FALSE(button.Down());
    EXPECT_TRUE(button.Glyph().isNull());
    EXPECT_EQ(button.TextOffsetLeft(), 0);
    EXPECT_EQ(button.TextOffsetTop(), 0);
    EXPECT_FALSE(button.TextShadowColor().isValid());
    EXPECT_TRUE(button.isEnabled());
}

TEST(FancyButtonStrip, CountAndSizeComeFromTheStrip)
{
    TFancyButton button;
    button.SetGlyph(MakeStrip(5));
    EXPECT_EQ(button.NumGlyphs(), 5);
    EXPECT_EQ(button.size(), QSize(16, 16));

    // Seven square cells are more than a strip holds: the whole strip is one picture.
    button.SetGlyph(MakeStrip(7));
    EXPECT_EQ(button.NumGlyphs(), 1);
    EXPECT_EQ(button.size(), QSize(112, 16));

    // 50 is no multiple of 16: the count stays, the size follows it.
    button.SetNumGlyphs(2);
    button.SetGlyph(QPixmap::fromImage(MakeStrip(1, QSize(50, 16)).toImage()));
    EXPECT_EQ(button.NumGlyphs(), 2);
    EXPECT_EQ(button.size(), QSize(25, 16));
}

TEST(FancyButtonStrip, NumGlyphsIsClampedAndResizesTheButton)
{
    TFancyButton button;
    button.SetGlyph(MakeStrip(3, QSize(20, 20)));
    ASSERT_EQ(button.NumGlyphs(), 3);

    button.SetNumGlyphs(0);
    EXPECT_EQ(button.NumGlyphs(), 1);
    EXPECT_EQ(button.size(), QSize(60, 20));
    button.SetNumGlyphs(9);
    EXPECT_EQ(button.NumGlyphs(), 5);
    EXPECT_EQ(button.size(), QSize(12, 20));
    button.SetNumGlyphs(-4);
    EXPECT_EQ(button.NumGlyphs(), 1);
    button.setProperty("NumGlyphs", 2);
    EXPECT_EQ(button.NumGlyphs(), 2);
    EXPECT_EQ(button.size(), QSize(30, 20));
}

TEST(FancyButtonStrip, EachStateShowsItsCell)
{
    using S = TFancyButton::TFancyButtonState;
    const std::array<S, 4> states{TFancyButton::fbsUp, TFancyButton::fbsDown,
                                  TFancyButton::fbsMouseOut, TFancyButton::fbsExclusive};
    // Rows: 1 to 5 cells; columns: fbsUp, fbsDown, fbsMouseOut, fbsExclusive, fbsDisabled.
    const int expected[5][5] = {
        {0, 0, 0, 0, -1}, {0, 0, 0, 0, 0}, {0, 1, 2, 0, 0}, {0, 1, 2, 1, 0}, {0, 1, 2, 1, 4}};
    for (int count = 1; count <= 5; ++count) {
        TFancyButton button;
        UseFixedPalette(button);
        button.SetGlyph(MakeStrip(count));
        ASSERT_EQ(button.NumGlyphs(), count);
        for (std::size_t s = 0; s < states.size() + 1; ++s) {
            const S state = s < states.size() ? states[s] : TFancyButton::fbsDisabled;
            const int cell = expected[count - 1][s];
            if (cell < 0)
                continue;
            PutInState(button, state);
            const QImage image = Render(button);
            SCOPED_TRACE(testing::Message() << count << " cells, state " << int(state));
            // A cell's own colour fills the face; the single picture moves when pushed.
            EXPECT_EQ(PixelAt(image, 8, 8), CellColours[cell]);
            EXPECT_EQ(PixelAt(image, 14, 3), CellColours[cell]);
            EXPECT_EQ(TButtonGlyph::CellFor(state, count), cell);
        }
    }
}

TEST(FancyButtonStrip, TransparentColourShowsTheFace)
{
    TFancyButton button;
    UseFixedPalette(button);
    button.SetGlyph(MakeStrip(3));
    const QImage image = Render(button);
    // The mouse-out cell is solid; its neighbour cell 0 carries the transparent corner.
    EXPECT_EQ(PixelAt(image, 0, 15), CellColours[2]);
    Enter(&button);
    const QImage hot = Render(button);
    EXPECT_EQ(PixelAt(hot, 0, 15), Face);
    EXPECT_EQ(PixelAt(hot, 1, 15), CellColours[0]);
}

TEST(FancyButtonDisabledPicture, RecolouredFromCellZeroWithoutAFifthCell)
{
    // Cell 0: white, grey, transparent and a plain colour in four bands; cells 1-3 solid.
    QImage strip(64, 16, QImage::Format_RGB32);
    strip.fill(CellColours[1]);
    QPainter painter(&strip);
    painter.fillRect(0, 0, 16, 4, Qt::white);
    painter.fillRect(0, 4, 16, 4, QColor(128, 128, 128));
    painter.fillRect(0, 8, 16, 4, CellColours[0]);
    painter.fillRect(0, 12, 16, 4, KeyColour);
    painter.end();

    TFancyButton button;
    UseFixedPalette(button);
    button.SetGlyph(QPixmap::fromImage(strip));
    ASSERT_EQ(button.NumGlyphs(), 4);
    button.SetState(TFancyButton::fbsDisabled);
    EXPECT_FALSE(button.isEnabled());
    const QImage image = Render(button);
    EXPECT_EQ(PixelAt(image, 5, 1), Highlight);
    EXPECT_EQ(PixelAt(image, 5, 5), Shadow);
    EXPECT_EQ(PixelAt(image, 5, 9), CellColours[0]);
    EXPECT_EQ(PixelAt(image, 5, 13), Face);

    // The picture follows new system colours.
    QPalette palette = button.palette();
    palette.setColor(QPalette::Dark, QColor(10, 20, 30));
    button.setPalette(palette);
    EXPECT_EQ(PixelAt(Render(button), 5, 5), QColor(10, 20, 30));
}

TEST(FancyButtonDisabledPicture, EmbossedSilhouetteOfASinglePicture)
{
    // A dark square with a white centre on a transparent background.
    QImage strip(16, 16, QImage::Format_RGB32);
    strip.fill(KeyColour);
    QPainter painter(&strip);
    painter.fillRect(4, 4, 8, 8, CellColours[2]);
    painter.fillRect(7, 7, 2, 2, Qt::white);
    painter.end();

    TFancyButton button;
    UseFixedPalette(button);
    button.SetGlyph(QPixmap::fromImage(strip));
    button.SetState(TFancyButton::fbsDisabled);
    const QImage image = Render(button);
    EXPECT_EQ(PixelAt(image, 4, 4), Shadow);
    EXPECT_EQ(PixelAt(image, 11, 11), Shadow);
    // The highlight copy shows one pixel right of and below the square.
    EXPECT_EQ(PixelAt(image, 12, 12), Highlight);
    EXPECT_EQ(PixelAt(image, 12, 5), Highlight);
    EXPECT_EQ(PixelAt(image, 5, 12), Highlight);
    EXPECT_EQ(PixelAt(image, 12, 4), Face);
    EXPECT_EQ(PixelAt(image, 2, 2), Face);
    // White is no part of the silhouette.
    EXPECT_EQ(PixelAt(image, 7, 7), Highlight);
    EXPECT_EQ(PixelAt(image, 8, 8), Face);
}

TEST(FancyButtonGlyphCache, SharedPerPictureSizeAndFreedWithTheLast)
{
    ASSERT_FALSE(TGlyphCache::Exists());
    const QSize small(16, 16);
    const QSize large(24, 24);
    auto first = std::make_unique<TFancyButton>();
    auto second = std::make_unique<TFancyButton>();
    auto other = std::make_unique<TFancyButton>();
    first->SetGlyph(MakeStrip(3, small));
    second->SetGlyph(MakeStrip(2, small));
    other->SetGlyph(MakeStrip(1, large));
    // Pictures are built when first shown.
    EXPECT_FALSE(TGlyphCache::Exists());

    Render(*first);
    Render(*second);
    Render(*other);
    EXPECT_EQ(TGlyphCache::ListCount(), 2);
    EXPECT_EQ(TGlyphCache::PictureCount(small), 2);
    EXPECT_EQ(TGlyphCache::PictureCount(large), 1);
    Enter(first.get());
    Render(*first);
    EXPECT_EQ(TGlyphCache::PictureCount(small), 3);

    // A new strip frees the old pictures before the new ones are built.
    first->SetGlyph(MakeStrip(1, small));
    EXPECT_EQ(TGlyphCache::PictureCount(small), 1);
    Render(*first);
    EXPECT_EQ(TGlyphCache::PictureCount(small), 2);

    first.reset();
    EXPECT_EQ(TGlyphCache::PictureCount(small), 1);
    second.reset();
    EXPECT_EQ(TGlyphCache::PictureCount(small), -1);
    EXPECT_EQ(TGlyphCache::ListCount(), 1);
    other.reset();
    EXPECT_FALSE(TGlyphCache::Exists());
}

TEST(FancyButtonGlyphCache, FreedSlotsAreReusedLowestFirst)
{
    TGlyphList list(QSize(4, 4));
    QImage picture(4, 4, QImage::Format_ARGB32);
    EXPECT_EQ(list.Add(picture), 0);
    EXPECT_EQ(list.Add(picture), 1);
    EXPECT_EQ(list.Add(picture), 2);
    list.Delete(1);
    list.Delete(0);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Add(picture), 0);
    EXPECT_EQ(list.Add(picture), 1);
    EXPECT_EQ(list.Add(picture), 3);
    EXPECT_EQ(list.Count(), 4);
}
