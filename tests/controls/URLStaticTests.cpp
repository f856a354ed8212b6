#include "controls/ShellOpen.h"
#include "controls/URLStatic.h"
#include "tests/controls/ControlsTestSupport.h"
#include "ui/DesktopLook.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

using namespace controlstest;

namespace {

// A window with the link label beside a plain label; the window counts the mouse presses and
// releases that reach it from its children.
class TLinkWindow : public QWidget
{
public:
    TLinkWindow()
    {
        auto* layout = new QHBoxLayout(this);
        link = new TURLStatic(this);
        link->setText(QStringLiteral("Brisendale Software on the web"));
        neighbour = new QLabel(QStringLiteral("Plain neighbour text"), this);
        layout->addWidget(link);
        layout->addWidget(neighbour);
        resize(500, 80);
    }

    bool ShowAndWait()
    {
        show();
        return QTest::qWaitForWindowExposed(this);
    }

    QPoint LinkCentreInWindow() const { return link->mapTo(this, link->rect().center()); }

    TURLStatic* link;
    QLabel* neighbour;
    int presses = 0;
    int releases = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
    void mouseReleaseEvent(QMouseEvent*) override { ++releases; }
};

} // namespace

TEST(URLStatic, LeftPressOpensTheExactAddressAtOnce)
{
    ScopedOpenRecorder opened;
    TLinkWindow window;
    ASSERT_TRUE(window.ShowAndWait());
    const QString mail = QStringLiteral("mailto:info@brisendale.example?subject=Quirefold%206");
    window.link->SetURL(mail);

    QTest::mousePress(window.link, Qt::LeftButton);
    EXPECT_EQ(opened.Targets(), QStringList{mail});
    QTest::mouseRelease(window.link, Qt::LeftButton);
    EXPECT_EQ(opened.Targets(), QStringList{mail});

    // Each new press opens again, with whatever the address is then.
    const QString web = QStringLiteral("https://www.brisendale.example/quirefold/");
    window.link->SetURL(web);
    QTest::mouseClick(window.link, Qt::LeftButton);
    EXPECT_EQ(opened.Targets(), (QStringList{mail, web}));
}

TEST(URLStatic, PressThenDragOffStillOpensOnce)
{
    ScopedOpenRecorder opened;
    TLinkWindow window;
    ASSERT_TRUE(window.ShowAndWait());
    window.link->SetURL(QStringLiteral("https://www.brisendale.example/"));
    QWindow* handle = window.windowHandle();
    ASSERT_NE(handle, nullptr);

    // Through the window, as the platform delivers it: the press grabs the mouse for the label.
    const QPoint onNeighbour = window.neighbour->mapTo(&window, window.neighbour->rect().center());
    QTest::mousePress(handle, Qt::LeftButton, {}, window.LinkCentreInWindow());
    EXPECT_EQ(opened.Targets().size(), 1);
    QTest::mouseMove(handle, onNeighbour);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, onNeighbour);
    QTest::mouseMove(handle, QPoint(2, 2));
    EXPECT_EQ(opened.Targets(), QStringList{QStringLiteral("https://www.brisendale.example/")});
    EXPECT_EQ(window.presses, 0);
    EXPECT_EQ(window.releases, 0);
}

TEST(URLStatic, DoubleClickOpensOnce)
{
    ScopedOpenRecorder opened;
    TLinkWindow window;
    ASSERT_TRUE(window.ShowAndWait());
    window.link->SetURL(QStringLiteral("https://www.brisendale.example/"));
    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, window.LinkCentreInWindow());
    EXPECT_EQ(opened.Targets().size(), 1);
    EXPECT_EQ(window.presses, 0);
    EXPECT_EQ(window.releases, 0);
}

TEST(URLStatic, LeftPressIsNotPassedOnAndCompletesNoClick)
{
    ScopedOpenRecorder opened;
    TLinkWindow window;
    ASSERT_TRUE(window.ShowAndWait());
    window.link->SetURL(QStringLiteral("https://www.brisendale.example/"));

    // A plain label hands an unused press and release on to its parent: the parent would see a
    // click. The link label keeps both to itself.
    QTest::mouseClick(window.neighbour, Qt::LeftButton);
    ASSERT_EQ(window.presses, 1);
    ASSERT_EQ(window.releases, 1);
    QTest::mouseClick(window.link, Qt::LeftButton);
    EXPECT_EQ(window.presses, 1);
    EXPECT_EQ(window.releases, 1);
    EXPECT_EQ(opened.Targets().size(), 1);
}

TEST(URLStatic, CaptionLinksAreNotFollowedOnAClick)
{
    // A caption with a link of its own, set up the way a plain label follows links on a click.
    const QString caption = QStringLiteral("<a href=\"https://elsewhere.example/\">"
                                           "Brisendale Software on the web</a>");
    auto setUp = [&](QLabel* label) {
        label->setText(caption);
        label->setTextFormat(Qt::RichText);
        label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    };
    ScopedOpenRecorder opened;
    TLinkWindow window;
    setUp(window.link);
    setUp(window.neighbour);
    window.link->SetURL(QStringLiteral("https://www.brisendale.example/"));
    ASSERT_TRUE(window.ShowAndWait());
    const QPoint onText(10, window.link->height() / 2);

    // The same clicks do follow the link on a plain label, so the test can see a click.
    QSignalSpy plainSpy(window.neighbour, &QLabel::linkActivated);
    QTest::mouseClick(window.neighbour, Qt::LeftButton, {}, onText);
    ASSERT_EQ(plainSpy.count(), 1);

    QSignalSpy linkSpy(window.link, &QLabel::linkActivated);
    QTest::mouseClick(window.link, Qt::LeftButton, {}, onText);
    EXPECT_EQ(linkSpy.count(), 0);
    EXPECT_EQ(opened.Targets(), QStringList{QStringLiteral("https://www.brisendale.example/")});
}

