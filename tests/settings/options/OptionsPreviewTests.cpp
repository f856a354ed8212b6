#include "tests/settings/options/OptionsTestFixture.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFragment>
#include <QTextImageFormat>
#include <sys/stat.h>
#include <unistd.h>

namespace optionstest {
namespace {

enum class Links
{
    Off,
    Texts,
    Images
};

struct PreviewCase
{
    bool navigation;
    bool breadcrumbs;
    int level;
    Links links;
};

// The preview markup put together from its pieces, as the form's description gives them.
QString ExpectedPreview(const PreviewCase& c, const QString& label, const QStringList& texts,
                        const QStringList& images)
{
    QString html =
        "<html><body><style>td {font-size:x-small}</style><table width=\"100%\"><tr><td>";
    if (c.navigation)
        html += "<A HREF=\"#\">link 1</A><br><A HREF=\"#\">link 2</A>";
    html += "</td><td align=\"center\">";
    if (c.breadcrumbs && c.level == 2)
        html += label + "<A HREF=\"#\">Chapter V</A> &gt; Par 3<br><br>";
    if (c.breadcrumbs && c.level == 3)
        html +=
            label + "<A HREF=\"#\">Chapter V</A> &gt; <A HREF=\"#\">Par 3</A> &gt; Item 5<br><br>";
    if (c.links == Links::Images) {
        html += "<A HREF=\"#\"><IMG SRC=\"" + images[0] + "\" ALT=\"" + texts[0] +
                "\" BORDER=\"0\"></A>&nbsp;";
        html += "<A HREF=\"#\"><IMG SRC=\"" + images[1] + "\" ALT=\"" + texts[1] +
                "\" BORDER=\"0\"></A>&nbsp;";
        html += "<A HREF=\"#\"><IMG SRC=\"" + images[2] + "\" ALT=\"" + texts[2] +
                "\" BORDER=\"0\"></A>";
    } else if (c.links == Links::Texts) {
        html += "<A HREF=\"#\">" + texts[0] + "</A>|<A HREF=\"#\">" + texts[1] +
                "</A>|<A HREF=\"#\">" + texts[2] + "</A>";
    }
    html += "</font></td></tr></table></body></html>";
    return html;
}

class OptionsPreviewTest : public OptionsTest
{
protected:
    void Apply(const PreviewCase& c)
    {
        // Links on first: the image box only takes clicks while links are on.
        SetChecked(Check("AddLinksCheckbox"), true);
        SetChecked(Check("UseImagesCheckbox"), c.links == Links::Images);
        SetChecked(Check("AddLinksCheckbox"), c.links != Links::Off);
        SetChecked(Check("NavigationCheckbox"), c.navigation);
        ChooseLevel(2);
        SetChecked(Check("BreadcrumbsCheckbox"), c.breadcrumbs);
        ChooseLevel(c.level);
    }

    // Names of the images the preview document shows, in order.
    QStringList ShownImages() const
    {
        QStringList names;
        QTextDocument* doc = Browser()->document();
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it)
                if (it.fragment().charFormat().isImageFormat())
                    for (int i = 0; i < it.fragment().length(); ++i)
                        names << it.fragment().charFormat().toImageFormat().name();
        return names;
    }

    void ShowImages(const QString& prev, const QString& home, const QString& next)
    {
        SetChecked(Check("AddLinksCheckbox"), true);
        Edit("EditPrevImage")->setText(prev);
        Edit("EditHomeImage")->setText(home);
        Edit("EditNextImage")->setText(next);
        // A click on the image box brings the paths into the preview.
        SetChecked(Check("UseImagesCheckbox"), false);
        SetChecked(Check("UseImagesCheckbox"), true);
    }

    static QString WriteImage(const testsupport::TempDir& dir, const std::string& name, int w,
                              int h)
    {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::darkBlue);
        const QString path = QString::fromStdString(dir / name);
        if (!image.save(path, "PNG"))
            throw std::runtime_error("cannot write test image");
        return path;
    }

    testsupport::TempDir files;
};

TEST_F(OptionsPreviewTest, MarkupMatchesByteForByteForEveryCombination)
{
    Create();
    SetChecked(Check("AddLinksCheckbox"), true);
    Type(Edit("BreadcrumbTextEdit"), "Trail:");
    Type(Edit("EditPrev"), "<b>Back</b>");
    Type(Edit("EditHome"), "Top & \"more\"");
    Type(Edit("EditNext"), QString::fromUtf8("Weiter \u00bb"));
    Edit("EditPrevImage")->setText("img/p.gif");
    Edit("EditHomeImage")->setText("/abs/h o.png");
    Edit("EditNextImage")->setText("");
    const QStringList texts = {"<b>Back</b>", "Top & \"more\"", QString::fromUtf8("Weiter \u00bb")};
    const QStringList images = {"img/p.gif", "/abs/h o.png", ""};

    int cases = 0;
    for (bool navigation : {false, true})
        for (bool breadcrumbs : {false, true})
            for (int level : {1, 2, 3})
                for (Links links : {Links::Off, Links::Texts, Links::Images}) {
                    const PreviewCase c{navigation, breadcrumbs, level, links};
                    Apply(c);
                    EXPECT_EQ(dlg->BuildPreviewHtml(), ExpectedPreview(c, "Trail:", texts, images))
                        << "navigation " << navigation << " breadcrumbs " << breadcrumbs
                        << " level " << level << " links " << int(links);
                    ++cases;
                }
    EXPECT_EQ(cases, 36);
}

