#include "controls/FancyButton.h"
#include "tests/controls/FancyButtonTestSupport.h"
#include "ui_FancyButtonTestForm.h"

#include <QAction>
#include <QDialog>
#include <QIcon>
#include <QPainter>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

using namespace fancytest;

namespace {

class TFancyButtonTestForm : public QDialog
{
public:
    TFancyButtonTestForm() : ui(std::make_unique<Ui::FancyButtonTestForm>()) { ui->setupUi(this); }
    std::unique_ptr<Ui::FancyButtonTestForm> ui;
};

} // namespace

TEST(FancyButtonInAFormFile, StoredPropertiesAreApplied)
{
    TFancyButtonTestForm form;
    TFancyButton* bold = form.ui->BoldButton;
    EXPECT_EQ(bold->Caption(), QStringLiteral("&Bold"));
    EXPECT_EQ(bold->GroupIndex(), 4);
    EXPECT_TRUE(bold->Down());
    EXPECT_EQ(bold->State(), TFancyButton::fbsExclusive);
    EXPECT_EQ(bold->NumGlyphs(), 3);
    EXPECT_EQ(bold->TextOffsetLeft(), 3);
    EXPECT_EQ(bold->TextOffsetTop(), -2);
    EXPECT_EQ(bold->TextShadowColor(), QColor(255, 0, 0));
    EXPECT_EQ(bold->size(), QSize(60, 30));

    // The stored group works: latching the other member lets go of the first, and with
    // AllowAllUp a second click leaves none down.
    TFancyButton* italic = form.ui->ItalicButton;
    ClickOn(italic);
    EXPECT_TRUE(italic->Down());
    EXPECT_FALSE(bold->Down());
    ClickOn(italic);
    EXPECT_FALSE(italic->Down());
    EXPECT_FALSE(bold->Down());

    TFancyButton* cancel = form.ui->CancelButton;
    EXPECT_EQ(cancel->State(), TFancyButton::fbsDisabled);
    EXPECT_FALSE(cancel->isEnabled());
    EXPECT_EQ(cancel->ModalResult(), TFancyButton::mrCancel);
}

TEST(FancyButtonAction, FollowsTheActionAndTakesItsIcon)
{
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter(&icon).fillRect(4, 4, 8, 8, CellColours[0]);
    QWidget window;
    QAction action(QIcon(QPixmap::fromImage(icon)), QString());
    QSignalSpy triggered(&action, &QAction::triggered);
    auto* button = new TFancyButton(&window);
    UseFixedPalette(*button);
    button->SetAction(&action);
    EXPECT_EQ(button->size(), QSize(16, 16));
    // The icon's transparent part shows the face through the fuchsia background.
    const QImage image = Render(*button);
    EXPECT_EQ(PixelAt(image, 8, 8), CellColours[0]);
    EXPECT_EQ(PixelAt(image, 1, 1), Face);

    ClickOn(button);
    EXPECT_EQ(triggered.count(), 1);
    action.setEnabled(false);
    EXPECT_EQ(button->State(), TFancyButton::fbsDisabled);
    action.setText(QStringLiteral("&Print"));
    EXPECT_EQ(button->Caption(), QStringLiteral("&Print"));

    // A button with a strip keeps it; a replaced action no longer hears the button.
    QPixmap bigger(24, 24);
    bigger.fill(Qt::red);
    QAction other(QIcon(bigger), QStringLiteral("Other"));
    button->SetAction(&other);
    EXPECT_TRUE(button->isEnabled());
    ClickOn(button);
    EXPECT_EQ(triggered.count(), 1);
    EXPECT_EQ(button->size(), QSize(16, 16));
}
