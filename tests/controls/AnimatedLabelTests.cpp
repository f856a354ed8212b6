#include "controls/AnimatedLabel.h"

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>

// Readable failure messages for colours.
inline void PrintTo(const QColor& color, std::ostream* out)
{
    *out << color.name().toStdString();
}

namespace {

const QColor Face(200, 220, 240);
const QColor Back(255, 255, 255);

// A label with its own button face, a white background and black text, so that every pixel
// of a rendered frame tells which part painted it.
class AnimatedLabelFrames : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QPalette colours = label.palette();
        colours.setColor(QPalette::Button, Face);
        colours.setColor(QPalette::Window, Back);
        colours.setColor(QPalette::WindowText, Qt::black);
        label.setPalette(colours);
        label.setAutoFillBackground(true);
        label.setText(QStringLiteral("MMMM"));
        label.resize(100, 30);
    }

    QImage Frame(TAnimatedLabel::TAnimationType type, qint64 tick)
    {
        label.SetAnimationType(type);
        label.SetTickCount(tick);
        return label.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    static int CountPixels(const QImage& image, const QColor& color)
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y) == color ? 1 : 0;
        return count;
    }

    static bool AllFace(const QImage& image)
    {
        return CountPixels(image, Face) == image.width() * image.height();
    }

    // The first column holding a pixel that is neither button face nor background.
    static std::optional<int> FirstInkColumn(const QImage& image)
    {
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y) {
                const QColor c = image.pixelColor(x, y);
                if (c != Face && c != Back)
                    return x;
            }
        return std::nullopt;
    }

    TAnimatedLabel label;
};

} // namespace

TEST_F(AnimatedLabelFrames, FlashHidesTheCaptionInEvenCyclesOfTenTicks)
{
    for (qint64 tick : {0, 5, 9, 20, 29}) {
        SCOPED_TRACE(tick);
        EXPECT_TRUE(AllFace(Frame(TAnimatedLabel::atFlash, tick)));
    }
    for (qint64 tick : {10, 19, 30}) {
        SCOPED_TRACE(tick);
        const QImage frame = Frame(TAnimatedLabel::atFlash, tick);
        // The plain label: its background and its black caption, no button face.
        EXPECT_EQ(CountPixels(frame, Face), 0);
        EXPECT_GT(CountPixels(frame, Qt::black), 0);
    }
    // No animation paints the plain label at every tick.
    EXPECT_EQ(Frame(TAnimatedLabel::atNone, 3), Frame(TAnimatedLabel::atFlash, 13));
}

TEST_F(AnimatedLabelFrames, FlyMovesTwoPixelsLeftPerTickAndWrapsAfterTheWidth)
{
    EXPECT_EQ(Frame(TAnimatedLabel::atFly, 0).size(), QSize(100, 30));
    EXPECT_TRUE(AllFace(Frame(TAnimatedLabel::atFly, 0))); // starts just outside, at x 100
    EXPECT_TRUE(AllFace(Frame(TAnimatedLabel::atFly, 100)));

    const QImage at30 = Frame(TAnimatedLabel::atFly, 30);
    EXPECT_EQ(label.FlyCaptionX(), 40);
    const std::optional<int> ink = FirstInkColumn(at30);
    ASSERT_TRUE(ink.has_value());
    EXPECT_GE(*ink, 40);
    EXPECT_LE(*ink, 44);
    // Whatever the caption does not cover is button face, the label's own background included.
    EXPECT_EQ(CountPixels(at30, Back), 0);
    EXPECT_EQ(Frame(TAnimatedLabel::atFly, 130), at30);

    label.SetTickCount(99);
    EXPECT_EQ(label.FlyCaptionX(), -98);
    label.SetTickCount(1);
    EXPECT_EQ(label.FlyCaptionX(), 98);
}

