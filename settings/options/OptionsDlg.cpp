#include "settings/options/OptionsDlg.h"

#include "settings/SettingsIO.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "settings/options/PreviewBrowser.h"
#include "ui/DesktopLook.h"
#include "ui/ErrorBox.h"
#include "ui_OptionsDlg.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

namespace {

// Settings texts are 8-bit strings in the system's code page (UTF-8 on POSIX).
std::string ToSetting(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

QString FromSetting(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<QString> ExecFileDialog(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().value(0);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

const QString GifFilter = QStringLiteral("GIF images (*.gif)");

// The check box that shows each on/off setting.
QCheckBox* FlagCheckbox(const Ui::TOptionsDlg& ui, bool SplitSettings::*flag)
{
    const std::pair<bool SplitSettings::*, QCheckBox*> boxes[] = {
        {&SplitSettings::AddLinks, ui.AddLinksCheckbox},
        {&SplitSettings::UseImages, ui.UseImagesCheckbox},
        {&SplitSettings::Navigation, ui.NavigationCheckbox},
        {&SplitSettings::Breadcrumbs, ui.BreadcrumbsCheckbox},
        {&SplitSettings::FixLinks, ui.FixLinksCheckbox},
        {&SplitSettings::PageTitles, ui.PageTitlesCheckbox},
        {&SplitSettings::HeadLinks, ui.HeadLinksCheckbox},
        {&SplitSettings::TolerateMissingBodyEnd, ui.MissingBodyEndCheckbox},
        {&SplitSettings::Manifest, ui.ManifestCheckbox},
        {&SplitSettings::Sidebar, ui.SidebarCheckbox},
        {&SplitSettings::Search, ui.SearchCheckbox},
    };
    for (const auto& [member, box] : boxes) {
        if (member == flag)
            return box;
    }
    throw std::logic_error("The options dialog has no check box for a setting");
}

} // namespace

TOptionsDlg::TOptionsDlg(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TOptionsDlg>()), m_browseRunner(ExecFileDialog)
{
    // One face and size for every form, whatever the desktop uses.
    setFont(FormFont());
    ui->setupUi(this);
    ui->BreakOnButtons->setId(ui->BreakOnHeading1, 0);
    ui->BreakOnButtons->setId(ui->BreakOnHeading2, 1);
    ui->BreakOnButtons->setId(ui->BreakOnHeading3, 2);
    // Settings texts have no length limit; a line edit cuts at 32767 characters by default.
    for (QLineEdit* edit :
         {ui->EditPrev, ui->EditHome, ui->EditNext, ui->EditPrevImage, ui->EditHomeImage,
          ui->EditNextImage, ui->BreadcrumbTextEdit, ui->OutputFolderEdit})
        edit->setMaxLength(std::numeric_limits<int>::max());

    auto guarded = [this](void (TOptionsDlg::*handler)()) {
        return [this, handler] { Guarded(this, [&] { (this->*handler)(); }); };
    };
    for (QLineEdit* edit : {ui->EditPrev, ui->EditHome, ui->EditNext})
        connect(edit, &QLineEdit::textChanged, this, guarded(&TOptionsDlg::EditChange));
    // Every change of state runs its handler once, whether a click, a key, a screen reader or
    // code made it.
    connect(ui->AddLinksCheckbox, &QCheckBox::toggled, this,
            guarded(&TOptionsDlg::AddLinksCheckboxClick));
    connect(ui->UseImagesCheckbox, &QCheckBox::toggled, this,
            guarded(&TOptionsDlg::UseImagesCheckboxClick));
    connect(ui->BreadcrumbsCheckbox, &QCheckBox::toggled, this,
            guarded(&TOptionsDlg::BreadcrumbsCheckboxClick));
    connect(ui->NavigationCheckbox, &QCheckBox::toggled, this,
            guarded(&TOptionsDlg::BreadcrumbsCheckboxClick));
    // A new level turns one button off and another on: only the one turned on counts.
    connect(ui->BreakOnButtons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            Guarded(this, [this] { RadioGroup1Click(); });
    });
    for (QPushButton* button : {ui->BrowsePrevBtn, ui->BrowseHomeBtn, ui->BrowseNextBtn})
        connect(button, &QPushButton::clicked, this,
                [this, button] { Guarded(this, [&] { BrowseBtnClick(button); }); });
    connect(ui->BrowseFolderBtn, &QPushButton::clicked, this,
            guarded(&TOptionsDlg::BrowseFolderBtnClick));
    connect(ui->MoreHelpBtn, &QPushButton::clicked, this, guarded(&TOptionsDlg::MoreHelpBtnClick));
    connect(ui->OKBtn, &QPushButton::clicked, this, guarded(&TOptionsDlg::OKBtnClick));
    connect(ui->CancelBtn, &QPushButton::clicked, this, guarded(&TOptionsDlg::CancelBtnClick));
    connect(ui->HelpButton, &QPushButton::clicked, this, guarded(&TOptionsDlg::HelpButtonClick));
    // F1 asks for the same help as the Help button, wherever the focus is in the dialog.
    auto* helpAction = new QAction(this);
    helpAction->setShortcut(QKeySequence::HelpContents);
    connect(helpAction, &QAction::triggered, this, guarded(&TOptionsDlg::HelpButtonClick));
    addAction(helpAction);

    // On a small screen the groups scroll: whatever takes the focus there, by Tab, a
    // shortcut or a click, comes into view, after the scroll area's own scrolling to the
    // text cursor.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && ui->GroupPane->isAncestorOf(now))
            QMetaObject::invokeMethod(this, &TOptionsDlg::ShowFocusInView, Qt::QueuedConnection);
    });
    ui->GroupPane->installEventFilter(this);
    SizeGroups();

