#include "controls/FancyButton.h"
#include "tests/controls/FancyButtonTestSupport.h"
#include "ui_FancyButtonTestForm.h"

#include <QDialog>
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