TEST_F(AnimatedLabelFrames, FadeRunsFromTheButtonFaceToTheFontColourAndBack)
{
    const struct
    {
        qint64 tick;
        QColor color;
    } steps[] = {
        {0, Face},
        {9, Qt::black},
        {10, Qt::black},
        {19, Face},
        {20, Face},
        // Each step truncates toward zero: 200 - 800 / 9 is 112, not 111.
        {4, QColor(112, 123, 134)},
        {14, QColor(88, 97, 106)},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.tick);
        label.SetTickCount(step.tick);
        EXPECT_EQ(label.FadeCaptionColor(), step.color);
    }

    // The caption sits at the top left on its own button face; the rest keeps the background.
    const QImage start = Frame(TAnimatedLabel::atFade, 0);
    EXPECT_EQ(start.pixelColor(0, 0), Face);
    EXPECT_EQ(start.pixelColor(99, 29), Back);
    EXPECT_FALSE(FirstInkColumn(start).has_value());
    EXPECT_GT(CountPixels(Frame(TAnimatedLabel::atFade, 9), Qt::black), 0);
    EXPECT_GT(CountPixels(Frame(TAnimatedLabel::atFade, 4), QColor(112, 123, 134)), 0);
}

TEST_F(AnimatedLabelFrames, FadeWorksOnTheFontColoursChannels)
{
    QPalette colours = label.palette();
    colours.setColor(QPalette::WindowText, QColor(255, 0, 0));
    colours.setColor(QPalette::Button, QColor(0, 0, 255));
    label.setPalette(colours);
    label.SetTickCount(3);
    EXPECT_EQ(label.FadeCaptionColor(), QColor(85, 0, 170));
    label.SetTickCount(13);
    EXPECT_EQ(label.FadeCaptionColor(), QColor(170, 0, 85));
}

TEST(AnimatedLabel, TheTimerCountsTicksFromConstructionWhateverTheInterval)
{
    TAnimatedLabel label(QStringLiteral("Tick"));
    EXPECT_EQ(label.TickCount(), 0);
    EXPECT_EQ(label.AnimationType(), TAnimatedLabel::atNone);
    EXPECT_EQ(label.GetInterval(), 100);
    EXPECT_TRUE(label.Timer()->isActive());

    label.OnTimer();
    label.OnTimer();
    EXPECT_EQ(label.TickCount(), 2);

    // A new interval changes the pace, not the count.
    label.SetTickCount(37);
    label.SetInterval(50);
    EXPECT_EQ(label.GetInterval(), 50);
    EXPECT_EQ(label.Timer()->interval(), 50);
    EXPECT_TRUE(label.Timer()->isActive());
    EXPECT_EQ(label.TickCount(), 37);
    label.SetAnimationType(TAnimatedLabel::atFade);
    EXPECT_EQ(label.TickCount(), 37);

    label.SetInterval(5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return label.TickCount() >= 40; }));

    // No period, no ticks, and no busy timer.
    label.SetInterval(0);
    EXPECT_FALSE(label.Timer()->isActive());
    EXPECT_EQ(label.GetInterval(), 0);
    const qint64 stopped = label.TickCount();
    QTest::qWait(30);
    EXPECT_EQ(label.TickCount(), stopped);
    label.SetInterval(100);
    EXPECT_TRUE(label.Timer()->isActive());
}

TEST(AnimatedLabel, AFlyingCaptionOnALabelWithoutWidthHasNoPlace)
{
    QWidget window;
    auto* label = new TAnimatedLabel(QStringLiteral("Nowhere"), &window);
    label->SetAnimationType(TAnimatedLabel::atFly);
    label->setGeometry(0, 0, 0, 20);
    window.resize(50, 50);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int tick = 0; tick < 5; ++tick) {
        label->OnTimer();
        EXPECT_FALSE(label->FlyCaptionX().has_value());
    }
    label->SetInterval(1);
    QTest::qWait(20);
    EXPECT_FALSE(label->FlyCaptionX().has_value());
    // Widening it gives the caption a place again.
    label->resize(10, 20);
    label->SetTickCount(3);
    EXPECT_EQ(label->FlyCaptionX(), 4);
}