TEST_F(OptionsPreviewTest, MarkupOfTypicalSettingsWrittenOut)
{
    Create();
    // First start: links, breadcrumbs and navigation pane off; both cells empty.
    EXPECT_EQ(dlg->BuildPreviewHtml(),
              "<html><body><style>td {font-size:x-small}</style><table width=\"100%\"><tr><td>"
              "</td><td align=\"center\"></font></td></tr></table></body></html>");
    EXPECT_EQ(Shown().trimmed(), "");

    Apply({true, true, 3, Links::Images});
    Edit("EditPrevImage")->setText("p.gif");
    Edit("EditHomeImage")->setText("h.gif");
    Edit("EditNextImage")->setText("n.gif");
    Edit("BreadcrumbTextEdit")->setText("You are here: ");
    EXPECT_EQ(dlg->BuildPreviewHtml(),
              "<html><body><style>td {font-size:x-small}</style><table width=\"100%\"><tr><td>"
              "<A HREF=\"#\">link 1</A><br><A HREF=\"#\">link 2</A></td><td align=\"center\">"
              "You are here: <A HREF=\"#\">Chapter V</A> &gt; <A HREF=\"#\">Par 3</A> &gt; Item "
              "5<br><br><A HREF=\"#\"><IMG SRC=\"p.gif\" ALT=\"Previous\" BORDER=\"0\"></A>&nbsp;"
              "<A HREF=\"#\"><IMG SRC=\"h.gif\" ALT=\"Home\" BORDER=\"0\"></A>&nbsp;<A "
              "HREF=\"#\"><IMG SRC=\"n.gif\" ALT=\"Next\" BORDER=\"0\"></A></font></td></tr>"
              "</table></body></html>");

    Apply({false, true, 2, Links::Texts});
    EXPECT_EQ(dlg->BuildPreviewHtml(),
              "<html><body><style>td {font-size:x-small}</style><table width=\"100%\"><tr><td>"
              "</td><td align=\"center\">You are here: <A HREF=\"#\">Chapter V</A> &gt; Par 3"
              "<br><br><A HREF=\"#\">Previous</A>|<A HREF=\"#\">Home</A>|<A HREF=\"#\">Next</A>"
              "</font></td></tr></table></body></html>");
    EXPECT_EQ(Shown().trimmed(), "You are here: Chapter V > Par 3\n\nPrevious|Home|Next");
}

TEST_F(OptionsPreviewTest, NoLevelChosenShowsNoTrail)
{
    WriteFileText(KeyWith("\"Breadcrumbs\"=dword:00000001\n"
                          "\"BreadcrumbsText\"=\"At:\"\n"
                          "\"BreakOn\"=dword:ffffffff"));
    Create();
    ASSERT_EQ(dlg->CurrentSettings().BreakOn, 0);
    EXPECT_EQ(dlg->BuildPreviewHtml(),
              "<html><body><style>td {font-size:x-small}</style><table width=\"100%\"><tr><td>"
              "</td><td align=\"center\"></font></td></tr></table></body></html>");
}

TEST_F(OptionsPreviewTest, TextsGoIntoTheMarkupUnescapedAndThePreviewRendersThem)
{
    Create();
    SetChecked(Check("AddLinksCheckbox"), true);
    Type(Edit("EditPrev"), "<i>Back</i>");
    EXPECT_TRUE(dlg->BuildPreviewHtml().contains("<A HREF=\"#\"><i>Back</i></A>|"));
    EXPECT_TRUE(Shown().contains("Back|Home|Next"));
    EXPECT_FALSE(Shown().contains("<i>"));
    // A '<' that starts no tag is text, as a browser shows it.
    Type(Edit("EditPrev"), "<< Back");
    Type(Edit("EditNext"), "Next <3 >>");
    EXPECT_TRUE(Shown().contains("<< Back|Home|Next <3 >>")) << Shown().toStdString();
}

TEST_F(OptionsPreviewTest, ReadableImagesAreShownAbsoluteOrBelowTheImageFolder)
{
    Create();
    const QString wide = WriteImage(files, "wide.png", 40, 12);
    // Relative to the folder of the default link images.
    ASSERT_TRUE(testsupport::Exists(LinkImageFolder() + "prev1.gif"));
    ShowImages(wide, "prev1.gif", wide);

    EXPECT_EQ(ShownImages(), QStringList({wide, "prev1.gif", wide}));
    QTextDocument* doc = Browser()->document();
    const QImage absolute = doc->resource(QTextDocument::ImageResource, QUrl(wide)).value<QImage>();
    EXPECT_EQ(absolute.size(), QSize(40, 12));
    const QImage relative =
        doc->resource(QTextDocument::ImageResource, QUrl("prev1.gif")).value<QImage>();
    EXPECT_EQ(relative.size(), QSize(72, 22));
    EXPECT_FALSE(Shown().contains("Previous"));
}

