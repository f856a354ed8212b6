#include "app/desktop/HelpViewer.h"

#include "app/desktop/DesktopResources.h"
#include "app/desktop/ProgramIcon.h"
#include "controls/ShellOpen.h"
#include "ui/DesktopLook.h"
#include "ui_HelpViewer.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QPointer>
#include <QScrollBar>
#include <QTextDocument>
#include <QTimer>

namespace {

const QString kContentsPage = QStringLiteral("qrc:/help/contents.html");

struct HelpTopic
{
    const char* Name;
    const char* Page;
};

// The topics the program asks for: the options dialog's Help gives "Options", the Help of its
// More options group "MoreOptions".
constexpr HelpTopic kTopics[] = {
    {"Contents", "qrc:/help/contents.html"},
    {"Options", "qrc:/help/options.html"},
    {"MoreOptions", "qrc:/help/more-options.html"},
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

THelpViewer::THelpViewer(QWidget* parent, const QString& topic)
    : QWidget(parent), ui(std::make_unique<Ui::THelpViewer>())
{
    UseDesktopResources();
    // One face and size for every form, whatever the desktop uses.
    setFont(FormFont());
    ui->setupUi(this);
    setWindowIcon(ProgramIcon());

    connect(ui->ContentsButton, &QPushButton::clicked, this, &THelpViewer::ContentsButtonClick);
    connect(ui->BackButton, &QPushButton::clicked, ui->Browser, &QTextBrowser::backward);
    connect(ui->ForwardButton, &QPushButton::clicked, ui->Browser, &QTextBrowser::forward);
    connect(ui->Browser, &QTextBrowser::backwardAvailable, ui->BackButton, &QWidget::setEnabled);
    connect(ui->Browser, &QTextBrowser::forwardAvailable, ui->ForwardButton, &QWidget::setEnabled);
    connect(ui->Browser, &QTextBrowser::anchorClicked, this, &THelpViewer::BrowserAnchorClicked);
    // Escape closes the help window, as it closes a dialog.
    auto* closeAction = new QAction(this);
    closeAction->setShortcut(QKeySequence::Cancel);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    addAction(closeAction);

    ApplyPageColours();
    ui->Browser->setSource(HelpTopicPage(topic));
}

THelpViewer::~THelpViewer() = default;

void THelpViewer::ApplyPageColours()
{
    // The pages carry no colours of their own: headings and table heads take tints that stay
    // readable on the palette's background, light or dark.
    const QPalette& colours = ui->Browser->palette();
    const QColor base = colours.color(QPalette::Base), text = colours.color(QPalette::Text);
    auto shade = [&](const QColor& light) {
        return ContrastRatio(text, light) >= 4.5 ? light : colours.color(QPalette::AlternateBase);
    };
    const QString sheet =
        QStringLiteral("h1, h2 { color: %1; } th { background-color: %2; } "
                       "pre { background-color: %3; } a { color: %4; }")
            .arg(ReadableOn(QColor(0x12, 0x40, 0x8a), base).name(),
                 shade(QColor(0xdd, 0xe6, 0xf4)).name(), shade(QColor(0xf2, 0xf2, 0xf2)).name(),
                 ReadableLinkColour(colours, QPalette::Base).name());
    if (ui->Browser->document()->defaultStyleSheet() == sheet)
        return;
    ui->Browser->document()->setDefaultStyleSheet(sheet);
    if (!ui->Browser->source().isEmpty())
        ui->Browser->reload();
}

void THelpViewer::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Once the browser inside has the new palette as well.
    if (event->type() == QEvent::PaletteChange)
        QTimer::singleShot(0, this, &THelpViewer::ApplyPageColours);
}

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

namespace {

// Moves the help window under another owner (nullptr: a window of its own), keeping its place
// on the screen and whether it is shown.
void MoveHelpWindow(THelpViewer* window, QWidget* owner)
{
    const QRect geometry = window->geometry();
    const bool placed = window->testAttribute(Qt::WA_WState_ExplicitShowHide);
    const bool visible = window->isVisible();
    window->setParent(owner, Qt::Window);
    if (placed)
        window->setGeometry(geometry);
    if (visible)
        window->show();
}

// While the help window belongs to a modal dialog, watches that dialog: when it closes, the
// help window becomes a window of its own again, so it stays open (and is not destroyed with
// the dialog).
class THelpOwnerWatch : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide) {
            watched->removeEventFilter(this);
            if (g_helpWindow && g_helpWindow->parentWidget() == watched)
                MoveHelpWindow(g_helpWindow, nullptr);
        }
        return false;
    }
};

} // namespace

void ShowHelp(const QString& topic)
{
    static THelpOwnerWatch* ownerWatch = nullptr;
    if (!ownerWatch) {
        ownerWatch = new THelpOwnerWatch(qApp);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp,
                         [] { delete g_helpWindow.data(); });
    }
    if (!g_helpWindow)
        g_helpWindow = new THelpViewer(nullptr, topic);
    THelpViewer* window = g_helpWindow;

    // A modal dialog blocks input to every window but its own. Help asked for from inside one
    // (the options dialog's Help) becomes a window of that dialog until the dialog closes.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == window)
        modal = nullptr;
    if (window->parentWidget() != modal) {
        if (QWidget* previous = window->parentWidget())
            previous->removeEventFilter(ownerWatch);
        MoveHelpWindow(window, modal);
        if (modal)
            modal->installEventFilter(ownerWatch);
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