    LoadSettings();
}

TOptionsDlg::~TOptionsDlg() = default;

SplitSettings TOptionsDlg::CurrentSettings() const
{
    SplitSettings s;
    for (const StoredSetting& setting : StoredSettings()) {
        if (setting.Kind == StoredKind::Flag)
            s.*setting.Flag = FlagCheckbox(*ui, setting.Flag)->isChecked();
    }
    s.PreviousLinkText = ToSetting(ui->EditPrev->text());
    s.HomeLinkText = ToSetting(ui->EditHome->text());
    s.NextLinkText = ToSetting(ui->EditNext->text());
    s.BreakOn = ui->BreakOnButtons->checkedId() + 1; // nothing selected: -1, so 0
    s.PrevLinkImage = ToSetting(ui->EditPrevImage->text());
    s.HomeLinkImage = ToSetting(ui->EditHomeImage->text());
    s.NextLinkImage = ToSetting(ui->EditNextImage->text());
    s.BreadcrumbsText = ToSetting(ui->BreadcrumbTextEdit->text());
    s.OutputFolder = ToSetting(ui->OutputFolderEdit->text());
    return s;
}

void TOptionsDlg::LoadSettings()
{
    if (SettingsStore().Valid()) {
        // The controls' handlers run as the load sets them; the preview waits for the end.
        const QScopedValueRollback loading(m_loading, true);
        // The same load as every other program of the suite, starting from what is shown.
        SplitSettings settings = CurrentSettings();
        ::LoadSettings(settings);
        ShowSettings(settings);
        EnableBreadcrumbsByLevel();
    }
    AddLinksCheckboxClick();
}

void TOptionsDlg::SaveSettings()
{
    ::SaveSettings(CurrentSettings());
}

