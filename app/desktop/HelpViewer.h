#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>
#include <memory>

namespace Ui {
class THelpViewer;
}

// The help window: the program's own help pages with Contents, Back and Forward. Links
// between the pages are followed here; web and mail addresses go to the desktop.
class THelpViewer : public QWidget
{
    Q_OBJECT
public:
    // Opens at the page of topic (see HelpTopicPage), with no history before it.
    explicit THelpViewer(QWidget* parent = nullptr, const QString& topic = QString());
    ~THelpViewer() override;

    // Shows the page of topic (see HelpTopicPage).
    void ShowTopic(const QString& topic);
    QUrl CurrentPage() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void ApplyPageColours();
    void ContentsButtonClick();
    void BrowserAnchorClicked(const QUrl& link);

    std::unique_ptr<Ui::THelpViewer> ui;
};

// The page of a help topic: "Options" (the options dialog), "MoreOptions" (its "More options"
// group), "CommandLine" (quirefold-split) or "Contents", letter case ignored. An empty or unknown
// topic gives the contents page.
QUrl HelpTopicPage(const QString& topic);

// Opens the help window at topic. There is one help window, made at the first call. While a
// modal dialog runs, the window opens as a window of that dialog, so it takes input although
// the dialog blocks every other window.
void ShowHelp(const QString& topic = QString());

// The help window, or nullptr before the first ShowHelp (or after its owner went away).
THelpViewer* HelpWindow();