TEST(URLStatic, OtherButtonsKeepTheLabelsOwnHandling)
{
    ScopedOpenRecorder opened;
    TLinkWindow window;
    ASSERT_TRUE(window.ShowAndWait());
    window.link->SetURL(QStringLiteral("https://www.brisendale.example/"));

    QTest::mouseClick(window.link, Qt::RightButton);
    QTest::mouseClick(window.link, Qt::MiddleButton);
    QTest::mouseDClick(window.link, Qt::RightButton);
    EXPECT_TRUE(opened.Targets().isEmpty());
    // The label's own handling passes them on, as a plain label does.
    EXPECT_EQ(window.presses, 3);
    EXPECT_EQ(window.releases, 2);

    // A left release whose press went elsewhere is passed on too.
    QTest::mouseRelease(window.link, Qt::LeftButton);
    EXPECT_EQ(window.releases, 3);
    EXPECT_TRUE(opened.Targets().isEmpty());
}

TEST(URLStatic, EmptyAddressIsHandedOnAsIs)
{
    ScopedOpenRecorder opened;
    TLinkWindow window;
    ASSERT_TRUE(window.ShowAndWait());
    EXPECT_EQ(window.link->URL(), QString());
    const QString caption = window.link->text();
    QTest::mouseClick(window.link, Qt::LeftButton);
    ASSERT_EQ(opened.Targets().size(), 1);
    EXPECT_TRUE(opened.Targets().front().isEmpty());
    EXPECT_EQ(window.link->text(), caption);
}

TEST(URLStatic, LooksLikeALinkByDefault)
{
    QWidget parent;
    QFont parentFont = parent.font();
    parentFont.setPointSize(15);
    parent.setFont(parentFont);
    TURLStatic link(&parent);
    QLabel plain(&parent);

    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link.palette().color(QPalette::Active, QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(link.palette().color(QPalette::Inactive, QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(link.font().family(), FormFont().family());
    EXPECT_TRUE(link.font().underline());
    EXPECT_FALSE(link.font().bold());
    EXPECT_FALSE(link.font().italic());
    EXPECT_FALSE(link.font().strikeOut());
    EXPECT_FALSE(link.autoFillBackground());
    // The size is the label's usual one, following its parent.
    EXPECT_EQ(link.font().pointSize(), 15);
    EXPECT_EQ(link.font().pointSize(), plain.font().pointSize());
    parentFont.setPointSize(9);
    parent.setFont(parentFont);
    EXPECT_EQ(link.font().pointSize(), 9);
    EXPECT_TRUE(link.font().underline());

    // Hovering changes nothing.
    link.show();
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(&link, &enter);
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
}

TEST(URLStatic, AddressIsAPropertyForFormFiles)
{
    TURLStatic link;
    EXPECT_TRUE(link.setProperty("URL", QStringLiteral("mailto:info@brisendale.example")));
    EXPECT_EQ(link.URL(), QStringLiteral("mailto:info@brisendale.example"));
    EXPECT_EQ(link.property("URL").toString(), QStringLiteral("mailto:info@brisendale.example"));
    link.setURL(QStringLiteral("https://www.brisendale.example/"));
    EXPECT_EQ(link.property("URL").toString(), QStringLiteral("https://www.brisendale.example/"));
    EXPECT_EQ(link.text(), QString()); // the address is not the caption
}

#ifndef _WIN32

namespace {

// Takes the desktop's place for the URL schemes a test registers.
class TUrlSink : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls.append(url); }
};

} // namespace

TEST(ShellOpen, TheDesktopGetsAddressesAndFiles)
{
    TUrlSink sink;
    const char* schemes[] = {"mailto", "https", "file", ""};
    for (const char* scheme : schemes)
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &sink, "Open");

    ShellOpen(QStringLiteral("mailto:info@brisendale.example"));
    ShellOpen(QStringLiteral("https://www.brisendale.example/a%20b?x=1#top"));
    // (Pages take quirefold-split's opener, which keeps them from coming back to this program.)
    ShellOpen(QStringLiteral("/tmp/split pages/notes.txt"));
    ShellOpen(QStringLiteral("pages/notes.txt"));
    ShellOpen(QStringLiteral("file:///tmp/notes.txt"));
    ShellOpen(QString());

    // With a handler set the desktop hears nothing; an empty handler gives it back.
    SetShellOpenHandler([](const QString&) {});
    ShellOpen(QStringLiteral("https://www.brisendale.example/"));
    SetShellOpenHandler({});
    ShellOpen(QStringLiteral("https://www.brisendale.example/again"));

    for (const char* scheme : schemes)
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));

    ASSERT_EQ(sink.urls.size(), 7);
    EXPECT_EQ(sink.urls[0].toString(), QStringLiteral("mailto:info@brisendale.example"));
    EXPECT_EQ(sink.urls[1].toString(QUrl::FullyEncoded),
              QStringLiteral("https://www.brisendale.example/a%20b?x=1#top"));
    EXPECT_EQ(sink.urls[2].toLocalFile(), QStringLiteral("/tmp/split pages/notes.txt"));
    EXPECT_EQ(sink.urls[3].toLocalFile(), QDir::current().absoluteFilePath("pages/notes.txt"));
    EXPECT_EQ(sink.urls[4].toLocalFile(), QStringLiteral("/tmp/notes.txt"));
    EXPECT_TRUE(sink.urls[5].isEmpty());
    EXPECT_EQ(sink.urls[6].toString(), QStringLiteral("https://www.brisendale.example/again"));
}

#include "URLStaticTests.moc"

#endif