QString TOptionsDlg::BuildPreviewHtml() const
{
    QString html = QStringLiteral("<html><body><style>td {font-size:x-small}</style>"
                                  "<table width=\"100%\"><tr><td>");
    if (ui->NavigationCheckbox->isChecked())
        html += QStringLiteral("<A HREF=\"#\">link 1</A><br><A HREF=\"#\">link 2</A>");
    html += QStringLiteral("</td><td align=\"center\">");
    if (ui->BreadcrumbsCheckbox->isChecked()) {
        if (ui->BreakOnHeading2->isChecked())
            html += ui->BreadcrumbTextEdit->text() +
                    QStringLiteral("<A HREF=\"#\">Chapter V</A> &gt; Par 3<br><br>");
        else if (ui->BreakOnHeading3->isChecked())
            html += ui->BreadcrumbTextEdit->text() +
                    QStringLiteral("<A HREF=\"#\">Chapter V</A> &gt; <A HREF=\"#\">Par 3</A> "
                                   "&gt; Item 5<br><br>");
    }
    if (ui->AddLinksCheckbox->isChecked()) {
        if (ui->UseImagesCheckbox->isChecked()) {
            auto image = [](const QLineEdit* path, const QLineEdit* alt) {
                return QStringLiteral("<A HREF=\"#\"><IMG SRC=\"") + path->text() +
                       QStringLiteral("\" ALT=\"") + alt->text() +
                       QStringLiteral("\" BORDER=\"0\"></A>");
            };
            html += image(ui->EditPrevImage, ui->EditPrev) + QStringLiteral("&nbsp;");
            html += image(ui->EditHomeImage, ui->EditHome) + QStringLiteral("&nbsp;");
            html += image(ui->EditNextImage, ui->EditNext);
        } else {
            auto link = [](const QLineEdit* text) {
                return QStringLiteral("<A HREF=\"#\">") + text->text() + QStringLiteral("</A>");
            };
            html += link(ui->EditPrev) + QLatin1Char('|');
            html += link(ui->EditHome) + QLatin1Char('|');
            html += link(ui->EditNext);
        }
    }
    html += QStringLiteral("</font></td></tr></table></body></html>");
    return html;
}

void TOptionsDlg::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // Another colour scheme: the preview is built again with its link colours, once every
    // control has the new palette.
    if (event->type() == QEvent::PaletteChange && !m_previewQueued) {
        m_previewQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_previewQueued = false;
            Guarded(this, [this] { UpdatePreview(); });
        });
    }
}

void TOptionsDlg::UpdatePreview()
{
    if (m_loading)
        return; // built once, at the load's end
    // A fresh stream for each update; the browser copies what it reads before this returns.
    QByteArray bytes = BuildPreviewHtml().toUtf8();
    QBuffer stream(&bytes);
    stream.open(QIODevice::ReadOnly);
    LoadHtmlFromStream(ui->CppWebBrowser1, &stream);
    emit PreviewUpdated();
}

void TOptionsDlg::SetBrowseRunner(BrowseRunner runner)
{
    m_browseRunner = runner ? std::move(runner) : BrowseRunner(ExecFileDialog);
}

void TOptionsDlg::FitInto(const QRect& area)
{
    m_fitArea = area;
    SizeGroups();
    // Moved in where it would reach past the area's edge.
    const QRect frame = frameGeometry();
    const QPoint at(std::clamp(frame.left(), area.left(),
                               std::max(area.left(), area.right() + 1 - frame.width())),
                    std::clamp(frame.top(), area.top(),
                               std::max(area.top(), area.bottom() + 1 - frame.height())));
    if (at != frame.topLeft()) {
        // Still centred on the owner at the next showing, unless placed by the caller.
        const bool placed = testAttribute(Qt::WA_Moved);
        move(at);
        setAttribute(Qt::WA_Moved, placed);
    }
}

void TOptionsDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event); // centres the dialog on its owner
    // Not again when the window only comes back from being minimised.
    if (event->spontaneous())
        return;
    Guarded(this, [this] {
        QScreen* screen = QGuiApplication::screenAt(frameGeometry().center());
        if (!screen)
            screen = this->screen();
        if (screen)
            FitInto(screen->availableGeometry());
        FormShow();
    });
}

