#include "controls/AnimatedLabel.h"
#include "controls/FormLoading.h"
#include "controls/NumberEdit.h"
#include "controls/UnitEdit.h"
#include "ui_UnitEditTestForm.h"

#include <QLabel>
#include <QLocale>
#include <QPalette>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Unit edits read and write numbers with the point for these tests.
class UnitEdit : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(m_previous); }

private:
    QLocale m_previous;
};

class TUnitEditTestForm : public QWidget
{
public:
    explicit TUnitEditTestForm(bool notify) : ui(std::make_unique<Ui::UnitEditTestForm>())
    {
        ui->setupUi(this);
        if (notify)
            NotifyLoaded(this);
    }
    std::unique_ptr<Ui::UnitEditTestForm> ui;
};

} // namespace

TEST_F(UnitEdit, PartsArePlacedOnceForTheWidthAtThatMoment)
{
    TUnitEdit edit;
    EXPECT_EQ(edit.height(), 20);
    edit.resize(120, 20);
    EXPECT_EQ(edit.Edit(), nullptr);
    EXPECT_EQ(edit.UnitLabel(), nullptr);
    EXPECT_EQ(edit.Value(), 0.0f);

    edit.Loaded();
    ASSERT_NE(edit.Edit(), nullptr);
    ASSERT_NE(edit.UnitLabel(), nullptr);
    // The edit covers x 0 to 89; the caption starts at 92 and is 30 wide.
    EXPECT_EQ(edit.Edit()->geometry(), QRect(0, 0, 90, 20));
    EXPECT_EQ(edit.UnitLabel()->geometry(), QRect(92, 2, 30, 18));

    TNumberEdit* const first = edit.Edit();
    edit.resize(300, 40);
    edit.Loaded();
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));
    EXPECT_EQ(edit.Edit(), first);
    EXPECT_EQ(edit.findChildren<QWidget*>().size(), 2);
    EXPECT_EQ(edit.Edit()->geometry(), QRect(0, 0, 90, 20));
    EXPECT_EQ(edit.UnitLabel()->geometry(), QRect(92, 2, 30, 18));
    EXPECT_TRUE(edit.Edit()->isVisible());
    EXPECT_TRUE(edit.UnitLabel()->isVisible());
}

TEST_F(UnitEdit, TheFirstShowMakesThePartsOfAControlMadeInCode)
{
    QWidget window;
    auto* edit = new TUnitEdit(&window);
    edit->setGeometry(5, 5, 200, 20);
    edit->SetUnit(QStringLiteral("kg"));
    window.resize(250, 40);
    EXPECT_EQ(edit->Edit(), nullptr);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_NE(edit->Edit(), nullptr);
    EXPECT_EQ(edit->Edit()->geometry(), QRect(0, 0, 170, 20));
    EXPECT_EQ(edit->UnitLabel()->geometry(), QRect(172, 2, 30, 18));
    EXPECT_EQ(edit->UnitLabel()->text(), QStringLiteral("kg"));
    EXPECT_TRUE(edit->Edit()->isVisible());
    EXPECT_TRUE(edit->UnitLabel()->isVisible());
}

TEST_F(UnitEdit, ValuesSetBeforeThePartsExistShowWhenTheyAreMade)
{
    TUnitEdit edit;
    edit.resize(120, 20);
    EXPECT_EQ(edit.EditColor(), edit.palette().color(QPalette::Base));
    EXPECT_EQ(edit.UnitColor(), edit.palette().color(QPalette::Button));

    edit.SetUnit(QStringLiteral("cm"));
    edit.SetValue(2.5f);
    edit.SetEditColor(QColor(255, 255, 0));
    edit.SetUnitColor(QColor(0, 255, 255));
    EXPECT_EQ(edit.Value(), 2.5f);
    EXPECT_EQ(edit.palette().color(QPalette::Window), QColor(0, 255, 255));

    edit.Loaded();
    EXPECT_EQ(edit.Edit()->text(), QStringLiteral("2.5"));
    EXPECT_EQ(edit.Value(), 2.5f);
    EXPECT_EQ(edit.UnitLabel()->text(), QStringLiteral("cm"));
    EXPECT_EQ(edit.Edit()->palette().color(QPalette::Base), QColor(255, 255, 0));
    EXPECT_EQ(edit.UnitLabel()->palette().color(QPalette::Window), QColor(0, 255, 255));
    EXPECT_TRUE(edit.UnitLabel()->autoFillBackground());
}

TEST_F(UnitEdit, PropertiesReachThePartsOnceTheyExist)
{
    TUnitEdit edit;
    edit.resize(120, 20);
    edit.Loaded();
    EXPECT_EQ(edit.Edit()->text(), QString()); // a 0 value is not written
    EXPECT_EQ(edit.Value(), 0.0f);

    edit.SetUnit(QStringLiteral("m/s"));
    EXPECT_EQ(edit.UnitLabel()->text(), QStringLiteral("m/s"));
    EXPECT_EQ(edit.Unit(), QStringLiteral("m/s"));
    edit.SetValue(1e8f);
    EXPECT_EQ(edit.Edit()->text(), QStringLiteral("1E8"));
    edit.Edit()->setText(QStringLiteral("7.25"));
    EXPECT_EQ(edit.Value(), 7.25f);
    edit.Edit()->setText(QStringLiteral("abc"));
    EXPECT_EQ(edit.Value(), 0.0f);
    EXPECT_FALSE(edit.Edit()->Validate());

    edit.SetEditColor(QColor(10, 20, 30));
    EXPECT_EQ(edit.Edit()->palette().color(QPalette::Base), QColor(10, 20, 30));
    edit.SetUnitColor(QColor(40, 50, 60));
    EXPECT_EQ(edit.UnitLabel()->palette().color(QPalette::Window), QColor(40, 50, 60));
    EXPECT_EQ(edit.palette().color(QPalette::Window), QColor(40, 50, 60));
    EXPECT_EQ(edit.property("UnitColor").value<QColor>(), QColor(40, 50, 60));
}

TEST_F(UnitEdit, AFormsStoredUnitShowsAfterTheLoadedNotification)
{
    TUnitEditTestForm stored(false);
    TUnitEdit* length = stored.ui->LengthEdit;
    EXPECT_EQ(length->Unit(), QStringLiteral("mm"));
    EXPECT_EQ(length->UnitLabel(), nullptr);

    TUnitEditTestForm form(true);
    length = form.ui->LengthEdit;
    ASSERT_NE(length->UnitLabel(), nullptr);
    EXPECT_EQ(length->UnitLabel()->text(), QStringLiteral("mm"));
    EXPECT_EQ(length->UnitLabel()->geometry(), QRect(92, 2, 30, 18));
    EXPECT_EQ(length->Edit()->geometry(), QRect(0, 0, 90, 20));
    EXPECT_EQ(length->Edit()->text(), QStringLiteral("3.5"));
    EXPECT_EQ(length->Edit()->palette().color(QPalette::Base), QColor(255, 255, 192));

    EXPECT_EQ(form.ui->FactorEdit->text(), QStringLiteral("12.5"));
    EXPECT_EQ(form.ui->FactorEdit->NumberType(), TNumberEdit::ntFloat);
    EXPECT_EQ(form.ui->NoticeLabel->AnimationType(), TAnimatedLabel::atFade);
    EXPECT_EQ(form.ui->NoticeLabel->GetInterval(), 50);
    EXPECT_EQ(form.ui->NoticeLabel->TickCount(), 0);

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(length->findChildren<QWidget*>().size(), 2);
}