TEST_F(OptionsPreviewTest, AnImageThatCannotBeReadShowsItsAltTextAsTheLink)
{
    Create();
    const QString good = WriteImage(files, "good.png", 10, 10);
    testsupport::WriteAll(files.Path() / "fake.gif", "GIF89a but not really");
    std::filesystem::create_directory(files.Path() / "folder.gif");
    const std::string fifo = files / "pipe.gif";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    SetChecked(Check("AddLinksCheckbox"), true);
    Type(Edit("EditPrev"), "Back");
    Type(Edit("EditNext"), "On");

    for (const QString& bad :
         {QString::fromStdString(files / "missing.gif"), QString::fromStdString(files / "fake.gif"),
          QString::fromStdString(files / "folder.gif"), QString::fromStdString(fifo),
          QString("no/such/relative.png"), QString("")}) {
        ShowImages(bad, good, bad);
        EXPECT_EQ(ShownImages(), QStringList({good})) << bad.toStdString();
        EXPECT_TRUE(Shown().contains("Back")) << bad.toStdString();
        EXPECT_TRUE(Shown().contains("On")) << bad.toStdString();
        // The markup keeps the image; only the shown document has its ALT text.
        EXPECT_TRUE(dlg->BuildPreviewHtml().contains("<IMG SRC=\"" + bad + "\" ALT=\"Back\""));

        QTextCursor back = Browser()->document()->find("Back");
        ASSERT_FALSE(back.isNull());
        EXPECT_TRUE(back.charFormat().isAnchor());
        EXPECT_EQ(back.charFormat().anchorHref(), "#");
        EXPECT_FALSE(back.charFormat().isImageFormat());
    }

    // Without an ALT text a missing image leaves nothing at all.
    Type(Edit("EditPrev"), "");
    EXPECT_EQ(ShownImages(), QStringList({good}));
    EXPECT_FALSE(Shown().contains("Back"));
}

TEST_F(OptionsPreviewTest, RelativeImagesAreNotLookedForInTheWorkingFolder)
{
    Create();
    WriteImage(files, "only-here.png", 10, 10);
    ASSERT_FALSE(testsupport::Exists(LinkImageFolder() + "only-here.png"));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(files.Path().string())));
    ShowImages("only-here.png", "only-here.png", "only-here.png");
    const QStringList shown = ShownImages();
    const QString text = Shown();
    QDir::setCurrent(before);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_TRUE(text.contains("Previous"));
}

TEST_F(OptionsPreviewTest, LinksInThePreviewDoNotNavigate)
{
    Create();
    SetChecked(Check("NavigationCheckbox"), true);
    const QString before = Shown();
    QSignalSpy clicked(Browser(), &QTextBrowser::anchorClicked);

    QTextCursor link = Browser()->document()->find("link 1");
    ASSERT_FALSE(link.isNull());
    QTextCursor inside(Browser()->document());
    inside.setPosition(link.selectionStart() + 2);
    const QPoint at = Browser()->cursorRect(inside).center();
    QTest::mouseClick(Browser()->viewport(), Qt::LeftButton, {}, at);

    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toUrl(), QUrl("#"));
    EXPECT_EQ(Shown(), before);
    EXPECT_TRUE(Browser()->source().isEmpty());
}

TEST_F(OptionsPreviewTest, LoadHtmlFromStreamShowsTheWholeStreamFromItsStart)
{
    TPreviewBrowser browser;
    QByteArray bytes = "<html><body><p>first</p><p>second</p></body></html>";
    QBuffer stream(&bytes);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    stream.seek(bytes.size()); // a stream left at its end is read from its start

    EXPECT_FALSE(LoadHtmlFromStream(nullptr, &stream));
    EXPECT_FALSE(LoadHtmlFromStream(&browser, nullptr));
    EXPECT_TRUE(LoadHtmlFromStream(&browser, &stream));
    EXPECT_EQ(browser.document()->toPlainText(), "first\nsecond");

    // An unopened buffer is opened for reading.
    QByteArray other = QString::fromUtf8("<p>caf\u00e9</p>").toUtf8();
    QBuffer closed(&other);
    EXPECT_TRUE(LoadHtmlFromStream(&browser, &closed));
    EXPECT_EQ(browser.document()->toPlainText(), QString::fromUtf8("caf\u00e9"));

    // A stream that cannot be read leaves the document as it was.
    QBuffer writeOnly;
    ASSERT_TRUE(writeOnly.open(QIODevice::WriteOnly));
    EXPECT_FALSE(LoadHtmlFromStream(&browser, &writeOnly));
    EXPECT_EQ(browser.document()->toPlainText(), QString::fromUtf8("caf\u00e9"));
}

} // namespace
} // namespace optionstest