void TOptionsDlg::keyPressEvent(QKeyEvent* event)
{
    // Escape is the Cancel button. The close box, which also ends in reject(), is not: it
    // keeps the edits without reloading.
    if (event->matches(QKeySequence::Cancel)) {
        Guarded(this, [this] { CancelBtnClick(); });
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TOptionsDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The groups' own size changed (a group shown or hidden, another font): fit them again.
    if (watched == ui->GroupPane && event->type() == QEvent::LayoutRequest)
        SizeGroups();
    return QDialog::eventFilter(watched, event);
}

void TOptionsDlg::FormShow()
{
    UpdatePreview();
}

void TOptionsDlg::EditChange()
{
    UpdatePreview();
}

void TOptionsDlg::AddLinksCheckboxClick()
{
    const bool on = ui->AddLinksCheckbox->isChecked();
    for (QLineEdit* edit : {ui->EditPrev, ui->EditHome, ui->EditNext}) {
        edit->setEnabled(on);
        SetEditColour(edit, on);
    }
    ui->UseImagesCheckbox->setEnabled(on);
    // One preview for the whole change.
    EnableImageRows();
    UpdatePreview();
}

void TOptionsDlg::UseImagesCheckboxClick()
{
    EnableImageRows();
    UpdatePreview();
}

void TOptionsDlg::EnableImageRows()
{
    const bool on = ui->UseImagesCheckbox->isChecked() && ui->AddLinksCheckbox->isChecked();
    for (QLineEdit* edit : {ui->EditPrevImage, ui->EditHomeImage, ui->EditNextImage}) {
        edit->setEnabled(on);
        SetEditColour(edit, on);
    }
    for (QPushButton* button : {ui->BrowsePrevBtn, ui->BrowseHomeBtn, ui->BrowseNextBtn})
        button->setEnabled(on);
}

void TOptionsDlg::BreadcrumbsCheckboxClick()
{
    UpdatePreview();
    ui->BreadcrumbTextEdit->setEnabled(ui->BreadcrumbsCheckbox->isChecked());
}

void TOptionsDlg::RadioGroup1Click()
{
    UpdatePreview();
    EnableBreadcrumbsByLevel();
}

void TOptionsDlg::BrowseBtnClick(QObject* sender)
{
    const std::optional<QString> chosen = m_browseRunner(OpenDialog1());
    if (!chosen)
        return;
    QLineEdit* target = sender == ui->BrowsePrevBtn   ? ui->EditPrevImage
                        : sender == ui->BrowseHomeBtn ? ui->EditHomeImage
                                                      : ui->EditNextImage;
    target->setText(QDir::toNativeSeparators(*chosen));
    UpdatePreview();
}

void TOptionsDlg::BrowseFolderBtnClick()
{
    QFileDialog& dialog = FolderDialog();
    // Start at the folder shown when there is one; a relative one depends on the document.
    const QDir shown(ui->OutputFolderEdit->text());
    if (!ui->OutputFolderEdit->text().isEmpty() && shown.isAbsolute() && shown.exists())
        dialog.setDirectory(shown);
    const std::optional<QString> chosen = m_browseRunner(dialog);
    if (chosen)
        ui->OutputFolderEdit->setText(QDir::toNativeSeparators(*chosen));
}

void TOptionsDlg::OKBtnClick()
{
    SaveSettings();
    accept();
}

void TOptionsDlg::CancelBtnClick()
{
    LoadSettings();
    QDialog::reject();
}

void TOptionsDlg::HelpButtonClick()
{
    emit HelpRequested(QStringLiteral("Options"));
}

void TOptionsDlg::MoreHelpBtnClick()
{
    emit HelpRequested(QStringLiteral("MoreOptions"));
}

void TOptionsDlg::ShowSettings(const SplitSettings& settings)
{
    for (const StoredSetting& setting : StoredSettings()) {
        if (setting.Kind == StoredKind::Flag)
            FlagCheckbox(*ui, setting.Flag)->setChecked(settings.*setting.Flag);
    }
    {
        // A load updates the preview once, at its end.
        const QSignalBlocker prev(ui->EditPrev), home(ui->EditHome), next(ui->EditNext);
        ui->EditPrev->setText(FromSetting(settings.PreviousLinkText));
        ui->EditHome->setText(FromSetting(settings.HomeLinkText));
        ui->EditNext->setText(FromSetting(settings.NextLinkText));
    }
    if (QAbstractButton* level = ui->BreakOnButtons->button(settings.BreakOn - 1)) {
        level->setChecked(true);
    } else if (QAbstractButton* selected = ui->BreakOnButtons->checkedButton()) {
        // An exclusive group never lets its last checked button go.
        ui->BreakOnButtons->setExclusive(false);
        selected->setChecked(false);
        ui->BreakOnButtons->setExclusive(true);
    }
    ui->EditPrevImage->setText(FromSetting(settings.PrevLinkImage));
    ui->EditHomeImage->setText(FromSetting(settings.HomeLinkImage));
    ui->EditNextImage->setText(FromSetting(settings.NextLinkImage));
    ui->BreadcrumbTextEdit->setText(FromSetting(settings.BreadcrumbsText));
    ui->OutputFolderEdit->setText(FromSetting(settings.OutputFolder));
}

void TOptionsDlg::EnableBreadcrumbsByLevel()
{
    const bool deepLevel = ui->BreakOnHeading2->isChecked() || ui->BreakOnHeading3->isChecked();
    ui->BreadcrumbTextEdit->setEnabled(deepLevel);
    ui->BreadcrumbsCheckbox->setEnabled(deepLevel);
}

void TOptionsDlg::SizeGroups()
{
    QScrollArea* scroller = ui->GroupScroller;
    QSize view = ui->GroupPane->sizeHint();
    if (m_fitArea) {
        // The room the area leaves once the frame, the margins and the buttons are counted.
        const QMargins margins = layout()->contentsMargins();
        const QSize around(margins.left() + margins.right() + layout()->spacing() +
                               ui->ButtonColumn->sizeHint().width(),
                           margins.top() + margins.bottom());
        const QSize room = m_fitArea->size() - (frameGeometry().size() - size()) - around;
        // A scroll bar in one direction takes room from the other.
        const int barWidth = scroller->verticalScrollBar()->sizeHint().width();
        const int barHeight = scroller->horizontalScrollBar()->sizeHint().height();
        const bool down = view.height() > room.height();
        if (down)
            view.rwidth() += barWidth;
        if (view.width() > room.width()) {
            view.rheight() += barHeight;
            if (!down && view.height() > room.height())
                view.rwidth() += barWidth;
        }
        view = view.boundedTo(room).expandedTo(scroller->minimumSizeHint());
    }
    scroller->setFixedSize(view);
    layout()->activate();
}

void TOptionsDlg::ShowFocusInView()
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !ui->GroupPane->isAncestorOf(focus))
        return;
    QScrollArea* scroller = ui->GroupScroller;
    const QRect place(focus->mapTo(ui->GroupPane, QPoint(0, 0)), focus->size());
    // The whole control where the view can hold it; otherwise its text cursor.
    if (place.width() < scroller->viewport()->width() &&
        place.height() < scroller->viewport()->height())
        scroller->ensureVisible(place.center().x(), place.center().y(), place.width() / 2 + 1,
                                place.height() / 2 + 1);
    else
        scroller->ensureWidgetVisible(focus);
}

