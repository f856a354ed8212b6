#include "controls/FormLoading.h"
#include "controls/URLStatic.h"
#include "controls/VersionLabel.h"
#include "tests/controls/ControlsTestSupport.h"
#include "ui/DesktopLook.h"
#include "ui_ControlsTestForm.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

using namespace controlstest;

namespace {

// A form built the way the programs build theirs: setupUi, then the loaded notification.
class TControlsTestForm : public QWidget
{
public:
    explicit TControlsTestForm(bool notify = true) : ui(std::make_unique<Ui::ControlsTestForm>())
    {
        ui->setupUi(this);
        if (notify)
            NotifyLoaded(this);
    }
    std::unique_ptr<Ui::ControlsTestForm> ui;
};

} // namespace

TEST(ControlsInAFormFile, VersionReplacesTheStoredCaption)
{
    ScopedVersionReader reader(
        [] { return OneTranslation(0x0409, 0x04E4, "040904e4", "1.5.0.0"); });
    TControlsTestForm stored(false);
    EXPECT_EQ(stored.ui->VersionLabel->text(), QStringLiteral("Version 6.0.10.166"));
    EXPECT_EQ(reader.Reads(), 0);

    TControlsTestForm form;
    EXPECT_EQ(form.ui->VersionLabel->text(), QStringLiteral("Version 1.5.0.0"));
    EXPECT_EQ(reader.Reads(), 1);
}

TEST(ControlsInAFormFile, LinksOpenTheirStoredAddresses)
{
    ScopedOpenRecorder opened;
    TControlsTestForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.ui->WebLink->URL(), QStringLiteral("https://www.brisendale.example/quirefold/"));
    EXPECT_EQ(form.ui->MailLink->URL(), QStringLiteral("mailto:info@brisendale.example"));

    QTest::mouseClick(form.ui->MailLink, Qt::LeftButton);
    QTest::mouseClick(form.ui->WebLink, Qt::LeftButton);
    EXPECT_EQ(opened.Targets(), (QStringList{"mailto:info@brisendale.example",
                                             "https://www.brisendale.example/quirefold/"}));
    EXPECT_EQ(form.ui->WebLink->text(), QStringLiteral("www.brisendale.example"));
}

TEST(ControlsInAFormFile, StoredPropertiesOverrideTheLinkLook)
{
    TControlsTestForm form;
    TURLStatic* web = form.ui->WebLink;
    EXPECT_EQ(web->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(web->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(web->font().family(), FormFont().family());
    EXPECT_TRUE(web->font().underline());

    TURLStatic* mail = form.ui->MailLink;
    EXPECT_EQ(mail->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(mail->palette().color(QPalette::Active, QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(mail->font().family(), QStringLiteral("Courier New"));
    EXPECT_TRUE(mail->font().bold());
    EXPECT_FALSE(mail->font().underline());
}
