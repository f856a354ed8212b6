#include "app/desktop/AboutBox.h"
#include "tests/controls/ControlsTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using controlstest::ScopedOpenRecorder;
using controlstest::ScopedVersionReader;

namespace {

const QString kWebSite = QStringLiteral("https://www.brisendale.example/quirefold");
const QString kMailAddress = QStringLiteral("quirefold@brisendale.example");

VersionResource VersionResourceWith(const std::string& fileVersion)
{
    VersionResource resource;
    resource.Translations = {MakeTranslation(0x0409, 0x04E4)};
    resource.StringTables["040904e4"]["FileVersion"] = fileVersion;
    return resource;
}

template <typename T> T* Child(QWidget& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Runs the box modally; whileShown runs inside exec(). A box that does not close within a
// generous time is ended with a result of its own so that a fault fails instead of hanging.
constexpr int kStuck = 99;
int RunModal(TAboutBox& box, const std::function<void()>& whileShown)
{
    QTimer::singleShot(0, &box, whileShown);
    QTimer failsafe;
    failsafe.setSingleShot(true);
    QObject::connect(&failsafe, &QTimer::timeout, &box, [&box] { box.done(kStuck); });
    failsafe.start(30000);
    return box.exec();
}

class AboutBoxTest : public testing::Test
{
protected:
    ScopedVersionReader m_reader{[] { return VersionResourceWith("1.5.0.0"); }};
    ScopedOpenRecorder m_opened;
};

} // namespace

TEST_F(AboutBoxTest, ShowsTheProgramItsMakerAndTheVersionFromTheVersionResource)
{
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), "About Quirefold");
    EXPECT_FALSE(box.windowIcon().isNull());

    EXPECT_EQ(Child<QLabel>(box, "ProductName")->text(), "Quirefold");
    // The stored caption "Version 6.0.10.166" is replaced when the box is built.
    EXPECT_EQ(Child<QLabel>(box, "VersionLabel1")->text(), "Version 1.5.0.0");
    EXPECT_TRUE(Child<QLabel>(box, "VersionLabel1")->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(Child<QLabel>(box, "FreewareLabel")->text(), "This program is freeware.");

    auto* icon = Child<QLabel>(box, "ProgramIcon");
    ASSERT_FALSE(icon->pixmap().isNull());
    EXPECT_EQ(icon->size(), QSize(32, 32));
    EXPECT_FALSE(icon->accessibleName().isEmpty());

    auto* web = Child<QLabel>(box, "URLStatic1");
    EXPECT_EQ(web->text(), "Brisendale Software");
    EXPECT_EQ(web->property("URL").toString(), kWebSite);
    EXPECT_EQ(web->toolTip(), "www.brisendale.example/quirefold");
    EXPECT_FALSE(web->accessibleName().isEmpty());

    auto* mail = Child<QLabel>(box, "URLStatic2");
    EXPECT_EQ(mail->text(), kMailAddress);
    EXPECT_EQ(mail->property("URL").toString(), "mailto:" + kMailAddress);
    EXPECT_EQ(mail->toolTip(), "Contact us!");
    EXPECT_FALSE(mail->accessibleName().isEmpty());

    // Only OK takes the focus.
    for (QLabel* label : box.findChildren<QLabel*>())
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus) << label->objectName().toStdString();
    EXPECT_TRUE(Child<QPushButton>(box, "OKButton")->isDefault());
}

TEST_F(AboutBoxTest, HasAFixedSizeAndOpensCentredWithOKFocused)
{
    TAboutBox box;
    QWidget* focused = nullptr;
    QRect geometry;
    QSize minimum, maximum;
    const int result = RunModal(box, [&] {
        if (QTest::qWaitForWindowActive(&box))
            focused = QApplication::focusWidget();
        geometry = box.frameGeometry();
        minimum = box.minimumSize();
        maximum = box.maximumSize();
        box.accept();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(minimum, maximum);
    EXPECT_GE(geometry.width(), 297);
    EXPECT_GE(geometry.height(), 213);
    EXPECT_EQ(focused, Child<QPushButton>(box, "OKButton"));
    const QPoint screenCentre = box.screen()->availableGeometry().center();
    EXPECT_LE((geometry.center() - screenCentre).manhattanLength(), 2);
}

TEST_F(AboutBoxTest, EscapeLeavesItOpenAndEnterClosesItWithOK)
{
    TAboutBox box;
    bool openAfterEscape = false;
    const int result = RunModal(box, [&] {
        QTest::keyClick(&box, Qt::Key_Escape);
        openAfterEscape = box.isVisible();
        QTest::keyClick(&box, Qt::Key_Return);
    });
    EXPECT_TRUE(openAfterEscape);
    EXPECT_EQ(result, QDialog::Accepted);

    EXPECT_EQ(RunModal(box, [&] { QTest::keyClick(&box, Qt::Key_Enter); }), QDialog::Accepted);
    EXPECT_EQ(
        RunModal(box,
                 [&] { QTest::mouseClick(Child<QPushButton>(box, "OKButton"), Qt::LeftButton); }),
        QDialog::Accepted);
}

TEST_F(AboutBoxTest, TheCloseBoxClosesItWithTheCancelResult)
{
    TAboutBox box;
    EXPECT_EQ(RunModal(box, [&] { box.close(); }), QDialog::Rejected);
}

TEST_F(AboutBoxTest, ReadsTheVersionOnceWhenBuiltAndKeepsItOverShowings)
{
    TAboutBox box;
    EXPECT_EQ(m_reader.Reads(), 1);
    auto* version = Child<QLabel>(box, "VersionLabel1");

    QString firstShowing, secondShowing;
    RunModal(box, [&] {
        firstShowing = version->text();
        box.accept();
    });
    RunModal(box, [&] {
        secondShowing = version->text();
        box.accept();
    });
    EXPECT_EQ(firstShowing, "Version 1.5.0.0");
    EXPECT_EQ(secondShowing, firstShowing);
    EXPECT_EQ(m_reader.Reads(), 1);
}

TEST(AboutBoxWithoutVersion, ShowsVersionAndNothingElse)
{
    ScopedVersionReader reader([] { return std::optional<VersionResource>(); });
    TAboutBox box;
    EXPECT_EQ(box.findChild<QLabel*>("VersionLabel1")->text(), "Version ");
}

TEST_F(AboutBoxTest, PressingALinkOpensItsAddressAndTheBoxStaysOpen)
{
    TAboutBox box;
    QStringList afterWeb, afterMail;
    bool openAfterPresses = false;
    const int result = RunModal(box, [&] {
        QTest::mousePress(Child<QLabel>(box, "URLStatic1"), Qt::LeftButton);
        afterWeb = m_opened.Targets();
        QTest::mousePress(Child<QLabel>(box, "URLStatic2"), Qt::LeftButton);
        afterMail = m_opened.Targets();
        openAfterPresses = box.isVisible();
        box.accept();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(afterWeb, QStringList{kWebSite});
    EXPECT_EQ(afterMail, (QStringList{kWebSite, "mailto:" + kMailAddress}));
    EXPECT_TRUE(openAfterPresses);
}