void TOptionsDlg::SetEditColour(QLineEdit* edit, bool enabled)
{
    // The window background when the edit takes input, the button face when it does not.
    const QPalette standard = QApplication::palette(edit);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base,
                     standard.color(QPalette::Active, enabled ? QPalette::Base : QPalette::Button));
    edit->setPalette(palette);
}

QFileDialog& TOptionsDlg::OpenDialog1()
{
    if (!m_openDialog1) {
        m_openDialog1 = new QFileDialog(this);
        m_openDialog1->setObjectName(QStringLiteral("OpenDialog1"));
        m_openDialog1->setAcceptMode(QFileDialog::AcceptOpen);
        // The chosen file need not exist yet.
        m_openDialog1->setFileMode(QFileDialog::AnyFile);
#ifndef _WIN32
        // Some desktop dialogs insist on an existing file when opening.
        m_openDialog1->setOption(QFileDialog::DontUseNativeDialog);
#endif
        m_openDialog1->setNameFilters({QStringLiteral("JPEG images (*.jpg *.jpeg)"), GifFilter,
                                       QStringLiteral("PNG images (*.png)"),
                                       QStringLiteral("All image files (*.jpg *.jpeg *.gif *.png)"),
                                       QStringLiteral("All files (*)")});
        // Only the first time: later uses start where the last one left off.
        m_openDialog1->selectNameFilter(GifFilter);
    }
    return *m_openDialog1;
}

QFileDialog& TOptionsDlg::FolderDialog()
{
    if (!m_folderDialog) {
        m_folderDialog = new QFileDialog(this);
        m_folderDialog->setObjectName(QStringLiteral("FolderDialog"));
        m_folderDialog->setWindowTitle(QStringLiteral("Output folder"));
        m_folderDialog->setAcceptMode(QFileDialog::AcceptOpen);
        m_folderDialog->setFileMode(QFileDialog::Directory);
        m_folderDialog->setOption(QFileDialog::ShowDirsOnly);
    }
    return *m_folderDialog;
}
