// The bundled help pages: each loads, every link leads somewhere, and the pages name what the
// program really shows and accepts.

#include "app/SplitOptions.h"
#include "app/desktop/DesktopResources.h"
#include "app/desktop/HelpViewer.h"
#include "settings/options/OptionsDlg.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QSet>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

struct HelpPage
{
    QUrl Url;
    QString Html;
    QString Text;              // as the reader sees it
    QStringList Links;         // every href, as written
    QSet<QString> AnchorNames; // targets of "#name" links
};

HelpPage LoadPage(const QUrl& url)
{
    HelpPage page;
    page.Url = url;
    QFile file(QLatin1Char(':') + url.path());
    if (!file.open(QIODevice::ReadOnly))
        return page;
    page.Html = QString::fromUtf8(file.readAll());
    QTextDocument document;
    document.setHtml(page.Html);
    page.Text = document.toPlainText();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.anchorHref().isEmpty() && !page.Links.contains(format.anchorHref()))
                page.Links.append(format.anchorHref());
            for (const QString& name : format.anchorNames())
                page.AnchorNames.insert(name);
        }
    }
    return page;
}

QList<QUrl> BundledPages()
{
    UseDesktopResources();
    QList<QUrl> pages;
    for (const QString& name : QDir(":/help").entryList({"*.html"}, QDir::Files))
        pages.append(QUrl("qrc:/help/" + name));
    return pages;
}

QString WithoutMnemonic(QString text)
{
    return text.remove(QRegularExpression("&(?=[^&])"));
}

} // namespace

TEST(HelpPages, EachBundledPageLoadsInTheHelpWindow)
{
    const QList<QUrl> pages = BundledPages();
    ASSERT_GE(pages.size(), 3);
    QTextBrowser browser;
    for (const QUrl& url : pages) {
        browser.setSource(url);
        EXPECT_EQ(browser.source(), url);
        EXPECT_GT(browser.toPlainText().size(), 200) << url.toString().toStdString();
        EXPECT_FALSE(browser.documentTitle().isEmpty()) << url.toString().toStdString();
    }
}

TEST(HelpPages, EveryLinkLeadsToAPageAndPlaceThatExistOrToTheDesktop)
{
    for (const QUrl& url : BundledPages()) {
        const HelpPage page = LoadPage(url);
        for (const QString& href : page.Links) {
            const QUrl target = url.resolved(QUrl(href));
            const std::string where = url.fileName().toStdString() + " -> " + href.toStdString();
            if (target.scheme() != "qrc") {
                EXPECT_TRUE(target.scheme() == "https" || target.scheme() == "mailto") << where;
                continue;
            }
            const HelpPage linked = LoadPage(target.adjusted(QUrl::RemoveFragment));
            EXPECT_FALSE(linked.Html.isEmpty()) << where;
            if (target.hasFragment()) {
                EXPECT_TRUE(linked.AnchorNames.contains(target.fragment())) << where;
            }
        }
    }
}

TEST(HelpPages, EveryPageCanBeReachedFromTheContents)
{
    QSet<QUrl> reached{HelpTopicPage(QString())};
    QList<QUrl> toVisit{HelpTopicPage(QString())};
    while (!toVisit.isEmpty()) {
        const QUrl url = toVisit.takeFirst();
        for (const QString& href : LoadPage(url).Links) {
            const QUrl target = url.resolved(QUrl(href)).adjusted(QUrl::RemoveFragment);
            if (target.scheme() == "qrc" && !reached.contains(target)) {
                reached.insert(target);
                toVisit.append(target);
            }
        }
    }
    for (const QUrl& url : BundledPages())
        EXPECT_TRUE(reached.contains(url)) << url.toString().toStdString();
}

TEST(HelpPages, TheOptionsTopicNamesEveryCaptionOfTheOptionsDialog)
{
    const HelpPage page = LoadPage(HelpTopicPage("Options"));
    TOptionsDlg dialog;
    QStringList captions;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        captions.append(label->text());
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
        captions.append(WithoutMnemonic(button->text()));
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>())
        captions.append(group->title());
    captions.removeAll(QString());
    captions.removeDuplicates();
    ASSERT_GE(captions.size(), 20);
    for (const QString& caption : captions)
        EXPECT_TRUE(page.Text.contains(caption)) << caption.toStdString();
}

TEST(HelpPages, TheMoreOptionsTopicExplainsEachOptionOfItsGroupWithItsFlag)
{
    const HelpPage page = LoadPage(HelpTopicPage("MoreOptions"));
    ASSERT_FALSE(page.Html.isEmpty());
    TOptionsDlg dialog;
    auto* group = dialog.findChild<QGroupBox*>("MoreOptionsGroup");
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(page.Text.contains(group->title()));
    QStringList captions;
    for (QLabel* label : group->findChildren<QLabel*>())
        captions.append(label->text());
    for (QAbstractButton* button : group->findChildren<QAbstractButton*>())
        captions.append(WithoutMnemonic(button->text()));
    ASSERT_EQ(captions.size(), 10);
    for (const QString& caption : captions)
        EXPECT_TRUE(page.Text.contains(caption)) << caption.toStdString();
    for (const char* flag :
         {"--fix-links", "--page-titles", "--head-links", "--tolerate-missing-body-end", "-o DIR",
          "--output-dir=DIR", "--manifest", "--sidebar", "--search"})
        EXPECT_TRUE(page.Text.contains(flag)) << flag;
}

TEST(HelpPages, TheCommandLinePageNamesEveryOptionOfTheSplitter)
{
    const HelpPage page = LoadPage(HelpTopicPage("CommandLine"));
    const QString usage = QString::fromStdString(SplitUsageText());
    QStringList options;
    auto matches = QRegularExpression("(?<![\\w-])(--?[A-Za-z][\\w-]*)").globalMatch(usage);
    while (matches.hasNext())
        options.append(matches.next().captured(1));
    options.removeDuplicates();
    ASSERT_GE(options.size(), 20);
    for (const QString& option : options)
        EXPECT_TRUE(page.Text.contains(option)) << option.toStdString();
}
