#include "app/desktop/HelpViewer.h"

#include "app/desktop/DesktopResources.h"
#include "app/desktop/ProgramIcon.h"
#include "controls/ShellOpen.h"
#include "ui_HelpViewer.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QScrollBar>

namespace {

const QString kContentsPage = QStringLiteral("qrc:/help/contents.html");

struct HelpTopic
{
    const char* Name;
    const char* Page;
};

constexpr HelpTopic kTopics[] = {
    {"Contents", "qrc:/help/contents.html"},
    {"Options", "qrc:/help/options.html"},
    {"CommandLine", "qrc:/help/command-line.html"},
};

bool IsHelpPage(const QUrl& url)
{
    return url.scheme() == QLatin1String("qrc");
}

QPointer<THelpViewer> g_helpWindow;

} // namespace

QUrl HelpTopicPage(const QString& topic)
{
    UseDesktopResources();
    for (const HelpTopic& entry : kTopics) {
        if (topic.compare(QLatin1String(entry.Name), Qt::CaseInsensitive) == 0) {
            const QUrl page(QString::fromLatin1(entry.Page));
            if (QFile::exists(QLatin1Char(':') + page.path()))
                return page;
        }
    }
    return QUrl(kContentsPage);
}

THelpViewer::THelpViewer(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::THelpViewer>())
{
    UseDesktopResources();
    ui->setupUi(this);
    setWindowIcon(ProgramIcon());

    connect(ui->ContentsButton, &QPushButton::clicked, this, &THelpViewer::ContentsButtonClick);
    connect(ui->BackButton, &QPushButton::clicked, ui->Browser, &QTextBrowser::backward);
    connect(ui->ForwardButton, &QPushButton::clicked, ui->Browser, &QTextBrowser::forward);
    connect(ui->Browser, &QTextBrowser::backwardAvailable, ui->BackButton, &QWidget::setEnabled);
    connect(ui->Browser, &QTextBrowser::forwardAvailable, ui->ForwardButton, &QWidget::setEnabled);
    connect(ui->Browser, &QTextBrowser::anchorClicked, this, &THelpViewer::BrowserAnchorClicked);

    ui->Browser->setSource(HelpTopicPage(QString()));
}

THelpViewer::~THelpViewer() = default;

void THelpViewer::ShowTopic(const QString& topic)
{
    const QUrl page = HelpTopicPage(topic);
    if (ui->Browser->source().adjusted(QUrl::RemoveFragment) == page) {
        // Already there: no second history entry, just back to the top.
        ui->Browser->verticalScrollBar()->setValue(0);
        return;
    }
    ui->Browser->setSource(page);
}

QUrl THelpViewer::CurrentPage() const
{
    return ui->Browser->source();
}

void THelpViewer::ContentsButtonClick()
{
    ShowTopic(QString());
}

void THelpViewer::BrowserAnchorClicked(const QUrl& link)
{
    const QUrl target = ui->Browser->source().resolved(link);
    if (IsHelpPage(target)) {
        ui->Browser->setSource(target);
        return;
    }
    // Web and mail addresses belong to the desktop's browser and mail program.
    ShellOpen(target.toString());
}

void ShowHelp(const QString& topic)
{
    if (!g_helpWindow) {
        g_helpWindow = new THelpViewer;
        static const bool deleteAtQuit = [] {
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp,
                             [] { delete g_helpWindow.data(); });
            return true;
        }();
        (void)deleteAtQuit;
    }
    THelpViewer* window = g_helpWindow;

    // A modal dialog blocks input to every window except its own children. Help asked for
    // from inside one (the options dialog's Help) becomes a window of that dialog, and goes
    // back to being a window of its own afterwards.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == window)
        modal = nullptr;
    if (window->parentWidget() != modal) {
        const QRect geometry = window->geometry();
        const bool placed = window->testAttribute(Qt::WA_WState_ExplicitShowHide);
        window->setParent(modal, Qt::Window);
        if (placed)
            window->setGeometry(geometry);
    }

    window->ShowTopic(topic);
    window->show();
    window->raise();
    window->activateWindow();
}

THelpViewer* HelpWindow()
{
    return g_helpWindow;
}
